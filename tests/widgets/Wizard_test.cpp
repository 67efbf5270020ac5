#include "widgets/Wizard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>

#include "widgets/AppWindow.h"

using namespace tunrax;

namespace {

// A form with a wizard of `count` pages, each with one edit field.
struct WizardForm {
    explicit WizardForm(int count) {
        wizard = new TWizard(&form);
        wizard->resize(410, 149);
        for (int i = 0; i < count; ++i) {
            pages.push_back(new TWizardPage(wizard));
            new QLineEdit(pages.back());
        }
    }
    TAppWindow form;
    TWizard* wizard;
    std::vector<TWizardPage*> pages;

    QPushButton* Back() const { return wizard->BtnBack.Button(); }
    QPushButton* Next() const { return wizard->BtnNext.Button(); }
    QPushButton* Cancel() const { return wizard->BtnCancel.Button(); }
};

}  // namespace

TEST(Wizard, HiddenPagesAreSkippedAndNotCounted) {
    WizardForm f(4);
    f.pages[1]->SetRuntimeVisible(false);
    int changes = 0;
    f.wizard->OnChangePage = [&](TWizard*) { ++changes; };
    f.wizard->Loaded();
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[0]);
    EXPECT_EQ(f.wizard->StatusLabelText(), QStringLiteral("Seite 1 von 3"));
    EXPECT_FALSE(f.Back()->isEnabled());
    EXPECT_TRUE(f.Next()->isEnabled());
    EXPECT_TRUE(f.Cancel()->isEnabled());

    f.Next()->click();
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[2]);
    EXPECT_TRUE(f.pages[2]->isVisibleTo(&f.form));
    EXPECT_FALSE(f.pages[0]->isVisibleTo(&f.form));
    f.Next()->click();
    EXPECT_EQ(f.wizard->ActivePageIndex(), 3);
    EXPECT_EQ(f.wizard->StatusLabelText(), QStringLiteral("Seite 3 von 3"));
    // Last page without a last action: Next is disabled and keeps its caption.
    EXPECT_FALSE(f.Next()->isEnabled());
    EXPECT_EQ(f.Next()->text(), QStringLiteral("&Weiter >"));
    EXPECT_TRUE(f.Cancel()->isEnabled());

    f.Back()->click();
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[2]);
    f.Back()->click();
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[0]);
    EXPECT_EQ(changes, 4);

    // Back is off on a page that forbids it, though an earlier page exists.
    f.wizard->SetActivePageIndex(2);
    EXPECT_EQ(changes, 4) << "setting the page directly fires no event";
    EXPECT_TRUE(f.Back()->isEnabled());
    f.pages[2]->SetEnableBack(false);
    EXPECT_FALSE(f.Back()->isEnabled());
    f.wizard->SetActivePageIndex(7);
    EXPECT_EQ(f.wizard->ActivePageIndex(), 2) << "an index out of range is ignored";
}

TEST(Wizard, ChangingHandlerRefusesOrRedirects) {
    WizardForm f(4);
    bool allow = false;
    int changes = 0;
    f.wizard->OnChangePage = [&](TWizard*) { ++changes; };
    f.pages[0]->OnChanging = [&](TWizardPage* sender, bool& allowChange) {
        EXPECT_EQ(sender, f.pages[0]);
        allowChange = allow;
        // Like the settings wizard: only the page of the choice stays.
        f.pages[1]->SetRuntimeVisible(false);
        f.pages[2]->SetRuntimeVisible(false);
    };
    f.wizard->Loaded();
    f.Next()->click();
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[0]);
    EXPECT_EQ(changes, 0);

    allow = true;
    f.Next()->click();
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[3]) << "the page after the handler decides";
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(f.wizard->StatusLabelText(), QStringLiteral("Seite 2 von 2"));

    int backs = 0;
    f.pages[3]->OnChangeBack = [&](TWizardPage*) { ++backs; };
    f.Back()->click();
    EXPECT_EQ(backs, 1);
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[0]);
}

