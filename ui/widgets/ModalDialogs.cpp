#include "widgets/ModalDialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace tunrax {

bool AskYesNo(const QString& text, bool defaultNo, QWidget* parent) {
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Bestätigung"));
    box.setIcon(QMessageBox::Question);
    // Plain text: the user's list names may hold "&" or "<".
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    // Own texts rather than the standard buttons, whose labels depend on the
    // translation that happens to be loaded.
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(defaultNo ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace tunrax
