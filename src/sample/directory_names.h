// Built-in people's names for sample directories, and aliases made from them.
//
// The name lists mix common English, Spanish, French, German and Nordic names, some with
// apostrophes (O'Brien) and letters outside ASCII (José, Müller, Núñez), as a real company
// directory holds. Aliases are ASCII: letters are folded (é -> e, ß -> ss), everything else
// but letters and digits dropped, and AliasBook makes them unique ignoring letter case, as
// the servers require.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tdv::sample {

const std::vector<std::string>& sampleFirstNames();
const std::vector<std::string>& sampleLastNames();

// Lower-case ASCII form of a UTF-8 name: Latin letters folded, other characters dropped.
std::string foldToAscii(std::string_view utf8);

// Hands out unique aliases (compared without regard to case).
class AliasBook {
public:
    // base, or base2, base3 ... when base is taken; base must not be empty.
    std::string claim(const std::string& base);
    // Reserves an exact alias; false when it was taken already.
    bool reserve(const std::string& alias);

private:
    std::unordered_set<std::string> taken_;  // lower-case
};

}  // namespace tdv::sample
