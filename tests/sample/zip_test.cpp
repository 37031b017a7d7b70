// The in-memory ZIP writer: archives that libzip (and unzip) read back, byte-identical for
// the same input.
#include "sample/zip.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <ctime>
#include <fstream>
#include <string>

#include "helpers/testdata.h"

namespace tdv::sample {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

std::string readEntry(zip_t* archive, const char* name) {
    zip_stat_t st;
    if (zip_stat(archive, name, 0, &st) != 0) return "<missing>";
    zip_file_t* file = zip_fopen(archive, name, 0);
    if (file == nullptr) return "<unreadable>";
    std::string out(static_cast<size_t>(st.size), '\0');
    zip_int64_t n = zip_fread(file, out.data(), out.size());
    zip_fclose(file);
    return n == static_cast<zip_int64_t>(out.size()) ? out : "<short>";
}

TEST(ZipWriter, EntriesReadBackInOrderWithTheirContent) {
    std::string big(100000, 'x');
    for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 26);
    Files files = {
        {"log/Backup.log", "line one\r\nline two\r\n"}, {"empty.txt", ""}, {"big.bin", big}};
    std::vector<uint8_t> bytes = makeZip(files);
    ASSERT_GT(bytes.size(), 22u);
    EXPECT_EQ(bytes[0], 'P');
    EXPECT_EQ(bytes[1], 'K');
    EXPECT_LT(bytes.size(), big.size() / 2) << "entries are compressed";

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    ASSERT_NE(src, nullptr);
    zip_t* archive = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(archive, nullptr) << zip_error_strerror(&error);
    ASSERT_EQ(zip_get_num_entries(archive, 0), 3);
    EXPECT_STREQ(zip_get_name(archive, 0, 0), "log/Backup.log");
    EXPECT_STREQ(zip_get_name(archive, 2, 0), "big.bin");
    EXPECT_EQ(readEntry(archive, "log/Backup.log"), files[0].second);
    EXPECT_EQ(readEntry(archive, "empty.txt"), "");
    EXPECT_EQ(readEntry(archive, "big.bin"), big);
    zip_stat_t st;
    ASSERT_EQ(zip_stat_index(archive, 0, 0, &st), 0);
    ASSERT_TRUE(st.valid & ZIP_STAT_MTIME);
    std::tm when{};
    localtime_r(&st.mtime, &when);
    EXPECT_EQ(when.tm_year + 1900, 2000) << "fixed time stamp, not the clock";
    EXPECT_EQ(when.tm_mon, 0);
    zip_close(archive);
}

TEST(ZipWriter, SameInputGivesSameBytes) {
    Files files = {{"a.eml", "Subject: hello\r\n\r\nbody\r\n"}, {"b.txt", "b"}};
    EXPECT_EQ(makeZip(files), makeZip(files));
    Files other = files;
    other[1].second = "c";
    EXPECT_NE(makeZip(files), makeZip(other));
}

TEST(ZipWriter, EmptyArchiveIsValidForUnzip) {
    std::vector<uint8_t> bytes = makeZip({});
    ASSERT_EQ(bytes.size(), 22u);
    test::TempDir dir;
    auto path = dir.path() / "empty.zip";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    zip_error_t error;
    zip_error_init(&error);
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    ASSERT_NE(archive, nullptr) << code;
    EXPECT_EQ(zip_get_num_entries(archive, 0), 0);
    zip_close(archive);
}

}  // namespace
}  // namespace tdv::sample
