// The About and Help windows: the version text, the single About instance shown modal twice
// with the same text and its logos, the help page found installed or in the source tree and
// shown modeless, the error page for a missing file, the help window's resize rule, and the
// help page itself covering every tdv command.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gui/about_window.h"
#include "gui/grid_view.h"
#include "gui/help_window.h"
#include "helpers/testdata.h"

namespace tdv::gui {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(AboutVersion, MajorAndRevisionCarryTheBlankOfNonNegativeNumbers) {
    EXPECT_EQ(aboutVersionText({1, 0, 35}), " 1.0 Build 35");
    EXPECT_EQ(aboutVersionText({0, 1, 0}), " 0.1 Build 0");
    EXPECT_EQ(aboutVersionText({12, 10, 7}), " 12.10 Build 7");
    EXPECT_EQ(aboutVersionText({-1, 2, -3}), "-1.2 Build-3");
}

TEST(AboutVersion, TheBuildsVersionNumberIsParsed) {
    const ProgramVersion v = parseProgramVersion("2.10.7");
    EXPECT_EQ(v.major, 2);
    EXPECT_EQ(v.minor, 10);
    EXPECT_EQ(v.revision, 7);
    const ProgramVersion partial = parseProgramVersion("3.4");
    EXPECT_EQ(partial.major, 3);
    EXPECT_EQ(partial.minor, 4);
    EXPECT_EQ(partial.revision, 0);
    EXPECT_EQ(parseProgramVersion("x").major, 0);
    const ProgramVersion own = programVersion();
    EXPECT_EQ(std::to_string(own.major) + "." + std::to_string(own.minor) + "." +
                  std::to_string(own.revision),
              TDV_VERSION);
}

// Shows the About window modal; the timer plays the user who presses OK.
std::string showAboutAndPressOk(AboutHolder& about, bool& wasModal) {
    std::string shown;
    QTimer::singleShot(0, [&] {
        AboutWindow& w = about.window();
        wasModal = w.isVisible() && QApplication::activeModalWidget() == &w;
        shown = w.lblVersion()->text().toStdString();
        w.cmdOK()->click();
    });
    about.showModal();
    return shown;
}

TEST(AboutWindow, OpensModalTwiceAsTheSameWindowWithTheSameVersion) {
    AboutHolder about;
    EXPECT_FALSE(about.loaded());
    bool modal = false;
    const std::string first = showAboutAndPressOk(about, modal);
    EXPECT_TRUE(modal);
    EXPECT_EQ(first, aboutVersionText(programVersion()));
    AboutWindow* window = &about.window();
    EXPECT_FALSE(window->isVisible());

    modal = false;
    const std::string second = showAboutAndPressOk(about, modal);
    EXPECT_TRUE(modal);
    EXPECT_EQ(&about.window(), window);
    EXPECT_EQ(second, first);
    EXPECT_FALSE(window->isVisible());
}

TEST(AboutWindow, HasItsCaptionLabelsAndTwoLogos) {
    AboutWindow about;
    EXPECT_EQ(about.windowTitle(), "TARNIS Data Viewer");
    EXPECT_EQ(about.lblVersionTitle()->text(), "Version:");
    EXPECT_EQ(about.cmdOK()->text(), "OK");
    int logos = 0;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            ++logos;
            EXPECT_GE(label->pixmap().width(), 48);
        }
    }
    EXPECT_EQ(logos, 2);
    // Nothing is cut off: the window holds every control's wanted size.
    about.show();
    QCoreApplication::processEvents();
    for (const QWidget* child : about.findChildren<QWidget*>()) {
        EXPECT_GE(child->width(), child->minimumSizeHint().width())
            << child->metaObject()->className();
    }
    about.hide();
}

TEST(HelpFile, IsFoundInTheInstallFolderFirstThenInTheSourceTree) {
    test::TempDir prefix;
    const fs::path bin = prefix.path() / "bin";
    fs::create_directories(bin);
    // Not installed: the source tree's page.
    const fs::path source = fs::path(TDV_SOURCE_DIR) / "share" / kHelpFileName;
    EXPECT_EQ(fs::path(helpFilePath(bin.string())), source);

    const fs::path installed = prefix.path() / "share" / "tarnis-data-viewer" / kHelpFileName;
    fs::create_directories(installed.parent_path());
    std::ofstream(installed) << "<html><body>installed</body></html>";
    EXPECT_EQ(fs::weakly_canonical(helpFilePath(bin.string())), fs::weakly_canonical(installed));
}

