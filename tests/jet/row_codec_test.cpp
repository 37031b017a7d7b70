// Decoding rows built by hand: both row layouts, the Jet 3 jump table, columns added after
// a row was written, long value chains, and rows whose structure does not fit their bytes.
#include "jet/row_codec.h"

#include <gtest/gtest.h>

#include "jet/data_page.h"
#include "jet/memory_file.h"

using namespace jet;

namespace {

ColumnDef fixedCol(const char* name, ColumnType t, uint16_t number, uint16_t offset) {
    ColumnDef c;
    c.name = name;
    c.type = t;
    c.number = number;
    c.fixed = true;
    c.fixedOffset = offset;
    c.length = static_cast<uint16_t>(fixedSizeOf(t));
    return c;
}

ColumnDef varCol(const char* name, ColumnType t, uint16_t number, uint16_t varIndex) {
    ColumnDef c;
    c.name = name;
    c.type = t;
    c.number = number;
    c.fixed = false;
    c.varIndex = varIndex;
    c.length = 255;
    return c;
}

// Long (fixed), two Text columns (variable), a Boolean.
TableDef sampleTable() {
    TableDef t;
    t.name = "T";
    t.columns = {fixedCol("id", ColumnType::Long, 0, 0), varCol("a", ColumnType::Text, 1, 0),
                 varCol("b", ColumnType::Text, 2, 1), fixedCol("flag", ColumnType::Boolean, 3, 0)};
    t.variableColumnCount = 2;
    t.maxColumnNumber = 4;
    return t;
}

struct Fixture {
    explicit Fixture(const Format& f, std::vector<uint8_t> pageBytes = {})
        : format(f),
          text(f.textEncoding, 1252),
          pages(std::make_unique<MemoryFile>(pageBytes.empty() ? std::vector<uint8_t>(f.pageSize)
                                                               : std::move(pageBytes)),
                f.pageSize),
          longValues(pages, f) {}
    std::vector<Value> decode(const TableDef& t, const std::vector<uint8_t>& row,
                              const ColumnMask& mask = {}) {
        RowCodec codec(t, format, text, mask);
        std::vector<Value> out;
        codec.decode(ByteView(row.data(), row.size()), longValues, out);
        return out;
    }
    const Format& format;
    TextDecoder text;
    PageFile pages;
    LongValueReader longValues;
};

std::string str(const Value& v) {
    return v.get<Text>().utf8;
}

}  // namespace

TEST(RowCodec, Jet3RowWithJumpTable) {
    // [cols=4][id: 4 bytes][a: 300 bytes at 5][b: "hello" at 305][offsets][jump][count][mask]
    std::vector<uint8_t> row = {4, 0x2A, 0, 0, 0};
    row.insert(row.end(), 300, 'x');
    for (char c : std::string("hello")) row.push_back(static_cast<uint8_t>(c));
    // Offsets stored last column first: end of data 310, b at 305, a at 5 (low bytes only).
    row.push_back(310 & 0xFF);
    row.push_back(305 & 0xFF);
    row.push_back(5);
    row.push_back(1);     // jump table: offsets from variable column 1 on are past 256
    row.push_back(2);     // two variable columns in this row
    row.push_back(0x0F);  // all four present; Boolean true
    ASSERT_EQ(row.size(), 316u);
    Fixture fx(jet3Format());
    auto v = fx.decode(sampleTable(), row);
    EXPECT_EQ(v[0].get<int32_t>(), 42);
    EXPECT_EQ(str(v[1]), std::string(300, 'x'));
    EXPECT_EQ(str(v[2]), "hello");
    EXPECT_TRUE(v[3].get<bool>());
}

TEST(RowCodec, Jet4RowNullsAndCompressedText) {
    // [cols=4 (2 bytes)][id][a: compressed "hi" at 6][b: Null][offsets: eod, b, a][count][mask]
    std::vector<uint8_t> row = {4, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 'h', 'i'};
    for (uint16_t off : {10, 10, 6}) {
        row.push_back(static_cast<uint8_t>(off));
        row.push_back(static_cast<uint8_t>(off >> 8));
    }
    row.push_back(2);
    row.push_back(0);
    row.push_back(0x03);  // id and a present, b Null, Boolean false
    Fixture fx(jet4Format());
    auto v = fx.decode(sampleTable(), row);
    EXPECT_EQ(v[0].get<int32_t>(), -1);
    EXPECT_EQ(str(v[1]), "hi");
    EXPECT_TRUE(v[2].isNull());
    EXPECT_FALSE(v[3].get<bool>());
    // A mask leaves the other columns Null without decoding them.
    auto masked = fx.decode(sampleTable(), row, {false, true, false, false});
    EXPECT_TRUE(masked[0].isNull());
    EXPECT_EQ(str(masked[1]), "hi");
}

TEST(RowCodec, ColumnsAddedAfterTheRowWasWrittenReadAsNull) {
    // The row knows two columns (id, a) and one variable column.
    std::vector<uint8_t> row = {2, 0, 7, 0, 0, 0, 'o', 0, 'k', 0};
    for (uint16_t off : {10, 6}) {
        row.push_back(static_cast<uint8_t>(off));
        row.push_back(static_cast<uint8_t>(off >> 8));
    }
    row.push_back(1);
    row.push_back(0);
    row.push_back(0x03);
    Fixture fx(jet4Format());
    auto v = fx.decode(sampleTable(), row);
    EXPECT_EQ(v[0].get<int32_t>(), 7);
    EXPECT_EQ(str(v[1]), "ok");
    EXPECT_TRUE(v[2].isNull());
    EXPECT_FALSE(v[3].get<bool>());
}

