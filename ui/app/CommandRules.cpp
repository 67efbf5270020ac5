#include "app/CommandRules.h"

namespace tunrax {

TCommandEnabling EnabledCommands(const TCommandState& s) {
    TCommandEnabling on;
    // Lists are made, deleted and filled from the album tree; arranged and
    // searched for from the list's own page.
    on.NeuListe = s.PageAll;
    on.DelListe = s.ListCurrent && on.NeuListe;
    on.Add = on.NeuListe && s.ChosenHasPath && s.ListEditable && !s.ChosenInList;
    on.Del = s.ChosenHasPath && s.ChosenInList;
    on.NoPlay = true;
    on.LiedFrueher = s.PageList && s.SongChosen && s.ChosenRow > 0;
    on.LiedSpaeter = s.PageList && s.SongChosen && s.ChosenRow < s.SongCount - 1;
    on.Kopieren = s.SourceCanCopy && s.SongCount > 0;
    on.AddAll = s.SongCount > 0 && s.PageAll && s.ListEditable;
    on.DelAll = s.SongCount > 0 && !s.ListEmpty;
    on.Find = s.SongChosen && s.PageList;
    return on;
}

}  // namespace tunrax
