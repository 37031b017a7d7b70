// The message browser on a sample message backup, offscreen: opening fills the grid and
// extracts nothing; a selected row, a click on the current row and the button extract; the
// menus, the resize rule, and "Open database" ending with nothing opened.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "gui/filter_box.h"
#include "gui/grid_view.h"
#include "gui/gui_test_ui.h"
#include "gui/play_button.h"
#include "gui/program.h"
#include "helpers/testdata.h"
#include "sample/sample.h"

namespace tdv::gui {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class MessageWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sampleDir_ = new test::TempDir;
        sample::SampleOptions options;
        options.users = 6;
        options.messages = 24;
        sample_ = new sample::WrittenSample(sample::writeSample(
            (sampleDir_->path() / "sample").string(), sample::sampleVariants().front(), options));
    }
    static void TearDownTestSuite() {
        delete sample_;
        delete sampleDir_;
    }

    MessageWindowTest() {
        state.appFolder = (home.path() / "app").string();
        state.exeFolder = home.path().string();
    }
    ~MessageWindowTest() override { program.reset(); }

    // The program started on the message backup that holds the most messages.
    void startOnMessages() {
        state.commandLine = largestMessageBackup();
        program = std::make_unique<Program>(
            ui, state, [this](ui::Window w, QWidget* widget) { ui.setWindow(w, widget); });
        program->main.endProcess = [this] { ++ended; };
        ASSERT_TRUE(program->main.startUp());
        QCoreApplication::processEvents();
    }
    static std::string largestMessageBackup() {
        std::string best;
        for (const auto& path : sample_->messageBackups) {
            if (best.empty() || fs::file_size(path) > fs::file_size(best)) best = path;
        }
        return best;
    }

    MessageWindow& window() { return program->messages; }
    messages::FrmMessages& form() { return program->messages.form(); }
    fs::path tempMsg() const { return fs::path(state.appFolder) / "temp_msg"; }
    bool extractedFileExists() const {
        return fs::exists(tempMsg() / messages::kWavFileName) ||
               fs::exists(tempMsg() / messages::kEmlZipFileName);
    }
    // The first data row from `from` on whose Secure box is ticked (or not), 0 when none.
    int rowWithSecure(bool secure, int from = 1) {
        const ui::GridModel& grid = form().gridMessages;
        const int col = grid.ColIndex("Secure");
        for (int r = from; r < grid.Rows(); ++r) {
            if (grid.isChecked(r, col) == secure) return r;
        }
        return 0;
    }
    void clickRow(int dataRow) {
        GridView* grid = window().gridMessages();
        const QModelIndex index = grid->model()->index(dataRow - 1, 0);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
        QCoreApplication::processEvents();
    }

    test::TempDir home;
    test::GuiTestUi ui;
    backup::AppState state;
    std::unique_ptr<Program> program;
    int ended = 0;

    static test::TempDir* sampleDir_;
    static sample::WrittenSample* sample_;
};

test::TempDir* MessageWindowTest::sampleDir_ = nullptr;
sample::WrittenSample* MessageWindowTest::sample_ = nullptr;

TEST_F(MessageWindowTest, OpeningFillsTheGridAndExtractsNothing) {
    startOnMessages();
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(program->main.isVisible());
    EXPECT_FALSE(program->splash.isVisible());
    EXPECT_EQ(window().windowTitle(), "TARNIS Message Viewer");

    const ui::GridModel& grid = form().gridMessages;
    ASSERT_GE(grid.Rows(), 3);
    QAbstractItemModel* model = window().gridMessages()->model();
    ASSERT_EQ(model->rowCount(), grid.Rows() - 1);
    ASSERT_EQ(model->columnCount(), 10);
    for (int c = 0; c < grid.Cols(); ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString().toStdString(),
                  messages::kGridColumns[c].caption);
        EXPECT_EQ(window().gridMessages()->isColumnHidden(c), messages::kGridColumns[c].hidden);
    }
    // Flags are check boxes, texts are texts.
    const int read = grid.ColIndex("Read");
    for (int r = 1; r < grid.Rows(); ++r) {
        EXPECT_EQ(model->data(model->index(r - 1, read), Qt::CheckStateRole).toInt(),
                  grid.isChecked(r, read) ? Qt::Checked : Qt::Unchecked);
        EXPECT_EQ(model->data(model->index(r - 1, grid.ColIndex("Subject"))).toString(),
                  QString::fromStdString(grid.TextMatrix(r, grid.ColIndex("Subject"))));
    }
    EXPECT_EQ(window().txtMessagesInGrid()->text().toInt(), grid.Rows() - 1);
    EXPECT_EQ(window().lblTotalGridRows()->text(), "Messages in grid:");
    EXPECT_EQ(window().cmdExtractWAVFile()->text(), "&Extract Message");
    EXPECT_EQ(window().cmdExit()->text(), "E&xit");

    // Filling is not a selection, and neither is letting the window settle.
    QTest::qWait(50);
    EXPECT_THAT(ui.opened, IsEmpty());
    EXPECT_FALSE(extractedFileExists());
    EXPECT_THAT(ui.texts(), IsEmpty());
}

