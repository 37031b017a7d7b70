#include "support/update_check.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "backup/app_state.h"
#include "base/cp1252.h"
#include "base/text.h"
#include "base/utf8.h"
#include "db/db_error.h"
#include "jet/text_codec.h"
#include "main_state/frm_main.h"
#include "ui/procedure.h"

namespace tdv::support {

namespace {

constexpr const char* kModule = "modUpdateCheck";
constexpr std::size_t kPaddedDigits = 4;
// The list page must be at least this long to be looked at.
constexpr std::size_t kMinPageCharacters = 10;

constexpr const char* kCannotContact =
    "Unable to contact application home page to check for version.  You can access the home "
    "page and check for updated versions of all Orvex Zerith tools by going to ";
constexpr const char* kUpdateAvailable = "An updated version of this tool is available on ";
constexpr const char* kUpdateAvailableTail = ".  Click OK to open the application home page now";
constexpr const char* kUpdateAvailableTitle = "Updated version is available";
constexpr const char* kUpToDate = "You have the most up to date version of this tool installed";

// Letter case is ignored for ASCII letters; the texts searched for are ASCII in practice.
std::size_t findIgnoringCase(const std::string& haystack, const std::string& needle,
                             std::size_t from = 0) {
    return base::asciiLower(haystack).find(base::asciiLower(needle), from);
}

std::vector<std::string> splitAtDots(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto dot = text.find('.', start);
        parts.push_back(text.substr(start, dot - start));
        if (dot == std::string::npos) return parts;
        start = dot + 1;
    }
}

// One part as the "0###" pattern gives it, padded to four digits: leading zeros dropped,
// then zeros in front up to four digits. An empty part stays empty, as an empty text
// formats to nothing.
std::string padPart(const std::string& part) {
    if (part.empty()) return part;
    if (!std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); })) {
        throw db::typeMismatchError();
    }
    std::string digits = part.substr(std::min(part.find_first_not_of('0'), part.size()));
    if (digits.size() < kPaddedDigits) digits.insert(0, kPaddedDigits - digits.size(), '0');
    return digits;
}

}  // namespace

std::string strToolsSiteURL(ui::UiPort& ui) {
    std::string site = ui.setting(backup::kSettingsSection, kToolsSiteSettingKey, "");
    if (site.empty()) site = kDefaultToolsSiteURL;
    while (site.size() > 1 && site.back() == '/') site.pop_back();
    return site;
}

std::string strHomePageAddress(ui::UiPort& ui) {
    return strToolsSiteURL(ui) + kHomePagePath;
}

std::string strSitePrefix(const std::string& homePage) {
    const std::string_view path = kHomePagePath;
    if (homePage.size() > path.size() &&
        base::asciiLower(homePage.substr(homePage.size() - path.size())) ==
            base::asciiLower(path)) {
        return homePage.substr(0, homePage.size() - path.size());
    }
    const auto scheme = homePage.find("://");
    if (scheme == std::string::npos) return {};
    return homePage.substr(0, homePage.find('/', scheme + 3));
}

std::string strSiteHost(const std::string& homePage) {
    const std::string prefix = strSitePrefix(homePage);
    HttpUrl url;
    if (parseHttpUrl(prefix, url)) return url.authority();
    const auto scheme = prefix.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    return prefix.substr(start, prefix.find('/', start) - start);
}

std::string strRunningVersion() {
    return TDV_VERSION;
}

std::string PadVersionString(ui::UiPort& ui, const std::string& version) {
    if (version.size() < 4) return {};
    ui::Procedure proc(ui, "PadVersionString", kModule, ui::ErrorStyle::errorColon(),
                       ui::OwnerKind::Module);
    std::string result;
    proc.step([&] {
        // A version is at least two parts; a lone number is not one.
        if (version.find('.') == std::string::npos) {
            throw db::DbError(9, "Subscript out of range");
        }
        std::string joined;
        const std::vector<std::string> parts = splitAtDots(version);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0) joined += '.';
            joined += padPart(parts[i]);
        }
        result = joined;
    });
    return result;
}

std::string strGetURLText(const std::string& url, int /*accessType*/, const HttpLimits& limits) {
    try {
        const HttpResult answer = httpGet(url, limits);
        if (!answer.ok) return {};
        return base::cp1252ToUtf8(answer.body);
    } catch (...) {
        return {};
    }
}

std::string strFetchPublishedVersion(ui::UiPort& ui, const std::string& homePage,
                                     const std::string& title, const HttpLimits& limits) {
    std::string collected;
    try {
        // The home page path follows the site's prefix, whatever the prefix's length.
        const std::string prefix = strSitePrefix(homePage);
        if (prefix.empty() || homePage.size() <= prefix.size()) return {};
        const std::string page = strGetURLText(prefix + kDownloadListPath, 0, limits);
        if (base::utf8CharacterCount(page) < kMinPageCharacters) return {};
        const std::string path = homePage.substr(prefix.size());
        const std::string key =
            (base::utf8CharacterCount(title) > 1 ? title : std::string()) + "^" + path + "^ifram_a";
        const std::size_t found = findIgnoringCase(page, key);
        if (found == std::string::npos) return {};
        const std::size_t cell = findIgnoringCase(page, "<cell>", found);
        if (cell == std::string::npos) return {};
        for (std::size_t i = cell + 6; i < page.size(); ++i) {
            const char c = page[i];
            if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') break;
            collected += c;
        }
    } catch (...) {
        return {};
    }
    return PadVersionString(ui, collected);
}

void checkForUpdatedVersion_Foreground(ui::UiPort& ui, const std::string& homePage,
                                       const std::string& title,
                                       const UpdateCheckOptions& options) {
    ui::Procedure proc(ui, "checkForUpdatedVersion_Foreground", kModule, ui::ErrorStyle::standard(),
                       ui::OwnerKind::Module);
    std::string published;
    std::string running;
    proc.step([&] { published = strFetchPublishedVersion(ui, homePage, title, options.limits); });
    proc.step([&] { running = PadVersionString(ui, options.runningVersion); });
    const std::string host = strSiteHost(homePage);
    if (published.empty()) {
        proc.step([&] { ui.messageBox(kCannotContact + host); });
        return;
    }
    if (running < published) {
        proc.step([&] {
            const ui::Answer answer =
                ui.messageBox(kUpdateAvailable + host + kUpdateAvailableTail, ui::Buttons::OkCancel,
                              ui::Icon::None, kUpdateAvailableTitle);
            if (answer == ui::Answer::Ok) ui.openUrl(homePage);
        });
        return;
    }
    proc.step([&] { ui.messageBox(kUpToDate); });
}

void mnuCheckForUpdates_Click(app::FrmMain& form) {
    form.ui.setBusy(true);
    checkForUpdatedVersion_Foreground(form.ui, strHomePageAddress(form.ui), kToolTitle);
    form.ui.setBusy(false);
}

}  // namespace tdv::support
