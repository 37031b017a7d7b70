// Sample backups: realistic directory and message backup files for tests, demonstrations
// and benchmarks, written through the engine's database creation.
//
// A variant fixes what the backup tool would have written for one product and version:
// the version facts in VersionInfo and MDBVersion, which optional tables and columns exist,
// how flags are stored (Yes/No, or Integer holding -1, 0 or Null in older files) and how
// text is stored (newer product at server version 7: UTF-8 bytes, one per character).
// Everything is generated from the seed alone: the same variant, options and seed give the
// same rows (dates included), so tests can rely on names and counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/create_db.h"

namespace tdv::sample {

struct SampleVariant {
    std::string name;         // command-line name, e.g. "zerith-rev20"
    std::string description;  // one line: what the variant is for
    bool quorin = false;      // newer product (ZerithVersionbQRN)
    int16_t serverMajor = 0, serverMinor = 0, serverRev = 0, serverBuild = 0;
    int16_t appMajor = 0, appMinor = 0, appRev = 0;  // backup tool version
    int16_t schemaRevision = 0;                      // MDBVersion.Version
    bool coResident = false;                         // ZerithVersionbIsCoRes value
    bool hasCoResColumn = true;                      // older files lack ZerithVersionbIsCoRes
    bool hasServerNameColumn = true;                 // older files lack ZerithServerName
    bool utf8Text = false;        // text columns hold UTF-8 bytes, one byte per character
    bool flagsAsInteger = false;  // possibly-Null flags are Integer columns (-1, 0, Null)
    bool emptyDirectory = false;  // VersionInfo (and the object tables) without rows
    bool emptyMessages = false;   // message backups whose Messages table has no rows
    bool brokenMessages = false;  // duplicate and missing Index values in one message file
};

// Every variant, the default (richest older-product one at revision 20) first.
const std::vector<SampleVariant>& sampleVariants();
// The variant of that name, or nullptr.
const SampleVariant* findVariant(std::string_view name);

struct SampleOptions {
    int users = 40;     // subscribers; handlers, lists, rules and devices scale with it
    int messages = 60;  // messages in all, spread over the message backup files
    uint64_t seed = 1;
};

// What the message backups need to know of the directory they belong to.
struct SampleUser {
    std::string objectId;  // "{GUID}"
    std::string alias;
    std::string extension;  // DTMFAccessID, may be empty
    std::string smtpAddress;
};

struct DirectoryBackup {
    jet::NewDatabase database;
    std::vector<SampleUser> users;
};

// The directory backup of a variant (every table and column the viewer reads).
DirectoryBackup buildDirectoryBackup(const SampleVariant& variant, const SampleOptions& options);

struct MessageBackup {
    std::string fileName;  // "ZerithMessage_Backup_<...>.mdb"
    jet::NewDatabase database;
};

// The message backups beside a directory backup, messages spread over them.
std::vector<MessageBackup> buildMessageBackups(const SampleVariant& variant,
                                               const SampleOptions& options,
                                               const std::vector<SampleUser>& users);

struct WrittenSample {
    std::string directoryBackup;              // path of "ZerithDBData_Backup_<...>.mdb"
    std::vector<std::string> messageBackups;  // paths of "ZerithMessage_Backup_<...>.mdb"
    std::string unrelatedDatabase;            // path of an .mdb that is no message backup
};

// Writes a whole sample into dir (created when missing). Existing files of the same names
// are refused (jet::Error), never overwritten.
WrittenSample writeSample(const std::string& dir, const SampleVariant& variant,
                          const SampleOptions& options);

}  // namespace tdv::sample
