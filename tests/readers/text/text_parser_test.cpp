#include "readers/text/text_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/number_parse.h"
#include "core/tokenizer.h"

namespace tarvex::text {
namespace {

using tree::ObjectTree;
using tree::ObjectType;
using tree::ValueKind;

struct Parsed {
    ObjectTree tree;
    tree::Diagnostics diagnostics;
    ParseResult result;
};

std::unique_ptr<Parsed> parse(std::string_view text) {
    auto parsed = std::make_unique<Parsed>();
    parsed->result = parse_text(text, parsed->tree, parsed->diagnostics);
    return parsed;
}

std::string valueText(const ObjectTree &tree, std::uint32_t v) {
    std::ostringstream out;
    switch (tree.kind(v)) {
        case ValueKind::Uns:
        case ValueKind::Int:
            out << *tree.as_integer(v);
            break;
        case ValueKind::Float:
            out << *tree.as_float(v) << 'f';
            break;
        case ValueKind::Word:
            out << tree.word(v);
            break;
        case ValueKind::String:
            out << '"' << tree.string(v) << '"';
            break;
        case ValueKind::Raw: {
            out << "0x" << std::hex;
            for (std::uint8_t byte : tree.raw(v)) out << (byte >> 4) << (byte & 15);
            break;
        }
        case ValueKind::Ref:
            out << '>' << tree.ref_name(v);
            break;
    }
    return out.str();
}

// The tree written compactly: `Name=label/headCount{values}[children]`, siblings by a blank.
// (Appended piece by piece: GCC 12 warns falsely about operator+ on short literals.)
std::string shape(const ObjectTree &tree, std::uint32_t parent = 0) {
    std::string text;
    for (std::uint32_t n = tree.node(parent).first_child; n != ObjectTree::kNone;
         n = tree.node(n).next_sibling) {
        const ObjectTree::Node &node = tree.node(n);
        if (!text.empty()) text.append(" ");
        text.append(tree.name_of(n));
        if (node.label != ObjectTree::kNone) text.append("=").append(tree.label_of(n));
        if (node.type == ObjectType::BeginGroup)
            text.append("/").append(std::to_string(node.head_count));
        if (node.value_count != 0) {
            text.append("{");
            for (std::uint32_t v = node.first_value; v < node.first_value + node.value_count; ++v)
                text.append(v == node.first_value ? "" : " ").append(valueText(tree, v));
            text.append("}");
        }
        if (node.first_child != ObjectTree::kNone)
            text.append("[").append(shape(tree, n)).append("]");
    }
    return text;
}

// An input, the tree read from it (up to the failure, if any), the line and message of the
// failure (line 0: none), and the lines of its warnings.
struct Case {
    std::string_view input;
    const char *shape;
    std::uint64_t failureLine = 0;
    const char *message = "";
    std::vector<std::uint64_t> warningLines = {};
};

void expectCases(const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        const auto parsed = parse(c.input);
        EXPECT_EQ(parsed->result.ok, c.failureLine == 0)
            << c.input << ": " << parsed->result.message;
        EXPECT_EQ(shape(parsed->tree), c.shape) << c.input;
        std::vector<std::uint64_t> warningLines;
        for (const auto &entry : parsed->diagnostics.entries())
            warningLines.push_back(entry.position);
        EXPECT_EQ(warningLines, c.warningLines) << c.input;
        if (c.failureLine != 0) {
            EXPECT_EQ(parsed->result.line, c.failureLine) << c.input;
            EXPECT_EQ(parsed->result.message, c.message) << c.input;
        }
    }
}

TEST(text_parser, FoldsContainersAndGroupsIntoTheTreeShape) {
    expectCases({
        {"3DMetafile ( 1 6 Normal toc> )\nbox: Container ( Box ( ) Container ( AttributeSet ( ) "
         "DiffuseColor ( 1 0 0 ) ) )",
         "3DMetafile{1 6 Normal >toc} Box=box[AttributeSet[DiffuseColor{1 0 0}]]"},
        {"Container ( Container ( Box ( ) Cone ( ) ) Torus ( ) )", "Box[Cone Torus]"},
        {"g: BeginGroup ( DisplayGroup ( ) ) Box ( ) EndGroup ( ) Cone ( )",
         "BeginGroup=g/1[DisplayGroup Box] Cone"},
        {"BeginGroup ( Group ( ) ) BeginGroup ( DisplayGroup ( ) DisplayGroupState ( IsInline ) )"
         " Box ( ) EndGroup ( ) Cone ( ) EndGroup ( ) Torus ( )",
         "BeginGroup/1[Group BeginGroup/2[DisplayGroup DisplayGroupState{IsInline} Box] Cone] "
         "Torus"},
        {"Container ( TriMesh ( 1 ) BeginGroup ( Group ( ) ) Box ( ) EndGroup ( ) )",
         "TriMesh{1}[BeginGroup/1[Group Box]]"},
        {"toc: TableOfContents ( toc2> 3 -1 1 16 2\n 1 a> AttributeSet\n 2 b> Container )",
         "TableOfContents=toc{>toc2 3 -1 1 16 2 1 >a AttributeSet 2 >b Container}"},
        {"Reference ( 4 ) Caps ( Top | Bottom ) Wibble ( 1 Foo )",
         "Reference{4} Caps{Top Bottom} Wibble{1 Foo}"},
        {"Container ( Torus ( ) Container ( Apple Computer, Inc.:NameElement ( ) CString ( \"r\" ) "
         ") )",
         "Torus[Apple Computer, Inc.:NameElement[CString{\"r\"}]]"},
    });
}

TEST(text_parser, KeepsNumbersAndLexicalFormsAsWrittenAndTypesCaseInsensitively) {
    expectCases({
        {"X ( 0 7 -3 1.5 -0 4294967295 4294967296 -2147483648 -2147483649 1e3 .5 +2 -1.0 )",
         "X{0 7 -3 1.5f -0f 4294967295 4.29497e+09f -2147483648 -2.14748e+09f 1000f 0.5f 2 -1f}"},
        {"X ( 123456789012345678901234 )", "X{1.23457e+23f}"},
        // The lexical forms real files use.
        {"AttributeArray(1 2)Box(True)HighlightState (True)",
         "AttributeArray{1 2} Box{True} HighlightState{True}"},
        {"PolyLine ( 2 -1.0, -1.0,0.5, )", "PolyLine{2 -1f -1f 0.5f}"},
        {"Box (# a comment ( with parens\r 1 # another\n 2 )#last", "Box{1 2}"},
        {"CString ( \"a (b) \\\"q\\\" \\\\ \\n\\t\\' # x\" )",
         "CString{\"a (b) \"q\" \\ \n\t' # x\"}"},
        {"PixmapTexture ( 2 0x0102 0x0A0b\n 0x3 7 0xFF )", "PixmapTexture{2 0x01020a0b03 7 0xff}"},
        {"Box ( ) ", "Box"},
        {"Fragment ( 1 )", "Fragment{1}"},
        {"lbl1: Box ( ) 12lbl: Cone ( ) Foo ( x1> )", "Box=lbl1 Cone=12lbl Foo{>x1}"},
    });
    const auto parsed = parse("trimesh ( ) Wibble ( ) 3DMetafile ( 1 0 Stream a> )");
    EXPECT_EQ(parsed->tree.node(1).type, ObjectType::TriMesh);
    EXPECT_EQ(parsed->tree.node(2).type, ObjectType::Unknown);
    EXPECT_EQ(parsed->tree.node(3).type, ObjectType::Metafile);
}

TEST(text_parser, CountsLinesForEveryLineEnd) {
    const auto parsed = parse("A ( )\nB ( )\r\nC ( )\rD ( )\r\rE ( \"x\ny\r\nz\" )\n\r\nF ( )");
    std::vector<std::uint64_t> lines;
    for (std::uint32_t n = 1; n < parsed->tree.node_count(); ++n)
        lines.push_back(parsed->tree.node(n).position);
    EXPECT_EQ(lines, (std::vector<std::uint64_t>{1, 2, 3, 4, 6, 10}));
}

TEST(text_parser, ResolvesLabelsAndTableOfContentsReferences) {
    const auto parsed = parse(
        "3DMetafile ( 1 6 Database toc> )\n"
        "set: Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) )\n"
        "grp: BeginGroup ( DisplayGroup ( ) ) Box ( ) EndGroup ( )\n"
        "Container ( Cone ( ) Reference ( 2 ) ) X ( set> nowhere> )\n"
        // The count says 7; the first entry has lost its id and is skipped, the count no id.
        "toc: TableOfContents ( next> 3 -1 1 16 7 grp> DisplayGroup 1 set> AttributeSet\n"
        "2 grp> DisplayGroup 5 nowhere> Box )");
    ASSERT_TRUE(parsed->result.ok);
    const ObjectTree &tree = parsed->tree;
    const std::uint32_t set = tree.labelled("set");
    const std::uint32_t group = tree.labelled("grp");
    EXPECT_EQ(tree.node(set).type, ObjectType::AttributeSet);
    EXPECT_EQ(tree.node(group).type, ObjectType::BeginGroup);
    EXPECT_EQ(tree.reference_target(1), set);
    EXPECT_EQ(tree.reference_target(2), group);
    EXPECT_EQ(tree.reference_target(5), ObjectTree::kNone);
    EXPECT_EQ(tree.reference_target(7), ObjectTree::kNone);
    EXPECT_EQ(tree.ref_target(3), tree.labelled("toc"));  // the header's tocLocation
    std::uint32_t x = 1;
    while (tree.name_of(x) != "X") ++x;
    EXPECT_EQ(tree.ref_target(tree.node(x).first_value), set);
    EXPECT_EQ(tree.ref_target(tree.node(x).first_value + 1), ObjectTree::kNone);
}

TEST(text_parser, ReadsPastWhatCanBeReadPastWithAWarningOnItsLine) {
    expectCases({
        {"A ( )\n) B ( )", "A B", 0, "", {2}},
        {"A ( )\nEndGroup ( ) B ( )", "A B", 0, "", {2}},
        {"BeginGroup ( Group ( ) )\nA ( )\n", "BeginGroup/1[Group A]", 0, "", {3}},
        {"X ( BeginGroup ( Group ( ) ) A ( )\n)", "X[BeginGroup/1[Group A]]", 0, "", {2}},
        {"1 2 3\n4 ref> \"s\" 0x01 A ( 5 )", "A{5}", 0, "", {1}},
        {"Container ( 1 A ( ) 2 B ( ) )", "A[B]", 0, "", {1, 1}},
        {"Container (\n) B ( )", "B", 0, "", {1}},
        {"X ( 1 Y ( 2 ) 3 4 Z ( ) 5 )", "X{1}[Y{2} Z]", 0, "", {1}},
        {"X ( 1 Container ( )\n EndGroup ( ) 2 )", "X{1 2}", 0, "", {1, 2}},
        {"lost:\n1 A ( )", "A", 0, "", {1, 2}},
        {"lost: ) A ( )", "A", 0, "", {1, 1}},
        {"X ( 1.5True 2\n7e )", "X{1.5f True 2 7 e}", 0, "", {1, 2}},
        {"X ( nan 1 -INF\n1e999 2 )", "X{1 2}", 0, "", {1, 1, 2}},
        {"( 1 ) A ( )", "{1} A", 0, "", {1}},
        {"a: Container (\n b: Container ( Box ( ) ) )", "Box=b", 0, "", {1}},
        {std::string_view("A ( 1\0 2 )", 10), "A{1 2}", 0, "", {1}},
    });
    const auto strays = parse("Container ( 1 A ( ) )\n7 B ( )");
    std::vector<std::string> texts;
    for (const auto &entry : strays->diagnostics.entries()) texts.push_back(entry.text);
    EXPECT_EQ(texts,
              (std::vector<std::string>{"skipped values inside the Container of line 1, from '1'",
                                        "skipped values between objects, from '7'"}));
}

TEST(text_parser, FailsOnlyWhereReadingCannotGoOnAndKeepsWhatWasRead) {
    expectCases({
        {"A ( 1 )\nTriMesh ( 1 2\n3", "A{1} TriMesh{1 2 3}", 3,
         "expected ')' to close the TriMesh opened on line 2, found the end of the file"},
        {"Container ( Box ( 1 )\n\n", "Box{1}", 3,
         "expected ')' to close the Container opened on line 1, found the end of the file"},
        {"BeginGroup ( Group ( ) Box ( )", "BeginGroup/2[Group Box]", 1,
         "expected ')' to close the BeginGroup opened on line 1, found the end of the file"},
        {"A ( )\nCString ( \"never\nclosed )\n", "A CString", 4,
         "expected '\"' to close the string begun on line 2, found the end of the file"},
    });
}

TEST(text_parser, EveryPrefixEndsInAResultOrAFailureWithALine) {
    const std::string text =
        "3DMetafile ( 1 6 Normal toc> ) # header\r\n"
        "set: Container ( AttributeSet ( ) DiffuseColor ( 1 0.5 -0 ) )\r"
        "BeginGroup ( DisplayGroup ( ) DisplayGroupState ( NoBoundingBox | IsInline ) )\n"
        "Container ( Apple Computer, Inc.:NameElement ( ) CString ( \"a \\\"(b)\\\" c\" ) )\n"
        "PixmapTexture ( 2 2 RGB16 0x0102 0x03 ) Box(1.5True,2)\n"
        "EndGroup ( ) Reference ( 1 ) toc: TableOfContents ( n> 2 -1 0 12 1 1 set> )\n";
    for (std::size_t size = 0; size <= text.size(); ++size) {
        const std::vector<char> prefix(text.begin(), text.begin() + size);  // exactly sized
        const auto parsed = parse(std::string_view(prefix.data(), prefix.size()));
        if (!parsed->result.ok) {
            EXPECT_GE(parsed->result.line, 1u) << size;
            EXPECT_FALSE(parsed->result.message.empty()) << size;
        }
    }
    EXPECT_TRUE(parse(text)->result.ok);
}

TEST(text_parser, SurvivesHostileNestingWithoutRecursion) {
    if (read_block_size() < 1024) GTEST_SKIP() << "nesting does not depend on the block size";
    constexpr int kDepth = 1'000'000;
    std::string deep;
    for (int i = 0; i < kDepth; ++i) deep += "Container (";
    auto parsed = parse(deep);
    EXPECT_FALSE(parsed->result.ok);
    EXPECT_EQ(parsed->result.message,
              "expected ')' to close the Container opened on line 1, found the end of the file");

    deep += "Box ( )" + std::string(kDepth, ')');
    parsed = parse(deep);
    EXPECT_TRUE(parsed->result.ok);
    EXPECT_EQ(shape(parsed->tree), "Box");

    std::string objects;
    for (int i = 0; i < kDepth; ++i) objects += "X(";
    objects += std::string(kDepth, ')');
    parsed = parse(objects);
    EXPECT_TRUE(parsed->result.ok);
    EXPECT_EQ(parsed->tree.node_count(), kDepth + 1u);

    std::string groups;
    for (int i = 0; i < kDepth; ++i) groups += "BeginGroup(Group())";
    parsed = parse(groups);
    EXPECT_TRUE(parsed->result.ok);
    EXPECT_EQ(parsed->tree.node_count(), 2u * kDepth + 1);
    EXPECT_EQ(parsed->diagnostics.warning_count(), std::size_t(kDepth));
    EXPECT_LE(parsed->diagnostics.entries().size(), tree::Diagnostics::kMaxEntries);
}

TEST(text_parser, KeepsMemoryBoundedOnJunkAndHugeTokens) {
    std::string junk;
    std::mt19937 random(7);
    const std::string pieces[] = {
        "junk ", ") ", "12 ", "lbl: ", "x> ", "| ", "0x1 ", "EndGroup() "};
    while (junk.size() < (std::size_t{4} << 20)) junk += pieces[random() % 8];
    auto parsed = parse(junk + ") Box ( 1 )");
    EXPECT_TRUE(parsed->result.ok);
    EXPECT_EQ(shape(parsed->tree), "Box{1}");
    EXPECT_GT(parsed->diagnostics.warning_count(), tree::Diagnostics::kMaxEntries);
    EXPECT_LE(parsed->diagnostics.entries().size(), tree::Diagnostics::kMaxEntries);

    const std::string word(10 << 20, 'w');
    parsed = parse("X ( " + word + " \"" + word + "\n\" " + word + " ( ) )");
    ASSERT_TRUE(parsed->result.ok);
    const ObjectTree &tree = parsed->tree;
    EXPECT_EQ(tree.word(tree.node(1).first_value), word);
    EXPECT_EQ(tree.string(tree.node(1).first_value + 1), word + "\n");
    EXPECT_EQ(tree.name_of(2), word);
    EXPECT_EQ(tree.node(2).position, 2u);
}

TEST(text_parser, PlainDecimalsMatchParseFloatToTheBit) {
    std::mt19937_64 random(11);
    std::vector<std::string> numbers = {"0.5",        "2.5",        "0.1",
                                        "16777217.0", "16777219.0", "1.00000005960464477"};
    while (numbers.size() < 20006) {
        const std::size_t decimals = random() % 10;
        const std::string digits = std::to_string(random() % 1'000'000'000'000'000ull);
        const std::size_t point = decimals < digits.size() ? digits.size() - decimals : 0;
        std::string number(random() % 2 ? "-" : "");
        number.append(digits, 0, point).append(point != 0 ? "." : "").append(digits, point);
        numbers.push_back(number);
    }
    std::string text = "X ( ";
    for (const std::string &number : numbers) text.append(number).append(" ");
    const auto parsed = parse(text + ")");
    ASSERT_EQ(parsed->tree.node(1).value_count, numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        float expected = 0;
        ASSERT_TRUE(parse_float(numbers[i], expected));
        EXPECT_EQ(parsed->tree.as_float(parsed->tree.node(1).first_value + i), expected)
            << numbers[i];
    }
}

TEST(text_parser, ReadsAFileWithProgress) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::tmpfile(), &std::fclose);
    const std::string text = "3DMetafile ( 1 6 Normal toc> )\nContainer ( TriMesh ( 0 ) )\n";
    std::fwrite(text.data(), 1, text.size(), file.get());
    std::rewind(file.get());
    ObjectTree tree;
    tree::Diagnostics diagnostics;
    std::vector<int> progress;
    const ParseResult result = parse_text(file.get(), text.size(), tree, diagnostics,
                                          [&](int percent) { progress.push_back(percent); });
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(shape(tree), "3DMetafile{1 6 Normal >toc} TriMesh{0}");
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
}