TEST_F(MessageWindowTest, SelectingARowExtractsItAndOpensTheFolder) {
    startOnMessages();
    const int row = rowWithSecure(false, 2);
    ASSERT_GE(row, 2) << "the sample needs a plain message after the first row";
    clickRow(row);
    EXPECT_EQ(form().gridMessages.Row(), row);
    EXPECT_THAT(ui.opened, ElementsAre(tempMsg().string()));
    EXPECT_TRUE(fs::exists(messages::targetFilePath(form())));
    EXPECT_THAT(ui.texts(), IsEmpty());

    // A second click on the same (now current) row extracts it again, once.
    clickRow(row);
    EXPECT_EQ(ui.opened.size(), 2u);
    // So does the button.
    window().cmdExtractWAVFile()->click();
    EXPECT_EQ(ui.opened.size(), 3u);
}

TEST_F(MessageWindowTest, FilterAndSortNarrowTheGridWithoutExtractingAndClicksFollowTheRow) {
    startOnMessages();
    const ui::GridModel& grid = form().gridMessages;
    const int subject = grid.ColIndex("Subject");
    const int row = rowWithSecure(false, 2);
    ASSERT_GE(row, 2);
    const std::string text = grid.TextMatrix(row, subject);
    ASSERT_FALSE(text.empty());
    int matching = 0;
    for (int r = 1; r < grid.Rows(); ++r) {
        for (int c = 0; c < grid.Cols(); ++c) {
            if (!grid.ColHidden(c) && grid.TextMatrix(r, c).find(text) != std::string::npos) {
                ++matching;
                break;
            }
        }
    }
    QTest::keyClicks(window().txtFilter(), QString::fromStdString(text));
    QCoreApplication::processEvents();
    EXPECT_EQ(window().gridMessages()->model()->rowCount(), matching);
    EXPECT_EQ(window().txtMessagesInGrid()->text(),
              QString("%1 of %2").arg(matching).arg(grid.Rows() - 1));
    window().gridMessages()->horizontalHeader()->sectionClicked(subject);
    QCoreApplication::processEvents();
    EXPECT_THAT(ui.opened, IsEmpty());  // neither filtering nor sorting extracts

    // A click on a shown row extracts that row of the backup.
    GridView* view = window().gridMessages();
    int shownAt = -1;
    for (int v = 0; v < view->shownRows(); ++v) {
        if (view->modelRow(v) == row) shownAt = v;
    }
    ASSERT_GE(shownAt, 0);
    const QModelIndex index = view->model()->index(shownAt, subject);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.Row(), row);
    EXPECT_THAT(ui.opened, ElementsAre(tempMsg().string()));

    // Escape clears the filter and the count.
    QTest::keyClick(window().txtFilter(), Qt::Key_Escape);
    EXPECT_EQ(view->model()->rowCount(), grid.Rows() - 1);
    EXPECT_EQ(window().txtMessagesInGrid()->text().toInt(), grid.Rows() - 1);

    // A check-box column sorts by its state: unticked first, then reversed.
    const int read = grid.ColIndex("Read");
    for (bool ascending : {true, false}) {
        view->horizontalHeader()->sectionClicked(read);
        for (int v = 1; v < view->shownRows(); ++v) {
            const bool before = grid.isChecked(view->modelRow(v - 1), read);
            const bool after = grid.isChecked(view->modelRow(v), read);
            EXPECT_TRUE(ascending ? before <= after : before >= after) << "view row " << v;
        }
    }

    // Filtered to nothing, the selected message is hidden and is neither extracted nor
    // played; shown again, it is.
    const size_t opened = ui.opened.size();
    QTest::keyClicks(window().txtFilter(), "qqqqqq");
    EXPECT_EQ(view->shownRows(), 0);
    EXPECT_FALSE(window().cmdExtractWAVFile()->isEnabled());
    EXPECT_FALSE(window().cmdPlay()->isEnabled());
    emit window().cmdExtractWAVFile()->clicked();
    EXPECT_EQ(ui.opened.size(), opened);
    QTest::keyClick(window().txtFilter(), Qt::Key_Escape);
    EXPECT_TRUE(window().cmdExtractWAVFile()->isEnabled());
    EXPECT_TRUE(window().cmdPlay()->isEnabled());
}

