// Splits 3DMF text into tokens for the full-mode parser.
//
// The input is read in blocks of core's read_block_size() (a test hook), or smaller for a small
// input in memory. Tokens are views into the block; a token that runs into the next block is
// moved to the front once and the block grows behind it, so a token of any size costs time in
// proportion to its size and nothing is allocated per token.
//
// Lexical rules: blanks, tabs, line ends (LF, CR LF, CR alone), commas between tokens and NUL
// bytes separate tokens; `#` comments out the rest of its line; `(`, `)`, `|` and `"` end any
// token they touch. Commas a word ends with stay in it, so that custom type names such as
// `Apple Computer, Inc.:NameElement` keep theirs; other commas separate tokens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>

namespace tarvex::text {

enum class TokenKind : std::uint8_t {
    End,             // no more input
    Open,            // (
    Close,           // )
    Bar,             // | between bitfield words
    Word,            // a type name part or an enum word
    Label,           // `name:` (text without the colon)
    Ref,             // `name>` (text without the '>')
    Number,          // see Token::integer
    Hex,             // `0x…`: text holds the hex digits after the prefix
    String,          // text holds what stands between the quotes, escapes unresolved
    UnclosedString,  // a string the input ends in (line: where it began)
};

struct Token {
    TokenKind kind = TokenKind::End;
    // Number: no point and no exponent; `magnitude` is then its value without the sign
    // (`overflow` when it has more than 19 digits).
    bool integer = false;
    bool negative = false;
    bool overflow = false;
    // Number: letters followed it directly; they come as the next token.
    bool glued = false;
    // Number: a plain decimal `-?digits.digits` of at most 15 digits, which is exactly
    // `magnitude` / 10^`decimals` (all its digits as one integer, and the fraction's length).
    bool plain = false;
    std::uint8_t decimals = 0;
    std::uint64_t magnitude = 0;
    std::string_view text;  // valid until the lexer is called again
    std::uint64_t line = 0;
};

class Lexer {
  public:
    // Borrows `file`, which stays open and owned by the caller. `sizeHint` (0: unknown) scales
    // `progress` (may be empty), which gets 0..100 as blocks are read. A read error counts as
    // the end of the input (the caller tells them apart by ferror()).
    Lexer(std::FILE *file, std::uint64_t sizeHint, const std::function<void(int)> &progress);
    // Borrows `bytes` for the lexer's lifetime.
    explicit Lexer(std::string_view bytes);

    // Fills `token` with the next token (its text valid until the next call).
    void next(Token &token);

    std::uint64_t line() const { return line_; }
    // A NUL byte was met outside strings (read as a blank).
    bool saw_nul() const { return sawNul_; }

  private:
    void allocate(std::size_t blockSize);
    // Keeps the bytes from `keepFrom` (moved to the front) and reads the next block behind them.
    // Returns how far kept bytes moved down; `ok` is false at the end of the input.
    std::size_t refill(std::size_t keepFrom, bool &ok);
    std::size_t readSource(char *into, std::size_t bytes);
    bool plainNumber(std::size_t start, Token &token);
    Token numberOrWord(std::size_t start);
    Token word(std::size_t start);
    Token string(std::size_t start);

    std::FILE *file_ = nullptr;
    std::string_view memory_;
    std::size_t memoryPos_ = 0;
    std::unique_ptr<char[]> buf_;
    std::size_t capacity_ = 0;  // bytes in buf_, one of them kept for the end sentinel
    std::size_t blockSize_ = 0;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool sawNul_ = false;
    std::uint64_t line_ = 1;
    std::uint64_t consumed_ = 0;  // bytes read from the source
    std::uint64_t sizeHint_ = 0;
    int lastPercent_ = -1;
    const std::function<void(int)> *progress_ = nullptr;
};

}  // namespace tarvex::text
