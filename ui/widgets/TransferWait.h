// What a window does while a transfer waits on the network. Transfers run on
// the window's thread; between their short waits they call the wait hook
// (see sources/TransferControl.h), which runs the event loop here. A short
// transfer takes no user input: clicks and keys wait in the queue, as during
// any work. Once a transfer takes longer, the window shows that it is busy:
// its controls grey out and only the commands that end the work stay, so that
// "Beenden" and a wizard's "Abbrechen" get through. When the last transfer has
// ended, everything is as it was, the keyboard focus included.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QAction;
class QTimer;
class QWidget;

namespace tunrax {

class TTransferWaitWindow : public QObject {
    Q_OBJECT

public:
    // Installs the wait hook for the program (one window does; a dialog may
    // for a while, and the hook before it is back when it goes). window's
    // widgets but keep grey out while busy (a widget that holds one of keep
    // stays, its other children grey out), and its commands but keepActions
    // are switched off; all is as before once it goes.
    TTransferWaitWindow(QWidget* window, std::vector<QWidget*> keep,
                        std::vector<QAction*> keepActions);
    ~TTransferWaitWindow() override;

    // How long a transfer runs before the window shows itself busy.
    static constexpr int kBusyAfterMs = 300;

    // The window shows itself busy.
    bool Busy() const { return FBusy; }
    // Called when the busy state has ended and the window's commands are as
    // before: the window brings them up to date.
    std::function<void()> OnBusyEnd;

private:
    void Waiting();
    void Enter();
    // Greys out parent's children but those kept and those holding one.
    void GreyOutChildrenOf(QWidget* parent);
    void Leave();
    void LookForEnd();

    QPointer<QWidget> FWindow;
    std::vector<QPointer<QWidget>> FKeep;
    std::vector<QPointer<QAction>> FKeepActions;
    std::vector<QPointer<QWidget>> FGreyed;
    std::vector<QPointer<QAction>> FSwitchedOff;
    QPointer<QWidget> FFocus;
    QElapsedTimer FWaitingSince;
    QTimer* FEndCheck = nullptr;
    std::function<void()> FFormerHook;
    bool FBusy = false;
};

}  // namespace tunrax