TEST_F(MessageWindowTest, PlayPlaysTheSelectedMessageAndASecureOneSaysWhy) {
    startOnMessages();
    PlayButton* play = window().cmdPlay();
    test::SilentOutput* output = test::silence(*play);
    EXPECT_TRUE(play->isVisible());
    EXPECT_EQ(play->text(), "&Play");
    const int plain = rowWithSecure(false);
    ASSERT_GE(plain, 1);
    form().gridMessages.setRow(plain);
    ui.boxes.clear();
    play->click();
    ASSERT_EQ(output->played.size(), 1u) << (ui.texts().empty() ? "" : ui.texts().front());
    EXPECT_EQ(output->played[0].sampleRate, 8000);
    EXPECT_EQ(play->text(), "&Stop");
    play->click();
    EXPECT_EQ(play->text(), "&Play");

    const int secure = rowWithSecure(true);
    if (secure == 0) GTEST_SKIP() << "the sample has no secure message";
    form().gridMessages.setRow(secure);
    ui.boxes.clear();
    play->click();
    EXPECT_EQ(output->played.size(), 1u);
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_EQ(ui.texts()[0],
              "That message is marked secure and is encrypted in the backup: it cannot be played.");
    EXPECT_EQ(play->text(), "&Play");
}

TEST_F(MessageWindowTest, AClickOnTheFirstRowAfterOpeningExtractsIt) {
    startOnMessages();
    ASSERT_EQ(form().gridMessages.Row(), 1);
    clickRow(1);
    if (rowWithSecure(true) == 1) {
        EXPECT_THAT(ui.opened, IsEmpty());
        EXPECT_EQ(ui.texts().size(), 1u);
    } else {
        EXPECT_THAT(ui.opened, ElementsAre(tempMsg().string()));
    }
}

TEST_F(MessageWindowTest, ASecureRowIsRefusedWithoutTouchingAnyFile) {
    startOnMessages();
    const int row = rowWithSecure(true);
    if (row == 0) GTEST_SKIP() << "no secure message in the sample";
    clickRow(row);
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_THAT(ui.texts()[0], ::testing::StartsWith("That message is marked secure"));
    EXPECT_THAT(ui.opened, IsEmpty());
    EXPECT_FALSE(extractedFileExists());
}

TEST_F(MessageWindowTest, MenusHaveTheirCaptionsAndHandOver) {
    startOnMessages();
    const QList<QAction*> menus = window().menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "File");
    EXPECT_EQ(menus[1]->text(), "Help");
    QStringList file;
    for (QAction* a : menus[0]->menu()->actions()) file << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(file, (QStringList{"Open database", "-", "Exit"}));
    QStringList help;
    for (QAction* a : menus[1]->menu()->actions()) help << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(help, (QStringList{"Help", "-", "About"}));

    // Help opens the help window modeless; the program goes on.
    window().mnuHelp()->trigger();
    ASSERT_TRUE(program->help.loaded());
    EXPECT_TRUE(program->help.window().isVisible());
    EXPECT_FALSE(program->help.window().isModal());
    program->help.window().hide();

    // About is modal: it is up while the menu handler runs, and OK ends it.
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        AboutWindow& about = program->about.window();
        wasModal = about.isVisible() && about.isModal();
        about.cmdOK()->click();
    });
    window().mnuAbout()->trigger();
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(program->about.window().isVisible());
    EXPECT_EQ(ended, 0);

    window().mnuExit()->trigger();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(window().isVisible());
}

