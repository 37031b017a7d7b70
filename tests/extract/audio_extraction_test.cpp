#include "extract/audio_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <cerrno>

#include "catalog/form_harness.h"
#include "extract/recordings.h"
#include "extract/wav_decode.h"
#include "helpers/fault_fs.h"
#include "jet/memory_file.h"
#include "sample/wav.h"

namespace tdv::extract {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes blob(size_t size, uint8_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + i / 256);
    return b;
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

test::BackupFixture directory() {
    test::BackupFixture db;
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .ole("VoiceName")
        .text("CallHandlerObjectID")
        .row({"{S1}", " a b/c?d*e\\f ", blob(11, 1), "{H1}"})
        .row({"{S2}", "o'brien", blob(10, 2), "{H2}"})
        .row({"{S3}", "nulls", nullptr, "{H3}"});
    db.table("MessagingRules")
        .text("ParentObjectID")
        .text("Alias")
        .ole("Greeting")
        .row({"{H1}", "Standard", blob(5001, 3)})
        .row({"{H1}", "Off", blob(10, 4)})
        .row({"{H1}", "Busy", nullptr})
        .row({"{H2}", "Standard", blob(4999, 5)})
        .row({"{H9}", "Alternate", blob(300, 6)});
    db.table("QRN_GreetingStreams")
        .text("CallHandlerObjectID")
        .text("GreetingType")
        .longInt("LanguageCode")
        .ole("Greeting")
        .row({"{H1}", "Standard", 33801, blob(12, 7)})
        .row({"{H1}", "Busy", nullptr, blob(20, 8)})
        .row({"{H9}", "Alternate", 1033, blob(5000, 9)});
    db.table("CallHandlers")
        .text("ObjectID")
        .text("TextName")
        .ole("VoiceName")
        .row({"{H9}", "Opening Greeting", blob(10001, 10)});
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("DisplayName")
        .ole("VoiceName")
        .row({"{D1}", "Main Dir*", blob(64, 11)});
    db.table("QRN_DirectoryHandlerGreetings")
        .text("DirectoryHandlerObjectID")
        .longInt("LanguageCode")
        .ole("Greeting")
        .row({"{D1}", 1033, blob(5000, 12)})
        .row({"{D1}", 1031, blob(3, 13)});
    db.table("Interviewers")
        .text("ObjectID")
        .text("DisplayName")
        .ole("VoiceName")
        .row({"{I1}", "Survey?", nullptr});
    db.table("InterviewQuestions")
        .text("ParentObjectID")
        .text("Alias")
        .ole("Stream")
        .row({"{I1}", "Q1", blob(0, 0)})
        .row({"{I1}", "Q2", blob(999, 14)});
    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("Alias")
        .ole("VoiceName")
        .row({"{L1}", "all users", blob(11, 15)});
    return db;
}

class AudioExtraction : public ::testing::Test {
protected:
    void SetUp() override {
        h.open(directory());
        h.state.appFolder = (h.dir.path() / "home").string();
        folder = h.dir.path() / "home" / "WAVExtraction";
    }

    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
        return names;
    }

    test::FormHarness h;
    fs::path folder;
};

TEST(WavBaseName, RemovesAndReplacesTheCharactersFileNamesCannotHold) {
    EXPECT_EQ(wavBaseName("a b/c?d*e"), "abc_d_e");
    EXPECT_EQ(wavBaseName("o'brien"), "o''brien");
    // The design's own quote step: a stored pair stays a pair (not the SQL quoting).
    EXPECT_EQ(wavBaseName("o''brien"), "o''brien");
    EXPECT_EQ(wavBaseName("Jack''s Team"), "Jack''sTeam");
    // Text is UTF-8 once: no second encoding of non-ASCII letters.
    EXPECT_EQ(wavBaseName("\xE6\xBC\xA2\xE5\xAD\x97"), "\xE6\xBC\xA2\xE5\xAD\x97");
    EXPECT_EQ(wavBaseName(" x\\y\tz "), "xyz");
    EXPECT_EQ(wavBaseName(""), "");
}

