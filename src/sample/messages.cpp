// The message backups beside a directory backup: one file per backed-up mailbox, named
// "ZerithMessage_Backup_<alias>_<date>.mdb", each with a Messages table and the schema
// revision in MDBVersion (the message viewer reads it to decide whether IsSecure exists).
//
// Which users have a mailbox file: the edge-case users of the directory first (the richest
// user, the alias with an apostrophe, the one outside ASCII, the one with characters file
// names refuse), then users spread evenly over the directory; about six messages a file.
// The first file holds the fixed edge cases (every flag set, a lower-case directory name,
// Null flags, a secure message) and, in a broken-messages variant, the duplicate and
// missing Index values.
#include <algorithm>
#include <unordered_set>

#include "base/text.h"
#include "sample/directory_model.h"
#include "sample/directory_recordings.h"
#include "sample/directory_table.h"
#include "sample/messages_content.h"

namespace tdv::sample {
namespace {

using jet::ColumnType;

// Its own random stream, apart from the directory's families.
constexpr uint64_t kStreamMessages = 101;
constexpr size_t kMessagesPerMailbox = 6;
// Schema revision from which message backups carry IsSecure.
constexpr int16_t kRevSecureFlag = 14;

std::vector<size_t> chooseMailboxes(size_t users, size_t files) {
    std::vector<size_t> chosen;
    std::vector<bool> taken(users, false);
    auto take = [&](size_t i) {
        if (i < users && !taken[i] && chosen.size() < files) {
            taken[i] = true;
            chosen.push_back(i);
        }
    };
    for (size_t special :
         {size_t{kRichUser}, size_t{kApostropheUser}, size_t{kNonAsciiUser}, size_t{kOddAliasUser}})
        take(special);
    for (size_t k = 0; chosen.size() < files && k < files * 2; ++k) take(k * users / files);
    for (size_t i = 0; chosen.size() < files && i < users; ++i) take(i);
    return chosen;
}

// Messages per file: at least one each while there are enough, the rest at random.
std::vector<size_t> spreadMessages(SampleRandom& rng, size_t messages, size_t files) {
    std::vector<size_t> counts(files, 0);
    size_t left = messages;
    for (size_t f = 0; f < files && left > 0; ++f, --left) counts[f] = 1;
    // The first file holds the fixed edge cases: give it a few more when there are any.
    for (; left > 0 && counts[0] < kMessagesPerMailbox; --left) ++counts[0];
    for (; left > 0; --left) ++counts[rng.below(static_cast<uint32_t>(files))];
    return counts;
}

struct MessageColumns {
    int index, messageId, owner, toAlias, fromAlias, fromAddress, callerAni, subject, arrival, type,
        duration, folder, read, urgent, isPrivate, secure, attachment;
};

MessageColumns declareColumns(TableBuilder& t, const SampleVariant& v, bool uniqueIndex) {
    MessageColumns c{};
    c.index = t.column("Index", ColumnType::Long);
    c.messageId = t.column("MessageID", ColumnType::Text, kObjectIdChars);
    c.owner = t.column("SubscriberObjectID", ColumnType::Text, kObjectIdChars);
    c.toAlias = t.column("ToAlias", ColumnType::Text, kAliasChars);
    c.fromAlias = t.column("FromAlias", ColumnType::Text, kAliasChars);
    c.fromAddress = t.column("FromAddress", ColumnType::Text, kAddressChars);
    c.callerAni = t.column("CallerANI", ColumnType::Text, kExtensionChars);
    c.subject = t.column("Subject", ColumnType::Text, kAddressChars);
    c.arrival = t.column("ArrivalTime", ColumnType::DateTime);
    c.type = t.column("MessageType", ColumnType::Integer);
    c.duration = t.column("Duration", ColumnType::Long);
    c.folder = t.column("Folder", ColumnType::Text, 32);
    c.read = t.nullableFlag("Read");
    c.urgent = t.nullableFlag("PriorityUrgent");
    c.isPrivate = t.nullableFlag("SensitivityPrivate");
    c.secure = t.nullableFlag("IsSecure", v.schemaRevision >= kRevSecureFlag);
    c.attachment = t.column("MessageAttachment", ColumnType::OLE);
    if (uniqueIndex) {
        t.index("PrimaryKey", {"Index"}, true);
    } else {
        t.index("Index", {"Index"});
    }
    t.index("FromAlias", {"FromAlias"});
    t.index("ToAlias", {"ToAlias"});
    return c;
}

enum class Kind { Voice, Email };

struct Mailbox {
    const SampleUser& owner;
    size_t file;  // position among the files
    size_t count;
};

class MailboxWriter {
public:
    MailboxWriter(const SampleVariant& v, const std::vector<SampleUser>& users,
                  const DirectoryModel& model, SampleRandom& rng, RecordingMaker& recordings,
                  size_t& ordinal)
        : v_(v),
          users_(users),
          model_(model),
          naming_(directoryNaming(model.mailDomain)),
          rng_(rng),
          recordings_(recordings),
          ordinal_(ordinal) {}

