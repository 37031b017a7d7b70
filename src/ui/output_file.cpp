#include "ui/output_file.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <random>

#include "base/runtime_error.h"
#include "base/text.h"
#include "jet/error.h"
#include "ui/ui_port.h"

namespace tdv::ui {

namespace {

constexpr size_t kTempRandomChars = 6;

[[noreturn]] void pathError(const std::string& description) {
    throw db::DbError(75, "Path/File access error: " + description);
}

// The cause in an engine error's text ("Cannot create '/x': Read-only file system"), in the
// words the messages use.
std::string causeOf(const jet::Error& e) {
    const std::string text = e.description();
    const size_t colon = text.rfind("': ");
    const std::string cause = colon == std::string::npos ? text : text.substr(colon + 3);
    static const std::pair<const char*, const char*> kWords[] = {
        {"No such file or directory", "no such folder"},
        {"Not a directory", "a file is in the way of its folder"},
        {"Is a directory", "a folder is in the way"},
        {"Read-only file system", "read-only file system"},
        {"Permission denied", "permission denied"},
        {"Operation not permitted", "permission denied"},
        {"File exists", "another file took the name meanwhile"},
    };
    for (const auto& [from, to] : kWords)
        if (cause == from) return to;
    return cause;
}

bool diskFull(const jet::Error& e) {
    const std::string text = e.description();
    return text.find("the disk is full") != std::string::npos ||
           text.find("quota") != std::string::npos;
}

// A failure of the output at `path` (its final name: the temporary one means nothing to the
// user), with the runtime's numbers: a full disk is 61, a failed write or sync 57, a name
// that cannot be made 75. The file system promises "the disk is full" in a full disk's text.
[[noreturn]] void outputError(const std::string& path, const std::string& doing,
                              const jet::Error& e, long otherNumber) {
    if (diskFull(e)) throw db::DbError(61, "Disk full: '" + path + "' could not be " + doing);
    if (otherNumber == 57)
        throw db::DbError(
            57, "Device I/O error: '" + path + "' could not be " + doing + ": " + causeOf(e));
    pathError("'" + path + "' could not be " + doing + ": " + causeOf(e));
}

// The engine's error already names the entry and the cause.
[[noreturn]] void pathError(const jet::Error& e) {
    if (diskFull(e)) throw db::DbError(61, "Disk full: " + e.description());
    pathError(e.description());
}

[[noreturn]] void badFileName() {
    throw db::DbError(64, "Bad file name");
}

// The first byte of the UTF-8 character that holds byte `at`.
size_t characterStart(const std::string& text, size_t at) {
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

std::string cutBytes(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    return text.substr(0, characterStart(text, limit));
}

// Cuts `name` to the byte limit, keeping a short extension whole.
std::string cutToLimit(const std::string& name, size_t limit) {
    if (name.size() <= limit) return name;
    std::string extension;
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16)
        extension = name.substr(dot);
    const std::string stem = name.substr(0, name.size() - extension.size());
    return cutBytes(stem, limit - extension.size()) + extension;
}

std::string cleanCharacters(std::string name) {
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || u < 0x20 || u == 0x7F) c = '_';
    }
    return name;
}

std::pair<std::string, std::string> splitPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool isAccessDatabase(jet::FileSystem& fs, const std::string& path) {
    try {
        auto file = fs.open(path, jet::FileSystem::Mode::ReadOnly);
        uint8_t head[19] = {};
        if (file->size() < sizeof head) return false;
        file->readAt(0, head, sizeof head);
        const std::string_view text(reinterpret_cast<const char*>(head) + 4, 15);
        return text == "Standard Jet DB" || text == "Standard ACE DB";
    } catch (const jet::Error&) {
        return false;
    }
}

bool endsWithNoCase(const std::string& name, const std::string& ending) {
    return name.size() >= ending.size() &&
           base::asciiLower(name.substr(name.size() - ending.size())) == base::asciiLower(ending);
}

// --- Temporary files and the signals that end the process -----------------------------
//
// The handler may only use async-signal-safe calls: the paths live in fixed buffers that a
// slot's flag publishes, and it unlinks them, then lets the signal end the process as it
// would have.

constexpr int kSignalSlots = 8;
char g_tempPaths[kSignalSlots][PATH_MAX];
std::atomic<int> g_tempUsed[kSignalSlots];
struct sigaction g_previous[2];
std::once_flag g_installed;

