#include "sample/zip.h"

#include <zip.h>

#include <memory>

#include "jet/error.h"

namespace tdv::sample {
namespace {

// 2000-01-01 12:00:00 in MS-DOS form: the archive must not depend on the clock.
constexpr zip_uint16_t kDosTime = (12 << 11);
constexpr zip_uint16_t kDosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;

[[noreturn]] void fail(const std::string& what, zip_error_t* error) {
    std::string message = "Cannot build ZIP archive: " + what;
    if (error != nullptr) message += std::string(": ") + zip_error_strerror(error);
    throw jet::Error(jet::ErrorKind::Internal, jet::errnum::kIo, message);
}

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

void addEntries(zip_t* archive, const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files) {
        // The source copies nothing: content outlives zip_close, which reads it.
        zip_source_t* data = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (data == nullptr) fail("entry " + name, zip_get_error(archive));
        zip_int64_t index = zip_file_add(archive, name.c_str(), data, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(data);
            fail("entry " + name, zip_get_error(archive));
        }
        auto entry = static_cast<zip_uint64_t>(index);
        if (zip_file_set_dostime(archive, entry, kDosTime, kDosDate, 0) != 0 ||
            zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE, 6) != 0)
            fail("entry " + name, zip_get_error(archive));
    }
}

std::vector<uint8_t> readAll(zip_source_t* source) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(source, &st) != 0 || (st.valid & ZIP_STAT_SIZE) == 0)
        fail("size of the result", zip_source_error(source));
    std::vector<uint8_t> out(static_cast<size_t>(st.size));
    if (zip_source_open(source) != 0) fail("reading the result", zip_source_error(source));
    size_t done = 0;
    while (done < out.size()) {
        zip_int64_t n = zip_source_read(source, out.data() + done, out.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    zip_source_close(source);
    if (done != out.size()) fail("reading the result", nullptr);
    return out;
}

}  // namespace

std::vector<uint8_t> makeZip(const std::vector<std::pair<std::string, std::string>>& files) {
    // libzip writes nothing at all for an archive without entries; an empty archive is
    // just the end-of-central-directory record.
    if (files.empty()) {
        std::vector<uint8_t> empty(22, 0);
        empty[0] = 'P';
        empty[1] = 'K';
        empty[2] = 5;
        empty[3] = 6;
        return empty;
    }
    zip_error_t error;
    zip_error_init(&error);
    SourcePtr buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer) fail("memory buffer", &error);
    zip_t* archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error);
    if (archive == nullptr) fail("opening", &error);
    // The archive takes a reference when opened; keep ours to read the bytes after close.
    zip_source_keep(buffer.get());
    try {
        addEntries(archive, files);
    } catch (...) {
        zip_discard(archive);
        throw;
    }
    if (zip_close(archive) != 0) {
        std::string message = zip_strerror(archive);
        zip_discard(archive);
        throw jet::Error(jet::ErrorKind::Internal, jet::errnum::kIo,
                         "Cannot build ZIP archive: " + message);
    }
    return readAll(buffer.get());
}

}  // namespace tdv::sample
