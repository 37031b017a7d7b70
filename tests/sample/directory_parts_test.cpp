// The pieces of the sample directory: WAV recordings, names and aliases, the random source,
// and the text and flag forms of the older files.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "sample/directory_names.h"
#include "sample/directory_random.h"
#include "sample/directory_table.h"
#include "sample/wav.h"

namespace tdv::sample {
namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
std::string fourCC(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

TEST(SampleWav, Pcm16HeaderDescribesTheData) {
    ToneShape shape;
    shape.encoding = WavEncoding::Pcm16;
    shape.milliseconds = 250;
    const auto wav = makeToneWav(shape);
    ASSERT_EQ(wav.size(), 44u + 2000 * 2);
    EXPECT_EQ(fourCC(wav, 0), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(fourCC(wav, 8), "WAVE");
    EXPECT_EQ(fourCC(wav, 12), "fmt ");
    EXPECT_EQ(le16(wav, 20), 1);      // PCM
    EXPECT_EQ(le16(wav, 22), 1);      // mono
    EXPECT_EQ(le32(wav, 24), 8000u);  // sample rate
    EXPECT_EQ(le32(wav, 28), 16000u);
    EXPECT_EQ(le16(wav, 32), 2);
    EXPECT_EQ(le16(wav, 34), 16);
    EXPECT_EQ(fourCC(wav, 36), "data");
    EXPECT_EQ(le32(wav, 40), 4000u);
    // Soft start, a loud middle: the tone is audible and does not click.
    const auto sample = [&](size_t i) { return static_cast<int16_t>(le16(wav, 44 + 2 * i)); };
    EXPECT_EQ(sample(0), 0);
    int peak = 0;
    for (size_t i = 900; i < 1100; ++i) peak = std::max(peak, std::abs(int{sample(i)}));
    EXPECT_GT(peak, 12000);
    EXPECT_LT(peak, 16500);
}

TEST(SampleWav, MuLawHasFactChunkAndOneBytePerSample) {
    ToneShape shape;
    shape.milliseconds = 100;
    const auto wav = makeToneWav(shape);
    EXPECT_EQ(le16(wav, 20), 7);  // mu-law
    EXPECT_EQ(le32(wav, 16), 18u);
    EXPECT_EQ(le16(wav, 34), 8);
    EXPECT_EQ(fourCC(wav, 38), "fact");
    EXPECT_EQ(le32(wav, 46), 800u);
    EXPECT_EQ(fourCC(wav, 50), "data");
    EXPECT_EQ(le32(wav, 54), 800u);
    EXPECT_EQ(wav.size(), 58u + 800);
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(makeToneWav(shape), wav);
}

TEST(SampleWav, MuLawCodesMatchG711) {
    EXPECT_EQ(muLawEncode(0), 0xFF);
    EXPECT_EQ(muLawEncode(-1), 0x7F);
    EXPECT_EQ(muLawEncode(32767), 0x80);
    EXPECT_EQ(muLawEncode(-32768), 0x00);
    EXPECT_EQ(muLawEncode(1000), 0xCE);
    EXPECT_EQ(muLawEncode(-1000), 0x4E);
}

TEST(SampleWav, StubsAreTheRequestedLength) {
    EXPECT_EQ(makeStubRecording(10).size(), 10u);
    EXPECT_EQ(makeStubRecording(11).size(), 11u);
    EXPECT_EQ(std::memcmp(makeStubRecording(4).data(), "RIFF", 4), 0);
}

TEST(SampleNames, FoldingAndAliases) {
    EXPECT_EQ(foldToAscii("Núñez"), "nunez");
    EXPECT_EQ(foldToAscii("O'Brien"), "obrien");
    EXPECT_EQ(foldToAscii("Weiß"), "weiss");
    EXPECT_EQ(foldToAscii("Van der Berg"), "vanderberg");
    AliasBook book;
    EXPECT_EQ(book.claim("jsmith"), "jsmith");
    EXPECT_EQ(book.claim("JSmith"), "JSmith2");
    EXPECT_EQ(book.claim("jsmith"), "jsmith3");
    EXPECT_FALSE(book.reserve("JSMITH3"));
    std::set<std::string> firsts(sampleFirstNames().begin(), sampleFirstNames().end());
    EXPECT_EQ(firsts.size(), sampleFirstNames().size()) << "no duplicate names";
    EXPECT_GE(sampleFirstNames().size() + sampleLastNames().size(), 200u);
}

TEST(SampleRandomSource, RepeatsPerSeedAndStream) {
    SampleRandom a = SampleRandom::forStream(1, 2), b = SampleRandom::forStream(1, 2);
    SampleRandom c = SampleRandom::forStream(1, 3);
    const uint64_t first = a.next();
    EXPECT_EQ(first, b.next());
    EXPECT_NE(first, c.next());
    const std::string guid = a.guidText();
    ASSERT_EQ(guid.size(), 38u);
    EXPECT_EQ(guid.front(), '{');
    EXPECT_EQ(guid[9], '-');
    EXPECT_EQ(guid[37], '}');
    for (int i = 0; i < 1000; ++i) {
        const int32_t v = a.between(-3, 3);
        ASSERT_TRUE(v >= -3 && v <= 3) << v;
    }
}

TEST(SampleText, Utf8BytesAreStoredOneCharacterEach) {
    SampleVariant plain, utf8;
    utf8.utf8Text = true;
    EXPECT_EQ(storedText(plain, "Zoë"), "Zoë");
    EXPECT_EQ(storedText(utf8, "plain ascii"), "plain ascii");
    // ë is C3 AB: Ã and «.
    EXPECT_EQ(storedText(utf8, "Zoë"), "ZoÃ«");
    // Ł is C5 81: Å and the undefined byte 0x81, kept as U+0081 as Windows does.
    EXPECT_EQ(storedText(utf8, "Ł"), "Å\xC2\x81");
    // ę is C4 99: Ä and ™ (0x99 in Windows-1252).
    EXPECT_EQ(storedText(utf8, "ę"), "Ä™");
}

TEST(SampleText, FlagsAreYesNoOrIntegerByVariant) {
    SampleVariant yesNo, integer;
    integer.flagsAsInteger = true;
    TableBuilder a(yesNo, "T"), b(integer, "T");
    const int fa = a.nullableFlag("F"), fb = b.nullableFlag("F");
    EXPECT_EQ(a.nullableFlag("Gone", false), -1);
    auto& ra = a.addRow();
    auto& rb = b.addRow();
    a.setFlag(ra, fa, std::nullopt);
    b.setFlag(rb, fb, std::nullopt);
    EXPECT_EQ(ra[0], jet::Value(jet::Value::Storage(false)));
    EXPECT_TRUE(rb[0].isNull());
    b.setFlag(rb, fb, true);
    EXPECT_EQ(rb[0], jet::Value(jet::Value::Storage(int16_t{-1})));
    const auto ta = a.take(), tb = b.take();
    EXPECT_EQ(ta.table.columns[0].type, jet::ColumnType::Boolean);
    EXPECT_EQ(tb.table.columns[0].type, jet::ColumnType::Integer);
    EXPECT_EQ(ta.table.columns.size(), 1u);
}

}  // namespace
}  // namespace tdv::sample
