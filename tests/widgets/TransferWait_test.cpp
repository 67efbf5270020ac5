// A window while a transfer waits: the transfers here wait as the real ones
// do (short sleeps between checks of their watch), and the person's clicks
// arrive as mouse events from a timer meanwhile.
#include "widgets/TransferWait.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <memory>
#include <thread>

#include "sources/TransferControl.h"
#include "widgets/AppWindow.h"
#include "widgets/Wizard.h"

using namespace tunrax;
using namespace std::chrono_literals;

namespace {

struct BusyForm {
    BusyForm() {
        auto* layout = new QVBoxLayout(&form);
        bar = new QMenuBar(&form);
        menu = bar->addMenu(QStringLiteral("&Datei"));
        open = menu->addAction(QStringLiteral("Öffnen"));
        quit = menu->addAction(QStringLiteral("&Beenden"));
        field = new QLineEdit(&form);
        next = new QPushButton(QStringLiteral("Weiter"), &form);
        layout->addWidget(bar);
        layout->addWidget(field);
        layout->addWidget(next);
        wait = new TTransferWaitWindow(&form, {bar}, {quit});
        QObject::connect(next, &QPushButton::clicked, [this] { ++nextClicks; });
        QObject::connect(quit, &QAction::triggered, [] { CancelRunningTransfers(); });
        form.show();
        field->setFocus();
    }
    TAppWindow form;
    QMenuBar* bar;
    QMenu* menu;
    QAction* open;
    QAction* quit;
    QLineEdit* field;
    QPushButton* next;
    TTransferWaitWindow* wait;
    int nextClicks = 0;
};

// Waits as a transfer does until called off; how long that took.
std::chrono::milliseconds TransferUntilCancelled(std::chrono::milliseconds atMost) {
    TPaceLimits unhurried;
    unhurried.minBytes = 0;
    TTransferWatch watch("\"tunrax.dat\"", unhurried);
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < atMost) {
        std::this_thread::sleep_for(10ms);
        try {
            watch.Check();
        } catch (const TransferCancelled&) {
            break;
        }
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

}  // namespace

TEST(TransferWait, ALongTransferGreysTheWindowButBeendenCallsItOff) {
    BusyForm f;
    bool greyed = false, quitOn = false, openOn = true;
    QTimer::singleShot(TTransferWaitWindow::kBusyAfterMs + 200, [&] {
        greyed = !f.field->isEnabled() && !f.next->isEnabled() && f.bar->isEnabled();
        quitOn = f.quit->isEnabled();
        openOn = f.open->isEnabled();
        QTest::mouseClick(f.next, Qt::LeftButton);  // greyed: nothing happens
        // "Datei > Beenden" with the keyboard, as a person would.
        QTest::keyClick(f.bar, Qt::Key_D, Qt::AltModifier);
        QTimer::singleShot(100, [&] { QTest::keyClick(f.menu, Qt::Key_B); });
    });
    const auto took = TransferUntilCancelled(5s);
    EXPECT_TRUE(greyed);
    EXPECT_TRUE(quitOn);
    EXPECT_FALSE(openOn);
    EXPECT_EQ(f.nextClicks, 0);
    EXPECT_LT(took, 1500ms);  // busy after 0.3 s, the click 0.2 s later
    EXPECT_GT(took, 400ms);

    // Once the transfer has ended, all is as before, the focus included.
    int ends = 0;
    f.wait->OnBusyEnd = [&ends] { ++ends; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return ends > 0; }, 2000));
    EXPECT_FALSE(f.wait->Busy());
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(f.field->isEnabled());
    EXPECT_TRUE(f.next->isEnabled());
    EXPECT_TRUE(f.open->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), f.field);
}

TEST(TransferWait, AShortTransferLeavesTheWindowAsItIs) {
    BusyForm f;
    bool stillEnabled = false;
    QTimer::singleShot(100, [&] { stillEnabled = f.field->isEnabled() && f.open->isEnabled(); });
    TPaceLimits unhurried;
    unhurried.minBytes = 0;
    {
        TTransferWatch watch("\"a.mp3\"", unhurried);
        for (int i = 0; i < 20; ++i) {  // 0.2 s
            std::this_thread::sleep_for(10ms);
            watch.Check();
        }
    }
    EXPECT_TRUE(stillEnabled);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.wait->Busy(); }, 2000));
}

