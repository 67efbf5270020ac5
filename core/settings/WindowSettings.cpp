#include "settings/WindowSettings.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "settings/IniFile.h"

namespace tunrax {

namespace {

const std::string kSection = "Fenster";
// Larger than any screen: a size beyond it was not written by the program.
constexpr int32_t kLargest = 100000;

// "289,286" as widths; empty unless it is two or more widths in bounds.
std::vector<int32_t> ParseWidths(const std::string& text) {
    std::vector<int32_t> widths;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        int32_t width = 0;
        if (!TIniFile::ParseInteger(part, width) || width <= 0 || width > kLargest)
            return {};
        widths.push_back(width);
    }
    return widths.size() >= 2 ? widths : std::vector<int32_t>{};
}

}  // namespace

TWindowSettings TWindowSettings::Read(const TIniFile& settings) {
    TWindowSettings window;
    const auto read = [&](const char* key, int32_t fallback) {
        return settings.ReadInteger(kSection, key, fallback);
    };
    const int32_t width = read("Breite", 0);
    const int32_t height = read("Hoehe", 0);
    const int32_t left = read("Links", 0);
    const int32_t top = read("Oben", 0);
    if (width > 0 && width <= kLargest && height > 0 && height <= kLargest &&
        std::abs(left) <= kLargest && std::abs(top) <= kLargest) {
        window.Left = left;
        window.Top = top;
        window.Width = width;
        window.Height = height;
    }
    window.Maximized = settings.ReadBool(kSection, "Maximiert", false);
    window.Splitter = ParseWidths(settings.ReadString(kSection, "Teiler", ""));
    window.Volume = std::clamp(read("Lautstaerke", 100), 0, 100);
    window.Album = settings.ReadString(kSection, "Album", "");
    return window;
}

void TWindowSettings::Write(TIniFile& settings) const {
    TIniFile::UpdateScope update(settings);
    if (PlaceKnown()) {
        settings.WriteInteger(kSection, "Links", Left);
        settings.WriteInteger(kSection, "Oben", Top);
        settings.WriteInteger(kSection, "Breite", Width);
        settings.WriteInteger(kSection, "Hoehe", Height);
    }
    settings.WriteBool(kSection, "Maximiert", Maximized);
    std::string widths;
    for (const int32_t width : Splitter)
        widths += (widths.empty() ? "" : ",") + std::to_string(width);
    if (!widths.empty())
        settings.WriteString(kSection, "Teiler", widths);
    settings.WriteInteger(kSection, "Lautstaerke", std::clamp(Volume, 0, 100));
    settings.WriteString(kSection, "Album", Album);
    update.Commit();
}

}  // namespace tunrax
