#include "widgets/DirectoryEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTimer>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "support/TempDir.h"
#include "widgets/AppWindow.h"

using tunrax::TDirectoryEdit;
using tunrax::test::TempDir;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

bool Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
         const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    return press.isAccepted();
}

// Records each start folder and confirms `answer` (cancels when it is empty).
struct FakeDialog {
    std::vector<QString> starts;
    QString answer;
    explicit FakeDialog(TDirectoryEdit& edit) {
        edit.FolderDialog = [this](TDirectoryEdit*, QString& folder) {
            starts.push_back(folder);
            if (!answer.isEmpty())
                folder = answer;
            return !answer.isEmpty();
        };
    }
};

}  // namespace

TEST(DirectoryEdit, ChooseFolderStartFolderAndResult) {
    TempDir tmp;
    tunrax::test::MakeDirs(tmp / "a");
    const QString chosen = Q(tmp / "a"), slashed = chosen + QStringLiteral("/");
    TDirectoryEdit edit;
    FakeDialog dialog(edit);
    dialog.answer = chosen;
    edit.ChooseFolder();
    EXPECT_EQ(dialog.starts.back(), QStringLiteral("/"));
    EXPECT_EQ(edit.text(), chosen);
    EXPECT_EQ(edit.InitialDir, chosen);

    SCOPED_TRACE("text trimmed with / appended, and taken as InitialDir before the dialog");
    edit.InitialDir.clear();
    edit.setText(QStringLiteral("  ") + chosen + QStringLiteral("\t"));
    QString initialAtDialog;
    edit.OnBeforeDialog = [&](TDirectoryEdit*, QString&, bool&) {
        initialAtDialog = edit.InitialDir;
    };
    edit.ChooseFolder();
    EXPECT_EQ(dialog.starts.back(), slashed);
    EXPECT_EQ(initialAtDialog, slashed);
    edit.OnBeforeDialog = nullptr;

    SCOPED_TRACE("a missing folder starts at /, empty text at InitialDir");
    edit.setText(Q(tmp / "missing"));
    edit.ChooseFolder();
    EXPECT_EQ(dialog.starts.back(), QStringLiteral("/"));
    edit.clear();
    edit.ChooseFolder();
    EXPECT_EQ(dialog.starts.back(), chosen);

    SCOPED_TRACE("cancel and a refusing OnBeforeDialog leave the text");
    dialog.answer.clear();
    edit.setText(QStringLiteral("/usr"));
    bool afterAction = true;
    edit.OnAfterDialog = [&](TDirectoryEdit*, QString&, bool& action) { afterAction = action; };
    edit.ChooseFolder();
    EXPECT_FALSE(afterAction);
    const size_t opened = dialog.starts.size();
    edit.OnBeforeDialog = [](TDirectoryEdit*, QString&, bool& action) { action = false; };
    dialog.answer = chosen;
    edit.ChooseFolder();
    EXPECT_EQ(dialog.starts.size(), opened);
    EXPECT_EQ(edit.text(), QStringLiteral("/usr"));

    SCOPED_TRACE("NewStyle: InitialDir follows neither the text nor the choice");
    TDirectoryEdit modern;
    modern.NewStyle = true;
    FakeDialog modernDialog(modern);
    modernDialog.answer = chosen;
    modern.setText(Q(tmp.Path()));
    modern.ChooseFolder();
    EXPECT_EQ(modern.text(), chosen);
    EXPECT_TRUE(modern.InitialDir.isEmpty());
}

TEST(DirectoryEdit, MultipleDirsAppendsAfterRemovingSelection) {
    TDirectoryEdit edit;
    FakeDialog dialog(edit);
    dialog.answer = QStringLiteral("/tmp");
    edit.MultipleDirs = true;
    edit.setText(QStringLiteral("/a;/b"));
    edit.setSelection(0, 3);
    edit.ChooseFolder();
    EXPECT_EQ(edit.text(), QStringLiteral("/b;/tmp"));
    edit.selectAll();
    edit.ChooseFolder();
    EXPECT_EQ(edit.text(), QStringLiteral("/tmp"));
}

