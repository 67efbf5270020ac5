// What the main window remembers between starts, in the section "[Fenster]"
// of the settings file: where it stood and how large it was, whether it was
// maximised, the widths of the splitter's two sides, the volume and the album
// selected in the tree. A file without the section (or with values that make
// no sense) gives the first start's defaults. Reading never throws; Write
// throws tunrax::Error as the settings file's writes do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tunrax {

class TIniFile;

struct TWindowSettings {
    // The window's place and size, when stored (Width 0: not stored).
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool Maximized = false;
    // The widths of the splitter's sides; empty when not stored.
    std::vector<int32_t> Splitter;
    // Percent, 0 to 100.
    int32_t Volume = 100;
    // The path of the album selected in the tree ("\Artist\Album\"; see
    // NodePath), empty for none.
    std::string Album;

    bool PlaceKnown() const { return Width > 0 && Height > 0; }

    static TWindowSettings Read(const TIniFile& settings);
    void Write(TIniFile& settings) const;
};

}  // namespace tunrax
