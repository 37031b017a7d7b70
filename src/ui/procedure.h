// Procedures with "carry on" error rules.
//
// Most procedures run each of their steps under one rule: when a step fails, report the
// failure in the procedure's own way (or not at all) and go on with the next step. A
// Procedure expresses that rule once; each step is a lambda:
//
//   Procedure proc(ui, "listHandlers_Click", "frmMain", ErrorStyle::errorColon().quietOnNull());
//   proc.step([&] { addLine("ObjectID=" + raw(rs, "ObjectID")); });
//
// Failures are exceptions: DbError (number and description as shown), jet::Error (translated
// as the provider reported it), std::filesystem::filesystem_error (75, "Path/File access
// error"), any other std::exception (5, its text). Joining a Null value into text raises
// DbError 94, which is how a line built from a raw Null value disappears.
//
// The texts, for procedure P of window or module W:
//   standard     "Error N (D) in procedure P of Form W"   (or "of Module W")
//   errorColon   "(error):N (D) in procedure P of Form W"
//   errorSpace   "(error) N (D) in procedure P of Module W"
//   ownText(T)   T + D                                     e.g. "Error in PullHandlerWAVFiles:" + D
//   silent       nothing
// quietOnNull() makes error 94 silent while other numbers are still shown.
//
// "Carry on" never means "claim success". The procedure remembers whether anything failed:
//   - finish(fn) runs the closing step that announces success ("extracted", "cleared",
//     "complete") only when nothing failed;
//   - loop(...) ends a loop at its first failure, so a step that would fail the same way for
//     every item (every chunk, every row) shows one box, not one per item;
//   - keep(file) closes an output file only when nothing failed; otherwise the half-written
//     file is removed.
#pragma once

#include <functional>
#include <string>

#include "ui/output_file.h"
#include "ui/ui_port.h"

namespace tdv::ui {

// A failure as the program shows it.
struct ErrorInfo {
    long number = 0;
    std::string description;
};

// The failure being handled, from inside a catch block.
ErrorInfo currentErrorInfo();

enum class OwnerKind { Form, Module };

class ErrorStyle {
public:
    enum class Kind { Standard, ErrorColon, ErrorSpace, OwnText, Silent };

    static ErrorStyle standard() { return ErrorStyle(Kind::Standard); }
    static ErrorStyle errorColon() { return ErrorStyle(Kind::ErrorColon); }
    static ErrorStyle errorSpace() { return ErrorStyle(Kind::ErrorSpace); }
    static ErrorStyle ownText(std::string prefix) {
        ErrorStyle s(Kind::OwnText);
        s.prefix_ = std::move(prefix);
        return s;
    }
    static ErrorStyle silent() { return ErrorStyle(Kind::Silent); }
    ErrorStyle quietOnNull() const {
        ErrorStyle s = *this;
        s.quietOnNull_ = true;
        return s;
    }

    Kind kind() const { return kind_; }
    bool isQuietOnNull() const { return quietOnNull_; }
    const std::string& prefix() const { return prefix_; }

private:
    explicit ErrorStyle(Kind kind) : kind_(kind) {}
    Kind kind_;
    bool quietOnNull_ = false;
    std::string prefix_;
};

class Procedure {
public:
    Procedure(UiPort& ui, std::string name, std::string owner, ErrorStyle style,
              OwnerKind ownerKind = OwnerKind::Form);

    // Runs one step. Returns true when it completed; on a failure reports it by the style
    // and returns false.
    bool step(const std::function<void()>& fn);
    // Reports a failure by the style (for code that caught one itself).
    void report(const ErrorInfo& error);
    // The message text a failure gives ("" for a silent one).
    std::string messageFor(const ErrorInfo& error) const;

    // Counts a failure the procedure tells in a message of its own (text shown, OK only).
    void fail(const std::string& text);
    // True when a step failed or fail() was called.
    bool failed() const { return failures_ > 0; }

    // Runs the closing step only when nothing failed. True when it ran and completed.
    bool finish(const std::function<void()>& fn);
    // While `more` (a step) says there is an item: `body`, then `next` (a step). The loop
    // ends at the first failure anywhere in it; false then, true when it ran to the end.
    bool loop(const std::function<bool()>& more, const std::function<void()>& next,
              const std::function<void()>& body);
    // Closes the output (a step) when nothing failed, else removes it. True when kept.
    bool keep(OutputFile& file);

    // Changes the rule for the steps that follow (procedures whose later steps are silent).
    void setStyle(ErrorStyle style) { style_ = std::move(style); }
    const ErrorStyle& style() const { return style_; }
    const std::string& name() const { return name_; }
    const std::string& owner() const { return owner_; }
    int failures() const { return failures_; }
    UiPort& ui() { return ui_; }

private:
    UiPort& ui_;
    std::string name_;
    std::string owner_;
    ErrorStyle style_;
    OwnerKind ownerKind_;
    int failures_ = 0;
};

}  // namespace tdv::ui
