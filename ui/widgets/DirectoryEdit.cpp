#include "widgets/DirectoryEdit.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "io/FileTools.h"
#include "resources/FEDITBMP.xpm"

namespace tunrax {

namespace {

// Handlers and dialogs may change the process's current directory; the guard
// puts it back however ChooseFolder ends.
class CurrentDirGuard {
public:
    CurrentDirGuard() {
        std::error_code error;
        FDir = std::filesystem::current_path(error);
        FValid = !error;
    }
    ~CurrentDirGuard() {
        std::error_code error;
        if (FValid)
            std::filesystem::current_path(FDir, error);
    }
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
    std::filesystem::path FDir;
    bool FValid = false;
};

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString RootFolder() {
    return QStringLiteral("/");
}

// Pixels of the colour of the bottom-left pixel become transparent, the way
// button pictures without an alpha channel mark their background.
QImage WithTransparentBackground(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const QRgb background = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == background)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return image;
}

// Loaded on first use and shared by every field (a QImage, unlike a QPixmap,
// may outlive the application object).
const QImage& DefaultGlyphImage() {
    static const QImage image = WithTransparentBackground(QImage(FEDITBMP_xpm));
    return image;
}

// (width) x 4, three 2 x 2 black dots in rows 1 and 2, centred.
QPixmap EllipsisGlyph(int width) {
    if (width <= 0)
        return {};
    QImage image(width, 4, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    int gap = (width - 6) / 2;
    if (gap == 0)
        gap = 1;
    gap = std::min(gap, 3);
    int x = (width - 6 - 2 * gap) / 2;
    for (int dot = 0; dot < 3; ++dot, x += gap + 2)
        for (int dx = 0; dx < 2; ++dx)
            for (int y = 1; y <= 2; ++y)
                if (x + dx >= 0 && x + dx < width)
                    image.setPixelColor(x + dx, y, Qt::black);
    return QPixmap::fromImage(image);
}

// A custom picture holds count images side by side: up, disabled, clicked,
// down. Qt has no mode for "clicked"; the others map to icon modes.
QIcon CustomIcon(const QPixmap& glyph, int count, QSize& imageSize) {
    if (glyph.isNull())
        return {};
    QImage image = glyph.toImage();
    if (!image.hasAlphaChannel())
        image = WithTransparentBackground(image);
    const int width = std::max(1, image.width() / count);
    imageSize = QSize(width, image.height());
    auto part = [&](int index) {
        return QPixmap::fromImage(image.copy(index * width, 0, width, image.height()));
    };
    QIcon icon;
    icon.addPixmap(part(0), QIcon::Normal, QIcon::Off);
    if (count >= 2)
        icon.addPixmap(part(1), QIcon::Disabled, QIcon::Off);
    if (count >= 4)
        icon.addPixmap(part(3), QIcon::Normal, QIcon::On);
    return icon;
}

}  // namespace

TEditButton::TEditButton(QWidget* parent) : QToolButton(parent) {
    // Tab and Enter-as-Tab must pass over the button to the next control.
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The edit's I-beam would be inherited otherwise.
    setCursor(Qt::ArrowCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

void TEditButton::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event);
    if (isDown())
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Button));
    painter.drawLine(0, 0, 0, height() - 1);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(1, 0, 1, height() - 1);
}

TDirectoryEdit::TDirectoryEdit(QWidget* parent)
    : QLineEdit(parent), FButton(new TEditButton(this)) {
    FButton->setAccessibleName(QStringLiteral("Verzeichnis wählen"));
    connect(FButton, &QToolButton::clicked, this, &TDirectoryEdit::ButtonClick);
    RebuildGlyph();
    UpdateMinimumHeight();
    PlaceButton();
}

TDirectoryEdit::~TDirectoryEdit() = default;

void TDirectoryEdit::SetDirectInput(bool directInput) {
    FDirectInput = directInput;
    UpdateKeyboardState();
}

void TDirectoryEdit::SetReadOnly(bool readOnly) {
    FReadOnly = readOnly;
    UpdateKeyboardState();
}

// QLineEdit's read-only state also refuses paste, cut and dropped text.
void TDirectoryEdit::UpdateKeyboardState() {
    setReadOnly(FReadOnly || !FDirectInput);
}

