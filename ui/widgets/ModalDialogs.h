// Small modal helpers shared by the windows.
#pragma once

#include <QString>
#include <utility>

class QWidget;

namespace tunrax {

// Creates a window of type Form (owned here) with the parent and the further
// arguments, shows it modally, frees it and returns its result (1 = confirmed).
template <class Form, class... Args>
int ShowModalForm(QWidget* parent = nullptr, Args&&... args) {
    Form form(parent, std::forward<Args>(args)...);
    return form.exec();
}

// A confirmation box titled "Bestätigung" with a question icon, the text (each
// "&" shown as itself) and the buttons "&Ja" and "&Nein"; with defaultNo the
// focus starts on "&Nein". True only when "&Ja" was pressed.
bool AskYesNo(const QString& text, bool defaultNo, QWidget* parent = nullptr);

}  // namespace tunrax
