#include "support/Mp3Files.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace tunrax::test {

namespace {

constexpr int kBitrate = 128000;
constexpr int kRate = 44100;
constexpr int kSamplesPerFrame = 1152;
// Frames of 144 * 128000 / 44100 = 417.96 bytes: most frames carry a padding
// byte so that the average rate is exact.
constexpr int kFrameNumerator = 144 * kBitrate;

void PutBigEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Field(const std::string& text, size_t size) {
    std::string f = text.substr(0, size);
    f.resize(size, '\0');
    return f;
}

// Runs a program without a shell; true when it exits with 0.
bool Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A sine that sweeps linearly from hz to endHz.
std::string ToneWav(double seconds, double hz, double endHz) {
    const uint32_t frames = static_cast<uint32_t>(seconds * kRate);
    const uint32_t dataBytes = frames * 4;
    std::string wav = "RIFF";
    PutLittleEndian(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    PutLittleEndian(wav, 16, 4);
    PutLittleEndian(wav, 1, 2);  // PCM
    PutLittleEndian(wav, 2, 2);
    PutLittleEndian(wav, kRate, 4);
    PutLittleEndian(wav, kRate * 4, 4);
    PutLittleEndian(wav, 4, 2);
    PutLittleEndian(wav, 16, 2);
    wav += "data";
    PutLittleEndian(wav, dataBytes, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        const double cycles = hz * t + (endHz - hz) * t * t / (2 * seconds);
        const double v = 0.5 * std::sin(2 * std::numbers::pi * cycles);
        const auto sample = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767)));
        PutLittleEndian(wav, sample, 2);
        PutLittleEndian(wav, sample, 2);
    }
    return wav;
}

}  // namespace

std::string SilentMp3Frames(double seconds) {
    const long frames = std::max(1L, std::lround(seconds * kRate / kSamplesPerFrame));
    std::string out;
    for (long n = 0; n < frames; ++n) {
        const long long start = n * static_cast<long long>(kFrameNumerator) / kRate;
        const long long end = (n + 1) * static_cast<long long>(kFrameNumerator) / kRate;
        const bool padding = end - start > kFrameNumerator / kRate;
        // Sync, MPEG-1, Layer III, no CRC; 128 kbit/s, 44.1 kHz; joint
        // stereo, original.
        PutBigEndian(out, padding ? 0xFFFB9244u : 0xFFFB9044u, 4);
        // Zero side info: no main data, every granule silent.
        out.append(static_cast<size_t>(end - start) - 4, '\0');
    }
    return out;
}

std::string Id3v2Tag(const std::string& title, const std::string& artist,
                     const std::string& album) {
    std::string frames;
    const std::pair<const char*, const std::string*> fields[] = {
        {"TIT2", &title}, {"TPE1", &artist}, {"TALB", &album}};
    for (const auto& [id, text] : fields) {
        if (text->empty())
            continue;
        frames += id;
        PutBigEndian(frames, static_cast<uint32_t>(text->size() + 1), 4);
        frames.append(2, '\0');  // flags
        frames += '\0';          // ISO-8859-1
        frames += *text;
    }
    std::string tag = "ID3";
    tag += '\x03';
    tag += '\0';
    tag += '\0';
    const auto size = static_cast<uint32_t>(frames.size());
    for (int shift = 21; shift >= 0; shift -= 7)  // sync-safe
        tag += static_cast<char>((size >> shift) & 0x7F);
    return tag + frames;
}

std::string Id3v1Tag(const std::string& title, const std::string& artist,
                     const std::string& album) {
    return "TAG" + Field(title, 30) + Field(artist, 30) + Field(album, 30) + Field("", 4) +
           Field("", 30) + '\xFF';
}

void WriteSilentMp3(const std::string& path, double seconds) {
    WriteFile(path, SilentMp3Frames(seconds));
}

void WriteSilentMp3(const std::string& path, double seconds, const std::string& title,
                    const std::string& artist, const std::string& album) {
    WriteFile(path, Id3v2Tag(title, artist, album) + SilentMp3Frames(seconds) +
                        Id3v1Tag(title, artist, album));
}

bool WriteToneMp3(const std::string& path, double seconds, double hz) {
    return WriteSweepMp3(path, seconds, hz, hz);
}

bool WriteSweepMp3(const std::string& path, double seconds, double hz, double endHz) {
    const std::string wav = path + ".wav";
    WriteFile(wav, ToneWav(seconds, hz, endHz));
    const bool ok = Run({"lame", "--quiet", "-b", "128", wav, path});
    ::unlink(wav.c_str());
    return ok;
}

}  // namespace tunrax::test