TEST_F(AudioExtraction, UserOlderProductWritesVoiceNameAndGreetingsAboveTenBytes) {
    PullSubscriberWAVFiles(h.form, "{S1}");
    EXPECT_EQ(files(),
              (std::set<std::string>{"abc_d_ef_VoiceName.wav", "abc_d_ef_Greeting_Standard_.wav"}));
    EXPECT_EQ(readFile(folder / "abc_d_ef_VoiceName.wav"), blob(11, 1));
    EXPECT_EQ(readFile(folder / "abc_d_ef_Greeting_Standard_.wav"), blob(5001, 3));
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.opened, (std::vector<std::string>{folder.string()}));
}

TEST_F(AudioExtraction, TenByteVoiceNameIsNoRecordingAndQuotesAreDoubled) {
    PullSubscriberWAVFiles(h.form, "{S2}");
    EXPECT_EQ(files(), (std::set<std::string>{"o''brien_Greeting_Standard_.wav"}));
    EXPECT_EQ(readFile(folder / "o''brien_Greeting_Standard_.wav"), blob(4999, 5));
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST_F(AudioExtraction, NullRecordingsAndNoGreetingsWriteNothingButOpenTheFolder) {
    PullSubscriberWAVFiles(h.form, "{S3}");
    EXPECT_TRUE(files().empty());
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.opened.size(), 1u);
}

TEST_F(AudioExtraction, NewerProductNamesTheLanguageAndReportsANullCode) {
    h.newerProduct(7, 0, 1, 3, 1);
    PullSubscriberWAVFiles(h.form, "{S1}");
    EXPECT_EQ(files(),
              (std::set<std::string>{"abc_d_ef_VoiceName.wav", "abc_d_ef_Greeting_Standard_ENX.wav",
                                     "abc_d_ef_Greeting_Busy_.wav"}));
    EXPECT_EQ(readFile(folder / "abc_d_ef_Greeting_Standard_ENX.wav"), blob(12, 7));
    EXPECT_EQ(readFile(folder / "abc_d_ef_Greeting_Busy_.wav"), blob(20, 8));
    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(h.ui.boxes[0].text, "Error in PullSubscriberWAVFiles:Invalid use of Null");
}

TEST_F(AudioExtraction, CallHandlerByProduct) {
    PullHandlerWAVFiles(h.form, "{H9}");
    EXPECT_EQ(files(), (std::set<std::string>{"OpeningGreeting_VoiceName.wav",
                                              "OpeningGreeting_Greeting_Alternate_.wav"}));
    EXPECT_EQ(readFile(folder / "OpeningGreeting_VoiceName.wav"), blob(10001, 10));
    EXPECT_EQ(readFile(folder / "OpeningGreeting_Greeting_Alternate_.wav"), blob(300, 6));

    h.newerProduct(7, 0, 1, 3, 1);
    PullHandlerWAVFiles(h.form, "{H9}");
    EXPECT_EQ(files(), (std::set<std::string>{"OpeningGreeting_VoiceName.wav",
                                              "OpeningGreeting_Greeting_Alternate_ENU.wav"}));
    EXPECT_EQ(readFile(folder / "OpeningGreeting_Greeting_Alternate_ENU.wav"), blob(5000, 9));
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST_F(AudioExtraction, DirectoryHandlerNamesByLanguageCode) {
    PullNameLookupWAVFiles(h.form, "{D1}");
    EXPECT_EQ(files(),
              (std::set<std::string>{"VoiceName_MainDir_.wav", "Greeting_1033_MainDir_.wav"}));
    EXPECT_EQ(readFile(folder / "Greeting_1033_MainDir_.wav"), blob(5000, 12));
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.opened.size(), 1u);
}

