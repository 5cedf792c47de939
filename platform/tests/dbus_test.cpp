#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>

#include "platform/dbus/bus_names.h"
#include "platform/dbus/session_bus.h"
#include "platform/launcher.h"

using namespace orva::platform;
using namespace std::chrono_literals;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "platform_dbus_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Runs the event loop until the condition holds or the generous time limit passes.
bool spin_until(const std::function<bool()>& done, std::chrono::seconds limit = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
    }
    return true;
}

orva::Result<Process> start_peer(std::vector<std::string> args)
{
    args.insert(args.begin(), ORVA_DBUS_PEER);
    return Launcher().start(std::move(args));
}

class BusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run the tests under dbus-run-session";
        app();
        messenger = dbus::session_messenger();
    }
    std::unique_ptr<Messenger> messenger;
};

TEST(BusNames, EncodeClassAndTitle)
{
    EXPECT_EQ(dbus::window_bus_name("Brek:MAIN", "Brek [AO-16]"), "org.orva.Window.cBrek_3AMAIN.tBrek_20_5BAO_2D16_5D");
    EXPECT_EQ(dbus::window_bus_name("HelmoCtl", "Helmo"), "org.orva.Window.cHelmoCtl.tHelmo");
    EXPECT_EQ(dbus::window_bus_name("Tessel", ""), "org.orva.Window.cTessel.t");
    EXPECT_EQ(dbus::program_bus_name("Brek:MAIN"), "org.orva.Program.cBrek_3AMAIN");
    EXPECT_EQ(dbus::data_bus_name("MicroSat"), "org.orva.Data.sMicroSat");
    EXPECT_EQ(dbus::encode_name_element("1.\xE9"), "1_2E_E9");
}

// The test's side of the message exchange: one probe window per class of the peer, which echoes
// every message it receives to the probe of its class.
struct Probes {
    std::map<std::string, std::deque<WindowMessage>> got;
    std::vector<std::pair<WindowMessage, std::vector<std::string>>> texts;
    std::vector<std::unique_ptr<MessageWindow>> windows;

    void open(Messenger& messenger)
    {
        for (std::string name : {"HelmoCtl", "Brek:MAIN", "Tessel", "ready", "raise", "texts"}) {
            WindowHandlers handlers;
            handlers.on_message = [this, name](const WindowMessage& m) {
                got[name].push_back(m);
                return 0;
            };
            handlers.on_texts = [this](const WindowMessage& m, const std::vector<std::string>& t) {
                texts.emplace_back(m, t);
            };
            auto window = messenger.create_window("OrvaProbe", "Probe [" + name + "]", handlers);
            ASSERT_TRUE(window) << window.error().message;
            windows.push_back(std::move(*window));
        }
    }
};

