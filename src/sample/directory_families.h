// The table families of a sample directory backup. Each adds its tables, filled from the
// planned directory, to the new database; each draws from its own random stream, so the
// families do not disturb each other's values.
#pragma once

#include <string>
#include <vector>

#include "jet/create_db.h"
#include "sample/directory_model.h"
#include "sample/directory_recordings.h"
#include "sample/sample.h"

namespace tdv::sample {

// Schema revisions from which the backup tool wrote these columns and tables.
constexpr int16_t kRevSmtpAddress = 15;              // Subscribers.SMTPAddress, SMTPProxy
constexpr int16_t kRevEmailAddress = 20;             // Subscribers.EMAILAddress
constexpr int16_t kRevDirectoryHandlerDetails = 17;  // NameLookupHandlers beyond the names

struct FamilyContext {
    const SampleVariant& variant;
    const SampleOptions& options;
    const DirectoryModel& model;
    RecordingMaker& recordings;
};

// Subscribers and COS.
void addSubscriberTables(const FamilyContext& ctx, jet::NewDatabase& db);
// SMTPProxy, DTMFAccessID, MWIDevices, NotificationDevices.
void addUserDeviceTables(const FamilyContext& ctx, jet::NewDatabase& db);
// PrivateLists, PrivateListMembers.
void addPrivateListTables(const FamilyContext& ctx, jet::NewDatabase& db);
// CallHandlers, ContactRules, MessagingRules, MenuEntries, QRN_GreetingStreams.
void addHandlerTables(const FamilyContext& ctx, jet::NewDatabase& db);
// PublicDistributionLists and members, Interviewers and questions, NameLookupHandlers,
// QRN_DirectoryHandlerGreetings, Schedules.
void addListTables(const FamilyContext& ctx, jet::NewDatabase& db);
// VersionInfo, MDBVersion, ObjectMappingHistory.
void addVersionTables(const FamilyContext& ctx, jet::NewDatabase& db);

// Whether the backup tool of this variant recorded the run facts (user, domain, server,
// start time, export log): tool 7.0.29 on for the older product, 1.3.1 on for the newer,
// or any tool on a newer-product server 7 or later.
bool recordsRunFacts(const SampleVariant& variant);

// Every call handler of the directory, in table order: the stand-alone ones, the primary
// handler no user owns, then each user's primary handler.
struct HandlerRef {
    const PlannedObject* standalone = nullptr;  // set for stand-alone handlers
    const PlannedUser* user = nullptr;          // set for a user's primary handler
    std::string objectId;
    size_t ordinal = 0;  // position in this list
};
std::vector<HandlerRef> allCallHandlers(const DirectoryModel& model);

// ContactRules, MessagingRules, MenuEntries and (newer product) QRN_GreetingStreams of the
// handlers (called by addHandlerTables).
void addHandlerRuleTables(const FamilyContext& ctx, const std::vector<HandlerRef>& handlers,
                          jet::NewDatabase& db);

}  // namespace tdv::sample
