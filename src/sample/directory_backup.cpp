// The directory backup of a variant: plan the directory, then let each table family add
// its tables.
#include "sample/directory_families.h"

namespace tdv::sample {

DirectoryBackup buildDirectoryBackup(const SampleVariant& variant, const SampleOptions& options) {
    const DirectoryModel model = planDirectory(variant, options);
    RecordingMaker recordings;
    const FamilyContext ctx{variant, options, model, recordings};

    DirectoryBackup out;
    // The file's creation date is the start of the backup run, so builds repeat exactly.
    out.database.created = model.backupStart;
    addVersionTables(ctx, out.database);
    addSubscriberTables(ctx, out.database);
    addUserDeviceTables(ctx, out.database);
    addPrivateListTables(ctx, out.database);
    addHandlerTables(ctx, out.database);
    addListTables(ctx, out.database);

    out.users.reserve(model.users.size());
    for (const PlannedUser& u : model.users)
        out.users.push_back({u.objectId, u.alias, u.extension.value_or(""), u.smtpAddress});
    return out;
}

}  // namespace tdv::sample