TEST(RowCodec, RowsThatDoNotFitTheirBytesAreDamage) {
    Fixture fx(jet4Format());
    TableDef t = sampleTable();
    EXPECT_THROW(fx.decode(t, {}), Error);
    EXPECT_THROW(fx.decode(t, {200, 0}), Error);  // 200 columns: no room for the null mask
    // A variable offset pointing past the row.
    std::vector<uint8_t> row = {4, 0, 1, 0, 0, 0, 'a', 0};
    for (uint16_t off : {0x0FFF, 8, 6}) {
        row.push_back(static_cast<uint8_t>(off));
        row.push_back(static_cast<uint8_t>(off >> 8));
    }
    row.push_back(2);
    row.push_back(0);
    row.push_back(0x07);
    try {
        fx.decode(t, row);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
    }
    // A fixed column beyond the row.
    t.columns[0].fixedOffset = 500;
    row[row.size() - 1] = 0x01;
    EXPECT_THROW(fx.decode(t, row), Error);
}

namespace {

// A Jet 4 file of two pages whose page 1 is a data page holding the given rows.
std::vector<uint8_t> pageWithRows(const std::vector<std::vector<uint8_t>>& rows) {
    const Format& f = jet4Format();
    std::vector<uint8_t> file(2 * f.pageSize);
    uint8_t* p = file.data() + f.pageSize;
    p[0] = pagetype::kData;
    p[f.dataRowCountOffset] = static_cast<uint8_t>(rows.size());
    size_t end = f.pageSize;
    for (size_t i = 0; i < rows.size(); ++i) {
        size_t start = end - rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(), p + start);
        p[f.dataRowTableOffset + 2 * i] = static_cast<uint8_t>(start);
        p[f.dataRowTableOffset + 2 * i + 1] = static_cast<uint8_t>(start >> 8);
        end = start;
    }
    return file;
}

std::vector<uint8_t> link(uint32_t page, uint8_t row, const std::string& data) {
    std::vector<uint8_t> out = {row, static_cast<uint8_t>(page), 0, 0};
    for (char c : data) out.push_back(static_cast<uint8_t>(c));
    return out;
}

std::vector<uint8_t> reference(uint32_t lengthAndFlags, uint32_t page, uint8_t row) {
    return {static_cast<uint8_t>(lengthAndFlags),
            static_cast<uint8_t>(lengthAndFlags >> 8),
            static_cast<uint8_t>(lengthAndFlags >> 16),
            static_cast<uint8_t>(lengthAndFlags >> 24),
            row,
            static_cast<uint8_t>(page),
            0,
            0,
            0,
            0,
            0,
            0};
}

Bytes readLong(Fixture& fx, std::vector<uint8_t> field) {
    Bytes out;
    fx.longValues.read(ByteView(field.data(), field.size()), out);
    return out;
}

}  // namespace

TEST(LongValues, InlineSinglePageAndChains) {
    Fixture fx(
        jet4Format(),
        pageWithRows({link(1, 1, "hello "), link(0, 0, "world"), {'s', 'i', 'n', 'g', 'l', 'e'}}));
    auto inl = reference(longvalue::kInline | 3, 0, 0);
    for (uint8_t c : {'a', 'b', 'c'}) inl.push_back(c);
    EXPECT_EQ(readLong(fx, inl), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(readLong(fx, reference(longvalue::kSinglePage | 6, 1, 2)),
              (Bytes{'s', 'i', 'n', 'g', 'l', 'e'}));
    Bytes chain = readLong(fx, reference(11, 1, 0));
    EXPECT_EQ(std::string(chain.begin(), chain.end()), "hello world");
    EXPECT_EQ(LongValueReader::declaredLength(ByteView(inl.data(), inl.size())), 3u);
}

TEST(LongValues, DamagedReferencesAndChains) {
    Fixture fx(jet4Format(), pageWithRows({link(1, 1, "ab"), link(1, 0, "cd")}));
    EXPECT_THROW(readLong(fx, reference(100, 1, 0)), Error);                         // loops
    EXPECT_THROW(readLong(fx, reference(longvalue::kInline | 50, 0, 0)), Error);     // too long
    EXPECT_THROW(readLong(fx, reference(longvalue::kSinglePage | 5, 9, 0)), Error);  // no page 9
    EXPECT_THROW(readLong(fx, reference(longvalue::kSinglePage | 5, 1, 7)), Error);  // no row 7
    EXPECT_THROW(readLong(fx, reference(longvalue::kSinglePage | 99, 1, 1)), Error);
    EXPECT_THROW(readLong(fx, reference(0x3FFFFFFF, 1, 0)), Error);  // larger than the file
    EXPECT_THROW(readLong(fx, reference(4, 0, 0)), Error);           // page 0 is not data
    EXPECT_THROW(readLong(fx, {1, 2, 3}), Error);                    // reference cut short
}