TEST(Wizard, BackAndNextDisabledDuringHandlerAndRestoredAfterError) {
    WizardForm f(3);
    f.wizard->Loaded();
    f.Next()->click();  // page 2: Back and Next enabled
    bool seenDisabled = false;
    f.pages[1]->OnChanging = [&](TWizardPage*, bool&) {
        // Cancel stays, to call a long transfer off.
        seenDisabled = !f.Back()->isEnabled() && !f.Next()->isEnabled() && f.Cancel()->isEnabled();
        throw std::runtime_error("Bitte ein Verzeichnis wählen");
    };
    int changes = 0;
    f.wizard->OnChangePage = [&](TWizard*) { ++changes; };
    EXPECT_THROW(f.wizard->ButtonClick(bkNext), std::runtime_error);
    EXPECT_TRUE(seenDisabled);
    EXPECT_TRUE(f.Back()->isEnabled());
    EXPECT_TRUE(f.Next()->isEnabled());
    EXPECT_TRUE(f.Cancel()->isEnabled());
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[1]);
    EXPECT_EQ(changes, 0);

    // A button that was off before the handler stays off.
    f.pages[1]->OnChanging = [&](TWizardPage*, bool& allowChange) { allowChange = false; };
    f.pages[1]->SetEnableBack(false);
    f.wizard->ButtonClick(bkNext);
    EXPECT_FALSE(f.Back()->isEnabled());
}

TEST(Wizard, LastActionOnLastPage) {
    WizardForm f(2);
    f.wizard->BtnNext.SetLastCaption(QStringLiteral("&Speichern"));
    f.wizard->Loaded();
    EXPECT_EQ(f.Next()->text(), QStringLiteral("&Weiter >"));
    f.Next()->click();
    EXPECT_EQ(f.Next()->text(), QStringLiteral("&Speichern"));
    EXPECT_FALSE(f.Next()->isEnabled());
    f.wizard->BtnNext.SetLastActs(true);
    EXPECT_TRUE(f.Next()->isEnabled());

    std::vector<std::string> log;
    bool allow = false;
    f.pages[1]->OnChanging = [&](TWizardPage*, bool& allowChange) {
        log.push_back("changing");
        allowChange = allow;
    };
    f.wizard->OnLastAction = [&](TWizard*) { log.push_back("last"); };
    f.wizard->OnChangePage = [&](TWizard*) { log.push_back("page"); };
    f.Next()->click();
    allow = true;
    f.Next()->click();
    EXPECT_EQ(log, (std::vector<std::string>{"changing", "changing", "last"}));
    EXPECT_EQ(f.wizard->ActivePage(), f.pages[1]);

    // An empty last caption leaves the ordinary one.
    f.wizard->BtnNext.SetLastCaption(QString());
    EXPECT_EQ(f.Next()->text(), QStringLiteral("&Weiter >"));
}

TEST(Wizard, AllPagesHiddenAndPagesLeaving) {
    {
        WizardForm f(2);
        for (TWizardPage* page : f.pages)
            page->SetRuntimeVisible(false);
        f.wizard->Loaded();
        EXPECT_EQ(f.wizard->ActivePage(), nullptr);
        EXPECT_EQ(f.wizard->ActivePageIndex(), -1);
        EXPECT_FALSE(f.Back()->isEnabled());
        EXPECT_FALSE(f.Next()->isEnabled());
        EXPECT_EQ(f.wizard->StatusLabelText(), QStringLiteral("Seite 0 von 0"));
        f.wizard->BtnNext.SetLastActs(true);
        EXPECT_TRUE(f.Next()->isEnabled());
    }
    {
        WizardForm f(3);
        f.pages[2]->SetIndex(0);
        EXPECT_EQ(f.wizard->PageList().front(), f.pages[2]);
        EXPECT_EQ(f.pages[0]->Index(), 1);
        f.wizard->Loaded();
        f.wizard->SetActivePage(f.pages[1]);
        delete f.pages[1];
        EXPECT_EQ(f.wizard->ActivePage(), f.pages[0]) << "the page before takes over";
        EXPECT_EQ(f.wizard->PageList().size(), 2U);
    }
}

TEST(Wizard, CancelClosesTheDialogAndFocusGoesToThePage) {
    WizardForm f(2);
    f.wizard->Loaded();
    f.form.show();
    f.form.activateWindow();
    f.Next()->click();
    EXPECT_EQ(f.form.focusWidget(), f.pages[1]->findChild<QLineEdit*>());
    EXPECT_EQ(f.Next()->geometry(), QRect(410 - 200, 149 - 28, 90, 25));
    f.Cancel()->click();
    EXPECT_FALSE(f.form.isVisible());
    EXPECT_EQ(f.form.result(), 0);
}
