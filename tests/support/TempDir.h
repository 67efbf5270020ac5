// A fresh folder below $TMPDIR for one test, removed with everything in it
// (write bits restored first) when the object goes.
#pragma once

#include <string>
#include <vector>

namespace tunrax::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, ending in "/".
    const std::string& Path() const { return FPath; }
    // Path() + relative.
    std::string operator/(const std::string& relative) const { return FPath + relative; }

private:
    std::string FPath;
};

// Writes bytes to a file, creating missing parent folders.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole file; throws std::runtime_error when it cannot be read.
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);
bool Exists(const std::string& path);
// The names in a folder (without "." and ".."), sorted; none for a missing one.
std::vector<std::string> FolderEntries(const std::string& folder);
// The permission bits of a file (0 when it is missing).
unsigned ModeOf(const std::string& path);

// Runs a program (argv[0] is its path) with standard output and error caught
// in files below scratch; its exit status, -1 when it could not run.
int RunProgram(std::vector<std::string> argv, const std::string& scratch, std::string& out,
               std::string& err);

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);  // value nullptr: unset
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string FName;
    std::string FOld;
    bool FHadOld;
};

}  // namespace tunrax::test
