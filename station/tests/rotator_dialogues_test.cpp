#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "station/rotator/easycomm.h"
#include "station/rotator/line_reader.h"
#include "station/rotator/sattrak.h"
#include "station/rotator/trakbox.h"

using namespace orva::station;
using namespace std::chrono_literals;

namespace {
// Feeds a controller's output through the line reader into a dialogue and collects what the
// station would send.
template <class Dialogue>
std::vector<DialogueStep> play(Dialogue& d, std::string_view ends, std::string_view output)
{
    LineReader reader(ends, 255);
    std::vector<DialogueStep> steps;
    reader.feed(output, [&](std::string_view line) {
        auto s = d.on_line(line);
        if (!s.empty())
            steps.push_back(s);
    });
    return steps;
}
std::string sent(const std::vector<DialogueStep>& steps)
{
    std::string all;
    for (auto& s : steps)
        all += s.send;
    return all;
}
} // namespace

TEST(LineReader, BoundedLinesAreDroppedWhole)
{
    LineReader r("\r:", 8);
    std::vector<std::string> lines;
    auto keep = [&](std::string_view l) { lines.emplace_back(l); };
    r.feed("abc\rdefg:", keep);
    r.feed("0123456789xyz\rok\r", keep);
    EXPECT_EQ(lines, (std::vector<std::string>{"abc", "defg", "ok"}));
}

TEST(LineReader, NumbersParseSafely)
{
    double v = -1;
    EXPECT_TRUE(parse_number("123.5", v));
    EXPECT_EQ(v, 123.5);
    EXPECT_TRUE(parse_number(" -2", v));
    EXPECT_EQ(v, -2);
    EXPECT_FALSE(parse_number("", v));
    EXPECT_FALSE(parse_number("x1", v));
    EXPECT_FALSE(parse_number("nan", v));
    EXPECT_FALSE(parse_number("1e999", v));
}

TEST(TrakBoxDialogue, SelectsTheSatelliteByItsMenuNumber)
{
    trakbox::MenuDialogue d(trakbox::kSelect, "ao-16");
    auto steps = play(d, trakbox::kLineEnds,
                      "Press 'Q' Return\r"
                      "Main [1-9,M]:"
                      " 1. UO-11\r"
                      "12. AO-16\r"
                      "Select:"
                      "Uplink 145900000 Hz\r"
                      "Downlink\r"
                      " Tracking\r");
    EXPECT_EQ(sent(steps), "Q\n1" "12\n" "E");
    ASSERT_FALSE(steps.empty());
    EXPECT_TRUE(steps.back().close_port);
    EXPECT_EQ(d.state(), 0);
}

TEST(TrakBoxDialogue, NoEWhenTheControllerMarksTheLine)
{
    trakbox::MenuDialogue d(trakbox::kSelect, "AO-16");
    auto steps = play(d, trakbox::kLineEnds, "[1-9,M]:12. AO-16\rSelect:100 Hz\rx\r * busy\r");
    EXPECT_EQ(sent(steps), "112\n");
    EXPECT_TRUE(steps.back().close_port);
}

TEST(TrakBoxDialogue, SatelliteMissingFromTheControllersDatabase)
{
    trakbox::MenuDialogue d(trakbox::kSelect, "FO-29");
    auto steps = play(d, trakbox::kLineEnds, "[1-9,M]: 1. UO-11\r 2. AO-16\rSELECT:");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_TRUE(steps[1].stop_tracking);
    EXPECT_TRUE(steps[1].close_port);
    EXPECT_EQ(*steps[1].error_text, "Satellite not found in TrakBox database");
    EXPECT_EQ(*steps[1].error_caption, "TrakBox Error");
}

TEST(TrakBoxDialogue, ANameAtTheStartOfTheLineHasNoMenuNumber)
{
    // The number stands 4 places before the name; here there is no room for it.
    trakbox::MenuDialogue d(trakbox::kSelect, "AO-16");
    auto steps = play(d, trakbox::kLineEnds, "[1-9,M]:AO-16\r2.AO-16\rSelect:");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(*steps[1].error_text, kTrakBoxNotFoundText);
}

TEST(TrakBoxDialogue, ListsTheControllersSatellites)
{
    trakbox::MenuDialogue d(trakbox::kList, "");
    auto steps = play(d, trakbox::kLineEnds, "[1-9,M]: 1. UO-11  2. AO-16\r 3. FO-29\r.\rSelect:");
    std::vector<std::string> names;
    for (auto& s : steps)
        names.insert(names.end(), s.satellite_names.begin(), s.satellite_names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"UO-11", "AO-16", "FO-29"}));
    EXPECT_TRUE(steps.back().close_port);
}

TEST(TrakBoxDialogue, HostModeAtStartUp)
{
    trakbox::MenuDialogue d(trakbox::kHostMode, "");
    auto steps = play(d, trakbox::kLineEnds, "Hit 'Q' Return\rSelect\rMenu [1-9,M]:");
    EXPECT_EQ(sent(steps), "Q\nQ\n7");
    EXPECT_TRUE(steps.back().end_dialogue);
    EXPECT_TRUE(steps.back().kill_timeout);
    EXPECT_FALSE(steps.back().close_port);
    EXPECT_EQ(d.state(), 0);
}

TEST(SatTrakDialogue, SelectsBySatelliteNameAndSetsFrequencies)
{
    sattrak::PromptDialogue select(sattrak::kSelect, "AO-16");
    auto steps = play(select, sattrak::kLineEnds, "Orva>S\r");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].send, "S");
    EXPECT_EQ(steps[1].send, "AO-16\r");
    EXPECT_EQ(steps[1].pause_before_send, 125ms);
    EXPECT_TRUE(steps[1].close_port);

    sattrak::PromptDialogue up(sattrak::kUplink, "AO-16", 145'900'000.0);
    steps = play(up, sattrak::kLineEnds, "Orva>U\r");
    EXPECT_EQ(sent(steps), "U145900000.000000\r\n");
    EXPECT_TRUE(steps.back().close_port);

    sattrak::PromptDialogue down(sattrak::kDownlink, "AO-16", 435'800'000.0);
    EXPECT_EQ(sent(play(down, sattrak::kLineEnds, "Orva>D\r")), "D435800000.000000\r\n");

    sattrak::PromptDialogue none(sattrak::kDownlink, "AO-16", std::nullopt); // unreadable: no "0.000000"
    steps = play(none, sattrak::kLineEnds, "Orva>D\r");
    EXPECT_EQ(sent(steps), "D");
    EXPECT_TRUE(steps.back().close_port);
}

TEST(EasyCommReplies, AzimuthAndElevationTokens)
{
    std::vector<easycomm::ReplyReader::Position> seen;
    easycomm::ReplyReader r([&](const auto& p) { seen.push_back(p); });
    std::string text = "AZ123.4 EL5.6\nAZx EL\nVE1 AZ200\n";
    r.feed(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(*r.position().azimuth, 200);
    EXPECT_EQ(*r.position().elevation, 5.6);
    std::string junk(300, 'A'); // no separator: dropped at 255 bytes
    junk += "Z9 ";
    r.feed(std::span(reinterpret_cast<const std::uint8_t*>(junk.data()), junk.size()));
    EXPECT_EQ(seen.size(), 3u);
}