TEST_F(MessageWindowTest, ExitButtonAndClosingEndTheProgramOnce) {
    startOnMessages();
    window().cmdExit()->click();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(window().isVisible());
}

TEST_F(MessageWindowTest, ClosingTheWindowEndsTheProgram) {
    startOnMessages();
    window().close();
    EXPECT_EQ(ended, 1);
}

TEST_F(MessageWindowTest, ASmallWindowSpringsBackToTheMinimum) {
    startOnMessages();
    window().resize(60, 40);
    QCoreApplication::processEvents();
    EXPECT_GE(window().frameGeometry().width(), twipsToPixels(messages::kMinWidth, &window()));
    EXPECT_GE(window().frameGeometry().height(), twipsToPixels(messages::kMinHeight, &window()));
}

TEST_F(MessageWindowTest, TheGridAndButtonsFollowTheClientArea) {
    startOnMessages();
    window().resize(1000, 700);
    QCoreApplication::processEvents();
    const QWidget* client = window().centralWidget();
    const int w = pixelsToTwips(client->width(), &window());
    const int h = pixelsToTwips(client->height(), &window());
    auto px = [&](int twips) { return twipsToPixels(twips, &window()); };
    EXPECT_NEAR(window().gridMessages()->width(), px(w - 135), 1);
    // The filter box takes the top of the grid's designed place.
    const QRect grid = window().gridMessages()->geometry();
    EXPECT_EQ(window().txtFilter()->width(), grid.width());
    EXPECT_LT(window().txtFilter()->geometry().bottom(), grid.top());
    EXPECT_NEAR(grid.bottom() + 1 - window().txtFilter()->y(), px(h - 715), 1);
    EXPECT_NEAR(window().cmdExit()->x(), px(w - 1150), 1);
    EXPECT_NEAR(window().cmdExit()->y(), px(h - 495), 1);
    EXPECT_EQ(window().cmdExtractWAVFile()->y(), window().cmdExit()->y());
    EXPECT_EQ(window().txtMessagesInGrid()->y(), window().cmdExit()->y());
    // Nothing is cut off: the buttons lie inside the client area.
    EXPECT_LE(window().cmdExit()->geometry().right(), client->width());
    EXPECT_LE(window().cmdExit()->geometry().bottom(), client->height());
}

TEST_F(MessageWindowTest, OpenDatabaseCancelledShowsTheMainWindowsDialogAgain) {
    startOnMessages();
    // The browser's own dialog is cancelled, then so is the main window's: the program ends
    // as at start-up instead of leaving no window.
    // A command line without a file makes every open ask.
    state.commandLine.clear();
    ui.openPaths = {"", ""};
    window().mnuLoadDatabase()->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(ended, 1);
}

TEST_F(MessageWindowTest, OpenDatabaseOnAnotherMessageBackupRefillsTheWindow) {
    startOnMessages();
    std::string other;
    for (const auto& path : sample_->messageBackups) {
        if (path != state.commandLine) other = path;
    }
    if (other.empty()) GTEST_SKIP() << "one message backup only";
    // The command line opened the first backup at start-up only: the menu asks for the file.
    ui.openPaths.push_back(other);
    window().mnuLoadDatabase()->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(state.strMDBFilePath, other);
    EXPECT_EQ(window().txtMessagesInGrid()->text().toInt(), form().gridMessages.Rows() - 1);
    EXPECT_EQ(window().gridMessages()->model()->rowCount(), form().gridMessages.Rows() - 1);
    EXPECT_THAT(ui.opened, IsEmpty());
    EXPECT_EQ(ended, 0);
}

}  // namespace
}  // namespace tdv::gui
