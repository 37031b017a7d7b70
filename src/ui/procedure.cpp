#include "ui/procedure.h"

#include <filesystem>
#include <new>

#include "base/runtime_error.h"
#include "db/error_mapping.h"
#include "jet/error.h"

namespace tdv::ui {

ErrorInfo currentErrorInfo() {
    try {
        throw;
    } catch (const db::DbError& e) {
        return {e.number(), e.description()};
    } catch (const jet::Error& e) {
        db::DbError mapped = db::fromEngineError(e);
        return {mapped.number(), mapped.description()};
    } catch (const std::filesystem::filesystem_error&) {
        return {75, "Path/File access error"};
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::exception& e) {
        return {5, e.what()};
    } catch (...) {
        return {5, "Invalid procedure call or argument"};
    }
}

Procedure::Procedure(UiPort& ui, std::string name, std::string owner, ErrorStyle style,
                     OwnerKind ownerKind)
    : ui_(ui),
      name_(std::move(name)),
      owner_(std::move(owner)),
      style_(std::move(style)),
      ownerKind_(ownerKind) {}

bool Procedure::step(const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (...) {
        report(currentErrorInfo());
        return false;
    }
}

std::string Procedure::messageFor(const ErrorInfo& error) const {
    if (style_.isQuietOnNull() && error.number == db::errnum::kInvalidUseOfNull) return {};
    const std::string number = std::to_string(error.number);
    const std::string where = " in procedure " + name_ +
                              (ownerKind_ == OwnerKind::Form ? " of Form " : " of Module ") +
                              owner_;
    switch (style_.kind()) {
        case ErrorStyle::Kind::Standard:
            return "Error " + number + " (" + error.description + ")" + where;
        case ErrorStyle::Kind::ErrorColon:
            return "(error):" + number + " (" + error.description + ")" + where;
        case ErrorStyle::Kind::ErrorSpace:
            return "(error) " + number + " (" + error.description + ")" + where;
        case ErrorStyle::Kind::OwnText:
            return style_.prefix() + error.description;
        case ErrorStyle::Kind::Silent:
            return {};
    }
    return {};
}

void Procedure::report(const ErrorInfo& error) {
    ++failures_;
    const std::string text = messageFor(error);
    if (!text.empty()) ui_.messageBox(text, Buttons::Ok, Icon::None);
}

void Procedure::fail(const std::string& text) {
    ++failures_;
    if (!text.empty()) ui_.messageBox(text, Buttons::Ok, Icon::None);
}

bool Procedure::finish(const std::function<void()>& fn) {
    if (failed()) return false;
    return step(fn);
}

bool Procedure::loop(const std::function<bool()>& more, const std::function<void()>& next,
                     const std::function<void()>& body) {
    const int before = failures_;
    for (;;) {
        bool another = false;
        if (!step([&] { another = more(); })) return false;
        if (!another) return true;
        body();
        if (failures_ != before) return false;
        if (!step(next)) return false;
    }
}

bool Procedure::keep(OutputFile& file) {
    if (failed()) {
        file.discard();
        return false;
    }
    return step([&] { file.close(); });
}

}  // namespace tdv::ui
