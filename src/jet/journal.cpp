#include "jet/journal.h"

#include <array>
#include <memory>
#include <optional>
#include <random>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {
namespace {

constexpr std::array<uint8_t, 8> kMagic = {'T', 'D', 'V', 'J', 'R', 'N', 'L', 0x1A};
constexpr uint32_t kFormatVersion = 1;
// magic(8) version(4) pageSize(4) originalSize(8) recordCount(4) salt(4) checksum(8)
constexpr size_t kHeaderSize = 40;
constexpr uint32_t kMinPageSize = 512;
constexpr uint32_t kMaxPageSize = 65536;
// Larger than any Jet file (2 GiB); a bigger "original size" is damage, not a database.
constexpr uint64_t kMaxOriginalSize = uint64_t{1} << 36;

uint32_t get32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
uint64_t get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// FNV-1a, 64 bits, seeded with the journal's salt: enough to tell a torn or stale record
// from a written one; the journal guards against crashes, not against an adversary.
class Checksum {
public:
    explicit Checksum(uint32_t salt) { add32(salt); }
    void add(const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) h_ = (h_ ^ p[i]) * 0x100000001b3ULL;
    }
    void add32(uint32_t v) {
        uint8_t b[4];
        storeU32(b, v);
        add(b, 4);
    }
    uint64_t value() const { return h_; }

private:
    uint64_t h_ = 0xcbf29ce484222325ULL;
};

size_t recordSize(uint32_t pageSize) {
    return 4 + size_t{pageSize} + 8;
}

uint64_t recordChecksum(uint32_t salt, uint32_t page, const uint8_t* bytes, uint32_t pageSize) {
    Checksum c(salt);
    c.add32(page);
    c.add(bytes, pageSize);
    return c.value();
}

struct Header {
    uint32_t pageSize = 0;
    uint64_t originalSize = 0;
    uint32_t recordCount = 0;
    uint32_t salt = 0;
};

// The header if it is whole and consistent with the journal's length, else nothing.
std::optional<Header> readHeader(File& journal, uint32_t expectedPageSize) {
    uint64_t size = journal.size();
    if (size < kHeaderSize) return std::nullopt;
    uint8_t b[kHeaderSize];
    journal.readAt(0, b, kHeaderSize);
    if (!std::equal(kMagic.begin(), kMagic.end(), b)) return std::nullopt;
    Checksum c(0);
    c.add(b, kHeaderSize - 8);
    if (c.value() != get64(b + 32)) return std::nullopt;
    Header h;
    uint32_t version = get32(b + 8);
    h.pageSize = get32(b + 12);
    h.originalSize = get64(b + 16);
    h.recordCount = get32(b + 24);
    h.salt = get32(b + 28);
    if (version != kFormatVersion) return std::nullopt;
    if (h.pageSize < kMinPageSize || h.pageSize > kMaxPageSize ||
        (h.pageSize & (h.pageSize - 1)) != 0)
        return std::nullopt;
    if (expectedPageSize != 0 && h.pageSize != expectedPageSize) return std::nullopt;
    if (h.originalSize > kMaxOriginalSize) return std::nullopt;
    if (h.recordCount > (size - kHeaderSize) / recordSize(h.pageSize)) return std::nullopt;
    return h;
}

// Calls f(page, bytes) for each record, or returns false at the first bad record.
template <typename F>
bool forEachRecord(File& journal, const Header& h, F&& f) {
    std::vector<uint8_t> rec(recordSize(h.pageSize));
    for (uint32_t i = 0; i < h.recordCount; ++i) {
        journal.readAt(kHeaderSize + uint64_t{i} * rec.size(), rec.data(), rec.size());
        uint32_t page = get32(rec.data());
        if ((uint64_t{page} + 1) * h.pageSize > h.originalSize) return false;
        if (recordChecksum(h.salt, page, rec.data() + 4, h.pageSize) !=
            get64(rec.data() + 4 + h.pageSize))
            return false;
        f(page, rec.data() + 4);
    }
    return true;
}

}  // namespace

