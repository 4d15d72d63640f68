// The text parser: tokens into the object tree, with an explicit stack of open objects (so
// nesting costs no recursion) and the words before a `(` held back until they prove to be a type
// name. One class, since the value, label and structure handling share its stack and its
// look-ahead; split across files it would have to expose that state in a header.
#include "readers/text/text_parser.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <vector>

#include "core/string_hash.h"
#include "readers/text/text_lexer.h"
#include "readers/text/text_values.h"

namespace tarvex::text {
namespace {

using tree::ObjectTree;
using tree::ObjectType;
constexpr std::uint32_t kNone = ObjectTree::kNone;

// The tree indexes values, nodes and text bytes with 32 bits: stop well before they wrap.
constexpr std::uint64_t kMaxStored = 0xF0000000u;
// Values reserved up front at most (a larger input grows the arrays as it goes): a larger
// reservation may be refused outright where the system does not overcommit.
constexpr std::size_t kMaxReservedValues = std::size_t{1} << 28;
// Words waiting to learn whether a `(` makes them a type name. A custom type name has a few
// words; a longer run is data or junk and is let go as values.
constexpr std::size_t kMaxRunWords = 32;

// Input text for a message, cut so that a huge token makes no huge message.
// (Built by appending: GCC 12 warns falsely about operator+ on short literals.)
constexpr std::size_t kShown = 40;
std::string shown(std::string_view text) {
    std::string result(text.substr(0, kShown));
    if (text.size() > kShown) result.append("...");
    return result;
}
std::string quoted(std::string_view text) {
    std::string result;
    result.reserve(kShown + 5);
    result.append(1, '\'').append(text.substr(0, kShown));
    if (text.size() > kShown) result.append("...");
    result.append(1, '\'');
    return result;
}

class Parser {
  public:
    Parser(Lexer &lexer, ObjectTree &tree, tree::Diagnostics &diagnostics)
        : lexer_(lexer), tree_(tree), diagnostics_(diagnostics) {}

    ParseResult run();

  private:
    enum class Kind : std::uint8_t {
        Object,        // an ordinary object's parentheses: values, then nested objects
        Container,     // folded away: its first object is the root, the rest its children
        GroupHead,     // a BeginGroup's parentheses
        GroupMembers,  // after a BeginGroup's `)`, until EndGroup
        EndGroup,      // an EndGroup's parentheses
    };
    struct Frame {
        Kind kind = Kind::Object;
        bool dropWarned = false;   // Object, GroupHead: values after a nested object reported
        bool closesGroup = false;  // EndGroup: it ends the group below it on the stack
        // Object, GroupHead, GroupMembers: its node; Container: its root (kNone until known);
        // EndGroup: where objects written inside it go.
        std::uint32_t node = kNone;
        std::uint32_t parent = kNone;       // Container: where its root goes
        std::uint32_t labelOffset = kNone;  // Container: its label in labelArena_
        std::uint32_t labelLength = 0;
        std::uint64_t line = 0;  // where it was opened
    };

    bool valueWanted(std::uint64_t line, std::string_view text) {
        if (!hasLabel_ && !stack_.empty() && tree_.value_count() < kMaxStored) {
            const Frame &top = stack_.back();
            if ((top.kind == Kind::Object || top.kind == Kind::GroupHead) && takesValues(top))
                return true;
        }
        return valueWantedSlow(line, text);
    }
    bool valueWantedSlow(std::uint64_t line, std::string_view text);
    // Values belong to the node added last: once an object nested in this one added a node,
    // more values here would join that node's.
    bool takesValues(const Frame &frame) const { return frame.node + 1 == tree_.node_count(); }
    // `where` names the place; `opened` (when not 0) is the line its Container was opened on.
    void stray(std::uint64_t line, std::string_view text, const char *where,
               std::uint64_t opened = 0);

    void addNumber(const Token &token);
    void addHex(std::string_view digits);
    void addString(std::string_view raw);
    void addWord(const Token &token);
    void flushRunWords(std::size_t count);
    void flushRun() {
        if (runEnds_.empty()) return;
        flushRunWords(runEnds_.size());
        clearRun();
    }
    void clearRun() {
        runText_.clear();
        runEnds_.clear();
        runLines_.clear();
    }
    std::string_view runWord(std::size_t index) const {
        const std::size_t begin = index == 0 ? 0 : runEnds_[index - 1] + 1;
        return std::string_view(runText_).substr(begin, runEnds_[index] - begin);
    }

