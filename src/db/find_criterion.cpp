#include "db/find_criterion.h"

#include <cctype>

#include "db/db_error.h"
#include "db/vb_text.h"

namespace tdv::db {
namespace {

class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}
    void skipSpaces() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool atEnd() const { return i_ >= s_.size(); }
    char peek() const { return atEnd() ? '\0' : s_[i_]; }
    char take() { return s_[i_++]; }
    size_t pos() const { return i_; }
    std::string_view slice(size_t from) const { return s_.substr(from, i_ - from); }

private:
    std::string_view s_;
    size_t i_ = 0;
};

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::string readColumn(Cursor& c) {
    std::string name;
    if (c.peek() == '[') {
        c.take();
        while (!c.atEnd() && c.peek() != ']') name += c.take();
        if (c.atEnd()) throw badArgumentsError();
        c.take();
    } else {
        while (!c.atEnd() && isNameChar(c.peek())) name += c.take();
    }
    if (name.empty()) throw badArgumentsError();
    return name;
}

std::string readQuoted(Cursor& c) {
    c.take();  // opening quote
    std::string text;
    for (;;) {
        if (c.atEnd()) throw badArgumentsError();
        char ch = c.take();
        if (ch != '\'') {
            text += ch;
            continue;
        }
        if (c.peek() != '\'') return text;
        text += c.take();
    }
}

}  // namespace

FindCriterion parseFindCriterion(std::string_view text) {
    Cursor c(text);
    FindCriterion out;
    c.skipSpaces();
    out.column = readColumn(c);
    c.skipSpaces();
    if (c.atEnd() || c.take() != '=') throw badArgumentsError();
    c.skipSpaces();
    if (c.peek() == '\'') {
        out.literal = readQuoted(c);
        out.quoted = true;
    } else {
        const size_t from = c.pos();
        while (!c.atEnd() && !std::isspace(static_cast<unsigned char>(c.peek()))) c.take();
        out.literal = std::string(c.slice(from));
        if (!vbParseNumber(out.literal)) throw badArgumentsError();
    }
    c.skipSpaces();
    if (!c.atEnd()) throw badArgumentsError();
    return out;
}

}  // namespace tdv::db
