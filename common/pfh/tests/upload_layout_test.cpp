#include "common/pfh/pfh_builder.h"
#include "common/pfh/upload_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace orva::pfh {
namespace {

using Bytes = std::vector<std::uint8_t>;

UploadHeaderFields message_fields(const std::string& source = "TEST1")
{
    UploadHeaderFields f;
    f.file_name = "65A1B2C3";
    f.file_ext = "TXT";
    f.create_time = 0x65A1B2C3;
    f.last_modified_time = 0x65A1B2C4;
    f.source = source;
    f.ax25_uploader = "TEST1";
    f.destination = "ALL";
    f.expire_time = 0x65A1B2C3 + 2 * 86400;
    f.compression_type = 0;
    f.title = "Hello";
    return f;
}

Bytes body() { return Bytes{'H', 'i', '\r', '\n'}; }

Bytes built(const UploadHeaderFields& f = message_fields())
{
    auto r = build_upload_file(f, body());
    EXPECT_TRUE(r) << r.error().message;
    return r ? *r : Bytes{};
}

std::uint16_t le16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }
std::uint32_t le32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// The header as (id, length, start) in the order the bytes hold it, read by hand.
struct Item {
    unsigned id;
    std::size_t length, at;
};
std::vector<Item> items_of(const Bytes& b)
{
    std::vector<Item> v;
    for (std::size_t pos = 2; pos + 3 <= b.size();) {
        const Item i{le16(b, pos), b[pos + 2], pos};
        v.push_back(i);
        if (i.id == 0 && i.length == 0)
            break;
        pos += 3 + i.length;
    }
    return v;
}

TEST(UploadLayout, BuiltHeaderHasEveryItemInTheStandardPlace)
{
    const Bytes file = built();
    const std::vector<Item> items = items_of(file);
    ASSERT_GE(items.size(), kUploadLayout.size() + 1);
    for (std::size_t i = 0; i < kUploadLayout.size(); ++i) {
        EXPECT_EQ(items[i].id, kUploadLayout[i].id) << "position " << i;
        if (kUploadLayout[i].length) {
            EXPECT_EQ(items[i].length, kUploadLayout[i].length) << kUploadLayout[i].name;
        }
        EXPECT_EQ(items[i].at, upload_item_at(kUploadLayout[i].id, 5, 3)) << kUploadLayout[i].name;
    }
    // Items 6 and 7 where the layout has them, with their values.
    EXPECT_EQ(items[5].at, 40u);
    EXPECT_EQ(le32(file, 43), 0x65A1B2C4u);
    EXPECT_EQ(items[6].at, 47u);
    EXPECT_EQ(file[50], 0);
    // The optional items follow, then the terminator; the sizes are those of the file.
    EXPECT_EQ(items[kUploadLayout.size()].id, kCompression);
    EXPECT_EQ(items[kUploadLayout.size() + 1].id, kTitle);
    const Item& end = items.back();
    EXPECT_EQ(end.id, 0u);
    const std::size_t header_length = end.at + 3;
    EXPECT_EQ(le16(file, 68), header_length);
    EXPECT_EQ(le32(file, 29), file.size());
    EXPECT_EQ(le16(file, 58), body_checksum(body()));
    // The file number and the upload time go up as 0, and the whole header parses.
    auto h = parse_pfh(file, ParseOptions{.check_header_checksum = true, .allow_zero_file_number = true});
    ASSERT_TRUE(h) << h.error().message;
    EXPECT_EQ(h->file_number, 0u);
    EXPECT_EQ(h->upload_time, 0u);
    EXPECT_EQ(h->header_length, header_length);
    EXPECT_EQ(h->source, "TEST1");
    EXPECT_EQ(h->destination, "ALL");
    EXPECT_EQ(h->ax25_uploader, "TEST1 ");
    EXPECT_EQ(h->title, "Hello");
}

TEST(UploadLayout, UploadTimeSitsAt82PlusTheSourceLength)
{
    for (const std::string& source : std::vector<std::string>{"A", "TEST1", "G0ABC-12", std::string(32, 'X')}) {
        const Bytes file = built(message_fields(source));
        const std::size_t at = 82 + source.size();
        ASSERT_GT(file.size(), at + 7) << source;
        EXPECT_EQ(file[at], kUploadTime) << source;
        EXPECT_EQ(file[at + 1], 0) << source;
        EXPECT_EQ(file[at + 2], 4) << source;
        EXPECT_EQ(le32(file, at + 3), 0u) << source;
        auto layout = check_upload_layout(file, file.size());
        ASSERT_TRUE(layout) << layout.error().message;
        EXPECT_EQ(layout->upload_time_item_at, at);
        EXPECT_EQ(layout->source_length, source.size());
    }
}