    jet::NewTableWithRows messages(const Mailbox& box) {
        const bool broken = v_.brokenMessages && box.file == 0;
        TableBuilder t(v_, "Messages");
        const MessageColumns c = declareColumns(t, v_, !broken);
        if (v_.emptyMessages) return t.take();
        std::vector<double> arrivals;
        for (size_t m = 0; m < box.count; ++m)
            arrivals.push_back(model_.backupStart - 1.0 -
                               rng_.between(0, 180 * 86400 - 1) / 86400.0);
        std::sort(arrivals.begin(), arrivals.end());
        t.reserveRows(box.count);
        for (size_t m = 0; m < box.count; ++m) {
            auto& row = t.addRow();
            fill(t, c, row, box, m, arrivals[m]);
            if (broken) breakIndex(t, c, row, m, box.count);
        }
        return t.take();
    }

private:
    // The second message repeats the first one's Index; the last has none.
    void breakIndex(TableBuilder& t, const MessageColumns& c, TableBuilder::Row& row, size_t m,
                    size_t count) const {
        if (m == 1) t.setInt(row, c.index, 1);
        if (m + 1 == count && m > 1) t.setInt(row, c.index, std::nullopt);
    }

    Sender pickSender(const Mailbox& box, size_t m, Kind& kind) {
        const SampleUser& other = users_[rng_.below(static_cast<uint32_t>(users_.size()))];
        const uint32_t roll = rng_.below(100);
        kind = Kind::Voice;
        // The first message decides how the viewer names extracted files: older-product
        // files start with a directory name, newer-product files alternate.
        if (m == 0) {
            if (v_.quorin && box.file % 2 == 0) {
                kind = Kind::Email;
                return userSender(SenderKind::InternalSmtp, other, naming_, model_.mailDomain);
            }
            return userSender(SenderKind::DirectoryName, other, naming_, model_.mailDomain);
        }
        if (box.file == 0 && m == 2) {
            Sender s = userSender(SenderKind::DirectoryName, other, naming_, model_.mailDomain);
            s.address = directoryNameAddress(naming_, other.alias, true);
            return s;
        }
        if (v_.quorin) {
            if (roll < 20) {
                kind = Kind::Email;
                return userSender(SenderKind::InternalSmtp, other, naming_, model_.mailDomain);
            }
            if (roll < 40) {
                kind = Kind::Email;
                return externalSmtpSender(rng_);
            }
            if (roll < 85)
                return userSender(SenderKind::DirectoryName, other, naming_, model_.mailDomain);
            return outsideCaller(rng_);
        }
        if (roll < 50)
            return userSender(SenderKind::DirectoryName, other, naming_, model_.mailDomain);
        if (roll < 60) return userSender(SenderKind::ShortName, other, naming_, model_.mailDomain);
        return outsideCaller(rng_);
    }

    // Flags of the first file's fixed messages; others at random (Null now and then where
    // the file's flags can hold it).
    Flag flag(const Mailbox& box, size_t m, uint32_t percentTrue) {
        if (box.file == 0 && m == 1) return true;
        if (box.file == 0 && m == 3 && v_.flagsAsInteger) return std::nullopt;
        if (v_.flagsAsInteger && rng_.percent(4)) return std::nullopt;
        return rng_.percent(percentTrue);
    }