void TDirectoryEdit::SetGlyphKind(TGlyphKind kind) {
    if (kind == FGlyphKind)
        return;
    FGlyphKind = kind;
    if (kind != gkCustom)
        FNumGlyphs = 1;
    RebuildGlyph();
}

QPixmap TDirectoryEdit::Glyph() const {
    return FPicture;
}

void TDirectoryEdit::SetGlyph(const QPixmap& glyph) {
    FCustomGlyph = glyph;
    FGlyphKind = gkCustom;
    RebuildGlyph();
}

void TDirectoryEdit::SetNumGlyphs(int count) {
    FNumGlyphs = FGlyphKind == gkCustom ? std::clamp(count, 1, 4) : 1;
    RebuildGlyph();
}

void TDirectoryEdit::SetButtonWidth(int buttonWidth) {
    if (buttonWidth == FButtonWidth || buttonWidth < 0 || buttonWidth >= width() - 2 * FrameWidth())
        return;
    if (FGlyphKind == gkDefault)
        buttonWidth = std::max(buttonWidth, DefaultGlyphImage().width() + 4);
    FButtonWidth = buttonWidth;
    PlaceButton();
    RebuildGlyph();
}

QString TDirectoryEdit::ButtonHint() const {
    return FButton->toolTip();
}

void TDirectoryEdit::SetButtonHint(const QString& hint) {
    FButton->setToolTip(hint);
}

void TDirectoryEdit::ButtonClick() {
    if (!FReadOnly)
        ChooseFolder();
}

void TDirectoryEdit::ChooseFolder() {
    const CurrentDirGuard currentDir;
    const QPointer<TDirectoryEdit> alive(this);

    QString candidate = text();
    if (!candidate.isEmpty())
        candidate = QString::fromStdString(NormalizeFolder(candidate.toStdString()));
    if (InitialDir.isEmpty() && IsFolder(candidate) && !NewStyle)
        InitialDir = candidate;

    bool action = true;
    if (OnBeforeDialog) {
        OnBeforeDialog(this, candidate, action);
        if (!alive || !action)
            return;
    }
    if (candidate.isEmpty())
        candidate = InitialDir.isEmpty() ? RootFolder() : InitialDir;
    if (!IsFolder(candidate))
        candidate = RootFolder();

    action = RunFolderDialog(candidate);
    // A window closed during the dialog may have taken the field with it.
    if (!alive)
        return;
    if (isVisible() && isEnabled() && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::OtherFocusReason);

    if (OnAfterDialog) {
        OnAfterDialog(this, candidate, action);
        if (!alive)
            return;
    }
    if (!action)
        return;
    QString remaining = text();
    if (hasSelectedText())
        remaining.remove(selectionStart(), selectionLength());
    setText(!remaining.isEmpty() && MultipleDirs ? remaining + QLatin1Char(';') + candidate
                                                 : candidate);
    // With NewStyle InitialDir stays as its owner set it: it says where
    // browsing begins (the top of the tree to look through), and following
    // each choice would narrow that to the last folder chosen, which the
    // text holds anyway.
    if (!NewStyle && IsFolder(candidate))
        InitialDir = candidate;
}

