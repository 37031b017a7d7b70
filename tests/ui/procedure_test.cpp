#include "ui/procedure.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "db/db_error.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "jet/error.h"
#include "ui/output_file.h"

namespace tdv::ui {
namespace {

TEST(Procedure, EachStyleWritesItsText) {
    const ErrorInfo e{3021, "No current record."};
    test::ScriptedUi ui;
    EXPECT_EQ(Procedure(ui, "LoadObjectList", "frmMain", ErrorStyle::standard()).messageFor(e),
              "Error 3021 (No current record.) in procedure LoadObjectList of Form frmMain");
    EXPECT_EQ(Procedure(ui, "Form_Load", "frmMain", ErrorStyle::errorColon()).messageFor(e),
              "(error):3021 (No current record.) in procedure Form_Load of Form frmMain");
    EXPECT_EQ(
        Procedure(ui, "bunPackWAVFile", "modZerithDB", ErrorStyle::errorSpace(), OwnerKind::Module)
            .messageFor(e),
        "(error) 3021 (No current record.) in procedure bunPackWAVFile of Module "
        "modZerithDB");
    EXPECT_EQ(
        Procedure(ui, "x", "y", ErrorStyle::ownText("Error in PullHandlerWAVFiles:")).messageFor(e),
        "Error in PullHandlerWAVFiles:No current record.");
    EXPECT_EQ(Procedure(ui, "x", "y", ErrorStyle::silent()).messageFor(e), "");
}

TEST(Procedure, StepsCarryOnAfterAFailureAndQuietNullStaysSilent) {
    test::ScriptedUi ui;
    Procedure proc(ui, "listHandlers_Click", "frmMain", ErrorStyle::errorColon().quietOnNull());
    std::vector<int> ran;
    EXPECT_FALSE(proc.step([&] { throw db::invalidUseOfNullError(); }));
    EXPECT_TRUE(proc.step([&] { ran.push_back(2); }));
    EXPECT_FALSE(proc.step([&] { throw db::DbError(13, "Type mismatch"); }));
    EXPECT_TRUE(proc.step([&] { ran.push_back(4); }));
    EXPECT_EQ(ran, (std::vector<int>{2, 4}));
    EXPECT_EQ(proc.failures(), 2);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "(error):13 (Type mismatch) in procedure listHandlers_Click of Form frmMain");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(ui.boxes[0].icon, Icon::None);
}

TEST(Procedure, EngineAndFileErrorsGetTheNumbersTheProgramShows) {
    test::ScriptedUi ui;
    Procedure proc(ui, "p", "frmMain", ErrorStyle::standard());
    proc.step([] {
        throw jet::Error(jet::ErrorKind::NoSuchTable, jet::errnum::kNoSuchTable,
                         "table Nope not found");
    });
    proc.step([] {
        throw std::filesystem::filesystem_error("x", std::make_error_code(std::errc::io_error));
    });
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Error -", 0), 0u) << ui.boxes[0].text;
    EXPECT_EQ(ui.boxes[1].text, "Error 75 (Path/File access error) in procedure p of Form frmMain");
}

TEST(Procedure, SuccessIsToldOnlyWhenNothingFailedAndALoopEndsAtItsFirstFailure) {
    test::ScriptedUi ui;
    Procedure proc(ui, "p", "frmMain", ErrorStyle::standard());
    int items = 0;
    // Every item would fail the same way: one box, and the loop ends.
    EXPECT_FALSE(proc.loop([&] { return items < 100; }, [&] { ++items; },
                           [&] { proc.step([] { throw db::DbError(61, "Disk full"); }); }));
    EXPECT_EQ(items, 0);
    EXPECT_TRUE(proc.failed());
    bool announced = false;
    EXPECT_FALSE(proc.finish([&] { announced = true; }));
    EXPECT_FALSE(announced);
    EXPECT_EQ(ui.texts(),
              (std::vector<std::string>{"Error 61 (Disk full) in procedure p of Form frmMain"}));

    Procedure clean(ui, "q", "frmMain", ErrorStyle::standard());
    items = 0;
    EXPECT_TRUE(clean.loop([&] { return items < 3; }, [&] { ++items; }, [] {}));
    EXPECT_EQ(items, 3);
    EXPECT_TRUE(clean.finish([&] { announced = true; }));
    EXPECT_TRUE(announced);
}

TEST(OutputFile, NamesFromDataStayOneNameWithinTheLimitAndUnique) {
    EXPECT_EQ(safeFileName("a/b"), "a_b");
    EXPECT_EQ(safeFileName(std::string("x\0y", 3)), "x_y");
    EXPECT_EQ(safeFileName("../../etc"), ".._.._etc");
    EXPECT_EQ(safeFileName("a\x1b[31m\x07\x7f"), "a_[31m__");
    for (const char* refused : {"", ".", ".."})
        EXPECT_THROW(safeFileName(refused), db::DbError) << refused;
    std::string longName;
    for (int i = 0; i < 200; ++i) longName += "\xD0\x96";  // two bytes each
    const std::string cut = safeFileName(longName + ".wav");
    EXPECT_LE(cut.size(), kMaxFileNameBytes);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".wav");
    EXPECT_EQ((cut.size() - 4) % 2, 0u);  // no character cut in half
    FileNames names;
    EXPECT_EQ(names.unique("a.wav"), "a.wav");
    EXPECT_EQ(names.unique("a.wav"), "a_2.wav");
    EXPECT_EQ(names.unique("a.wav"), "a_3.wav");
    EXPECT_LE(names.unique(longName + ".wav").size(), kMaxFileNameBytes);
    EXPECT_NE(names.unique(longName + ".wav"), cut);
    // A cut name loses part of its base, never its suffix or its number.
    const std::string twice = names.unique("", longName, "_Greeting_Standard_ENU.wav");
    EXPECT_TRUE(twice.ends_with("\xD0\x96_Greeting_Standard_ENU.wav")) << twice;
    EXPECT_TRUE(names.unique("", longName, "_Greeting_Standard_ENU.wav")
                    .ends_with("\xD0\x96_Greeting_Standard_ENU_2.wav"));
}

// A write ended by SIGTERM leaves nothing under the final name, nor its temporary file.
TEST(OutputFile, ATerminatedWriteLeavesNoFileBehind) {
    test::TempDir dir;
    const std::string target = (dir.path() / "MSG_WAV_File.wav").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        test::ScriptedUi ui;
        OutputFile out(ui, target);
        out.write("the first part of a long message");
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Leftovers of an interrupted run are removed by the next output into that folder, and the
// new file replaces nothing that was not asked for.
TEST(OutputFile, LeftoversGoAndAFileIsNamedOnlyWhenWhole) {
    test::TempDir dir;
    const auto leftover = dir.path() / ".a.wav.tdv-tmp-Ab12Cd";
    std::ofstream(leftover) << "partial";
    test::ScriptedUi ui;
    const std::string target = (dir.path() / "a.wav").string();
    {
        OutputFile out(ui, target);
        EXPECT_FALSE(std::filesystem::exists(leftover));
        out.write("whole");
        EXPECT_FALSE(std::filesystem::exists(target));  // not until it is whole
        out.close();
    }
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace tdv::ui
