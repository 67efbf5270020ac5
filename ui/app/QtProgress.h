// The main window's progress bar as a source's progress display. While it is
// shown it lets the window repaint now and then (user input stays queued), so
// that a long scan or transfer does not look hung.
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "sources/ProgressDisplay.h"

class QProgressBar;

namespace tunrax {

class TProgressBarDisplay : public ProgressDisplay {
public:
    explicit TProgressBarDisplay(QProgressBar* bar);

    void Show() override;
    void Hide() override;
    void SetPosition(int64_t position) override;
    void SetMaximum(int64_t maximum) override;
    void StepIt() override;

private:
    void Repaint(bool now);
    QPointer<QProgressBar> FBar;
    QElapsedTimer FSinceRepaint;
};

}  // namespace tunrax