TEST_F(BusTest, EveryMessageOfTheTableReachesItsWindowAndSendAnswers)
{
    Probes probes;
    probes.open(*messenger);
    auto peer = start_peer({"windows"});
    ASSERT_TRUE(peer) << peer.error().message;
    ASSERT_TRUE(spin_until([&] { return !probes.got["ready"].empty(); })) << "the peer's windows never appeared";

    struct Row {
        WindowAddress to;
        std::string receiver_class;
        WindowMessage message;
    };
    const std::vector<Row> table = {
        {{"Tessel", "Tessel [AO-16]"}, "Tessel", {2028, 0, 0x1A2B}},
        {{"Tessel", ""}, "Tessel", {2029, 0, 0}},
        {{"Brek:MAIN", "Brek [AO-16]"}, "Brek:MAIN", {2029, 0, 0}},
        {{"Tessel", ""}, "Tessel", {2030, 0x00400123, 0x1A2B}},
        {{"HelmoCtl", ""}, "HelmoCtl", {2031, '0' + 2, 0}},
        {{"HelmoCtl", ""}, "HelmoCtl", {2037, 0, 0}},
        {{"HelmoCtl", "Helmo"}, "HelmoCtl", {2039, static_cast<std::uint32_t>(-1200), 0}},
        {{"HelmoCtl", ""}, "HelmoCtl", {2040, '0' + 1, 0}},
        {{"Brek:MAIN", "Brek [AO-16]"}, "Brek:MAIN", {2041, 1, 0}},
        {{"Brek:MAIN", "Brek [AO-16]"}, "Brek:MAIN", {2042, 0, 1700000000}},
    };
    std::map<std::string, std::uint32_t> hash;
    std::map<std::string, std::size_t> expected;
    for (const Row& row : table) {
        ASSERT_TRUE(messenger->exists(row.to)) << row.message.number;
        ASSERT_TRUE(messenger->post(row.to, row.message)) << row.message.number;
        auto answer = messenger->send(row.to, row.message);
        ASSERT_TRUE(answer) << answer.error().message;
        EXPECT_EQ(*answer, static_cast<std::int32_t>(row.message.number + row.message.word +
                                                     static_cast<std::uint32_t>(row.message.long_param)));
        for (int twice = 0; twice < 2; ++twice)
            hash[row.receiver_class] = hash[row.receiver_class] * 31 + row.message.number * 7 + row.message.word * 3 +
                                       static_cast<std::uint32_t>(row.message.long_param);
        expected[row.receiver_class] += 2;
    }
    // Every message, posted and sent, arrived whole, in order, at the right window.
    for (const auto& [window_class, count] : expected)
        ASSERT_TRUE(spin_until([&] { return probes.got[window_class].size() == count; })) << window_class;
    for (const std::string window_class : {"HelmoCtl", "Brek:MAIN", "Tessel"}) {
        std::deque<WindowMessage> want;
        for (const Row& row : table)
            if (row.receiver_class == window_class) {
                want.push_back(row.message);
                want.push_back(row.message);
            }
        EXPECT_EQ(probes.got[window_class], want) << window_class;
        auto seen = messenger->send({window_class, ""}, {9999, 0, 0});
        ASSERT_TRUE(seen);
        EXPECT_EQ(static_cast<std::uint32_t>(*seen), hash[window_class]) << window_class;
    }

    // A message with texts (the viewer filling the engine's File Information box) crosses whole,
    // UTF-8 included; a sender cannot make the receiver hold more than 32 texts of 1024 characters.
    std::vector<std::string> fields = {"ALL", "W1AW", "Gr\xC3\xBC\xC3\x9F" "e", "1234", "  3 ASCII text"};
    ASSERT_TRUE(messenger->post_texts({"Brek:MAIN", "Brek [AO-16]"}, {2030, 7, 0x1A2B}, fields));
    ASSERT_TRUE(spin_until([&] { return probes.texts.size() == 1; }));
    EXPECT_EQ(probes.texts[0].first, (WindowMessage{2030, 7, 0x1A2B}));
    EXPECT_EQ(probes.texts[0].second, fields);
    std::vector<std::string> flood(40, std::string(5000, 'x'));
    ASSERT_TRUE(messenger->post_texts({"Brek:MAIN", "Brek [AO-16]"}, {2030, 8, 1}, flood));
    ASSERT_TRUE(spin_until([&] { return probes.texts.size() == 2; }));
    ASSERT_EQ(probes.texts[1].second.size(), 32u);
    EXPECT_EQ(probes.texts[1].second[0], std::string(1024, 'x'));
    EXPECT_FALSE(messenger->post_texts({"Brek:MAIN", "Brek [UO-22]"}, {2030, 8, 1}, fields));

    // A second Helmo is refused and brings the first one forward instead.
    auto second = messenger->create_window("HelmoCtl", "Helmo", {}, true);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().code, already_running);
    ASSERT_TRUE(messenger->raise({"HelmoCtl", ""}));
    EXPECT_TRUE(spin_until([&] { return !probes.got["raise"].empty(); }));

    ASSERT_TRUE(messenger->post({"HelmoCtl", ""}, {9998, 0, 0}));
    auto code = peer->wait_or_kill(20s);
    ASSERT_TRUE(code) << code.error().message;
    EXPECT_EQ(*code, 0);
    // Its windows went with it.
    EXPECT_TRUE(spin_until([&] { return !messenger->exists({"Brek:MAIN", ""}); }));
}