TEST_F(AudioExtraction, DirectoryHandlerNotFoundStopsBeforeTheExplorer) {
    PullNameLookupWAVFiles(h.form, "{D1}");
    h.ui.opened.clear();
    PullNameLookupWAVFiles(h.form, "{nope}");
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{"Directory handler not found with ObjectID={nope}"}));
    EXPECT_TRUE(files().empty());  // emptied before the lookup
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST(AudioExtractionOlderFile, DirectoryHandlerWithoutGreetingTableReportsAndStillOpens) {
    test::FormHarness h;
    test::BackupFixture db;
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("DisplayName")
        .ole("VoiceName")
        .row({"{D1}", "Dir", blob(40, 1)});
    h.open(db);
    h.state.appFolder = (h.dir.path() / "home").string();
    PullNameLookupWAVFiles(h.form, "{D1}");
    const fs::path folder = h.dir.path() / "home" / "WAVExtraction";
    EXPECT_EQ(readFile(folder / "VoiceName_Dir.wav"), blob(40, 1));
    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(h.ui.boxes[0].text.rfind("Error in PullNameLookupWAVFiles:", 0), 0u);
    // That product has no directory handler greetings: the voice name is the whole result.
    EXPECT_EQ(h.ui.opened, (std::vector<std::string>{folder.string()}));
}

// The extraction folder is the program's own: a link there is refused before anything is
// deleted, and nothing is written through it.
TEST_F(AudioExtraction, ALinkedExtractionFolderIsRefusedAndItsTargetKept) {
    const fs::path elsewhere = h.dir.path() / "elsewhere";
    fs::create_directories(elsewhere);
    std::ofstream(elsewhere / "precious.wav") << "keep";
    fs::create_directories(folder.parent_path());
    fs::create_directory_symlink(elsewhere, folder);
    const WavExtraction result = PullSubscriberWAVFiles(h.form, "{S1}");
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.written.empty());
    ASSERT_EQ(h.ui.boxes.size(), 1u) << ::testing::PrintToString(h.ui.texts());
    EXPECT_NE(h.ui.boxes[0].text.find(folder.string() + "' is a link"), std::string::npos)
        << h.ui.boxes[0].text;
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::exists(elsewhere / "precious.wav"));
    EXPECT_TRUE(h.ui.opened.empty());
}

// Clearing removes only recordings: never the open backup (also under a recording's name),
// another Access file, a link or a file of another kind.
TEST_F(AudioExtraction, ClearingKeepsTheBackupAndEverythingNotARecording) {
    fs::create_directories(folder);
    fs::create_hard_link(h.state.strMDBFilePath, folder / "held.wav");
    const Bytes backup = readFile(h.state.strMDBFilePath);
    std::ofstream(folder / "notes.txt") << "mine";
    std::ofstream(folder / "old.wav") << "old";
    std::ofstream(h.dir.path() / "target.wav") << "target";
    fs::create_symlink(h.dir.path() / "target.wav", folder / "link.wav");
    PullDistributionListWAVFiles(h.form, "{L1}");
    EXPECT_EQ(files(), (std::set<std::string>{"allusers_VoiceName.wav", "held.wav", "link.wav",
                                              "notes.txt"}));
    EXPECT_EQ(readFile(folder / "held.wav"), backup);
    EXPECT_EQ(readFile(h.dir.path() / "target.wav"), Bytes({'t', 'a', 'r', 'g', 'e', 't'}));
    EXPECT_TRUE(h.ui.boxes.empty()) << ::testing::PrintToString(h.ui.texts());
}

TEST_F(AudioExtraction, InterviewerQuestionsAndDistributionList) {
    PullInterviewerWAVFiles(h.form, "{I1}");
    EXPECT_EQ(files(), (std::set<std::string>{"Survey__Question_Q2.wav"}));
    EXPECT_EQ(readFile(folder / "Survey__Question_Q2.wav"), blob(999, 14));

    PullDistributionListWAVFiles(h.form, "{L1}");
    EXPECT_EQ(files(), (std::set<std::string>{"allusers_VoiceName.wav"}));
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.opened.size(), 2u);
}

