// A whole sample on disk: the directory backup, the message backups beside it, and one
// unrelated Access file (an address book) that the viewer must not take for a message
// backup. Every name is checked before the first file is written, so a sample is written
// whole or not at all when names are taken.
#include <filesystem>
#include <system_error>

#include "jet/error.h"
#include "sample/directory_model.h"
#include "sample/directory_names.h"
#include "sample/directory_random.h"
#include "sample/directory_table.h"
#include "sample/messages_content.h"
#include "sample/sample.h"

namespace tdv::sample {
namespace {

namespace fs = std::filesystem;
using jet::ColumnType;

constexpr uint64_t kStreamContacts = 102;
constexpr const char* kUnrelatedFileName = "Contacts.mdb";

[[noreturn]] void ioError(const std::string& message) {
    throw jet::Error(jet::ErrorKind::Io, jet::errnum::kIo, message);
}

// An address book as an office keeps it in Access: nothing in it is a backup table.
jet::NewDatabase contactsDatabase(const SampleVariant& variant, const SampleOptions& options,
                                  double created) {
    SampleRandom rng = SampleRandom::forStream(options.seed, kStreamContacts);
    SampleVariant plain = variant;  // an ordinary file: plain text, Yes/No flags
    plain.utf8Text = false;
    plain.flagsAsInteger = false;
    TableBuilder t(plain, "Contacts");
    const int id = t.column("ContactID", ColumnType::Long);
    const int first = t.column("FirstName", ColumnType::Text, 50);
    const int last = t.column("LastName", ColumnType::Text, 50);
    const int company = t.column("Company", ColumnType::Text, 100);
    const int phone = t.column("Phone", ColumnType::Text, 30);
    const int email = t.column("Email", ColumnType::Text, 100);
    const int since = t.column("ContactSince", ColumnType::DateTime);
    const int active = t.column("Active", ColumnType::Boolean);
    const int notes = t.column("Notes", ColumnType::Memo);
    t.index("PrimaryKey", {"ContactID"}, true);
    t.index("LastName", {"LastName"});
    static const char* const kCompanies[] = {"Northwind Partners", "Fabrikam", "Contoso Supply",
                                             "Adventure Works", "Litware"};
    for (int i = 0; i < 25; ++i) {
        auto& row = t.addRow();
        const std::string& f = rng.pick(sampleFirstNames());
        const std::string& l = rng.pick(sampleLastNames());
        t.setInt(row, id, i + 1);
        t.setText(row, first, f);
        t.setText(row, last, l);
        t.setText(row, company, kCompanies[rng.below(5)]);
        t.setText(row, phone, "+1 206 555 " + std::to_string(1000 + rng.below(9000)));
        t.setText(row, email, foldToAscii(f) + "." + foldToAscii(l) + "@example.com");
        t.setDate(row, since, created - rng.between(30, 3000));
        t.setFlag(row, active, rng.percent(80));
        if (rng.percent(40))
            t.setText(row, notes, "Met at the " + std::to_string(2020 + i % 6) + " trade fair.");
    }
    jet::NewDatabase db;
    db.created = created - 400;
    db.tables.push_back(t.take());
    return db;
}

void refuseExisting(const fs::path& path) {
    std::error_code ec;
    // Anything at the path, even a dangling link or an entry that cannot be examined.
    if (fs::symlink_status(path, ec).type() != fs::file_type::not_found)
        ioError("Will not overwrite existing file: " + path.string());
}

}  // namespace

WrittenSample writeSample(const std::string& dir, const SampleVariant& variant,
                          const SampleOptions& options) {
    const fs::path folder(dir);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) ioError("Cannot create folder " + dir);

    DirectoryBackup directory = buildDirectoryBackup(variant, options);
    const DirectoryModel model = planDirectory(variant, options);
    std::vector<MessageBackup> messages = buildMessageBackups(variant, options, directory.users);
    const double started = model.backupStart;

    WrittenSample out;
    out.directoryBackup = (folder / ("ZerithDBData_Backup_" + fileNameSafe(model.serverName) + "_" +
                                     compactDate(started) + ".mdb"))
                              .string();
    for (const MessageBackup& m : messages)
        out.messageBackups.push_back((folder / m.fileName).string());
    out.unrelatedDatabase = (folder / kUnrelatedFileName).string();

    refuseExisting(out.directoryBackup);
    for (const auto& path : out.messageBackups) refuseExisting(path);
    refuseExisting(out.unrelatedDatabase);

    jet::createDatabase(out.directoryBackup, directory.database);
    for (size_t i = 0; i < messages.size(); ++i)
        jet::createDatabase(out.messageBackups[i], messages[i].database);
    jet::createDatabase(out.unrelatedDatabase, contactsDatabase(variant, options, started));
    return out;
}

}  // namespace tdv::sample