void removeTemporaryFiles(int sig) {
    for (int i = 0; i < kSignalSlots; ++i)
        if (g_tempUsed[i].load() == 1) ::unlink(g_tempPaths[i]);
    const int which = sig == SIGTERM ? 0 : 1;
    const struct sigaction& before = g_previous[which];
    if (!(before.sa_flags & SA_SIGINFO) && before.sa_handler != SIG_DFL &&
        before.sa_handler != SIG_IGN) {
        before.sa_handler(sig);
        return;
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void installSignalHandlers() {
    std::call_once(g_installed, [] {
        const int signals[2] = {SIGTERM, SIGINT};
        for (int i = 0; i < 2; ++i) {
            struct sigaction current {};
            ::sigaction(signals[i], nullptr, &current);
            // A signal the process ignores stays ignored.
            if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
            g_previous[i] = current;
            struct sigaction mine {};
            mine.sa_handler = removeTemporaryFiles;
            sigemptyset(&mine.sa_mask);
            ::sigaction(signals[i], &mine, nullptr);
        }
    });
}

// A slot is 0 free, 2 taken while its path is written, 1 published to the handler.
int registerTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    installSignalHandlers();
    for (int i = 0; i < kSignalSlots; ++i) {
        int expected = 0;
        if (!g_tempUsed[i].compare_exchange_strong(expected, 2)) continue;
        std::memcpy(g_tempPaths[i], path.c_str(), path.size() + 1);
        g_tempUsed[i].store(1);
        return i;
    }
    return -1;
}

void unregisterTemporary(int slot) {
    if (slot >= 0) g_tempUsed[slot].store(0);
}

std::string randomSuffix() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mutex mutex;
    static std::mt19937_64 random{std::random_device{}()};
    std::lock_guard<std::mutex> guard(mutex);
    std::string out;
    for (size_t i = 0; i < kTempRandomChars; ++i) out += kChars[random() % (sizeof kChars - 1)];
    return out;
}

// The part of a temporary name before its random characters: "." + NAME + ".tdv-tmp-", with
// NAME cut so that the whole fits the limit.
std::string temporaryStem(const std::string& name) {
    const size_t room = kMaxFileNameBytes - 1 - kTempMarker.size() - kTempRandomChars;
    return "." + cutBytes(name, room) + std::string(kTempMarker);
}

// Removes leftover temporary files in the folder: those of `name`, or every one when `name`
// is empty.
void removeLeftovers(jet::FileSystem& fs, const std::string& folder, const std::string& name) {
    const std::string stem = name.empty() ? std::string() : temporaryStem(name);
    std::vector<std::string> names;
    try {
        names = fs.list(folder);
    } catch (const jet::Error&) {
        return;
    }
    for (const std::string& n : names) {
        if (!isTemporaryName(n)) continue;
        if (!stem.empty() &&
            (n.size() != stem.size() + kTempRandomChars || n.compare(0, stem.size(), stem) != 0))
            continue;
        try {
            const std::string p = joinPath(folder, n);
            if (fs.entryAt(p).kind == jet::EntryKind::File) fs.remove(p);
        } catch (const jet::Error&) {
            // A leftover that cannot be removed harms nothing.
        }
    }
}

}  // namespace

jet::FileSystem& outputFileSystem(UiPort& ui) {
    if (jet::FileSystem* fs = ui.outputFileSystem()) return *fs;
    return jet::FileSystem::real();
}

std::string safeFileName(const std::string& name) {
    std::string safe = cutToLimit(cleanCharacters(name), kMaxFileNameBytes);
    if (safe.empty() || safe == "." || safe == "..") badFileName();
    return safe;
}

bool isTemporaryName(const std::string& fileName) {
    const size_t tail = kTempMarker.size() + kTempRandomChars;
    return fileName.size() > tail + 1 && fileName[0] == '.' &&
           fileName.compare(fileName.size() - tail, kTempMarker.size(), kTempMarker) == 0;
}

std::string FileNames::unique(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > 16) return unique({}, name, {});
    return unique({}, name.substr(0, dot), name.substr(dot));
}