TEST(DirectoryEdit, KeysButtonReadOnlyAndDirectInput) {
    TDirectoryEdit edit;
    FakeDialog dialog(edit);
    dialog.answer = QStringLiteral("/");
    EXPECT_TRUE(Key(&edit, Qt::Key_Down, Qt::AltModifier));
    edit.Button()->click();
    EXPECT_EQ(dialog.starts.size(), 2u);
    edit.SetReadOnly(true);
    EXPECT_TRUE(Key(&edit, Qt::Key_Down, Qt::AltModifier));
    edit.Button()->click();
    EXPECT_EQ(dialog.starts.size(), 2u);
    edit.SetReadOnly(false);

    SCOPED_TRACE("DirectInput false: typing, paste and cut refused, the button works");
    edit.SetDirectInput(false);
    edit.setText(QStringLiteral("abc"));
    QGuiApplication::clipboard()->setText(QStringLiteral("xyz"));
    Key(&edit, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    edit.selectAll();
    Key(&edit, Qt::Key_V, Qt::ControlModifier);
    Key(&edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), QStringLiteral("abc"));
    dialog.answer = QStringLiteral("/tmp");
    edit.Button()->click();
    EXPECT_EQ(edit.text(), QStringLiteral("/tmp"));
    edit.SetDirectInput(true);
    edit.end(false);
    Key(&edit, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    EXPECT_EQ(edit.text(), QStringLiteral("/tmpx"));
}

TEST(DirectoryEdit, EnterMovesFocusInFormAndEntrySelects) {
    tunrax::TAppWindow form;
    auto* first = new TDirectoryEdit(&form);
    auto* second = new TDirectoryEdit(&form);
    auto* last = new QLineEdit(&form);
    first->setText(QStringLiteral("/a"));
    second->setText(QStringLiteral("/b"));
    form.show();
    form.activateWindow();
    QCoreApplication::processEvents();
    last->setFocus();
    first->setFocus();
    ASSERT_EQ(form.focusWidget(), first);
    EXPECT_EQ(first->selectedText(), QStringLiteral("/a"));
    Key(first, Qt::Key_Return);
    EXPECT_EQ(form.focusWidget(), second);
    EXPECT_EQ(second->selectedText(), QStringLiteral("/b"));
    Key(second, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form.focusWidget(), last);
    second->SetDirectInput(false);
    Key(last, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(form.focusWidget(), second);
    EXPECT_FALSE(second->hasSelectedText());
}

TEST(DirectoryEdit, CurrentDirectoryRestored) {
    TempDir tmp;
    const auto before = std::filesystem::current_path();
    TDirectoryEdit edit;
    edit.FolderDialog = [&](TDirectoryEdit*, QString&) {
        std::filesystem::current_path(tmp.Path());
        return true;
    };
    edit.ChooseFolder();
    EXPECT_EQ(std::filesystem::current_path(), before);
    edit.OnAfterDialog = [](TDirectoryEdit*, QString&, bool&) { throw std::runtime_error("x"); };
    EXPECT_THROW(edit.ChooseFolder(), std::runtime_error);
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST(DirectoryEdit, RealClassicDialog) {
    TempDir tmp;
    tunrax::test::MakeDirs(tmp / "sub");
    TDirectoryEdit edit;
    edit.setText(Q(tmp.Path()));
    QString title, directory;
    bool readOnly = false, qtOwn = false;
    auto answer = [&](bool accept) {
        QTimer::singleShot(0, [&, accept] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            title = dialog->windowTitle();
            directory = dialog->directory().absolutePath() + QStringLiteral("/");
            readOnly = dialog->testOption(QFileDialog::ReadOnly);
            qtOwn = dialog->testOption(QFileDialog::DontUseNativeDialog);
            dialog->setDirectory(Q(tmp / "sub"));
            QDialog* box = dialog;  // accept() is public there
            accept ? box->accept() : box->reject();
        });
    };
    answer(true);
    edit.ChooseFolder();
    EXPECT_EQ(title, QStringLiteral("Verzeichnis wählen"));
    EXPECT_EQ(directory, Q(tmp.Path()));
    EXPECT_TRUE(readOnly);
    EXPECT_TRUE(qtOwn);
    EXPECT_EQ(edit.text(), Q(tmp / "sub"));
    edit.DialogOptions = tunrax::sdAllowCreate;
    answer(false);
    edit.ChooseFolder();
    EXPECT_FALSE(readOnly);
    EXPECT_EQ(edit.text(), Q(tmp / "sub"));
}

TEST(DirectoryEdit, ButtonWidthAndGlyphs) {
    TDirectoryEdit edit;
    edit.resize(200, 24);
    EXPECT_EQ(edit.Glyph().size(), QSize(14, 12));
    EXPECT_EQ(edit.Glyph().toImage().pixelColor(0, 11).alpha(), 0);
    edit.SetButtonWidth(5);  // raised for the default picture
    EXPECT_EQ(edit.ButtonWidth(), 18);
    edit.SetButtonWidth(500);
    EXPECT_EQ(edit.ButtonWidth(), 18);
    EXPECT_GE(edit.textMargins().right(), 18);
    edit.SetGlyphKind(tunrax::gkEllipsis);
    edit.SetButtonWidth(21);
    const QImage dots = edit.Glyph().toImage();
    ASSERT_EQ(dots.size(), QSize(17, 4));
    for (int x : {2, 3, 7, 8, 12, 13})
        EXPECT_EQ(dots.pixelColor(x, 2), QColor(Qt::black)) << x;
    EXPECT_EQ(dots.pixelColor(4, 1).alpha(), 0);
}
