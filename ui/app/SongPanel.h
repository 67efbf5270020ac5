// The right side of the main window: the song list ("lvLieder") as a view of
// the playback's song list, the tags of the song heard ("laTitel",
// "laInterpret", "laAlbum") and the progress bar of long transfers
// ("pbStatus"), which keeps its room while hidden.
//
// The panel is the column's layout; its widgets are the window's own
// children, so that a long transfer greys each of them out but the progress
// bar. It shows what it is told; which row the user chose is read back with
// SelectedRow. Changes made here raise no signal of the list. Nothing here
// throws.
#pragma once

#include <QVBoxLayout>
#include <functional>

class QLabel;
class QProgressBar;
class QTreeWidget;
class QWidget;

namespace tunrax {

class TSongList;
class THighlightDelegate;

class TSongPanel : public QVBoxLayout {
public:
    // window: the parent of the widgets; the layout goes into one of its
    // layouts, which owns it then.
    explicit TSongPanel(QWidget* window);

    QTreeWidget* List() const { return FList; }
    QProgressBar* ProgressBar() const { return FProgressBar; }

    // Rows for which highlighted is true are drawn in bold on a tint of the
    // palette and described to screen readers as "in der Favoritenliste".
    void Highlight(std::function<bool(int row)> highlighted);
    // Draws the rows again (their highlighting changed).
    void Redraw();

    // Shows the rows of songs and its chosen song.
    void ShowSongs(const TSongList& songs);
    // Shows row as the selected one (-1: none); a row only current, after
    // Tab into the list, stays current.
    void ShowChoice(int row);
    void RemoveRow(int row);
    void MoveRow(int from, int to);
    void ScrollTo(int row);
    // The row the user selected (TSongList::kNoRow for none).
    int SelectedRow() const;

    void ShowTags(const QString& title, const QString& artist, const QString& album);

private:
    THighlightDelegate* FDelegate;
    QTreeWidget* FList;
    QLabel* FTitle;
    QLabel* FArtist;
    QLabel* FAlbum;
    QProgressBar* FProgressBar;
};

}  // namespace tunrax
