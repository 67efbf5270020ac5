#include "widgets/TransferWait.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "sources/TransferControl.h"

namespace tunrax {

namespace {

template <class T>
bool Contains(const std::vector<QPointer<T>>& list, const T* item) {
    return std::any_of(list.begin(), list.end(),
                       [item](const QPointer<T>& kept) { return kept == item; });
}

}  // namespace

TTransferWaitWindow::TTransferWaitWindow(QWidget* window, std::vector<QWidget*> keep,
                                         std::vector<QAction*> keepActions)
    : QObject(window), FWindow(window) {
    for (QWidget* widget : keep)
        FKeep.emplace_back(widget);
    for (QAction* action : keepActions)
        FKeepActions.emplace_back(action);
    // The end is seen from the event loop: a check that runs while a
    // transfer waits finds it still running and looks again later.
    FEndCheck = new QTimer(this);
    FEndCheck->setInterval(50);
    connect(FEndCheck, &QTimer::timeout, this, &TTransferWaitWindow::LookForEnd);
    FFormerHook = TransferWaitHook();
    SetTransferWaitHook([this] { Waiting(); });
}

TTransferWaitWindow::~TTransferWaitWindow() {
    SetTransferWaitHook(std::move(FFormerHook));
    if (FBusy) {
        // Gone before its end check saw the end: no control stays grey.
        OnBusyEnd = nullptr;
        Leave();
    }
}

void TTransferWaitWindow::Waiting() {
    if (!FWaitingSince.isValid()) {
        FWaitingSince.start();
        FEndCheck->start();
    }
    if (!FBusy && FWaitingSince.elapsed() >= kBusyAfterMs)
        Enter();
    QCoreApplication::processEvents(FBusy ? QEventLoop::AllEvents
                                          : QEventLoop::ExcludeUserInputEvents);
}

void TTransferWaitWindow::Enter() {
    if (!FWindow)
        return;
    FBusy = true;
    FFocus = QApplication::focusWidget();
    GreyOutChildrenOf(FWindow);
    for (QAction* action : FWindow->findChildren<QAction*>()) {
        if (!action->isEnabled() || action->menu() || Contains(FKeepActions, action))
            continue;
        action->setEnabled(false);
        FSwitchedOff.emplace_back(action);
    }
}

void TTransferWaitWindow::GreyOutChildrenOf(QWidget* parent) {
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isEnabled() || Contains(FKeep, child))
            continue;
        // A widget that holds one to keep (a splitter's pane holding the
        // progress bar) stays; its other children grey out.
        const bool holdsKept = std::any_of(
            FKeep.begin(), FKeep.end(),
            [child](const QPointer<QWidget>& kept) { return kept && child->isAncestorOf(kept); });
        if (holdsKept) {
            GreyOutChildrenOf(child);
            continue;
        }
        child->setEnabled(false);
        FGreyed.emplace_back(child);
    }
}

void TTransferWaitWindow::Leave() {
    for (const QPointer<QWidget>& widget : FGreyed)
        if (widget)
            widget->setEnabled(true);
    for (const QPointer<QAction>& action : FSwitchedOff)
        if (action)
            action->setEnabled(true);
    FGreyed.clear();
    FSwitchedOff.clear();
    FBusy = false;
    if (FFocus && FFocus->isEnabled() && FFocus->isVisible())
        FFocus->setFocus(Qt::OtherFocusReason);
    FFocus = nullptr;
    if (OnBusyEnd)
        OnBusyEnd();
}

void TTransferWaitWindow::LookForEnd() {
    if (RunningTransfers() > 0)
        return;
    FEndCheck->stop();
    FWaitingSince.invalidate();
    if (FBusy)
        Leave();
}

}  // namespace tunrax
