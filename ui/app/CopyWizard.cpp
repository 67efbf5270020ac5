#include "app/CopyWizard.h"

#include <exception>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Application.h"
#include "collection/CopyFiles.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"
#include "widgets/DirectoryEdit.h"
#include "widgets/PersistentProperties.h"
#include "widgets/Wizard.h"
#include "widgets/WizardPages.h"

namespace tunrax {

TCopyWizard::TCopyWizard(QWidget* parent, TIniFile& settings, TSourceOwner& sources,
                         std::vector<std::string> songs, std::string listName)
    : TAppWindow(parent),
      FSettings(settings),
      FSources(sources),
      FSongs(std::move(songs)),
      FListName(std::move(listName)),
      FBorrowed(sources.Borrow([this] { close(); })) {
    setObjectName(QStringLiteral("fmCopy"));
    setWindowTitle(QStringLiteral("Lieder auf den mobilen tunRax kopieren"));
    setWindowFlag(Qt::Tool);
    CreateControls();
    OnCreate();
    cbListe->setEnabled(!FListName.empty());
}

TCopyWizard::~TCopyWizard() = default;

void TCopyWizard::CreateControls() {
    velWizard1 = FillWithWizard(this);
    QVBoxLayout* column = nullptr;
    TWizardPage* velWizardPage1 = AddColumnPage(velWizard1, "velWizardPage1", column);
    column->addWidget(new QLabel(QStringLiteral("Verzeichnis auf dem tunRax"), velWizardPage1));
    edDir = Named(new TDirectoryEdit(velWizardPage1), "edDir");
    edDir->NewStyle = false;
    column->addWidget(edDir);
    cbLoeschen =
        Named(new QCheckBox(QStringLiteral("mp3-Dateien im Verzeichnis löschen ?"), velWizardPage1),
              "cbLoeschen");
    cbOrg = Named(new QCheckBox(QStringLiteral("in originaler Verzeichnisstruktur speichern?"),
                                velWizardPage1),
                  "cbOrg");
    cbListe = Named(new QCheckBox(QStringLiteral("Listenname als Verzeichnis"), velWizardPage1),
                    "cbListe");
    cbWiedergabeliste =
        Named(new QCheckBox(QStringLiteral("Wiedergabeliste anlegen"), velWizardPage1),
              "cbWiedergabeliste");
    for (QCheckBox* box : {cbLoeschen, cbOrg, cbListe, cbWiedergabeliste})
        column->addWidget(box);
    column->addStretch();
    // Errors are shown here: they must not unwind through Qt's signal code.
    // A page whose handler failed is not left.
    velWizardPage1->OnChanging = [this](TWizardPage* sender, bool& allowChange) {
        allowChange = false;
        ShowErrorsOf([&] { velWizardPage1Changing(sender, allowChange); });
    };

    QFormLayout* form = nullptr;
    TWizardPage* velWizardPage2 = AddFormPage(velWizard1, "velWizardPage2", form);
    edAnzahl = AddField(form, QStringLiteral("Anzahl Lieder"), "edAnzahl", true);
    edSize = AddField(form, QStringLiteral("Speicher (MB)"), "edSize", true);
    // The free space of the target stands beside the space the songs need.
    lbFrei = Named(new QLabel(velWizardPage2), "lbFrei");
    auto* sizeRow = new QHBoxLayout;
    int row = 0;
    form->getWidgetPosition(edSize, &row, nullptr);
    form->removeWidget(edSize);
    sizeRow->addWidget(edSize, 1);
    sizeRow->addWidget(lbFrei);
    form->setLayout(row, QFormLayout::FieldRole, sizeRow);

    wpStart = AddColumnPage(velWizard1, "wpStart", column);
    pbStatus = Named(new QProgressBar(wpStart), "pbStatus");
    pbStatus->setTextVisible(false);
    pbStatus->hide();
    btnStart = Named(new QPushButton(QStringLiteral("Start"), wpStart), "btnStart");
    btnStart->setAutoDefault(false);
    column->addStretch();
    column->addWidget(pbStatus);
    column->addWidget(btnStart, 0, Qt::AlignHCenter);
    column->addStretch();
    connect(btnStart, &QPushButton::clicked, this,
            [this] { ShowErrorsOf([this] { btnStartClick(); }); });
    velWizard1->Loaded();
    resize(velWizard1->sizeHint().expandedTo(QSize(410, 149)));
}

void TCopyWizard::OnCreate() {
    ini = new TPersistentProperties(this, FSettings);
    ini->Group = "mobiler tunRax";
    ini->AddItem(edDir, QStringLiteral("TEXT"), "", "Verzeichnis", QString());
    ini->AddItem(cbLoeschen, QStringLiteral("Checked"), "", "Löschen", false);
    ini->AddItem(cbOrg, QStringLiteral("Checked"), "", "Org_Alben", false);
    ini->AddItem(cbListe, QStringLiteral("Checked"), "", "ListenName", true);
    ini->AddItem(cbWiedergabeliste, QStringLiteral("Checked"), "", "Wiedergabeliste", false);
    ini->LoadValues();
}

void TCopyWizard::velWizardPage1Changing(TWizardPage*, bool& allowChange) {
    FTargetDir = PrepareTargetFolder(edDir->text().toStdString(), cbListe->isChecked(), FListName);
    ini->SaveValues();
    int64_t kiloBytes = 0;
    {
        TSourceLease source = FSources.Lease();
        kiloBytes = source->GetSizeKB(FSongs);
    }
    edAnzahl->setText(QString::number(FSongs.size()));
    edSize->setText(QString::fromStdString(SizeMBText(kiloBytes)));
    lbFrei->setText(QStringLiteral("frei: %1 MB")
                        .arg(QString::fromStdString(FreeMBText(FreeSpace(FTargetDir)))));
    allowChange = true;
}

void TCopyWizard::btnStartClick() {
    // Whether the songs fit is known before anything is deleted or written;
    // a refusal leaves the page as it was.
    const bool keepFolders = cbOrg->isChecked();
    const TCopyPlan plan = PlanCopy(FTargetDir, FSongs, keepFolders, cbLoeschen->isChecked());
    if (!plan.toCopy.empty()) {
        int64_t kiloBytes = 0;
        {
            TSourceLease source = FSources.Lease();
            kiloBytes = source->GetSizeKB(plan.toCopy);
        }
        CheckSongsFit(kiloBytes, plan.toCopy.size(), FreeSpace(FTargetDir), plan.freedBytes);
    }

    wpStart->SetEnableBack(false);
    btnStart->setEnabled(false);
    pbStatus->show();
    pbStatus->setMaximum(static_cast<int>(FSongs.size()));
    pbStatus->setValue(0);
    ClearFiles(FTargetDir, plan.toClear);

    FCopying = true;
    FCancelRequested = false;
    FCopied = 0;
    struct CopyingFlag {
        bool& flag;
        ~CopyingFlag() { flag = false; }
    } copying{FCopying};
    QPointer<TCopyWizard> alive(this);
    // The songs that lie in the target, in list order.
    std::vector<std::string> present;
    // A song that fails ends the copy; the songs before it stay, with their
    // playlist, and are written to the device before the message shows.
    std::exception_ptr failure;
    for (size_t i = 0; i < FSongs.size(); ++i) {
        try {
            TSourceLease source = FSources.Lease();
            if (CopySong(*source, FSongs[i], plan.targets[i], FTargetDir))
                ++FCopied;
            present.push_back(plan.targets[i]);
        } catch (const TransferCancelled&) {
            // "Abbrechen" or the program's end during the song: the songs
            // copied so far stay.
            if (!alive)
                return;
            FCancelRequested = true;
            break;
        } catch (const Error&) {
            failure = std::current_exception();
            break;
        }
        pbStatus->setValue(static_cast<int>(i + 1));
        // Repaints, and lets Cancel through between songs.
        QCoreApplication::processEvents();
        if (!alive)
            return;
        if (FCancelRequested)
            break;
    }
    if (cbWiedergabeliste->isChecked() && !present.empty())
        WritePlaylist(FTargetDir, PlaylistName(FListName, FSongs), present);
    // A player may be unplugged as soon as the wizard has gone.
    SyncTargetFolder(FTargetDir);
    if (failure)
        std::rethrow_exception(failure);
    FCopying = false;
    done(FCancelRequested ? 0 : 1);
}

void TCopyWizard::closeEvent(QCloseEvent* event) {
    if (FCopying) {
        // The song under way is called off; the loop then ends.
        FCancelRequested = true;
        CancelRunningTransfers();
        event->ignore();
        return;
    }
    TAppWindow::closeEvent(event);
}

void ShowCopyWizard(QWidget* parent, TSourceOwner& sources, const std::vector<std::string>& songs,
                    const std::string& listName, TIniFile& settings) {
    TCopyWizard form(parent, settings, sources, songs, listName);
    form.exec();
}

}  // namespace tunrax
