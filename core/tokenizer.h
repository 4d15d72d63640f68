// Splits 3DMF text into blank-separated tokens, dropping comments.
//
// Lines end at LF, CR LF or a lone CR and have no length limit. Tokens are separated by blanks
// and tabs only; a token that begins with '#' comments out the rest of its line, and a NUL byte
// ends the text of its line. The input is read in fixed blocks; tokens are views into the block
// (or, for the rare token that straddles two blocks, into a carry-over buffer), so nothing is
// allocated per token.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The size of the blocks read from the input; 1 MiB unless a test sets it (a tiny size makes
// every token, comment and CR LF pair straddle a block boundary).
std::size_t read_block_size();
void set_read_block_size(std::size_t bytes);

class LineTokenizer {
  public:
    // Borrows `input`, which stays open and owned by the caller. `prefix` holds bytes read from
    // `input` earlier by someone else: they come first.
    explicit LineTokenizer(std::FILE *input, std::size_t blockSize = read_block_size(),
                           std::string prefix = {});
    // Reads `bytes`, which must outlive the tokenizer, through a block no larger than they are.
    explicit LineTokenizer(std::string_view bytes, std::size_t blockSize = read_block_size());

    // Reads the first block; false when the input holds no byte at all or cannot be read.
    bool prime();

    // The next token, valid until the next call; false at the end of the input. A read error
    // ends the input too; read_failed() then tells the two apart.
    bool next_token(std::string_view &token);

    // Whether the input ended with a read error rather than at its end.
    bool read_failed() const { return readFailed_; }

    // Asks to be told where the line of the token returned last ends: the offset just past its
    // terminator, or the end of the input when it has none.
    void watch_line_end();
    bool watched_line_ended() const { return watchedEnded_; }
    std::uint64_t watched_line_end() const { return watchedEnd_; }

    // Skips the rest of the current line, so that a watched line end becomes known.
    void finish_line();

    // Bytes consumed so far.
    std::uint64_t offset() const { return blockStart_ + pos_; }

  private:
    bool refill();
    void consumeLineEnd();
    void skipRestOfLine();
    void lineEnded(std::uint64_t offsetAfterTerminator);
    std::size_t scanToken(std::size_t from) const;

    std::FILE *input_;         // null when reading from memory
    std::string_view memory_;  // what is left of the memory input
    std::vector<char> block_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t blockStart_ = 0;
    bool eof_ = false;
    bool readFailed_ = false;
    bool crAtBlockEnd_ = false;  // a CR ended the last block: a leading LF belongs to it
    std::string carry_;          // a token that straddles blocks
    std::string prefix_;         // input bytes to deliver before reading more
    std::size_t prefixUsed_ = 0;
    bool watching_ = false;
    bool watchedEnded_ = false;
    std::uint64_t watchedEnd_ = 0;
};

}  // namespace tarvex
