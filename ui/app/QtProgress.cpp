#include "app/QtProgress.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <algorithm>
#include <climits>

namespace tunrax {

namespace {
int Clamp(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, INT_MAX));
}
}  // namespace

TProgressBarDisplay::TProgressBarDisplay(QProgressBar* bar) : FBar(bar) {}

void TProgressBarDisplay::Show() {
    if (!FBar)
        return;
    FBar->show();
    Repaint(true);
}

void TProgressBarDisplay::Hide() {
    if (FBar)
        FBar->hide();
}

void TProgressBarDisplay::SetPosition(int64_t position) {
    if (!FBar)
        return;
    FBar->setValue(std::min(Clamp(position), FBar->maximum()));
    Repaint(false);
}

void TProgressBarDisplay::SetMaximum(int64_t maximum) {
    if (FBar)
        FBar->setMaximum(std::max(1, Clamp(maximum)));
}

void TProgressBarDisplay::StepIt() {
    if (!FBar)
        return;
    // Past its maximum the bar starts again from its minimum.
    int next = FBar->value() + 1;
    FBar->setValue(next > FBar->maximum() ? FBar->minimum() : next);
    Repaint(false);
}

void TProgressBarDisplay::Repaint(bool now) {
    // Every 50 ms is enough to look alive without slowing the work down.
    if (!now && FSinceRepaint.isValid() && FSinceRepaint.elapsed() < 50)
        return;
    FSinceRepaint.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tunrax
