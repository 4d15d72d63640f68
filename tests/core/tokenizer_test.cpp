#include "core/tokenizer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using Tokens = std::vector<std::string>;

// Every block size from one byte up makes tokens, comments and CR LF pairs straddle blocks.
class TokenizerAtBlockSize : public testing::TestWithParam<std::size_t> {
  protected:
    LineTokenizer &open(const std::string &bytes) {
        file_.reset(std::tmpfile());
        std::fwrite(bytes.data(), 1, bytes.size(), file_.get());
        std::rewind(file_.get());
        tokenizer_ = std::make_unique<LineTokenizer>(file_.get(), GetParam());
        return *tokenizer_;
    }
    Tokens tokens(const std::string &bytes) {
        LineTokenizer &tokenizer = open(bytes);
        Tokens result;
        std::string_view token;
        if (!tokenizer.prime()) return result;
        while (tokenizer.next_token(token)) result.emplace_back(token);
        return result;
    }
    // Where the line of the token `after` ends, found by reading on or by finishing the line.
    std::uint64_t lineEndAfter(const std::string &bytes, const std::string &after, bool finish) {
        LineTokenizer &tokenizer = open(bytes);
        std::string_view token;
        EXPECT_TRUE(tokenizer.prime());
        while (tokenizer.next_token(token) && token != after) {
        }
        tokenizer.watch_line_end();
        if (finish) tokenizer.finish_line();
        while (!tokenizer.watched_line_ended() && tokenizer.next_token(token)) {
        }
        EXPECT_TRUE(tokenizer.watched_line_ended());
        return tokenizer.watched_line_end();
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file_{nullptr, &std::fclose};
    std::unique_ptr<LineTokenizer> tokenizer_;
};

TEST_P(TokenizerAtBlockSize, SplitsAtBlanksAndLineEndsWhileCommentsAndNulEndALine) {
    EXPECT_EQ(tokens("a\tb  c\n  \t\n\nd\r\ne\rf\r\r\ng( \"x y\" \f\v"),
              (Tokens{"a", "b", "c", "d", "e", "f", "g(", "\"x", "y\"", "\f\v"}));
    EXPECT_EQ(tokens("5 #five\n6 # six\r7\r\n#x y\n8 12#x a#b"),
              (Tokens{"5", "6", "7", "8", "12#x", "a#b"}));
    EXPECT_EQ(tokens(std::string("ab\0cd ef\ngh\0\rz", 14)), (Tokens{"ab", "gh", "z"}));
}

TEST_P(TokenizerAtBlockSize, WatchedLineEndIsJustPastItsTerminator) {
    EXPECT_EQ(lineEndAfter("a b\nc", "a", false), 4u);
    EXPECT_EQ(lineEndAfter("a b\r\nc", "b", false), 5u);
    EXPECT_EQ(lineEndAfter("a b\rc", "a", false), 4u);
    EXPECT_EQ(lineEndAfter("a\r\r\nc", "a", false), 2u);
    EXPECT_EQ(lineEndAfter("a # c\r\nd", "a", false), 7u);
    EXPECT_EQ(lineEndAfter("x\na b", "b", false), 5u);  // no terminator: the end of the input
    EXPECT_EQ(lineEndAfter("a b c\r\nd", "a", true), 7u);
    EXPECT_EQ(lineEndAfter("a b c", "b", true), 5u);
}

INSTANTIATE_TEST_SUITE_P(tokenizer, TokenizerAtBlockSize,
                         testing::Values(1, 2, 3, 7, std::size_t{1} << 20));

}  // namespace
}  // namespace tarvex
