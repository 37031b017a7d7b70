// The two remap windows on a sample directory backup, offscreen: a CSV file loaded through
// "&Select CSV File", rows ticked by the select-all box and by clicks, the apply writing
// the ticked rows (and only those) into the backup, "&Cancel", the window closing itself on
// an empty backup, the resize rule, the progress bar of a long load, and both windows
// opened modally from the main window's Edit menu.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "gui/grid_view.h"
#include "gui/gui_test_ui.h"
#include "gui/program.h"
#include "gui/remap_window.h"
#include "helpers/testdata.h"
#include "remap/remap_apply_harness.h"
#include "sample/sample.h"

namespace tdv::gui {
namespace {

namespace fs = std::filesystem;
using ::testing::IsEmpty;

class RemapWindowTest : public ::testing::Test {
protected:
    RemapWindowTest() {
        state.appFolder = (home.path() / "app").string();
        state.exeFolder = home.path().string();
    }
    ~RemapWindowTest() override {
        window.reset();
        program.reset();
    }

    // A fresh sample (the apply changes it) opened by the program as at start-up.
    void start(const sample::SampleVariant& variant = sample::sampleVariants().front()) {
        sample::SampleOptions options;
        options.users = 10;
        options.messages = 6;
        written = sample::writeSample((home.path() / "sample").string(), variant, options);
        state.commandLine = written.directoryBackup;
        program = std::make_unique<Program>(
            ui, state, [this](ui::Window w, QWidget* widget) { ui.setWindow(w, widget); });
        program->main.endProcess = [] {};
        program->main.startUp();
        QCoreApplication::processEvents();
    }
    std::vector<std::vector<std::string>> users() {
        return test::queryRows(written.directoryBackup,
                               "SELECT Alias, DTMFAccessID, SMTPAddress FROM Subscribers ORDER "
                               "BY Alias");
    }
    std::string csv(const std::string& text) {
        const fs::path path = home.path() / "remap.csv";
        test::writeText(path, text);
        return path.string();
    }
    // Shows a window modeless (the tests drive it) and lets its activation run.
    RemapWindow& show(std::unique_ptr<RemapWindow> w) {
        window = std::move(w);
        window->show();
        for (int i = 0; i < 5 && !window->initialised(); ++i) QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return *window;
    }
    RemapWindow& showExtensionRemap() {
        return show(makeExtensionRemapWindow(ui, state, program->remaps.logs()));
    }
    void clickCell(RemapWindow& w, int dataRow, int col) {
        GridView* grid = w.myGrid();
        const QModelIndex index = grid->model()->index(dataRow - 1, col);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
        QCoreApplication::processEvents();
    }
    bool ticked(RemapWindow& w, int dataRow) {
        QAbstractItemModel* model = w.myGrid()->model();
        const bool shown =
            model->data(model->index(dataRow - 1, 0), Qt::CheckStateRole).toInt() == Qt::Checked;
        EXPECT_EQ(shown, w.form().myGrid().isChecked(dataRow, 0));
        return shown;
    }

    // The remap window shown modal by the Edit menu, once it is up.
    static RemapWindow* modalRemapWindow() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<RemapWindow*>(w);
            if (dialog != nullptr && dialog->isVisible() && dialog->isModal()) return dialog;
        }
        return nullptr;
    }
    // Runs `drive` on the modal window once the menu handler has opened it; gives up (and
    // fails) after a few seconds so that a window that never opens cannot hang the test.
    static void whenModalOpens(std::function<void(RemapWindow&)> drive, int attempts = 100) {
        QTimer::singleShot(20, [drive = std::move(drive), attempts] {
            if (RemapWindow* dialog = modalRemapWindow(); dialog != nullptr) {
                drive(*dialog);
            } else if (attempts > 0) {
                whenModalOpens(drive, attempts - 1);
            } else {
                ADD_FAILURE() << "no modal remap window";
            }
        });
    }

    test::TempDir home;
    test::GuiTestUi ui;
    backup::AppState state;
    sample::WrittenSample written;
    std::unique_ptr<Program> program;
    std::unique_ptr<RemapWindow> window;
};

