// orva web enable|disable|token|status: the station's web page, which helmo serves while it runs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/doctor/doctor.h"
#include "common/json_writer.h"
#include "platform/store/store.h"
#include "station/web/web_access.h"
#include "station/web/web_settings.h"

using namespace orva;
using namespace orva::station::web;

namespace {

int usage(std::FILE* to, int code)
{
    std::fprintf(to,
                 "usage: orva web enable [--address ADDRESS] [--port PORT] [--private]\n"
                 "       orva web disable\n"
                 "       orva web token [--clear]\n"
                 "       orva web status [--json]\n"
                 "helmo serves the station's page while it runs: the tracking table, the schedule, the pass\n"
                 "in progress, the map, the satellites' directories and mail, and orva doctor's checks.\n"
                 "It listens on 127.0.0.1 port %u unless told otherwise. Any other address needs an access\n"
                 "token (orva web token), and so does every control (run or end a pass, mark a file).\n"
                 "--private asks for the token before showing anything, even on 127.0.0.1.\n"
                 "A running helmo takes a change at its next start.\n",
                 unsigned(kDefaultPort));
    return code;
}

int fail(const std::string& why, int code = 1)
{
    std::fprintf(stderr, "orva web: %s\n", why.c_str());
    return code;
}

Result<platform::Store> open_store(platform::Access access)
{
    auto store = platform::Store::open_default(access);
    if (!store)
        return make_error("cannot open the store: " + store.error().message);
    return store;
}

int save(platform::Store& store, const WebSettings& s)
{
    if (Status w = write_web_settings(store, s); !w)
        return fail("cannot write the store: " + w.error().message);
    return 0;
}

int enable(int argc, char** argv)
{
    auto store = open_store(platform::Access::ReadWrite);
    if (!store)
        return fail(store.error().message);
    WebSettings s = read_web_settings(*store);
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--address" && i + 1 < argc) {
            s.address = argv[++i];
        } else if (a == "--port" && i + 1 < argc) {
            char* end = nullptr;
            long port = std::strtol(argv[++i], &end, 10);
            if (*end != 0 || port < 0 || port > 65535)
                return fail("--port takes a number from 0 (any free port) to 65535", 2);
            s.port = std::uint32_t(port);
        } else if (a == "--private") {
            s.private_view = true;
        } else if (a == "--public") {
            s.private_view = false;
        } else {
            return usage(stderr, 2);
        }
    }
    if (Status policy = check_listen_policy(s.address, !s.token_record.empty()); !policy)
        return fail(policy.error().message, 2);
    if (s.private_view && s.token_record.empty())
        return fail("--private needs an access token first: run \"orva web token\"", 2);
    s.enabled = true;
    if (int rc = save(*store, s))
        return rc;
    std::printf("web view enabled at %s (helmo serves it from its next start)\n", web_url(s.address, s.port).c_str());
    return 0;
}

int disable()
{
    auto store = open_store(platform::Access::ReadWrite);
    if (!store)
        return fail(store.error().message);
    WebSettings s = read_web_settings(*store);
    s.enabled = false;
    if (int rc = save(*store, s))
        return rc;
    std::printf("web view disabled (from helmo's next start)\n");
    return 0;
}

int token(int argc, char** argv)
{
    bool clear = argc == 1 && std::strcmp(argv[0], "--clear") == 0;
    if (argc > 1 || (argc == 1 && !clear))
        return usage(stderr, 2);
    auto store = open_store(platform::Access::ReadWrite);
    if (!store)
        return fail(store.error().message);
    WebSettings s = read_web_settings(*store);
    if (clear) {
        if (!is_loopback_host(s.address) && s.enabled)
            return fail("the web view listens on " + s.address + ": disable it or listen on 127.0.0.1 before clearing the token", 2);
        s.token_record.clear();
        s.private_view = false;
        if (int rc = save(*store, s))
            return rc;
        std::printf("access token cleared: the page can be viewed on 127.0.0.1 only, and nothing controlled\n");
        return 0;
    }
    const std::string t = new_token();
    const std::string salt = random_bytes(16);
    if (t.empty() || salt.empty())
        return fail("the system gave no random numbers for a token");
    s.token_record = token_record(t, salt);
    if (int rc = save(*store, s))
        return rc;
    // Shown once: the store keeps only its hash.
    std::printf("%s\n", t.c_str());
    std::fprintf(stderr, "orva web: the new access token is above; it is shown only now. Log in with it on the page,\n"
                         "or send it as \"Authorization: Bearer TOKEN\". Helmo takes it at its next start.\n");
    return 0;
}

int status(int argc, char** argv)
{
    bool json = argc == 1 && std::strcmp(argv[0], "--json") == 0;
    if (argc > 1 || (argc == 1 && !json))
        return usage(stderr, 2);
    auto store = open_store(platform::Access::ReadOnly);
    if (!store)
        return fail(store.error().message);
    const WebSettings s = read_web_settings(*store);
    const std::string url = web_url(s.address, s.port);
    std::string probe = s.address == "0.0.0.0" ? "127.0.0.1" : s.address.find(':') != std::string::npos ? "[" + s.address + "]" : s.address;
    const bool answers = s.enabled && s.port != 0 &&
                         tools::tcp_answers(probe + ":" + std::to_string(s.port), std::chrono::milliseconds(700)).ok();
    if (json) {
        JsonWriter w;
        w.begin_object()
            .field("enabled", s.enabled)
            .field("address", s.address)
            .field("port", std::uint64_t(s.port))
            .field("url", url)
            .field("token", !s.token_record.empty())
            .field("private", s.private_view)
            .field("answering", answers)
            .end_object();
        std::printf("%s\n", w.text().c_str());
        return 0;
    }
    std::printf("web view:  %s\n", s.enabled ? "enabled" : "disabled");
    std::printf("address:   %s port %u%s\n", s.address.c_str(), unsigned(s.port), s.port == 0 ? " (any free port)" : "");
    std::printf("page:      %s\n", url.c_str());
    std::printf("token:     %s\n", s.token_record.empty() ? "none (view only, on loopback)" : "set");
    std::printf("viewing:   %s\n", s.private_view || !is_loopback_host(s.address) ? "needs the token" : "open on this computer");
    if (s.enabled)
        std::printf("helmo:     %s\n", answers ? "answering" : "not answering (is helmo running?)");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage(stderr, 2);
    std::string command = argv[1];
    if (command == "--help" || command == "-h")
        return usage(stdout, 0);
    if (command == "enable")
        return enable(argc - 2, argv + 2);
    if (command == "disable")
        return argc == 2 ? disable() : usage(stderr, 2);
    if (command == "token")
        return token(argc - 2, argv + 2);
    if (command == "status")
        return status(argc - 2, argv + 2);
    return usage(stderr, 2);
}