TEST(TransferWait, AWizardsAbbrechenCallsOffTheTransferOfAPageHandler) {
    // The wizard is a window of its own over the main window.
    BusyForm main;
    TAppWindow form;
    auto* wizard = new TWizard(&form);
    wizard->resize(410, 149);
    for (int i = 0; i < 2; ++i)
        new QLineEdit(new TWizardPage(wizard));
    form.show();
    wizard->Loaded();
    std::chrono::milliseconds took{0};
    wizard->ActivePage()->OnChanging = [&](TWizardPage*, bool& allowChange) {
        took = TransferUntilCancelled(5s);
        allowChange = false;
    };
    QTimer::singleShot(TTransferWaitWindow::kBusyAfterMs + 200,
                       [&] { QTest::mouseClick(wizard->BtnCancel.Button(), Qt::LeftButton); });
    QTest::mouseClick(wizard->BtnNext.Button(), Qt::LeftButton);
    EXPECT_GT(took, 400ms);
    EXPECT_LT(took, 1500ms);
    EXPECT_FALSE(form.isVisible());
}

TEST(TransferWait, ADialogsWaitForAWhileGivesTheWindowItsOwnBackWhole) {
    BusyForm f;
    {
        // A dialog's own handling for one transfer, gone as soon as it ended,
        // before its end check came round.
        TAppWindow dialog;
        auto* field = new QLineEdit(&dialog);
        dialog.show();
        auto wait = std::make_unique<TTransferWaitWindow>(&dialog, std::vector<QWidget*>{},
                                                          std::vector<QAction*>{});
        bool dialogGreyed = false, mainGreyed = true;
        QTimer::singleShot(TTransferWaitWindow::kBusyAfterMs + 200, [&] {
            dialogGreyed = !field->isEnabled();
            mainGreyed = !f.field->isEnabled();
            CancelRunningTransfers();
        });
        TransferUntilCancelled(5s);
        wait.reset();
        EXPECT_TRUE(dialogGreyed) << "the dialog did not show itself busy";
        EXPECT_FALSE(mainGreyed) << "the main window greyed for the dialog's transfer";
        EXPECT_TRUE(field->isEnabled()) << "the dialog stayed grey";
    }
    // The main window's handling is back: a long transfer greys it again.
    bool mainBusy = false;
    QTimer::singleShot(TTransferWaitWindow::kBusyAfterMs + 200, [&] {
        mainBusy = f.wait->Busy() && !f.field->isEnabled();
        CancelRunningTransfers();
    });
    TransferUntilCancelled(5s);
    EXPECT_TRUE(mainBusy) << "the main window's wait hook was not put back";
}

// The progress bar to keep may lie deep in the window (a splitter's pane):
// it stays usable while everything around it greys out.
TEST(TransferWait, AKeptWidgetInsideAPaneStaysWhileItsNeighboursGreyOut) {
    TAppWindow form;
    auto* layout = new QVBoxLayout(&form);
    auto* splitter = new QSplitter(&form);
    auto* left = new QLineEdit(splitter);
    auto* pane = new QWidget(splitter);
    auto* column = new QVBoxLayout(pane);
    auto* list = new QPushButton(QStringLiteral("Lieder"), pane);
    auto* progress = new QProgressBar(pane);
    column->addWidget(list);
    column->addWidget(progress);
    layout->addWidget(splitter);
    new TTransferWaitWindow(&form, {progress}, {});
    form.show();
    bool keptOn = false, neighboursOff = false;
    QTimer::singleShot(TTransferWaitWindow::kBusyAfterMs + 200, [&] {
        keptOn = progress->isEnabled();
        neighboursOff = !left->isEnabled() && !list->isEnabled();
        CancelRunningTransfers();
    });
    TransferUntilCancelled(5s);
    EXPECT_TRUE(keptOn);
    EXPECT_TRUE(neighboursOff);
    EXPECT_TRUE(QTest::qWaitFor([&] { return left->isEnabled() && list->isEnabled(); }, 2000));
}