TEST_F(BusTest, AMessageToAMissingWindowFails)
{
    const WindowAddress nobody{"Brek:MAIN", "Brek [XX-99]"};
    EXPECT_FALSE(messenger->exists(nobody));
    auto posted = messenger->post(nobody, {2041, 1, 0});
    ASSERT_FALSE(posted);
    EXPECT_NE(posted.error().message.find("Brek [XX-99]"), std::string::npos);
    EXPECT_FALSE(messenger->send(nobody, {2038, 0, 0}));
    EXPECT_FALSE(messenger->post({"NoSuchClass", ""}, {2029, 0, 0}));
    EXPECT_FALSE(messenger->raise(nobody));
}

// elemix and `orva sat` post 2037 and end at once: what they posted still arrives, in order.
TEST_F(BusTest, APostOutlivesTheSenderThatEndsAtOnce)
{
    std::vector<std::uint32_t> got;
    WindowHandlers handlers;
    handlers.on_message = [&](const WindowMessage& m) {
        got.push_back(m.word);
        return 0;
    };
    auto probe = messenger->create_window("OrvaProbe", "Probe [burst]", handlers);
    ASSERT_TRUE(probe) << probe.error().message;
    constexpr int kSenders = 12, kEach = 3;
    for (int i = 0; i < kSenders; ++i) {
        auto peer = start_peer({"post-and-go", std::to_string(kEach)});
        ASSERT_TRUE(peer) << peer.error().message;
        auto status = peer->wait();
        ASSERT_TRUE(status);
        ASSERT_EQ(*status, 0);
    }
    EXPECT_TRUE(spin_until([&] { return got.size() == std::size_t(kSenders * kEach); }, 10s))
        << got.size() << " of " << kSenders * kEach << " posts arrived";
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], i % kEach) << i;
}

TEST_F(BusTest, OwnWindowOnTheSameThreadAnswersDirectlyAndFollowsItsTitle)
{
    std::vector<WindowMessage> got;
    WindowHandlers handlers;
    handlers.on_message = [&](const WindowMessage& m) {
        got.push_back(m);
        return m.number == 2038 ? 0 : 77;
    };
    auto window = messenger->create_window("Brek:MAIN", "Brek", handlers, true);
    ASSERT_TRUE(window) << window.error().message;
    EXPECT_EQ(*messenger->send({"Brek:MAIN", "Brek"}, {2034, 0, 0}), 77);
    EXPECT_EQ(*messenger->send({"Brek:MAIN", ""}, {2038, 0, 0}), 0);

    ASSERT_TRUE((*window)->set_title("Brek [AO-16]"));
    EXPECT_FALSE(messenger->exists({"Brek:MAIN", "Brek"}));
    EXPECT_TRUE(messenger->exists({"Brek:MAIN", "Brek [AO-16]"}));
    ASSERT_TRUE(messenger->post({"Brek:MAIN", "Brek [AO-16]"}, {2042, 0, 1700000000}));
    ASSERT_TRUE(spin_until([&] { return got.size() == 3; }));
    EXPECT_EQ(got.back(), (WindowMessage{2042, 0, 1700000000}));

    window->reset();
    EXPECT_TRUE(spin_until([&] { return !messenger->exists({"Brek:MAIN", ""}); }));
    EXPECT_TRUE(messenger->create_window("Brek:MAIN", "Brek", {}, true)); // the class is free again
}

// A title is found whatever its case (a satellite's stored name may differ in case from the
// title the window registered), but only that title.
TEST_F(BusTest, TitlesMatchWithoutRegardToCase)
{
    std::vector<WindowMessage> got;
    WindowHandlers handlers;
    handlers.on_message = [&](const WindowMessage& m) {
        got.push_back(m);
        return 0;
    };
    auto window = messenger->create_window("Tessel", "Tessel [AO-16]", handlers);
    ASSERT_TRUE(window) << window.error().message;
    EXPECT_TRUE(messenger->exists({"Tessel", "Tessel [ao-16]"}));
    EXPECT_TRUE(messenger->exists({"Tessel", "TESSEL [AO-16]"}));
    EXPECT_FALSE(messenger->exists({"Tessel", "Tessel [AO-17]"}));
    EXPECT_FALSE(messenger->exists({"tessel", "Tessel [AO-16]"})); // classes stay exact
    ASSERT_TRUE(messenger->post({"Tessel", "Tessel [ao-16]"}, {2028, 0, 0x1A2B}));
    ASSERT_TRUE(spin_until([&] { return got.size() == 1; }));
    EXPECT_EQ(got.back(), (WindowMessage{2028, 0, 0x1A2B}));
}

