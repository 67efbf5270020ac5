// A wizard container: one page shown at a time above a bar with Back, Next
// and Cancel, an etched line and a page counter ("Seite 2 von 3").
//
// Pages form an ordered list; Next and Back walk it and skip pages whose
// RuntimeVisible is false. Before moving forward the page being left is asked
// (OnChanging): it may refuse, and it may change which later pages are
// visible, which decides where the wizard goes. Next on the last page does not
// move but runs OnLastAction when Last_TAction is set. Cancel asks the window
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

class TvelWizard;

class TvelWizardPage : public QWidget {
    Q_OBJECT

public:
    // The page joins the wizard at the end of its page list (none: no wizard).
    explicit TvelWizardPage(TvelWizard* wizard);
    ~TvelWizardPage() override;

    TvelWizard* Wizard() const { return FWizard; }
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
    std::function<void(TvelWizardPage* sender, bool& allowChange)> OnChanging;
    // Told before the wizard leaves the page backwards.
    std::function<void(TvelWizardPage* sender)> OnChangeBack;

private:
    friend class TvelWizard;
    void ChangeButtonState(bool& property, bool value);
    TvelWizard* FWizard = nullptr;
    bool FEnableBack = true;
    bool FRuntimeVisible = true;
    int FPendingIndex = -1;
};

enum TWizardButtonKind { bkBack = 0, bkNext = 1, bkCancel = 2 };

// The settings of one of the three buttons; writing a caption updates the bar.
class TvelWizardBtn {
public:
    TvelWizardBtn(TvelWizard& wizard, TWizardButtonKind kind);
    virtual ~TvelWizardBtn() = default;
    TvelWizardBtn(const TvelWizardBtn&) = delete;
    TvelWizardBtn& operator=(const TvelWizardBtn&) = delete;

    TWizardButtonKind ButtonKind() const { return FKind; }
    QPushButton* Button() const { return FButton; }
    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    static QString DefaultCaption(TWizardButtonKind kind);

protected:
    TvelWizard& FWizard;

private:
    TWizardButtonKind FKind;
    QPushButton* FButton;
    QString FCaption;
};

class TvelWizardBtnNext : public TvelWizardBtn {
public:
    explicit TvelWizardBtnNext(TvelWizard& wizard) : TvelWizardBtn(wizard, bkNext) {}

    // The caption on the last page (empty: Caption).
    const QString& Last_Caption() const { return FLastCaption; }
    void SetLast_Caption(const QString& caption);
    // Next stays enabled on the last page and runs OnLastAction there.
    bool Last_TAction() const { return FLastAction; }
    void SetLast_TAction(bool lastAction);

private:
    QString FLastCaption;
    bool FLastAction = false;
};

class TvelWizard : public QWidget {
    Q_OBJECT

public:
    explicit TvelWizard(QWidget* parent);
    ~TvelWizard() override;

    // Created in this order: Next, Cancel, Back (their tab order).
    TvelWizardBtnNext BtnNext;
    TvelWizardBtn BtnCancel;
    TvelWizardBtn BtnBack;

    const std::vector<TvelWizardPage*>& PageList() const { return FPageList; }
    TvelWizardPage* ActivePage() const { return FActivePage; }
    // Neither the page events nor OnChangePage fire.
    void SetActivePage(TvelWizardPage* page) { ChangeActivePage(page); }
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    bool StatusText() const { return FStatusTextShown; }
    void SetStatusText(bool shown);
    QString StatusLabelText() const;

    // Next pressed on the last page (with Last_TAction).
    std::function<void(TvelWizard* sender)> OnLastAction;
    // The active page changed through Back or Next.
    std::function<void(TvelWizard* sender)> OnChangePage;

    // Once the pages are in place: shows the first RuntimeVisible page.
    void Loaded();
    // What the three buttons do when pressed.
    void ButtonClick(TWizardButtonKind kind);

    TvelWizardPage* NextPage() const;
    TvelWizardPage* PreviousPage() const;
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
    friend class TvelWizardPage;
    void AddPage(TvelWizardPage* page);
    void RemovePage(TvelWizardPage* page);
    void MovePage(TvelWizardPage* page, int index);
    void ChangeActivePage(TvelWizardPage* page);
    void Navigate(bool forward);
    // Runs handler with Back and Next disabled, restoring their states
    // afterwards, also when it throws. Cancel stays, to call the work off.
    void WithButtonsDisabled(const std::function<void()>& handler);

    std::vector<TvelWizardPage*> FPageList;
    TvelWizardPage* FActivePage = nullptr;
    QFrame* FSeparator = nullptr;
    QLabel* FStatusLabel = nullptr;
    bool FStatusTextShown = true;
    bool FDestroying = false;
};

}  // namespace tunrax
