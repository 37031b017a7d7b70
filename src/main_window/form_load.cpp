#include "main_window/form_load.h"

#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "base/text.h"
#include "main_window/frm_main_procedures.h"
#include "support/update_check.h"
#include "ui/procedure.h"

namespace tdv::app {

namespace {

constexpr const char* kCannotCreateTestFile =
    "Unable to create log file data under this applications install folder.  Make sure you are "
    "running as an account that can create files in this location.  If you are running on "
    "Vista, be sure to use the 'run as administrator' option when launching this tool.";

// The niceness that stands for the below-normal priority class.
constexpr int kBelowNormalNice = 5;

}  // namespace

bool bCanCreateTestFile(const std::string& appFolder) {
    namespace fs = std::filesystem;
    try {
        fs::create_directories(appFolder);
        const fs::path file = fs::path(appFolder) / kStartupTestFileName;
        if (fs::exists(file)) fs::remove(file);
        {
            std::ofstream out(file, std::ios::trunc);
            if (!out) return false;
            out << "test string\n";
            out.close();
            if (!out) return false;
        }
        if (fs::exists(file)) fs::remove(file);
        return true;
    } catch (const fs::filesystem_error&) {
        return false;
    }
}

bool bSetProcessPriority() {
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, 0);
    if (current == -1 && errno != 0) return false;
    if (current >= kBelowNormalNice) return true;
    return setpriority(PRIO_PROCESS, 0, kBelowNormalNice) == 0;
}

bool hasStQuellisSwitch(const std::string& commandLine) {
    return base::asciiLower(commandLine).find("/stquellis") != std::string::npos;
}

bool Form_Load(FrmMain& form) {
    ui::Procedure proc(form.ui, "Form_Load", "frmMain", ui::ErrorStyle::errorColon());
    // The start-up hook of the update check runs first, with the home page and tool title.
    proc.step([&] {
        support::RunTestBatchFile(form.state.appFolder, support::strHomePageAddress(form.ui),
                                  support::kToolTitle);
    });
    bool canCreate = false;
    proc.step([&] { canCreate = bCanCreateTestFile(form.state.appFolder); });
    if (!canCreate) {
        form.ui.messageBox(kCannotCreateTestFile);
        return false;
    }
    proc.step([&] { ConnectToMDBFile(form); });
    if (form.state.strMDBConnectString.empty()) return false;
    proc.step([&] { bSetProcessPriority(); });
    proc.step([&] { form.pagerScrubMenuVisible = hasStQuellisSwitch(form.state.commandLine); });
    return true;
}

}  // namespace tdv::app
