// VersionInfo (the backup run and the versions), MDBVersion (schema revision) and
// ObjectMappingHistory (objects mapped to the servers a backup was restored to).
#include <cstdio>

#include "base/ole_date.h"
#include "sample/directory_families.h"
#include "sample/directory_table.h"
#include "sample/zip.h"

namespace tdv::sample {

bool recordsRunFacts(const SampleVariant& v) {
    auto atLeast = [](int a, int b, int c, int x, int y, int z) {
        return a != x ? a > x : b != y ? b > y : c >= z;
    };
    if (!v.quorin) return atLeast(v.appMajor, v.appMinor, v.appRev, 7, 0, 29);
    return atLeast(v.appMajor, v.appMinor, v.appRev, 1, 3, 1) || v.serverMajor >= 7;
}

namespace {

using jet::ColumnType;

std::string twoDigits(int64_t n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02lld", static_cast<long long>(n % 100));
    return buf;
}

// "2026-10-14 01:42:07" of an OLE date.
std::string timestamp(double ole) {
    const auto days = static_cast<int64_t>(ole);
    const auto seconds = static_cast<int64_t>((ole - static_cast<double>(days)) * 86400.0 + 0.5);
    int64_t y;
    unsigned mo, d;
    base::civilFromDays(days - base::kOleEpochToUnixDays, y, mo, d);
    return std::to_string(y) + "-" + twoDigits(mo) + "-" + twoDigits(d) + " " +
           twoDigits(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + ":" +
           twoDigits(seconds % 60);
}

// The export log the backup tool writes during the run, CR LF line ends.
std::string exportLog(const FamilyContext& ctx) {
    const DirectoryModel& m = ctx.model;
    const SampleVariant& v = ctx.variant;
    std::string log;
    auto line = [&](double at, const std::string& text) {
        log += timestamp(at) + "  " + text + "\r\n";
    };
    double t = m.backupStart;
    const double step = 1.0 / 86400.0;
    line(t, "TARNIS export " + std::to_string(v.appMajor) + "." + std::to_string(v.appMinor) + "." +
                std::to_string(v.appRev) + " started on " + m.serverName);
    line(t += step, std::string("Backing up ") + (v.quorin ? "Zerith Quorin " : "Zerith ") +
                        std::to_string(v.serverMajor) + "." + std::to_string(v.serverMinor) + "(" +
                        std::to_string(v.serverRev) + "." + std::to_string(v.serverBuild) + ")");
    auto count = [&](const char* what, size_t n) {
        line(t += step * (1 + static_cast<double>(n) / 200),
             std::string("Exported ") + std::to_string(n) + " " + what);
    };
    count("subscribers", m.users.size());
    count("call handlers", m.callHandlers.size() + m.users.size());
    count("public distribution lists", m.publicLists.size());
    count("interview handlers", m.interviewers.size());
    count("directory handlers", m.directoryHandlers.size());
    count("schedules", m.schedules.size());
    line(t += step, "WARNING: primary call handler missing for one subscriber");
    line(t += step, "Export completed, schema revision " + std::to_string(v.schemaRevision));
    return log;
}

void addVersionInfo(const FamilyContext& ctx, jet::NewDatabase& db) {
    const SampleVariant& v = ctx.variant;
    const bool runFacts = recordsRunFacts(v);
    TableBuilder t(v, "VersionInfo");
    const int major = t.column("ZerithVersionMajor", ColumnType::Integer);
    const int minor = t.column("ZerithVersionMinor", ColumnType::Integer);
    const int rev = t.column("ZerithVersionRev", ColumnType::Integer);
    const int build = t.column("ZerithVersionBuild", ColumnType::Integer);
    const int qrn = t.column("ZerithVersionbQRN", ColumnType::Boolean);
    const int coRes = t.column("ZerithVersionbIsCoRes", ColumnType::Boolean, 0, v.hasCoResColumn);
    const int appMajor = t.column("AppVersionMajor", ColumnType::Integer);
    const int appMinor = t.column("AppVersionMinor", ColumnType::Integer);
    const int appRev = t.column("AppVersionRev", ColumnType::Integer);
    const int user = t.column("UserName", ColumnType::Text, kNameChars, runFacts);
    const int domain = t.column("DomainName", ColumnType::Text, kNameChars, runFacts);
    const int from = t.column("BackedUpServerName", ColumnType::Text, kNameChars, runFacts);
    const int start = t.column("BackUpStartTime", ColumnType::DateTime, 0, runFacts);
    const int server = t.column("ZerithServerName", ColumnType::Text, kNameChars,
                                runFacts && v.hasServerNameColumn);
    const int zip = t.column("LogFileZIP", ColumnType::OLE, 0, runFacts);
    if (!v.emptyDirectory) {
        auto& row = t.addRow();
        t.setInt(row, major, v.serverMajor);
        t.setInt(row, minor, v.serverMinor);
        t.setInt(row, rev, v.serverRev);
        t.setInt(row, build, v.serverBuild);
        t.setFlag(row, qrn, v.quorin);
        t.setFlag(row, coRes, v.coResident);
        t.setInt(row, appMajor, v.appMajor);
        t.setInt(row, appMinor, v.appMinor);
        t.setInt(row, appRev, v.appRev);
        const std::string domainName =
            ctx.model.mailDomain.substr(0, ctx.model.mailDomain.find('.'));
        t.setText(row, user, "svc_tarnis");
        t.setText(row, domain, domainName);
        t.setText(row, from, "ADMIN-" + ctx.model.serverName);
        t.setDate(row, start, ctx.model.backupStart);
        t.setText(row, server, ctx.model.serverName);
        if (zip >= 0) {
            const std::string name =
                "TARNIS_Export_" + timestamp(ctx.model.backupStart).substr(0, 10) + ".log";
            t.setBytes(row, zip, makeZip({{name, exportLog(ctx)}}));
        }
    }
    db.tables.push_back(t.take());
}

void addMdbVersion(const FamilyContext& ctx, jet::NewDatabase& db) {
    TableBuilder t(ctx.variant, "MDBVersion");
    const int version = t.column("Version", ColumnType::Long);
    auto& row = t.addRow();
    t.setInt(row, version, ctx.variant.schemaRevision);
    db.tables.push_back(t.take());
}

void addMappingHistory(const FamilyContext& ctx, jet::NewDatabase& db) {
    SampleRandom rng = SampleRandom::forStream(ctx.options.seed, kStreamVersion);
    const DirectoryModel& m = ctx.model;
    TableBuilder t(ctx.variant, "ObjectMappingHistory");
    const int id = t.column("MappingID", ColumnType::Long);
    const int source = t.column("SourceObjectID", ColumnType::Text, kObjectIdChars);
    const int type = t.column("ObjectType", ColumnType::Integer);
    const int target = t.column("TargetServerName", ColumnType::Text, kNameChars);
    const int targetId = t.column("TargetObjectID", ColumnType::Text, kObjectIdChars);
    const int when = t.column("MappedTime", ColumnType::DateTime);
    t.index("PrimaryKey", {"MappingID"}, true);
    t.index("SourceObjectID", {"SourceObjectID"});
    if (m.users.empty()) {
        db.tables.push_back(t.take());
        return;
    }
    const size_t count = 5 + m.users.size() / 10;
    const std::string servers[] = {m.serverName + "-DR", "STANDBY1"};
    for (size_t k = 0; k < count; ++k) {
        auto& row = t.addRow();
        t.setInt(row, id, static_cast<int32_t>(k + 1));
        const bool user = k % 4 != 3 || m.callHandlers.empty();
        t.setText(row, source,
                  user ? m.users[k * 7 % m.users.size()].objectId
                       : m.callHandlers[k % m.callHandlers.size()].objectId);
        t.setInt(row, type, user ? 1 : 3);
        t.setText(row, target, servers[k % 2]);
        t.setText(row, targetId, rng.guidText());
        t.setDate(row, when, m.backupStart - 90 + rng.between(0, 80));
    }
    db.tables.push_back(t.take());
}

}  // namespace

void addVersionTables(const FamilyContext& ctx, jet::NewDatabase& db) {
    addVersionInfo(ctx, db);
    addMdbVersion(ctx, db);
    addMappingHistory(ctx, db);
}

}  // namespace tdv::sample
