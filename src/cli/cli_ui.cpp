#include "cli/cli_ui.h"

namespace tdv::cli {

namespace {

const char* answerText(ui::Answer a) {
    switch (a) {
        case ui::Answer::Ok:
            return "OK";
        case ui::Answer::Cancel:
            return "Cancel";
        case ui::Answer::Yes:
            return "Yes";
        case ui::Answer::No:
            return "No";
    }
    return "OK";
}

std::string takeFront(std::deque<std::string>& paths) {
    if (paths.empty()) return {};
    std::string p = std::move(paths.front());
    paths.pop_front();
    return p;
}

}  // namespace

std::string CliUi::oneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7F) {
            // Other control characters (from a backup's data) never reach the terminal raw.
            static constexpr char kHex[] = "0123456789abcdef";
            const auto c = static_cast<unsigned char>(text[i]);
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += text[i];
        }
    }
    return out;
}

ui::Answer CliUi::messageBox(const std::string& text, ui::Buttons buttons, ui::Icon /*icon*/,
                             const std::string& /*title*/) {
    shown.push_back(text);
    if (buttons == ui::Buttons::Ok) {
        err_ << "message: " << oneLine(text) << "\n";
        return ui::Answer::Ok;
    }
    ui::Answer answer;
    if (buttons == ui::Buttons::OkCancel) {
        answer = answerYes_ ? ui::Answer::Ok : ui::Answer::Cancel;
    } else {
        answer = answerYes_ ? ui::Answer::Yes : ui::Answer::No;
    }
    err_ << "question: " << oneLine(text) << " -> " << answerText(answer) << "\n";
    return answer;
}

std::string CliUi::openFileDialog(const ui::FileDialog& /*dialog*/) {
    return takeFront(openPaths);
}

std::string CliUi::saveFileDialog(const ui::FileDialog& /*dialog*/) {
    return takeFront(savePaths);
}

void CliUi::openWithDesktop(const std::string& path) {
    err_ << "open: " << path << "\n";
}

void CliUi::openUrl(const std::string& url) {
    err_ << "open: " << url << "\n";
}

std::string CliUi::setting(const std::string& section, const std::string& key,
                           const std::string& defaultValue) {
    const auto it = settings_.find(section + "/" + key);
    return it == settings_.end() ? defaultValue : it->second;
}

void CliUi::saveSetting(const std::string& section, const std::string& key,
                        const std::string& value) {
    settings_[section + "/" + key] = value;
}

}  // namespace tdv::cli