std::string journalPathFor(const std::string& databasePath) {
    return databasePath + "-journal";
}

void writeJournal(FileSystem& fs, const std::string& journalPath, uint32_t pageSize,
                  uint64_t originalSize, const std::vector<JournalRecord>& records,
                  [[maybe_unused]] CrashPoints& crash, bool sync) {
    if (pageSize < kMinPageSize || pageSize > kMaxPageSize || records.size() > UINT32_MAX)
        throw Error(ErrorKind::Internal, errnum::kInternal, "journal: bad page size or size");
    uint32_t salt = std::random_device{}();
    std::unique_ptr<File> journal = fs.open(journalPath, FileSystem::Mode::CreateReadWrite);
    try {
        uint8_t h[kHeaderSize] = {};
        std::copy(kMagic.begin(), kMagic.end(), h);
        storeU32(h + 8, kFormatVersion);
        storeU32(h + 12, pageSize);
        storeU64(h + 16, originalSize);
        storeU32(h + 24, static_cast<uint32_t>(records.size()));
        storeU32(h + 28, salt);
        Checksum c(0);
        c.add(h, kHeaderSize - 8);
        storeU64(h + 32, c.value());
        journal->writeAt(0, h, kHeaderSize);

        std::vector<uint8_t> rec(recordSize(pageSize));
        uint64_t offset = kHeaderSize;
        for (const auto& r : records) {
            if (!r.original || r.original->size() != pageSize)
                throw Error(ErrorKind::Internal, errnum::kInternal, "journal: bad record");
            storeU32(rec.data(), r.page);
            std::copy(r.original->begin(), r.original->end(), rec.begin() + 4);
            storeU64(rec.data() + 4 + pageSize,
                     recordChecksum(salt, r.page, r.original->data(), pageSize));
            journal->writeAt(offset, rec.data(), rec.size());
            offset += rec.size();
        }
#ifdef TDV_TEST_HOOKS
        crash.reached("journal-written");
#endif
        if (sync) {
            journal->sync();
            fs.syncDirectoryOf(journalPath);
        }
#ifdef TDV_TEST_HOOKS
        crash.reached("journal-synced");
#endif
    } catch (const Error&) {
        // The database has not been touched; a journal left behind would be harmless but
        // untidy. If even the removal fails, the next open discards or replays it safely.
        journal.reset();
        try {
            fs.remove(journalPath);
        } catch (const Error&) {
        }
        throw;
    }
}

void removeJournal(FileSystem& fs, const std::string& journalPath) {
    fs.remove(journalPath);
    fs.syncDirectoryOf(journalPath);
}

JournalOutcome recoverJournal(FileSystem& fs, const std::string& databasePath, File& database,
                              uint32_t expectedPageSize, [[maybe_unused]] CrashPoints& crash) {
    std::string journalPath = journalPathFor(databasePath);
    if (!fs.exists(journalPath)) return JournalOutcome::None;
    std::optional<Header> header;
    bool valid = false;
    {
        std::unique_ptr<File> journal = fs.open(journalPath, FileSystem::Mode::ReadOnly);
        header = readHeader(*journal, expectedPageSize);
        valid = header && forEachRecord(*journal, *header, [](uint32_t, const uint8_t*) {});
        if (valid) {
            forEachRecord(*journal, *header, [&](uint32_t page, const uint8_t* bytes) {
                database.writeAt(uint64_t{page} * header->pageSize, bytes, header->pageSize);
#ifdef TDV_TEST_HOOKS
                crash.reached("recovery-page-written");
#endif
            });
            if (database.size() != header->originalSize) database.truncate(header->originalSize);
            database.sync();
#ifdef TDV_TEST_HOOKS
            crash.reached("recovery-synced");
#endif
        }
    }
    removeJournal(fs, journalPath);
    return valid ? JournalOutcome::RolledBack : JournalOutcome::DiscardedTorn;
}

}  // namespace jet
