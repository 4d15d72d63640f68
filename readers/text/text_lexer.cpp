#include "readers/text/text_lexer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "core/tokenizer.h"
#include "tree/object_type.h"

namespace tarvex::text {
namespace {

enum CharClass : std::uint8_t {
    cWord,
    cSpace,
    cComma,
    cLF,
    cCR,
    cHash,
    cOpen,
    cClose,
    cBar,
    cQuote,
    cNul,
};

constexpr std::array<CharClass, 256> makeClasses() {
    std::array<CharClass, 256> classes{};
    for (int c = 1; c < 0x20; ++c) classes[c] = cSpace;  // tabs, form feeds, stray controls
    classes[' '] = cSpace;
    classes[','] = cComma;
    classes['\n'] = cLF;
    classes['\r'] = cCR;
    classes['#'] = cHash;
    classes['('] = cOpen;
    classes[')'] = cClose;
    classes['|'] = cBar;
    classes['"'] = cQuote;
    classes[0] = cNul;
    return classes;
}
constexpr std::array<CharClass, 256> kClass = makeClasses();

// Bytes that continue a token.
constexpr std::array<bool, 256> makeContinues() {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = kClass[c] == cWord;
    return table;
}
constexpr std::array<bool, 256> kTokenChar = makeContinues();

CharClass classOf(char c) {
    return kClass[static_cast<unsigned char>(c)];
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reading digits eight bytes at a time may look up to 7 bytes past the end sentinel.
constexpr std::size_t kDigitReadAhead = 8;

// Appends the digits at `p` to `value` (which wraps around when they are more than 19) and
// returns their end. Eight bytes at a time where the byte order allows: the digits of a
// coordinate then cost a few instructions instead of a few per digit.
const char *readDigits(const char *p, std::uint64_t &value) {
    if constexpr (std::endian::native == std::endian::little) {
        static constexpr std::array<std::uint64_t, 9> kScale = {
            1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
        for (;;) {
            std::uint64_t bytes;
            std::memcpy(&bytes, p, sizeof bytes);
            const std::uint64_t x = bytes ^ 0x3030303030303030u;  // digits become 0..9
            // The high bit of each byte that is not below 10; carries only run past the first.
            const std::uint64_t nonDigits = ((x + 0x7676767676767676u) | x) & 0x8080808080808080u;
            const int count = nonDigits == 0 ? 8 : std::countr_zero(nonDigits) / 8;
            if (count == 0) return p;
            // The digits alone, first one highest, as eight with leading zeros; then the
            // conversion of eight digits by three multiplications (as fast_float does it).
            std::uint64_t v = x << (64 - 8 * count);
            v = v * 10 + (v >> 8);
            v = ((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32)) +
                 ((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32))) >>
                32;
            value = value * kScale[count] + v;
            p += count;
            if (count < 8) return p;
        }
    } else {
        for (; isDigit(*p); ++p) value = value * 10 + static_cast<unsigned>(*p - '0');
        return p;
    }
}

Token nameToken(std::string_view text, std::uint64_t line) {
    Token token;
    token.kind = TokenKind::Word;
    token.line = line;
    token.text = text;
    if (text.size() > 1 && text.back() == ':') {
        token.kind = TokenKind::Label;
        token.text.remove_suffix(1);
    } else if (text.size() > 1 && text.back() == '>') {
        token.kind = TokenKind::Ref;
        token.text.remove_suffix(1);
    }
    return token;
}

}  // namespace

Lexer::Lexer(std::FILE *file, std::uint64_t sizeHint, const std::function<void(int)> &progress)
    : file_(file), sizeHint_(sizeHint), progress_(&progress) {
    allocate(read_block_size());
}

Lexer::Lexer(std::string_view bytes) : memory_(bytes) {
    allocate(std::min(read_block_size(), std::max<std::size_t>(bytes.size(), 1)));
}

void Lexer::allocate(std::size_t blockSize) {
    blockSize_ = std::max<std::size_t>(blockSize, 1);
    capacity_ = blockSize_ + 1;
    buf_ = std::make_unique<char[]>(capacity_ + kDigitReadAhead);
    buf_[0] = '\0';
}

std::size_t Lexer::readSource(char *into, std::size_t bytes) {
    if (file_ != nullptr) return std::fread(into, 1, bytes, file_);
    const std::size_t n = std::min(bytes, memory_.size() - memoryPos_);
    if (n == 0) return 0;  // an empty view may have no data pointer at all
    std::memcpy(into, memory_.data() + memoryPos_, n);
    memoryPos_ += n;
    return n;
}

std::size_t Lexer::refill(std::size_t keepFrom, bool &ok) {
    ok = false;
    if (eof_) return 0;
    const std::size_t keep = end_ - keepFrom;
    if (keep != 0 && keepFrom != 0) std::memmove(buf_.get(), buf_.get() + keepFrom, keep);
    pos_ = pos_ >= keepFrom ? pos_ - keepFrom : 0;
    end_ = keep;
    std::size_t room = capacity_ - 1 - keep;
    if (room == 0 || room * 2 < blockSize_) {
        // A long token fills the block: double, so that its bytes are copied O(1) times each.
        const std::size_t capacity = std::max(capacity_ * 2, keep + blockSize_ + 1);
        auto grown = std::make_unique<char[]>(capacity + kDigitReadAhead);
        std::memcpy(grown.get(), buf_.get(), keep);
        buf_ = std::move(grown);
        capacity_ = capacity;
        room = capacity_ - 1 - keep;
    }
    const std::size_t n = readSource(buf_.get() + end_, std::min(blockSize_, room));
    end_ += n;
    buf_[end_] = '\0';  // the sentinel: every scan loop stops at it
    if (n == 0) {
        eof_ = true;
        return keepFrom;
    }
    consumed_ += n;
    if (sizeHint_ != 0 && progress_ != nullptr && *progress_) {
        const int percent =
            static_cast<int>(std::min<std::uint64_t>(100, consumed_ * 100 / sizeHint_));
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            (*progress_)(percent);
        }
    }
    ok = true;
    return keepFrom;
}

// The common case in one pass: a plain number within the block, ended by a blank, a
// parenthesis or a comma. False for anything else (numberOrWord() then reads the token).
bool Lexer::plainNumber(std::size_t start, Token &token) {
    const char *s = buf_.get() + start;
    const char *q = s;
    token.line = line_;
    if (*q == '-' || *q == '+') token.negative = *q++ == '-';
    const char *digitsStart = q;
    std::uint64_t magnitude = 0;
    q = readDigits(q, magnitude);
    const std::size_t integerDigits = static_cast<std::size_t>(q - digitsStart);
    std::size_t digits = integerDigits;
    token.integer = *q != '.';
    if (!token.integer) {
        const char *fraction = ++q;
        q = readDigits(q, magnitude);
        const auto decimals = static_cast<std::size_t>(q - fraction);
        digits += decimals;
        token.plain = digits <= 15;
        token.decimals = static_cast<std::uint8_t>(token.plain ? decimals : 0);
    }
    if (digits == 0 || kTokenChar[static_cast<unsigned char>(*q)] || q == buf_.get() + end_)
        return false;
    token.kind = TokenKind::Number;
    token.magnitude = magnitude;
    token.overflow = integerDigits > 19;
    token.text = std::string_view(s, static_cast<std::size_t>(q - s));
    pos_ = static_cast<std::size_t>(q - buf_.get());
    return true;
}

void Lexer::next(Token &token) {
    token = Token{};
    bool ok = false;
    for (;;) {
        // Blanks between numbers first: most bytes that are not in a token are these.
        const char *b = buf_.get();
        std::size_t pos = pos_;
        std::uint64_t line = line_;
        for (;;) {
            const char blank = b[pos];
            if (blank == ' ' || blank == '\t') {
                ++pos;
            } else if (blank == '\n') {
                ++pos;
                ++line;
            } else {
                break;
            }
        }
        pos_ = pos;
        line_ = line;
        const char c = b[pos];
        switch (classOf(c)) {
            case cSpace:
            case cComma:
                ++pos_;
                continue;
            case cLF:
                ++line_;
                ++pos_;
                continue;
            case cCR:
                ++line_;
                ++pos_;
                if (pos_ == end_) refill(pos_, ok);
                if (buf_[pos_] == '\n') ++pos_;
                continue;
            case cHash:
                for (;;) {
                    while (classOf(buf_[pos_]) != cLF && classOf(buf_[pos_]) != cCR &&
                           buf_[pos_] != '\0')
                        ++pos_;
                    if (buf_[pos_] != '\0') break;
                    if (pos_ != end_) {
                        ++pos_;  // a NUL inside the comment
                        continue;
                    }
                    refill(pos_, ok);
                    if (!ok) break;
                }
                continue;
            case cNul:
                if (pos_ == end_) {
                    refill(pos_, ok);
                    if (!ok) {
                        token.line = line_;  // kind End
                        return;
                    }
                    continue;
                }
                sawNul_ = true;
                ++pos_;
                continue;
            case cOpen:
            case cClose:
            case cBar:
                token.kind =
                    c == '(' ? TokenKind::Open : (c == ')' ? TokenKind::Close : TokenKind::Bar);
                token.line = line_;
                token.text = std::string_view(buf_.get() + pos_, 1);
                ++pos_;
                return;
            case cQuote:
                token = string(pos_);
                return;
            case cWord:
                // Numbers are filled in place: a Token copied right after its fields were
                // written stalled the copy's wide loads on the narrow stores.
                if (isDigit(c) || c == '-' || c == '+' || c == '.') {
                    if (!plainNumber(pos_, token)) token = numberOrWord(pos_);
                    return;
                }
                token = word(pos_);
                return;
        }
    }
}

Token Lexer::word(std::size_t start) {
    // Commas the word ends with stay in it (`Apple Computer, Inc.`); commas between two words
    // (`True,2`) separate them.
    std::size_t p = start;
    std::size_t wordEnd = start;  // just past the last byte that is not a comma
    for (;;) {
        const auto c = static_cast<unsigned char>(buf_[p]);
        if (kTokenChar[c]) {
            if (p != wordEnd) {
                p = wordEnd;
                break;
            }
            wordEnd = ++p;
        } else if (c == ',') {
            ++p;
        } else if (p == end_) {
            bool ok = false;
            const std::size_t shift = refill(start, ok);
            start -= shift;
            p -= shift;
            wordEnd -= shift;
            if (!ok) break;
        } else {
            break;
        }
    }
    pos_ = p;
    return nameToken(std::string_view(buf_.get() + start, p - start), line_);
}

Token Lexer::numberOrWord(std::size_t start) {
    std::size_t p = start;
    for (;;) {
        while (kTokenChar[static_cast<unsigned char>(buf_[p])]) ++p;
        if (p != end_) break;
        bool ok = false;
        const std::size_t shift = refill(start, ok);
        start -= shift;
        p -= shift;
        if (!ok) break;
    }
    pos_ = p;
    const char *s = buf_.get() + start;
    const std::size_t n = p - start;
    Token token;
    token.line = line_;

    if (n >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        std::size_t i = 2;
        while (i < n && isHexDigit(s[i])) ++i;
        if (i == n) {
            token.kind = TokenKind::Hex;
            token.text = std::string_view(s + 2, n - 2);
            return token;
        }
    }

    std::size_t i = 0;
    if (s[0] == '-' || s[0] == '+') {
        token.negative = s[0] == '-';
        ++i;
    }
    std::uint64_t magnitude = 0;
    std::size_t digits = 0;
    for (; i < n && isDigit(s[i]); ++i, ++digits)
        if (digits < 19) magnitude = magnitude * 10 + static_cast<unsigned>(s[i] - '0');
    token.integer = true;
    if (i < n && s[i] == '.') {
        token.integer = false;
        for (++i; i < n && isDigit(s[i]); ++i) ++digits;
    }
    if (digits == 0) return nameToken(std::string_view(s, n), line_);  // "-", ".", "-foo"
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (s[j] == '-' || s[j] == '+')) ++j;
        if (j < n && isDigit(s[j])) {
            while (j < n && isDigit(s[j])) ++j;
            i = j;
            token.integer = false;
        }
    }
    token.kind = TokenKind::Number;
    token.magnitude = magnitude;
    token.overflow = digits > 19;
    if (i < n) {
        // `3DMetafile` begins with a digit; a label or reference may too.
        const std::string_view whole(s, n);
        if (whole.back() == ':' || whole.back() == '>' ||
            tree::type_from_text_name(whole) != tree::ObjectType::Unknown)
            return nameToken(whole, line_);
        token.glued = true;
        pos_ = start + i;
    }
    token.text = std::string_view(s, i);
    return token;
}

Token Lexer::string(std::size_t start) {
    Token token;
    token.line = line_;
    std::size_t p = start + 1;
    for (;;) {
        if (p == end_) {
            bool ok = false;
            const std::size_t shift = refill(start, ok);
            start -= shift;
            p -= shift;
            if (!ok) {
                pos_ = p;
                token.kind = TokenKind::UnclosedString;
                return token;
            }
            continue;
        }
        const char c = buf_[p];
        if (c == '"') break;
        if (c == '\\') {
            if (p + 1 == end_) {
                bool ok = false;
                const std::size_t shift = refill(start, ok);
                start -= shift;
                p -= shift;
                if (!ok) {
                    pos_ = p + 1;
                    token.kind = TokenKind::UnclosedString;
                    return token;
                }
            }
            ++p;  // the escaped byte, which may be a line end
        }
        const char d = buf_[p];
        if (d == '\r' || (d == '\n' && buf_[p - 1] != '\r')) ++line_;
        ++p;
    }
    pos_ = p + 1;
    token.kind = TokenKind::String;
    token.text = std::string_view(buf_.get() + start + 1, p - start - 1);
    return token;
}

}  // namespace tarvex::text
