// The main window's dialogs in a test: each is the program's own unless the
// test stands in for it, where the dialog has tests of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/MainDialogs.h"

namespace tunrax::test {

class TTestDialogs : public TStandardDialogs {
public:
    // Stands in for the settings wizard: returns its result.
    std::function<int()> OnSetup;
    // Stands in for the copy wizard: gets the songs and list name offered.
    std::function<void(const std::vector<std::string>& songs, const std::string& listName)> OnCopy;

    int ShowSetup(QWidget* parent, TIniFile& settings) override {
        return OnSetup ? OnSetup() : TStandardDialogs::ShowSetup(parent, settings);
    }
    void ShowCopy(QWidget* parent, TSourceOwner& sources, const std::vector<std::string>& songs,
                  const std::string& listName, TIniFile& settings) override {
        if (OnCopy)
            OnCopy(songs, listName);
        else
            TStandardDialogs::ShowCopy(parent, sources, songs, listName, settings);
    }
};

}  // namespace tunrax::test
