// Object IDs, dates and table builders shared by the hand-made backups of the golden report
// tests (golden_*_backup(s).h). Their reports are written out by hand in
// tests/reports/golden/ and compared with `tdv` output byte for byte.
//
//   writeZerithBackup(dir)     older product, server 4.0(3.123), export tool 7.0.29, schema 20
//   writeQuorinBackup(dir)     newer product, server 7.0(1.45) co-resident, export tool 1.0.5,
//                              schema 19; its text columns hold UTF-8 read one byte per character
//   writeOldZerithBackup(dir)  older product, server 7.5, export tool 7.0.28, schema 15
//   writeQuorin1Backup(dir)    newer product, server 1.2, export tool 1.3.1, schema 17
//
// The objects are chosen to reach the awkward corners of the reports: Null names and flags,
// apostrophes, non-ASCII names, raw values with blanks, every kind of action and owner text,
// rules sorted by alias, a call handler owned by a distribution list, an interviewer with
// questions and directory handlers. Object IDs are spelled out in the constants below.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "helpers/backup_fixture.h"

namespace tdv::test::golden {

// Zerith backup objects.
inline const std::string kU1 = "{11111111-0000-4000-8000-000000000001}";  // zmuller
inline const std::string kU2 = "{11111111-0000-4000-8000-000000000002}";  // jo'brien
inline const std::string kU3 = "{11111111-0000-4000-8000-000000000003}";  // dsmith
inline const std::string kU4 = "{11111111-0000-4000-8000-000000000004}";  // kwong
inline const std::string kChU1 = "{22222222-0000-4000-8000-000000000001}";
inline const std::string kChU2 = "{22222222-0000-4000-8000-000000000002}";
inline const std::string kChU3 = "{22222222-0000-4000-8000-000000000003}";
inline const std::string kChU4 = "{22222222-0000-4000-8000-000000000004}";
inline const std::string kChOperator = "{22222222-0000-4000-8000-0000000000A1}";
inline const std::string kChAfterHours = "{22222222-0000-4000-8000-0000000000A2}";
inline const std::string kChOrphan = "{22222222-0000-4000-8000-0000000000B1}";
inline const std::string kCos1 = "{33333333-0000-4000-8000-000000000001}";
inline const std::string kCos2 = "{33333333-0000-4000-8000-000000000002}";
inline const std::string kDlSales = "{44444444-0000-4000-8000-000000000001}";
inline const std::string kDlEmpty = "{44444444-0000-4000-8000-000000000002}";
inline const std::string kDlNested = "{44444444-0000-4000-8000-0000000000FF}";
inline const std::string kIvSurvey = "{55555555-0000-4000-8000-000000000001}";
inline const std::string kDhCompany = "{66666666-0000-4000-8000-000000000001}";
inline const std::string kDhLobby = "{66666666-0000-4000-8000-000000000002}";
inline const std::string kPlTeam = "{77777777-0000-4000-8000-000000000001}";
inline const std::string kPlMgmt = "{77777777-0000-4000-8000-000000000002}";
inline const std::string kMissingCh = "{DEADBEEF-0000-4000-8000-000000000001}";
inline const std::string kMissingSub = "{DEADBEEF-0000-4000-8000-000000000002}";
inline const std::string kMissingIv = "{DEADBEEF-0000-4000-8000-000000000003}";
inline const std::string kSchedule = "{88888888-0000-4000-8000-000000000001}";
inline const std::string kU5 = "{11111111-0000-4000-8000-000000000005}";  // zz-nohandler
inline const std::string kU6 = "{11111111-0000-4000-8000-000000000006}";  // zz-twohandlers
inline const std::string kChTwice = "{22222222-0000-4000-8000-0000000000B2}";
inline const std::string kChNulls = "{22222222-0000-4000-8000-0000000000C1}";
inline const std::string kIvPoll = "{55555555-0000-4000-8000-000000000002}";

// Quorin backup objects.
inline const std::string kQ1 = "{A1111111-0000-4000-8000-000000000001}";  // amelie
inline const std::string kQ2 = "{A1111111-0000-4000-8000-000000000002}";  // bnoel
inline const std::string kQChQ1 = "{A2222222-0000-4000-8000-000000000001}";
inline const std::string kQChQ2 = "{A2222222-0000-4000-8000-000000000002}";
inline const std::string kQChAccueil = "{A2222222-0000-4000-8000-0000000000A1}";
inline const std::string kQCos = "{A3333333-0000-4000-8000-000000000001}";
inline const std::string kQDl = "{A4444444-0000-4000-8000-000000000001}";
inline const std::string kQIv = "{A5555555-0000-4000-8000-000000000001}";
inline const std::string kQDh = "{A6666666-0000-4000-8000-000000000001}";
inline const std::string kQPl = "{A7777777-0000-4000-8000-000000000001}";

// Backups of older tools and servers.
inline const std::string kOldU1 = "{B1111111-0000-4000-8000-000000000001}";  // jnunez
inline const std::string kOldCh = "{B2222222-0000-4000-8000-000000000001}";
inline const std::string kOldIv = "{B5555555-0000-4000-8000-000000000001}";
inline const std::string kQ1U1 = "{C1111111-0000-4000-8000-000000000001}";  // hkim
inline const std::string kQ1Ch = "{C2222222-0000-4000-8000-000000000001}";
inline const std::string kQ1Iv = "{C5555555-0000-4000-8000-000000000001}";

// OLE dates (days since 1899-12-30).
inline constexpr double kStart2025 = 45730.37855324074;   // 2025-03-14 09:05:07
inline constexpr double kStart2026 = 46328.729166666664;  // 2026-11-02 17:30:00
inline constexpr double kPast = 43831.0;                  // 2020-01-01
inline constexpr double kFuture = 73050.0;                // 2099-12-31
inline constexpr double kMidnight2025 = 45730.0;          // 2025-03-14 00:00:00

// The UTF-8 bytes of a text, each taken as one Windows-1252 character and written out as
// UTF-8 again: what the newer product's backups hold in their text columns.
inline std::string bytesAsWindows1252(const std::string& utf8) {
    // Windows-1252 0x80..0x9F; 0 marks the five undefined bytes (not used by the fixtures).
    static const uint16_t k80[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    for (unsigned char b : utf8) {
        uint32_t cp = b;
        if (b >= 0x80 && b <= 0x9F) cp = k80[b - 0x80];
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// A stand-in for a recorded question: SIZE bytes of a WAV header's start.
inline std::vector<uint8_t> recording(size_t size) {
    std::vector<uint8_t> bytes(size, 0);
    const char* riff = "RIFF";
    for (size_t i = 0; i < size && i < 4; ++i) bytes[i] = static_cast<uint8_t>(riff[i]);
    return bytes;
}

// One user row; the column order is the one addSubscribersTable declares.
struct SubscriberRow {
    Cell objectId, alias, firstName, lastName, displayName, extension, smtp, corporateEmail;
    Cell callHandler, cos;
    Cell listInDirectory = false, newMailUser = false;
    Cell language = 1033, volume = nullptr, speed = nullptr;
    std::vector<Cell> sayFlags = std::vector<Cell>(10, false);  // GreetByName .. SayTimestampAfter
    Cell briefPrompts = false, addressMode = 0, billingId = nullptr;
    Cell pwCantChange = false, pwMustChange = false, pwDoesntExpire = false;
    Cell exitAction = nullptr, exitConversation = nullptr, exitObjectId = nullptr;
};

// VersionInfo with the version, run and server columns; the co-resident flag (after the
// product flag) and the server name (last) only where a backup has them.
inline FixtureTable& addVersionInfoTable(BackupFixture& db, bool coRes = false,
                                         bool serverName = false) {
    auto& t = db.table("VersionInfo");
    t.integer("ZerithVersionMajor").integer("ZerithVersionMinor");
    t.integer("ZerithVersionRev").integer("ZerithVersionBuild").yesNo("ZerithVersionbQRN");
    if (coRes) t.yesNo("ZerithVersionbIsCoRes");
    t.integer("AppVersionMajor").integer("AppVersionMinor").integer("AppVersionRev");
    t.text("UserName").text("DomainName").text("BackedUpServerName").dateTime("BackUpStartTime");
    if (serverName) t.text("ZerithServerName");
    return t;
}

inline FixtureTable& addSubscribersTable(BackupFixture& db) {
    auto& t = db.table("Subscribers");
    t.text("ObjectID").text("Alias").text("FirstName").text("LastName").text("DisplayName");
    t.text("DTMFAccessID").text("SMTPAddress").text("EMAILAddress");
    t.text("CallHandlerObjectID").text("COSObjectID");
    t.yesNo("ListInDirectory").yesNo("NewMailUser");
    t.longInt("Language").integer("Volume").integer("Speed");
    for (const char* flag : {"GreetByName", "SayTotalNew", "SayTotalNewVoice", "SayTotalNewEmail",
                             "SayTotalNewFax", "SayTotalSaved", "SaySender", "SayMsgNumber",
                             "SayTimestampBefore", "SayTimestampAfter"}) {
        t.yesNo(flag);
    }
    t.yesNo("UseBriefPrompts").integer("AddressMode").text("BillingID");
    t.yesNo("PWCantChange").yesNo("PWMustChange").yesNo("PWDoesntExpire");
    t.integer("ExitAction").text("ExitConversation").text("ExitOBjectID");
    t.ole("VoiceName");
    return t;
}

inline void addSubscriber(FixtureTable& t, const SubscriberRow& s) {
    std::vector<Cell> cells = {
        s.objectId,        s.alias,       s.firstName,      s.lastName,    s.displayName,
        s.extension,       s.smtp,        s.corporateEmail, s.callHandler, s.cos,
        s.listInDirectory, s.newMailUser, s.language,       s.volume,      s.speed};
    cells.insert(cells.end(), s.sayFlags.begin(), s.sayFlags.end());
    for (const Cell& c :
         {s.briefPrompts, s.addressMode, s.billingId, s.pwCantChange, s.pwMustChange,
          s.pwDoesntExpire, s.exitAction, s.exitConversation, s.exitObjectId}) {
        cells.push_back(c);
    }
    cells.resize(cells.size() + 1);  // VoiceName: a default cell is Null
    t.row(cells);
}

// ObjectID, Alias, TextName, DTMFAccessID, IsPrimary, AdministratorObjectID,
// AdministratorObjectIDType, RecipientObjectID, RecipientObjectIDType, ScheduleObjectName,
// Language, MaxMsgLen, EditMsg, SendUrgentMsg, AfterMessageAction, AfterMessageConversation,
// AfterMessageObjectID
inline FixtureTable& addCallHandlersTable(BackupFixture& db) {
    auto& t = db.table("CallHandlers");
    t.text("ObjectID").text("Alias").text("TextName").text("DTMFAccessID").integer("IsPrimary");
    t.text("AdministratorObjectID").integer("AdministratorObjectIDType");
    t.text("RecipientObjectID").integer("RecipientObjectIDType");
    t.text("ScheduleObjectName").longInt("Language").integer("MaxMsgLen");
    t.yesNo("EditMsg").yesNo("SendUrgentMsg");
    t.integer("AfterMessageAction").text("AfterMessageConversation").text("AfterMessageObjectID");
    return t;
}

// ParentObjectID, Alias, TimeExpires, Action, XFerType, Extension, XFerHoldingMode,
// XFerAnnounce, XFerConfirm, XFerIntroduce, XFerScreening
inline FixtureTable& addContactRulesTable(BackupFixture& db) {
    auto& t = db.table("ContactRules");
    t.text("ParentObjectID").text("Alias").dateTime("TimeExpires").integer("Action");
    t.integer("XFerType").text("Extension").integer("XFerHoldingMode");
    t.yesNo("XFerAnnounce").yesNo("XFerConfirm").yesNo("XFerIntroduce").yesNo("XFerScreening");
    return t;
}

// ParentObjectID, Alias, TimeExpires, PlayWhat, IgnoreDigits, Reprompts, Action,
// ConversationName, DestinationObjectID
inline FixtureTable& addMessagingRulesTable(BackupFixture& db) {
    auto& t = db.table("MessagingRules");
    t.text("ParentObjectID").text("Alias").dateTime("TimeExpires").integer("PlayWhat");
    t.yesNo("IgnoreDigits").integer("Reprompts").integer("Action");
    t.text("ConversationName").text("DestinationObjectID");
    return t;
}

// ParentObjectID, Alias, Action, ConversationName, DestinationObjectID
inline FixtureTable& addMenuEntriesTable(BackupFixture& db) {
    auto& t = db.table("MenuEntries");
    t.text("ParentObjectID").text("Alias").integer("Action").text("ConversationName");
    t.text("DestinationObjectID");
    return t;
}

}  // namespace tdv::test::golden
