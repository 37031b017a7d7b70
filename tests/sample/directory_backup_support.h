// Shared pieces of the directory backup tests: the variants they build, and reading a table
// of the written file back through the engine.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/create_db.h"
#include "jet/database.h"
#include "sample/sample.h"

namespace tdv::sample::test {

// The richest older-product variant, as the default one is: revision 20, recent tool.
inline SampleVariant olderProductVariant() {
    SampleVariant v;
    v.name = "test-zerith-rev20";
    v.serverMajor = 5, v.serverMinor = 0, v.serverRev = 3, v.serverBuild = 2105;
    v.appMajor = 7, v.appMinor = 0, v.appRev = 31;
    v.schemaRevision = 20;
    return v;
}

// Newer product at server version 7: UTF-8 text, greeting streams per language.
inline SampleVariant quorinVariant() {
    SampleVariant v;
    v.name = "test-quorin7";
    v.quorin = true;
    v.serverMajor = 7, v.serverMinor = 0, v.serverRev = 1, v.serverBuild = 88;
    v.appMajor = 1, v.appMinor = 3, v.appRev = 6;
    v.schemaRevision = 20;
    v.coResident = true;
    v.utf8Text = true;
    return v;
}

// An old file: revision 14, Integer flags, an old tool without the run facts.
inline SampleVariant flagsAsIntegerVariant() {
    SampleVariant v;
    v.name = "test-zerith-rev14";
    v.serverMajor = 4, v.serverMinor = 0, v.serverRev = 3, v.serverBuild = 123;
    v.appMajor = 7, v.appMinor = 0, v.appRev = 28;
    v.schemaRevision = 14;
    v.hasCoResColumn = false;
    v.hasServerNameColumn = false;
    v.flagsAsInteger = true;
    return v;
}

// A directory backup written to a temporary folder and opened read-only.
struct WrittenBackup {
    tdv::test::TempDir dir;
    std::filesystem::path path;
    DirectoryBackup backup;
    std::shared_ptr<jet::Database> db;
};

inline std::unique_ptr<WrittenBackup> writeBackup(const SampleVariant& v,
                                                  const SampleOptions& options = {}) {
    auto out = std::make_unique<WrittenBackup>();
    out->path = out->dir.path() / "ZerithDBData_Backup_test.mdb";
    out->backup = buildDirectoryBackup(v, options);
    jet::createDatabase(out->path.string(), out->backup.database);
    out->db = jet::Database::open(out->path.string());
    return out;
}

// A table as the engine reads it back.
class TableRows {
public:
    TableRows(jet::Database& db, const std::string& name) : def_(db.table(name)) {
        auto scan = db.scan(def_);
        while (scan.next()) rows_.push_back(scan.values());
    }
    size_t size() const { return rows_.size(); }
    const jet::TableDef& def() const { return def_; }
    bool hasColumn(const std::string& column) const { return def_.findColumn(column).has_value(); }
    const jet::Value& at(size_t row, const std::string& column) const {
        auto c = def_.findColumn(column);
        if (!c) throw std::runtime_error(def_.name + " has no column " + column);
        return rows_.at(row)[*c];
    }
    std::string text(size_t row, const std::string& column) const {
        const jet::Value& v = at(row, column);
        return v.is<jet::Text>() ? v.get<jet::Text>().utf8 : std::string("<not text>");
    }
    // The rows whose text column equals value.
    std::vector<size_t> where(const std::string& column, const std::string& value) const {
        std::vector<size_t> out;
        for (size_t r = 0; r < rows_.size(); ++r)
            if (at(r, column).is<jet::Text>() && text(r, column) == value) out.push_back(r);
        return out;
    }

private:
    jet::TableDef def_;
    std::vector<std::vector<jet::Value>> rows_;
};

// The value of an Integer, Long or Boolean cell as a number (nullopt for Null).
inline std::optional<int64_t> number(const jet::Value& v) {
    if (v.is<int16_t>()) return v.get<int16_t>();
    if (v.is<int32_t>()) return v.get<int32_t>();
    if (v.is<uint8_t>()) return v.get<uint8_t>();
    if (v.is<bool>()) return v.get<bool>() ? -1 : 0;
    return std::nullopt;
}

}  // namespace tdv::sample::test