TEST_F(AudioExtraction, SecondExtractionKeepsOnlyReadOnlyLeftovers) {
    PullSubscriberWAVFiles(h.form, "{S1}");
    fs::permissions(folder / "abc_d_ef_VoiceName.wav", fs::perms::owner_read,
                    fs::perm_options::replace);
    fs::create_directory(folder / "sub");
    PullDistributionListWAVFiles(h.form, "{L1}");
    EXPECT_EQ(files(),
              (std::set<std::string>{"abc_d_ef_VoiceName.wav", "allusers_VoiceName.wav", "sub"}));
}

TEST(AudioExtractionNames, NamesFromTheBackupStayInsideTheFolderAndApart) {
    test::FormHarness h;
    test::BackupFixture db;
    std::string cyrillic;
    for (int i = 0; i < 64; ++i) cyrillic += "\xD0\x96";  // 64 times the letter Zhe
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .ole("VoiceName")
        .text("CallHandlerObjectID")
        .row({"{S1}", "jsmith", blob(11, 1), "{H1}"})
        .row({"{S2}", cyrillic, blob(11, 2), "{H2}"})
        .row({"{S3}", "a\x1b[31mb\x07", blob(11, 7), "{H3}"});
    db.table("MessagingRules")
        .text("ParentObjectID")
        .text("Alias")
        .ole("Greeting")
        .row({"{H1}", "Std/../../../../escaped", blob(30, 3)})
        .row({"{H1}", "Std_.._.._.._.._escaped", blob(31, 4)})
        .row({"{H1}", "..", blob(32, 5)})
        .row({"{H2}", cyrillic, blob(33, 6)});
    h.open(db);
    h.state.appFolder = (h.dir.path() / "home").string();
    const fs::path folder = h.dir.path() / "home" / "WAVExtraction";

    const WavExtraction result = PullSubscriberWAVFiles(h.form, "{S1}");
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(h.ui.boxes.empty()) << ::testing::PrintToString(h.ui.texts());
    ASSERT_EQ(result.written.size(), 4u);
    for (const auto& path : result.written) EXPECT_EQ(fs::path(path).parent_path(), folder) << path;
    EXPECT_EQ(readFile(folder / "jsmith_Greeting_Std_.._.._.._.._escaped_.wav"), blob(30, 3));
    EXPECT_EQ(readFile(folder / "jsmith_Greeting_Std_.._.._.._.._escaped__2.wav"), blob(31, 4));
    EXPECT_EQ(readFile(folder / "jsmith_Greeting_.._.wav"), blob(32, 5));
    EXPECT_FALSE(fs::exists(h.dir.path() / "escaped_.wav"));

    const WavExtraction longNames = PullSubscriberWAVFiles(h.form, "{S2}");
    EXPECT_FALSE(longNames.failed);
    ASSERT_EQ(longNames.written.size(), 2u);
    for (const auto& path : longNames.written) {
        const std::string name = fs::path(path).filename().string();
        EXPECT_LE(name.size(), 255u);
        EXPECT_TRUE(fs::exists(path));
    }
    // A name cut to the limit loses part of the alias, never what says what the file is.
    EXPECT_TRUE(longNames.written[0].ends_with("\xD0\x96_VoiceName.wav")) << longNames.written[0];
    EXPECT_TRUE(longNames.written[1].ends_with("_Greeting_" + cyrillic + "_.wav"))
        << longNames.written[1];

    // Control characters never reach a file name.
    const WavExtraction control = PullSubscriberWAVFiles(h.form, "{S3}");
    EXPECT_EQ(control.written,
              (std::vector<std::string>{(folder / "a_[31mb__VoiceName.wav").string()}));
}

