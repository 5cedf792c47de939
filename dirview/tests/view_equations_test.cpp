#include "dirview/view_equations.h"

#include <gtest/gtest.h>

namespace orva::dirview {
namespace {

DirectoryEntry entry()
{
    DirectoryEntry e;
    e.file_number = 0x100;
    e.source = "G0ABC";
    e.destination = "ALL";
    e.title = "Orbital data";
    e.keywords = "Keps, Orbit";
    e.file_size = 5000;
    e.file_type = 8;
    e.percent = 40;
    return e;
}

bool matches(std::string_view expression, const DirectoryEntry& e, std::uint8_t status = 4)
{
    ViewEquations eqs = ViewEquations::parse("[T] {" + std::string(expression) + "}");
    EXPECT_EQ(eqs.equations.size(), 1u) << expression << ": "
                                        << (eqs.faults.empty() ? "" : eqs.faults[0].reason);
    if (eqs.equations.empty())
        return false;
    return evaluate(eqs.equations[0].terms, ViewFacts{&e, status});
}

bool valid(std::string_view expression)
{
    return ViewEquations::parse("[T] {" + std::string(expression) + "}").equations.size() == 1;
}

TEST(ViewEquations, TermWordsAndOperators)
{
    const DirectoryEntry e = entry();
    EXPECT_TRUE(matches("FILESIZE > 4999 ", e));
    EXPECT_FALSE(matches("FILESIZE < 5000 ", e));
    EXPECT_TRUE(matches("FILESIZE != 1 ", e));
    EXPECT_TRUE(matches("FILETYPE = 8 ", e));
    EXPECT_TRUE(matches("PERCENT < 50 ", e));
    EXPECT_TRUE(matches("PERCENT = 40 ", e));
    EXPECT_TRUE(matches("SOURCE = g0a ", e));
    EXPECT_TRUE(matches("SOURCE > \"G0\"", e)); // > and < also mean contains
    EXPECT_FALSE(matches("SOURCE != G0 ", e));
    EXPECT_TRUE(matches("DESTINATION = \"ALL\" ", e));
    EXPECT_TRUE(matches("KEYWORDS = \"KEPS, ORBIT\"", e)); // quotes keep blanks
    EXPECT_FALSE(matches("TITLE ! = DATA ", e));
}

TEST(ViewEquations, TitleMatchesIgnoringCase)
{
    EXPECT_TRUE(matches("TITLE = orbit ", entry()));
}

TEST(ViewEquations, AbsentTextContainsNothing)
{
    DirectoryEntry e = entry();
    e.title.reset();
    EXPECT_FALSE(matches("TITLE = A ", e));
    EXPECT_TRUE(matches("TITLE != A ", e));
}

TEST(ViewEquations, StatusTerms)
{
    const DirectoryEntry e = entry();
    EXPECT_TRUE(matches("STATUS = AUTO ", e, 0x99));
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(matches("STATUS = AUTO ", e, std::uint8_t(code | 0x80)), code == 9) << code;
        EXPECT_EQ(matches("STATUS > AUTO3 ", e, std::uint8_t(code)), code >= 6) << code;
    }
    EXPECT_FALSE(valid("STATUS = SOMETIMES "));
    EXPECT_FALSE(valid("STATUS = \"AUTO\" "));
}

TEST(ViewEquations, LeftToRightWithoutPrecedence)
{
    const DirectoryEntry e = entry();
    const char* A_true = "FILETYPE = 8 ";
    const char* F = "FILETYPE = 9 ";
    // A & B | C = (A AND B) OR C; A | B & C = (A OR B) AND C.
    EXPECT_TRUE(matches(std::string(F) + "& " + F + "| " + A_true, e));
    EXPECT_FALSE(matches(std::string(A_true) + "| " + A_true + "& " + F, e));
    // Brackets make one term.
    EXPECT_TRUE(matches(std::string(A_true) + "| ( " + A_true + "& " + F + ")", e));
    EXPECT_TRUE(matches(std::string("(") + A_true + "| " + F + ") & " + A_true, e));
}

TEST(ViewEquations, InvalidForms)
{
    EXPECT_FALSE(valid("FILESIZE=100 "));
    EXPECT_TRUE(valid("FILESIZE =100 ")); // a blank after the operator is not needed
    EXPECT_FALSE(valid("FILESIZE = 0 "));
    EXPECT_FALSE(valid("PERCENT = 101 "));
    EXPECT_TRUE(valid("PERCENT = 100 "));
    EXPECT_FALSE(valid("FILETYPE = \"8\" "));
    EXPECT_FALSE(valid("NAME = X "));
    EXPECT_FALSE(valid("FILESIZE = = 3 "));
    EXPECT_FALSE(valid("FILESIZE = 3 = 4 "));
    EXPECT_FALSE(valid("SOURCE = X"));      // a bare value needs a blank before "}"
    EXPECT_FALSE(valid("SOURCE = X& FILETYPE = 0 "));
    EXPECT_FALSE(valid("SOURCE = \"\" "));
    EXPECT_FALSE(valid(""));
    EXPECT_FALSE(valid("FILETYPE = 0 &"));
    EXPECT_FALSE(valid("( FILETYPE = 0 "));
    EXPECT_TRUE(valid("FILESIZE ! = 3 "));
}

TEST(ViewEquations, UnbalancedBracketSaysNoBrackets)
{
    ViewEquations eqs = ViewEquations::parse("[Bad]\n{FILETYPE = 0 ) }\n");
    ASSERT_EQ(eqs.faults.size(), 1u);
    EXPECT_TRUE(eqs.faults[0].no_brackets);
    EXPECT_EQ(eqs.faults[0].name, "Bad");
    EXPECT_EQ(eqs.faults[0].line, 2);
    EXPECT_EQ(eqs.faults[0].text, "{FILETYPE = 0 ) }");
}

TEST(ViewEquations, ABadEquationLosesOnlyItself)
{
    const char* file =
        "Comments are anything outside brackets.\r\n"
        "[Keps files] {FILETYPE = 8 | FILETYPE = 9 }\r\n"
        "[Broken one] {FILESIZE=100 }\r\n"
        "{ SOURCE = X } a brace without a name is skipped\r\n"
        "[  Big   files  ]\r\n"
        "  {FILESIZE > 10000\r\n"
        "   & STATUS != NEVER }\r\n";
    ViewEquations eqs = ViewEquations::parse(file);
    ASSERT_EQ(eqs.equations.size(), 2u);
    EXPECT_EQ(eqs.equations[0].name, "Keps files");
    EXPECT_EQ(eqs.equations[1].name, "  Big   files  ");
    ASSERT_EQ(eqs.faults.size(), 1u);
    EXPECT_EQ(eqs.faults[0].name, "Broken one");
    EXPECT_EQ(eqs.faults[0].line, 3);
    EXPECT_EQ(eqs.faults[0].text, "[Broken one] {FILESIZE=100 }");
    EXPECT_FALSE(eqs.faults[0].reason.empty());
    EXPECT_NE(eqs.find("Keps files"), nullptr);
    EXPECT_EQ(eqs.find("keps files"), nullptr);
}

TEST(ViewEquations, LimitsOnNamesAndCount)
{
    std::string file;
    for (int i = 0; i < 25; ++i)
        file += "[E" + std::to_string(i) + "] {FILETYPE = 0 }\n";
    EXPECT_EQ(ViewEquations::parse(file).equations.size(), kMaxEquations);
    ViewEquations eqs = ViewEquations::parse("[" + std::string(50, 'n') + "] {FILETYPE = 0 }");
    ASSERT_EQ(eqs.equations.size(), 1u);
    EXPECT_EQ(eqs.equations[0].name.size(), kMaxEquationName);
    // Quoted text keeps up to 45 characters, bare text up to 40.
    eqs = ViewEquations::parse("[q] {TITLE = \"" + std::string(50, 'A') + "\" } [b] {TITLE = " + std::string(50, 'B') +
                               " }");
    ASSERT_EQ(eqs.equations.size(), 2u);
    EXPECT_EQ(eqs.equations[0].terms[0].text.size(), 45u);
    EXPECT_EQ(eqs.equations[1].terms[0].text.size(), 40u);
}

TEST(ViewEquations, MissingFileGivesNothing)
{
    ViewEquations eqs = ViewEquations::load("/nonexistent/Tessel Equations.TXT");
    EXPECT_TRUE(eqs.equations.empty());
    EXPECT_TRUE(eqs.faults.empty());
}

} // namespace
} // namespace orva::dirview