bool TDirectoryEdit::RunFolderDialog(QString& folder) {
    if (FolderDialog)
        return FolderDialog(this, folder);

    QPointer<QFileDialog> dialog = new QFileDialog(this, QStringLiteral("Verzeichnis wählen"));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    QString start = folder;
    if (NewStyle) {
        // The folder browser shows the tree below InitialDir when the text
        // gave no folder of its own.
        if (start == RootFolder() && IsFolder(InitialDir))
            start = InitialDir;
    } else {
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setOption(QFileDialog::ReadOnly, !DialogOptions.testFlag(sdAllowCreate));
    }
    dialog->setDirectory(start);
    const bool confirmed = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return false;
    const QStringList chosen = dialog->selectedFiles();
    delete dialog;
    if (!confirmed || chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    folder = chosen.first();
    return true;
}

void TDirectoryEdit::TakeDroppedPath(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        setText(path.left(path.lastIndexOf(QLatin1Char('/')) + 1));
    else
        setText(path);
}

bool TDirectoryEdit::IsClickKey(const QKeyEvent* event) const {
    if (FButtonWidth <= 0 || ClickKey.isEmpty())
        return false;
    // Alt+Down on the keypad is the same key.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(event->key()))) == ClickKey;
}

bool TDirectoryEdit::event(QEvent* event) {
    // The field claims its ClickKey before any window shortcut can.
    if (event->type() == QEvent::ShortcutOverride && IsClickKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void TDirectoryEdit::keyPressEvent(QKeyEvent* event) {
    if (IsClickKey(event)) {
        FButton->click();
        event->accept();
        return;
    }
    const int key = event->key();
    QLineEdit::keyPressEvent(event);
    // Enter and Escape belong to the form: Enter there moves the focus on.
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
        event->ignore();
}

void TDirectoryEdit::focusInEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
        reason == Qt::ShortcutFocusReason) {
        // QLineEdit would select everything here regardless of DirectInput.
        QFocusEvent plain(event->type(), Qt::OtherFocusReason);
        QLineEdit::focusInEvent(&plain);
    } else {
        QLineEdit::focusInEvent(event);
    }
    // Coming back to the window or out of a popup is no entering.
    const bool entered = reason != Qt::MouseFocusReason && reason != Qt::ActiveWindowFocusReason &&
                         reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason;
    if (entered && AutoSelect && FDirectInput)
        selectAll();
}

void TDirectoryEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceButton();
}

void TDirectoryEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdateMinimumHeight();
        PlaceButton();
    }
}

bool TDirectoryEdit::TakesFileDrop(const QDropEvent* event) const {
    if (!AcceptFiles || FReadOnly)
        return false;
    const QList<QUrl> urls = event->mimeData()->urls();
    return !urls.isEmpty() && urls.first().isLocalFile();
}

void TDirectoryEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (TakesFileDrop(event))
        event->acceptProposedAction();
    else
        QLineEdit::dragEnterEvent(event);
}

void TDirectoryEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (TakesFileDrop(event))
        event->acceptProposedAction();
    else
        QLineEdit::dragMoveEvent(event);
}

void TDirectoryEdit::dropEvent(QDropEvent* event) {
    if (!TakesFileDrop(event)) {
        QLineEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    // Only the first path counts.
    const QPointer<TDirectoryEdit> alive(this);
    TakeDroppedPath(event->mimeData()->urls().first().toLocalFile());
    if (alive && OnDropFiles)
        OnDropFiles(this);
}

int TDirectoryEdit::FrameWidth() const {
    QStyleOptionFrame option;
    initStyleOption(&option);
    return option.lineWidth;
}

// The button sits inside the frame at the right end, as high as the inside;
// the text stops 2 pixels short of it.
void TDirectoryEdit::PlaceButton() {
    const int frame = FrameWidth();
    FButton->setGeometry(width() - frame - FButtonWidth, frame, FButtonWidth,
                         std::max(0, height() - 2 * frame));
    FButton->setVisible(FButtonWidth > 0);
    const QMargins margins(0, 0, FButtonWidth + 2, 0);
    if (textMargins() != margins)
        setTextMargins(margins);
}

// The smaller of the application font's and the field font's line height, a
// border line above and below the text, and one pixel.
void TDirectoryEdit::UpdateMinimumHeight() {
    const int textHeight =
        std::min(QFontMetrics(QGuiApplication::font()).height(), fontMetrics().height());
    setMinimumHeight(textHeight + 4 + 1);
}

void TDirectoryEdit::RebuildGlyph() {
    FButton->setArrowType(Qt::NoArrow);
    QIcon icon;
    QSize imageSize;
    switch (FGlyphKind) {
        case gkCustom:
            FPicture = FCustomGlyph;
            icon = CustomIcon(FCustomGlyph, FNumGlyphs, imageSize);
            break;
        case gkDefault:
            FPicture = QPixmap::fromImage(DefaultGlyphImage());
            icon = QIcon(FPicture);
            imageSize = FPicture.size();
            break;
        case gkDropDown:
            FPicture = QPixmap();
            FButton->setArrowType(Qt::DownArrow);
            break;
        case gkEllipsis:
            FPicture = EllipsisGlyph(FButtonWidth - 4);
            icon = QIcon(FPicture);
            imageSize = FPicture.size();
            break;
    }
    FButton->setIcon(icon);
    if (!imageSize.isEmpty())
        FButton->setIconSize(imageSize);
}

}  // namespace tunrax