TEST_F(AudioExtraction, AFullDiskIsToldOnceAndNothingIsPresented) {
    jet::MemoryFileSystem disk;
    test::FaultFileSystem full(disk);
    full.failWrite(3, ENOSPC, true);  // the folder, the file, then its first write
    h.ui.files = &full;
    const WavExtraction result = PullSubscriberWAVFiles(h.form, "{S1}");
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.written.empty());
    EXPECT_TRUE(disk.names().empty());
    const auto texts = h.ui.texts();
    // One failure, one message, naming the file.
    ASSERT_EQ(texts.size(), 1u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0], "(error) 61 (Disk full: '" + (folder / "abc_d_ef_VoiceName.wav").string() +
                            "' could not be written) in procedure bunPackWAVFile of Module "
                            "modZerithDB");
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST_F(AudioExtraction, ButtonDispatchesByTypeAndRefusesOthers) {
    h.form.myGrid.setCols(6);
    h.form.myGrid.setRows(2);
    h.form.myGrid.setRow(1);
    h.form.myGrid.setTextMatrix(1, 3, "{L1}");
    h.form.cmbObjectType = app::kDistributionLists;
    cmdFetchAllWAVFiles_Click(h.form);
    EXPECT_EQ(files(), (std::set<std::string>{"allusers_VoiceName.wav"}));

    for (int type :
         {int{app::kSchedules}, int{app::kBackupDetails}, int{app::kExtractExportLog}, -1}) {
        h.ui.boxes.clear();
        h.form.cmbObjectType = type;
        EXPECT_TRUE(cmdFetchAllWAVFiles_Click(h.form).failed);
        EXPECT_EQ(h.ui.texts(),
                  (std::vector<std::string>{"Invalid object type for WAV file extraction!"}));
    }
}

