// The message backups of a sample: one file per mailbox, senders in every form the message
// viewer parses, recordings and e-mail archives as attachments, the flags as each variant
// stores them, and the broken and empty files.
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <set>

#include "sample/directory_model.h"
#include "sample/directory_table.h"
#include "sample/messages_content.h"
#include "sample/sample.h"
#include "sample_files_support.h"

namespace tdv::sample::test {
namespace {

// The rows of one message backup, columns found by name.
struct Messages {
    const jet::NewTableWithRows* table = nullptr;

    explicit Messages(const MessageBackup& backup) {
        for (const auto& t : backup.database.tables)
            if (t.table.name == "Messages") table = &t;
        if (table == nullptr) throw std::runtime_error(backup.fileName + " has no Messages");
    }
    size_t size() const { return table->rows.size(); }
    std::optional<size_t> column(const std::string& name) const {
        for (size_t i = 0; i < table->table.columns.size(); ++i)
            if (table->table.columns[i].name == name) return i;
        return std::nullopt;
    }
    const jet::Value& at(size_t row, const std::string& name) const {
        return table->rows.at(row).at(column(name).value());
    }
    std::string text(size_t row, const std::string& name) const {
        const jet::Value& v = at(row, name);
        return v.is<jet::Text>() ? v.get<jet::Text>().utf8 : "<null>";
    }
    // A flag as true / false / Null, whether stored as Yes/No or Integer -1/0.
    std::optional<bool> flag(size_t row, const std::string& name) const {
        const jet::Value& v = at(row, name);
        if (v.is<bool>()) return v.get<bool>();
        if (v.is<int16_t>()) return v.get<int16_t>() != 0;
        return std::nullopt;
    }
    const jet::Bytes& attachment(size_t row) const {
        return at(row, "MessageAttachment").get<jet::Bytes>();
    }
    const jet::NewIndex* index(const std::string& name) const {
        for (const auto& ix : table->table.indexes)
            if (ix.name == name) return &ix;
        return nullptr;
    }
};

struct Built {
    std::vector<SampleUser> users;
    std::vector<MessageBackup> files;
};

Built build(const std::string& variant, int users, int messages, uint64_t seed = 5) {
    const SampleVariant& v = *findVariant(variant);
    SampleOptions o;
    o.users = users;
    o.messages = messages;
    o.seed = seed;
    Built b;
    b.users = buildDirectoryBackup(v, o).users;
    b.files = buildMessageBackups(v, o, b.users);
    return b;
}

bool isWav(const jet::Bytes& b) {
    return b.size() > 44 && std::string(b.begin(), b.begin() + 4) == "RIFF" &&
           std::string(b.begin() + 8, b.begin() + 12) == "WAVE";
}

// The single entry of a ZIP archive: its name and content; empty name when unreadable.
std::pair<std::string, std::string> onlyEntry(const jet::Bytes& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = src ? zip_open_from_source(src, ZIP_RDONLY, &error) : nullptr;
    if (archive == nullptr) {
        if (src) zip_source_free(src);
        return {};
    }
    std::pair<std::string, std::string> out;
    zip_stat_t st;
    if (zip_get_num_entries(archive, 0) == 1 && zip_stat_index(archive, 0, 0, &st) == 0) {
        out.first = st.name;
        out.second.resize(static_cast<size_t>(st.size));
        zip_file_t* f = zip_fopen_index(archive, 0, 0);
        if (f == nullptr || zip_fread(f, out.second.data(), out.second.size()) !=
                                static_cast<zip_int64_t>(out.second.size()))
            out = {};
        if (f) zip_fclose(f);
    }
    zip_close(archive);
    return out;
}

std::set<std::string> aliases(const std::vector<SampleUser>& users) {
    std::set<std::string> out;
    for (const auto& u : users) out.insert(u.alias);
    return out;
}

TEST(MessageBackups, OneFilePerMailboxNamedAfterItsOwner) {
    const Built b = build("zerith-rev20", 40, 30);
    ASSERT_EQ(b.files.size(), 5u);  // about six messages a mailbox
    std::set<std::string> owners, names;
    size_t total = 0;
    for (const MessageBackup& f : b.files) {
        Messages m(f);
        ASSERT_GT(m.size(), 0u) << f.fileName;
        total += m.size();
        const std::string owner = m.text(0, "ToAlias");
        const auto user = std::find_if(b.users.begin(), b.users.end(),
                                       [&](const SampleUser& u) { return u.alias == owner; });
        ASSERT_NE(user, b.users.end()) << owner;
        for (size_t r = 0; r < m.size(); ++r) {
            EXPECT_EQ(m.text(r, "ToAlias"), owner);
            EXPECT_EQ(m.text(r, "SubscriberObjectID"), user->objectId);
        }
        EXPECT_TRUE(owners.insert(owner).second) << "two files for " << owner;
        EXPECT_EQ(f.fileName.rfind("ZerithMessage_Backup_" + fileNameSafe(owner) + "_", 0), 0u)
            << f.fileName;
        EXPECT_TRUE(names.insert(f.fileName).second);
        const jet::NewIndex* pk = m.index("PrimaryKey");
        ASSERT_NE(pk, nullptr);
        EXPECT_TRUE(pk->primaryKey);
        EXPECT_EQ(pk->columns.front().column, "Index");
        ASSERT_NE(m.index("FromAlias"), nullptr);
        ASSERT_NE(m.index("ToAlias"), nullptr);
    }
    EXPECT_EQ(total, 30u);
    // The edge-case users have mailboxes: an apostrophe, and characters file names refuse.
    EXPECT_TRUE(owners.count("o'brien"));
    EXPECT_TRUE(owners.count("a b/c?d*e"));
    EXPECT_TRUE(names.count("ZerithMessage_Backup_a_b_c_d_e_" +
                            b.files[0].fileName.substr(b.files[0].fileName.size() - 12)));
}

TEST(MessageBackups, OlderProductSendersTakeEveryFormTheViewerParses) {
    const Built b = build("zerith-rev20", 40, 90);
    const auto known = aliases(b.users);
    size_t directoryNames = 0, shortNames = 0, system = 0, lowerCase = 0, secure = 0;
    for (const MessageBackup& f : b.files) {
        Messages m(f);
        EXPECT_EQ(m.text(0, "FromAddress").find("/O="), 0u)
            << f.fileName << ": the first sender decides WAV extraction";
        for (size_t r = 0; r < m.size(); ++r) {
            const std::string address = m.text(r, "FromAddress");
            const jet::Value& alias = m.at(r, "FromAlias");
            if (address.rfind("/O=", 0) == 0 || address.rfind("/o=", 0) == 0) {
                ++directoryNames;
                lowerCase += address[1] == 'o';
                ASSERT_TRUE(alias.is<jet::Text>());
                const std::string a = alias.get<jet::Text>().utf8;
                std::string expected = "/CN=" + a;
                if (address[1] == 'o')
                    std::transform(expected.begin(), expected.end(), expected.begin(), ::tolower);
                EXPECT_EQ(address.substr(address.size() - expected.size()), expected);
                EXPECT_TRUE(known.count(a)) << a;
            } else if (address.rfind("CN=", 0) == 0) {
                ++shortNames;
                EXPECT_EQ(address.substr(3, address.find("/O=") - 3), m.text(r, "FromAlias"));
            } else {
                EXPECT_EQ(address, kSystemSender);
                EXPECT_TRUE(alias.isNull());
                ++system;
            }
            if (m.flag(r, "IsSecure").value_or(false)) {
                ++secure;
                EXPECT_FALSE(isWav(m.attachment(r))) << "secure messages are encrypted";
            } else {
                EXPECT_TRUE(isWav(m.attachment(r))) << f.fileName << " row " << r;
            }
        }
    }
    EXPECT_GT(directoryNames, 10u);
    EXPECT_GT(shortNames, 0u);
    EXPECT_GT(system, 5u);
    EXPECT_EQ(lowerCase, 1u);
    EXPECT_GT(secure, 0u);
}

TEST(MessageBackups, FirstFileHoldsTheFixedEdgeCases) {
    const Built b = build("zerith-rev20", 12, 14);
    Messages m(b.files.at(0));
    ASSERT_GE(m.size(), 5u);
    EXPECT_EQ(m.flag(1, "Read"), true);
    EXPECT_EQ(m.flag(1, "PriorityUrgent"), true);
    EXPECT_EQ(m.flag(1, "SensitivityPrivate"), true);
    EXPECT_EQ(m.text(2, "FromAddress").rfind("/o=", 0), 0u);
    EXPECT_TRUE(m.at(3, "Subject").isNull());
    EXPECT_EQ(m.flag(4, "IsSecure"), true);
    for (size_t r = 1; r < m.size(); ++r)
        EXPECT_LE(m.at(r - 1, "ArrivalTime").get<jet::DateTime>().days,
                  m.at(r, "ArrivalTime").get<jet::DateTime>().days)
            << "messages in arrival order";
}

TEST(MessageBackups, OldRevisionsHaveIntegerFlagsWithNullAndNoSecureFlag) {
    const Built b = build("zerith-rev13", 12, 60);
    size_t nulls = 0, set = 0;
    for (const MessageBackup& f : b.files) {
        Messages m(f);
        EXPECT_FALSE(m.column("IsSecure").has_value());
        EXPECT_EQ(m.table->table.columns[*m.column("Read")].type, jet::ColumnType::Integer);
        for (size_t r = 0; r < m.size(); ++r) {
            for (const char* flag : {"Read", "PriorityUrgent", "SensitivityPrivate"}) {
                const jet::Value& v = m.at(r, flag);
                if (v.isNull()) {
                    ++nulls;
                } else {
                    ASSERT_TRUE(v.is<int16_t>());
                    EXPECT_TRUE(v.get<int16_t>() == -1 || v.get<int16_t>() == 0);
                    set += v.get<int16_t>() == -1;
                }
            }
            EXPECT_TRUE(isWav(m.attachment(r)));
        }
    }
    EXPECT_GE(nulls, 3u);  // the fixed Null row holds three
    EXPECT_GT(set, 0u);
    // Revision 14 brings IsSecure.
    EXPECT_TRUE(Messages(build("zerith-rev14", 12, 6).files.at(0)).column("IsSecure"));
}

TEST(MessageBackups, NewerProductMixesEmailArchivesAndRecordings) {
    const Built b = build("quorin1-tool135", 40, 120);
    ASSERT_GE(b.files.size(), 2u);
    EXPECT_EQ(Messages(b.files[0]).text(0, "FromAddress").find("/O="), std::string::npos);
    EXPECT_EQ(Messages(b.files[1]).text(0, "FromAddress").find("/O="), 0u);
    size_t mails = 0, external = 0, voice = 0;
    for (const MessageBackup& f : b.files) {
        Messages m(f);
        for (size_t r = 0; r < m.size(); ++r) {
            if (m.flag(r, "IsSecure").value_or(false)) continue;
            const std::string address = m.text(r, "FromAddress");
            if (address.find('@') == std::string::npos) {
                ++voice;
                EXPECT_TRUE(isWav(m.attachment(r)));
                continue;
            }
            ++mails;
            external += m.at(r, "FromAlias").isNull();
            const auto [name, eml] = onlyEntry(m.attachment(r));
            ASSERT_FALSE(name.empty()) << f.fileName << " row " << r << ": not a ZIP";
            EXPECT_EQ(name.substr(name.size() - 4), ".eml");
            EXPECT_NE(eml.find("\r\nFrom: " + address + "\r\n"), std::string::npos) << eml;
            EXPECT_NE(eml.find("\r\nSubject: " + m.text(r, "Subject") + "\r\n"), std::string::npos)
                << eml;
            EXPECT_EQ(m.at(r, "MessageType").get<int32_t>(), 2);
        }
    }
    EXPECT_GT(mails, 10u);
    EXPECT_GT(external, 0u);
    EXPECT_LT(external, mails);
    EXPECT_GT(voice, 10u);
}

TEST(MessageBackups, Quorin7StoresUtf8BytesOnePerCharacter) {
    const SampleVariant& v = *findVariant("quorin7-tool1020");
    const Built b = build(v.name, 40, 120);
    size_t nonAscii = 0;
    for (const MessageBackup& f : b.files) {
        Messages m(f);
        for (size_t r = 0; r < m.size(); ++r) {
            if (m.text(r, "FromAddress").find('@') == std::string::npos ||
                m.flag(r, "IsSecure").value_or(false))
                continue;
            const std::string eml = onlyEntry(m.attachment(r)).second;
            const size_t at = eml.find("\r\nSubject: ") + 11;
            const std::string subject = eml.substr(at, eml.find("\r\n", at) - at);
            EXPECT_EQ(m.text(r, "Subject"), storedText(v, subject));
            nonAscii += storedText(v, subject) != subject;
        }
    }
    EXPECT_GT(nonAscii, 0u);
}

TEST(MessageBackups, BrokenVariantHasDuplicateAndMissingIndexInItsFirstFile) {
    const Built b = build("broken-messages", 12, 14);
    Messages m(b.files.at(0));
    std::vector<std::optional<int32_t>> index;
    for (size_t r = 0; r < m.size(); ++r) {
        const jet::Value& v = m.at(r, "Index");
        index.push_back(v.isNull() ? std::nullopt : std::optional(v.get<int32_t>()));
    }
    EXPECT_EQ(std::count(index.begin(), index.end(), std::optional<int32_t>(1)), 2);
    EXPECT_EQ(std::count(index.begin(), index.end(), std::nullopt), 1);
    EXPECT_EQ(m.index("PrimaryKey"), nullptr);
    ASSERT_NE(m.index("Index"), nullptr);
    EXPECT_FALSE(m.index("Index")->unique);
    for (size_t f = 1; f < b.files.size(); ++f)
        EXPECT_NE(Messages(b.files[f]).index("PrimaryKey"), nullptr);
}

TEST(MessageBackups, BrokenFileIsWrittenAndQueriedByIndex) {
    auto w = writeVariant(*findVariant("broken-messages"));
    const std::string& first = w->files.messageBackups.at(0);
    EXPECT_EQ(Query(first, "SELECT * FROM Messages WHERE Index=1").size(), 2u);
    EXPECT_EQ(Query(first, "SELECT * FROM Messages WHERE Index IS NULL").size(), 1u);
}

TEST(MessageBackups, CountsSpreadOverMailboxes) {
    EXPECT_TRUE(buildMessageBackups(*findVariant("zerith-rev20"), {}, {}).empty());
    const Built none = build("zerith-rev20", 12, 0);
    ASSERT_EQ(none.files.size(), 1u);
    EXPECT_EQ(Messages(none.files[0]).size(), 0u);
    const Built many = build("zerith-rev20", 20, 500);
    EXPECT_EQ(many.files.size(), 20u) << "never more files than users";
    size_t total = 0;
    for (const auto& f : many.files) total += Messages(f).size();
    EXPECT_EQ(total, 500u);
    for (const auto& f : build("empty-messages", 12, 40).files) {
        Messages m(f);
        EXPECT_EQ(m.size(), 0u);
        EXPECT_TRUE(m.column("MessageAttachment").has_value());
    }
}

TEST(MessageBackups, SameSeedSameRows) {
    const Built a = build("quorin1-cores", 12, 30, 9), b = build("quorin1-cores", 12, 30, 9);
    const Built c = build("quorin1-cores", 12, 30, 10);
    ASSERT_EQ(a.files.size(), b.files.size());
    for (size_t i = 0; i < a.files.size(); ++i) {
        EXPECT_EQ(a.files[i].fileName, b.files[i].fileName);
        EXPECT_TRUE(Messages(a.files[i]).table->rows == Messages(b.files[i]).table->rows);
        EXPECT_EQ(a.files[i].database.created, b.files[i].database.created);
    }
    EXPECT_FALSE(Messages(a.files[0]).table->rows == Messages(c.files[0]).table->rows);
}

TEST(MessageContent, DatesNamesAndDirectoryAddresses) {
    const double when = oleDate(2026, 10, 14, 9, 5, 7);
    EXPECT_EQ(rfc2822Date(when), "Wed, 14 Oct 2026 09:05:07 +0000");
    EXPECT_EQ(rfc2822Date(oleDate(2024, 2, 29, 23, 59, 59)), "Thu, 29 Feb 2024 23:59:59 +0000");
    EXPECT_EQ(compactDate(when), "20261014");
    EXPECT_EQ(fileNameSafe("a b/c?d*e"), "a_b_c_d_e");
    EXPECT_EQ(fileNameSafe("o'brien"), "o'brien");
    EXPECT_EQ(fileNameSafe("Jos\xC3\xA9"), "Jos__");
    EXPECT_EQ(fileNameSafe(""), "_");
    const DirectoryNaming naming = directoryNaming("harbourline.com");
    EXPECT_EQ(directoryNameAddress(naming, "jsmith"),
              "/O=HARBOURLINE/OU=HQ/CN=RECIPIENTS/CN=jsmith");
    EXPECT_EQ(directoryNameAddress(naming, "JSmith", true),
              "/o=harbourline/ou=hq/cn=recipients/cn=jsmith");
    const std::string eml = emlText({"abc@x.com", "a@x.com", "b@y.com", "Hi", when, "Body"});
    EXPECT_EQ(eml.rfind("Message-ID: <abc@x.com>\r\n", 0), 0u);
    EXPECT_NE(eml.find("\r\n\r\nBody\r\n"), std::string::npos);
    EXPECT_EQ(eml.find("\n\n"), std::string::npos) << "CR LF line ends only";
}

}  // namespace
}  // namespace tdv::sample::test
