#include "app/CopyWizard.h"

#include <optional>
#include <string>

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
#include "io/Error.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"
#include "widgets/DirectoryEdit.h"
#include "widgets/ModalDialogs.h"
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
    FListAsFolder->setEnabled(!FListName.empty());
}

TCopyWizard::~TCopyWizard() = default;

void TCopyWizard::CreateControls() {
    FWizard = FillWithWizard(this);
    QVBoxLayout* column = nullptr;
    TWizardPage* targetPage = AddColumnPage(FWizard, "velWizardPage1", column);
    column->addWidget(new QLabel(QStringLiteral("Verzeichnis auf dem tunRax"), targetPage));
    FTargetFolder = Named(new TDirectoryEdit(targetPage), "edDir");
    FTargetFolder->NewStyle = false;
    column->addWidget(FTargetFolder);
    FClearTarget =
        Named(new QCheckBox(QStringLiteral("mp3-Dateien im Verzeichnis löschen ?"), targetPage),
              "cbLoeschen");
    FKeepFolders = Named(
        new QCheckBox(QStringLiteral("in originaler Verzeichnisstruktur speichern?"), targetPage),
        "cbOrg");
    FListAsFolder =
        Named(new QCheckBox(QStringLiteral("Listenname als Verzeichnis"), targetPage), "cbListe");
    FWritePlaylist = Named(new QCheckBox(QStringLiteral("Wiedergabeliste anlegen"), targetPage),
                           "cbWiedergabeliste");
    for (QCheckBox* box : {FClearTarget, FKeepFolders, FListAsFolder, FWritePlaylist})
        column->addWidget(box);
    column->addStretch();
    // Errors are shown here: they must not unwind through Qt's signal code.
    // A page whose handler failed is not left.
    targetPage->OnChanging = [this](TWizardPage* sender, bool& allowChange) {
        allowChange = false;
        ShowErrorsOf([&] { OnTargetChosen(sender, allowChange); });
    };

    QFormLayout* form = nullptr;
    TWizardPage* sizePage = AddFormPage(FWizard, "velWizardPage2", form);
    FSongCount = AddField(form, QStringLiteral("Anzahl Lieder"), "edAnzahl", true);
    FSongSize = AddField(form, QStringLiteral("Speicher (MB)"), "edSize", true);
    // The free space of the target stands beside the space the songs need.
    FFreeSpace = Named(new QLabel(sizePage), "lbFrei");
    auto* sizeRow = new QHBoxLayout;
    int row = 0;
    form->getWidgetPosition(FSongSize, &row, nullptr);
    form->removeWidget(FSongSize);
    sizeRow->addWidget(FSongSize, 1);
    sizeRow->addWidget(FFreeSpace);
    form->setLayout(row, QFormLayout::FieldRole, sizeRow);

    FCopyPage = AddColumnPage(FWizard, "wpStart", column);
    FProgress = Named(new QProgressBar(FCopyPage), "pbStatus");
    FProgress->setTextVisible(false);
    FProgress->hide();
    FStart = Named(new QPushButton(QStringLiteral("Start"), FCopyPage), "btnStart");
    FStart->setAutoDefault(false);
    column->addStretch();
    column->addWidget(FProgress);
    column->addWidget(FStart, 0, Qt::AlignHCenter);
    column->addStretch();
    connect(FStart, &QPushButton::clicked, this, [this] { ShowErrorsOf([this] { CopySongs(); }); });
    FWizard->Loaded();
    resize(FWizard->sizeHint().expandedTo(QSize(410, 149)));
}

void TCopyWizard::OnCreate() {
    FStoredValues = new TPersistentProperties(this, FSettings);
    FStoredValues->Group = "mobiler tunRax";
    FStoredValues->AddItem(FTargetFolder, QStringLiteral("TEXT"), "", "Verzeichnis", QString());
    FStoredValues->AddItem(FClearTarget, QStringLiteral("Checked"), "", "Löschen", false);
    FStoredValues->AddItem(FKeepFolders, QStringLiteral("Checked"), "", "Org_Alben", false);
    FStoredValues->AddItem(FListAsFolder, QStringLiteral("Checked"), "", "ListenName", true);
    FStoredValues->AddItem(FWritePlaylist, QStringLiteral("Checked"), "", "Wiedergabeliste", false);
    FStoredValues->LoadValues();
}

void TCopyWizard::OnTargetChosen(TWizardPage*, bool& allowChange) {
    FTargetDir = PrepareTargetFolder(FTargetFolder->text().toStdString(),
                                     FListAsFolder->isChecked(), FListName);
    FStoredValues->SaveValues();
    int64_t kiloBytes = 0;
    {
        TSourceLease source = FSources.Lease();
        kiloBytes = source->GetSizeKB(FSongs);
    }
    FSongCount->setText(QString::number(FSongs.size()));
    FSongSize->setText(QString::fromStdString(SizeMBText(kiloBytes)));
    FFreeSpace->setText(QStringLiteral("frei: %1 MB")
                            .arg(QString::fromStdString(FreeMBText(FreeSpace(FTargetDir)))));
    allowChange = true;
}

void TCopyWizard::CopySongs() {
    // Whether the songs fit is known before anything is deleted or written;
    // a refusal leaves the page as it was.
    const bool keepFolders = FKeepFolders->isChecked();
    const TCopyPlan plan = PlanCopy(FTargetDir, FSongs, keepFolders, FClearTarget->isChecked());
    if (!plan.toCopy.empty()) {
        int64_t kiloBytes = 0;
        {
            TSourceLease source = FSources.Lease();
            kiloBytes = source->GetSizeKB(plan.toCopy);
        }
        CheckSongsFit(kiloBytes, plan.toCopy.size(), FreeSpace(FTargetDir), plan.freedBytes);
    }
    // Nothing is deleted that the user has not agreed to lose; "Nein" leaves
    // the page as it was, to untick the clearing or choose another folder.
    const TClearCount clearing = CountClearing(plan.toClear, plan.targets);
    if (clearing.files > 0 &&
        !AskYesNo(QString::fromUtf8(ClearQuestion(clearing).c_str()), true, this))
        return;

    FCopyPage->SetEnableBack(false);
    FStart->setEnabled(false);
    FProgress->show();
    FProgress->setMaximum(static_cast<int>(FSongs.size()));
    FProgress->setValue(0);
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
    std::optional<std::string> failure;
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
        } catch (const Error& error) {
            failure = CopyFailureMessage(FCopied, FSongs.size(), FSongs[i], error.what());
            break;
        }
        FProgress->setValue(static_cast<int>(i + 1));
        // Repaints, and lets Cancel through between songs.
        QCoreApplication::processEvents();
        if (!alive)
            return;
        if (FCancelRequested)
            break;
    }
    if (FWritePlaylist->isChecked() && !present.empty())
        WritePlaylist(FTargetDir, PlaylistName(FListName, FSongs), present);
    // A player may be unplugged as soon as the wizard has gone.
    SyncTargetFolder(FTargetDir);
    if (failure)
        throw Error(*failure);
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
