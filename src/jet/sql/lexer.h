// Jet SQL tokens.
//
// The lexer turns statement text into tokens: words (bare or [bracketed] identifiers;
// keywords are bare words the parser recognizes by name, so a column called "index" stays
// usable), 'text' literals with '' for a quote (double-quoted text too, as Jet accepts it),
// numbers, #date# literals and punctuation. Every token records its byte offset so error
// messages can quote the source. Bad input (an unterminated string, bracket or date, an
// unknown character) ends the list with an Invalid token, so the parser can report it in
// the clause where it happened; an over-long statement raises Error(Syntax). The lexer
// never reads past the end of its input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace jet::sql {

enum class TokenKind {
    Word,       // bare identifier or keyword
    Bracketed,  // [identifier]
    String,     // 'text' (value without quotes, '' undone)
    Number,     // 12, 3.5, .5, 1e3
    Date,       // #...# (text between the hashes)
    Symbol,     // = <> < > <= >= ( ) , . * ; + - & / \ ^
    Invalid,    // lexing failed here; text says what: "string", "date", "bracket", "character"
    End,
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;   // word, identifier, literal text or symbol
    size_t offset = 0;  // byte offset of the token's first character
    size_t end = 0;     // byte offset just past the token

    bool isWord(std::string_view keyword) const;  // bare word, compared without case
    bool isSymbol(std::string_view s) const { return kind == TokenKind::Symbol && text == s; }
};

// Longest statement accepted, in characters (UTF-16 units, as Jet counts): the program's
// statements are short, and a bound keeps memory use predictable on hostile input.
inline constexpr size_t kMaxStatementLength = 64 * 1024;

// The statement's length in UTF-16 units.
size_t statementLength(std::string_view sql);

std::vector<Token> tokenize(std::string_view sql);

}  // namespace jet::sql
