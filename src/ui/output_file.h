// Files the procedures write for the user (recordings, archives, exports, safety copies, CSV
// error logs), and the program's own folders they go into.
//
// Promises:
//   - a file name built from data is one name inside its folder: "/", NUL and every control
//     character become "_", "." and ".." are refused, and it is cut to the file system's
//     255-byte limit on a UTF-8 character boundary; a name made of a prefix, a base taken from
//     data and a suffix (fileName) is cut in its base only, so suffixes such as "_VoiceName",
//     the language or "_2" always stay;
//   - every output is written under a temporary name in its folder, ".NAME.tdv-tmp-XXXXXX",
//     created new (never through a link), synced, and only then given its final name,
//     without replacing anything that appeared meanwhile (FileSystem::renameNoReplace). The
//     entry that stood at the final name when the output began (the one the overwrite
//     question was about) is removed just before: the entry itself, a link goes and what it
//     points to stays; anything that appeared since is left and the output fails. A failure or an
//     abandoned output removes the temporary file, so nothing partial ever stands under a final
//     name;
//   - SIGTERM and SIGINT remove the temporary files of the process before it ends; an output
//     removes leftovers of its own name's pattern first, and preparing one of the program's
//     folders removes every leftover of the pattern in it;
//   - a target that is the same file (device and inode, through any spelling or link) as a
//     protected input (the open backup, an Access file beside it), or that holds an Access
//     database, is refused before anything is changed;
//   - every write, the sync and the rename are checked: a short write, a full disk or a failed
//     sync is an error, never a silently shorter file.
//
// Failures carry the runtime's numbers, and their descriptions name the file and the cause
// ("Path/File access error: Cannot create '/x/a.wav': Read-only file system"): 64 "Bad file
// name" for a refused name, 75 "Path/File access error" for a name or folder that cannot be
// removed, created or given, and for a refused target, 61 "Disk full" and 57 "Device I/O
// error" for a write or the sync.
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
#include <utility>
#include <vector>

#include "jet/file.h"

namespace tdv::ui {

class UiPort;

inline constexpr size_t kMaxFileNameBytes = 255;
// The part of a temporary name after the final name: ".tdv-tmp-" and six characters.
inline constexpr std::string_view kTempMarker = ".tdv-tmp-";

// The file system outputs go through: the port's, or the real one.
jet::FileSystem& outputFileSystem(UiPort& ui);

// `name` made safe as one file name (see the promises above).
std::string safeFileName(const std::string& name);

// Whether a file name is a temporary name of an output (".NAME.tdv-tmp-XXXXXX").
bool isTemporaryName(const std::string& fileName);

// Safe file names that stay unique within one run: a repeated name gets "_2", "_3", ...
// before its extension. The name is prefix + base + suffix; when it is too long, the base
// is cut, never the prefix or the suffix.
class FileNames {
public:
    // A whole name: its extension (a last "." within 16 bytes of the end) is its suffix.
    std::string unique(const std::string& name);
    std::string unique(const std::string& prefix, const std::string& base,
                       const std::string& suffix);

private:
    std::set<std::string> used_;
};

// The files an output must never replace or remove: the open backup and the Access files
// beside it (its message backups), by device and inode.
class ProtectedFiles {
public:
    ProtectedFiles() = default;
    // The backup at path (followed through links) and every .mdb/.accdb file of its folder.
    static ProtectedFiles forBackup(UiPort& ui, const std::string& backupPath);
    void add(const jet::FileIdentity& id) { ids_.emplace(id.device, id.inode); }
    bool holds(const jet::FileIdentity& id) const { return ids_.count({id.device, id.inode}) != 0; }

private:
    std::set<std::pair<uint64_t, uint64_t>> ids_;
};

// Throws DbError 75 naming path when the file there (followed through a link) is a protected
// input or an Access database: an output may not take its place. No entry: nothing to say.
void refuseInputTarget(UiPort& ui, const std::string& path, const ProtectedFiles* inputs);

// Removes the directory entry at path if there is one; a link goes, its target stays. A
// protected input or an Access database there is refused (refuseInputTarget) instead.
void removeEntry(UiPort& ui, const std::string& path, const ProtectedFiles* inputs = nullptr);
// Whether there is a directory entry at path (a link counts itself, dangling or not).
bool entryExists(UiPort& ui, const std::string& path);

// One of the program's own folders (WAVExtraction, LogArchives, temp_msg, logs): created
// with any missing folder above it; refused (DbError 75 naming it) when the entry is a link
// or not a folder, so that nothing is written or deleted through it. Links above it (a
// linked application folder) are the user's own set-up and followed. Leftover temporary
// files of outputs in it are removed.
void prepareOwnFolder(UiPort& ui, const std::string& folder);
// The same on a given file system (the run log, which is written to the real one).
void prepareOwnFolder(jet::FileSystem& fs, const std::string& folder);

// Empties a folder prepared by prepareOwnFolder of the files the program writes there: the
// regular files directly in it whose names end in one of `extensions` (letter case
// ignored). Never a link, a folder, a read-only file, a file of `keep` or an Access
// database. Failures to remove one file are passed over.
void clearOwnFolder(UiPort& ui, const std::string& folder,
                    const std::vector<std::string>& extensions, const ProtectedFiles& keep);

class OutputFile {
public:
    // Checks the target (refuseInputTarget) and creates the temporary file in its folder.
    OutputFile(UiPort& ui, std::string path, const ProtectedFiles* inputs = nullptr);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const uint8_t* data, size_t size);
    void write(std::string_view text);
    // Syncs the temporary file, removes the earlier entry of the final name and gives the
    // file its final name; on failure the temporary file is removed and the error raised.
    void close();
    // Removes the temporary file (a failed or abandoned output); the final name is untouched.
    void discard();

    bool closed() const { return closed_; }
    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return tempPath_; }

private:
    UiPort& ui_;
    jet::FileSystem& fs_;
    std::string path_;
    std::string tempPath_;
    const ProtectedFiles* inputs_;
    jet::Entry earlier_;  // what stood at the final name when the output began
    std::unique_ptr<jet::File> file_;
    uint64_t offset_ = 0;
    bool closed_ = false;
    int signalSlot_ = -1;
};

}  // namespace tdv::ui
