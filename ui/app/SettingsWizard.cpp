#include "app/SettingsWizard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Application.h"
#include "collection/CatalogueCheck.h"
#include "io/Error.h"
#include "settings/DisplayText.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"
#include "settings/UserFolders.h"
#include "sources/FtpSource.h"
#include "sources/TransferControl.h"
#include "sources/WebSource.h"
#include "widgets/DirectoryEdit.h"
#include "widgets/TransferWait.h"
#include "widgets/Wizard.h"
#include "widgets/WizardPages.h"

namespace tunrax {

namespace {

const std::string kSection = "Einstellungen";
// Field lengths: a host name (253) with a port or IPv6 brackets; any other
// value. And the characters of a check's result that the page shows.
constexpr int kMaxHostField = 261;
constexpr int kMaxTextField = 1024;
constexpr int kMaxResultShown = 600;

QString Shown(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

}  // namespace

TSettingsWizard::TSettingsWizard(QWidget* parent, TIniFile& settings)
    : TAppWindow(parent), FSettings(settings) {
    setObjectName(QStringLiteral("fmSetup"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    CreateControls();
    // Errors are shown here: they must not unwind through Qt's signal code.
    connect(this, &TAppWindow::AfterCreate, this,
            [this] { ShowErrorsOf([this] { OnAfterCreate(); }); });
}

TSettingsWizard::~TSettingsWizard() = default;

void TSettingsWizard::CreateControls() {
    velWizard1 = FillWithWizard(this);
    QVBoxLayout* column = nullptr;
    TWizardPage* velWizardPage1 = AddColumnPage(velWizard1, "velWizardPage1", column);
    auto* rgTyp = Named(new QGroupBox(QStringLiteral(" Musik-Dateien "), velWizardPage1), "rgTyp");
    auto* items = new QVBoxLayout(rgTyp);
    FTypItems = new QButtonGroup(this);
    int id = 0;
    for (const QString& caption :
         {QStringLiteral("lokal"), QStringLiteral("HTTP"), QStringLiteral("FTP")}) {
        auto* item = new QRadioButton(caption, rgTyp);
        item->setObjectName(caption);
        FTypItems->addButton(item, id++);
        items->addWidget(item);
    }
    cbAltenative = Named(
        new QCheckBox(QStringLiteral("alternatives Inhaltsverzeichnis nutzen"), velWizardPage1),
        "cbAltenative");
    column->addWidget(rgTyp);
    column->addWidget(cbAltenative);
    column->addStretch();
    velWizardPage1->OnChanging = [this](TWizardPage* sender, bool& allowChange) {
        velWizardPage1Changing(sender, allowChange);
    };

    QFormLayout* form = nullptr;
    wpHTTP = AddFormPage(velWizard1, "wpHTTP", form);
    edIP = AddField(form, QStringLiteral("Server (Name oder IP)"), "edIP");
    edRoot = AddField(form, QStringLiteral("Verzeichnis auf dem Server"), "edRoot");
    AddCheck(wpHTTP, "HTTP", btnPruefenHTTP, laPruefungHTTP);
    connect(btnPruefenHTTP, &QPushButton::clicked, this,
            [this] { ShowErrorsOf([this] { btnPruefenHTTPClick(); }); });

    wpLokal = AddColumnPage(velWizard1, "wpLokal", column);
    edDir = Named(new TDirectoryEdit(wpLokal), "edDir");
    edDir->NewStyle = true;
    column->addWidget(new QLabel(QStringLiteral("Verzeichnis der Musik-Dateien"), wpLokal));
    column->addWidget(edDir);
    column->addStretch();

    wpFTP = AddFormPage(velWizard1, "wpFTP", form);
    edFTPServer = AddField(form, QStringLiteral("Server (Name oder IP)"), "edFTPServer");
    edFTPNutzer = AddField(form, QStringLiteral("FTP-Nutzer"), "edFTPNutzer");
    edFTPPasswort = AddField(form, QStringLiteral("Paßwort"), "edFTPPasswort");
    edFTPPasswort->setEchoMode(QLineEdit::Password);
    edFTPPasswort->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    edFTPVerzeichnis =
        AddField(form, QStringLiteral("Verzeichnis auf dem Server"), "edFTPVerzeichnis");
    cbFTPUTF8 = Named(new QCheckBox(QStringLiteral("UTF8 (Server)"), wpFTP), "cbFTPUTF8");
    form->addRow(QString(), cbFTPUTF8);
    AddCheck(wpFTP, "FTP", btnPruefenFTP, laPruefungFTP);
    connect(btnPruefenFTP, &QPushButton::clicked, this,
            [this] { ShowErrorsOf([this] { btnPruefenFTPClick(); }); });

    // A host name has at most 253 characters; with a port, or brackets
    // around an IPv6 address, a few more. Folders and names get room enough
    // for any real one, so that no value can grow the window without end.
    for (QLineEdit* host : {edIP, edFTPServer})
        host->setMaxLength(kMaxHostField);
    for (QLineEdit* text : {edRoot, edFTPNutzer, edFTPPasswort, edFTPVerzeichnis})
        text->setMaxLength(kMaxTextField);

    velWizard1->BtnNext.SetLast_Caption(QStringLiteral("&Speichern"));
    velWizard1->BtnNext.SetLast_TAction(true);
    velWizard1->SetStatusText(false);
    velWizard1->OnLastAction = [this](TWizard*) {
        ShowErrorsOf([this] { velWizard1LastAction(); });
    };
    velWizard1->Loaded();

    // The desktop's font may need more room than the classic 392 x 198.
    resize(velWizard1->sizeHint().expandedTo(QSize(392, 198)));
}

void TSettingsWizard::AddCheck(TWizardPage* page, const char* suffix, QPushButton*& button,
                               QLabel*& result) {
    auto* form = qobject_cast<QFormLayout*>(page->layout());
    button = new QPushButton(QStringLiteral("Verbindung &prüfen"), page);
    button->setObjectName(QStringLiteral("btnPruefen") + QLatin1String(suffix));
    form->addRow(QString(), button);
    // The result stays beside the values it is about while they are
    // corrected; its text is its name for screen readers.
    result = new QLabel(page);
    result->setObjectName(QStringLiteral("laPruefung") + QLatin1String(suffix));
    result->setWordWrap(true);
    // Room for the longer messages of a server, so that the window need not
    // grow for most of them.
    result->setMinimumHeight(4 * result->fontMetrics().lineSpacing());
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->addRow(result);
}

void TSettingsWizard::CheckConnection(QLabel* result,
                                      const std::function<std::unique_ptr<TSource>()>& makeSource) {
    if (FChecking)
        return;
    FChecking = true;
    FCheckCalledOff = false;
    result->setTextInteractionFlags(Qt::NoTextInteraction);
    result->setText(QStringLiteral("Verbindung wird geprüft …"));
    std::string found;
    {
        // A slow server greys the wizard out but for "Abbrechen", which calls
        // the check off (closeEvent).
        TTransferWaitWindow wait(velWizard1, {velWizard1->BtnCancel.Button()}, {});
        TTransferCancelScope calledOff(FCheckCalledOff);
        try {
            const std::unique_ptr<TSource> source = makeSource();
            found = CheckCatalogue(*source);
        } catch (const TransferCancelled&) {
            found = "Prüfung abgebrochen.";
        } catch (const Error& error) {
            found = error.what();
        }
    }
    FChecking = false;
    // A server's message may hold long texts of its own; the page shows
    // their start.
    QString shown = Shown(found);
    if (shown.size() > kMaxResultShown)
        shown = shown.left(kMaxResultShown) + QStringLiteral(" …");
    result->setText(shown);
    const int missing = result->heightForWidth(result->width()) - result->height();
    const QScreen* screen = this->screen();
    const int room = screen ? screen->availableGeometry().height() - frameGeometry().height() : 0;
    if (missing > 0)
        resize(width(), height() + std::min(missing, std::max(room, 0)));
    // Reachable with Tab after the button, to be read again or copied.
    result->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TSettingsWizard::btnPruefenHTTPClick() {
    CheckConnection(laPruefungHTTP, [this]() -> std::unique_ptr<TSource> {
        return std::make_unique<TWebSource>(cbAltenative->isChecked(),
                                            FieldBytes(edIP, "Server Adresse"),
                                            FieldBytes(edRoot, "Root Server"));
    });
}

void TSettingsWizard::btnPruefenFTPClick() {
    CheckConnection(laPruefungFTP, [this]() -> std::unique_ptr<TSource> {
        return std::make_unique<TFtpSource>(
            cbAltenative->isChecked(), FieldBytes(edFTPServer, "FTP Adresse"),
            FieldBytes(edFTPNutzer, "FTP Nutzer"), edFTPPasswort->text().toStdString(),
            FieldBytes(edFTPVerzeichnis, "Root FTP"), cbFTPUTF8->isChecked());
    });
}

void TSettingsWizard::closeEvent(QCloseEvent* event) {
    if (FChecking) {
        FCheckCalledOff = true;
        event->ignore();
        return;
    }
    TAppWindow::closeEvent(event);
}

int TSettingsWizard::TypIndex() const {
    return FTypItems->checkedId();
}

void TSettingsWizard::SetTypIndex(int index) {
    if (QAbstractButton* item = FTypItems->button(index)) {
        item->setChecked(true);
        return;
    }
    // An index that names no item leaves none chosen.
    FTypItems->setExclusive(false);
    for (QAbstractButton* item : FTypItems->buttons())
        item->setChecked(false);
    FTypItems->setExclusive(true);
}

void TSettingsWizard::OnAfterCreate() {
    SetTypIndex(FSettings.ReadInteger(kSection, "Typ", 0));
    cbAltenative->setChecked(FSettings.ReadBool(kSection, "Alternativ", false));
    edIP->setText(Shown(FSettings.ReadString(kSection, "Server Adresse", "localhost")));
    edRoot->setText(Shown(FSettings.ReadString(kSection, "Root Server", "/mp3/")));
    edDir->setText(Shown(FSettings.ReadString(kSection, "Verzeichnis", DefaultMusicFolder())));
    edFTPServer->setText(Shown(FSettings.ReadString(kSection, "FTP Adresse", "localhost")));
    edFTPNutzer->setText(Shown(FSettings.ReadString(kSection, "FTP Nutzer", "tunrax")));
    // A stored password that cannot be read is reported, but only after the
    // other fields are filled: saving then keeps them rather than blanking
    // them.
    std::string passwordError;
    try {
        edFTPPasswort->setText(
            Shown(DecodePassword(FSettings.ReadString(kSection, "FTP Passwort", ""), PasswordKey)));
    } catch (const Error& error) {
        edFTPPasswort->clear();
        passwordError = error.what();
    }
    edFTPVerzeichnis->setText(Shown(FSettings.ReadString(kSection, "Root FTP", "/mp3/")));
    cbFTPUTF8->setChecked(FSettings.ReadBool(kSection, "FTP UTF8", false));
    if (!passwordError.empty())
        throw Error("Das gespeicherte FTP-Paßwort ist ungültig (" + passwordError +
                    "). Bitte geben Sie es neu ein.");
}

void TSettingsWizard::velWizardPage1Changing(TWizardPage*, bool& allowChange) {
    const int type = TypIndex();
    wpLokal->SetRuntimeVisible(type == 0);
    wpHTTP->SetRuntimeVisible(type == 1);
    wpFTP->SetRuntimeVisible(type == 2);
    allowChange = true;
}

std::string TSettingsWizard::FieldBytes(const QLineEdit* field, const std::string& key) const {
    const std::string stored = FSettings.ReadString(kSection, key, "");
    const std::string typed = field->text().toStdString();
    return DisplayText(stored) == typed ? stored : typed;
}

void TSettingsWizard::velWizard1LastAction() {
    // Read before the section is erased.
    const std::string ip = FieldBytes(edIP, "Server Adresse");
    const std::string root = FieldBytes(edRoot, "Root Server");
    const std::string ftpServer = FieldBytes(edFTPServer, "FTP Adresse");
    const std::string ftpRoot = FieldBytes(edFTPVerzeichnis, "Root FTP");
    const std::string ftpUser = FieldBytes(edFTPNutzer, "FTP Nutzer");
    const std::string password = EncodePassword(edFTPPasswort->text().toStdString(), PasswordKey);
    std::string folder = FieldBytes(edDir, "Verzeichnis");
    if (edDir->text().toStdString() == DisplayText(DefaultMusicFolder()))
        folder = DefaultMusicFolder();

    // One replacement of the file: a failed save leaves the old settings
    // whole instead of an erased section.
    TIniFile::UpdateScope update(FSettings);
    FSettings.EraseSection(kSection);
    FSettings.WriteString(kSection, "Server Adresse", ip);
    FSettings.WriteString(kSection, "Root Server", root);
    FSettings.WriteString(kSection, "FTP Adresse", ftpServer);
    FSettings.WriteString(kSection, "Root FTP", ftpRoot);
    FSettings.WriteString(kSection, "FTP Nutzer", ftpUser);
    FSettings.WriteString(kSection, "FTP Passwort", password);
    FSettings.WriteBool(kSection, "FTP UTF8", cbFTPUTF8->isChecked());
    if (folder != DefaultMusicFolder())
        FSettings.WriteString(kSection, "Verzeichnis", folder);
    FSettings.WriteBool(kSection, "Alternativ", cbAltenative->isChecked());
    FSettings.WriteInteger(kSection, "Typ", TypIndex());
    update.Commit();
    done(1);
}

}  // namespace tunrax
