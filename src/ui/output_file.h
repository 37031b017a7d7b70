// Files the procedures write for the user (recordings, archives, exports), made safely.
//
// Promises:
//   - a file name built from data is one name inside its folder: "/" and NUL become "_",
//     "." and ".." are refused, and it is cut to the file system's 255-byte limit on a
//     UTF-8 character boundary, keeping its extension;
//   - an earlier entry of the output's name is removed itself (a symbolic link is removed,
//     never followed, and no file's permissions are changed), and the new file is created
//     new, never through a link (O_CREAT | O_EXCL | O_NOFOLLOW);
//   - every write and the final close are checked: a short write, a full disk or a failed
//     close is an error, never a silently shorter file;
//   - a file that was not closed successfully is removed: half-written output is never
//     left behind as if it were complete.
//
// Failures carry the runtime's numbers: 64 "Bad file name" for a refused name, 75
// "Path/File access error" (a filesystem_error) for a name that cannot be removed or
// created, 61 "Disk full" and 57 "Device I/O error" for a write or the close.
//
// Files go through the UI port's output file system when it names one (tests put a failing
// one there); otherwise through the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace jet {
class File;
class FileSystem;
}  // namespace jet

namespace tdv::ui {

class UiPort;

inline constexpr size_t kMaxFileNameBytes = 255;

// `name` made safe as one file name (see the promises above).
std::string safeFileName(const std::string& name);

// Safe file names that stay unique within one run: a repeated name gets "_2", "_3", ...
// before its extension.
class FileNames {
public:
    std::string unique(const std::string& name);

private:
    std::set<std::string> used_;
};

// Removes the directory entry at path if there is one; a link goes, its target stays.
void removeEntry(UiPort& ui, const std::string& path);
// Whether there is a directory entry at path (a link counts itself, dangling or not).
bool entryExists(UiPort& ui, const std::string& path);

class OutputFile {
public:
    // Removes an earlier entry of that name and creates the file new.
    OutputFile(UiPort& ui, std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const uint8_t* data, size_t size);
    void write(std::string_view text);
    // Flushes and closes; on failure the file is removed and the error raised.
    void close();
    // Removes the file (a failed or abandoned output).
    void discard();

    bool closed() const { return closed_; }
    const std::string& path() const { return path_; }

private:
    UiPort& ui_;
    std::string path_;
    std::unique_ptr<jet::File> file_;
    uint64_t offset_ = 0;
    bool closed_ = false;
};

}  // namespace tdv::ui
