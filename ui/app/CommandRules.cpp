#include "app/CommandRules.h"

namespace tunrax {

TCommandEnabling EnabledCommands(const TCommandState& s) {
    TCommandEnabling on;
    // Lists are made, deleted and filled from the album tree; arranged and
    // searched for from the list's own page.
    on.NewList = s.PageAll;
    on.DeleteList = s.ListCurrent && on.NewList;
    on.AddSong = on.NewList && s.ChosenHasPath && s.ListEditable && !s.ChosenInList;
    on.RemoveSong = s.ChosenHasPath && s.ChosenInList;
    on.NoAutoPlay = true;
    on.MoveSongUp = s.PageList && s.SongChosen && s.ChosenRow > 0;
    on.MoveSongDown = s.PageList && s.SongChosen && s.ChosenRow < s.SongCount - 1;
    on.CopySongs = s.SourceCanCopy && s.SongCount > 0;
    on.AddAllSongs = s.SongCount > 0 && s.PageAll && s.ListEditable;
    on.RemoveAllSongs = s.SongCount > 0 && !s.ListEmpty;
    on.FindSong = s.SongChosen && s.PageList;
    return on;
}

}  // namespace tunrax
