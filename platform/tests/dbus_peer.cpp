// The far side of the bus tests, in a process of its own.
//   dbus_peer windows                      the suite's windows; echoes each message to the test's probes
//   dbus_peer client TOPIC COUNT DIE_AFTER  a MicroSat client that checks COUNT advised changes
//                                           arrive in order (killing itself after DIE_AFTER if non-zero)
//   dbus_peer wait-close                    a client that ends with 0 when the server goes away
//   dbus_peer post-and-go COUNT             posts COUNT messages to the burst probe and ends at once,
//                                           as elemix and `orva sat` do
#include <QCoreApplication>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/dbus/session_bus.h"

using namespace orva::platform;

namespace {

int run_windows(QCoreApplication& app)
{
    auto messenger = dbus::session_messenger();
    std::vector<std::unique_ptr<MessageWindow>> windows;
    std::vector<std::uint32_t> hashes(3, 0);
    struct Spec {
        const char* window_class;
        const char* title;
        bool single;
    };
    const Spec specs[] = {{"HelmoCtl", "Helmo", true}, {"Brek:MAIN", "Brek [AO-16]", true}, {"Tessel", "Tessel [AO-16]", true}};
    for (int i = 0; i < 3; ++i) {
        const std::string window_class = specs[i].window_class;
        WindowHandlers handlers;
        handlers.on_message = [&, i, window_class](const WindowMessage& m) -> std::int32_t {
            if (m.number == 9999)
                return static_cast<std::int32_t>(hashes[i]);
            if (m.number == 9998) {
                app.exit(0);
                return 0;
            }
            hashes[i] = hashes[i] * 31 + m.number * 7 + m.word * 3 + static_cast<std::uint32_t>(m.long_param);
            (void)messenger->post({"OrvaProbe", "Probe [" + window_class + "]"}, m);
            return static_cast<std::int32_t>(m.number + m.word + static_cast<std::uint32_t>(m.long_param));
        };
        handlers.on_raise = [&] { (void)messenger->post({"OrvaProbe", "Probe [raise]"}, {1, 0, 0}); };
        handlers.on_texts = [&](const WindowMessage& m, const std::vector<std::string>& texts) {
            (void)messenger->post_texts({"OrvaProbe", "Probe [texts]"}, m, texts);
        };
        auto window = messenger->create_window(specs[i].window_class, specs[i].title, handlers, specs[i].single);
        if (!window)
            return 10 + i;
        windows.push_back(std::move(*window));
    }
    if (!messenger->post({"OrvaProbe", "Probe [ready]"}, {1, 0, 0}))
        return 20;
    return app.exec();
}

int run_client(QCoreApplication& app, const std::string& topic, int count, int die_after)
{
    int received = 0;
    int failure = 0;
    auto conversation = dbus::connect_data("MicroSat", topic, [&] { app.exit(4); });
    if (!conversation)
        return 5;
    auto hello = (*conversation)->request("PFH", "PFH");
    if (!hello || std::string(hello->begin(), hello->end()) != "hello")
        return 6;
    std::uint8_t poke[] = {'h', 'i'};
    auto ack = (*conversation)->poke("PFH", "PFH", poke);
    if (!ack || !*ack)
        return 7;
    auto started = (*conversation)->start_advise("PFH", "PFH", [&](const Bytes& data) {
        std::uint32_t k = data.size() >= 4 ? data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24 : ~0u;
        if (k != static_cast<std::uint32_t>(received) || data.size() != 4 + k % 300)
            failure = 1;
        ++received;
        if (die_after > 0 && received == die_after)
            ::kill(::getpid(), SIGKILL); // a client that crashes mid-stream
        if (received == count)
            app.exit(failure);
    });
    if (!started)
        return 8;
    return app.exec();
}

int run_wait_close(QCoreApplication& app)
{
    auto conversation = dbus::connect_data("MicroSat", "Directory", [&] { app.exit(0); });
    if (!conversation)
        return 5;
    return app.exec();
}

int run_post_and_go(int count)
{
    auto messenger = dbus::session_messenger();
    for (int i = 0; i < count; ++i)
        if (!messenger->post({"OrvaProbe", "Probe [burst]"}, {3000, static_cast<std::uint32_t>(i), 0}))
            return 30;
    std::_Exit(0); // no clean-up that could flush what post() left queued
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "windows") == 0)
        return run_windows(app);
    if (argc >= 5 && std::strcmp(argv[1], "client") == 0)
        return run_client(app, argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc >= 2 && std::strcmp(argv[1], "wait-close") == 0)
        return run_wait_close(app);
    if (argc >= 3 && std::strcmp(argv[1], "post-and-go") == 0)
        return run_post_and_go(std::atoi(argv[2]));
    return 2;
}
