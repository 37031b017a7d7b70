// The older product's backup of the golden report tests (see golden_backup_tables.h).
#pragma once

#include <filesystem>
#include <string>

#include "reports/golden_backup_tables.h"

namespace tdv::test::golden {

inline std::string writeZerithBackup(const std::filesystem::path& dir) {
    BackupFixture db;
    addVersionInfoTable(db).row(
        {4, 0, 3, 123, false, 7, 0, 29, "backupadmin", nullptr, "VMAIL-01", kStart2025});
    db.table("MDBVersion").integer("Version").row({20});

    auto& subs = addSubscribersTable(db);
    SubscriberRow zoe;
    zoe.objectId = kU1;
    zoe.alias = "zmuller";
    zoe.firstName = nullptr;
    zoe.lastName = "Müller";
    zoe.displayName = "Zoë Müller";
    zoe.extension = "4101";
    zoe.smtp = "zoe.mueller@example.com";
    zoe.corporateEmail = "zm@corp.example.com";
    zoe.callHandler = kChU1;
    zoe.cos = kCos1;
    zoe.listInDirectory = true;
    zoe.language = 1033;
    zoe.volume = 75;
    zoe.sayFlags = {true, true, false, true, false, true, false, true, false, true};
    zoe.briefPrompts = true;
    zoe.addressMode = 2;
    zoe.billingId = "  CC-77 ";
    zoe.pwMustChange = true;
    zoe.exitAction = 2;
    zoe.exitConversation = "PHTransfer";
    zoe.exitObjectId = kChOperator;
    addSubscriber(subs, zoe);

    SubscriberRow jack;
    jack.objectId = kU2;
    jack.alias = "jo'brien";
    jack.firstName = "Jack";
    jack.lastName = "O'Brien";
    jack.displayName = "Jack O'Brien";
    jack.extension = "4102";
    jack.callHandler = kChU2;
    jack.cos = kCos2;
    jack.newMailUser = true;
    jack.language = 33801;
    jack.volume = -5;
    jack.speed = 150;
    jack.addressMode = 3;
    jack.pwCantChange = true;
    jack.pwDoesntExpire = true;
    addSubscriber(subs, jack);

    SubscriberRow dana;
    dana.objectId = kU3;
    dana.alias = "dsmith";
    dana.firstName = "Dana";
    dana.lastName = "Smith";
    dana.displayName = "Dana Smith";
    dana.extension = "4103";
    dana.smtp = "  dana@example.com";
    dana.callHandler = kChU3;
    dana.cos = kCos1;
    dana.language = 0;
    dana.volume = 0;
    dana.speed = 100;
    dana.addressMode = 1;
    dana.billingId = "";
    dana.exitAction = 1;
    addSubscriber(subs, dana);

    SubscriberRow kim;
    kim.objectId = kU4;
    kim.alias = "kwong";
    kim.firstName = "Kim";
    kim.lastName = "Wong";
    kim.displayName = "Kim Wong";
    kim.extension = "4104";
    kim.callHandler = kChU4;
    kim.cos = kCos1;
    kim.exitAction = 4;
    addSubscriber(subs, kim);

    // A user whose primary call handler is missing, and one whose handler ID is not unique.
    SubscriberRow lost;
    lost.objectId = kU5;
    lost.alias = "zz-nohandler";
    lost.displayName = "No Handler";
    lost.extension = "4105";
    lost.callHandler = kMissingCh;
    lost.cos = kCos1;
    lost.exitAction = 0;
    addSubscriber(subs, lost);
    SubscriberRow twice;
    twice.objectId = kU6;
    twice.alias = "zz-twohandlers";
    twice.displayName = "Two Handlers";
    twice.extension = "4106";
    twice.callHandler = kChTwice;
    twice.cos = kCos2;
    twice.language = 33801;
    twice.addressMode = 1;
    addSubscriber(subs, twice);

    // Proxy addresses exist, but the older product's report never shows them.
    db.table("SMTPProxy")
        .text("SubscriberObjectID")
        .text("SMTPAddress")
        .row({kU1, "zoe@old.example.com"});
    db.table("DTMFAccessID")
        .text("ParentObjectID")
        .text("DTMFAccessID")
        .text("Alias")
        .row({kU1, "4199", "desk"})
        .row({kU3, "5103", "old"})
        .row({kU1, "84101 ", "campus"})
        .row({kU1, nullptr, "broken"});
    db.table("COS")
        .text("ObjectID")
        .text("DisplayName")
        .row({kCos1, "Standard Users"})
        .row({kCos2, "Restricted"});
    db.table("MWIDevices")
        .text("ParentObjectID")
        .text("Alias")
        .text("Extension")
        .row({kU1, "Desk phone", "4101"})
        .row({kU1, nullptr, "4102"})
        .row({kU1, "Lamp 2", nullptr});
    db.table("NotificationDevices")
        .text("ParentObjectID")
        .text("Alias")
        .yesNo("DeviceActive")
        .text("DevicePhoneNumber")
        .text("DeviceSMTPAddress")
        .integer("DeviceType")
        .row({kU1, "Work Email", true, "5550111", "zoe@example.com", 4})
        .row({kU1, "Pager 3", false, nullptr, "pager@example.com", 2})
        .row({kU1, "home phone", true, " 555-0100 ", nullptr, 1})
        .row({kU3, "Pager 10", true, "5550133", nullptr, 2})
        .row({kU3, "Zed", true, nullptr, "zed@example.com", 4})
        .row({kU3, "Écran", false, "5550144", nullptr, 1});
    db.table("PrivateLists")
        .text("ParentObjectID")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({kU1, kPlTeam, "pl-team", "Team Zoë", "1"})
        .row({kU3, "{77777777-0000-4000-8000-000000000003}", "pl-dana", "Dana's List", "1"})
        .row({kU1, kPlMgmt, "pl-mgmt", "Managers", nullptr});
    db.table("PrivateListMembers")
        .text("ParentObjectID")
        .text("Alias")
        .integer("OBjectIDType")
        .row({kPlTeam, "jo'brien", 1})
        .row({kPlTeam, "dsmith", 1})
        .row({kPlTeam, "allstaff", 2})
        .row({kPlMgmt, "kwong", 1})
        .row({kPlMgmt, "board", 5});

    auto& ch = addCallHandlersTable(db);
    ch.row({kChU1, "zmuller", "Zoë Müller", "4101", 1, nullptr, nullptr, kU1, 1, "Weekdays",
            nullptr, 120, true, false, 4, nullptr, nullptr});
    ch.row({kChU2, nullptr, "Jack O'Brien", "4102", 1, "", 1, kU2, 1, "All Hours", 33801, 60, false,
            true, 1, "", ""});
    ch.row({kChU3, "dsmith", "Dana Smith", nullptr, 1, nullptr, nullptr, kU3, 1, "Weekdays", 0, -1,
            false, false, 2, "PHGreeting", kChOperator});
    ch.row({kChU4, "kwong", "Kim Wong", " 4104 ", 1, nullptr, nullptr, kU4, 1, "Weekdays", 1033, 30,
            false, false, 4, nullptr, nullptr});
    ch.row({kChOperator, "operator", "Operator", "0", 0, kDlSales, 2, kU3, 102, "Business Hours",
            1031, 0, true, true, 2, "chInterview", kMissingIv});
    ch.row({kChAfterHours, nullptr, "After Hours Tree", "", 0, kU1, 7, kMissingSub, 1, "Nights",
            33801, 45, false, false, 2, "AD", kDhCompany});
    ch.row({kChOrphan, "orphan", "Orphaned Primary", "4999", 1, nullptr, nullptr, kDlEmpty, 2,
            "Weekdays", nullptr, 10, false, false, 1, nullptr, nullptr});
    ch.row({kChTwice, "twice-a", "Twice A", "4106", 1, nullptr, nullptr, kU6, 1, "Weekdays",
            nullptr, 10, false, false, 1, nullptr, nullptr});
    ch.row({kChTwice, "twice-b", "Twice B", "4106", 1, nullptr, nullptr, kU6, 1, "Weekdays",
            nullptr, 10, false, false, 1, nullptr, nullptr});
    // Null where the report joins values directly: owner and recipient types, the message
    // length and the after-message action.
    ch.row({kChNulls, "nulls", nullptr, "  ", 0, kU2, nullptr, kU2, nullptr, nullptr, 1033, nullptr,
            false, false, nullptr, "PHTransfer", kChOperator});

    addContactRulesTable(db)
        .row({kChU1, "Standard", nullptr, 1, 1, "4101", 2, true, false, false, true})
        .row({kChU1, "Alternate", kPast, 0, 0, nullptr, 0, false, false, false, false})
        .row({kChU1, "Off Hours", kFuture, 1, 0, "9,5550199", 3, false, true, true, false})
        .row({kChAfterHours, "Standard", nullptr, 1, 0, "", 1, true, true, true, true})
        .row({kChAfterHours, nullptr, kPast, 0, 1, " 77 ", 0, false, false, false, false})
        // Jet compares text without regard to case: this rule belongs to the operator.
        .row({"{22222222-0000-4000-8000-0000000000a1}", "Standard", nullptr, 0, 0, "0", 0, false,
              false, false, false});
    addMessagingRulesTable(db)
        .row({kChU1, "Standard", nullptr, 1, false, 2, 4, nullptr, nullptr})
        .row({kChU1, "Busy", nullptr, 0, true, 0, 2, "PHGreeting", kChOperator})
        .row({kChU1, "Off Hours", kFuture, 2, false, 1, 2, "AD", kDhCompany})
        .row({kChU1, "Alternate", kPast, 7, true, -1, 5, nullptr, nullptr})
        .row({kChU1, "Error", nullptr, 0, false, 3, 2, "chInterview", kIvSurvey})
        .row({kChU1, "Internal", nullptr, 1, false, 1, 2, "PHTransfer", kChU2})
        .row({kChAfterHours, "Standard", nullptr, 0, false, 1, 2, "PHInterview", kMissingIv})
        .row({kChNulls, "Standard", nullptr, 0, false, nullptr, 1, nullptr, nullptr});
    addMenuEntriesTable(db)
        .row({kChU1, "1", 2, "PHTransfer", kChU2})
        .row({kChU1, "2", 2, "SubSignIn", nullptr})
        .row({kChU1, "3", 2, "Foo", kChOperator})
        .row({kChU1, "4", 3, "PHGreeting", kChOperator})
        .row({kChU1, "5", 0, nullptr, nullptr})
        .row({kChU1, "6", 2, "PHTransfer", kChOrphan})
        .row({kChU1, "7", 2, "phgreeting", kMissingCh})
        .row({kChU1, "8", -1, nullptr, nullptr})
        .row({kChU1, "9", 2, "TRANSFERALTCONTACTNUMBER", nullptr})
        .row({kChU1, "0", 2, "avconveasysignin", nullptr})
        .row({kChAfterHours, "1", 2, "ad", kMissingSub})
        .row({kChAfterHours, "2", 2, "GreetingsAdministrator", nullptr})
        .row({kChAfterHours, nullptr, 1, nullptr, nullptr})
        .row({kChAfterHours, "3", 2, "ConvHotelCheckedOut", nullptr})
        .row({kChAfterHours, "4", 2, "REVERSETRAP", nullptr})
        .row({kChAfterHours, "5", 2, "SUBSIGNINARCHIVEDMAILBOX", nullptr})
        .row({kChAfterHours, "6", 2, "PHGreeting", kChU4})
        .row({kChAfterHours, "7", 6, "PHGreeting", kChU4})
        .row({kChNulls, "2", 2, "SYSTEMTRANSFER", nullptr})
        .row({kChNulls, "1", nullptr, "PHTransfer", kChOperator});

    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName")
        .row({kDlSales, "sales", "Sales Team", "7100", nullptr})
        .row({kDlEmpty, "empty", "Nobody's List", nullptr, nullptr});
    db.table("PublicDistributionListMembers")
        .text("DLObjectID")
        .text("SubscriberObjectID")
        .text("SubscriberAlias")
        .row({kDlSales, kU1, "zmuller"})
        .row({kDlSales, kU2, "jo'brien"})
        .row({kDlSales, kDlNested, "nested"})
        .row({kDlSales, kU4, "kwong"});
    db.table("Interviewers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName")
        .row({kIvSurvey, "survey", "Customer Survey", "7200", nullptr})
        .row({kIvPoll, "poll", "Quick Poll", "7201", nullptr});
    db.table("InterviewQuestions")
        .text("ParentObjectID")
        .text("Alias")
        .longInt("MaxMsgLength")
        .ole("Stream")
        .memo("StreamText")
        .row({kIvSurvey, "2", nullptr, nullptr, "Say your \"account\" number"})
        .row({kIvSurvey, "10", 60, recording(0), nullptr})
        .row({kIvSurvey, "1 ", 30, recording(6), "  What is your name?  "})
        .row({kIvPoll, "1", -5, nullptr, "Line one\r\nLine two"})
        .row({kIvPoll, nullptr, 10, recording(2), "Nameless"});
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .yesNo("VoiceEnabled")
        .ole("VoiceName")
        .row({kDhCompany, "dir", "Company Directory", "7300", true, nullptr})
        .row({kDhLobby, nullptr, "Lobby Directory", nullptr, false, nullptr});
    db.table("Schedules").text("ObjectID").text("DisplayName").row({kSchedule, "Weekdays"});
    return db.write(dir, "ZerithDBData_Backup_golden_zerith.mdb");
}

}  // namespace tdv::test::golden
