// In-memory ZIP archives for sample backups (log archives, e-mail messages).
//
// makeZip builds a whole archive from (name, content) pairs in the given order, with
// deflate compression and one fixed modification time for every entry, so the same input
// always gives the same bytes. Names are stored as given (use '/' for folders). Failures of
// the ZIP library raise jet::Error (kind Internal).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tdv::sample {

std::vector<uint8_t> makeZip(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace tdv::sample
