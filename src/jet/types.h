// Small value types shared by the engine's layers: the file's Jet version, what its header
// says, and which columns a row decoder fills. Kept apart from database.h so the low-level
// readers and writers can use them without depending on the Database facade above them.
#pragma once

#include <cstdint>
#include <vector>

namespace jet {

enum class JetVersion { Jet3 = 3, Jet4 = 4 };

struct DatabaseInfo {
    JetVersion version = JetVersion::Jet4;
    uint32_t pageSize = 4096;
    uint32_t pageCount = 0;
    uint16_t codePage = 1252;  // code page of Jet 3 text
    // Database sort order id (Jet 4 General Legacy and Jet 3 General 97 are both 0x409).
    uint16_t sortOrder = 0;
    uint32_t sortOrderVersion = 0;
};

// Which columns a scan decodes. Empty = all.
using ColumnMask = std::vector<bool>;

}  // namespace jet