TEST_F(RemapWindowTest, LoadsACsvTicksRowsAndAppliesOnlyTheTickedOnes) {
    start();
    const auto before = users();
    ASSERT_GE(before.size(), 3u);
    const std::string a = before[0][0], b = before[1][0], c = before[2][0];
    const std::string path =
        csv("OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION\r\n" + a + ",,renamed_a,\r\n" + b +
            ",,,987654\r\n" + c + ",,renamed_c,\r\nnobody_at_all,,zz,\r\n");
    RemapWindow& w = showExtensionRemap();
    EXPECT_EQ(w.windowTitle(), "TARNIS Data Extension Remapper");
    EXPECT_EQ(w.cmdOpenCSVFile()->text(), "&Select CSV File");
    EXPECT_EQ(w.cmdRemap()->text(), "&Apply Changes");
    EXPECT_EQ(w.cmdCancel()->text(), "&Cancel");
    EXPECT_THAT(ui.texts(), IsEmpty());

    ui.openPaths = {path};
    w.cmdOpenCSVFile()->click();
    EXPECT_EQ(w.txtCSVPath()->text().toStdString(), path);
    ASSERT_EQ(w.myGrid()->model()->rowCount(), 3);
    QAbstractItemModel* model = w.myGrid()->model();
    const int info = w.form().myGrid().ColIndex("Info");
    EXPECT_EQ(model->data(model->index(0, info)).toString(),
              "Replace old alias with new alias for this user.");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Old Alias");
    EXPECT_TRUE(w.myGrid()->isColumnHidden(w.form().myGrid().ColIndex("ObjectID")));
    // One line was rejected: the summary asks about the error log (answered No).
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_THAT(ui.texts()[0], ::testing::HasSubstr("4 lines read in from text file, 3 users"));
    for (int r = 1; r <= 3; ++r) EXPECT_FALSE(ticked(w, r));

    // Select all, then a click on the third row's Info cell unticks it again.
    w.chkSelectAll()->click();
    for (int r = 1; r <= 3; ++r) EXPECT_TRUE(ticked(w, r));
    clickCell(w, 3, info);
    EXPECT_FALSE(ticked(w, 3));
    // A click in the Old Alias column changes nothing.
    clickCell(w, 1, 1);
    EXPECT_TRUE(ticked(w, 1));

    // "&Preview" lists the two ticked rows read-only and changes nothing.
    EXPECT_EQ(w.cmdPreview()->text(), "&Preview");
    std::vector<std::string> listed;
    std::string totals;
    bool editable = true;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<RemapPreviewDialog*>(top);
            if (dialog == nullptr || !dialog->isVisible()) continue;
            totals = dialog->totals()->text().toStdString();
            editable = dialog->list()->editTriggers() != QAbstractItemView::NoEditTriggers;
            for (int i = 0; i < dialog->list()->topLevelItemCount(); ++i)
                listed.push_back(dialog->list()->topLevelItem(i)->text(1).toStdString() + " | " +
                                 dialog->list()->topLevelItem(i)->text(2).toStdString());
            dialog->reject();
        }
    });
    w.cmdPreview()->click();
    EXPECT_THAT(listed, ::testing::ElementsAre(
                            a + ",,renamed_a, | Applies: Replace old alias with new alias for "
                                "this user.",
                            ::testing::StartsWith(b + ",,,987654 | Applies: ")));
    EXPECT_THAT(totals, ::testing::StartsWith("2 ticked rows, 2 would be applied."));
    EXPECT_FALSE(editable);
    EXPECT_EQ(users(), before);
    EXPECT_TRUE(w.isVisible());

    ui.answers = {ui::Answer::Yes, ui::Answer::No};
    w.cmdRemap()->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_TRUE(fs::exists(program->remaps.logs().runLogPath()));

    const auto after = users();
    std::map<std::string, std::string> extensionOf;
    for (const auto& row : after) extensionOf[row[0]] = row[1];
    EXPECT_TRUE(extensionOf.count("renamed_a"));
    EXPECT_FALSE(extensionOf.count(a));
    EXPECT_EQ(extensionOf[b], "987654");
    // The unticked row is untouched.
    EXPECT_TRUE(extensionOf.count(c));
    EXPECT_FALSE(extensionOf.count("renamed_c"));
    EXPECT_THAT(test::checkProblems(written.directoryBackup), IsEmpty());
}

TEST_F(RemapWindowTest, CancelClosesWithoutChangingAnything) {
    start();
    const auto before = users();
    const std::string path =
        csv("OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION\r\n" + before[0][0] + ",,x1,\r\n");
    RemapWindow& w = showExtensionRemap();
    ui.openPaths = {path};
    w.cmdOpenCSVFile()->click();
    w.chkSelectAll()->click();
    w.cmdCancel()->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(users(), before);
    // Applying with nothing loaded is refused with its message.
    RemapWindow& empty = showExtensionRemap();
    ui.boxes.clear();
    empty.cmdRemap()->click();
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_THAT(ui.texts()[0], ::testing::StartsWith("You must first load some values"));
    EXPECT_TRUE(empty.isVisible());
}

TEST_F(RemapWindowTest, ClosesItselfOnABackupWithoutUsers) {
    const sample::SampleVariant* variant = nullptr;
    for (const auto& v : sample::sampleVariants()) {
        if (v.emptyDirectory) variant = &v;
    }
    if (variant == nullptr) GTEST_SKIP() << "no empty sample variant";
    start();
    // The empty sample cannot be opened as a backup, so point the open backup at it.
    sample::SampleOptions options;
    const auto empty =
        sample::writeSample((home.path() / "empty").string(), *variant, options).directoryBackup;
    state.strMDBFilePath = empty;
    state.strMDBConnectString = backup::kConnectPrefix + empty;
    ui.boxes.clear();
    RemapWindow& w = showExtensionRemap();
    QCoreApplication::processEvents();
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_EQ(ui.texts()[0],
              "Error opening subscriber data on local MDB file.  Close application and try again.");
    EXPECT_FALSE(w.isVisible());
}

