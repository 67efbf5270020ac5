// A wizard container: one page shown at a time above a bar with Back, Next
// and Cancel, an etched line and a page counter ("Seite 2 von 3").
//
// Pages form an ordered list; Next and Back walk it and skip pages whose
// RuntimeVisible is false. Before moving forward the page being left is asked
// (OnChanging): it may refuse, and it may change which later pages are
// visible, which decides where the wizard goes. Next on the last page does not
// move but runs OnLastAction when LastActs is set. Cancel asks the window
// to close.
//
// Handlers may throw; the buttons' enabled states are restored, the page stays
// and the error goes on to the caller (the application shows it). Pages are
// children of the wizard and owned by it through Qt; the wizard owns its
// buttons, line and counter.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;

namespace tunrax {

class TWizard;

class TWizardPage : public QWidget {
    Q_OBJECT

public:
    // The page joins the wizard at the end of its page list (none: no wizard).
    explicit TWizardPage(TWizard* wizard);
    ~TWizardPage() override;

    TWizard* Wizard() const { return FWizard; }
    // Position in the wizard's page list (-1 without wizard). Writing moves the
    // page there, the pages between shifting by one; without a wizard the
    // value waits until the page joins one.
    int Index() const;
    void SetIndex(int index);
    bool EnableBack() const { return FEnableBack; }
    void SetEnableBack(bool enable);
    bool RuntimeVisible() const { return FRuntimeVisible; }
    void SetRuntimeVisible(bool visible);

    // Asked before the wizard leaves the page forwards; allowChange arrives true.
    std::function<void(TWizardPage* sender, bool& allowChange)> OnChanging;
    // Told before the wizard leaves the page backwards.
    std::function<void(TWizardPage* sender)> OnChangeBack;

private:
    friend class TWizard;
    void ChangeButtonState(bool& property, bool value);
    TWizard* FWizard = nullptr;
    bool FEnableBack = true;
    bool FRuntimeVisible = true;
    int FPendingIndex = -1;
};

enum TWizardButtonKind { bkBack = 0, bkNext = 1, bkCancel = 2 };

// The settings of one of the three buttons; writing a caption updates the bar.
class TWizardButton {
public:
    TWizardButton(TWizard& wizard, TWizardButtonKind kind);
    virtual ~TWizardButton() = default;
    TWizardButton(const TWizardButton&) = delete;
    TWizardButton& operator=(const TWizardButton&) = delete;

    TWizardButtonKind ButtonKind() const { return FKind; }
    QPushButton* Button() const { return FButton; }
    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    static QString DefaultCaption(TWizardButtonKind kind);

protected:
    TWizard& FWizard;

private:
    TWizardButtonKind FKind;
    QPushButton* FButton;
    QString FCaption;
};

class TWizardNextButton : public TWizardButton {
public:
    explicit TWizardNextButton(TWizard& wizard) : TWizardButton(wizard, bkNext) {}

    // The caption on the last page (empty: Caption).
    const QString& LastCaption() const { return FLastCaption; }
    void SetLastCaption(const QString& caption);
    // Next stays enabled on the last page and runs OnLastAction there.
    bool LastActs() const { return FLastAction; }
    void SetLastActs(bool lastAction);

private:
    QString FLastCaption;
    bool FLastAction = false;
};

class TWizard : public QWidget {
    Q_OBJECT

public:
    explicit TWizard(QWidget* parent);
    ~TWizard() override;

    // Created in this order: Next, Cancel, Back (their tab order).
    TWizardNextButton BtnNext;
    TWizardButton BtnCancel;
    TWizardButton BtnBack;

    const std::vector<TWizardPage*>& PageList() const { return FPageList; }
    TWizardPage* ActivePage() const { return FActivePage; }
    // Neither the page events nor OnChangePage fire.
    void SetActivePage(TWizardPage* page) { ChangeActivePage(page); }
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    bool StatusText() const { return FStatusTextShown; }
    void SetStatusText(bool shown);
    QString StatusLabelText() const;

    // Next pressed on the last page (with LastActs).
    std::function<void(TWizard* sender)> OnLastAction;
    // The active page changed through Back or Next.
    std::function<void(TWizard* sender)> OnChangePage;

    // Once the pages are in place: shows the first RuntimeVisible page.
    void Loaded();
    // What the three buttons do when pressed.
    void ButtonClick(TWizardButtonKind kind);

    TWizardPage* NextPage() const;
    TWizardPage* PreviousPage() const;
    // The area above the button bar, which the pages fill.
    QRect PageArea() const;

    void UpdateLayout();
    void UpdateButtons();
    // Makes a control visible that lies on one of the pages: its page becomes
    // the active one (as for a control that is to take the focus).
    void ShowControl(QWidget* control);
    // Room for the largest page above the button bar.
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TWizardPage;
    void AddPage(TWizardPage* page);
    void RemovePage(TWizardPage* page);
    void MovePage(TWizardPage* page, int index);
    void ChangeActivePage(TWizardPage* page);
    void Navigate(bool forward);
    // Runs handler with Back and Next disabled, restoring their states
    // afterwards, also when it throws. Cancel stays, to call the work off.
    void WithButtonsDisabled(const std::function<void()>& handler);

    std::vector<TWizardPage*> FPageList;
    TWizardPage* FActivePage = nullptr;
    QFrame* FSeparator = nullptr;
    QLabel* FStatusLabel = nullptr;
    bool FStatusTextShown = true;
    bool FDestroying = false;
};

}  // namespace tunrax
