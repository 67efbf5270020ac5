#include "widgets/AppWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "widgets/ModalDialogs.h"

using tunrax::TAppWindow;

namespace {

void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    ASSERT_NE(target, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(target, &press);
}

class ActivationLog : public QObject {
public:
    explicit ActivationLog(std::vector<std::string>& log) : FLog(log) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate)
            FLog.push_back("child");
        return false;
    }

private:
    std::vector<std::string>& FLog;
};

}  // namespace

TEST(AppWindow, AfterCreateOnceWhenShownAndLoopRuns) {
    {
        SCOPED_TRACE("shown before the event loop runs");
        TAppWindow form;
        int count = 0;
        bool visible = false, pendingDone = false, pendingBeforeEmit = false;
        QObject::connect(&form, &TAppWindow::AfterCreate, [&] {
            ++count;
            visible = form.isVisible();
            pendingBeforeEmit = pendingDone;
        });
        form.show();
        QMetaObject::invokeMethod(
            &form, [&] { pendingDone = true; }, Qt::QueuedConnection);
        EXPECT_EQ(count, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(count, 1);
        EXPECT_TRUE(visible);
        EXPECT_TRUE(pendingBeforeEmit);
        form.hide();
        form.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(count, 1);
    }
    {
        SCOPED_TRACE("waits until the form is shown");
        TAppWindow form;
        int count = 0;
        QObject::connect(&form, &TAppWindow::AfterCreate, [&] { ++count; });
        QCoreApplication::processEvents();
        EXPECT_EQ(count, 0);
        form.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(count, 1);
    }
    {
        SCOPED_TRACE("freed before the event loop runs");
        int count = 0;
        auto form = std::make_unique<TAppWindow>();
        QObject::connect(form.get(), &TAppWindow::AfterCreate, [&] { ++count; });
        form->show();
        form.reset();
        QCoreApplication::processEvents();
        EXPECT_EQ(count, 0);
    }
}

TEST(AppWindow, FirstActivateOnceBeforeActivationHandling) {
    TAppWindow form;
    QWidget child(&form);
    std::vector<std::string> log;
    ActivationLog filter(log);
    child.installEventFilter(&filter);
    QObject::connect(&form, &TAppWindow::FirstActivate, [&] { log.push_back("first"); });
    form.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < 2; ++i) {
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&form, &activate);
    }
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front(), "first");
    EXPECT_EQ(std::count(log.begin(), log.end(), "first"), 1);
}

