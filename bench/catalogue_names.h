// Artist and album names for generated catalogues: realistic lengths, with
// UTF-8 and single Windows-1252 bytes mixed in, as collections that went
// through several systems have them.
#pragma once

#include <cstdio>
#include <string>

namespace tunrax::bench {

inline const char* const kWords[] = {"Blue",
                                     "Night",
                                     "Stra\xC3\x9F"
                                     "e",
                                     "Fire",
                                     "Dream",
                                     "River",
                                     "Stone",
                                     "L\xE9gende",
                                     "Heart",
                                     "Summer",
                                     "Shadow",
                                     "Gold",
                                     "M\xC3\xBC"
                                     "hle",
                                     "Rain",
                                     "Echo"};
inline constexpr int kWordCount = sizeof kWords / sizeof kWords[0];

inline std::string ArtistName(int i) {
    std::string name = i % 3 == 0 ? "The " : "";
    name += kWords[i % kWordCount];
    name += ' ';
    name += kWords[(i / kWordCount + 3) % kWordCount];
    name += i % 4 == 1 ? " Band " : " ";
    return name + std::to_string(i);
}

inline std::string AlbumName(int artist, int album) {
    char year[16];
    std::snprintf(year, sizeof year, " (%d)", 1960 + (artist + album * 7) % 64);
    return std::string(kWords[(artist + album) % kWordCount]) + " " +
           kWords[(artist * 3 + album) % kWordCount] + " Vol. " + std::to_string(album + 1) + year;
}

}  // namespace tunrax::bench
