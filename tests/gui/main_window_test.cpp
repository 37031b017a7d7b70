// The main window on a sample backup, offscreen: start-up from the command line, every
// object type and row compared with the core procedures, copy, extraction, the resize
// rules, the menus and every way out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "backup/safety_copy.h"
#include "extract/audio_extraction.h"
#include "extract/recordings.h"
#include "gui/filter_box.h"
#include "gui/grid_view.h"
#include "gui/gui_test_ui.h"
#include "gui/play_button.h"
#include "gui/program.h"
#include "gui/splash.h"
#include "helpers/backup_fixture.h"
#include "helpers/testdata.h"
#include "main_window/form_load.h"
#include "main_window/frm_main_procedures.h"
#include "sample/sample.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tdv::gui {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

QString display(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace("\r\n", "\n");
    return s;
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sampleDir_ = new test::TempDir;
        sample::SampleOptions options;
        options.users = 12;
        options.messages = 8;
        sample_ = new sample::WrittenSample(sample::writeSample(
            (sampleDir_->path() / "sample").string(), sample::sampleVariants().front(), options));
    }
    static void TearDownTestSuite() {
        delete sample_;
        delete sampleDir_;
    }

    MainWindowTest() {
        state.appFolder = (home.path() / "app").string();
        state.exeFolder = home.path().string();
        setenv("TDV_HOME", state.appFolder.c_str(), 1);
    }
    ~MainWindowTest() override {
        program.reset();
        unsetenv("TDV_HOME");
    }

    // Builds the windows and runs the start-up sequence with this command line.
    bool start(const std::string& commandLine) {
        state.commandLine = commandLine;
        program = std::make_unique<Program>(
            ui, state, [this](ui::Window w, QWidget* widget) { ui.setWindow(w, widget); });
        program->main.endProcess = [this] { ++ended; };
        const bool started = program->main.startUp();
        QCoreApplication::processEvents();
        return started;
    }
    bool startOnDirectory() { return start(directory()); }
    static std::string directory() { return sample_->directoryBackup; }

    MainWindow& main() { return program->main; }

    // The core run of the same start-up, for comparison.
    struct Core {
        test::ScriptedUi ui;
        backup::AppState state;
        app::FrmMain form{ui, state};
        explicit Core(const backup::AppState& like) {
            state.commandLine = directory();
            state.appFolder = like.appFolder + "-core";
            state.exeFolder = like.exeFolder;
            app::connectMainWindow(form);
            app::Form_Load(form);
        }
    };

    void chooseType(int index) {
        main().cmbObjectType->setCurrentIndex(index);
        emit main().cmbObjectType->activated(index);
        QCoreApplication::processEvents();
    }
    void clickRow(int dataRow) {
        GridView* grid = main().myGrid;
        const QModelIndex index = grid->model()->index(dataRow - 1, 0);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
        QCoreApplication::processEvents();
    }
    // The view's cells against the core grid: same rows, headers and texts.
    void expectViewShows(const ui::GridModel& grid) {
        QAbstractItemModel* model = main().myGrid->model();
        ASSERT_EQ(model->rowCount(), std::max(grid.Rows() - 1, 0));
        ASSERT_EQ(model->columnCount(), grid.Cols());
        for (int c = 0; c < grid.Cols(); ++c) {
            EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString().toStdString(),
                      grid.TextMatrix(0, c));
            EXPECT_EQ(main().myGrid->isColumnHidden(c), grid.ColHidden(c)) << "column " << c;
            for (int r = 1; r < grid.Rows(); ++r) {
                EXPECT_EQ(model->data(model->index(r - 1, c)).toString().toStdString(),
                          grid.TextMatrix(r, c));
            }
        }
    }

    test::TempDir home;
    test::GuiTestUi ui;
    backup::AppState state;
    std::unique_ptr<Program> program;
    int ended = 0;

    static test::TempDir* sampleDir_;
    static sample::WrittenSample* sample_;
};

test::TempDir* MainWindowTest::sampleDir_ = nullptr;
sample::WrittenSample* MainWindowTest::sample_ = nullptr;

