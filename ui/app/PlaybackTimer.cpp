#include "app/PlaybackTimer.h"

#include <QTimer>

#include "app/Application.h"

namespace tunrax {

namespace {

// The clock's interval.
constexpr int kTickMs = 100;

}  // namespace

TPlaybackTimer::TPlaybackTimer(QObject* owner, std::function<void()> tick,
                               std::function<bool()> mayCall)
    : QObject(owner),
      FTimer(new QTimer(this)),
      FTick(std::move(tick)),
      FMayCall(std::move(mayCall)) {
    FTimer->setObjectName(QStringLiteral("mmStart"));
    FTimer->setInterval(kTickMs);
    connect(FTimer, &QTimer::timeout, this, &TPlaybackTimer::OnTimeout);
    FGrid.start();
}

void TPlaybackTimer::OnTimeout() {
    // The first tick after a start came at the next point of the grid; the
    // others follow at the full interval.
    if (FTimer->interval() != kTickMs)
        FTimer->setInterval(kTickMs);
    ShowErrorsOf(FTick);
}

void TPlaybackTimer::GiveTicksByHand() {
    FByHand = true;
    FTimer->stop();
}

void TPlaybackTimer::Halt() {
    FHalted = true;
    FTimer->stop();
}

void TPlaybackTimer::Run(bool on) {
    if (!on)
        FTimer->stop();
    else if (!FByHand && !FHalted && !FTimer->isActive())
        // A song chosen starts on the second tick, 100 to 200 ms later, as
        // with a clock that never stopped.
        FTimer->start(kTickMs - static_cast<int>(FGrid.elapsed() % kTickMs));
}

void TPlaybackTimer::CallSoon(std::function<void()> call) {
    QTimer::singleShot(0, this, [this, call = std::move(call)] {
        if (FMayCall())
            ShowErrorsOf(call);
    });
}

}  // namespace tunrax
