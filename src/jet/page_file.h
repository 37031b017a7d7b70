// The one class that touches a database file: whole-page reads (and, later, writes).
//
// Pages are read through a FileSystem so tests can substitute a file system that fails or
// "crashes" at chosen points. Reads are bounds-checked: asking for a page beyond the end
// of the file raises Error(Corrupt). Recently read pages are kept in a small cache;
// a returned Page stays valid as long as the caller holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

using Page = std::shared_ptr<const std::vector<uint8_t>>;

// An open file, as the engine needs it. Implementations report failures as Error(Io).
class File {
public:
    virtual ~File() = default;
    virtual uint64_t size() = 0;
    // Reads exactly n bytes at offset; throws Error(Io) on a short read.
    virtual void readAt(uint64_t offset, uint8_t* out, size_t n) = 0;
    virtual void writeAt(uint64_t offset, const uint8_t* data, size_t n) = 0;
    virtual void sync() = 0;
    virtual void truncate(uint64_t size) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    enum class Mode { ReadOnly, ReadWrite, CreateReadWrite };
    virtual std::unique_ptr<File> open(const std::string& path, Mode mode) = 0;
    virtual bool exists(const std::string& path) = 0;
    virtual void remove(const std::string& path) = 0;
    // The real POSIX file system.
    static FileSystem& real();
};

class PageFile {
public:
    // pageSize is known once the caller has read the header; 0 = not known yet.
    PageFile(std::unique_ptr<File> file, uint32_t pageSize);

    void setPageSize(uint32_t pageSize);
    uint32_t pageSize() const { return pageSize_; }
    uint32_t pageCount() const;

    // Whole page n. Throws Error(Corrupt) when n is beyond the file.
    Page read(uint32_t n);
    // Raw bytes at an offset, for the header before the page size is known.
    void readRaw(uint64_t offset, uint8_t* out, size_t n);

    void dropCache();
    File& file() { return *file_; }

private:
    std::unique_ptr<File> file_;
    uint32_t pageSize_;
    uint64_t fileSize_;
    std::unordered_map<uint32_t, Page> cache_;
    std::vector<uint32_t> cacheOrder_;
};

}  // namespace jet