std::string FileNames::unique(const std::string& prefix, const std::string& base,
                              const std::string& suffix) {
    const std::string cleanPrefix = cleanCharacters(prefix);
    const std::string cleanBase = cleanCharacters(base);
    const std::string cleanSuffix = cleanCharacters(suffix);
    const size_t dot = cleanSuffix.find_last_of('.');
    const size_t split = dot == std::string::npos ? cleanSuffix.size() : dot;
    const std::string suffixStem = cleanSuffix.substr(0, split);
    const std::string extension = cleanSuffix.substr(split);
    for (int n = 1;; ++n) {
        const std::string counter = n == 1 ? "" : "_" + std::to_string(n);
        const size_t fixed =
            cleanPrefix.size() + suffixStem.size() + counter.size() + extension.size();
        std::string candidate;
        if (fixed < kMaxFileNameBytes) {
            candidate = cleanPrefix + cutBytes(cleanBase, kMaxFileNameBytes - fixed) + suffixStem +
                        counter + extension;
        } else {
            // Nothing of the base fits: the whole name is cut, its extension kept.
            candidate = cutToLimit(cleanPrefix + cleanBase + suffixStem + counter + extension,
                                   kMaxFileNameBytes);
        }
        candidate = safeFileName(candidate);
        if (used_.insert(candidate).second) return candidate;
    }
}

ProtectedFiles ProtectedFiles::forBackup(UiPort& ui, const std::string& backupPath) {
    ProtectedFiles out;
    if (backupPath.empty()) return out;
    jet::FileSystem& fs = outputFileSystem(ui);
    try {
        out.add(fs.identityOf(backupPath));
    } catch (const jet::Error&) {
        // A backup that cannot be looked at is not where any output goes either.
    }
    const std::string folder = splitPath(backupPath).first;
    try {
        for (const std::string& name : fs.list(folder)) {
            if (!endsWithNoCase(name, ".mdb") && !endsWithNoCase(name, ".accdb")) continue;
            try {
                out.add(fs.identityOf(joinPath(folder, name)));
            } catch (const jet::Error&) {
                // A dangling link or a file gone meanwhile holds no backup.
            }
        }
    } catch (const jet::Error&) {
        // A folder that cannot be listed: the open backup itself is still protected.
    }
    return out;
}

void refuseInputTarget(UiPort& ui, const std::string& path, const ProtectedFiles* inputs) {
    jet::FileSystem& fs = outputFileSystem(ui);
    if (!fs.exists(path)) return;  // no entry, or a dangling link
    bool input = false;
    if (inputs) {
        try {
            input = inputs->holds(fs.identityOf(path));
        } catch (const jet::Error&) {
        }
    }
    if (input)
        pathError("'" + path + "' is the backup being read (or one beside it); it is not replaced");
    if (fs.entryAt(path).kind != jet::EntryKind::Folder && isAccessDatabase(fs, path))
        pathError("'" + path + "' is an Access database; it is not replaced");
}

void removeEntry(UiPort& ui, const std::string& path, const ProtectedFiles* inputs) {
    jet::FileSystem& fs = outputFileSystem(ui);
    refuseInputTarget(ui, path, inputs);
    try {
        const jet::Entry entry = fs.entryAt(path);
        if (entry.kind == jet::EntryKind::None) return;
        if (entry.kind == jet::EntryKind::Folder)
            pathError("Cannot replace '" + path + "': a folder is in the way");
        // The entry itself goes: a link, not what it points to; a read-only file needs no
        // change of its permissions.
        fs.remove(path);
    } catch (const jet::Error& e) {
        pathError(e);
    }
}

bool entryExists(UiPort& ui, const std::string& path) {
    return outputFileSystem(ui).entryAt(path).kind != jet::EntryKind::None;
}

void prepareOwnFolder(UiPort& ui, const std::string& folder) {
    prepareOwnFolder(outputFileSystem(ui), folder);
}

void prepareOwnFolder(jet::FileSystem& fs, const std::string& folder) {
    try {
        jet::Entry entry = fs.entryAt(folder);
        if (entry.kind == jet::EntryKind::None) {
            fs.createFolder(folder);
            entry = fs.entryAt(folder);
        }
        if (entry.kind == jet::EntryKind::Link)
            pathError("the folder '" + folder +
                      "' is a link; the program writes only into a folder of its own, and "
                      "nothing was written or deleted");
        if (entry.kind != jet::EntryKind::Folder)
            pathError("'" + folder +
                      "' is not a folder; the program writes only into a folder of its own, "
                      "and nothing was written or deleted");
    } catch (const jet::Error& e) {
        pathError(e);
    }
    removeLeftovers(fs, folder, {});
}

