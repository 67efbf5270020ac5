// The main window's song list widget as a view of the song list (TSongList):
// one item per row with the row's caption. Paths and order stay in the song
// list; nothing is read back from the widget but which row the user chose.
#pragma once

class QTreeWidget;
class QWidget;

namespace tunrax {

class TSongList;

// The song list widget: one column without header, one row selected at a
// time, a context menu, the selection visible also without focus.
QTreeWidget* CreateSongListWidget(QWidget* parent);
// Keeps the selection of a view visible while it has no focus.
void KeepSelectionVisible(QWidget* view);
// Fills view with the rows of songs; nothing is selected afterwards.
void ShowSongList(const TSongList& songs, QTreeWidget* view);
// Moves the item at row from to row to; it stays current and selected.
void MoveSongItem(QTreeWidget* view, int from, int to);
// The row of view's current item when it is selected, else TSongList::kNoRow
// (a row may be current without being selected, after Tab into the list).
int SelectedRow(const QTreeWidget* view);

}  // namespace tunrax
