#include "extract/blob_unpack.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "db/db_error.h"
#include "ui/procedure.h"

namespace tdv::extract {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);  // a failed close is ignored, as the routine promises
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Characters, not bytes: a path is UTF-8 and its length is counted as the user sees it.
size_t characterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

// Removes the file, also a read-only one (its write permission is restored first).
void forceRemove(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove(path);
}

// Opens for binary reading and writing, creating the file when it does not exist.
FileHandle openBinary(const std::string& path) {
    FileHandle f(std::fopen(path.c_str(), "r+b"));
    if (!f) f.reset(std::fopen(path.c_str(), "w+b"));
    if (!f)
        throw fs::filesystem_error("open", path,
                                   std::make_error_code(std::errc::no_such_file_or_directory));
    return f;
}

}  // namespace

bool bunPackWAVFile(ui::UiPort& ui, db::Recordset& rs, const std::string& columnName,
                    const std::string& targetPath) {
    if (characterCount(targetPath) < 3) return false;

    ui::Procedure proc(ui, "bunPackWAVFile", "modZerithDB", ui::ErrorStyle::errorSpace(),
                       ui::OwnerKind::Module);
    proc.step([&] { forceRemove(targetPath); });

    std::optional<db::Field> field;
    bool isNull = false;
    const bool looked = proc.step([&] {
        db::Field f = rs.Fields(columnName);
        isNull = f.Value().isNull();
        field = f;
    });
    if (!looked || isNull) return false;

    FileHandle file;
    proc.step([&] { file = openBinary(targetPath); });

    long size = 0;
    proc.step([&] { size = field->ActualSize(); });

    for (long offset = 0; offset < size;) {
        long chunk = size - offset;
        if (chunk >= kUnpackChunkSize) chunk = kUnpackChunkSize;
        db::Variant bytes;
        proc.step([&] { bytes = field->GetChunk(chunk); });
        proc.step([&] {
            // A file that could not be opened makes every write fail, one report per chunk.
            if (!file) throw db::DbError(52, "Bad file name or number");
            if (!bytes.is<jet::Bytes>()) return;
            const jet::Bytes& data = bytes.get<jet::Bytes>();
            if (!data.empty() &&
                std::fwrite(data.data(), 1, data.size(), file.get()) != data.size())
                throw fs::filesystem_error("write", targetPath,
                                           std::make_error_code(std::errc::io_error));
        });
        offset += chunk;
    }
    file.reset();
    return true;
}

}  // namespace tdv::extract
