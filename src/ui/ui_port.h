// The UI port: everything the features need of a window system, and nothing more.
//
// Features never call a widget toolkit. They talk to the user through this interface: the
// Qt front end implements it with real dialogs and windows, `tdv` prints message boxes to
// stderr and answers questions from its options, and tests use a scripted fake that records
// every message box and answers each question from a list.
//
// All texts are UTF-8. A message box without a title carries the application's title.
#pragma once

#include <string>

namespace jet {
class FileSystem;
}

namespace tdv::ui {

// The application's title, carried by every message box that names no other title.
inline constexpr const char* kAppTitle = "TARNIS Data Viewer";

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Information, Question, Exclamation, Critical };
enum class Answer { Ok, Cancel, Yes, No };

// An open or save file dialog. The filter is one entry: a description ("Access Databases")
// and a pattern ("*.mdb").
struct FileDialog {
    std::string title;
    std::string initialFolder;
    std::string fileName;
    std::string filterDescription;
    std::string filterPattern;
    std::string defaultExtension;  // without the dot; save dialogs only
};

// The program's top-level windows whose visibility the features switch.
enum class Window { Main, Messages, Splash };

class UiPort {
public:
    virtual ~UiPort() = default;

    // Shows a message box and waits for the answer. An empty title means kAppTitle.
    virtual Answer messageBox(const std::string& text, Buttons buttons = Buttons::Ok,
                              Icon icon = Icon::None, const std::string& title = {}) = 0;

    // The chosen file's full path, or "" when the dialog was cancelled.
    virtual std::string openFileDialog(const FileDialog& dialog) = 0;
    virtual std::string saveFileDialog(const FileDialog& dialog) = 0;

    // Opens a folder in the desktop's file manager, or a file with its default program.
    virtual void openWithDesktop(const std::string& path) = 0;
    // Opens a web page in the default browser.
    virtual void openUrl(const std::string& url) = 0;

    // Replaces the clipboard's content with plain text ("" leaves it empty).
    virtual void setClipboardText(const std::string& text) = 0;

    // The hourglass pointer on (true) or the normal pointer again (false).
    virtual void setBusy(bool busy) = 0;
    // Lets pending window events run once.
    virtual void processEvents() = 0;
    // Waits; a window keeps repainting meanwhile where the toolkit allows.
    virtual void sleepMs(int milliseconds) = 0;

    // The per-user settings store (section "ApplicationSettings" and its keys).
    virtual std::string setting(const std::string& section, const std::string& key,
                                const std::string& defaultValue) = 0;
    virtual void saveSetting(const std::string& section, const std::string& key,
                             const std::string& value) = 0;

    // Shows or hides one of the program's windows. Showing the splash makes it topmost and
    // repaints it.
    virtual void setWindowVisible(Window window, bool visible) = 0;

    // The file system that output files (recordings, archives, exports) are written through;
    // nullptr, the default, is the real one (tests put one that fails here).
    virtual jet::FileSystem* outputFileSystem() { return nullptr; }
};

}  // namespace tdv::ui
