#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/port_names.h"
#include "platform/store_ports.h"

using namespace orva::platform;

namespace {

TEST(PortNames, ComNamesUseTheMappingThenTheDefaultDevice)
{
    std::map<std::string, std::string> mapping = {{"COM1", "/dev/ttyUSB0"}, {"COM4", "127.0.0.1:8001"}};
    PortLookup lookup = [&](std::string_view name) -> std::optional<std::string> {
        auto it = mapping.find(std::string(name));
        if (it == mapping.end())
            return std::nullopt;
        return it->second;
    };
    auto com1 = resolve_port_name("COM1", lookup);
    ASSERT_TRUE(com1);
    EXPECT_EQ(com1->kind, PortKind::Serial);
    EXPECT_EQ(com1->address, "/dev/ttyUSB0");
    EXPECT_EQ(resolve_port_name("com1", lookup)->address, "/dev/ttyUSB0");
    EXPECT_EQ(resolve_port_name("COM2", lookup)->address, "/dev/ttyS1");
    EXPECT_EQ(resolve_port_name("COM9", nullptr)->address, "/dev/ttyS8");
    EXPECT_EQ(resolve_port_name("COM12", nullptr)->address, "/dev/ttyS11");
    auto com4 = resolve_port_name("COM4", lookup);
    ASSERT_TRUE(com4);
    EXPECT_EQ(com4->kind, PortKind::Tcp);
    EXPECT_EQ(com_port_name(3), "COM3");
}

TEST(PortNames, PathsAndHostPortStandForThemselves)
{
    EXPECT_EQ(resolve_port_name("/dev/ttyACM0", nullptr)->address, "/dev/ttyACM0");
    auto tcp = resolve_port_name("localhost:8001", nullptr);
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->kind, PortKind::Tcp);
    EXPECT_EQ(resolve_port_name("[::1]:8001", nullptr)->kind, PortKind::Tcp);
}

TEST(PortNames, NonsenseIsRefused)
{
    for (const char* bad : {"", "COM0", "COM256", "COMX", "COM", "ttyS0", "host:", ":8001", "host:80a"})
        EXPECT_FALSE(resolve_port_name(bad, nullptr)) << bad;
    PortLookup loop = [](std::string_view) -> std::optional<std::string> { return "COM2"; };
    EXPECT_FALSE(resolve_port_name("COM1", loop));
}

TEST(PortNames, MappingFromTheStore)
{
    auto dir = std::filesystem::temp_directory_path() / ("orva-ports-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        auto store = Store::open(dir / "store.db", Access::ReadWrite);
        ASSERT_TRUE(store) << store.error().message;
        ASSERT_TRUE(store->write_string(serial_ports_key, "COM3", "/dev/ttyUSB7"));
        auto lookup = store_port_lookup(*store);
        EXPECT_EQ(resolve_port_name("COM3", lookup)->address, "/dev/ttyUSB7");
        EXPECT_EQ(resolve_port_name("com3", lookup)->address, "/dev/ttyUSB7");
        EXPECT_EQ(resolve_port_name("COM2", lookup)->address, "/dev/ttyS1");
    }
    std::filesystem::remove_all(dir);
}

} // namespace
