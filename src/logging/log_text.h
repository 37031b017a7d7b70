// Text forms of the remap logs: UTF-8 text to the Windows-1252 bytes written into a log, and
// a local calendar time as the date number the program's date texts are made from.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tdv::logging {

// The Windows-1252 bytes of UTF-8 text; a character the code page lacks, and a byte that is
// not part of valid UTF-8, becomes "?".
std::string toLogBytes(std::string_view utf8);
// Whether toLogBytes keeps every character of the text (it is valid UTF-8 and Windows-1252
// has a byte for each of its characters).
bool fitsLogCodePage(std::string_view utf8);

// Days since 12/30/1899 with the time of day as the fraction, for a broken-down local time.
double oleDateOfLocalTime(const std::tm& local);

}  // namespace tdv::logging
