#include "app/MainDialogs.h"

#include <QInputDialog>

#include "app/CopyWizard.h"
#include "app/SettingsWizard.h"
#include "widgets/ModalDialogs.h"

namespace tunrax {

bool TStandardDialogs::AskListName(QWidget* parent, QString& name) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Neue Liste"));
    dialog.setLabelText(QStringLiteral("Name"));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.textValue();
    return true;
}

int TStandardDialogs::ShowSetup(QWidget* parent, TIniFile& settings) {
    return ShowModalForm<TSettingsWizard>(parent, settings, FPasswords);
}

void TStandardDialogs::ShowCopy(QWidget* parent, TSourceOwner& sources,
                                const std::vector<std::string>& songs, const std::string& listName,
                                TIniFile& settings) {
    ShowCopyWizard(parent, sources, songs, listName, settings);
}

}  // namespace tunrax