// Playing in the window reads the same recordings the button extracts, into memory.
TEST_F(AudioExtraction, RecordingsToPlayAreThoseTheButtonExtractsAndNoFileIsWritten) {
    auto labels = [](const Recordings& r) {
        std::vector<std::string> out;
        for (const Recording& item : r.items) out.push_back(item.label);
        return out;
    };
    h.form.myGrid.setCols(6);
    h.form.myGrid.setRows(2);
    h.form.myGrid.setRow(1);
    h.form.cmbObjectType = app::kSubscribers;
    h.form.myGrid.setTextMatrix(1, 5, "{S1}");
    Recordings r = objectRecordings(h.form);
    EXPECT_EQ(labels(r), (std::vector<std::string>{"Voice name", "Greeting Standard"}));
    EXPECT_EQ(r.items[0].bytes, blob(11, 1));
    EXPECT_EQ(r.items[1].bytes, blob(5001, 3));

    h.form.cmbObjectType = app::kInterviewHandlers;
    h.form.myGrid.setTextMatrix(1, 3, "{I1}");
    EXPECT_EQ(labels(objectRecordings(h.form)), (std::vector<std::string>{"Question Q2"}));
    h.form.cmbObjectType = app::kDirectoryHandlers;
    h.form.myGrid.setTextMatrix(1, 3, "{D1}");
    EXPECT_EQ(labels(objectRecordings(h.form)),
              (std::vector<std::string>{"Voice name", "Greeting 1033"}));
    h.newerProduct(7, 0, 1, 3, 1);
    h.form.cmbObjectType = app::kCallHandlers;
    h.form.myGrid.setTextMatrix(1, 3, "{H9}");
    EXPECT_EQ(labels(objectRecordings(h.form)),
              (std::vector<std::string>{"Voice name", "Greeting Alternate ENU"}));

    // An ObjectID with an apostrophe is a value, not SQL; nothing recorded says so.
    h.form.myGrid.setTextMatrix(1, 3, "{H9}' OR 'a'='a");
    r = objectRecordings(h.form);
    EXPECT_TRUE(r.items.empty());
    EXPECT_EQ(r.error, "This object has no recordings.");
    h.form.cmbObjectType = app::kSchedules;
    EXPECT_EQ(objectRecordings(h.form).error, "Objects of this type have no recordings.");
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(WavDecode, TelephoneEncodingsDecodeToSixteenBitSamples) {
    EXPECT_EQ(muLawDecode(0xFF), 0);
    EXPECT_EQ(muLawDecode(0x00), -32124);
    EXPECT_EQ(muLawDecode(0x80), 32124);
    EXPECT_EQ(aLawDecode(0xD5), 8);
    EXPECT_EQ(aLawDecode(0x55), -8);
    EXPECT_EQ(aLawDecode(0xAA), 32256);
    for (int v : {-30000, -1000, -5, 0, 7, 999, 31000}) {
        const int back = muLawDecode(sample::muLawEncode(static_cast<int16_t>(v)));
        EXPECT_NEAR(back, v, std::abs(v) / 16 + 8) << v;
    }

    sample::ToneShape shape;
    shape.milliseconds = 250;
    DecodedWav d = decodeWav(sample::makeToneWav(shape));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.encoding, "G.711 mu-law, 8000 Hz, mono");
    EXPECT_EQ(d.audio.samples.size(), 2000u);
    EXPECT_GT(*std::max_element(d.audio.samples.begin(), d.audio.samples.end()), 1000);

    shape.encoding = sample::WavEncoding::Pcm16;
    Bytes pcm = sample::makeToneWav(shape);
    d = decodeWav(pcm);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.encoding, "16-bit PCM, 8000 Hz, mono");
    ASSERT_EQ(d.audio.samples.size(), 2000u);
    // The samples are the data chunk's, little-endian.
    const size_t data = pcm.size() - 4000;
    EXPECT_EQ(d.audio.samples[100], static_cast<int16_t>(pcm[data + 200] | pcm[data + 201] << 8));

    // A recording cut short plays as far as it goes; A-law is the same format with tag 6.
    Bytes alaw = sample::makeToneWav(sample::ToneShape{});
    alaw[20] = 6;
    alaw.resize(alaw.size() - 1000);
    d = decodeWav(alaw);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.encoding, "G.711 A-law, 8000 Hz, mono");
    EXPECT_EQ(d.audio.samples.size(), 3000u);

    // 8 kHz mono to a 48 kHz stereo output: six frames a sample, both channels alike.
    const PcmAudio out = converted(d.audio, 48000, 2);
    EXPECT_EQ(out.samples.size(), 3000u * 6 * 2);
    EXPECT_EQ(out.samples[12], d.audio.samples[1]);
    EXPECT_EQ(out.samples[13], d.audio.samples[1]);
}

TEST(WavDecode, WhatCannotBePlayedSaysWhy) {
    EXPECT_EQ(decodeWav(blob(64, 1)).error, "The recording is not a WAV file.");
    Bytes wav = sample::makeToneWav(sample::ToneShape{});
    Bytes gsm = wav;
    gsm[20] = 0x31;
    EXPECT_EQ(decodeWav(gsm).error,
              "The recording is encoded as GSM 6.10 (format 0x0031), which this viewer cannot "
              "play; extract it and play it with a program that knows that encoding.");
    gsm[20] = 0x99;
    EXPECT_NE(decodeWav(gsm).error.find("format 0x0099"), std::string::npos);
    sample::ToneShape pcmShape;
    pcmShape.encoding = sample::WavEncoding::Pcm16;
    const Bytes pcm = sample::makeToneWav(pcmShape);
    Bytes noData(pcm.begin(), pcm.begin() + 36);  // the header without its data chunk
    EXPECT_EQ(decodeWav(noData).error, "The recording holds no sound.");
    Bytes badRate = wav;
    badRate[24] = badRate[25] = badRate[26] = badRate[27] = 0;
    EXPECT_EQ(decodeWav(badRate).error, "The WAV file's format description is damaged.");
    Bytes header(wav.begin(), wav.begin() + 12);
    EXPECT_EQ(decodeWav(header).error, "The WAV file has no format description.");
}

}  // namespace
}  // namespace tdv::extract
