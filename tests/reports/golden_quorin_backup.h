// The newer product's 7.x backup of the golden report tests (see golden_backup_tables.h).
#pragma once

#include <filesystem>
#include <string>

#include "reports/golden_backup_tables.h"

namespace tdv::test::golden {

inline std::string writeQuorinBackup(const std::filesystem::path& dir) {
    const auto q = [](const std::string& s) { return bytesAsWindows1252(s); };
    BackupFixture db;
    addVersionInfoTable(db, true, true)
        .row({7, 0, 1, 45, true, true, 1, 0, 5, "qadmin", "CORP", "QRN-BK", kStart2026, "QRN-01"});
    db.table("MDBVersion").integer("Version").row({19});

    auto& subs = addSubscribersTable(db);
    SubscriberRow amelie;
    amelie.objectId = kQ1;
    amelie.alias = "amelie";
    amelie.firstName = q("Amélie");
    amelie.lastName = q("Ørsted");
    amelie.displayName = q(" Amélie Ørsted ");
    amelie.extension = "2101";
    amelie.smtp = "amelie@example.com";
    amelie.corporateEmail = "a.orsted@corp.example.com";
    amelie.callHandler = kQChQ1;
    amelie.cos = kQCos;
    amelie.listInDirectory = true;
    amelie.newMailUser = true;
    amelie.language = 1033;
    amelie.volume = 50;
    amelie.sayFlags = {false, true, true, true, true, false, true, false, true, false};
    amelie.addressMode = 0;
    amelie.billingId = q("Coût €12 ");
    amelie.exitAction = 2;
    amelie.exitConversation = "AD";
    amelie.exitObjectId = kQDh;
    addSubscriber(subs, amelie);

    SubscriberRow bruno;
    bruno.objectId = kQ2;
    bruno.alias = "bnoel";
    bruno.firstName = "Bruno";
    bruno.lastName = q("Noël");
    bruno.displayName = q("Bruno Noël");
    bruno.extension = "2102";
    bruno.smtp = nullptr;
    bruno.callHandler = kQChQ2;
    bruno.cos = kQCos;
    bruno.exitAction = 1;
    addSubscriber(subs, bruno);

    db.table("SMTPProxy")
        .text("SubscriberObjectID")
        .text("SMTPAddress")
        .row({kQ1, "a.orsted@example.com"})
        .row({kQ2, "bruno@example.com"})
        .row({kQ1, q(" amélie@example.net")});
    db.table("DTMFAccessID")
        .text("ParentObjectID")
        .text("DTMFAccessID")
        .text("Alias")
        .row({kQ2, "2199", "alt"});
    db.table("COS").text("ObjectID").text("DisplayName").row({kQCos, q("Employés")});
    db.table("MWIDevices")
        .text("ParentObjectID")
        .text("Alias")
        .text("Extension")
        .row({kQ1, q("Lampe Büro"), "2001"});
    // DeviceActive is a number here, so that a Null flag can be stored.
    db.table("NotificationDevices")
        .text("ParentObjectID")
        .text("Alias")
        .integer("DeviceActive")
        .text("DevicePhoneNumber")
        .text("DeviceSMTPAddress")
        .integer("DeviceType")
        .row({kQ1, q("Téléphone"), nullptr, "5550199", nullptr, 1})
        .row({kQ1, "Courriel", 1, nullptr, q("amélie@example.net"), 4});
    db.table("PrivateLists")
        .text("ParentObjectID")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({kQ1, kQPl, "equipe", q("Équipe"), "3"});
    db.table("PrivateListMembers")
        .text("ParentObjectID")
        .text("Alias")
        .integer("OBjectIDType")
        .row({kQPl, "bnoel", 1});

    auto& ch = addCallHandlersTable(db);
    ch.row({kQChQ1, "amelie", q("Amélie Ørsted"), "2101", 1, nullptr, nullptr, kQ1, 1, "Weekdays",
            nullptr, 300, true, true, 2, "PHGreeting", kQChAccueil});
    ch.row({kQChQ2, "bnoel", q("Bruno Noël"), "2102", 1, nullptr, nullptr, kQ2, 1, "Weekdays",
            nullptr, 60, false, false, 4, nullptr, nullptr});
    ch.row({kQChAccueil, "accueil", q("Réception €"), "2000", 0, kQ2, 1, kQDl, 2,
            q("Heures d'ouverture"), 33801, 90, false, true, 2, "PHTransfer", kQChQ1});
    addContactRulesTable(db)
        .row({kQChAccueil, q("Fermé"), kPast, 1, 1, "2101", 1, false, true, false, false})
        .row({kQChAccueil, "Standard", nullptr, 1, 0, "2101", 0, true, false, false, false});
    addMessagingRulesTable(db).row(
        {kQChAccueil, "Standard", nullptr, 1, false, 1, 2, "phtransfer", kQChQ2});
    addMenuEntriesTable(db)
        .row({kQChAccueil, "0", 2, "PHGreeting", kQChQ1})
        .row({kQChAccueil, "9", 2, "AD", kQDh})
        .row({kQChAccueil, "8", 2, "PHInterview", kQIv});

    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName")
        .row({kQDl, "tous", q("Tout le monde"), "2900", nullptr});
    db.table("PublicDistributionListMembers")
        .text("DLObjectID")
        .text("SubscriberObjectID")
        .text("SubscriberAlias")
        .row({kQDl, kQ1, "amelie"})
        .row({kQDl, kQ2, "bnoel"});
    db.table("Interviewers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .ole("VoiceName")
        .row({kQIv, "sondage", q("Sondage Qualité"), "2800", nullptr});
    db.table("InterviewQuestions")
        .text("ParentObjectID")
        .text("Alias")
        .longInt("MaxMsgLength")
        .ole("Stream")
        .memo("StreamText")
        .row({kQIv, "1", 20, recording(4), q("Votre numéro ?")});
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .yesNo("VoiceEnabled")
        .ole("VoiceName")
        .row({kQDh, nullptr, q("Répertoire"), nullptr, false, nullptr});
    db.table("Schedules").text("ObjectID").text("DisplayName").row({kSchedule, "Weekdays"});
    return db.write(dir, "ZerithDBData_Backup_golden_quorin.mdb");
}

}  // namespace tdv::test::golden