TEST_F(MainWindowTest, StartsOnTheCommandLineBackupWithSubscribersListed) {
    ASSERT_TRUE(startOnDirectory());
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(program->messages.isVisible());
    EXPECT_FALSE(program->splash.isVisible());
    EXPECT_THAT(ui.texts(), IsEmpty());
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_EQ(main().windowTitle(), "TARNIS Data Viewer");
    EXPECT_EQ(main().cmbObjectType->currentText(), "Subscribers");
    EXPECT_EQ(main().cmbObjectType->count(), 8);

    Core core(state);
    expectViewShows(core.form.myGrid);
    EXPECT_EQ(main().txtObjectCount->text().toStdString(), core.form.txtObjectCount);
    EXPECT_EQ(main().txtObjectCount->text().toInt(), 12);
    EXPECT_FALSE(core.form.txtInfo.Text.empty());
    EXPECT_EQ(main().txtInfo->toPlainText(), display(core.form.txtInfo.Text));
    // The first row is current in the view as in the model.
    EXPECT_EQ(main().myGrid->currentIndex().row(), 0);
    EXPECT_TRUE(main().cmdFetchAllWAVFiles->isVisible());
    EXPECT_TRUE(main().cmdPrivateListDump->isVisible());
    EXPECT_EQ(ended, 0);
}

TEST_F(MainWindowTest, EveryObjectTypeAndClickedRowShowWhatTheCoreGives) {
    ASSERT_TRUE(startOnDirectory());
    Core core(state);
    for (int type = 0; type < 8; ++type) {
        SCOPED_TRACE(app::kObjectTypeEntries[type]);
        chooseType(type);
        app::selectObjectType(core.form, type);
        EXPECT_EQ(main().cmbObjectType->currentIndex(), type);
        expectViewShows(core.form.myGrid);
        EXPECT_EQ(main().txtObjectCount->text().toStdString(), core.form.txtObjectCount);
        // The core writes its outputs into a folder of its own.
        const QString coreText = display(core.form.txtInfo.Text)
                                     .replace(QString::fromStdString(core.state.appFolder),
                                              QString::fromStdString(state.appFolder));
        EXPECT_EQ(main().txtInfo->toPlainText(), coreText);
        if (core.form.myGrid.Rows() > 2) {
            clickRow(2);
            core.form.myGrid.setRow(2);
            EXPECT_EQ(main().form().myGrid.Row(), 2);
            EXPECT_EQ(main().txtInfo->toPlainText(), display(core.form.txtInfo.Text));
        }
        EXPECT_EQ(main().cmdFetchAllWAVFiles->isVisible(), core.form.cmdFetchAllWAVFilesVisible);
        EXPECT_EQ(main().cmdPrivateListDump->isVisible(), core.form.cmdPrivateListDumpVisible);
    }
    EXPECT_EQ(ui.texts().size(), core.ui.texts().size());
}

TEST_F(MainWindowTest, ACharacterKeyInTheTypeListLoadsTheEntryItChose) {
    ASSERT_TRUE(startOnDirectory());
    Core core(state);
    app::selectObjectType(core.form, app::kCallHandlers);
    main().cmbObjectType->setFocus();
    QTest::keyClick(main().cmbObjectType, Qt::Key_C);
    QCoreApplication::processEvents();
    EXPECT_EQ(main().form().cmbObjectType, app::kCallHandlers);
    EXPECT_EQ(main().cmbObjectType->currentText(), "Call Handlers");
    EXPECT_EQ(main().txtObjectCount->text().toStdString(), core.form.txtObjectCount);
    EXPECT_EQ(main().txtInfo->toPlainText(), display(core.form.txtInfo.Text));
}

TEST_F(MainWindowTest, SchedulesShowTheFixedTextAndHideBothRowButtons) {
    ASSERT_TRUE(startOnDirectory());
    chooseType(app::kSchedules);
    ASSERT_GE(main().form().myGrid.Rows(), 2);
    clickRow(main().form().myGrid.Rows() - 1);
    EXPECT_EQ(main().txtInfo->toPlainText().toStdString(), app::kScheduleText);
    EXPECT_FALSE(main().cmdFetchAllWAVFiles->isVisible());
    EXPECT_FALSE(main().cmdPrivateListDump->isVisible());
}

