// The link to the engine on the session bus: it connects only while the engine's window for the
// satellite exists, delivers each advised header, and connects again after the server went.
#include "dirview/app/engine_link.h"

#include "dirview/app/tests/data_server_thread.h"
#include "platform/dbus/session_bus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>

namespace orva::dirview {
namespace {

using namespace std::chrono_literals;

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "dirview_link_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

bool spin_until(const std::function<bool()>& done, std::chrono::seconds limit = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

EngineLink::Connector bus_connector()
{
    return [](const std::string& service, const std::string& topic, std::function<void()> lost) {
        return platform::dbus::connect_data(service, topic, std::move(lost), 5s);
    };
}

class EngineLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run the tests under dbus-run-session";
        app();
        messenger = platform::dbus::session_messenger();
    }
    std::unique_ptr<platform::Messenger> messenger;
};

TEST_F(EngineLinkTest, ConnectsOnlyToThisSatellitesEngineAndTakesEachHeader)
{
    std::vector<platform::Bytes> got;
    EngineLink link(*messenger, bus_connector(), [&](std::span<const std::uint8_t> h) { got.emplace_back(h.begin(), h.end()); });
    link.set_satellite("AO-16");

    std::mutex m;
    std::vector<std::string> advised;
    platform::DataServerHandlers handlers;
    handlers.on_advise_start = [&](platform::ConversationId, const std::string& item, const std::string& format) {
        std::lock_guard lock(m);
        advised.push_back(item + "/" + format);
        return true;
    };
    test::DataServerThread server(kEngineService, handlers);
    ASSERT_TRUE(server.ok());

    EXPECT_FALSE(link.connect()) << "no engine window yet";
    auto other = messenger->create_window("Brek:MAIN", "Brek [UO-22]", {});
    ASSERT_TRUE(other);
    EXPECT_FALSE(link.connect()) << "the engine runs another satellite";

    auto engine = messenger->create_window("Brek:MAIN", "Brek [AO-16]", {});
    ASSERT_TRUE(engine);
    ASSERT_TRUE(link.connect());
    EXPECT_TRUE(link.connected());
    ASSERT_TRUE(spin_until([&] { return server.conversations() == 1; }));
    {
        std::lock_guard lock(m);
        EXPECT_EQ(advised, std::vector<std::string>{"PFH/PFH"});
    }

    const platform::Bytes first{0xAA, 0x55, 1, 0, 4, 0x2B, 0x1A, 0, 0};
    platform::Bytes big(700, 0x42);
    server.advise(kDirectoryTopic, kHeaderItem, kHeaderFormat, first);
    server.advise(kDirectoryTopic, kHeaderItem, kHeaderFormat, big);
    server.advise("Receive", "TLM", "AX25KISS", first); // another topic is not ours
    ASSERT_TRUE(spin_until([&] { return got.size() >= 2; }));
    EXPECT_EQ(got[0], first);
    EXPECT_EQ(got[1].size(), kMaxAdvisedHeader) << "at most 500 bytes of one advise are taken";
    EXPECT_TRUE(link.connect()) << "a connected link stays as it is";
    {
        std::lock_guard lock(m);
        EXPECT_EQ(advised.size(), 1u);
    }

    link.close();
    ASSERT_TRUE(spin_until([&] { return server.conversations() == 0; }));
}

TEST_F(EngineLinkTest, AServerThatEndsIsForgottenAndTheNextConnectOpensAgain)
{
    int headers = 0;
    EngineLink link(*messenger, bus_connector(), [&](std::span<const std::uint8_t>) { ++headers; });
    link.set_satellite("AO-16");
    auto engine = messenger->create_window("Brek:MAIN", "Brek [AO-16]", {});
    ASSERT_TRUE(engine);
    {
        test::DataServerThread server(kEngineService);
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(link.connect());
    }
    ASSERT_TRUE(spin_until([&] { return !link.connected(); }));
    EXPECT_FALSE(link.connect()) << "no server now";

    test::DataServerThread server(kEngineService);
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(link.connect());
    server.advise(kDirectoryTopic, kHeaderItem, kHeaderFormat, platform::Bytes{0xAA, 0x55});
    ASSERT_TRUE(spin_until([&] { return headers == 1; }));

    // A new satellite drops the old conversation.
    link.set_satellite("UO-22");
    EXPECT_FALSE(link.connected());
    ASSERT_TRUE(spin_until([&] { return server.conversations() == 0; }));
}

} // namespace
} // namespace orva::dirview
