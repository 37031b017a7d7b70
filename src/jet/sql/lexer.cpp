#include "jet/sql/lexer.h"

#include "base/text.h"
#include "jet/error.h"

namespace jet::sql {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Word characters: letters, digits, underscore, and any byte of a UTF-8 sequence (Access
// names may hold accented letters).
bool isWordChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '_' || u >= 0x80;
}

class Lexer {
public:
    explicit Lexer(std::string_view sql) : s_(sql) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        while (true) {
            while (pos_ < s_.size() && isSpace(s_[pos_])) ++pos_;
            if (pos_ >= s_.size()) break;
            Token t = next();
            bool invalid = t.kind == TokenKind::Invalid;
            out.push_back(std::move(t));
            if (invalid) return out;
        }
        Token end;
        end.offset = end.end = s_.size();
        out.push_back(end);
        return out;
    }

private:
    Token make(TokenKind kind, std::string text, size_t start) {
        Token t;
        t.kind = kind;
        t.text = std::move(text);
        t.offset = start;
        t.end = pos_;
        return t;
    }

    Token invalid(const char* what, size_t start) {
        pos_ = s_.size();
        return make(TokenKind::Invalid, what, start);
    }

    Token next() {
        size_t start = pos_;
        char c = s_[pos_];
        if (c == '\'' || c == '"') return quoted(c, start);
        if (c == '[') return bracketed(start);
        if (c == '#') return date(start);
        if (isDigit(c) || (c == '.' && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1])))
            return number(start);
        if (isWordChar(c)) {
            while (pos_ < s_.size() && isWordChar(s_[pos_])) ++pos_;
            return make(TokenKind::Word, std::string(s_.substr(start, pos_ - start)), start);
        }
        return symbol(start);
    }

    Token quoted(char quote, size_t start) {
        std::string text;
        ++pos_;
        while (true) {
            if (pos_ >= s_.size()) return invalid("string", start);
            char c = s_[pos_++];
            if (c != quote) {
                text += c;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == quote) {
                text += quote;
                ++pos_;
                continue;
            }
            return make(TokenKind::String, std::move(text), start);
        }
    }

    Token bracketed(size_t start) {
        size_t close = s_.find(']', pos_ + 1);
        if (close == std::string_view::npos) return invalid("bracket", start);
        std::string name(s_.substr(pos_ + 1, close - pos_ - 1));
        pos_ = close + 1;
        if (name.empty()) return invalid("bracket", start);
        return make(TokenKind::Bracketed, std::move(name), start);
    }

    Token date(size_t start) {
        size_t close = s_.find('#', pos_ + 1);
        if (close == std::string_view::npos) return invalid("date", start);
        std::string text(s_.substr(pos_ + 1, close - pos_ - 1));
        pos_ = close + 1;
        return make(TokenKind::Date, std::move(text), start);
    }

    Token number(size_t start) {
        while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            size_t p = pos_ + 1;
            if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
            if (p < s_.size() && isDigit(s_[p])) {
                pos_ = p;
                while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
            }
        }
        // "5abc" is neither a number nor a name.
        if (pos_ < s_.size() && isWordChar(s_[pos_])) {
            while (pos_ < s_.size() && isWordChar(s_[pos_])) ++pos_;
            return make(TokenKind::Word, std::string(s_.substr(start, pos_ - start)), start);
        }
        return make(TokenKind::Number, std::string(s_.substr(start, pos_ - start)), start);
    }

    Token symbol(size_t start) {
        static constexpr std::string_view kTwo[] = {"<>", "<=", ">="};
        for (auto two : kTwo) {
            if (s_.substr(pos_, 2) == two) {
                pos_ += 2;
                return make(TokenKind::Symbol, std::string(two), start);
            }
        }
        static constexpr std::string_view kOne = "=<>(),.*;+-&/\\^";
        if (kOne.find(s_[pos_]) != std::string_view::npos) {
            ++pos_;
            return make(TokenKind::Symbol, std::string(1, s_[start]), start);
        }
        return invalid("character", start);
    }

    std::string_view s_;
    size_t pos_ = 0;
};

}  // namespace

bool Token::isWord(std::string_view keyword) const {
    return kind == TokenKind::Word && tdv::base::equalsIgnoringCase(text, keyword);
}

// Characters as Jet counts them: UTF-16 units (a character beyond U+FFFF counts two).
size_t statementLength(std::string_view sql) {
    size_t n = 0;
    for (char c : sql) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) ++n;
        if (b >= 0xF0) ++n;
    }
    return n;
}

std::vector<Token> tokenize(std::string_view sql) {
    // Every UTF-16 unit takes at least one UTF-8 byte: only longer texts need counting.
    if (sql.size() > kMaxStatementLength && statementLength(sql) > kMaxStatementLength) {
        throw Error(ErrorKind::Syntax, errnum::kSyntaxGeneric,
                    "The SQL statement is too long (more than " +
                        std::to_string(kMaxStatementLength) + " characters).");
    }
    return Lexer(sql).run();
}

}  // namespace jet::sql