TEST_F(MainWindowTest, ProgramSetRowMovesTheViewAndShowsItsReport) {
    ASSERT_TRUE(startOnDirectory());
    Core core(state);
    main().form().myGrid.setRow(4);
    core.form.myGrid.setRow(4);
    EXPECT_EQ(main().myGrid->currentIndex().row(), 3);
    EXPECT_EQ(main().txtInfo->toPlainText(), display(core.form.txtInfo.Text));
}

TEST_F(MainWindowTest, TheFilterNarrowsTheListAndTheReportFollowsTheShownRow) {
    ASSERT_TRUE(startOnDirectory());
    Core core(state);
    const ui::GridModel& grid = main().form().myGrid;
    const int rows = grid.Rows() - 1;
    ASSERT_GE(rows, 4);
    // The alias of the third user, typed in other letter case, narrows to the rows that
    // contain it; the first of them becomes current and its report is shown.
    const std::string alias = grid.TextMatrix(3, 0);
    QTest::keyClicks(main().txtFilter, QString::fromStdString(alias).toUpper());
    QCoreApplication::processEvents();
    GridView* view = main().myGrid;
    ASSERT_GE(view->model()->rowCount(), 1);
    EXPECT_LT(view->model()->rowCount(), rows);
    EXPECT_EQ(main().txtObjectCount->text(),
              QString("%1 of %2").arg(view->model()->rowCount()).arg(rows));
    EXPECT_EQ(grid.Row(), view->modelRow(0));
    EXPECT_EQ(view->currentIndex().row(), 0);
    core.form.myGrid.setRow(grid.Row());
    EXPECT_EQ(main().txtInfo->toPlainText(), display(core.form.txtInfo.Text));

    // Another object type keeps the filter; Escape clears it.
    chooseType(app::kCallHandlers);
    EXPECT_LE(view->model()->rowCount(), grid.Rows() - 1);
    QTest::keyClick(main().txtFilter, Qt::Key_Escape);
    EXPECT_TRUE(main().txtFilter->text().isEmpty());
    EXPECT_EQ(view->model()->rowCount(), grid.Rows() - 1);
    EXPECT_EQ(main().txtObjectCount->text().toStdString(), main().form().txtObjectCount);

    // A header click sorts the shown rows, the second click reverses them; a click on a
    // sorted row shows that object's report.
    chooseType(app::kSubscribers);
    const int extension = 4;
    view->horizontalHeader()->sectionClicked(extension);
    view->horizontalHeader()->sectionClicked(extension);
    auto shownText = [&](int v, int c) {
        return view->model()->data(view->model()->index(v, c)).toString();
    };
    for (int v = 1; v < view->model()->rowCount(); ++v) {
        EXPECT_GE(shownText(v - 1, extension).toLongLong(), shownText(v, extension).toLongLong());
    }
    clickRow(2);
    const int clicked = view->modelRow(1);
    EXPECT_EQ(grid.Row(), clicked);
    core.form.cmbObjectType = app::kSubscribers;
    core.form.myGrid.setRow(clicked);
    EXPECT_EQ(main().txtInfo->toPlainText(), display(core.form.txtInfo.Text));
}

TEST_F(MainWindowTest, ARowTheFilterHidesIsNeverShownOrActedOn) {
    ASSERT_TRUE(startOnDirectory());
    GridView* view = main().myGrid;
    const ui::GridModel& grid = main().form().myGrid;
    const std::string report = main().form().txtInfo.Text;
    ASSERT_FALSE(report.empty());
    // Sorted and filtered to nothing: no report, every row action disabled.
    view->horizontalHeader()->sectionClicked(4);
    QTest::keyClicks(main().txtFilter, "qqqq");
    QCoreApplication::processEvents();
    EXPECT_EQ(view->shownRows(), 0);
    EXPECT_TRUE(main().txtInfo->toPlainText().isEmpty());
    for (QPushButton* b : {main().cmdFetchAllWAVFiles, main().cmdPrivateListDump,
                           static_cast<QPushButton*>(main().cmdPlay), main().cmdCopyToClipboard}) {
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    }
    emit main().cmdFetchAllWAVFiles->clicked();
    EXPECT_FALSE(fs::exists(extract::wavExtractionFolder(state)));
    // A first letter typed in the grid selects no hidden row.
    const int current = grid.Row();
    view->setFocus();
    QTest::keyClicks(view, QString::fromStdString(grid.TextMatrix(grid.Rows() - 1, 0)).left(1));
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.Row(), current);
    EXPECT_TRUE(main().txtInfo->toPlainText().isEmpty());
    // Shown again, the row has its report and its actions back.
    QTest::keyClick(main().txtFilter, Qt::Key_Escape);
    EXPECT_EQ(main().form().txtInfo.Text, report);
    EXPECT_TRUE(main().cmdFetchAllWAVFiles->isEnabled());
    EXPECT_TRUE(main().cmdCopyToClipboard->isEnabled());

    // Backup Details has no rows to count: the count stays blank under a filter.
    QTest::keyClicks(main().txtFilter, "a");
    chooseType(app::kBackupDetails);
    EXPECT_EQ(main().txtObjectCount->text(), "");
}