TEST(AppWindow, EnterActsAsTabEscapeDoesNotClose) {
    TAppWindow form;
    auto* first = new QLineEdit(&form);
    auto* second = new QLineEdit(&form);
    auto* check = new QCheckBox(&form);
    auto* tool = new QToolButton(&form);
    auto* plain = new QPushButton(QStringLiteral("plain"), &form);
    auto* ok = new QPushButton(QStringLiteral("OK"), &form);
    plain->setAutoDefault(false);
    ok->setDefault(true);
    int toolClicks = 0, plainClicks = 0, okClicks = 0, rejected = 0;
    QObject::connect(tool, &QToolButton::clicked, [&] { ++toolClicks; });
    QObject::connect(plain, &QPushButton::clicked, [&] { ++plainClicks; });
    QObject::connect(ok, &QPushButton::clicked, [&] { ++okClicks; });
    QObject::connect(&form, &QDialog::rejected, [&] { ++rejected; });
    form.show();
    form.activateWindow();
    QCoreApplication::processEvents();
    {
        SCOPED_TRACE("Enter moves on from edits and check boxes, Shift+Enter back");
        first->setFocus();
        Key(form.focusWidget(), Qt::Key_Return);
        EXPECT_EQ(form.focusWidget(), second);
        Key(form.focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(form.focusWidget(), check);
        Key(form.focusWidget(), Qt::Key_Return);
        EXPECT_EQ(form.focusWidget(), tool);
        check->setFocus();
        Key(form.focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
        EXPECT_EQ(form.focusWidget(), second);
        Key(form.focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
        EXPECT_EQ(form.focusWidget(), first);
        EXPECT_EQ(toolClicks + okClicks, 0);
    }
    {
        SCOPED_TRACE("Enter presses the focused push button");
        for (QAbstractButton* button :
             {static_cast<QAbstractButton*>(tool), static_cast<QAbstractButton*>(plain),
              static_cast<QAbstractButton*>(ok)}) {
            button->setFocus();
            Key(button, Qt::Key_Return);
            EXPECT_EQ(form.focusWidget(), button);
        }
        EXPECT_EQ(toolClicks, 1);
        EXPECT_EQ(plainClicks, 1);
        EXPECT_EQ(okClicks, 1);
    }
    {
        SCOPED_TRACE("OnTestReturn keeps Enter, which presses the default button");
        TAppWindow* sender = nullptr;
        bool arrived = false;
        form.OnTestReturn = [&](TAppWindow* s, bool& replaceReturn) {
            sender = s;
            arrived = replaceReturn;
            replaceReturn = false;
        };
        first->setFocus();
        Key(first, Qt::Key_Return);
        EXPECT_EQ(sender, &form);
        EXPECT_TRUE(arrived);
        EXPECT_EQ(form.focusWidget(), first);
        EXPECT_EQ(okClicks, 2);
        form.OnTestReturn = nullptr;
    }
    {
        SCOPED_TRACE("ActivReturn off: Enter presses the default button");
        form.ActivReturn = false;
        Key(first, Qt::Key_Return);
        EXPECT_EQ(form.focusWidget(), first);
        EXPECT_EQ(okClicks, 3);
        form.ActivReturn = true;
    }
    {
        SCOPED_TRACE("Escape does not close the form");
        Key(first, Qt::Key_Escape);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(rejected, 0);
    }
}

// The 801-pixel desktop needs a screen of that size: the test runs itself
// again on such a screen.
TEST(AppWindow, MainFormSize) {
    const char* wide = std::getenv("TUNRAX_TEST_WIDE_DESKTOP");
    TAppWindow mainForm;
    ASSERT_EQ(TAppWindow::MainForm(), &mainForm);
    ASSERT_EQ(mainForm.screen()->availableGeometry().width(), wide ? 801 : 800);
    mainForm.MainFormSize = true;
    mainForm.setGeometry(40, 50, 500, 300);
    mainForm.show();
    TAppWindow secondary;
    secondary.MainFormSize = true;
    secondary.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(mainForm.isMaximized());
    EXPECT_EQ(mainForm.geometry(), QRect(40, 50, 500, 300));
    if (wide) {
        EXPECT_FALSE(secondary.isMaximized());
        EXPECT_EQ(secondary.geometry(), mainForm.geometry());
        return;
    }
    EXPECT_TRUE(secondary.isMaximized());

    tunrax::test::TempDir dir;
    tunrax::test::WriteFile(
        dir / "screen.json",
        R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 801, "height": 600}]})");
    QProcess child;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TUNRAX_TEST_WIDE_DESKTOP"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") +
                                                      QString::fromStdString(dir / "screen.json"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=AppWindow.MainFormSize")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

namespace {

void CheckBox(const QMessageBox& box, const QString& text, const QString& defaultText) {
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Bestätigung"));
    EXPECT_EQ(box.icon(), QMessageBox::Question);
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    QStringList texts;
    for (QAbstractButton* button : box.buttons())
        texts << button->text();
    EXPECT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts.contains(QStringLiteral("&Ja")) && texts.contains(QStringLiteral("&Nein")));
    ASSERT_NE(box.defaultButton(), nullptr);
    EXPECT_EQ(box.defaultButton()->text(), defaultText);
    EXPECT_EQ(box.focusWidget(), box.defaultButton());
}

// Asks; the box, once open, is checked and answered with the button of that
// text (Escape when empty).
bool Ask(bool defaultNo, const QString& answer) {
    const QString text = QStringLiteral("Liste \"Rock & <b>Roll</b>\" wirklich löschen?");
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        CheckBox(*box, text, defaultNo ? QStringLiteral("&Nein") : QStringLiteral("&Ja"));
        for (QAbstractButton* button : box->buttons())
            if (button->text() == answer)
                return button->click();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &escape);
    });
    return tunrax::AskYesNo(text, defaultNo);
}

}  // namespace

TEST(AskYesNo, ShowsTextAsItIsAndAnswersYesOnlyForJa) {
    EXPECT_TRUE(Ask(true, QStringLiteral("&Ja")));
    EXPECT_FALSE(Ask(true, QStringLiteral("&Nein")));
    EXPECT_FALSE(Ask(false, QStringLiteral("&Nein")));
    EXPECT_FALSE(Ask(false, QString()));  // Escape, though "&Ja" is the default
}
