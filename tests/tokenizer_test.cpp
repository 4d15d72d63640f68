#include "core/tokenizer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tarvex {
namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File memoryFile(const std::string &bytes) {
    File file(std::tmpfile());
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::rewind(file.get());
    return file;
}

// Every block size from one byte up makes tokens, comments and CR LF pairs straddle blocks.
class TokenizerAtBlockSize : public testing::TestWithParam<std::size_t> {
protected:
    std::vector<std::string> tokens(const std::string &bytes) {
        File file = memoryFile(bytes);
        LineTokenizer tokenizer(file.get(), GetParam());
        std::vector<std::string> result;
        if (!tokenizer.prime()) return result;
        std::string_view token;
        while (tokenizer.next_token(token)) result.emplace_back(token);
        return result;
    }

    // The offset just past the end of the line of the token `after`, as a mesh's progress uses.
    std::uint64_t lineEndAfter(const std::string &bytes, const std::string &after,
                               bool finishLine) {
        File file = memoryFile(bytes);
        LineTokenizer tokenizer(file.get(), GetParam());
        EXPECT_TRUE(tokenizer.prime());
        std::string_view token;
        while (tokenizer.next_token(token) && token != after) {
        }
        tokenizer.watch_line_end();
        if (finishLine) {
            tokenizer.finish_line();
        } else {
            while (!tokenizer.watched_line_ended() && tokenizer.next_token(token)) {
            }
        }
        EXPECT_TRUE(tokenizer.watched_line_ended());
        return tokenizer.watched_line_end();
    }
};

using Tokens = std::vector<std::string>;

TEST_P(TokenizerAtBlockSize, BlanksAndTabsSeparateTokensAndEveryLineEndCounts) {
    EXPECT_EQ(tokens("a\tb  c\n"), (Tokens{"a", "b", "c"}));
    EXPECT_EQ(tokens("  \t\n\nx"), (Tokens{"x"}));
    EXPECT_EQ(tokens("a\r\nb\rc\nd"), (Tokens{"a", "b", "c", "d"}));
    EXPECT_EQ(tokens("a\r\r\nb"), (Tokens{"a", "b"}));
    EXPECT_EQ(tokens("TriMesh( (0 \"x y\" \f\v"), (Tokens{"TriMesh(", "(0", "\"x", "y\"", "\f\v"}));
}

TEST_P(TokenizerAtBlockSize, CommentsRunToTheLineEndWhateverItIs) {
    EXPECT_EQ(tokens("5 #five\n6 # six\r7\r\n#x y\n8"), (Tokens{"5", "6", "7", "8"}));
    EXPECT_EQ(tokens("12#x a#b"), (Tokens{"12#x", "a#b"}));
    EXPECT_EQ(tokens("# only\n\n# comments"), Tokens{});
}

TEST_P(TokenizerAtBlockSize, NulEndsTheTextOfItsLine) {
    EXPECT_EQ(tokens(std::string("ab\0cd ef\ngh", 11)), (Tokens{"ab", "gh"}));
    EXPECT_EQ(tokens(std::string("\0x\rz", 4)), (Tokens{"z"}));
}

TEST_P(TokenizerAtBlockSize, LongLinesAndTokensAreNeverSplit) {
    const std::string longToken(5000, 'q');
    std::string line = "a ";
    line.append(longToken).append(" b # ").append(3000, 'c').append("\rd");
    EXPECT_EQ(tokens(line), (Tokens{"a", longToken, "b", "d"}));
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

TEST(tokenizer, EmptyInputCannotBePrimedButALoneLineEndCan) {
    File empty = memoryFile("");
    EXPECT_FALSE(LineTokenizer(empty.get(), 4).prime());
    File newline = memoryFile("\n");
    LineTokenizer tokenizer(newline.get(), 4);
    ASSERT_TRUE(tokenizer.prime());
    std::string_view token;
    EXPECT_FALSE(tokenizer.next_token(token));
}

}  // namespace
}  // namespace tarvex
