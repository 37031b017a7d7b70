#include "jet/header.h"

#include <array>
#include <cstring>

#include "jet/bytes.h"
#include "jet/page_file.h"

namespace jet {
namespace {

constexpr std::array<uint8_t, 4> kMaskKey{0xC7, 0xDA, 0x39, 0x6B};
constexpr char kSignature[] = "Standard Jet DB";  // at offset 4, NUL-terminated
constexpr size_t kHeaderBytes = 0x100;            // covers every field read here

void rc4(uint8_t* data, size_t n) {
    std::array<uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + s[i] + kMaskKey[i % kMaskKey.size()]);
        std::swap(s[i], s[j]);
    }
    uint8_t a = 0, b = 0;
    for (size_t k = 0; k < n; ++k) {
        a = static_cast<uint8_t>(a + 1);
        b = static_cast<uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[k] ^= s[static_cast<uint8_t>(s[a] + s[b])];
    }
}

[[noreturn]] void notADatabase(const std::string& why) {
    throw Error(ErrorKind::NotADatabase, errnum::kNotADatabase,
                "Unrecognized database format: " + why);
}

}  // namespace

void applyHeaderMask(uint8_t* page, const Format& format) {
    rc4(page + format.maskedOffset, format.maskedSize);
}

DatabaseInfo readDatabaseInfo(PageFile& pages) {
    uint64_t fileSize = pages.file().size();
    if (fileSize < kHeaderBytes) notADatabase("the file is too short");
    std::array<uint8_t, kHeaderBytes> h{};
    pages.readRaw(0, h.data(), h.size());
    if (h[0] != pagetype::kDefinition ||
        std::memcmp(h.data() + 4, kSignature, sizeof kSignature) != 0)
        notADatabase("no Jet database signature");

    uint32_t rawVersion = loadU32(h.data() + 0x14);
    if (rawVersion > 1)
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "Database engine version " + std::to_string(rawVersion) +
                        " is not supported (only Access 97 and Access 2000-2003 files)");
    const Format& f = formatFor(rawVersion == 0 ? JetVersion::Jet3 : JetVersion::Jet4);
    applyHeaderMask(h.data(), f);

    DatabaseInfo info;
    info.version = f.version;
    info.pageSize = f.pageSize;
    if (fileSize < f.pageSize) notADatabase("the file is shorter than one page");
    info.codePage = loadU16(h.data() + f.codePageOffset);
    info.sortOrder = loadU16(h.data() + f.sortOrderOffset);
    info.sortOrderVersion = f.sortOrderHasVersion ? loadU16(h.data() + f.sortOrderOffset + 2) : 0;
    pages.setPageSize(f.pageSize);
    info.pageCount = pages.pageCount();
    return info;
}

}  // namespace jet