TEST_F(MainWindowTest, KeysReachTheFilterTheMenusAndTheReportIsReadOnly) {
    ASSERT_TRUE(startOnDirectory());
    main().show();
    main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main()));
    QTest::keyClick(&main(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(main().txtFilter->hasFocus());
    EXPECT_EQ(main().mnuOpenDB->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(main().mnuHelpItem->shortcut(), QKeySequence(Qt::Key_F1));
    QTest::keyClick(&main(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ended, 1);
}

TEST_F(MainWindowTest, PlayOffersTheObjectsRecordingsAndStopsWithoutWritingAFile) {
    ASSERT_TRUE(startOnDirectory());
    PlayButton* play = main().cmdPlay;
    test::SilentOutput* output = test::silence(*play);
    EXPECT_TRUE(play->isVisible());
    EXPECT_EQ(play->text(), "&Play");
    // The first user with more than one recording gets the chooser.
    const ui::GridModel& grid = main().form().myGrid;
    int row = 0;
    size_t count = 0;
    for (int r = 1; r < grid.Rows() && row == 0; ++r) {
        main().form().myGrid.setRow(r);
        count = extract::objectRecordings(main().form()).items.size();
        if (count > 1) row = r;
    }
    ASSERT_GT(row, 0) << "the sample needs a user with a voice name and a greeting";
    play->click();
    QMenu* chooser = play->chooser();
    ASSERT_EQ(chooser->actions().size(), static_cast<qsizetype>(count));
    EXPECT_EQ(chooser->actions().front()->text(), "Voice name");
    EXPECT_TRUE(output->played.empty());
    chooser->actions().back()->trigger();
    ASSERT_EQ(output->played.size(), 1u);
    EXPECT_EQ(output->played[0].sampleRate, 8000);
    EXPECT_GT(output->played[0].samples.size(), 0u);
    EXPECT_EQ(play->text(), "&Stop");
    play->click();  // stops
    EXPECT_FALSE(output->playing());
    EXPECT_EQ(play->text(), "&Play");
    chooser->actions().front()->trigger();
    output->end();  // played to its end
    EXPECT_EQ(play->text(), "&Play");
    EXPECT_FALSE(fs::exists(extract::wavExtractionFolder(state)));
    EXPECT_THAT(ui.texts(), IsEmpty());

    // Types without recordings hide it.
    chooseType(app::kSchedules);
    EXPECT_FALSE(play->isVisible());
}

TEST_F(MainWindowTest, CopyPutsTheReportOnTheClipboard) {
    ASSERT_TRUE(startOnDirectory());
    QTest::mouseClick(main().cmdCopyToClipboard, Qt::LeftButton);
    EXPECT_FALSE(ui.clipboard.empty());
    EXPECT_EQ(ui.clipboard, main().form().txtInfo.Text);
    EXPECT_NE(ui.clipboard.find("\r\n"), std::string::npos);

    // The text box is read-only: typing changes nothing and Tab moves on to Copy.
    const std::string report = ui.clipboard;
    main().txtInfo->setFocus();
    main().txtInfo->moveCursor(QTextCursor::End);
    QTest::keyClicks(main().txtInfo, "note");
    QTest::mouseClick(main().cmdCopyToClipboard, Qt::LeftButton);
    EXPECT_EQ(ui.clipboard, report);
    EXPECT_TRUE(main().txtInfo->isReadOnly());
    EXPECT_TRUE(main().txtInfo->tabChangesFocus());

    // An empty report leaves the clipboard empty.
    main().form().txtInfo.clear();
    QTest::mouseClick(main().cmdCopyToClipboard, Qt::LeftButton);
    EXPECT_EQ(ui.clipboard, "");
}

TEST_F(MainWindowTest, ExtractAllWavFilesWritesUnderTheApplicationFolder) {
    ASSERT_TRUE(startOnDirectory());
    const fs::path folder = extract::wavExtractionFolder(state);
    // Find a user with recordings: try the rows until the folder holds a file.
    bool found = false;
    for (int row = 1; row < main().form().myGrid.Rows() && !found; ++row) {
        clickRow(row);
        ASSERT_TRUE(main().cmdFetchAllWAVFiles->isVisible());
        QTest::mouseClick(main().cmdFetchAllWAVFiles, Qt::LeftButton);
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".wav" && fs::file_size(entry.path()) > 10)
                found = true;
        }
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(folder.string().starts_with(state.appFolder));
    ASSERT_FALSE(ui.opened.empty());
    EXPECT_EQ(fs::path(ui.opened.back()), folder);
}

TEST_F(MainWindowTest, ResizeKeepsTheMinimumOuterSizeAndMovesTheControls) {
    ASSERT_TRUE(startOnDirectory());
    MainWindow& w = main();
    w.resize(100, 80);
    QCoreApplication::processEvents();
    EXPECT_GE(w.frameGeometry().width(), w.minimumOuterSize().width());
    EXPECT_GE(w.frameGeometry().height(), w.minimumOuterSize().height());
    EXPECT_EQ(w.minimumOuterSize(), QSize(twipsToPixels(11000, &w), twipsToPixels(5700, &w)));

    w.resize(twipsToPixels(16000, &w), twipsToPixels(9000, &w));
    QCoreApplication::processEvents();
    const int clientWidth = pixelsToTwips(w.centralWidget()->width(), &w);
    const int clientHeight = pixelsToTwips(w.centralWidget()->height(), &w);
    EXPECT_EQ(w.txtInfo->width(), twipsToPixels(clientWidth - 7140, &w));
    EXPECT_EQ(w.txtInfo->height(), twipsToPixels(clientHeight - 1120, &w));
    const int exitTop = twipsToPixels(clientHeight - 465, &w);
    EXPECT_EQ(w.cmdExit->y(), exitTop);
    EXPECT_EQ(w.cmdExit->x(), twipsToPixels(clientWidth - 950, &w));
    EXPECT_EQ(w.cmdCopyToClipboard->y(), exitTop);
    EXPECT_EQ(w.cmdFetchAllWAVFiles->y(), exitTop);
    EXPECT_EQ(w.cmdPrivateListDump->y(), exitTop);
    EXPECT_EQ(w.cmdCopyToClipboard->x(), twipsToPixels(7080, &w));
    // The grid keeps its place and width and ends inside the client area.
    EXPECT_EQ(w.myGrid->x(), twipsToPixels(60, &w));
    EXPECT_EQ(w.myGrid->width(), twipsToPixels(6915, &w));
    EXPECT_LE(w.myGrid->geometry().bottom(), w.centralWidget()->height());
    EXPECT_GT(w.myGrid->height(), twipsToPixels(clientHeight - 1000, &w));
}

std::vector<std::string> captions(const QMenu* menu) {
    std::vector<std::string> out;
    for (const QAction* a : menu->actions()) {
        out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    }
    return out;
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsAndHideUnhookedEntries) {
    ASSERT_TRUE(startOnDirectory());
    MainWindow& w = main();
    EXPECT_EQ(w.mnuFile->title(), "&File");
    EXPECT_EQ(w.mnuCSVEdits->title(), "E&dit");
    EXPECT_EQ(w.mnuHelp->title(), "&Help");
    EXPECT_THAT(captions(w.mnuFile), ElementsAre("&Open database", "-", "&Exit"));
    EXPECT_THAT(
        captions(w.mnuCSVEdits),
        ElementsAre("&Remap subscriber alias or extension", "Remap subscriber email addresses", "-",
                    "Ex&port users in backup to CSV", "-", "Clear object mapping table", "-",
                    "Saint Quellis Pager Scrub", "-",
                    "Make a &safety copy before changing a backup"));
    // The safety copy is on unless switched off, and the item keeps the setting.
    ASSERT_TRUE(w.mnuSafetyCopy->isCheckable());
    EXPECT_TRUE(w.mnuSafetyCopy->isChecked());
    w.mnuSafetyCopy->trigger();
    EXPECT_FALSE(backup::safetyCopyEnabled(ui));
    w.mnuSafetyCopy->trigger();
    EXPECT_TRUE(backup::safetyCopyEnabled(ui));
    EXPECT_THAT(captions(w.mnuHelp),
                ElementsAre("Help", "-", "&About", "-", "Chec&k for updated version"));
    EXPECT_EQ(w.cmdCopyToClipboard->text(), "&Copy");
    EXPECT_EQ(w.cmdFetchAllWAVFiles->text(), "&Extract all WAV Files");
    EXPECT_EQ(w.cmdPrivateListDump->text(), "Private List Dump");
    EXPECT_EQ(w.cmdExit->text(), "E&xit");
    EXPECT_EQ(w.Label2->text(), "Object Count:");
    EXPECT_EQ(w.Label1->text(), "Object Details:");
    EXPECT_FALSE(w.cmdLoadData->isVisible());

    // Help and About are wired by the program; the remap entries wait for their windows.
    EXPECT_TRUE(w.mnuHelpItem->isVisible());
    EXPECT_TRUE(w.mnuAbout->isVisible());
    const bool remapsHooked = static_cast<bool>(w.openExtensionRemap);
    EXPECT_EQ(w.mnuAliasorExtensionRemap->isVisible(), remapsHooked);
    int opened = 0;
    w.openExtensionRemap = [&] { ++opened; };
    w.updateMenus();
    EXPECT_TRUE(w.mnuAliasorExtensionRemap->isVisible());
    EXPECT_TRUE(w.seperator5->isVisible());
    w.mnuAliasorExtensionRemap->trigger();
    EXPECT_EQ(opened, 1);
    // The list is reloaded after the remap window closes.
    EXPECT_EQ(w.txtObjectCount->text().toInt(), 12);
}

TEST_F(MainWindowTest, EmailRemapNeedsSchemaRevisionTwenty) {
    ASSERT_TRUE(startOnDirectory());
    int opened = 0;
    main().openSMTPRemap = [&] { ++opened; };
    main().updateMenus();
    main().mnuSMTPRemap->trigger();
    EXPECT_EQ(opened, state.version.mdbVersion >= 20 ? 1 : 0);
    state.version.mdbVersion = 19;
    main().mnuSMTPRemap->trigger();
    EXPECT_EQ(opened, 1);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text,
              "The backup you have is too old to support this - you must be at rev 20 of the "
              "MDB file for email address remapping.");
    EXPECT_EQ(ui.boxes.back().buttons, ui::Buttons::Ok);
}

TEST_F(MainWindowTest, StQuellisSwitchShowsThePagerScrubEntry) {
    ASSERT_TRUE(startOnDirectory());
    EXPECT_FALSE(main().mnuStQuellisPagerScrub->isVisible());
    EXPECT_FALSE(main().seperatorStQuellis->isVisible());
    program.reset();

    // With the switch the command line names no file: the dialog opens the backup.
    ui.openPaths.push_back(directory());
    ASSERT_TRUE(start("-x /stQUELLIS y"));
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Select backup file to view");
    EXPECT_EQ(ui.dialogs[0].filterDescription, "Access Databases");
    EXPECT_EQ(ui.dialogs[0].filterPattern, "*.mdb");
    EXPECT_TRUE(main().mnuStQuellisPagerScrub->isVisible());
    EXPECT_TRUE(main().seperatorStQuellis->isVisible());
}

TEST_F(MainWindowTest, CancelledDialogAtStartEndsTheProgramWithoutAMessage) {
    EXPECT_FALSE(start(""));
    EXPECT_EQ(ended, 1);
    EXPECT_THAT(ui.texts(), IsEmpty());
    EXPECT_FALSE(main().isVisible());
}

TEST_F(MainWindowTest, EveryExitEndsTheProgramOnceAndClosesItsWindows) {
    ASSERT_TRUE(startOnDirectory());
    QTest::mouseClick(main().cmdExit, Qt::LeftButton);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(main().isVisible());
    program.reset();
    ended = 0;

    ASSERT_TRUE(startOnDirectory());
    main().mnuExit->trigger();
    EXPECT_EQ(ended, 1);
    program.reset();
    ended = 0;

    ASSERT_TRUE(startOnDirectory());
    main().close();
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 1);
}

