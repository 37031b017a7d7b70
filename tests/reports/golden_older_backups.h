// Backups of older export tools and servers for the golden report tests
// (see golden_backup_tables.h).
#pragma once

#include <filesystem>
#include <string>

#include "reports/golden_backup_tables.h"

namespace tdv::test::golden {

// Older product at server 7.5 (so its text is not UTF-8), export tool 7.0.28, schema 15: no
// e-mail lines, no backup details and no interview questions.
inline std::string writeOldZerithBackup(const std::filesystem::path& dir) {
    const auto q = [](const std::string& s) { return bytesAsWindows1252(s); };
    BackupFixture db;
    addVersionInfoTable(db).row(
        {7, 5, 2, 30, false, 7, 0, 28, "olduser", "OLD", "OLDSRV", kStart2025});
    db.table("MDBVersion").integer("Version").row({15});
    auto& subs = addSubscribersTable(db);
    SubscriberRow jose;
    jose.objectId = kOldU1;
    jose.alias = "jnunez";
    jose.firstName = q("José");
    jose.lastName = q("Núñez");
    jose.displayName = q(" José Núñez ");
    jose.extension = "3101";
    jose.smtp = "jose@example.com";
    jose.callHandler = kOldCh;
    jose.cos = kCos1;  // not in this backup's COS table
    jose.volume = 100;
    jose.speed = -20;
    jose.sayFlags = {true, false, false, false, false, false, false, false, false, true};
    jose.billingId = q(" Núm 7 ");
    jose.exitAction = 2;
    jose.exitConversation = "PHGreeting";
    jose.exitObjectId = kOldCh;
    addSubscriber(subs, jose);
    db.table("SMTPProxy")
        .text("SubscriberObjectID")
        .text("SMTPAddress")
        .row({kOldU1, "jn@example.com"});
    db.table("DTMFAccessID").text("ParentObjectID").text("DTMFAccessID").text("Alias");
    db.table("COS").text("ObjectID").text("DisplayName").row({kCos2, "Restricted"});
    db.table("MWIDevices")
        .text("ParentObjectID")
        .text("Alias")
        .text("Extension")
        .row({kOldU1, q("Lámpara"), ""});
    db.table("NotificationDevices")
        .text("ParentObjectID")
        .text("Alias")
        .yesNo("DeviceActive")
        .text("DevicePhoneNumber")
        .text("DeviceSMTPAddress")
        .integer("DeviceType");
    db.table("PrivateLists")
        .text("ParentObjectID")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID");
    addCallHandlersTable(db).row({kOldCh, "jnunez", q("José Núñez"), "3101", 1, nullptr, nullptr,
                                  kOldU1, 1, "Weekdays", 1033, 180, true, false, 4, nullptr,
                                  nullptr});
    addContactRulesTable(db);
    addMessagingRulesTable(db);
    addMenuEntriesTable(db);
    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName");
    db.table("Interviewers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName")
        .row({kOldIv, "oldpoll", "Old Poll", "3800", nullptr});
    db.table("InterviewQuestions")
        .text("ParentObjectID")
        .text("Alias")
        .longInt("MaxMsgLength")
        .ole("Stream")
        .memo("StreamText")
        .row({kOldIv, "1", 20, nullptr, "Hidden question"});
    return db.write(dir, "ZerithDBData_Backup_golden_oldzerith.mdb");
}

// Newer product at server 1.2 (text is not UTF-8 before 7.0), export tool 1.3.1, schema 17.
inline std::string writeQuorin1Backup(const std::filesystem::path& dir) {
    const auto q = [](const std::string& s) { return bytesAsWindows1252(s); };
    BackupFixture db;
    addVersionInfoTable(db, false, true)
        .row({1, 2, 0, 7, true, 1, 3, 1, "q1admin", "", "Q1SRV", kMidnight2025, nullptr});
    db.table("MDBVersion").integer("Version").row({17});
    auto& subs = addSubscribersTable(db);
    SubscriberRow helene;
    helene.objectId = kQ1U1;
    helene.alias = "hkim";
    helene.firstName = q("Hélène");
    helene.lastName = "Kim";
    helene.displayName = q(" Hélène Kim ");
    helene.extension = "5101";
    helene.smtp = " helene@example.com ";
    helene.corporateEmail = "hk@corp.example.com";
    helene.callHandler = kQ1Ch;
    helene.cos = kQCos;
    helene.language = 1031;
    helene.volume = 100;
    helene.speed = 200;
    helene.addressMode = 2;
    helene.billingId = "B-1";
    helene.exitAction = 5;
    helene.exitConversation = "  ";
    addSubscriber(subs, helene);
    db.table("SMTPProxy")
        .text("SubscriberObjectID")
        .text("SMTPAddress")
        .row({kQ1U1, "hk@example.com"});
    db.table("DTMFAccessID")
        .text("ParentObjectID")
        .text("DTMFAccessID")
        .text("Alias")
        .row({kQ1U1, "5199", "alt"});
    db.table("COS").text("ObjectID").text("DisplayName").row({kQCos, q("Employés")});
    db.table("MWIDevices").text("ParentObjectID").text("Alias").text("Extension");
    db.table("NotificationDevices")
        .text("ParentObjectID")
        .text("Alias")
        .yesNo("DeviceActive")
        .text("DevicePhoneNumber")
        .text("DeviceSMTPAddress")
        .integer("DeviceType")
        .row({kQ1U1, "Mail", true, "5550000", q(" hélène@example.com "), 4});
    db.table("PrivateLists")
        .text("ParentObjectID")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID");
    addCallHandlersTable(db).row({kQ1Ch, "hkim", q("Hélène Kim"), "5101", 1, nullptr, nullptr,
                                  kQ1U1, 1, "Weekdays", nullptr, 60, false, false, 1, nullptr,
                                  nullptr});
    addContactRulesTable(db);
    addMessagingRulesTable(db);
    addMenuEntriesTable(db);
    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName");
    db.table("Interviewers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName")
        .row({kQ1Iv, "qpoll", q("Qualité"), "5800", nullptr});
    db.table("InterviewQuestions")
        .text("ParentObjectID")
        .text("Alias")
        .longInt("MaxMsgLength")
        .ole("Stream")
        .memo("StreamText")
        .row({kQ1Iv, "1", 15, recording(4), q(" Qualité ? ")});
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .yesNo("VoiceEnabled")
        .ole("VoiceName");
    return db.write(dir, "ZerithDBData_Backup_golden_quorin1.mdb");
}

}  // namespace tdv::test::golden
