// The plan of a sample directory: every object with its ObjectID, alias, names and
// extension, decided before any table is filled, so that the table families (users, call
// handlers, lists, version tables) can point at each other's objects.
//
// A few objects are fixed edge cases at known positions (users without a first or last
// name, with an apostrophe or letters outside ASCII, without anything attached, with a
// missing primary call handler; a primary call handler no user owns; an ObjectID that no
// table holds); the rest is drawn from the seed. Sizes scale with options.users.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sample/sample.h"

namespace tdv::sample {

// Fixed positions of edge-case users (when the directory has that many users).
enum SpecialUser : size_t {
    kRichUser = 0,           // everything attached: proxies, devices of every kind, lists
    kNoFirstName = 1,        // FirstName Null
    kNoLastName = 2,         // LastName Null
    kApostropheUser = 3,     // O'Brien, alias with an apostrophe
    kNonAsciiUser = 4,       // José Núñez
    kBareUser = 5,           // nothing attached, Volume and Speed Null
    kNoPrimaryHandler = 6,   // CallHandlerObjectID of a handler that is missing, no extension
    kOddAliasUser = 7,       // alias with blank, slash, ? and * (file-name edge cases)
    kInvalidAddressMode = 8  // AddressMode outside 0..2
};

struct PlannedUser {
    std::string objectId;
    std::string alias;
    std::optional<std::string> firstName, lastName;
    std::string displayName;
    std::optional<std::string> extension;
    std::vector<std::string> alternateExtensions;
    std::string smtpAddress;    // empty for a few users
    std::string callHandlerId;  // the primary call handler (missing for kNoPrimaryHandler)
    std::string cosId;
};

struct PlannedObject {
    std::string objectId;
    std::optional<std::string> alias;
    std::string displayName;
    std::optional<std::string> extension;
};

struct DirectoryModel {
    std::vector<PlannedUser> users;
    std::vector<PlannedObject> callHandlers;  // stand-alone (IsPrimary 0)
    std::vector<PlannedObject> publicLists;
    std::vector<PlannedObject> interviewers;
    std::vector<PlannedObject> directoryHandlers;
    std::vector<PlannedObject> schedules;
    std::vector<PlannedObject> classesOfService;
    std::string orphanPrimaryHandlerId;  // IsPrimary 1, owned by no user
    std::string missingObjectId;         // held by no table
    std::string mailDomain;              // "example-corp.com"
    std::string serverName;              // the backed-up server
    double backupStart = 0;              // OLE date of the backup run
};

DirectoryModel planDirectory(const SampleVariant& variant, const SampleOptions& options);

// OLE automation date of a civil date and time (days since 1899-12-30).
double oleDate(int year, unsigned month, unsigned day, unsigned hour = 0, unsigned minute = 0,
               unsigned second = 0);

// Stream numbers of SampleRandom::forStream, one per table family.
enum SampleStream : uint64_t {
    kStreamModel = 1,
    kStreamUsers = 2,
    kStreamHandlers = 3,
    kStreamLists = 4,
    kStreamVersion = 5
};

}  // namespace tdv::sample
