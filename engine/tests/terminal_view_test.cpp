// The headless program's terminal lines: colours only where asked, nothing from the air reaching
// the terminal as a control sequence, and the progress and pass-end texts.
#include "engine/app/terminal_view.h"

#include <gtest/gtest.h>

namespace orva::engine {
namespace {

TEST(TerminalView, ColoursAreAnsiOnlyOnATerminal)
{
    const StatusLine red{"Pass will listen only", LineColour::Red, 0};
    EXPECT_EQ(TerminalView::format_line(red, false), "Pass will listen only");
    EXPECT_EQ(TerminalView::format_line(red, true), "\x1b[1;31mPass will listen only\x1b[0m");
    EXPECT_EQ(TerminalView::format_line({"File 102 downloaded", LineColour::Blue, 0}, true),
              "\x1b[1;34mFile 102 downloaded\x1b[0m");
    EXPECT_EQ(TerminalView::format_line({"     104 g T:ALL", LineColour::Green, 0}, true), "\x1b[32m     104 g T:ALL\x1b[0m");
    EXPECT_EQ(TerminalView::format_line({"NO -2", LineColour::DarkRed, 0}, true), "\x1b[31mNO -2\x1b[0m");
    // Black is the terminal's own colour: no sequence at all.
    EXPECT_EQ(TerminalView::format_line({"Queue: PB: Empty.", LineColour::Black, 0}, true), "Queue: PB: Empty.");
}

TEST(TerminalView, ControlBytesFromTheAirAreShownAsDots)
{
    // A poke or a header title could carry an escape sequence that clears or retitles the terminal.
    const StatusLine hostile{std::string("Title \x1b]0;owned\x07 end\r"), LineColour::Black, 0};
    EXPECT_EQ(TerminalView::format_line(hostile, false), "Title .]0;owned. end.");
    EXPECT_EQ(TerminalView::format_line({std::string("a\x7f" "b\nc"), LineColour::Red, 0}, true),
              "\x1b[1;31ma.b.c\x1b[0m");
}

TEST(TerminalView, ProgressNamesFileBytesOfTotalAndHolesLeft)
{
    DownloadRow row;
    row.file_number = 0x1A2B;
    row.name = "1A2B";
    row.received = 1200;
    row.total = 5000;
    row.holes = 3;
    EXPECT_EQ(TerminalView::progress_line(row), "Receiving 1A2B: 1200 of 5000 bytes, 3 holes left");
    row.holes = 1;
    EXPECT_EQ(TerminalView::progress_line(row), "Receiving 1A2B: 1200 of 5000 bytes, 1 hole left");
    row.total = 0;
    EXPECT_EQ(TerminalView::progress_line(row), "Receiving 1A2B: 1200 bytes, size not yet known");
}

TEST(TerminalView, TimeToThePassEnd)
{
    EXPECT_EQ(TerminalView::pass_end_line(1000, 1245), "Pass ends in 4:05");
    EXPECT_EQ(TerminalView::pass_end_line(1000, 1001), "Pass ends in 0:01");
    EXPECT_EQ(TerminalView::pass_end_line(0, 3600 + 61), "Pass ends in 1:01:01");
    EXPECT_EQ(TerminalView::pass_end_line(1000, 1000), "Pass end reached");
    EXPECT_EQ(TerminalView::pass_end_line(1000, 900), "Pass end reached");
    // After 2038 the end still reads right: station times are unsigned on the wire.
    EXPECT_EQ(TerminalView::pass_end_line(std::int64_t(0x80000000), std::int64_t(0x80000000) + 90), "Pass ends in 1:30");
}

} // namespace
} // namespace orva::engine