TEST(HelpWindow, ShowsThePageModelessAsOneWindow) {
    HelpHolder help("/nonexistent/bin");
    EXPECT_FALSE(help.loaded());
    help.show();
    ASSERT_TRUE(help.loaded());
    HelpWindow& window = help.window();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.windowTitle(), "TARNIS Data Viewer");
    const QString text = window.browserHelp()->toPlainText();
    EXPECT_TRUE(text.contains("TARNIS Data Viewer"));
    EXPECT_TRUE(text.contains("NEW_SMTP_ADDRESS"));
    EXPECT_EQ(window.browserHelp()->source().toLocalFile().toStdString(),
              (fs::path(TDV_SOURCE_DIR) / "share" / kHelpFileName).string());

    window.hide();
    help.show();
    EXPECT_EQ(&help.window(), &window);
    EXPECT_TRUE(window.isVisible());

    // Escape and Ctrl+W close it.
    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        help.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.browserHelp(), key.key(), key.keyboardModifiers());
        EXPECT_FALSE(window.isVisible()) << key.toCombined();
    }
}

TEST(HelpWindow, AMissingPageShowsTheBrowsersErrorPage) {
    HelpWindow window("/nonexistent/TARNISDataViewer.htm");
    EXPECT_TRUE(window.browserHelp()->toPlainText().contains("was not found"));
    EXPECT_TRUE(window.browserHelp()->toPlainText().contains("/nonexistent/TARNISDataViewer.htm"));
}

TEST(HelpWindow, SpringsBackToTheMinimumAndTheBrowserFollowsTheSize) {
    EXPECT_EQ(helpBrowserRect(5000, 4000).width, 4800);
    EXPECT_EQ(helpBrowserRect(5000, 4000).height, 3600);
    EXPECT_EQ(helpBrowserRect(5000, 4000).left, 100);
    EXPECT_EQ(helpBrowserRect(5000, 4000).top, 1);

    HelpWindow window("/nonexistent/TARNISDataViewer.htm");
    window.show();
    window.resize(twipsToPixels(2000, &window), twipsToPixels(2000, &window));
    QCoreApplication::processEvents();
    EXPECT_GE(window.width(), twipsToPixels(kHelpMinWidth, &window));
    EXPECT_GE(window.height(), twipsToPixels(kHelpMinHeight, &window));

    window.resize(600, 500);
    QCoreApplication::processEvents();
    // The rule works on the outer size, frame included.
    const QSize outer = window.frameGeometry().size();
    const QRect browser = window.browserHelp()->geometry();
    EXPECT_NEAR(browser.width(), outer.width() - twipsToPixels(200, &window), 1);
    EXPECT_NEAR(browser.height(), outer.height() - twipsToPixels(400, &window), 1);
    EXPECT_NEAR(browser.left(), twipsToPixels(100, &window), 1);
    window.hide();
}

std::string helpPage() {
    std::ifstream in(fs::path(TDV_SOURCE_DIR) / "share" / kHelpFileName);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HelpPage, NamesEveryTdvCommand) {
    const test::CommandResult help = test::runTdv("--help");
    ASSERT_EQ(help.status, 0);
    const std::string page = helpPage();
    // The subcommands are the indented names under "Subcommands:".
    const QString listing = QString::fromStdString(help.out);
    const auto start = listing.indexOf("Subcommands:");
    ASSERT_GE(start, 0);
    QRegularExpression line("^  ([a-z][a-z-]+) ", QRegularExpression::MultilineOption);
    int commands = 0;
    for (auto it = line.globalMatch(listing, start); it.hasNext();) {
        const std::string name = it.next().captured(1).toStdString();
        ++commands;
        EXPECT_TRUE(page.find("tdv " + name) != std::string::npos ||
                    page.find("<code>" + name + "</code>") != std::string::npos)
            << name << " is not described on the help page";
    }
    EXPECT_GE(commands, 10);
}

TEST(HelpPage, GivesBothRemapFormatsWithTheirHeaders) {
    const std::string page = helpPage();
    EXPECT_THAT(page, HasSubstr("OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION\n"));
    EXPECT_THAT(page, HasSubstr("OLD_ALIAS, OLD_EXTENSION, NEW_SMTP_ADDRESS\n"));
    EXPECT_THAT(page, HasSubstr("OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, "
                                "OLD_SMTP_ADDRESS, NEW_SMTP_ADDRESS"));
    for (const char* folder : {"WAVExtraction", "LogArchives", "temp_msg", "logs", "TDV_HOME",
                               ".local/share/tarnis-data-viewer"}) {
        EXPECT_THAT(page, HasSubstr(folder));
    }
}

}  // namespace
}  // namespace tdv::gui
