#include "extract/blob_unpack.h"

#include <algorithm>
#include <optional>

#include "base/utf8.h"
#include "ui/output_file.h"
#include "ui/procedure.h"

namespace tdv::extract {

bool bunPackWAVFile(ui::UiPort& ui, db::Recordset& rs, const std::string& columnName,
                    const std::string& targetPath) {
    return unpackBlob(ui, rs, columnName, targetPath).written;
}

Unpacked unpackBlob(ui::UiPort& ui, db::Recordset& rs, const std::string& columnName,
                    const std::string& targetPath, const ui::ProtectedFiles* inputs) {
    Unpacked result;
    if (base::utf8CharacterCount(targetPath) < 3) return result;

    ui::Procedure proc(ui, "bunPackWAVFile", "modZerithDB", ui::ErrorStyle::errorSpace(),
                       ui::OwnerKind::Module);
    // The earlier file goes, also a read-only one; a link is removed, not followed. A name
    // that cannot be freed cannot be written either: one failure, one box.
    auto failed = [&] {
        result.reported = proc.failed();
        return result;
    };
    if (!proc.step([&] { ui::removeEntry(ui, targetPath, inputs); })) return failed();

    std::optional<db::Field> field;
    bool isNull = false;
    const bool looked = proc.step([&] {
        db::Field f = rs.Fields(columnName);
        isNull = f.Value().isNull();
        field = f;
    });
    if (!looked || isNull) return failed();

    std::optional<ui::OutputFile> file;
    if (!proc.step([&] { file.emplace(ui, targetPath, inputs); })) return failed();

    long size = 0;
    proc.step([&] { size = field->ActualSize(); });

    long offset = 0;
    long chunk = 0;
    proc.loop([&] { return offset < size; }, [&] { offset += chunk; },
              [&] {
                  chunk = std::min(size - offset, kUnpackChunkSize);
                  db::Variant bytes;
                  proc.step([&] { bytes = field->GetChunk(chunk); });
                  proc.step([&] {
                      if (!bytes.is<jet::Bytes>()) return;
                      const jet::Bytes& data = bytes.get<jet::Bytes>();
                      file->write(data.data(), data.size());
                  });
              });
    // A file is kept only when every step succeeded and it closed cleanly.
    result.written = proc.keep(*file);
    return failed();
}

}  // namespace tdv::extract
