// Whether bytes are a 3DMF scene: the one test behind the output guard, full mode's refusal of
// other files and the batch's search of folders, so that what one of them takes for 3DMF the
// others do too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace tarvex {

// Fed the input's bytes in order, in pieces of any size. 3DMF is, after anything the text reader
// skips (blanks, control bytes, commas, comments), the header word "3DMetafile" in any case; or
// the binary header; or a headerless fragment whose first token, after an optional "label:", is
// an object type's name followed by "(".
class Recognise3dmf {
  public:
    enum class Verdict { undecided, yes, no };

    // Past this many bytes of what the reader skips the answer is yes: nothing seen so far is
    // anything but 3DMF, and it bounds what a look at one file costs (and what standard input
    // holds back for the reader).
    static constexpr std::uint64_t kLookedAtMost = std::uint64_t{1} << 20;

    Verdict feed(std::string_view bytes);
    // The verdict once the input has ended.
    Verdict finish();

  private:
    Verdict token();
    Verdict delimiter(char c);

    enum class Expect { header_or_name, name_after_label, open_after_name };
    Verdict verdict_ = Verdict::undecided;
    Expect expect_ = Expect::header_or_name;
    bool firstBytesBinary_ = true;  // the bytes so far begin the binary header
    bool inComment_ = false;
    bool inToken_ = false;
    bool sawColon_ = false;  // the token so far holds a label's ":"
    std::uint64_t seen_ = 0;
    // The token being read; none of the names is longer, so a longer token is no name.
    char token_[32] = {};
    std::size_t tokenSize_ = 0;
    bool tokenTooLong_ = false;
};

// Whether `head` (a whole input, or the first kLookedAtMost bytes of one) is 3DMF.
bool is_3dmf(std::string_view head);

// Whether `name` (any case) is the text name of a 3DMF object type.
bool is_3dmf_type_name(std::string_view name);

// True when `path` is a regular file that is 3DMF by the test above.
bool holds_3dmf(const std::filesystem::path &path);

}  // namespace tarvex
