#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "common/settings/keys.h"
#include "station/modem/dsp_modem.h"
#include "station/rotator/line_reader.h"

using namespace orva;
using namespace orva::station;
namespace fs = std::filesystem;

TEST(DspModem, Dsp2232CommandBytes)
{
    std::string c = dsp::dsp2232_command("9600");
    EXPECT_EQ(c, std::string("\rMODEM 9600\r"));
    EXPECT_EQ(c.size(), 12u);
}

TEST(DspModem, SetupFromTheSatelliteRecord)
{
    fs::path dir = fs::temp_directory_path() / ("orva-dsp-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(s.ok());
    std::string key = std::string(settings::keys::satellites) + "\\AO-16";
    ASSERT_TRUE(s->write_integer(key, "TNC Type", 4).ok());
    ASSERT_TRUE(s->write_integer(key, "Port", 2).ok());
    ASSERT_TRUE(s->write_integer(key, "Speed", 9600).ok());
    ASSERT_TRUE(s->write_string_bytes(key, "DSP Mode", "9600").ok()); // 4 bytes, no NUL
    auto m = dsp::read_modem_setup(*s, key);
    EXPECT_EQ(m.kind, dsp::ModemKind::Dsp2232);
    EXPECT_EQ(m.mode, "9600");
    EXPECT_EQ(m.port, 2u);

    ASSERT_TRUE(s->write_string_bytes(key, "DSP Mode", "9").ok()); // one character: nothing to do
    EXPECT_EQ(dsp::read_modem_setup(*s, key).kind, dsp::ModemKind::None);
    ASSERT_TRUE(s->write_string_bytes(key, "DSP Mode", "K9").ok());
    ASSERT_TRUE(s->write_integer(key, "TNC Type", 3).ok());
    EXPECT_EQ(dsp::read_modem_setup(*s, key).kind, dsp::ModemKind::Dsp12);
    ASSERT_TRUE(s->delete_value(key, "Speed").ok());
    EXPECT_EQ(dsp::read_modem_setup(*s, key).kind, dsp::ModemKind::None);
    ASSERT_TRUE(s->write_integer(key, "Speed", 9600).ok());
    ASSERT_TRUE(s->write_integer(key, "TNC Type", 1).ok());
    EXPECT_EQ(dsp::read_modem_setup(*s, key).kind, dsp::ModemKind::None);
    fs::remove_all(dir);
}

TEST(DspModem, Dsp12MenuWalk)
{
    dsp::Dsp12Dialogue d("9600");
    LineReader r(dsp::kLineEnds, dsp::kLineLimit);
    std::string sent;
    bool closed = false;
    r.feed("^C^C^C\rcmd:\rDSP-12 Main Menu\r", [&](std::string_view line) {
        auto s = d.on_line(line);
        sent += s.send;
        closed = closed || s.close_port;
    });
    EXPECT_EQ(sent, "\rQ\r9600\r");
    EXPECT_TRUE(d.prompt_seen()); // the wake timer never sends "q\r"
    EXPECT_TRUE(closed);
    EXPECT_TRUE(d.finished());
    EXPECT_TRUE(d.on_line("Main Menu").empty());
}