    void open(std::uint64_t line);
    void startObject(std::string_view name, std::uint64_t line);
    std::uint32_t childParent() const;
    void assignRoots(std::uint32_t node);
    void close(std::uint64_t line);
    void finish();
    void dropLabel(const char *why);
    void setLabel(std::uint32_t node, std::string_view label);
    bool textFits(std::size_t bytes);
    std::uint32_t countChildren(std::uint32_t node) const;
    std::string frameName(const Frame &frame) const;
    void fail(std::uint64_t line, std::string message);

    // Builds the message only while diagnostics still keeps entries: junk input warns often.
    template <class MakeText>
    void warn(std::uint64_t line, MakeText &&makeText) {
        if (diagnostics_.entries().size() >= tree::Diagnostics::kMaxEntries) {
            diagnostics_.warn(line, std::string());
        } else {
            diagnostics_.warn(line, makeText());
        }
    }

    Lexer &lexer_;
    ObjectTree &tree_;
    tree::Diagnostics &diagnostics_;
    ParseResult result_;
    bool failed_ = false;

    std::vector<Frame> stack_;
    std::string labelArena_;  // labels of open Containers

    std::string pendingLabel_;
    bool hasLabel_ = false;
    std::uint64_t labelLine_ = 0;

    // The current run of words, joined by one space.
    std::string runText_;
    std::vector<std::size_t> runEnds_;
    std::vector<std::uint64_t> runLines_;

    bool rawOpen_ = false;   // the last token was hex data added as a Raw value
    bool strayRun_ = false;  // stray values since the last structure token: reported once
    std::uint64_t textBytes_ = 0;
    std::uint64_t rawBytes_ = 0;
    std::string scratch_;  // a string's text with its escapes resolved

