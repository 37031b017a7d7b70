// The rollback journal that makes each save of a database atomic.
//
// A save overwrites pages of the database in place. Before it does, it copies the original
// contents of those pages into a journal file beside the database, named "<database>-journal"
// (for example "Backup.mdb-journal"). If the save is interrupted (crash, power loss, full
// disk), the next program that opens the database copies the originals back.
//
// Invariants (each one has a test in tests/jet/journal_test.cpp):
//  1. Before any page of the database is overwritten, the original contents of every page
//     the save overwrites and the original file size are in the journal, and the journal
//     and its folder entry are synced.
//  2. The journal starts with a header (magic, format version, page size, original file
//     size, record count, a random salt, the header's own checksum); each record holds a
//     page number, the page's original bytes and a checksum over the salt, page number and
//     bytes. A journal with any bad header field, bad checksum or missing record is torn.
//  3. A save is committed when the journal's removal is durable: after every page is
//     written the database is synced, then the journal is removed and its folder synced.
//  4. Opening a database that has a valid journal rolls the unfinished save back before
//     anything is read: original pages written back, file truncated to its original size,
//     synced, journal removed, folder synced. Rolling back is idempotent, so a crash during
//     it is repaired by the next open.
//  5. A torn journal is simply removed: by invariant 1 the database was not touched while
//     the journal was incomplete.
//  6. Pages that a save appends beyond the original end of the file have no record; the
//     truncation to the original size removes them.
//  7. The journal is only read or written by a process that holds the database's Writer lock
//     and its Pages lock exclusively (see file.h), so a reader never meets a live journal
//     and a leftover journal always belongs to a save that stopped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/crash_point.h"
#include "jet/file.h"

namespace jet {

std::string journalPathFor(const std::string& databasePath);

// How a program that leaves a leftover journal alone (tdv check without --recover) reports
// it: the file then holds a half-written save that other programs would read as it is.
inline constexpr const char* kInterruptedSaveText =
    "a save was interrupted: open the file once with tdv to roll it back";

struct JournalRecord {
    uint32_t page = 0;
    const std::vector<uint8_t>* original = nullptr;  // pageSize bytes
};

// Writes the journal for a save (invariants 1 and 2): creates it, writes the header and all
// records, syncs it and its folder (unless sync is false: a save that gives up power-loss
// durability, see PageFileOptions::sync). On failure removes what was written and rethrows.
void writeJournal(FileSystem& fs, const std::string& journalPath, uint32_t pageSize,
                  uint64_t originalSize, const std::vector<JournalRecord>& records,
                  CrashPoints& crash, bool sync = true);

// Removes the journal durably (invariant 3, last step).
void removeJournal(FileSystem& fs, const std::string& journalPath);

enum class JournalOutcome { None, RolledBack, DiscardedTorn };

// Rolls back the save a leftover journal describes (invariants 4 and 5). The caller holds
// the Writer and Pages locks exclusively and passes the database opened for writing.
// expectedPageSize 0 accepts any valid page size. Returns what was found.
JournalOutcome recoverJournal(FileSystem& fs, const std::string& databasePath, File& database,
                              uint32_t expectedPageSize, CrashPoints& crash);

}  // namespace jet
