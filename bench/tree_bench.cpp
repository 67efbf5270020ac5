// Showing a 100,000-folder catalogue in the album tree: read from the file,
// parsed and shown through the tree's model, against Qt alone showing the same
// names from memory in a bulk-filled QTreeWidget. Also the resident memory of
// the process once the catalogue is shown.
#include <QApplication>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CatalogueModel.h"
#include "app/SongListView.h"
#include "bench_support.h"
#include "collection/Catalogue.h"
#include "collection/CatalogueSession.h"
#include "collection/Collation.h"
#include "collection/FavoriteList.h"
#include "playback/SongList.h"
#include "sources/LocalSource.h"

using namespace tunrax;
using namespace tunrax::bench;

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int rounds = IntOption(argc, argv, "rounds", 5);
    const int artists = 5000, albums = 20;

    ScratchFolder scratch("tunrax-tree-bench");
    const std::string file = scratch.Path() + "tunrax.dat";
    {
        std::ofstream out(file, std::ios::binary);
        for (int a = 0; a < artists; ++a) {
            out << "Interpret " << a << " und die Band\r\n";
            for (int b = 0; b < albums; ++b)
                out << "\tAlbum " << b << " (Live in Köln)\r\n";
        }
    }
    // The baseline's names, in memory already.
    QStringList artistNames, albumNames;
    for (int a = 0; a < artists; ++a)
        artistNames << QStringLiteral("Interpret %1 und die Band").arg(a);
    for (int b = 0; b < albums; ++b)
        albumNames << QStringLiteral("Album %1 (Live in Köln)").arg(b);

    long rssBefore = ResidentKiB();
    // Before the view: the model, which the view owns, follows the session.
    TNameCollator treeCollator;
    TCatalogueSession session(treeCollator);
    TLocalSource treeSource(false, scratch.Path());
    QTreeView view;
    auto* model = new TCatalogueModel(&view);
    model->Follow(&session);
    view.setModel(model);
    view.setHeaderHidden(true);
    view.setUniformRowHeights(true);
    view.resize(289, 377);
    view.show();
    auto ours = [&] {
        session.Load(treeSource);
        view.repaint();
    };
    ours();
    long rssOurs = ResidentKiB();

    QTreeWidget widget;
    widget.setHeaderHidden(true);
    widget.setUniformRowHeights(true);
    widget.resize(289, 377);
    widget.show();
    auto base = [&] {
        widget.clear();
        QList<QTreeWidgetItem*> top;
        top.reserve(artists);
        for (int a = 0; a < artists; ++a) {
            auto* item = new QTreeWidgetItem(QStringList{artistNames[a]});
            QList<QTreeWidgetItem*> children;
            children.reserve(albums);
            for (int b = 0; b < albums; ++b)
                children.append(new QTreeWidgetItem(QStringList{albumNames[b]}));
            item->addChildren(children);
            top.append(item);
        }
        widget.addTopLevelItems(top);
        widget.repaint();
    };

    Pair pair = BestOfAlternating(rounds, ours, base);
    std::printf("  catalogue of %d folders (%d artists x %d albums); best of %d runs\n",
                artists * (albums + 1), artists, albums, rounds);
    std::printf("     file -> parse -> model -> painted %10.1f ms\n", pair.oursMs);
    std::printf(
        "     QTreeWidget bulk fill from memory %10.1f ms   ratio %5.2f   target <= 1.50: %s\n",
        pair.baseMs, pair.Ratio(), Verdict(pair.Ratio() <= 1.5));
    std::printf(
        "     resident memory: %ld MiB before, %ld MiB with the catalogue shown"
        "   target < 100 MiB: %s\n",
        rssBefore / 1024, rssOurs / 1024, Verdict(rssOurs < 100 * 1024));

    // Selecting an album of 500 songs: list the folder, sort, fill the song
    // list and paint it, as the main window does.
    const std::string album = scratch.Path() + "Album/";
    std::filesystem::create_directories(album);
    for (int i = 0; i < 500; ++i) {
        char name[80];
        std::snprintf(name, sizeof name, "%03d-Lied Nummer %d (Remix).mp3", i, i);
        std::ofstream(album + name).put('x');
    }
    TLocalSource source(false, scratch.Path());
    TNameCollator collator;
    QTreeWidget songs;
    songs.setHeaderHidden(true);
    songs.setUniformRowHeights(true);
    songs.resize(286, 300);
    songs.show();
    size_t shown = 0;
    double selectMs = BestOf(rounds, [&] {
        std::vector<std::string> files;
        source.ListFiles(files, "\\Album\\");
        std::sort(files.begin(), files.end());
        collator.SortUnique(files);
        TSongList listed;
        listed.Fill(files, "\\Album\\");
        ShowSongList(listed, &songs);
        songs.repaint();
        shown = static_cast<size_t>(songs.topLevelItemCount());
    });
    std::printf(
        "  selecting an album of %zu songs (list, sort, fill, paint) %6.1f ms"
        "   target < 50 ms: %s\n",
        shown, selectMs, Verdict(selectMs < 50));

    // The page "Favoriten": a 10,000-song list read from its file and shown.
    const std::string listFile = scratch.Path() + "Gross.favoriten";
    {
        std::vector<std::string> entries;
        for (int i = 0; i < 10000; ++i)
            entries.push_back("\\Interpret " + std::to_string(i % 500) + "\\Album " +
                              std::to_string(i % 20) + "\\" + std::to_string(i % 30) + "-Lied " +
                              std::to_string(i) + ".mp3");
        WriteFavorites(listFile, entries);
    }
    TFavoriteList favorites;
    double listMs = BestOf(rounds, [&] {
        favorites.Assign(ReadFavorites(listFile));
        favorites.ReplaceSlashes();
        std::vector<std::string> entries = favorites.Entries();
        TSongList listed;
        listed.Fill(entries, "");
        ShowSongList(listed, &songs);
        songs.repaint();
    });
    std::printf("  a 10,000-song list: read, shown and painted   %6.1f ms   target < 100 ms: %s\n",
                listMs, Verdict(listMs < 100));

    // Highlighting: a 1,000-song album repainted while the list holds 10,000
    // songs, against the same repaint without highlighting.
    std::vector<std::string> albumFiles;
    for (int i = 0; i < 1000; ++i)
        albumFiles.push_back(std::to_string(i % 30) + "-Lied " + std::to_string(i * 10) + ".mp3");
    QTreeWidget albumView;
    albumView.setHeaderHidden(true);
    albumView.setUniformRowHeights(true);
    albumView.resize(286, 1200);  // tall, so that many rows are painted
    albumView.show();
    TSongList albumSongs;
    albumSongs.Fill(albumFiles, "\\Interpret 0\\Album 0\\");
    ShowSongList(albumSongs, &albumView);
    class Highlighting : public QStyledItemDelegate {
    public:
        Highlighting(QTreeWidget* list, const TSongList& songs, const TFavoriteList& favorites)
            : QStyledItemDelegate(list), FSongs(songs), FFavorites(favorites) {}
        void initStyleOption(QStyleOptionViewItem* option,
                             const QModelIndex& index) const override {
            QStyledItemDelegate::initStyleOption(option, index);
            if (FFavorites.Contains(FSongs.At(index.row()).Path))
                option->backgroundBrush = QColor(192, 220, 192);
        }

    private:
        const TSongList& FSongs;
        const TFavoriteList& FFavorites;
    };
    auto* plain = albumView.itemDelegate();
    auto* marked = new Highlighting(&albumView, albumSongs, favorites);
    Pair paint = BestOfAlternating(
        rounds,
        [&] {
            albumView.setItemDelegate(marked);
            albumView.grab();  // renders every visible row
        },
        [&] {
            albumView.setItemDelegate(plain);
            albumView.grab();
        });
    std::printf(
        "  repainting a 1,000-song album, highlighted    %6.1f ms   plain %5.1f ms   "
        "ratio %5.2f   target < 16 ms: %s\n",
        paint.oursMs, paint.baseMs, paint.Ratio(), Verdict(paint.oursMs < 16));
    return 0;
}
