// The base of every Tunrax window: a dialog-style top-level window (so that it
// can run modally with a result) with
//  - AfterCreate: emitted once per form, after construction, once the form is
//    visible and the events pending then have been processed;
//  - FirstActivate: emitted on the first activation only, before the
//    toolkit's own activation handling;
//  - Enter acts as Tab (Shift+Enter as Shift+Tab) unless the focus is on a
//    push button, while ActivReturn is true and OnTestReturn does not object;
//  - MainFormSize: a secondary form takes the main window's geometry when it
//    is shown first (maximised on a desktop of 800 pixels or less).
// The main window is the one given to SetMainForm; until one is given, the
// first TAppWindow made without a parent (while it lives).
// Escape does not close the form (Tunrax windows close through their
// commands). Exceptions from AfterCreate handlers go to the application's
// error display like any other.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

namespace tunrax {

class TAppWindow : public QDialog {
    Q_OBJECT

public:
    explicit TAppWindow(QWidget* parent = nullptr);
    ~TAppWindow() override;

    bool ActivReturn = true;
    // Asked before Enter becomes Tab; set replaceReturn to false to keep Enter.
    std::function<void(TAppWindow* sender, bool& replaceReturn)> OnTestReturn;
    QString TagString;
    bool MainFormSize = false;

    // The window whose bounds MainFormSize takes; not owned. Null when none.
    static QWidget* MainForm();
    static void SetMainForm(QWidget* form);

    // The AfterCreate handlers have run: the form shows what it started with.
    bool Started() const { return FStarted; }

Q_SIGNALS:
    void AfterCreate();
    void FirstActivate();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyMainFormSize();
    bool FAfterCreateDone = false;
    bool FStarted = false;
    bool FAfterCreatePosted = false;
    bool FFirstActivateDone = false;
    bool FMainFormSizeApplied = false;
};

}  // namespace tunrax
