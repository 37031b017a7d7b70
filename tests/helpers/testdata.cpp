#include "helpers/testdata.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace tdv::test {

fs::path testdataDir() {
    return TDV_TESTDATA_DIR;
}
fs::path referenceDir() {
    return TDV_REFERENCE_DIR;
}

std::vector<fs::path> allTestDatabases() {
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(testdataDir())) {
        if (e.is_regular_file() && e.path().extension() == ".mdb") out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "tdv-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempDir::copy(const fs::path& file) const {
    fs::path dest = path_ / file.filename();
    fs::copy_file(file, dest, fs::copy_options::overwrite_existing);
    fs::permissions(dest, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return dest;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

CommandResult runCommand(const std::string& commandLine) {
    TempDir tmp;
    fs::path outFile = tmp.path() / "out", errFile = tmp.path() / "err";
    std::string full = "(" + commandLine + ") >" + shellQuote(outFile.string()) + " 2>" +
                       shellQuote(errFile.string());
    int rc = std::system(full.c_str());
    CommandResult r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    auto slurp = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    return r;
}

CommandResult runTdv(const std::string& args) {
    return runCommand(shellQuote(TDV_BINARY) + " " + args);
}

bool damageLongValueLength(const fs::path& file, uint32_t size) {
    std::fstream io(file, std::ios::in | std::ios::out | std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(io)), std::istreambuf_iterator<char>());
    std::vector<size_t> found;
    for (uint32_t flags : {0x80000000u, 0x40000000u, 0u}) {
        const uint32_t word = size | flags;
        const char le[4] = {static_cast<char>(word), static_cast<char>(word >> 8),
                            static_cast<char>(word >> 16), static_cast<char>(word >> 24)};
        for (size_t at = bytes.find(le, 0, 4); at != std::string::npos;
             at = bytes.find(le, at + 1, 4))
            found.push_back(at);
    }
    if (found.size() != 1) return false;
    const auto wrong = static_cast<char>(static_cast<unsigned char>(bytes[found[0] + 2]) + 0x10);
    io.clear();
    io.seekp(static_cast<std::streamoff>(found[0] + 2));
    io.write(&wrong, 1);
    return static_cast<bool>(io.flush());
}

}  // namespace tdv::test
