// Shared pieces of the sample file tests: a whole sample written to a temporary folder,
// and SQL over one of its files through the engine.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/database.h"
#include "jet/sql/sql.h"
#include "sample/sample.h"

namespace tdv::sample::test {

// Small enough that every variant is written in a fraction of a second.
inline SampleOptions smallOptions(uint64_t seed = 7) {
    SampleOptions o;
    o.users = 12;
    o.messages = 14;
    o.seed = seed;
    return o;
}

struct WrittenVariant {
    tdv::test::TempDir dir;
    WrittenSample files;

    std::vector<std::string> all() const {
        std::vector<std::string> out{files.directoryBackup};
        out.insert(out.end(), files.messageBackups.begin(), files.messageBackups.end());
        out.push_back(files.unrelatedDatabase);
        return out;
    }
};

inline std::unique_ptr<WrittenVariant> writeVariant(const SampleVariant& v,
                                                    const SampleOptions& o = smallOptions()) {
    auto w = std::make_unique<WrittenVariant>();
    w->files = writeSample((w->dir.path() / "sample").string(), v, o);
    return w;
}

// A SELECT over one file, with columns found by name (without regard to case).
struct Query {
    jet::sql::ResultSet result;

    Query(const std::string& path, const std::string& sql) {
        auto db = jet::Database::open(path);
        result = jet::sql::query(*db, sql);
    }
    size_t size() const { return result.rows.size(); }
    std::optional<size_t> column(const std::string& name) const {
        for (size_t i = 0; i < result.columns.size(); ++i)
            if (jet::namesEqual(result.columns[i].name, name)) return i;
        return std::nullopt;
    }
    bool has(const std::string& name) const { return column(name).has_value(); }
    const jet::Value& at(size_t row, const std::string& name) const {
        auto c = column(name);
        if (!c) throw std::runtime_error("no column " + name);
        return result.rows.at(row)[*c];
    }
    std::string text(size_t row, const std::string& name) const {
        const jet::Value& v = at(row, name);
        return v.is<jet::Text>() ? v.get<jet::Text>().utf8 : std::string();
    }
    // Integer, Long or Boolean (-1 / 0) as a number; nullopt for Null.
    std::optional<long> number(size_t row, const std::string& name) const {
        const jet::Value& v = at(row, name);
        if (v.is<int16_t>()) return v.get<int16_t>();
        if (v.is<int32_t>()) return v.get<int32_t>();
        if (v.is<uint8_t>()) return v.get<uint8_t>();
        if (v.is<bool>()) return v.get<bool>() ? -1 : 0;
        return std::nullopt;
    }
};

inline std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

}  // namespace tdv::sample::test
