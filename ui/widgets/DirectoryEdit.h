// TDirectoryEdit: a one-line edit field for a folder path with a small button
// at its right end. The button (or ClickKey, Alt+Down) opens a folder dialog
// and puts the chosen folder into the field; with MultipleDirs it is appended
// after ";". Enter and Escape go on to the form, so that a TAppWindow moves the
// focus on with Enter.
//
// The field's text is QLineEdit's "text" property. ReadOnly and DirectInput
// are this class's own: use SetReadOnly, not QLineEdit::setReadOnly, which
// only holds the keyboard state they give (read-only to the keyboard when
// ReadOnly is true or DirectInput is false).
//
// Nothing here throws by itself; exceptions from the handlers (OnBeforeDialog,
// OnAfterDialog, OnDropFiles, FolderDialog) go on to the caller, the process's
// current directory restored. The embedded button is a child owned through Qt.
#pragma once

#include <QFlags>
#include <QKeySequence>
#include <QLineEdit>
#include <QPixmap>
#include <QString>
#include <QToolButton>
#include <functional>

namespace tunrax {

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };

// Folder creation in the classic dialog (NewStyle false). Qt's own dialog
// offers creation through its "new folder" button only, which creates at
// once: sdAllowCreate shows that button (with or without sdPerformCreate);
// without sdAllowCreate the dialog is read-only. sdPrompt has no counterpart
// there, since Qt's dialog asks for the new folder's name itself.
enum TSelectDirOpt { sdAllowCreate = 0x1, sdPerformCreate = 0x2, sdPrompt = 0x4 };
Q_DECLARE_FLAGS(TSelectDirOpts, TSelectDirOpt)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSelectDirOpts)

// The embedded button: a flat tool button that never takes the focus, with a
// face-coloured line and a highlight line along its left edge while it is up.
class TEditButton : public QToolButton {
    Q_OBJECT

public:
    explicit TEditButton(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TDirectoryEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TDirectoryEdit(QWidget* parent = nullptr);
    ~TDirectoryEdit() override;

    // true: a folder chooser of the desktop (Qt's getExistingDirectory kind),
    // starting at the candidate, or at InitialDir when the candidate fell back
    // to "/". false: Qt's own directory dialog with a folder name field,
    // honouring DialogOptions.
    bool NewStyle = false;
    // Where the dialog starts when the text is empty. With NewStyle false it
    // follows the text and each confirmed choice; with NewStyle true only the
    // owner sets it (see ChooseFolder).
    QString InitialDir;
    // A confirmed choice is appended after ";" to the text left over.
    bool MultipleDirs = false;
    TSelectDirOpts DialogOptions;
    // Entering the field other than by a mouse click selects all its text
    // (only while DirectInput is true).
    bool AutoSelect = true;
    // Presses the button while ButtonWidth > 0; the key is consumed.
    QKeySequence ClickKey{QKeyCombination(Qt::AltModifier, Qt::Key_Down)};
    // With true, a file or folder dropped from a file manager sets the text
    // (a file gives its folder); OnDropFiles then fires. Refused while
    // ReadOnly is true.
    bool AcceptFiles = false;

    bool DirectInput() const { return FDirectInput; }
    void SetDirectInput(bool directInput);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);

    TGlyphKind GlyphKind() const { return FGlyphKind; }
    void SetGlyphKind(TGlyphKind kind);
    // The button's picture; setting one switches to gkCustom. A custom
    // picture holds NumGlyphs images side by side (up, disabled, clicked,
    // down); without an alpha channel its bottom-left pixel's colour is
    // transparent.
    QPixmap Glyph() const;
    void SetGlyph(const QPixmap& glyph);
    // 1 except for gkCustom, where it is the last value written (1..4).
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int count);
    // A write equal to the current width, negative, or not less than the
    // client width is ignored; gkDefault needs at least the picture's width
    // + 4. 0 hides the button and turns ClickKey off.
    int ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int buttonWidth);
    QString ButtonHint() const;
    void SetButtonHint(const QString& hint);
    QToolButton* Button() const { return FButton; }

    // Sender, the folder (by reference) and Action (by reference, arrives
    // true before the dialog, as the dialog's result after it).
    std::function<void(TDirectoryEdit* sender, QString& name, bool& action)> OnBeforeDialog;
    std::function<void(TDirectoryEdit* sender, QString& name, bool& action)> OnAfterDialog;
    std::function<void(TDirectoryEdit* sender)> OnDropFiles;
    // When set, replaces the real dialog: folder arrives as the start folder
    // (an existing folder, "/" at worst) and leaves as the chosen one; the
    // result tells whether the choice was confirmed.
    std::function<bool(TDirectoryEdit* sender, QString& folder)> FolderDialog;

    // The button's reaction: asks for a folder and puts it into the text.
    void ChooseFolder();

protected:
    // A path dropped on the field (AcceptFiles): an existing file gives its
    // folder with a trailing "/", anything else is taken as it is.
    virtual void TakeDroppedPath(const QString& path);

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool IsClickKey(const QKeyEvent* event) const;
    bool TakesFileDrop(const QDropEvent* event) const;
    bool RunFolderDialog(QString& folder);
    void ButtonClick();
    void UpdateKeyboardState();
    void PlaceButton();
    void UpdateMinimumHeight();
    void RebuildGlyph();
    int FrameWidth() const;

    TEditButton* FButton = nullptr;
    bool FDirectInput = true;
    bool FReadOnly = false;
    TGlyphKind FGlyphKind = gkDefault;
    QPixmap FCustomGlyph;
    QPixmap FPicture;
    int FNumGlyphs = 1;
    int FButtonWidth = 21;
};

}  // namespace tunrax
