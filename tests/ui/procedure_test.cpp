#include "ui/procedure.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/db_error.h"
#include "jet/error.h"
#include "support/scripted_ui.h"

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

}  // namespace
}  // namespace tdv::ui
