#include "dirview/row_format.h"
#include "dirview/tests/directory_fixture.h"

#include <gtest/gtest.h>

namespace orva::dirview {
namespace {

DirectoryEntry sample()
{
    DirectoryEntry e;
    e.file_number = 0x1A2B;
    e.destination = "ALL";
    e.source = "G0ABC";
    e.upload_time = 1'700'000'000; // 2023-11-14 22:13:20 UTC
    e.expire_time = 1'700'086'400 + 3600;
    e.file_size = 1000;
    e.title = "Hello";
    e.keywords = "TEST";
    e.file_name = "FILE.TXT";
    e.file_type = 0;
    e.download_count = 3;
    e.uploader = "G0ABC";
    return e;
}

TEST(RowFormat, LineLayout)
{
    DirectoryEntry e = sample();
    EXPECT_EQ(format_number(0x1A2B), "1A2B    ");
    EXPECT_EQ(format_row(e, 0x9A),
              "P ALL     G0ABC   2213 14Nov23    1000      Hello                         TEST                         ");
    e.percent = 50;
    EXPECT_EQ(format_row(e, 0x9A).substr(31, 13), "   1000   50 ");
    e.message = true;
    EXPECT_EQ(format_row(e, 0x9A).substr(31, 13), "   1000  MSG ");
    EXPECT_EQ(format_row(e, 0x9A, {.print = true}).substr(31, 12), "  1000  MSG ");
}

TEST(RowFormat, CutPadAndAbsentFields)
{
    DirectoryEntry e = sample();
    e.destination = "VERYLONGCALL";
    e.source.reset();
    e.title.reset();
    e.keywords = std::string(40, 'K');
    const std::string line = format_row(e, 4);
    EXPECT_EQ(line.size(), 103u);
    EXPECT_EQ(line.substr(0, 18), "g VERYLON         ");
    EXPECT_EQ(line.substr(44, 29), "FILE.TXT                     "); // file name stands for the title
    EXPECT_EQ(line.substr(74), std::string(29, 'K'));
    // A u32 size above 2^31 shows unsigned; like the "%7lu" it comes from, it widens the line.
    e.file_size = -1;
    EXPECT_EQ(format_row(e, 4).substr(31, 12), "4294967295  ");
}

TEST(RowFormat, StatusLettersAndWords)
{
    const std::string letters = "ENEDg3I21APMEEEE";
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(status_letter(std::uint8_t(code)), letters[std::size_t(code)]) << code;
        EXPECT_EQ(status_letter(std::uint8_t(code | 0x90)), letters[std::size_t(code)]) << code;
    }
    EXPECT_EQ(status_word(9), "AUTO");
    EXPECT_EQ(status_word(11), "MINE");
    EXPECT_EQ(status_word(0), "");
    EXPECT_EQ(status_word(12), "");
}

TEST(RowFormat, TextsFromTheAirAreShownNotInterpreted)
{
    DirectoryEntry e = sample();
    e.title = std::string("a\nb\x1b[31m%s%n<b>", 15);
    const std::string line = format_row(e, 0);
    // One character per byte, so the keywords column stays in character 74 (the two middle
    // dots take two bytes each in UTF-8).
    EXPECT_EQ(line.find("TEST"), 76u);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\x1b'), std::string::npos);
    EXPECT_NE(line.find("a\xC2\xB7" "b\xC2\xB7[31m%s%n<b>"), std::string::npos);
    // Control bytes (C0, DEL, and C1 once read as Latin-1) stay replaced; the Latin-1 y with
    // diaeresis of a text that is not UTF-8 is a letter.
    EXPECT_EQ(visible_text(std::string("\0\x7f\x85\xff", 4)), "\xC2\xB7\xC2\xB7\xC2\xB7\xC3\xBF");
    EXPECT_EQ(visible_text("plain text"), "plain text");
}

TEST(RowFormat, NonAsciiTitlesShowAsTextAndKeepTheColumns)
{
    DirectoryEntry e = sample();
    const std::string plain = format_row(e, 0);
    // Valid UTF-8 is shown as it is: "Grüße aus Köln" is 14 characters in 17 bytes.
    e.title = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln";
    const std::string utf8 = format_row(e, 0);
    EXPECT_NE(utf8.find("Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln               "), std::string::npos) << utf8;
    // The same title written in Latin-1 (not valid UTF-8) reads the same.
    e.title = "Gr\xFC\xDF" "e aus K\xF6ln";
    EXPECT_EQ(format_row(e, 0), utf8);
    // Columns count characters, not bytes: the keywords start where they did for an ASCII title.
    auto chars = [](const std::string& s, std::size_t bytes) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            n += (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
        return n;
    };
    EXPECT_EQ(chars(utf8, utf8.find("TEST")), chars(plain, plain.find("TEST")));
    // A title cut inside the column never leaves half a character.
    e.title = std::string(28, 'x') + "\xC3\xA9\xC3\xA9";
    const std::string cut = format_row(e, 0);
    EXPECT_NE(cut.find(std::string(28, 'x') + "\xC3\xA9 "), std::string::npos);
    // Overlong forms and lone continuation bytes are not UTF-8: the bytes are read as Latin-1.
    EXPECT_EQ(visible_text("\xC0\xAF"), "\xC3\x80\xC2\xAF");
    // An encoded surrogate is not UTF-8 either: Latin-1 i acute, no-break space, and a C1 control.
    EXPECT_EQ(visible_text("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\xB7");
}

TEST(RowFormat, HeadingAndColours)
{
    EXPECT_EQ(std::string(kNumberHeading), "FileNum");
    EXPECT_EQ(std::string(kRowHeading).substr(0, 18), "S To      From    ");
    DirectoryEntry e = sample();
    EXPECT_EQ(row_colour(e, "W1ME"), RowColour::Black);
    e.source = "W1ME-1";
    EXPECT_EQ(row_colour(e, "W1ME"), RowColour::Blue);
    e.destination = "W1ME";
    EXPECT_EQ(row_colour(e, "W1ME"), RowColour::Red);
    // With no callsign every header with a destination is ours.
    EXPECT_EQ(row_colour(sample(), ""), RowColour::Red);
    DirectoryEntry none = sample();
    none.destination.reset();
    none.source.reset();
    EXPECT_EQ(row_colour(none, ""), RowColour::Black);
}

TEST(InfoFormat, Fields)
{
    DirectoryEntry e = sample();
    InfoText info = format_info(e, 1'700'000'000);
    EXPECT_EQ(info.file_number, "1a2b");
    EXPECT_EQ(info.download_count, "3");
    EXPECT_EQ(info.destination, "ALL" + std::string(42, ' '));
    EXPECT_EQ(info.uploader, "G0ABC ");
    EXPECT_EQ(info.upload_time, "221320 14 Nov 2023");
    EXPECT_EQ(info.file_type, "  0 ASCII Text message");
    EXPECT_EQ(info.file_size, "1000");
    EXPECT_EQ(info.percent, "--");
    EXPECT_EQ(info.compression, "Uncompressed");
    EXPECT_EQ(info.expiry, "This file will expire on 2313 15 Nov 2023");
    EXPECT_EQ(format_info(e, e.expire_time).expiry, "This file expired on 2313 15 Nov 2023");
    e.percent = 7;
    e.file_type = 201;
    EXPECT_EQ(format_info(e, 0).percent, " 7");
    EXPECT_EQ(format_info(e, 0).file_type, "201 AL FTL0 activity logs");
    e.file_type = 99;
    EXPECT_EQ(format_info(e, 0).file_type, " 99 ");
}

} // namespace
} // namespace orva::dirview
