// A multi-line text box as a plain string: what the report procedures write into.
//
// Lines end with CR LF, as the program's text boxes and clipboard copies always had them.
#pragma once

#include <string>

namespace tdv::ui {

struct TextBox {
    std::string Text;

    // Appends the line and CR LF.
    void AddLine(const std::string& line) {
        Text += line;
        Text += "\r\n";
    }
    void clear() { Text.clear(); }
};

}  // namespace tdv::ui
