// Little-endian reads from on-disk bytes, checked against the buffer they come from.
//
// ByteView is a non-owning window over a page or row. Every read names the offset it wants
// and throws Error(Corrupt) with the view's context ("table X, page N") when the bytes are
// not there, so callers never index past a buffer on the strength of a value read from disk.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "jet/error.h"

namespace jet {

inline uint16_t loadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t loadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t loadU64(const uint8_t* p) {
    return static_cast<uint64_t>(loadU32(p)) | (static_cast<uint64_t>(loadU32(p + 4)) << 32);
}
// Little-endian writes; the caller has sized the buffer.
inline void storeU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void storeU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Rethrows a Corrupt error with `where` (table, page, row) put in front of its detail;
// other kinds of error pass through unchanged.
[[noreturn]] inline void rethrowWithContext(const Error& e, const std::string& where) {
    if (e.kind() != ErrorKind::Corrupt) throw e;
    static constexpr std::string_view kPrefix = "Damaged database: ";
    std::string_view detail = e.what();
    if (detail.substr(0, kPrefix.size()) == kPrefix) detail.remove_prefix(kPrefix.size());
    throwCorrupt(where + ": " + std::string(detail));
}

class ByteView {
public:
    ByteView() = default;
    ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

    // True when [offset, offset + n) lies inside the view (no overflow).
    bool has(size_t offset, size_t n) const { return offset <= size_ && n <= size_ - offset; }

    // Throws Error(Corrupt) naming `what` when [offset, offset + n) is outside the view.
    // The check stays inline in every read; building the message is kept out of line.
    void require(size_t offset, size_t n, const char* what) const {
        if (!has(offset, n)) [[unlikely]]
            throwOutside(offset, n, what);
    }

    uint8_t u8(size_t offset) const {
        require(offset, 1, "a byte");
        return data_[offset];
    }
    uint16_t u16(size_t offset) const {
        require(offset, 2, "a 16-bit field");
        return loadU16(data_ + offset);
    }
    uint32_t u32(size_t offset) const {
        require(offset, 4, "a 32-bit field");
        return loadU32(data_ + offset);
    }
    ByteView sub(size_t offset, size_t n) const {
        require(offset, n, "a field");
        return ByteView(data_ + offset, n);
    }

private:
    [[noreturn, gnu::cold, gnu::noinline]] void throwOutside(size_t offset, size_t n,
                                                             const char* what) const {
        throwCorrupt(std::string(what) + " lies outside its buffer (offset " +
                     std::to_string(offset) + ", length " + std::to_string(n) + ", size " +
                     std::to_string(size_) + ")");
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace jet
