#include "widgets/AppWindow.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>

namespace tunrax {

namespace {

QEvent::Type AfterCreateEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QPointer<QWidget>& MainFormPointer() {
    static QPointer<QWidget> mainForm;
    return mainForm;
}

bool IsPushButton(const QWidget* widget) {
    return qobject_cast<const QPushButton*>(widget) || qobject_cast<const QToolButton*>(widget);
}

void PostAfterCreate(TAppWindow* form) {
    // Posted, not sent: the handlers run only once the event loop runs, after
    // the constructors of derived forms have finished.
    QCoreApplication::postEvent(form, new QEvent(AfterCreateEvent()));
}

}  // namespace

TAppWindow::TAppWindow(QWidget* parent) : QDialog(parent) {
    if (!parent && !MainFormPointer())
        MainFormPointer() = this;
    PostAfterCreate(this);
    FAfterCreatePosted = true;
}

// Events still queued for the form are discarded by QObject's destructor, so a
// form freed before the event loop runs never emits AfterCreate.
TAppWindow::~TAppWindow() = default;

QWidget* TAppWindow::MainForm() {
    return MainFormPointer();
}

void TAppWindow::SetMainForm(QWidget* form) {
    MainFormPointer() = form;
}

bool TAppWindow::event(QEvent* event) {
    if (event->type() == AfterCreateEvent()) {
        FAfterCreatePosted = false;
        // A form that is not on screen yet waits for its showEvent, which
        // posts again.
        if (FAfterCreateDone || !isVisible())
            return true;
        FAfterCreateDone = true;
        QPointer<TAppWindow> alive(this);
        // processEvents alone would leave the events posted in this same pass
        // (layout and paint requests among them) until after the handlers.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (alive)
            Q_EMIT AfterCreate();
        if (alive)
            FStarted = true;
        return true;
    }
    if (event->type() == QEvent::WindowActivate && !FFirstActivateDone) {
        FFirstActivateDone = true;
        QPointer<TAppWindow> alive(this);
        Q_EMIT FirstActivate();
        if (!alive)
            return true;
    }
    return QDialog::event(event);
}

void TAppWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Tunrax windows close through their commands, never by Escape.
    if (key == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    QWidget* focus = focusWidget();
    if (ActivReturn && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) &&
        !IsPushButton(focus)) {
        bool replaceReturn = true;
        if (OnTestReturn)
            OnTestReturn(this, replaceReturn);
        if (replaceReturn) {
            focusNextPrevChild(modifiers != Qt::ShiftModifier);
            event->accept();
            return;
        }
    }
    // Push buttons that are auto-default click themselves; tool buttons and
    // the others pass Enter on, and QDialog would press the default button
    // instead of the focused one.
    if (IsPushButton(focus) && focus->isEnabled() && modifiers == Qt::NoModifier) {
        static_cast<QAbstractButton*>(focus)->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAppWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (MainFormSize && !FMainFormSizeApplied) {
        FMainFormSizeApplied = true;
        ApplyMainFormSize();
    }
    if (!FAfterCreateDone && !FAfterCreatePosted) {
        PostAfterCreate(this);
        FAfterCreatePosted = true;
    }
}

void TAppWindow::ApplyMainFormSize() {
    const QWidget* mainForm = MainForm();
    if (!mainForm || mainForm == this)
        return;
    const QScreen* desktop = mainForm->screen() ? mainForm->screen() : screen();
    if (desktop && desktop->availableGeometry().width() > 800) {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        setGeometry(mainForm->geometry());
    } else {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

}  // namespace tunrax
