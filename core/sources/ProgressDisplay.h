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

}  // namespace tunrax
