#include "common/json_writer.h"

#include <gtest/gtest.h>

using namespace orva;

namespace {

TEST(JsonWriter, NestedDocumentWithCommasInTheRightPlaces)
{
    JsonWriter w;
    w.begin_object()
        .field("name", "AO-16")
        .field("up", true)
        .field("count", 3)
        .field("azimuth", 123.456, 1)
        .key("rows")
        .begin_array()
        .value(1)
        .begin_object()
        .field("a", std::int64_t(-5))
        .end_object()
        .null()
        .end_array()
        .key("empty")
        .begin_object()
        .end_object()
        .key("inner")
        .raw("{\"x\":1}")
        .end_object();
    EXPECT_EQ(w.text(), R"({"name":"AO-16","up":true,"count":3,"azimuth":123.5,"rows":[1,{"a":-5},null],"empty":{},"inner":{"x":1}})");
}

TEST(JsonWriter, NumbersWithoutNegativeZeroOrNonFiniteValues)
{
    JsonWriter w;
    w.begin_array().value(-0.001, 1).value(-0.4, 0).value(0.0 / 0.0, 2).value(1e300 * 1e300, 2).value(-2.25, 1).end_array();
    EXPECT_EQ(w.text(), "[0.0,0,null,null,-2.2]");
}

// Texts from the air are hostile: quotes, control bytes, "</script>" and bytes that are not UTF-8
// come out as one valid JSON string.
TEST(JsonWriter, StringsAreEscapedAndAlwaysValidUtf8)
{
    EXPECT_EQ(json_quote("a\"b\\c\n\r\t"), R"("a\"b\\c\n\r\t")");
    EXPECT_EQ(json_quote(std::string("x\0y\x1f\x7f", 5)), R"("x\u0000y\u001f\u007f")");
    EXPECT_EQ(json_quote("</script>"), R"("\u003c/script>")");
    EXPECT_EQ(json_quote("caf\xc3\xa9"), "\"caf\xc3\xa9\"");              // UTF-8 kept
    EXPECT_EQ(json_quote("caf\xe9"), "\"caf\xc3\xa9\"");                  // Latin-1 read as such
    EXPECT_EQ(json_quote("\xc0\xaf"), "\"\xc3\x80\xc2\xaf\"");            // overlong '/' is not UTF-8
    EXPECT_EQ(json_quote("\xed\xa0\x80"), "\"\xc3\xad\xc2\xa0\xc2\x80\""); // a surrogate is not either
    EXPECT_EQ(json_quote("\xf0\x9f\x9b\xb0"), "\"\xf0\x9f\x9b\xb0\"");    // four-byte sequence kept
    EXPECT_EQ(json_quote("\xe2\x82"), "\"\xc3\xa2\xc2\x82\"");            // torn at the end
}

} // namespace