TEST(text_parser, ReadsEveryCorpusFileWithoutWarnings) {
    const std::filesystem::path folder = std::filesystem::path(TARVEX_CORPUS_DIR) / "3dmf";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << folder << " is absent";
    std::map<std::string, std::unique_ptr<Parsed>> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".3dmf") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        auto &parsed = files[entry.path().filename().string()];
        parsed = parse(std::string((std::istreambuf_iterator<char>(in)), {}));
        EXPECT_TRUE(parsed->result.ok) << entry.path() << ": " << parsed->result.message;
        EXPECT_EQ(parsed->diagnostics.warning_count(), 0u) << entry.path();
    }
    EXPECT_GE(files.size(), 40u);

    struct Count {
        const char *file;
        ObjectType type;
        std::size_t count;
    };
    // Counted by hand in the files.
    const Count counts[] = {
        {"q-trimesh-transparent.3dmf", ObjectType::TriMesh, 3},
        {"q-references.3dmf", ObjectType::TriMesh, 4},
        {"q-flip-shadow.3dmf", ObjectType::TriMesh, 1},
        {"q-flip-shadow.3dmf", ObjectType::Reference, 2},
        {"q-flip-shadow.3dmf", ObjectType::BeginGroup, 4},
        {"q-highlight.3dmf", ObjectType::DiffuseColor, 4},
        {"q-polyline-attrs.3dmf", ObjectType::AttributeSet, 4},
        {"q-txargb16-big.3dmf", ObjectType::PixmapTexture, 2},
    };
    for (const Count &c : counts) {
        ASSERT_EQ(files.count(c.file), 1u) << c.file;
        const ObjectTree &tree = files[c.file]->tree;
        std::size_t count = 0;
        for (std::uint32_t n = 1; n < tree.node_count(); ++n) count += tree.node(n).type == c.type;
        EXPECT_EQ(count, c.count) << c.file;
    }
}

}  // namespace
}  // namespace tarvex::text
