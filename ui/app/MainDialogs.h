// The dialogs that the main window opens: the name of a new list, the
// settings wizard and the copy wizard. The window reaches them through this
// interface, given to its constructor, so that a test can stand in for a
// dialog that has tests of its own.
//
// The dialogs throw what their handlers throw (see SettingsWizard.h and CopyWizard.h); the
// window shows it. They own nothing that outlives them.
#pragma once

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace tunrax {

class TSourceOwner;
class TIniFile;
class TPasswordStore;

class TMainDialogs {
public:
    virtual ~TMainDialogs() = default;
    // Asks for the name of a new list; false when the user cancels.
    virtual bool AskListName(QWidget* parent, QString& name) = 0;
    // Shows the settings wizard modally; its result (1 = saved).
    virtual int ShowSetup(QWidget* parent, TIniFile& settings) = 0;
    // Shows the copy wizard for the songs of the list shown; returns when it
    // has closed.
    virtual void ShowCopy(QWidget* parent, TSourceOwner& sources,
                          const std::vector<std::string>& songs, const std::string& listName,
                          TIniFile& settings) = 0;
};

// The program's own dialogs.
class TStandardDialogs : public TMainDialogs {
public:
    // passwords: where the settings wizard keeps the FTP password (not
    // owned); none keeps it scrambled in the settings file.
    explicit TStandardDialogs(TPasswordStore* passwords = nullptr) : FPasswords(passwords) {}
    bool AskListName(QWidget* parent, QString& name) override;
    int ShowSetup(QWidget* parent, TIniFile& settings) override;
    void ShowCopy(QWidget* parent, TSourceOwner& sources, const std::vector<std::string>& songs,
                  const std::string& listName, TIniFile& settings) override;

private:
    TPasswordStore* FPasswords;
};

}  // namespace tunrax
