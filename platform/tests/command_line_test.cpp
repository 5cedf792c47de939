#include <gtest/gtest.h>

#include "platform/command_line.h"

using namespace orva::platform;

namespace {

using Words = std::vector<std::string>;

TEST(SubstituteSatelliteName, KeepsTheTextAsWritten)
{
    // The station's program texts keep their capitals: on Linux paths are case-sensitive.
    EXPECT_EQ(*substitute_satellite_name("C:\\STATION\\BREK.EXE %S", "AO-16"), "C:\\STATION\\BREK.EXE AO-16");
    EXPECT_EQ(*substitute_satellite_name("/opt/Orva/BREK.EXE %s", "AO-16"), "/opt/Orva/BREK.EXE AO-16");
    EXPECT_EQ(*substitute_satellite_name("BREK.EXE %S %s", "UO-22"), "BREK.EXE UO-22 UO-22");
    EXPECT_EQ(*substitute_satellite_name("BREK.EXE", "AO-16"), "BREK.EXE");
}

TEST(SubstituteSatelliteName, OtherPercentSignsStayLiteral)
{
    EXPECT_EQ(*substitute_satellite_name("D:\\100% %S", "AO-16"), "D:\\100% AO-16");
    EXPECT_EQ(*substitute_satellite_name("X %n %d %x %%S %", "AO-16"), "X %n %d %x %AO-16 %");
    // A name is data: a "%s" inside it is not expanded again.
    EXPECT_EQ(*substitute_satellite_name("B %S", "%s%n"), "B %s%n");
}

TEST(SubstituteSatelliteName, OverlongResultIsAnError)
{
    std::string text(250, 'x');
    text += " %S";
    EXPECT_TRUE(substitute_satellite_name(text, "AO-16"));         // 258
    EXPECT_FALSE(substitute_satellite_name(text + "%S", "AO-16")); // 263
    auto error = substitute_satellite_name(text, "ABCDEFGHIJKL");
    ASSERT_FALSE(error);
    EXPECT_NE(error.error().message.find("259"), std::string::npos);
}

TEST(SplitCommandLine, BlanksAndLineFeedsSeparate)
{
    EXPECT_EQ(*split_command_line("BREK.EXE AO-16"), (Words{"BREK.EXE", "AO-16"}));
    EXPECT_EQ(*split_command_line("  /x/DISPO.EXE\tS~AO-16  F~*.DL  "), (Words{"/x/DISPO.EXE", "S~AO-16", "F~*.DL"}));
    EXPECT_EQ(*split_command_line("ELEMIX.EXE F~/k/a.txt K~NASA\n"), (Words{"ELEMIX.EXE", "F~/k/a.txt", "K~NASA"}));
    EXPECT_EQ(*split_command_line("QUILLET.EXE D~G0K\nS~AO-16\r\nT~Re: hi"),
              (Words{"QUILLET.EXE", "D~G0K", "S~AO-16", "T~Re:", "hi"}));
    EXPECT_EQ(*split_command_line("C:\\STATION\\BREK.EXE"), (Words{"C:\\STATION\\BREK.EXE"}));
}

TEST(SplitCommandLine, QuotesGroupAndShellSyntaxIsData)
{
    EXPECT_EQ(*split_command_line("TESSEL.EXE \"a; rm -rf x\""), (Words{"TESSEL.EXE", "a; rm -rf x"}));
    EXPECT_EQ(*split_command_line("X $(touch y) `id` a|b >c"), (Words{"X", "$(touch", "y)", "`id`", "a|b", ">c"}));
    EXPECT_EQ(*split_command_line("X \"say \\\"hi\\\"\" pre\"mid dle\"post \"\""),
              (Words{"X", "say \"hi\"", "premid dlepost", ""}));
    EXPECT_FALSE(split_command_line(""));
    EXPECT_FALSE(split_command_line(" \n\t "));
    EXPECT_FALSE(split_command_line("X \"open"));
}

TEST(QuoteArgument, RoundTripsThroughSplit)
{
    for (std::string word : {"plain", "two words", "a; rm -rf x", "quote\"inside", "trailing\\", "my dir\\", "",
                             "tab\there", "line\nfeed", "\\\"", "C:\\STATION\\"}) {
        auto words = split_command_line("P " + quote_argument(word));
        ASSERT_TRUE(words) << word;
        ASSERT_EQ(words->size(), 2u) << word;
        EXPECT_EQ((*words)[1], word);
    }
}

} // namespace