    // Type names as spelled in this file: the type table is searched once per spelling.
    std::unordered_map<std::string, ObjectType, StringHash, std::equal_to<>> types_;
    ObjectType typeOf(std::string_view name);
};

ObjectType Parser::typeOf(std::string_view name) {
    const auto found = types_.find(name);
    if (found != types_.end()) return found->second;
    const ObjectType type = tree::type_from_text_name(name);
    constexpr std::size_t kMaxSpellings = 512;  // junk must not grow it without bound
    if (types_.size() < kMaxSpellings && name.size() <= 64) types_.emplace(name, type);
    return type;
}

ParseResult Parser::run() {
    Token token;
    while (!failed_) {
        lexer_.next(token);
        if (token.kind != TokenKind::Hex) rawOpen_ = false;
        switch (token.kind) {
            case TokenKind::Number:
                if (!runEnds_.empty()) flushRun();
                if (valueWanted(token.line, token.text)) addNumber(token);
                if (token.glued) {
                    warn(token.line, [&] {
                        return "number " + quoted(token.text) +
                               " is glued to the text after it: read apart";
                    });
                }
                break;
            case TokenKind::Word:
                addWord(token);
                break;
            case TokenKind::Hex:
                flushRun();
                if (valueWanted(token.line, token.text)) {
                    addHex(token.text);
                } else {
                    rawOpen_ = false;
                }
                break;
            case TokenKind::String:
                flushRun();
                if (valueWanted(token.line, token.text)) addString(token.text);
                break;
            case TokenKind::Ref:
                flushRun();
                if (valueWanted(token.line, token.text) && textFits(token.text.size()))
                    tree_.add_ref_by_name(token.text);
                break;
            case TokenKind::Label:
                flushRun();
                strayRun_ = false;
                if (hasLabel_) dropLabel("another label follows it");
                pendingLabel_.assign(token.text);
                hasLabel_ = true;
                labelLine_ = token.line;
                break;
            case TokenKind::Bar:
                flushRun();
                valueWanted(token.line, token.text);  // inside an object it only joins words
                break;
            case TokenKind::Open:
                open(token.line);
                break;
            case TokenKind::Close:
                flushRun();
                close(token.line);
                break;
            case TokenKind::UnclosedString:
                flushRun();
                fail(lexer_.line(), "expected '\"' to close the string begun on line " +
                                        std::to_string(token.line) + ", found the end of the file");
                break;
            case TokenKind::End:
                flushRun();
                finish();
                if (!failed_) {
                    tree_.resolve();
                    return result_;
                }
                break;
        }
    }
    // Failed part-way: keep what was read consistent for the builder.
    for (const Frame &frame : stack_)
        if (frame.kind == Kind::GroupHead)
            tree_.set_head_count(frame.node, countChildren(frame.node));
    tree_.resolve();
    return result_;
}

void Parser::fail(std::uint64_t line, std::string message) {
    if (failed_) return;
    failed_ = true;
    result_.ok = false;
    result_.line = line;
    result_.message = std::move(message);
}

bool Parser::textFits(std::size_t bytes) {
    if (textBytes_ + bytes > kMaxStored) {
        fail(lexer_.line(), "the file holds more text than the reader can keep");
        return false;
    }
    textBytes_ += bytes;
    return true;
}

bool Parser::valueWantedSlow(std::uint64_t line, std::string_view text) {
    if (hasLabel_) dropLabel("a value follows it");
    if (tree_.value_count() >= kMaxStored) {
        fail(line, "the file holds more values than the reader can keep");
        return false;
    }
    if (stack_.empty()) {
        stray(line, text, "between objects");
        return false;
    }
    Frame &top = stack_.back();
    switch (top.kind) {
        case Kind::Object:
        case Kind::GroupHead:
            if (takesValues(top)) return true;
            if (!top.dropWarned) {
                top.dropWarned = true;
                warn(line, [&] {
                    return "values after an object nested in the " + frameName(top) + " of line " +
                           std::to_string(top.line) + " dropped";
                });
            }
            return false;
        case Kind::Container:
            stray(line, text, "inside the Container of line ", top.line);
            return false;
        case Kind::GroupMembers:
            stray(line, text, "between objects");
            return false;
        case Kind::EndGroup:
            stray(line, text, "inside EndGroup");
            return false;
    }
    return false;
}

void Parser::stray(std::uint64_t line, std::string_view text, const char *where,
                   std::uint64_t opened) {
    if (strayRun_) return;
    strayRun_ = true;
    warn(line, [&] {
        std::string message = "skipped values ";
        message.append(where);
        if (opened != 0) message.append(std::to_string(opened));
        return message.append(", from ").append(quoted(text));
    });
}

void Parser::dropLabel(const char *why) {
    if (!hasLabel_) return;
    hasLabel_ = false;
    warn(labelLine_, [&] {
        return "label " + quoted(pendingLabel_) + " ignored: " + why + " instead of an object";
    });
}

void Parser::setLabel(std::uint32_t node, std::string_view label) {
    if (textFits(label.size())) tree_.set_label(node, label);
}

void Parser::addNumber(const Token &token) {
    if (!add_number(token, tree_)) {
        warn(token.line,
             [&] { return "number " + quoted(token.text) + " is out of range: dropped"; });
    }
}

void Parser::addHex(std::string_view digits) {
    if (rawBytes_ + digits.size() / 2 + 1 > kMaxStored) {
        fail(lexer_.line(), "the file holds more raw data than the reader can keep");
        return;
    }
    if (!rawOpen_) tree_.begin_raw();
    rawOpen_ = true;
    rawBytes_ += append_hex(digits, tree_);
}

void Parser::addString(std::string_view raw) {
    unescape(raw, scratch_);
    if (textFits(scratch_.size())) tree_.add_string(scratch_);
}

void Parser::addWord(const Token &token) {
    if (runEnds_.size() == kMaxRunWords) flushRun();
    if (!runText_.empty()) runText_ += ' ';
    runText_.append(token.text);
    runEnds_.push_back(runText_.size());
    runLines_.push_back(token.line);
}

void Parser::flushRunWords(std::size_t count) {
    for (std::size_t i = 0; i < count && !failed_; ++i) {
        std::string_view word = runWord(i);
        while (!word.empty() && word.back() == ',') word.remove_suffix(1);
        if (word.empty()) continue;
        if (!valueWanted(runLines_[i], word)) continue;
        if (is_non_finite_word(word)) {
            warn(runLines_[i], [&] { return quoted(word) + " is not a finite number: dropped"; });
        } else if (textFits(word.size())) {
            tree_.add_word(word);
        }
    }
}

void Parser::open(std::uint64_t line) {
    if (runEnds_.empty()) {
        warn(line,
             [] { return std::string("'(' without a type name: read as an unknown object"); });
        startObject({}, line);
        return;
    }
    // A type name may have several words (`Apple Computer, Inc.:NameElement`); a known type's
    // name is one word, so words before it are data.
    const std::size_t last = runEnds_.size() - 1;
    const std::string_view lastWord = runWord(last);
    std::size_t first = 0;
    if (last != 0 && typeOf(lastWord) != ObjectType::Unknown) {
        flushRunWords(last);
        first = last;
    }
    std::string_view name =
        std::string_view(runText_).substr(first == 0 ? 0 : runEnds_[first - 1] + 1);
    while (!name.empty() && name.back() == ',') name.remove_suffix(1);
    if (!failed_) startObject(name, runLines_[first]);
    clearRun();
}

std::uint32_t Parser::childParent() const {
    if (stack_.empty()) return tree_.root();
    const Frame &top = stack_.back();
    switch (top.kind) {
        case Kind::Object:
        case Kind::GroupHead:
        case Kind::GroupMembers:
        case Kind::EndGroup:
            return top.node;
        case Kind::Container:
            return top.node == kNone ? top.parent : top.node;
    }
    return tree_.root();
}

void Parser::startObject(std::string_view name, std::uint64_t line) {
    strayRun_ = false;
    const ObjectType type = typeOf(name);
    Frame frame;
    frame.line = line;
    if (type == ObjectType::Container) {
        frame.kind = Kind::Container;
        frame.parent = childParent();
        if (hasLabel_) {
            hasLabel_ = false;
            frame.labelOffset = static_cast<std::uint32_t>(labelArena_.size());
            frame.labelLength = static_cast<std::uint32_t>(pendingLabel_.size());
            labelArena_ += pendingLabel_;
        }
        stack_.push_back(frame);
        return;
    }
    if (type == ObjectType::EndGroup) {
        dropLabel("EndGroup follows it");
        frame.kind = Kind::EndGroup;
        if (!stack_.empty() && stack_.back().kind == Kind::GroupMembers) {
            frame.node = stack_.back().node;
            frame.closesGroup = true;
        } else {
            warn(line, [] { return std::string("EndGroup without an open BeginGroup: ignored"); });
            frame.node = childParent();
        }
        stack_.push_back(frame);
        return;
    }
    if (tree_.node_count() >= kMaxStored) {
        fail(line, "the file holds more objects than the reader can keep");
        return;
    }
    const std::uint32_t parent = childParent();
    if (!textFits(name.size())) return;
    const std::uint32_t node = tree_.add_node(type, name, parent, line);
    if (hasLabel_) {
        hasLabel_ = false;
        setLabel(node, pendingLabel_);
    }
    if (!stack_.empty() && stack_.back().kind == Kind::Container && stack_.back().node == kNone)
        assignRoots(node);
    frame.kind = type == ObjectType::BeginGroup ? Kind::GroupHead : Kind::Object;
    frame.node = node;
    stack_.push_back(frame);
}

// The node is the first object of the innermost Container, and so of every Container that
// opened directly around it: it is their root and takes their label.
void Parser::assignRoots(std::uint32_t node) {
    for (std::size_t i = stack_.size(); i-- > 0;) {
        Frame &frame = stack_[i];
        if (frame.kind != Kind::Container || frame.node != kNone) break;
        frame.node = node;
        if (frame.labelOffset == kNone) continue;
        const std::string_view label =
            std::string_view(labelArena_).substr(frame.labelOffset, frame.labelLength);
        if (tree_.label_of(node).empty()) {
            setLabel(node, label);
        } else {
            // An object has one label: the innermost one names it.
            warn(frame.line, [&] {
                return "label " + quoted(label) + " ignored: the object is labelled " +
                       quoted(tree_.label_of(node)) + " already";
            });
        }
    }
}

void Parser::close(std::uint64_t line) {
    strayRun_ = false;
    dropLabel("')' follows it");
    while (!stack_.empty() && stack_.back().kind == Kind::GroupMembers) {
        const std::uint64_t opened = stack_.back().line;
        warn(line, [&] {
            return "BeginGroup of line " + std::to_string(opened) +
                   " has no EndGroup before this ')': closed here";
        });
        stack_.pop_back();
    }
    if (stack_.empty()) {
        warn(line, [] { return std::string("')' without an open object: ignored"); });
        return;
    }
    const Frame frame = stack_.back();
    stack_.pop_back();
    switch (frame.kind) {
        case Kind::Container:
            if (frame.node == kNone) {
                warn(frame.line, [] { return std::string("empty Container: nothing added"); });
            }
            break;
        case Kind::GroupHead: {
            tree_.set_head_count(frame.node, countChildren(frame.node));
            Frame members;
            members.kind = Kind::GroupMembers;
            members.node = frame.node;
            members.line = frame.line;
            stack_.push_back(members);
            break;
        }
        case Kind::EndGroup:
            if (frame.closesGroup) stack_.pop_back();
            break;
        case Kind::Object:
        case Kind::GroupMembers:
            break;
    }
    if (stack_.empty()) labelArena_.clear();
}

void Parser::finish() {
    dropLabel("the file ends");
    for (std::size_t i = stack_.size(); i-- > 0;) {
        const Frame &frame = stack_[i];
        if (frame.kind == Kind::GroupMembers) continue;
        fail(lexer_.line(), "expected ')' to close the " + frameName(frame) + " opened on line " +
                                std::to_string(frame.line) + ", found the end of the file");
        return;
    }
    while (!stack_.empty()) {
        const std::uint64_t opened = stack_.back().line;
        warn(lexer_.line(), [&] {
            return "BeginGroup of line " + std::to_string(opened) +
                   " has no EndGroup: closed at the end of the file";
        });
        stack_.pop_back();
    }
    if (lexer_.saw_nul()) {
        warn(lexer_.line(), [] { return std::string("NUL bytes in the text read as blanks"); });
    }
}

std::uint32_t Parser::countChildren(std::uint32_t node) const {
    std::uint32_t count = 0;
    for (std::uint32_t child = tree_.node(node).first_child; child != kNone;
         child = tree_.node(child).next_sibling)
        ++count;
    return count;
}

std::string Parser::frameName(const Frame &frame) const {
    switch (frame.kind) {
        case Kind::Container:
            return "Container";
        case Kind::EndGroup:
            return "EndGroup";
        default: {
            const std::string_view name = tree_.name_of(frame.node);
            return name.empty() ? std::string("object") : shown(name);
        }
    }
}

ParseResult parseWith(Lexer &lexer, std::uint64_t size, ObjectTree &tree,
                      tree::Diagnostics &diagnostics) {
    diagnostics.position_kind = tree::PositionKind::line;
    try {
        // A value takes at least two bytes of text (a digit and a blank): one reservation
        // holds them all, and pages never written to cost no memory.
        try {
            tree.reserve_values(std::min<std::uint64_t>(size / 2, kMaxReservedValues));
        } catch (const std::bad_alloc &) {
            // Grow as reading goes instead.
        }
        return Parser(lexer, tree, diagnostics).run();
    } catch (const std::bad_alloc &) {
        ParseResult result;
        result.ok = false;
        result.line = lexer.line();
        result.message = "out of memory";
        try {
            tree.resolve();
        } catch (const std::bad_alloc &) {
        }
        return result;
    }
}

}  // namespace

ParseResult parse_text(std::FILE *file, std::uint64_t size_hint, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics, const std::function<void(int)> &progress) {
    Lexer lexer(file, size_hint, progress);
    return parseWith(lexer, size_hint, tree, diagnostics);
}

ParseResult parse_text(std::string_view bytes, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics) {
    Lexer lexer(bytes);
    return parseWith(lexer, bytes.size(), tree, diagnostics);
}

}  // namespace tarvex::text
