// The database definition page (page 0): file signature, Jet version, page size, and the
// RC4-masked region holding the code page and sort order.
#pragma once

#include <cstdint>

#include "jet/format.h"
#include "jet/types.h"

namespace jet {

class PageFile;

// Reads page 0 and sets the page file's page size. Throws Error NotADatabase (no Jet
// signature, file too short), Unsupported (a newer engine version) or Io.
DatabaseInfo readDatabaseInfo(PageFile& pages);

// Masks or unmasks (RC4 is its own inverse) the protected region of a definition page
// held in `page` (at least format.maskedOffset + format.maskedSize bytes).
void applyHeaderMask(uint8_t* page, const Format& format);

}  // namespace jet
