#include "engine/select/equation_loader.h"
#include "engine/select/equations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace orva::engine {
namespace {

using std::chrono::sys_seconds;
using namespace std::chrono;

// 2026-12-08 15:00:00 UTC; that day began at 1796688000.
const sys_seconds kNow{seconds(1796688000 + 15 * 3600)};
constexpr std::uint32_t kToday = 1796688000;

EquationSet parse(std::string_view text, std::vector<EquationMessage>* out = nullptr) {
    std::vector<EquationMessage> m;
    auto set = EquationSet::parse(text, m);
    if (out) *out = m;
    return set;
}

EquationEntry entry() {
    EquationEntry e;
    e.file_size = 4000;
    e.file_type = 0;
    e.source = "w1aw";
    e.destination = "ALL";
    e.title = "a note about keplerian elements";
    e.upload_time = kToday - 3600;
    e.create_time = kToday - 7200;
    return e;
}

TEST(Equations, TitleWordMatchesWhateverItsCase) {
    auto set = parse("[AUTO]\n{ TITLE = \"keplerian\" }\n");
    EXPECT_TRUE(set.defined(EquationName::Auto));
    EXPECT_EQ(set.choose_status(entry(), kNow), 9);
}

TEST(Equations, PriorityOnEitherCallsignField) {
    auto set = parse("[PRIORITY] { DESTINATION = \"G0ABC\" | SOURCE = \"G0ABC\" }");
    auto e = entry();
    EXPECT_EQ(set.choose_status(e, kNow), kStatusGrab);
    e.destination = "g0abc";
    EXPECT_EQ(set.choose_status(e, kNow), 10);
    e.destination = "ALL";
    e.source = "G0ABC-1";
    EXPECT_EQ(set.choose_status(e, kNow), 10);
}

TEST(Equations, SizeTestAndAGroup) {
    auto set = parse("[AUTO1]{ FILESIZE < 5000 & (TITLE = \"NOTHING\" | KEYWORDS = \"KEPS\") }");
    auto e = entry();
    EXPECT_FALSE(set.match(EquationName::Auto1, e, kNow));
    e.keywords = "keps amsat";
    EXPECT_TRUE(set.match(EquationName::Auto1, e, kNow));
    e.file_size = 5000;
    EXPECT_FALSE(set.match(EquationName::Auto1, e, kNow));
}

TEST(Equations, NoPrecedenceBetweenAndAndOr) {
    // A | B & C with A true, B and C false: (A OR B) AND C is false; A OR (B AND C) would be true.
    auto set = parse("[AUTO] { FILETYPE = 0 | FILETYPE = 9 & FILESIZE > 100000 }");
    EXPECT_FALSE(set.match(EquationName::Auto, entry(), kNow));
    auto set2 = parse("[AUTO] { FILESIZE > 100000 & FILETYPE = 9 | FILETYPE = 0 }");
    EXPECT_TRUE(set2.match(EquationName::Auto, entry(), kNow));
}

TEST(Equations, TodayBoundaries) {
    auto set = parse("[AUTO] { UPLOADTIME > TODAY-1 }\n[NEVER] { CREATETIME < TODAY }\n[AUTO3] { UPLOADTIME = TODAY+2 }");
    auto e = entry();
    e.upload_time = kToday - 86400 + 1;
    EXPECT_TRUE(set.match(EquationName::Auto, e, kNow));
    e.upload_time = kToday - 86400; // 00:00:00 of the previous day is not after it
    EXPECT_FALSE(set.match(EquationName::Auto, e, kNow));
    e.create_time = kToday - 1;
    EXPECT_TRUE(set.match(EquationName::Never, e, kNow));
    e.create_time = kToday;
    EXPECT_FALSE(set.match(EquationName::Never, e, kNow));
    // The day turns at 00:00 UTC, whatever the hour of `now`.
    EXPECT_FALSE(set.match(EquationName::Never, e, sys_seconds(seconds(kToday + 86399))));
    EXPECT_TRUE(set.match(EquationName::Never, e, sys_seconds(seconds(kToday + 86400))));
    e.upload_time = kToday + 2 * 86400;
    EXPECT_TRUE(set.match(EquationName::Auto3, e, kNow));
}

TEST(Equations, MissingTextFailsAllButNotEqual) {
    auto set = parse("[AUTO] { KEYWORDS != \"X\" }\n[AUTO1] { KEYWORDS = \"X\" }\n[AUTO2] { KEYWORDS > \"X\" }");
    const auto e = entry();
    EXPECT_TRUE(set.match(EquationName::Auto, e, kNow));
    EXPECT_FALSE(set.match(EquationName::Auto1, e, kNow));
    EXPECT_FALSE(set.match(EquationName::Auto2, e, kNow));
}

TEST(Equations, FileNamePrefersTheUserFileName) {
    pfh::PfhHeader h;
    h.file_number = 1;
    h.file_name = "ABCD    ";
    h.user_file_name = "C:\\PIX\\MOON.JPG";
    auto set = parse("[AUTO] { FILENAME = \"moon\" }");
    EXPECT_TRUE(set.match(EquationName::Auto, EquationEntry::from_header(h), kNow));
    h.user_file_name.reset();
    EXPECT_FALSE(set.match(EquationName::Auto, EquationEntry::from_header(h), kNow));
}

TEST(Equations, SecondDefinitionIsReportedAndIgnored) {
    std::vector<EquationMessage> m;
    auto set = parse("[AUTO] { FILETYPE = 0 }\n[AUTO] { FILETYPE = 9 }\n", &m);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Equation AUTO defined more than once.");
    EXPECT_EQ(m[0].line, 2);
    EXPECT_TRUE(set.match(EquationName::Auto, entry(), kNow));
}

TEST(Equations, SyntaxErrorsLoseOnlyTheirEquationWithALineNumber) {
    const char* file =
        "; station equations\r\n"
        "[PRIORITY]\r\n"
        "{ TITLE=\"KEPS\" }\r\n"             // no blanks around the operator
        "[AUTO]\r\n"
        "{ FILESIZE > 0 }\r\n"               // FILESIZE 0
        "[AUTO1] { CREATETIME > YESTERDAY }\r\n"
        "[AUTO2] { FILETYPE = \"0\" }\r\n"   // quote for a number
        "[AUTO3] { FILESIZE > 5000}\r\n"     // no blank before the closing brace
        "[INCREMENTAL] { SOURCE = \"W1AW\" & }\r\n"
        "[NEVER]\r\n"
        "{\r\n"
        "  FILETYPE = 0\r\n"
        "}\r\n";
    std::vector<EquationMessage> m;
    auto set = parse(file, &m);
    ASSERT_EQ(m.size(), 6u);
    const std::pair<std::string, int> expected[] = {
        {"Error while reading equation PRIORITY", 3}, {"Error while reading equation AUTO", 5},
        {"Error while reading equation AUTO1", 6},    {"Error while reading equation AUTO2", 7},
        {"Error while reading equation AUTO3", 8},    {"Error while reading equation INCREMENTAL", 9},
    };
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(m[i].text, expected[i].first);
        EXPECT_EQ(m[i].line, expected[i].second) << m[i].text << ": " << m[i].detail;
        EXPECT_FALSE(m[i].detail.empty());
    }
    for (auto n : {EquationName::Priority, EquationName::Auto, EquationName::Auto1, EquationName::Auto2,
                   EquationName::Auto3, EquationName::Incremental})
        EXPECT_FALSE(set.defined(n));
    EXPECT_TRUE(set.defined(EquationName::Never));
    EXPECT_EQ(set.choose_status(entry(), kNow), 1);
}