TEST_F(MainWindowTest, OpenDatabaseCancelledKeepsTheBackupAndAMessageBackupSwitchesWindows) {
    EXPECT_FALSE(start("/StQuellis"));  // not a file: the dialog, cancelled
    EXPECT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ended, 1);  // cancelled at start-up
    program.reset();
    ended = 0;

    ui.openPaths.push_back(directory());
    ASSERT_TRUE(start(""));
    // Cancelled from the menu: the open backup stays.
    main().mnuOpenDB->trigger();
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().txtObjectCount->text().toInt(), 12);

    ASSERT_FALSE(sample_->messageBackups.empty());
    ui.openPaths.push_back(sample_->messageBackups.front());
    main().mnuOpenDB->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(state.bIsMessageBackup);
    EXPECT_FALSE(main().isVisible());
    EXPECT_TRUE(program->messages.isVisible());
    EXPECT_FALSE(program->splash.isVisible());
}

TEST_F(MainWindowTest, OpenDatabaseAlwaysAsksAndSwitchesFromTheCommandLineBackup) {
    ASSERT_TRUE(startOnDirectory());
    EXPECT_TRUE(ui.dialogs.empty());
    ASSERT_FALSE(sample_->messageBackups.empty());
    ui.openPaths.push_back(sample_->messageBackups.front());
    main().mnuOpenDB->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].initialFolder, fs::path(directory()).parent_path().string());
    EXPECT_EQ(state.strMDBFilePath, sample_->messageBackups.front());
    EXPECT_TRUE(program->messages.isVisible());
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(ended, 0);
}

