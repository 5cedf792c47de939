// orva web enable|disable|token|status: the station's web page, which helmo serves while it runs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/doctor/doctor.h"
#include "common/json_writer.h"
#include "platform/options/program_options.h"
#include "platform/store/store.h"
#include "station/web/web_access.h"
#include "station/web/web_settings.h"

using namespace orva;
using namespace orva::station::web;

namespace {

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

struct EnableOptions {
    std::string address;
    long port = -1;
    bool private_view = false, public_view = false;
};

int enable(const EnableOptions& o)
{
    auto store = open_store(platform::Access::ReadWrite);
    if (!store)
        return fail(store.error().message);
    WebSettings s = read_web_settings(*store);
    if (!o.address.empty())
        s.address = o.address;
    if (o.port >= 0)
        s.port = std::uint32_t(o.port);
    if (o.private_view)
        s.private_view = true;
    if (o.public_view)
        s.private_view = false;
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

int token(bool clear)
{
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

int status(bool json)
{
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
    platform::ProgramOptions cli("orva web", "The station's web page, which helmo serves while it runs.");
    cli.require_subcommand();
    cli.footer("The page shows the tracking table, the schedule, the pass in progress, the map, the satellites'\n"
               "directories and mail, and orva doctor's checks. It listens on 127.0.0.1 port 8073 unless told\n"
               "otherwise. Any other address needs an access token (orva web token), and so does every control\n"
               "(run or end a pass, mark a file). A running helmo takes a change at its next start.");
    EnableOptions e;
    auto& enable_cmd = cli.subcommand("enable", "Serve the page from helmo's next start.");
    enable_cmd.option("--address", e.address, "Address to listen on (default 127.0.0.1; others need a token)", "ADDRESS")
        .option("--port", e.port, "Port to listen on (default 8073; 0: any free port, named in helmo's log)", "PORT", 0, 65535)
        .flag("--private", e.private_view, "Ask for the token before showing anything, even on 127.0.0.1")
        .flag("--public", e.public_view, "Show the page without the token on 127.0.0.1 again");
    auto& disable_cmd = cli.subcommand("disable", "Stop serving the page from helmo's next start.");
    bool clear = false, json = false;
    auto& token_cmd = cli.subcommand("token", "Make a new access token and print it once (the store keeps its hash).");
    token_cmd.flag("--clear", clear, "Remove the token: view only, on loopback");
    auto& status_cmd = cli.subcommand("status", "What is set, and whether helmo answers.");
    status_cmd.flag("--json", json, "Print the status as JSON");
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (enable_cmd.chosen())
        return enable(e);
    if (disable_cmd.chosen())
        return disable();
    if (token_cmd.chosen())
        return token(clear);
    if (status_cmd.chosen())
        return status(json);
    return cli.usage_error("a command is needed");
}
