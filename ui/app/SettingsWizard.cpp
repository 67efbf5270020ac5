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
#include "app/CertificateTrust.h"
#include "collection/CatalogueCheck.h"
#include "io/Error.h"
#include "settings/DisplayText.h"
#include "settings/IniFile.h"
#include "settings/PasswordStore.h"
#include "settings/UserFolders.h"
#include "sources/FtpSource.h"
#include "sources/SourceSettings.h"
#include "sources/TlsTrust.h"
#include "sources/TransferControl.h"
#include "sources/WebSource.h"
#include "widgets/DirectoryEdit.h"
#include "widgets/TransferWait.h"
#include "widgets/Wizard.h"
#include "widgets/WizardPages.h"

namespace tunrax {

namespace {

// Field lengths: a host name (253) with a port or IPv6 brackets; any other
// value. And the characters of a check's result that the page shows.
constexpr int kMaxHostField = 261;
constexpr int kMaxTextField = 1024;
constexpr int kMaxResultShown = 600;

QString Shown(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

}  // namespace

TSettingsWizard::TSettingsWizard(QWidget* parent, TIniFile& settings, TPasswordStore* passwords)
    : TAppWindow(parent), FSettings(settings), FPasswords(passwords) {
    setObjectName(QStringLiteral("fmSetup"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    CreateControls();
    // Errors are shown here: they must not unwind through Qt's signal code.
    connect(this, &TAppWindow::AfterCreate, this,
            [this] { ShowErrorsOf([this] { OnAfterCreate(); }); });
}

TSettingsWizard::~TSettingsWizard() = default;

void TSettingsWizard::CreateControls() {
    FWizard = FillWithWizard(this);
    QVBoxLayout* column = nullptr;
    TWizardPage* kindPage = AddColumnPage(FWizard, "velWizardPage1", column);
    auto* kinds = Named(new QGroupBox(QStringLiteral(" Musik-Dateien "), kindPage), "rgTyp");
    auto* items = new QVBoxLayout(kinds);
    FSourceKinds = new QButtonGroup(this);
    int id = 0;
    for (const QString& caption :
         {QStringLiteral("lokal"), QStringLiteral("HTTP"), QStringLiteral("FTP")}) {
        auto* item = new QRadioButton(caption, kinds);
        item->setObjectName(caption);
        FSourceKinds->addButton(item, id++);
        items->addWidget(item);
    }
    FAlternativeCatalogue =
        Named(new QCheckBox(QStringLiteral("alternatives Inhaltsverzeichnis nutzen"), kindPage),
              "cbAltenative");
    column->addWidget(kinds);
    column->addWidget(FAlternativeCatalogue);
    column->addStretch();
    kindPage->OnChanging = [this](TWizardPage* sender, bool& allowChange) {
        OnSourceKindChosen(sender, allowChange);
    };

    QFormLayout* form = nullptr;
    FWebPage = AddFormPage(FWizard, "wpHTTP", form);
    FWebServer = AddField(form, QStringLiteral("Server (Name oder IP)"), "edIP");
    FWebServer->setPlaceholderText(QStringLiteral("musik.example oder https://musik.example"));
    FWebRoot = AddField(form, QStringLiteral("Verzeichnis auf dem Server"), "edRoot");
    AddCheck(FWebPage, "HTTP", FCheckWeb, FWebResult, FWebTrust);
    connect(FCheckWeb, &QPushButton::clicked, this,
            [this] { ShowErrorsOf([this] { CheckWebServer(); }); });
    // The offer's button is gone: the focus goes to the check, not on to
    // "Vertrauen entfernen".
    connect(FWebTrust, &TCertificateTrust::Trusted, this, [this] {
        FCheckWeb->setFocus();
        ShowErrorsOf([this] { CheckWebServer(); });
    });

    FLocalPage = AddColumnPage(FWizard, "wpLokal", column);
    FMusicFolder = Named(new TDirectoryEdit(FLocalPage), "edDir");
    FMusicFolder->NewStyle = true;
    column->addWidget(new QLabel(QStringLiteral("Verzeichnis der Musik-Dateien"), FLocalPage));
    column->addWidget(FMusicFolder);
    column->addStretch();

    FFtpPage = AddFormPage(FWizard, "wpFTP", form);
    FFtpServer = AddField(form, QStringLiteral("Server (Name oder IP)"), "edFTPServer");
    FFtpUser = AddField(form, QStringLiteral("FTP-Nutzer"), "edFTPNutzer");
    FFtpPassword = AddField(form, QStringLiteral("Paßwort"), "edFTPPasswort");
    FFtpPassword->setEchoMode(QLineEdit::Password);
    FFtpPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    FFtpRoot = AddField(form, QStringLiteral("Verzeichnis auf dem Server"), "edFTPVerzeichnis");
    FFtpUtf8 = Named(new QCheckBox(QStringLiteral("UTF8 (Server)"), FFtpPage), "cbFTPUTF8");
    form->addRow(QString(), FFtpUtf8);
    FFtpTls = Named(new QCheckBox(QStringLiteral("Verschlüsselung (&TLS)"), FFtpPage), "cbFTPTLS");
    form->addRow(QString(), FFtpTls);
    const QString noKeyring = QStringLiteral(
        "Kein Schlüsselbund gefunden: das Paßwort bleibt verschleiert in tunrax.ini.");
    FNoKeyring = new QLabel(noKeyring, FFtpPage);
    FNoKeyring->setObjectName(QStringLiteral("laSchluesselbund"));
    FNoKeyring->setAccessibleName(noKeyring);
    FNoKeyring->setWordWrap(true);
    FNoKeyring->hide();
    form->addRow(FNoKeyring);
    AddCheck(FFtpPage, "FTP", FCheckFtp, FFtpResult, FFtpTrust);
    connect(FCheckFtp, &QPushButton::clicked, this,
            [this] { ShowErrorsOf([this] { CheckFtpServer(); }); });
    connect(FFtpTrust, &TCertificateTrust::Trusted, this, [this] {
        FCheckFtp->setFocus();
        ShowErrorsOf([this] { CheckFtpServer(); });
    });

    // A host name has at most 253 characters; with a port, or brackets
    // around an IPv6 address, a few more. Folders and names get room enough
    // for any real one, so that no value can grow the window without end.
    for (QLineEdit* host : {FWebServer, FFtpServer})
        host->setMaxLength(kMaxHostField);
    for (QLineEdit* text : {FWebRoot, FFtpUser, FFtpPassword, FFtpRoot})
        text->setMaxLength(kMaxTextField);

    FWizard->BtnNext.SetLastCaption(QStringLiteral("&Speichern"));
    FWizard->BtnNext.SetLastActs(true);
    FWizard->SetStatusText(false);
    FWizard->OnLastAction = [this](TWizard*) { ShowErrorsOf([this] { Save(); }); };
    FWizard->Loaded();

    // The desktop's font may need more room than the classic 392 x 198.
    resize(FWizard->sizeHint().expandedTo(QSize(392, 198)));
}

void TSettingsWizard::AddCheck(TWizardPage* page, const char* suffix, QPushButton*& button,
                               QLabel*& result, TCertificateTrust*& trust) {
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
    trust = new TCertificateTrust(page, suffix);
    form->addRow(trust);
}

void TSettingsWizard::CheckConnection(QLabel* result, TCertificateTrust* trust,
                                      const std::string& address,
                                      const std::function<std::unique_ptr<TSource>()>& makeSource) {
    if (FChecking)
        return;
    trust->Withdraw();
    std::string refusedCertificate;
    FChecking = true;
    FCheckCalledOff = false;
    result->setTextInteractionFlags(Qt::NoTextInteraction);
    result->setText(QStringLiteral("Verbindung wird geprüft …"));
    std::string found;
    {
        // A slow server greys the wizard out but for "Abbrechen", which calls
        // the check off (closeEvent).
        TTransferWaitWindow wait(FWizard, {FWizard->BtnCancel.Button()}, {});
        TTransferCancelScope calledOff(FCheckCalledOff);
        try {
            const std::unique_ptr<TSource> source = makeSource();
            found = CheckCatalogue(*source);
        } catch (const TransferCancelled&) {
            found = "Prüfung abgebrochen.";
        } catch (const TUntrustedCertificate& refused) {
            found = refused.what();
            refusedCertificate = refused.Fingerprint();
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
    // The fingerprint to compare with the server's own before trusting it.
    if (!refusedCertificate.empty()) {
        shown +=
            QStringLiteral("\nFingerabdruck (SHA-256):\n") + FingerprintLines(refusedCertificate);
        trust->Offer(address, refusedCertificate);
    }
    result->setText(shown);
    const int missing = result->heightForWidth(result->width()) - result->height();
    const QScreen* screen = this->screen();
    const int room = screen ? screen->availableGeometry().height() - frameGeometry().height() : 0;
    if (missing > 0)
        resize(width(), height() + std::min(missing, std::max(room, 0)));
    // Reachable with Tab after the button, to be read again or copied.
    result->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TSettingsWizard::CheckWebServer() {
    const TSourceSettings stored = TSourceSettings::Read(FSettings);
    const std::string address = FieldBytes(FWebServer, stored.WebAddress);
    CheckConnection(FWebResult, FWebTrust, address, [&]() -> std::unique_ptr<TSource> {
        auto source = std::make_unique<TWebSource>(FAlternativeCatalogue->isChecked(), address,
                                                   FieldBytes(FWebRoot, stored.WebRoot));
        source->TrustedCertificate = FWebTrust->FingerprintFor(address);
        return source;
    });
}

void TSettingsWizard::CheckFtpServer() {
    const TSourceSettings stored = TSourceSettings::Read(FSettings);
    const std::string address = FieldBytes(FFtpServer, stored.FtpAddress);
    CheckConnection(FFtpResult, FFtpTrust, address, [&]() -> std::unique_ptr<TSource> {
        auto source = std::make_unique<TFtpSource>(
            FAlternativeCatalogue->isChecked(), address, FieldBytes(FFtpUser, stored.FtpUser),
            FFtpPassword->text().toStdString(), FieldBytes(FFtpRoot, stored.FtpRoot),
            FFtpUtf8->isChecked());
        source->Secure = FFtpTls->isChecked();
        source->TrustedCertificate = FFtpTrust->FingerprintFor(address);
        return source;
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

int TSettingsWizard::SourceKind() const {
    return FSourceKinds->checkedId();
}

void TSettingsWizard::SetSourceKind(int index) {
    if (QAbstractButton* item = FSourceKinds->button(index)) {
        item->setChecked(true);
        return;
    }
    // An index that names no item leaves none chosen.
    FSourceKinds->setExclusive(false);
    for (QAbstractButton* item : FSourceKinds->buttons())
        item->setChecked(false);
    FSourceKinds->setExclusive(true);
}

void TSettingsWizard::OnAfterCreate() {
    const TSourceSettings stored = TSourceSettings::Read(FSettings);
    SetSourceKind(stored.Type == -1 ? static_cast<int>(TSourceKind::Local) : stored.Type);
    FAlternativeCatalogue->setChecked(stored.Alternative);
    FWebServer->setText(Shown(stored.WebAddress));
    FWebRoot->setText(Shown(stored.WebRoot));
    FMusicFolder->setText(Shown(stored.Folder));
    FFtpServer->setText(Shown(stored.FtpAddress));
    FFtpUser->setText(Shown(stored.FtpUser));
    // Where no keyring answers, the FTP page says where the password stays.
    FNoKeyring->setVisible(!FPasswords || !FPasswords->Available());
    // A stored password that cannot be read is reported, but only after the
    // other fields are filled: saving then keeps them rather than blanking
    // them.
    std::string passwordError;
    try {
        FFtpPassword->setText(Shown(ReadFtpPassword(stored, FPasswords)));
    } catch (const Error& error) {
        FFtpPassword->clear();
        passwordError = stored.FtpPasswordScrambled.empty()
                            ? std::string(error.what()) + " Bitte geben Sie es neu ein."
                            : "Das gespeicherte FTP-Paßwort ist ungültig (" +
                                  std::string(error.what()) + "). Bitte geben Sie es neu ein.";
    }
    FFtpRoot->setText(Shown(stored.FtpRoot));
    FFtpUtf8->setChecked(stored.FtpUtf8);
    FFtpTls->setChecked(stored.FtpTls);
    FWebTrust->Load(stored.WebCertificate);
    FFtpTrust->Load(stored.FtpCertificate);
    if (!passwordError.empty())
        throw Error(passwordError);
}

void TSettingsWizard::OnSourceKindChosen(TWizardPage*, bool& allowChange) {
    const int type = SourceKind();
    FLocalPage->SetRuntimeVisible(type == 0);
    FWebPage->SetRuntimeVisible(type == 1);
    FFtpPage->SetRuntimeVisible(type == 2);
    allowChange = true;
}

std::string TSettingsWizard::FieldBytes(const QLineEdit* field, const std::string& stored) const {
    const std::string typed = field->text().toStdString();
    return DisplayText(stored) == typed ? stored : typed;
}

void TSettingsWizard::Save() {
    const TSourceSettings stored = TSourceSettings::Read(FSettings);
    TSourceSettings chosen;
    chosen.Type = SourceKind();
    chosen.Alternative = FAlternativeCatalogue->isChecked();
    chosen.WebAddress = FieldBytes(FWebServer, stored.WebAddress);
    chosen.WebRoot = FieldBytes(FWebRoot, stored.WebRoot);
    chosen.FtpAddress = FieldBytes(FFtpServer, stored.FtpAddress);
    chosen.FtpRoot = FieldBytes(FFtpRoot, stored.FtpRoot);
    chosen.FtpUser = FieldBytes(FFtpUser, stored.FtpUser);
    chosen.FtpUtf8 = FFtpUtf8->isChecked();
    chosen.FtpTls = FFtpTls->isChecked();
    chosen.WebCertificate = FWebTrust->EntryFor(chosen.WebAddress);
    chosen.FtpCertificate = FFtpTrust->EntryFor(chosen.FtpAddress);
    // After user and address: the keyring's entry is named by them.
    chosen.FtpPasswordInKeyring = stored.FtpPasswordInKeyring;
    StoreFtpPassword(chosen, FFtpPassword->text().toStdString(), FPasswords);
    chosen.Folder = FieldBytes(FMusicFolder, stored.Folder);
    if (FMusicFolder->text().toStdString() == DisplayText(DefaultMusicFolder()))
        chosen.Folder = DefaultMusicFolder();
    chosen.Write(FSettings);
    done(1);
}

}  // namespace tunrax