    void fill(TableBuilder& t, const MessageColumns& c, TableBuilder::Row& row, const Mailbox& box,
              size_t m, double arrival) {
        Kind kind;
        const Sender sender = pickSender(box, m, kind);
        const std::string messageId = rng_.guidText();
        t.setInt(row, c.index, static_cast<int32_t>(m + 1));
        t.setText(row, c.messageId, messageId);
        t.setText(row, c.owner, box.owner.objectId);
        t.setText(row, c.toAlias, box.owner.alias);
        t.setOptionalText(row, c.fromAlias, sender.alias);
        t.setText(row, c.fromAddress, sender.address);
        t.setDate(row, c.arrival, arrival);
        const Flag read = flag(box, m, 55);
        t.setFlag(row, c.read, read);
        t.setFlag(row, c.urgent, flag(box, m, 10));
        t.setFlag(row, c.isPrivate, flag(box, m, 8));
        const bool secure = c.secure >= 0 && ((box.file == 0 && m == 4) || rng_.percent(5));
        // Integer flag files leave the secure flag Null now and then, like the others.
        t.setFlag(row, c.secure,
                  !secure && c.secure >= 0 && v_.flagsAsInteger && rng_.percent(4) ? Flag()
                                                                                   : Flag(secure));
        t.setText(row, c.folder, read.value_or(false) && rng_.percent(30) ? "Saved" : "Inbox");
        std::string subject;
        if (kind == Kind::Email) {
            subject = emailSubject(rng_);
            t.setInt(row, c.type, 2);
            EmailMessage mail{
                messageId.substr(1, 36) + "@" + model_.mailDomain,
                sender.address,
                box.owner.smtpAddress.empty() ? box.owner.alias : box.owner.smtpAddress,
                subject,
                arrival,
                "Hello,\r\n\r\nRe: \"" + subject +
                    "\" - see you at the meeting.\r\n\r\nRegards\r\n"};
            t.setBytes(row, c.attachment, emailArchive(mail));
        } else {
            subject = voiceSubject(sender);
            t.setInt(row, c.type, 1);
            t.setInt(row, c.duration, rng_.between(2, 95));
            t.setOptionalText(row, c.callerAni, sender.callerAni);
            t.setBytes(row, c.attachment, recordings_.recording(rng_, ordinal_));
        }
        // Secure messages are stored encrypted: no WAV or ZIP can be read from them.
        if (secure) t.setBytes(row, c.attachment, encrypted());
        // One voice message of the first file never got a subject.
        if (!(box.file == 0 && m == 3 && kind == Kind::Voice)) t.setText(row, c.subject, subject);
        ++ordinal_;
    }

    std::vector<uint8_t> encrypted() {
        std::vector<uint8_t> bytes(48 + 16 * rng_.below(8));
        for (auto& b : bytes) b = static_cast<uint8_t>(rng_.next());
        return bytes;
    }

    const SampleVariant& v_;
    const std::vector<SampleUser>& users_;
    const DirectoryModel& model_;
    DirectoryNaming naming_;
    SampleRandom& rng_;
    RecordingMaker& recordings_;
    size_t& ordinal_;
};

jet::NewTableWithRows mdbVersion(const SampleVariant& v) {
    TableBuilder t(v, "MDBVersion");
    const int version = t.column("Version", ColumnType::Long);
    t.setInt(t.addRow(), version, v.schemaRevision);
    return t.take();
}

std::string uniqueFileName(std::unordered_set<std::string>& taken, const std::string& alias,
                           const std::string& date) {
    const std::string base = "ZerithMessage_Backup_" + fileNameSafe(alias) + "_" + date;
    for (int n = 1;; ++n) {
        std::string name = n == 1 ? base : base + "_" + std::to_string(n);
        if (taken.insert(tdv::base::asciiLower(name)).second) return name + ".mdb";
    }
}

}  // namespace

std::vector<MessageBackup> buildMessageBackups(const SampleVariant& variant,
                                               const SampleOptions& options,
                                               const std::vector<SampleUser>& users) {
    if (users.empty()) return {};
    const DirectoryModel model = planDirectory(variant, options);
    SampleRandom rng = SampleRandom::forStream(options.seed, kStreamMessages);
    const auto messages = static_cast<size_t>(std::max(0, options.messages));
    const size_t files = std::clamp<size_t>(
        (messages + kMessagesPerMailbox - 1) / kMessagesPerMailbox, 1, users.size());
    const std::vector<size_t> owners = chooseMailboxes(users.size(), files);
    const std::vector<size_t> counts = spreadMessages(rng, messages, owners.size());

    RecordingMaker recordings;
    size_t ordinal = 0;
    MailboxWriter writer(variant, users, model, rng, recordings, ordinal);
    std::unordered_set<std::string> names;
    const std::string date = compactDate(model.backupStart);
    std::vector<MessageBackup> out;
    out.reserve(owners.size());
    for (size_t f = 0; f < owners.size(); ++f) {
        const SampleUser& owner = users[owners[f]];
        MessageBackup backup;
        backup.fileName = uniqueFileName(names, owner.alias, date);
        // Each mailbox file is written a few seconds after the one before, in the same run.
        backup.database.created = model.backupStart + static_cast<double>(f + 1) * 3.0 / 86400.0;
        backup.database.tables.push_back(writer.messages({owner, f, counts[f]}));
        backup.database.tables.push_back(mdbVersion(variant));
        out.push_back(std::move(backup));
    }
    return out;
}

}  // namespace tdv::sample
