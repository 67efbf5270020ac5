#include "widgets/TrayIcon.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QPixmap>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

using tunrax::TMouseButton;
using tunrax::TTrayIcon;

TEST(TrayIcon, MouseActionsBecomeEvents) {
    QWidget form;
    TTrayIcon tray(&form);
    std::vector<std::string> log;
    tray.OnClick = [&](TTrayIcon*) { log.push_back("click"); };
    tray.OnDblClick = [&](TTrayIcon*) { log.push_back("dblclick"); };
    {
        SCOPED_TRACE("each press clicks with its button");
        tray.HandleActivation(QSystemTrayIcon::Context);
        EXPECT_EQ(tray.MouseButton(), TMouseButton::mbRight);
        tray.HandleActivation(QSystemTrayIcon::MiddleClick);
        EXPECT_EQ(tray.MouseButton(), TMouseButton::mbMiddle);
        tray.HandleActivation(QSystemTrayIcon::Trigger);
        EXPECT_EQ(tray.MouseButton(), TMouseButton::mbLeft);
        EXPECT_EQ(log, std::vector<std::string>(3, "click"));
    }
    {
        SCOPED_TRACE("a double click: the click of its first press, then the double click");
        log.clear();
        tray.HandleActivation(QSystemTrayIcon::Context);
        tray.HandleActivation(QSystemTrayIcon::Trigger);
        tray.HandleActivation(QSystemTrayIcon::DoubleClick);
        EXPECT_EQ(tray.MouseButton(), TMouseButton::mbLeft);
        EXPECT_EQ(log, (std::vector<std::string>{"click", "click", "dblclick"}));
    }
    {
        SCOPED_TRACE("OnMouseDown takes the press from OnClick");
        log.clear();
        tray.OnMouseDown = [&](TTrayIcon*) { log.push_back("down"); };
        tray.HandleActivation(QSystemTrayIcon::MiddleClick);
        EXPECT_EQ(log, std::vector<std::string>{"down"});
        tray.OnMouseDown = nullptr;
    }
    {
        SCOPED_TRACE("a right press opens the menu, once, and raises nothing");
        log.clear();
        auto menu = std::make_unique<QMenu>();
        menu->addAction(QStringLiteral("Beenden"));
        tray.SetPopupMenu(menu.get());
        tray.HandleActivation(QSystemTrayIcon::Context);
        EXPECT_TRUE(menu->isVisible());
        EXPECT_EQ(tray.Tray().contextMenu(), nullptr);  // Qt would open it a second time
        EXPECT_TRUE(log.empty());
        menu.reset();
        tray.HandleActivation(QSystemTrayIcon::Context);
        EXPECT_EQ(log, std::vector<std::string>{"click"});
    }
}

TEST(TrayIcon, AppearanceIndexAndShow) {
    {
        SCOPED_TRACE("tip cut to 63 characters, none cut in half");
        TTrayIcon tray(nullptr);
        const QString tip = QString(70, QLatin1Char('x'));
        tray.SetTip(tip);
        EXPECT_EQ(tray.Tip(), tip);
        EXPECT_EQ(tray.Tray().toolTip(), tip.left(63));
        const QString note = QString::fromUtf8("\xF0\x9D\x84\x9E");  // one character, two units
        EXPECT_EQ(TTrayIcon::ShownTip(QString(62, QLatin1Char('x')) + note + note),
                  QString(62, QLatin1Char('x')) + note);
    }
    {
        SCOPED_TRACE("a stock icon until one is set");
        TTrayIcon tray(nullptr);
        EXPECT_FALSE(tray.Tray().icon().isNull());
        QPixmap red(16, 16);
        red.fill(Qt::red);
        tray.SetIcon(QIcon(red));
        EXPECT_EQ(tray.Tray().icon().cacheKey(), tray.Icon().cacheKey());
    }
    {
        SCOPED_TRACE("numbered among the icons of their window");
        QWidget form;
        QWidget inner(&form);
        QObject plain;
        TTrayIcon first(&form), second(&form), onInner(&inner), onPlain(&plain);
        EXPECT_EQ(first.Index(), 1);
        EXPECT_EQ(second.Index(), 2);
        EXPECT_EQ(onInner.Index(), 0);
        EXPECT_EQ(onPlain.Index(), 0);
    }
    {
        SCOPED_TRACE("no notification area on the offscreen platform");
        TTrayIcon tray(nullptr);
        ASSERT_FALSE(TTrayIcon::Available());
        EXPECT_FALSE(tray.Show());
        EXPECT_FALSE(tray.IsShown());
        EXPECT_FALSE(tray.Tray().isVisible());
    }
}
