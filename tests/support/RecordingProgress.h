// A progress display that records what a unit does with it, for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sources/ProgressDisplay.h"

namespace tunrax::test {

class RecordingProgress : public ProgressDisplay {
public:
    void Show() override {
        Visible = true;
        Record("show", "S");
    }
    void Hide() override {
        Visible = false;
        Record("hide", "H");
    }
    void SetPosition(int64_t position) override {
        Position = position;
        Record("position " + std::to_string(position), "P" + std::to_string(position));
        if (OnPosition)
            OnPosition(position);
    }
    void SetMaximum(int64_t maximum) override {
        Maximum = maximum;
        Record("maximum " + std::to_string(maximum), "M");
    }
    void StepIt() override { Record(StepNote ? "step at " + StepNote() : "step", "."); }

    // Every call in order ("show", "position 5", "step at 3", …).
    std::vector<std::string> Calls;
    // The same as one line: S show, H hide, P<n> position, M maximum, "." step.
    std::string Letters;
    bool Visible = false;
    int64_t Position = -1;
    int64_t Maximum = -1;
    // Runs at every position, e.g. to act on a server half-way.
    std::function<void(int64_t)> OnPosition;
    // What a step notes down after "step at ", e.g. how far a catalogue is.
    std::function<std::string()> StepNote;

private:
    void Record(const std::string& call, const std::string& letters) {
        Calls.push_back(call);
        Letters += letters;
    }
};

}  // namespace tunrax::test
