// What a source may do with the main window's progress bar. The window adapts
// its bar to this; tests give their own.
#pragma once

#include <cstdint>

namespace tunrax {

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void SetPosition(int64_t position) = 0;
    virtual void SetMaximum(int64_t maximum) = 0;
    // One step forward; past the maximum the display starts again at 0.
    virtual void StepIt() = 0;
};

// Shows a bar (not owned; may be none) at position 0 for the life of the
// object, so that it is hidden however a transfer ends.
class TShownProgress {
public:
    explicit TShownProgress(ProgressDisplay* bar) : FBar(bar) {
        if (FBar) {
            FBar->Show();
            FBar->SetPosition(0);
        }
    }
    // The same, then the maximum is set.
    TShownProgress(ProgressDisplay* bar, int64_t maximum) : TShownProgress(bar) {
        if (FBar)
            FBar->SetMaximum(maximum);
    }
    ~TShownProgress() {
        if (FBar)
            FBar->Hide();
    }
    TShownProgress(const TShownProgress&) = delete;
    TShownProgress& operator=(const TShownProgress&) = delete;

private:
    ProgressDisplay* FBar;
};

}  // namespace tunrax
