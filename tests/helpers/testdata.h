// Access to the real test databases and reference tables beside the checkout.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tdv::test {

// Folder of the real Access files (V1997, V2000, jet4-empty).
std::filesystem::path testdataDir();
std::filesystem::path referenceDir();
// Every .mdb under testdataDir(), sorted.
std::vector<std::filesystem::path> allTestDatabases();
// A fresh temporary directory removed when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Copies a file into this directory and returns the copy's path (tests write only copies).
    std::filesystem::path copy(const std::filesystem::path& file) const;

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int status = 0;
    std::string out;
    std::string err;
};
// Runs a command line through /bin/sh, capturing stdout and stderr.
CommandResult runCommand(const std::string& commandLine);
// Runs the built tdv with the given (already shell-quoted) arguments.
CommandResult runTdv(const std::string& args);
std::string shellQuote(const std::string& s);

// Damages the one long value of `size` bytes in a database file: the declared length in its
// 12-byte reference (length with the storage flags in the top bits) is made 1 MiB larger than
// what is stored. False, changing nothing, unless exactly one reference has that length.
bool damageLongValueLength(const std::filesystem::path& file, uint32_t size);

}  // namespace tdv::test
