#include "widgets/Wizard.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "sources/TransferControl.h"

namespace tunrax {

namespace {

// The button bar below the pages.
constexpr int kBarHeight = 42;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;

int RightOffset(TWizardButtonKind kind) {
    switch (kind) {
        case bkBack: return 200;
        case bkNext: return 110;
        case bkCancel: return 5;
    }
    return 5;
}

bool CanTakeFocus(const QWidget* widget) {
    return widget->isEnabled() && widget->isVisibleTo(widget->window()) &&
           (widget->focusPolicy() & Qt::TabFocus) != 0;
}

// The first control of the page in tab order that takes the focus.
QWidget* FirstFocusable(QWidget* page) {
    QWidget* widget = page->nextInFocusChain();
    for (int guard = 0; widget && widget != page && guard < 10000; ++guard) {
        if (page->isAncestorOf(widget) && CanTakeFocus(widget))
            return widget;
        widget = widget->nextInFocusChain();
    }
    return nullptr;
}

}  // namespace

// --- pages

TWizardPage::TWizardPage(TWizard* wizard) : QWidget(wizard) {
    QWidget::setVisible(false);
    if (wizard)
        wizard->AddPage(this);
}

TWizardPage::~TWizardPage() {
    if (FWizard)
        FWizard->RemovePage(this);
}

int TWizardPage::Index() const {
    if (!FWizard)
        return -1;
    const auto& list = FWizard->FPageList;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWizardPage::SetIndex(int index) {
    if (FWizard)
        FWizard->MovePage(this, index);
    else
        FPendingIndex = index;
}

void TWizardPage::SetEnableBack(bool enable) {
    ChangeButtonState(FEnableBack, enable);
}

void TWizardPage::SetRuntimeVisible(bool visible) {
    ChangeButtonState(FRuntimeVisible, visible);
}

// A property that decides the buttons changed: the wizard shows them anew.
void TWizardPage::ChangeButtonState(bool& property, bool value) {
    if (property == value)
        return;
    property = value;
    if (FWizard)
        FWizard->UpdateButtons();
}

// --- button settings

TWizardButton::TWizardButton(TWizard& wizard, TWizardButtonKind kind)
    : FWizard(wizard), FKind(kind), FCaption(DefaultCaption(kind)) {
    FButton = new QPushButton(FCaption, &wizard);
    // None of the buttons is a default button: Enter moves on between fields,
    // and only a focused button reacts to it.
    FButton->setAutoDefault(false);
    FButton->setDefault(false);
    FButton->resize(kButtonWidth, kButtonHeight);
    QObject::connect(FButton, &QPushButton::clicked, &wizard,
                     [&wizard, kind] { wizard.ButtonClick(kind); });
}

QString TWizardButton::DefaultCaption(TWizardButtonKind kind) {
    switch (kind) {
        case bkBack: return QStringLiteral("< &Zurück");
        case bkNext: return QStringLiteral("&Weiter >");
        case bkCancel: return QStringLiteral("Abbrechen");
    }
    return {};
}

void TWizardButton::SetCaption(const QString& caption) {
    if (FCaption == caption)
        return;
    FCaption = caption;
    FWizard.UpdateLayout();
}

void TWizardNextButton::SetLastCaption(const QString& caption) {
    if (FLastCaption == caption)
        return;
    FLastCaption = caption;
    FWizard.UpdateLayout();
}

void TWizardNextButton::SetLastActs(bool lastAction) {
    if (FLastAction == lastAction)
        return;
    FLastAction = lastAction;
    FWizard.UpdateLayout();
}

// --- the wizard

TWizard::TWizard(QWidget* parent)
    : QWidget(parent), BtnNext(*this), BtnCancel(*this, bkCancel), BtnBack(*this, bkBack) {
    FSeparator = new QFrame(this);
    FSeparator->setFrameShape(QFrame::HLine);
    FSeparator->setFrameShadow(QFrame::Sunken);
    FStatusLabel = new QLabel(this);
    UpdateLayout();
}

TWizard::~TWizard() {
    // The pages are freed after this body, by QWidget: they must not reach
    // back into a wizard that is gone.
    FDestroying = true;
    for (TWizardPage* page : FPageList)
        page->FWizard = nullptr;
    FPageList.clear();
    FActivePage = nullptr;
}

void TWizard::AddPage(TWizardPage* page) {
    if (std::find(FPageList.begin(), FPageList.end(), page) == FPageList.end())
        FPageList.push_back(page);
    page->FWizard = this;
    page->setGeometry(PageArea());
    const int pending = page->FPendingIndex;
    page->FPendingIndex = -1;
    if (pending != -1 && pending != page->Index())
        MovePage(page, pending);
    UpdateLayout();
}

void TWizard::RemovePage(TWizardPage* page) {
    auto it = std::find(FPageList.begin(), FPageList.end(), page);
    if (it == FPageList.end())
        return;
    const auto position = it - FPageList.begin();
    FPageList.erase(it);
    page->FWizard = nullptr;
    if (FActivePage == page) {
        FActivePage = nullptr;
        ChangeActivePage(position > 0 ? FPageList[static_cast<size_t>(position - 1)] : nullptr);
    }
    UpdateLayout();
}

void TWizard::MovePage(TWizardPage* page, int index) {
    const int from = page->Index();
    const int count = static_cast<int>(FPageList.size());
    if (from < 0 || index == from)
        return;
    index = std::clamp(index, 0, count - 1);
    FPageList.erase(FPageList.begin() + from);
    FPageList.insert(FPageList.begin() + index, page);
    UpdateLayout();
}

int TWizard::ActivePageIndex() const {
    if (!FActivePage)
        return -1;
    return FActivePage->Index();
}

void TWizard::SetActivePageIndex(int index) {
    if (index >= 0 && index < static_cast<int>(FPageList.size()))
        ChangeActivePage(FPageList[static_cast<size_t>(index)]);
}

void TWizard::SetStatusText(bool shown) {
    if (FStatusTextShown == shown)
        return;
    FStatusTextShown = shown;
    FStatusLabel->setVisible(shown);
    FStatusLabel->setEnabled(shown);
}

QString TWizard::StatusLabelText() const {
    return FStatusLabel->text();
}

QRect TWizard::PageArea() const {
    QRect area = contentsRect();
    area.setBottom(height() - kBarHeight - 1);
    return area;
}

TWizardPage* TWizard::NextPage() const {
    const int start = FActivePage ? ActivePageIndex() + 1 : 0;
    for (int i = start; i < static_cast<int>(FPageList.size()); ++i)
        if (FPageList[static_cast<size_t>(i)]->RuntimeVisible())
            return FPageList[static_cast<size_t>(i)];
    return nullptr;
}

TWizardPage* TWizard::PreviousPage() const {
    for (int i = ActivePageIndex() - 1; i >= 0; --i)
        if (FPageList[static_cast<size_t>(i)]->RuntimeVisible())
            return FPageList[static_cast<size_t>(i)];
    return nullptr;
}

void TWizard::Loaded() {
    for (TWizardPage* page : FPageList) {
        if (page->RuntimeVisible()) {
            ChangeActivePage(page);
            break;
        }
    }
    UpdateLayout();
}

void TWizard::UpdateLayout() {
    if (FDestroying)
        return;
    const int w = width();
    const int h = height();
    for (const TWizardButton* settings :
         {static_cast<const TWizardButton*>(&BtnBack), static_cast<const TWizardButton*>(&BtnNext),
          static_cast<const TWizardButton*>(&BtnCancel)}) {
        settings->Button()->setGeometry(w - kButtonWidth - RightOffset(settings->ButtonKind()),
                                        h - 28, kButtonWidth, kButtonHeight);
    }
    for (TWizardPage* page : FPageList)
        page->setGeometry(PageArea());
    UpdateButtons();

    int position = 0;
    int visibleCount = 0;
    for (const TWizardPage* page : FPageList) {
        if (!page->RuntimeVisible())
            continue;
        ++visibleCount;
        if (page == FActivePage)
            position = visibleCount;
    }
    FStatusLabel->setText(QStringLiteral("Seite %1 von %2").arg(position).arg(visibleCount));
    FStatusLabel->adjustSize();
    FStatusLabel->move(20, BtnCancel.Button()->y() + 5);
    FSeparator->setGeometry(3, BtnCancel.Button()->y() - 8, contentsRect().width() - 6, 3);
}

void TWizard::UpdateButtons() {
    if (FDestroying)
        return;
    BtnCancel.Button()->setText(BtnCancel.Caption());
    BtnBack.Button()->setEnabled(PreviousPage() && FActivePage && FActivePage->EnableBack());
    BtnBack.Button()->setText(BtnBack.Caption());
    const bool hasNext = NextPage() != nullptr;
    BtnNext.Button()->setEnabled(hasNext || BtnNext.LastActs());
    BtnNext.Button()->setText(hasNext || BtnNext.LastCaption().isEmpty() ? BtnNext.Caption()
                                                                         : BtnNext.LastCaption());
}

void TWizard::ShowControl(QWidget* control) {
    for (TWizardPage* page : FPageList) {
        if (page == control || page->isAncestorOf(control)) {
            ChangeActivePage(page);
            break;
        }
    }
    control->show();
}

QSize TWizard::sizeHint() const {
    // The three buttons need 295 pixels from the right edge.
    QSize size(kButtonWidth * 3 + 5 + 15 + 20, 0);
    for (const TWizardPage* page : FPageList)
        size = size.expandedTo(page->sizeHint());
    return {size.width(), size.height() + kBarHeight};
}

void TWizard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UpdateLayout();
}

void TWizard::ButtonClick(TWizardButtonKind kind) {
    switch (kind) {
        case bkBack: Navigate(false); break;
        case bkNext:
            if (NextPage()) {
                Navigate(true);
            } else if (BtnNext.LastActs()) {
                bool allowChange = true;
                if (FActivePage && FActivePage->OnChanging)
                    FActivePage->OnChanging(FActivePage, allowChange);
                if (allowChange && OnLastAction)
                    OnLastAction(this);
            }
            break;
        case bkCancel:
            // Work under way (a transfer in a page's handler) ends first.
            CancelRunningTransfers();
            window()->close();
            break;
    }
}

void TWizard::WithButtonsDisabled(const std::function<void()>& handler) {
    // Guarded: a handler may close and free the window around the wizard.
    // Cancel stays: it calls off a long transfer in the handler.
    QPointer<QPushButton> buttons[] = {BtnBack.Button(), BtnNext.Button()};
    bool enabled[2];
    for (int i = 0; i < 2; ++i) {
        enabled[i] = buttons[i]->isEnabled();
        buttons[i]->setEnabled(false);
    }
    auto restore = [&] {
        for (int i = 0; i < 2; ++i)
            if (buttons[i])
                buttons[i]->setEnabled(enabled[i]);
    };
    try {
        handler();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TWizard::Navigate(bool forward) {
    const int before = ActivePageIndex();
    QPointer<TWizard> alive(this);
    if (forward) {
        if (!NextPage())
            return;
        bool allowChange = true;
        if (FActivePage && FActivePage->OnChanging) {
            TWizardPage* page = FActivePage;
            WithButtonsDisabled([&] { page->OnChanging(page, allowChange); });
        }
        if (!alive)
            return;
        // The handler may have changed which pages follow.
        if (allowChange)
            ChangeActivePage(NextPage());
    } else {
        if (!PreviousPage())
            return;
        if (FActivePage && FActivePage->OnChangeBack) {
            TWizardPage* page = FActivePage;
            WithButtonsDisabled([&] { page->OnChangeBack(page); });
        }
        if (!alive)
            return;
        ChangeActivePage(PreviousPage());
    }
    if (ActivePageIndex() != before && OnChangePage)
        OnChangePage(this);
}

void TWizard::ChangeActivePage(TWizardPage* page) {
    if ((page && page->FWizard != this) || page == FActivePage)
        return;
    QWidget* focus = QApplication::focusWidget();
    if (FActivePage) {
        // Hiding the page would hand its focus to whatever comes next in the
        // chain; keep it in the wizard until the new page takes it.
        if (focus && FActivePage->isAncestorOf(focus))
            setFocus();
        FActivePage->hide();
    }
    if (page) {
        page->setGeometry(PageArea());
        page->raise();
        page->show();
    }
    FActivePage = page;
    UpdateLayout();

    QWidget* target = page ? FirstFocusable(page) : nullptr;
    for (const TWizardButton* settings : {static_cast<const TWizardButton*>(&BtnNext),
                                          static_cast<const TWizardButton*>(&BtnCancel),
                                          static_cast<const TWizardButton*>(&BtnBack)}) {
        if (!target && CanTakeFocus(settings->Button()))
            target = settings->Button();
    }
    if (target)
        target->setFocus(Qt::TabFocusReason);
}

}  // namespace tunrax