Bytes change(std::uint32_t k)
{
    Bytes data(4 + k % 300, static_cast<std::uint8_t>(k));
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<std::uint8_t>(k >> (8 * i));
    return data;
}

TEST_F(BusTest, AdviseDeliversInOrderAndADeadClientIsDropped)
{
    int advise_starts = 0;
    std::vector<ConversationId> gone;
    std::vector<std::string> pokes;
    DataServerHandlers handlers;
    handlers.on_connect = [](ConversationId, const std::string& topic) { return topic == "Directory"; };
    handlers.on_request = [](ConversationId, const std::string& item, const std::string& format) -> std::optional<Bytes> {
        if (item == "PFH" && format == "PFH")
            return Bytes{'h', 'e', 'l', 'l', 'o'};
        return std::nullopt;
    };
    handlers.on_poke = [&](ConversationId, const std::string&, const std::string&, const Bytes& data) {
        pokes.emplace_back(data.begin(), data.end());
        return !data.empty() && data[0] != 0;
    };
    handlers.on_advise_start = [&](ConversationId, const std::string&, const std::string&) {
        ++advise_starts;
        return true;
    };
    handlers.on_disconnect = [&](ConversationId id) { gone.push_back(id); };
    auto server = dbus::serve_data("MicroSat", handlers);
    ASSERT_TRUE(server) << server.error().message;
    EXPECT_FALSE(dbus::serve_data("MicroSat", {})); // one server per service

    const int changes = 1000;
    auto first = start_peer({"client", "Directory", std::to_string(changes), "0"});
    auto second = start_peer({"client", "Directory", std::to_string(changes), "0"});
    auto doomed = start_peer({"client", "Directory", std::to_string(changes), "10"});
    auto refused = start_peer({"client", "Telemetry", "1", "0"});
    ASSERT_TRUE(first && second && doomed && refused);
    ASSERT_TRUE(spin_until([&] { return advise_starts == 3; })) << "clients never started their advise loops";
    EXPECT_EQ(pokes, (std::vector<std::string>{"hi", "hi", "hi"}));

    for (std::uint32_t k = 0; k < changes; ++k) {
        (*server)->advise("Directory", "PFH", "PFH", change(k));
        (*server)->advise("Receive", "TLM", "AX25KISS", change(k)); // nobody advised: goes nowhere
        if (k % 50 == 0)
            QCoreApplication::processEvents();
    }
    ASSERT_TRUE(spin_until([&] { return !first->running() && !second->running() && !doomed->running() &&
                                        !refused->running(); }));
    EXPECT_EQ(*first->wait(), 0) << "changes missing or out of order";
    EXPECT_EQ(*second->wait(), 0) << "changes missing or out of order";
    EXPECT_FALSE(doomed->wait()); // killed itself mid-stream
    EXPECT_EQ(*refused->wait(), 5);
    EXPECT_TRUE(spin_until([&] { return gone.size() == 3; })) << "the server did not see every client leave";
    EXPECT_EQ((*server)->conversation_count(), 0u);
}

TEST_F(BusTest, ClientSeesTheServerGo)
{
    auto server = dbus::serve_data("MicroSat", {});
    ASSERT_TRUE(server);
    auto client = start_peer({"wait-close"});
    ASSERT_TRUE(client);
    ASSERT_TRUE(spin_until([&] { return (*server)->conversation_count() == 1; }));
    server->reset();
    auto code = client->wait_or_kill(20s);
    ASSERT_TRUE(code) << code.error().message;
    EXPECT_EQ(*code, 0);
}

TEST_F(BusTest, ConnectingToAMissingServiceFails)
{
    auto conversation = dbus::connect_data("NoSuchService", "Directory", {}, 2s);
    ASSERT_FALSE(conversation);
    EXPECT_NE(conversation.error().message.find("NoSuchService"), std::string::npos);
}

} // namespace
