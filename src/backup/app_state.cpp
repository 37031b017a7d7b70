#include "backup/app_state.h"

#include <cstdlib>

namespace tdv::backup {

std::string defaultAppFolder() {
    if (const char* home = std::getenv("TDV_HOME"); home && *home) return home;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::string(data) + "/tarnis-data-viewer";
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/tarnis-data-viewer";
}

}  // namespace tdv::backup
