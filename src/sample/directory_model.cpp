#include "sample/directory_model.h"

#include <algorithm>
#include <unordered_set>

#include "base/ole_date.h"
#include "jet/value.h"
#include "sample/directory_names.h"
#include "sample/directory_random.h"

namespace tdv::sample {

double oleDate(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
               unsigned second) {
    const int64_t days = base::daysFromCivil(year, month, day) + base::kOleEpochToUnixDays;
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

namespace {

// Unique extensions of 3 to 5 digits; a length whose numbers run short moves to the next.
class ExtensionBook {
public:
    explicit ExtensionBook(SampleRandom& rng) : rng_(rng) {}

    std::string draw(int digits) {
        for (;; ++digits) {
            const int32_t lo = digits == 3   ? 100
                               : digits == 4 ? 1000
                               : digits == 5 ? 10000
                                             : 100000;
            const int32_t hi = lo * 10 - 1;
            const auto span = static_cast<size_t>(hi - lo + 1);
            if (countOfLength(digits) * 10 >= span * 7) continue;  // keep draws quick
            for (int attempt = 0; attempt < 64; ++attempt) {
                std::string ext = std::to_string(rng_.between(lo, hi));
                if (taken_.insert(ext).second) {
                    ++counts_[static_cast<size_t>(std::min(digits, 6))];
                    return ext;
                }
            }
        }
    }

private:
    size_t countOfLength(int digits) const {
        return counts_[static_cast<size_t>(std::min(digits, 6))];
    }

    SampleRandom& rng_;
    std::unordered_set<std::string> taken_;
    size_t counts_[7] = {};
};

struct Scale {
    size_t users, handlers, lists, interviewers, directoryHandlers, schedules;
};

Scale scaleFor(const SampleVariant& variant, const SampleOptions& options) {
    if (variant.emptyDirectory) return {0, 0, 0, 0, 0, 0};
    const auto n = static_cast<size_t>(std::max(0, options.users));
    return {n,
            std::max<size_t>(6, n / 10),
            std::max<size_t>(4, n / 40),
            std::max<size_t>(3, n / 250),
            std::max<size_t>(3, n / 500),
            4 + n / 10000};
}

const std::vector<std::string>& mailDomains() {
    static const std::vector<std::string> d = {"harbourline.com",       "meridian-health.org",
                                               "kestrel-logistics.com", "bluefjord.no",
                                               "lakeside-county.gov",   "tarragon-legal.com"};
    return d;
}

const std::vector<std::string>& serverPrefixes() {
    static const std::vector<std::string> p = {"VMSRV", "ZVM", "VOICE", "UMX", "MSGSRV"};
    return p;
}

PlannedUser planUser(size_t i, SampleRandom& rng, AliasBook& aliases, AliasBook& mailboxes,
                     ExtensionBook& exts, int userDigits, const DirectoryModel& model) {
    PlannedUser u;
    u.objectId = rng.guidText();
    std::string first = rng.pick(sampleFirstNames());
    std::string last = rng.pick(sampleLastNames());
    if (i == kApostropheUser) first = "Seán", last = "O'Brien";
    if (i == kNonAsciiUser) first = "José", last = "Núñez";
    u.firstName = first;
    u.lastName = last;
    if (i == kNoFirstName) u.firstName.reset();
    if (i == kNoLastName) u.lastName.reset();

    // First initial and last name; a user with one name only goes by that name.
    std::string base = u.firstName && u.lastName
                           ? foldToAscii(*u.firstName).substr(0, 1) + foldToAscii(*u.lastName)
                           : foldToAscii(u.firstName ? *u.firstName : *u.lastName);
    if (base.empty()) base = "user";
    if (i == kApostropheUser) {
        u.alias = aliases.claim("o'brien");
    } else if (i == kOddAliasUser) {
        u.alias = aliases.claim("a b/c?d*e");
    } else {
        u.alias = aliases.claim(base);
    }
    if (u.firstName && u.lastName) {
        u.displayName = *u.firstName + " " + *u.lastName;
    } else {
        u.displayName = u.firstName ? *u.firstName : *u.lastName;
    }
    if (i != kNoPrimaryHandler) u.extension = exts.draw(userDigits);
    // Alternate extensions: two for the richest user, none for the bare one, else a few.
    const size_t alternates = i == kRichUser    ? 2
                              : i == kBareUser  ? 0
                              : rng.percent(20) ? 1 + rng.below(2)
                                                : 0;
    for (size_t k = 0; k < alternates; ++k) u.alternateExtensions.push_back(exts.draw(userDigits));
    u.smtpAddress =
        mailboxes.claim(u.firstName && u.lastName ? foldToAscii(first) + "." + foldToAscii(last)
                                                  : base) +
        "@" + model.mailDomain;
    if (i == kBareUser || (i != kRichUser && i != kNoPrimaryHandler && rng.percent(3)))
        u.smtpAddress.clear();
    u.callHandlerId = rng.guidText();  // for kNoPrimaryHandler no handler gets this ID
    u.cosId = model.classesOfService[i % model.classesOfService.size()].objectId;
    if (i == kBareUser) u.cosId = model.missingObjectId;  // "COS= " with nothing after it
    return u;
}

PlannedObject planObject(SampleRandom& rng, AliasBook& aliases, ExtensionBook& exts,
                         const std::string& aliasBase, const std::string& displayName, int digits,
                         bool withExtension) {
    PlannedObject o;
    o.objectId = rng.guidText();
    o.alias = aliases.claim(aliasBase);
    o.displayName = displayName;
    if (withExtension) o.extension = exts.draw(digits);
    return o;
}

}  // namespace

DirectoryModel planDirectory(const SampleVariant& variant, const SampleOptions& options) {
    SampleRandom rng = SampleRandom::forStream(options.seed, kStreamModel);
    DirectoryModel m;
    const Scale s = scaleFor(variant, options);
    m.mailDomain = rng.pick(mailDomains());
    m.serverName = rng.pick(serverPrefixes()) + std::to_string(rng.between(1, 24));
    m.missingObjectId = rng.guidText();
    m.orphanPrimaryHandlerId = rng.guidText();
    m.backupStart =
        oleDate(2026, 10, 1, 1, 30) + rng.between(0, 59) + rng.between(0, 3 * 3600) / 86400.0;

    static const std::vector<std::string> cosNames = {
        "Default Subscriber", "Executive", "Help Desk", "Lobby Phones", "Unlimited Storage"};
    for (const auto& name : cosNames) m.classesOfService.push_back({rng.guidText(), {}, name, {}});

    AliasBook aliases, mailboxes;
    ExtensionBook exts(rng);
    const int userDigits = s.users > 4000 ? 5 : 4;

    static const std::vector<std::string> handlerNames = {
        "Opening Greeting", "Operator",     "Goodbye",    "After Hours",      "Sales",
        "Support",          "Billing",      "Reception",  "Holiday Greeting", "Emergency Line",
        "Main Menu",        "Spanish Menu", "Facilities", "Human Resources",  "Shipping"};
    for (size_t i = 0; i < s.handlers; ++i) {
        const std::string& base = handlerNames[i % handlerNames.size()];
        std::string name = i < handlerNames.size() ? base : base + " " + std::to_string(i);
        PlannedObject h =
            planObject(rng, aliases, exts, foldToAscii(name), name, i < 3 ? 3 : 4, i % 7 != 3);
        if (i % 11 == 5) h.alias.reset();  // handlers without an alias show their text name
        m.callHandlers.push_back(std::move(h));
    }
    static const std::vector<std::string> listNames = {"All Subscribers", "Sales Team",
                                                       "Empty List", "Managers"};
    for (size_t i = 0; i < s.lists; ++i) {
        std::string name = i < listNames.size() ? listNames[i] : "Team " + std::to_string(i);
        m.publicLists.push_back(
            planObject(rng, aliases, exts, "dl_" + foldToAscii(name), name, 4, i != 1));
    }
    for (size_t i = 0; i < s.interviewers; ++i) {
        std::string name = i == 0   ? "Job Applications"
                           : i == 1 ? "Customer Survey"
                                    : "Interview " + std::to_string(i);
        m.interviewers.push_back(
            planObject(rng, aliases, exts, "ih_" + foldToAscii(name), name, 4, i != 1));
    }
    for (size_t i = 0; i < s.directoryHandlers; ++i) {
        std::string name = i == 0 ? "Company Directory" : "Directory " + std::to_string(i);
        PlannedObject d =
            planObject(rng, aliases, exts, "dh_" + foldToAscii(name), name, 4, i != 1);
        if (i == 2) d.alias.reset();
        m.directoryHandlers.push_back(std::move(d));
    }
    static const std::vector<std::string> scheduleNames = {"Weekdays", "All Hours", "Weekends",
                                                           "Holiday Hours"};
    for (size_t i = 0; i < s.schedules; ++i) {
        std::string name =
            i < scheduleNames.size() ? scheduleNames[i] : "Shift " + std::to_string(i);
        m.schedules.push_back({rng.guidText(), {}, name, {}});
    }
    m.users.reserve(s.users);
    for (size_t i = 0; i < s.users; ++i)
        m.users.push_back(planUser(i, rng, aliases, mailboxes, exts, userDigits, m));
    return m;
}

}  // namespace tdv::sample