TEST(UploadLayout, FieldsThatDoNotFitAreRefusedWithTheReason)
{
    const std::pair<void (*)(UploadHeaderFields&), const char*> cases[] = {
        {[](UploadHeaderFields& f) { f.file_name = "TOOLONGNAME"; }, "0x02 (file name)"},
        {[](UploadHeaderFields& f) { f.file_ext = "TEXT"; }, "0x03 (file extension)"},
        {[](UploadHeaderFields& f) { f.source.clear(); }, "0x10 (source)"},
        {[](UploadHeaderFields& f) { f.source = std::string(33, 'A'); }, "0x10 (source)"},
        {[](UploadHeaderFields& f) { f.ax25_uploader = "G0ABCDE"; }, "0x11 (AX.25 uploader)"},
        {[](UploadHeaderFields& f) { f.destination.clear(); }, "0x14 (destination)"},
        {[](UploadHeaderFields& f) { f.title = std::string(256, 't'); }, "0x22"},
    };
    for (const auto& [change, named] : cases) {
        UploadHeaderFields f = message_fields();
        change(f);
        auto r = build_upload_file(f, body());
        ASSERT_FALSE(r) << named;
        EXPECT_NE(r.error().message.find(named), std::string::npos) << r.error().message;
    }
}

// The header the suite used to write: items in id order but without 6, 7, 0x15, 0x16 and 0x18,
// as the server filed it.
Bytes old_style_header()
{
    PfhHeader h;
    h.file_number = 0;
    h.file_name = "65A1B2C3";
    h.file_ext = "TXT";
    h.create_time = 0x65A1B2C3;
    h.file_type = 0;
    h.source = "TEST1";
    h.ax25_uploader = "TEST1 ";
    h.upload_time = 0;
    h.download_count = 0;
    h.destination = "ALL";
    h.expire_time = 0;
    h.compression_type = 0;
    h.title = "Hello";
    return build_pfh_file(h, body());
}

TEST(UploadLayout, CheckerNamesWhatIsOutOfPlace)
{
    struct Case {
        Bytes bytes;
        const char* says;
    };
    std::vector<Case> cases;
    cases.push_back({old_style_header(), "byte 40 holds item 0x08 (file type) where item 0x06 (last modified time) belongs"});
    cases.push_back({Bytes{'P', 'K', 3, 4}, "does not start with a PACSAT header"});
    {
        Bytes b = built();
        b[63] ^= 1; // header checksum
        cases.push_back({b, "header checksum"});
    }
    {
        Bytes b = built();
        b[68] += 1; // body offset, with the header checksum made right again
        const std::size_t header_length = items_of(b).back().at + 3;
        const std::uint16_t sum = *compute_header_checksum(std::span(b).first(header_length));
        b[63] = std::uint8_t(sum);
        b[64] = std::uint8_t(sum >> 8);
        cases.push_back({b, "the body offset is"});
    }
    {
        Bytes b = built();
        b.push_back(0); // one byte more than the size item says
        cases.push_back({b, "file size item says"});
    }
    {
        Bytes b = built();
        b[72] = 0; // source of length 0
        cases.push_back({b, "item 0x10 (source) is 0 bytes long"});
    }
    {
        // The title's id made into a second destination after the fixed part.
        Bytes b = built();
        const auto items = items_of(b);
        const std::size_t title_at = items[kUploadLayout.size() + 1].at;
        b[title_at] = kDestination;
        cases.push_back({b, "item 0x14 (destination) appears again"});
    }
    {
        Bytes b = built();
        b.resize(80); // cut inside the fixed part, after the source
        cases.push_back({b, "where item 0x11 (AX.25 uploader) belongs"});
    }
    for (const Case& c : cases) {
        auto r = check_upload_layout(c.bytes, c.bytes.size());
        ASSERT_FALSE(r) << c.says;
        EXPECT_NE(r.error().message.find(c.says), std::string::npos) << r.error().message;
    }
    // The size is checked only when the file's length is given (a header read on its own).
    Bytes header = built();
    const auto layout = check_upload_layout(header);
    ASSERT_TRUE(layout);
    header.resize(layout->header_length);
    EXPECT_TRUE(check_upload_layout(header));
    EXPECT_FALSE(check_upload_layout(header, header.size()));
}

} // namespace
} // namespace orva::pfh