TEST_F(RemapWindowTest, TheGridAndButtonsFollowTheWindowSize) {
    start();
    RemapWindow& w = showExtensionRemap();
    w.resize(1100, 650);
    QCoreApplication::processEvents();
    const int iw = pixelsToTwips(w.width(), &w), ih = pixelsToTwips(w.height(), &w);
    auto px = [&](int twips) { return twipsToPixels(twips, &w); };
    EXPECT_NEAR(w.myGrid()->width(), px(iw - 105), 1);
    EXPECT_NEAR(w.myGrid()->height(), px(ih - 1320), 1);
    // The buttons keep their designed right edges (a caption wider than designed makes a
    // button grow to the left) and share the row's top.
    EXPECT_NEAR(w.cmdCancel()->x() + w.cmdCancel()->width(), px(iw - 1020 + 915), 2);
    EXPECT_NEAR(w.cmdCancel()->y(), px(ih - 495), 1);
    EXPECT_EQ(w.cmdRemap()->y(), w.cmdCancel()->y());
    EXPECT_LT(w.cmdRemap()->geometry().right(), w.cmdCancel()->x());
    EXPECT_EQ(w.cmdPreview()->y(), w.cmdRemap()->y());
    EXPECT_LT(w.cmdPreview()->geometry().right(), w.cmdRemap()->x());
    EXPECT_GE(w.cmdRemap()->width(), w.cmdRemap()->sizeHint().width());
    EXPECT_GE(w.cmdCancel()->width(), w.cmdCancel()->sizeHint().width());
    EXPECT_NEAR(w.txtCSVPath()->width(), px(iw - 1785), 1);
    // The select-all box lies over the Selected column's header cell.
    const QRect box = w.chkSelectAll()->geometry();
    EXPECT_GE(box.left(), w.myGrid()->x());
    EXPECT_LE(box.right(), w.myGrid()->x() + w.myGrid()->columnWidth(0) + 2);
    EXPECT_GE(box.top(), w.myGrid()->y());
    // Every button lies inside the window.
    EXPECT_LE(w.cmdCancel()->geometry().right(), w.width());
    EXPECT_LE(w.cmdCancel()->geometry().bottom(), w.height());
}

TEST_F(RemapWindowTest, ALongLoadShowsAProgressBarThatEndsHidden) {
    start();
    std::string text = "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION\r\n";
    for (int i = 0; i < 450; ++i)
        text += "nobody" + std::to_string(i) + ",,x" + std::to_string(i) + ",\r\n";
    const std::string path = csv(text);
    RemapWindow& w = showExtensionRemap();
    bool seen = false;
    QMetaObject::Connection watch =
        QObject::connect(w.progressBar(), &QProgressBar::valueChanged,
                         [&](int) { seen = seen || w.progressBar()->isVisible(); });
    ui.openPaths = {path};
    w.cmdOpenCSVFile()->click();
    QObject::disconnect(watch);
    EXPECT_TRUE(seen);
    EXPECT_EQ(w.progressBar()->maximum(), 450);
    EXPECT_FALSE(w.progressBar()->isVisible());
}

TEST_F(RemapWindowTest, EditMenuOpensTheWindowsModallyAndTheSMTPApplyWrites) {
    start();
    const auto before = users();
    const std::string path = csv("OLD_ALIAS, OLD_EXTENSION, NEW_SMTP_ADDRESS\r\n" + before[0][0] +
                                 ",,new.address@example.com\r\n");
    MainWindow& main = program->main;
    ASSERT_TRUE(main.mnuAliasorExtensionRemap->isVisible());
    ASSERT_TRUE(main.mnuSMTPRemap->isVisible());

    // The alias window: up and modal while the menu handler runs; cancelled.
    QString title;
    whenModalOpens([&](RemapWindow& dialog) {
        title = dialog.windowTitle();
        dialog.cmdCancel()->click();
    });
    main.mnuAliasorExtensionRemap->trigger();
    EXPECT_EQ(title, "TARNIS Data Extension Remapper");

    // The e-mail window: load, tick all, apply.
    ui.openPaths = {path};
    ui.answers = {ui::Answer::Yes, ui::Answer::No};
    whenModalOpens([&](RemapWindow& dialog) {
        title = dialog.windowTitle();
        // Activation runs on the dialog's own event loop; let it.
        QCoreApplication::processEvents();
        dialog.cmdOpenCSVFile()->click();
        dialog.chkSelectAll()->click();
        dialog.cmdRemap()->click();
    });
    main.mnuSMTPRemap->trigger();
    EXPECT_EQ(title, "TARNIS Data Email Address Remapper");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const auto after = users();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[0][2], "new.address@example.com");
    EXPECT_EQ(after[1], before[1]);
    // The main window listed its objects again.
    EXPECT_EQ(main.txtObjectCount->text().toInt(), static_cast<int>(after.size()));
}

}  // namespace
}  // namespace tdv::gui
