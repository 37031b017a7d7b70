// The update check and the start-up hook (module modUpdateCheck).
//
// "Chec&k for updated version" asks the tools web site which version of this tool it
// publishes, compares it with the running version and either says the tool is up to date or
// offers to open the tool's home page. The site's download list is an XML document in which
// the tool appears as the link text title + "^" + home page path + "^ifram_a", followed by a
// "<cell>" whose content begins with the published version (digits and points).
//
// The site's scheme-and-host prefix is the setting "ApplicationSettings"/"ToolsSiteURL"
// (default kDefaultToolsSiteURL); the home page and the download list are paths on it. The
// download is bounded in time and size (http_get.h): a hung or huge answer ends in the
// could-not-contact message, the program keeps running.
//
// Comparable versions (PadVersionString): every dot-separated part padded with zeros to four
// digits ("36" -> "0036", "00001" -> "0001", "12345" stays), so that two versions compare
// correctly as plain strings whatever their digit counts below 10000.
//
// The start-up hook RunTestBatchFile runs "test.sh" from the application folder with the
// running version, the home page address and the title, without waiting; it runs it only when
// it is a regular file owned by the current user and not writable by group or others, and
// skips it silently otherwise (a missing file is the usual case).
#pragma once

#include <string>

#include "support/http_get.h"
#include "ui/ui_port.h"

namespace tdv::app {
struct FrmMain;
}

namespace tdv::support {

inline constexpr const char* kToolTitle = "TARNIS Data Viewer Utility";
inline constexpr const char* kToolsSiteSettingKey = "ToolsSiteURL";
inline constexpr const char* kDefaultToolsSiteURL = "http://tools.orvexzerith.com";
inline constexpr const char* kHomePagePath = "/Applications/General/TARNIS/TARNIS.html";
inline constexpr const char* kDownloadListPath = "/SiteList/AllDownloads/AllDownloads.XML";
inline constexpr const char* kTestScriptName = "test.sh";

// The tools site's prefix: the setting, or the default when the setting is empty; trailing
// "/" removed.
std::string strToolsSiteURL(ui::UiPort& ui);
// The tool's home page address on the configured site.
std::string strHomePageAddress(ui::UiPort& ui);

// The site's scheme-and-host prefix of a home page address: the address without the home
// page path when it ends with it, else "scheme://authority". The download list lies on it.
std::string strSitePrefix(const std::string& homePage);
// The host of the site ("host", or "host:port" for a port other than 80) named in messages.
std::string strSiteHost(const std::string& homePage);

// The running program's version, "major.minor.revision" (from the build).
std::string strRunningVersion();

// What a check uses beyond its two design arguments; tests set a version and short limits.
struct UpdateCheckOptions {
    std::string runningVersion = strRunningVersion();
    HttpLimits limits;
};

// The menu entry: hourglass, the check with the configured home page and kToolTitle, normal
// pointer again.
void mnuCheckForUpdates_Click(app::FrmMain& form);

// The dialogue: could-not-contact, the update offer (OK opens the home page) or up to date.
// Errors: "Error N (D) in procedure checkForUpdatedVersion_Foreground of Module
// modUpdateCheck", then on with the next step.
void checkForUpdatedVersion_Foreground(ui::UiPort& ui, const std::string& homePage,
                                       const std::string& title,
                                       const UpdateCheckOptions& options = {});

// The comparable published version, or "" when the list could not be read or does not list
// the tool with a version. Silent on errors.
std::string strFetchPublishedVersion(ui::UiPort& ui, const std::string& homePage,
                                     const std::string& title, const HttpLimits& limits = {});

// The body of the address as UTF-8 text (its bytes are Windows-1252), or "" when the
// download failed or was cut short (a truncated list is never read: a version cut in the
// middle would compare wrongly). accessType is kept for the design's signature; the system's
// settings are always used. Silent on errors.
std::string strGetURLText(const std::string& url, int accessType = 0,
                          const HttpLimits& limits = {});

// The comparable form of a version, or "" for a text shorter than 4 characters. A text of 4
// or more characters without any "." is reported as "(error):9 (Subscript out of range) in
// procedure PadVersionString of Module modUpdateCheck" and gives "".
std::string PadVersionString(ui::UiPort& ui, const std::string& version);

// The start-up hook; never fails, never waits, leaves no zombie process.
void RunTestBatchFile(const std::string& appFolder, const std::string& homePage,
                      const std::string& title);

// True when the start-up hook would run the file: a regular file (not a link) owned by the
// current user and writable by neither group nor others.
bool bIsTrustedTestScript(const std::string& path);

}  // namespace tdv::support
