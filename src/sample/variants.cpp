// The sample variants: one per combination of product, server version, backup tool version
// and schema revision on either side of every version test the viewer makes, plus the
// files that are empty, old-fashioned or damaged in the ways real backups are.
#include <utility>

#include "sample/sample.h"

namespace tdv::sample {
namespace {

struct Versions {
    int16_t major, minor, rev, build;
};

SampleVariant older(std::string name, std::string description, Versions server, int16_t toolRev,
                    int16_t revision) {
    SampleVariant v;
    v.name = std::move(name);
    v.description = std::move(description);
    v.serverMajor = server.major, v.serverMinor = server.minor;
    v.serverRev = server.rev, v.serverBuild = server.build;
    v.appMajor = 7, v.appMinor = 0, v.appRev = toolRev;
    v.schemaRevision = revision;
    return v;
}

SampleVariant quorin(std::string name, std::string description, Versions server, Versions tool) {
    SampleVariant v;
    v.name = std::move(name);
    v.description = std::move(description);
    v.quorin = true;
    v.serverMajor = server.major, v.serverMinor = server.minor;
    v.serverRev = server.rev, v.serverBuild = server.build;
    v.appMajor = tool.major, v.appMinor = tool.minor, v.appRev = tool.rev;
    v.schemaRevision = 20;
    v.utf8Text = server.major >= 7;
    return v;
}

// Files written by early tools lack the co-resident flag and the server name.
SampleVariant withoutNewerVersionColumns(SampleVariant v) {
    v.hasCoResColumn = false;
    v.hasServerNameColumn = false;
    return v;
}

SampleVariant withIntegerFlags(SampleVariant v) {
    v.flagsAsInteger = true;
    return v;
}

std::vector<SampleVariant> makeVariants() {
    constexpr Versions kZerith5{5, 0, 3, 2105};
    constexpr Versions kZerith4{4, 0, 3, 123};
    constexpr Versions kQuorin1{1, 2, 0, 310};
    constexpr Versions kQuorin7{7, 0, 0, 1125};
    std::vector<SampleVariant> v;
    v.push_back(older("zerith-rev20",
                      "Zerith 5.0, tool 7.0.29, schema 20: every table and column (default)",
                      kZerith5, 29, 20));
    v.push_back(older("zerith-rev19", "Zerith 5.0, tool 7.0.29, schema 19: no email remap",
                      kZerith5, 29, 19));
    v.push_back(older("zerith-rev17",
                      "Zerith 5.0, tool 7.0.29, schema 17: directory handler details", kZerith5, 29,
                      17));
    v.push_back(withIntegerFlags(
        older("zerith-rev16", "Zerith 5.0, tool 7.0.28, schema 16: Integer flags, no run facts",
              kZerith5, 28, 16)));
    v.push_back(withoutNewerVersionColumns(withIntegerFlags(
        older("zerith-rev15", "Zerith 4.0, tool 7.0.28, schema 15: SMTP addresses, old columns",
              kZerith4, 28, 15))));
    v.push_back(withoutNewerVersionColumns(withIntegerFlags(older(
        "zerith-rev14", "Zerith 4.0, tool 7.0.28, schema 14: secure flag, no CoRes/server name",
        kZerith4, 28, 14))));
    v.push_back(withoutNewerVersionColumns(withIntegerFlags(
        older("zerith-rev13", "Zerith 4.0, tool 7.0.28, schema 13: oldest layout, no secure flag",
              kZerith4, 28, 13))));
    v.push_back(older("zerith-tool7028",
                      "Zerith 5.0, tool 7.0.28, schema 20: tool just below 7.0.29", kZerith5, 28,
                      20));
    v.push_back(quorin("quorin1-tool130",
                       "Quorin 1.2, tool 1.3.0: below the 1.3.1 run facts and 1.3.5 remap gates",
                       kQuorin1, {1, 3, 0, 0}));
    v.push_back(quorin("quorin1-tool131",
                       "Quorin 1.2, tool 1.3.1: run facts, message remap still gated", kQuorin1,
                       {1, 3, 1, 0}));
    v.push_back(quorin("quorin1-tool135",
                       "Quorin 1.2, tool 1.3.5: message backups remapped with the directory",
                       kQuorin1, {1, 3, 5, 0}));
    v.push_back(quorin("quorin7-tool1020",
                       "Quorin 7.0, tool 1.0.20: UTF-8 text one byte per character", kQuorin7,
                       {1, 0, 20, 0}));
    v.push_back(quorin("quorin7-tool1019",
                       "Quorin 7.0, tool 1.0.19: UTF-8 text, below the message remap gate",
                       kQuorin7, {1, 0, 19, 0}));
    SampleVariant coRes =
        quorin("quorin1-cores", "Quorin 1.2 installed co-resident with Zerith, tool 1.3.5",
               kQuorin1, {1, 3, 5, 0});
    coRes.coResident = true;
    v.push_back(std::move(coRes));
    SampleVariant emptyDir =
        older("empty-directory", "Zerith 5.0 directory backup with an empty VersionInfo", kZerith5,
              29, 20);
    emptyDir.emptyDirectory = true;
    v.push_back(std::move(emptyDir));
    SampleVariant emptyMsg =
        older("empty-messages", "Zerith 5.0 with message backups whose Messages table is empty",
              kZerith5, 29, 20);
    emptyMsg.emptyMessages = true;
    v.push_back(std::move(emptyMsg));
    SampleVariant broken = withIntegerFlags(
        older("broken-messages", "Zerith 5.0, one message backup with duplicate and missing Index",
              kZerith5, 29, 20));
    broken.brokenMessages = true;
    v.push_back(std::move(broken));
    return v;
}

}  // namespace

const std::vector<SampleVariant>& sampleVariants() {
    static const std::vector<SampleVariant> variants = makeVariants();
    return variants;
}

const SampleVariant* findVariant(std::string_view name) {
    for (const SampleVariant& v : sampleVariants())
        if (v.name == name) return &v;
    return nullptr;
}

}  // namespace tdv::sample