void clearOwnFolder(UiPort& ui, const std::string& folder,
                    const std::vector<std::string>& extensions, const ProtectedFiles& keep) {
    jet::FileSystem& fs = outputFileSystem(ui);
    std::vector<std::string> names;
    try {
        names = fs.list(folder);
    } catch (const jet::Error& e) {
        pathError(e);
    }
    for (const std::string& name : names) {
        bool ours = false;
        for (const std::string& ext : extensions) ours = ours || endsWithNoCase(name, ext);
        if (!ours) continue;
        const std::string path = joinPath(folder, name);
        try {
            const jet::Entry entry = fs.entryAt(path);
            if (entry.kind != jet::EntryKind::File || keep.holds(entry.identity)) continue;
            if (isAccessDatabase(fs, path)) continue;
            // Read-only files stay, as an unforced delete leaves them.
            fs.open(path, jet::FileSystem::Mode::ReadWrite);
            fs.remove(path);
        } catch (const jet::Error&) {
            // A file that cannot be removed stays; the extraction still writes its own names.
        }
    }
}

OutputFile::OutputFile(UiPort& ui, std::string path, const ProtectedFiles* inputs)
    : ui_(ui), fs_(outputFileSystem(ui)), path_(std::move(path)), inputs_(inputs) {
    refuseInputTarget(ui_, path_, inputs_);
    const auto [folder, name] = splitPath(path_);
    if (name.empty()) badFileName();
    removeLeftovers(fs_, folder, name);
    try {
        earlier_ = fs_.entryAt(path_);
    } catch (const jet::Error& e) {
        pathError(e);
    }
    // The temporary name must fit the limit too: its part of the final name is cut.
    const std::string stem = temporaryStem(name);
    for (int attempt = 0;; ++attempt) {
        tempPath_ = joinPath(folder, stem + randomSuffix());
        try {
            file_ = fs_.open(tempPath_, jet::FileSystem::Mode::CreateNew);
            break;
        } catch (const jet::Error& e) {
            // A name taken by chance: another one; anything else is the folder's failure.
            if (attempt < 8 && fs_.entryAt(tempPath_).kind != jet::EntryKind::None) continue;
            tempPath_.clear();
            outputError(path_, "created", e, 75);
        }
    }
    if (&fs_ == &jet::FileSystem::real()) signalSlot_ = registerTemporary(tempPath_);
}

OutputFile::~OutputFile() {
    if (!closed_) discard();
}

void OutputFile::write(const uint8_t* data, size_t size) {
    if (!file_) throw db::DbError(52, "Bad file name or number");
    if (size == 0) return;
    try {
        file_->writeAt(offset_, data, size);
    } catch (const jet::Error& e) {
        outputError(path_, "written", e, 57);
    }
    offset_ += size;
}

void OutputFile::write(std::string_view text) {
    write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void OutputFile::close() {
    if (closed_) return;
    if (!file_) throw db::DbError(52, "Bad file name or number");
    try {
        try {
            file_->sync();
            file_.reset();
        } catch (const jet::Error& e) {
            outputError(path_, "written", e, 57);
        }
        // The overwrite questions were asked about the entry that stood at the name when the
        // output began: that one goes now (the entry itself, never through a link), unless
        // it is an input. Anything that appeared since stays, and the rename then fails.
        jet::Entry now;
        try {
            now = fs_.entryAt(path_);
        } catch (const jet::Error& e) {
            pathError(e);
        }
        if (now.kind != jet::EntryKind::None && now.kind == earlier_.kind &&
            now.identity.device == earlier_.identity.device &&
            now.identity.inode == earlier_.identity.inode)
            removeEntry(ui_, path_, inputs_);
        try {
            fs_.renameNoReplace(tempPath_, path_);
        } catch (const jet::Error& e) {
            outputError(path_, "given its name", e, 75);
        }
    } catch (...) {
        discard();
        throw;
    }
    unregisterTemporary(signalSlot_);
    signalSlot_ = -1;
    closed_ = true;
    try {
        fs_.syncDirectoryOf(path_);
    } catch (const jet::Error&) {
        // The file is whole under its name; only its durability across a power loss is
        // left to the file system.
    }
}

void OutputFile::discard() {
    file_.reset();
    closed_ = true;
    if (tempPath_.empty()) return;
    try {
        fs_.remove(tempPath_);
    } catch (...) {
        // Nothing more can be done about a file that cannot be removed; the failure that
        // led here is what the user is told.
    }
    unregisterTemporary(signalSlot_);
    signalSlot_ = -1;
}

}  // namespace tdv::ui
