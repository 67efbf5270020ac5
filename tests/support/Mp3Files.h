// Real MP3 files for tests: silence built from valid MPEG-1 Layer III frames
// (no tools needed), a tone encoded by lame, and simple ID3 tags.
#pragma once

#include <string>

namespace tunrax::test {

// MPEG-1 Layer III frames, 128 kbit/s, 44.1 kHz, joint stereo, all silent:
// about `seconds` long (whole frames of 1152 samples).
std::string SilentMp3Frames(double seconds);

// An ID3v2.3 tag with TIT2/TPE1/TALB text frames (ISO-8859-1, bytes taken as
// they are); empty fields are left out.
std::string Id3v2Tag(const std::string& title, const std::string& artist, const std::string& album);
// A 128-byte ID3v1 tag; fields cut to 30 bytes, genre 255.
std::string Id3v1Tag(const std::string& title, const std::string& artist, const std::string& album);

// Writes the silent frames; throws std::runtime_error when it cannot write.
void WriteSilentMp3(const std::string& path, double seconds);
// The same with an ID3v2.3 tag before the frames and an ID3v1 tag after them.
void WriteSilentMp3(const std::string& path, double seconds, const std::string& title,
                    const std::string& artist, const std::string& album);

// A sine tone (half full scale, stereo, 44.1 kHz) encoded by `lame` at
// 128 kbit/s; false when lame is missing or fails.
bool WriteToneMp3(const std::string& path, double seconds, double hz);
// The same with a tone that rises evenly from hz to endHz: its pitch tells
// where in the song a piece of it lies.
bool WriteSweepMp3(const std::string& path, double seconds, double hz, double endHz);

}  // namespace tunrax::test