TEST(Equations, NamesByPrefixAndUnknownNames) {
    std::vector<EquationMessage> m;
    auto set = parse("[automatic] { FILETYPE = 0 }\n[Fred] { FILETYPE = 0 }\n[auto2x] { FILETYPE = 1 }\n", &m);
    EXPECT_TRUE(set.defined(EquationName::Auto));
    EXPECT_TRUE(set.defined(EquationName::Auto2));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Unknown equation name found");
    EXPECT_EQ(m[0].line, 2);
    EXPECT_EQ(equation_name_from("INCREMENTALS"), EquationName::Incremental);
    EXPECT_EQ(equation_name_from("AUTO3"), EquationName::Auto3);
    EXPECT_FALSE(equation_name_from("AUT"));
}

TEST(Equations, OrderOfTheSetsDecidesTheStatus) {
    auto set = parse("[NEVER]{FILETYPE = 0 }[AUTO2]{ SOURCE = \"W1AW\" }[PRIORITY]{ FILESIZE > 1 }");
    EXPECT_EQ(set.choose_status(entry(), kNow), 10);
    EXPECT_EQ(parse("").choose_status(entry(), kNow), kStatusGrab);
}

TEST(Equations, DeepNestingIsRefusedNotACrash) {
    std::string deep = "[AUTO] { ";
    for (int i = 0; i < 5000; ++i) deep += "(";
    deep += "FILETYPE = 0 ";
    for (int i = 0; i < 5000; ++i) deep += ")";
    deep += " }";
    std::vector<EquationMessage> m;
    auto set = parse(deep, &m);
    EXPECT_FALSE(set.defined(EquationName::Auto));
    ASSERT_EQ(m.size(), 1u);
    auto ok = parse("[AUTO] { ((((FILETYPE = 0 )))) }");
    EXPECT_TRUE(ok.match(EquationName::Auto, entry(), kNow));
}

TEST(EquationLoader, SatelliteCopyFirstThenTheSuiteDefault) {
    const auto root = std::filesystem::path(testing::TempDir()) / ("orva_eq_loader_" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "sat");
    std::filesystem::create_directories(root / "suite");
    auto none = load_equations(root / "sat", root / "suite");
    ASSERT_EQ(none.messages.size(), 1u);
    EXPECT_EQ(none.messages[0].text, "No Equation file found (Brek Equations.TXT)");

    std::ofstream(root / "suite" / "BREK EQUATIONS.txt") << "[AUTO] { FILETYPE = 0 }";
    auto suite = load_equations(root / "sat", root / "suite");
    ASSERT_EQ(suite.messages.size(), 1u);
    EXPECT_EQ(suite.messages[0].text, "Using your default equations");
    EXPECT_FALSE(suite.messages[0].error);
    EXPECT_TRUE(suite.set.defined(EquationName::Auto));

    std::ofstream(root / "sat" / "Brek Equations.TXT") << "[NEVER] { FILETYPE = 0 }";
    auto sat = load_equations(root / "sat", root / "suite");
    EXPECT_TRUE(sat.messages.empty());
    EXPECT_TRUE(sat.set.defined(EquationName::Never));
    EXPECT_FALSE(sat.set.defined(EquationName::Auto));
    std::filesystem::remove_all(root);
}

} // namespace
} // namespace orva::engine
