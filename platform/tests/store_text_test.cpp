#include "platform/store/store_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace orva::platform;

namespace {

struct Stores {
    Stores()
    {
        std::string tmpl = (fs::temp_directory_path() / "orva-text-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
    }
    ~Stores() { fs::remove_all(dir); }
    Store make(const char* name) { return std::move(Store::open(dir / name, Access::ReadWrite).value()); }
    fs::path dir;
};

} // namespace

TEST(StoreText, ExportThenImportIsByteExact)
{
    Stores t;
    Store a = t.make("a.db");
    const std::string sat = "SOFTWARE\\Orva\\Satellites\\AO-16";
    ASSERT_TRUE(a.write_string(sat, "Name", "AO-16"));
    ASSERT_TRUE(a.write_string(sat, "Odd \"quoted\" \\name", "C:\\ORVA \"x\""));
    ASSERT_TRUE(a.write_string_bytes(sat, "DSP Mode", "PSK1"));
    ASSERT_TRUE(a.write_string_bytes(sat, "Latin", "caf\xe9\n"));
    ASSERT_TRUE(a.write_integer(sat, "Port", 0x80000000u));
    ASSERT_TRUE(a.write_binary(sat, "Empty", {}));
    std::vector<std::uint8_t> d{0, 0, 0, 0, 0, 0, 0xf8, 0xbf};
    ASSERT_TRUE(a.write_binary("SOFTWARE\\Orva\\Station", "Longitude", d));
    ASSERT_TRUE(a.create_key("SOFTWARE\\Orva\\Helmo\\Events").ok());

    std::string text = export_store_text(a);
    EXPECT_NE(text.find("\"DSP Mode\"=hex(1):50,53,4b,31"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Port\"=dword:80000000"), std::string::npos);
    EXPECT_NE(text.find("\"Name\"=\"AO-16\""), std::string::npos);
    EXPECT_NE(text.find("[SOFTWARE\\Orva\\Helmo\\Events]"), std::string::npos);

    auto ops = parse_store_text(text);
    ASSERT_TRUE(ops.ok()) << ops.error().message;
    Store b = t.make("b.db");
    ASSERT_TRUE(apply_store_text(b, *ops));
    EXPECT_EQ(export_store_text(b), text);
    for (const auto& v : a.values(sat)) {
        auto w = b.read_value(sat, v.name);
        ASSERT_TRUE(w.ok()) << v.name;
        EXPECT_EQ(w->type, v.type) << v.name;
        EXPECT_EQ(w->data, v.data) << v.name;
    }
    EXPECT_TRUE(b.key_exists("SOFTWARE\\Orva\\Helmo\\Events"));
    EXPECT_EQ(export_store_text(a, "SOFTWARE\\Orva\\Station"),
        "Orva Store 1\n\n[SOFTWARE\\Orva\\Station]\n\"Longitude\"=hex:00,00,00,00,00,00,f8,bf\n");
}

TEST(StoreText, DeletionsAndErrorsWithLineNumbers)
{
    Stores t;
    Store s = t.make("s.db");
    ASSERT_TRUE(s.write_integer("SOFTWARE\\Orva\\Satellites\\XX", "Port", 1));
    ASSERT_TRUE(s.write_integer("SOFTWARE\\Orva\\Rotator", "Flip", 1));
    ASSERT_TRUE(s.write_integer("SOFTWARE\\Orva\\Rotator", "Park", 1));
    auto ops = parse_store_text("Orva Store 1\n[-SOFTWARE\\Orva\\Satellites\\XX]\n[SOFTWARE\\Orva\\Rotator]\n"
                                "\"Flip\"=-\n; comment\n\"Speed\"=dword:2580\r\n");
    ASSERT_TRUE(ops.ok()) << ops.error().message;
    ASSERT_TRUE(apply_store_text(s, *ops));
    EXPECT_FALSE(s.key_exists("SOFTWARE\\Orva\\Satellites\\XX"));
    EXPECT_FALSE(s.read_value("SOFTWARE\\Orva\\Rotator", "Flip").ok());
    EXPECT_EQ(s.read_integer("SOFTWARE\\Orva\\Rotator", "Speed").value(), 9600u);
    EXPECT_EQ(s.read_integer("SOFTWARE\\Orva\\Rotator", "Park").value(), 1u);

    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "empty text"},
        {"[SOFTWARE]\n", "line 1"},
        {"Orva Store 1\n\"A\"=dword:1\n", "line 2: a value comes before"},
        {"Orva Store 1\n[K]\n\"A\"=dword:123456789\n", "line 3: dword"},
        {"Orva Store 1\n[K]\n\"A\"=hex:0g\n", "line 3: badly formed hex"},
        {"Orva Store 1\n[K]\n\"A\"=hex:01,\n", "line 3: badly formed hex"},
        {"Orva Store 1\n[K]\n\"A=1\n", "line 3"},
        {"Orva Store 1\n[K\\\\L]\n", "line 2: invalid key path"},
        {"Orva Store 1\n[K]\n\"A\"=\"x\\n\"\n", "line 3: badly quoted"},
        {"Orva Store 1\n[K]\n\"A\"=text\n", "line 3: unknown value form"},
    };
    for (const auto& c : cases) {
        auto r = parse_store_text(c.text);
        ASSERT_FALSE(r.ok()) << c.text;
        EXPECT_NE(r.error().message.find(c.error), std::string::npos) << c.text << " -> " << r.error().message;
    }
}
