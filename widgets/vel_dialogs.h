// Small modal helpers shared by the windows.
#pragma once

#include <QString>

class QWidget;

namespace tunrax {

// Creates a window of type Form (owned here), shows it modally, frees it and
// returns its result (1 = confirmed).
template <class Form>
int ShowModalForm(QWidget* parent = nullptr) {
    Form form(parent);
    return form.exec();
}

// A confirmation box titled "Bestätigung" with a question icon, the text (each
// "&" shown as itself) and the buttons "&Ja" and "&Nein"; with defaultNo the
// focus starts on "&Nein". True only when "&Ja" was pressed.
bool AskYesNo(const QString& text, bool defaultNo, QWidget* parent = nullptr);

}  // namespace tunrax