TEST_F(MainWindowTest, AnEmptyListShowsItsOwnHeaderAndBackupDetailsNone) {
    test::BackupFixture db;
    db.versionInfo().row({5, 0, 12, 1, false, 7, 0, 29});
    db.table("MDBVersion").integer("Version").row({20});
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{U1}", "jsmith", "John", "Smith", "John Smith", "1001"});
    db.table("Interviewers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID");
    ASSERT_TRUE(start(db.write(home.path(), "ZerithDBData_Backup_sparse.mdb")));
    ASSERT_EQ(main().myGrid->model()->rowCount(), 1);

    QHeaderView* header = main().myGrid->horizontalHeader();
    QAbstractItemModel* model = main().myGrid->model();
    chooseType(app::kInterviewHandlers);
    EXPECT_EQ(model->rowCount(), 0);
    ASSERT_EQ(model->columnCount(), 4);
    EXPECT_TRUE(header->isVisible());
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Alias");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Display Name");
    EXPECT_TRUE(main().myGrid->isColumnHidden(3));
    EXPECT_EQ(main().txtObjectCount->text(), "0");
    EXPECT_EQ(main().txtInfo->toPlainText(), "");

    for (int type : {int{app::kBackupDetails}, int{app::kExtractExportLog}}) {
        chooseType(app::kSubscribers);
        chooseType(type);
        EXPECT_EQ(model->rowCount(), 0) << type;
        EXPECT_EQ(model->columnCount(), 0) << type;
        EXPECT_FALSE(header->isVisible()) << type;
        EXPECT_EQ(main().txtObjectCount->text(), "") << type;
    }
    chooseType(app::kSubscribers);
    EXPECT_TRUE(header->isVisible());
}

TEST_F(MainWindowTest, TheSplashIsGoneBeforeARejectedFilesMessage) {
    ASSERT_TRUE(startOnDirectory());
    const fs::path notABackup = home.path() / "ZerithDBData_Backup_text.mdb";
    std::ofstream(notABackup) << "not an Access database";
    ui.openPaths.push_back(notABackup.string());
    main().mnuOpenDB->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_THAT(ui.splashUpAtBox, ElementsAre(false));
    EXPECT_FALSE(program->splash.isVisible());
    EXPECT_EQ(ended, 1);  // a rejected file from the menu ends the program
}

TEST_F(MainWindowTest, SplashShowsItsLine) {
    Splash splash;
    EXPECT_EQ(splash.windowTitle(), "TARNIS Data Viewer");
    const auto labels = splash.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), "Loading data, please wait...");
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
}

}  // namespace
}  // namespace tdv::gui
