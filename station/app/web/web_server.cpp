#include "station/app/web/web_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <charconv>
#include <cstdlib>

#include "cli/doctor/doctor.h"
#include "common/json_writer.h"
#include "platform/clock.h"
#include "platform/shared_clock.h"
#include "platform/store/store.h"
#include "station/app/web/web_assets.h"
#include "station/web/request_target.h"
#include "station/web/station_files.h"
#include "station/web/web_access.h"
#include "station/web/web_json.h"

namespace orva::station {

using namespace web;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kPagePolicy =
    "default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'; connect-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";
constexpr auto kSessionLife = std::chrono::hours(24 * 30);
constexpr std::size_t kMaxSessions = 32;
constexpr std::size_t kMaxFailures = 10; // failed log-ins a minute
constexpr auto kStreamPing = std::chrono::seconds(15);

void reply(httplib::Response& res, int status, const std::string& body, const char* type = kJson)
{
    res.status = status;
    res.set_content(body, type);
}

void fail(httplib::Response& res, int status, const std::string& why) { reply(res, status, error_json(why)); }

std::optional<std::int64_t> number(const std::map<std::string, std::string>& form, const char* name)
{
    auto it = form.find(name);
    if (it == form.end())
        return std::nullopt;
    std::int64_t v = 0;
    const char* b = it->second.data();
    const char* e = b + it->second.size();
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e || it->second.empty())
        return std::nullopt;
    return v;
}

std::string field(const std::map<std::string, std::string>& form, const char* name)
{
    auto it = form.find(name);
    return it == form.end() ? std::string() : it->second;
}

} // namespace

WebServer::WebServer(WebServerOptions options, EventFeed& feed, StationControl& control,
                     std::function<void(const std::string&)> log)
    : options_(std::move(options)), feed_(feed), control_(control), log_(std::move(log))
{
}

WebServer::~WebServer() { stop(); }

std::string WebServer::url() const { return web_url(options_.settings.address, std::uint32_t(port_)); }

Status WebServer::start()
{
    const WebSettings& s = options_.settings;
    if (Status policy = check_listen_policy(s.address, !s.token_record.empty()); !policy)
        return policy;
    loopback_ = is_loopback_host(s.address);
    server_ = std::make_unique<httplib::Server>();
    auto& srv = *server_;
    const std::size_t threads = options_.threads;
    srv.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // Plain SO_REUSEADDR: no second listener may share the port (no SO_REUSEPORT).
    srv.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    srv.set_payload_max_length(8192);
    srv.set_read_timeout(std::chrono::seconds(5));
    srv.set_write_timeout(std::chrono::seconds(5));
    srv.set_keep_alive_timeout(2);
    srv.set_keep_alive_max_count(100);
    srv.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return pre_route(req, res) ? httplib::Server::HandlerResponse::Handled
                                   : httplib::Server::HandlerResponse::Unhandled;
    });
    for (const char* path : {"/login", "/logout", "/api/pass/run", "/api/pass/end", "/api/mark"})
        srv.Post(path, [this](const httplib::Request& req, httplib::Response& res) {
            serve(req, res, match_route("POST", req.target));
        });
    srv.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content(error_json(res.status == 413 ? "the request is too large" : "HTTP error " + std::to_string(res.status)), kJson);
    });
    srv.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        fail(res, 500, "internal error");
    });
    srv.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                             {"X-Frame-Options", "DENY"},
                             {"Referrer-Policy", "no-referrer"},
                             {"Cache-Control", "no-store"}});
    if (s.port == 0) {
        port_ = srv.bind_to_any_port(s.address);
        if (port_ <= 0) {
            server_.reset();
            return make_error("the web view cannot listen on " + s.address);
        }
    } else if (srv.bind_to_port(s.address, int(s.port))) {
        port_ = int(s.port);
    } else {
        server_.reset();
        return make_error("the web view cannot listen on " + s.address + " port " + std::to_string(s.port) +
                          " (is another program using it?)");
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    return {};
}

void WebServer::stop()
{
    feed_.close();
    if (server_)
        server_->stop();
    if (thread_.joinable())
        thread_.join();
    server_.reset();
}

void WebServer::set_map_picture(std::string jpeg)
{
    std::lock_guard lock(mutex_);
    map_picture_ = std::move(jpeg);
}

bool WebServer::pre_route(const httplib::Request& req, httplib::Response& res)
{
    if (!host_allowed(req.get_header_value("Host"), loopback_)) {
        fail(res, 421, "this station answers only requests addressed to it by a loopback address");
        return true;
    }
    RouteMatch m = match_route(req.method, req.target);
    if (m.status != 200) {
        fail(res, m.status, m.reason);
        return true;
    }
    if (is_post(m.route))
        return false; // read the body first; the POST handler serves it
    serve(req, res, m);
    return true;
}

bool WebServer::authenticated(const httplib::Request& req)
{
    const std::string& record = options_.settings.token_record;
    if (record.empty())
        return false;
    if (req.has_header("Authorization")) {
        auto token = bearer_token(req.get_header_value("Authorization"));
        return token && token_matches(record, *token);
    }
    if (auto id = cookie_value(req.get_header_value("Cookie"), kSessionCookie))
        return session_valid(*id);
    return false;
}

void WebServer::serve(const httplib::Request& req, httplib::Response& res, const RouteMatch& m)
{
    if (m.status != 200)
        return fail(res, m.status, m.reason);
    AccessContext ctx;
    ctx.loopback_listener = loopback_;
    ctx.private_view = options_.settings.private_view;
    ctx.token_configured = !options_.settings.token_record.empty();
    ctx.authenticated = authenticated(req);
    ctx.control_header = req.has_header(kControlHeader);
    AccessDecision access = decide_access(route_kind(m.route), ctx);
    if (access.status != 200) {
        if (route_kind(m.route) == RouteKind::Control)
            log_("web: " + req.target + " from " + req.remote_addr + " refused: " + access.reason);
        return fail(res, access.status, access.reason);
    }

    auto open_store = [&]() -> std::optional<platform::Store> {
        auto store = platform::Store::open(options_.store_file, platform::Access::ReadOnly);
        if (!store) {
            fail(res, 503, "the store cannot be read: " + store.error().message);
            return std::nullopt;
        }
        return std::move(*store);
    };
    auto document = [&](Result<std::string> doc) {
        if (doc)
            reply(res, 200, *doc);
        else
            fail(res, doc.error().code ? doc.error().code : 500, doc.error().message);
    };
    const platform::Clock& clock = platform::station_clock();

    switch (m.route) {
    case Route::Page:
    case Route::Asset: {
        const WebAsset* a = find_web_asset(m.route == Route::Page ? "index.html" : m.asset);
        if (!a)
            return fail(res, 404, "no such page");
        if (m.route == Route::Page)
            res.set_header("Content-Security-Policy", kPagePolicy);
        res.status = 200;
        res.set_content(std::string(a->bytes), std::string(a->content_type));
        return;
    }
    case Route::MapPicture: {
        std::lock_guard lock(mutex_);
        if (map_picture_.empty())
            return fail(res, 404, "no map picture");
        res.status = 200;
        res.set_content(map_picture_, "image/jpeg");
        return;
    }
    case Route::Session: {
        AccessContext as_viewer = ctx;
        JsonWriter w;
        w.begin_object()
            .field("token_configured", ctx.token_configured)
            .field("authenticated", ctx.authenticated)
            .field("can_view", decide_access(RouteKind::View, as_viewer).status == 200);
        as_viewer.control_header = true;
        w.field("can_control", decide_access(RouteKind::Control, as_viewer).status == 200).end_object();
        return reply(res, 200, w.take());
    }
    case Route::Live:
    case Route::Engine:
    case Route::Map:
    case Route::Log: {
        const char* name = m.route == Route::Live ? "live" : m.route == Route::Engine ? "engine" : m.route == Route::Map ? "map" : "log";
        auto doc = feed_.latest(name);
        if (!doc)
            return fail(res, 503, "the station has not published this yet");
        return reply(res, 200, *doc);
    }
    case Route::Events:
        return serve_events(res);
    case Route::Doctor: {
        auto store = open_store();
        if (!store)
            return;
        tools::DoctorOptions o;
        o.now = std::chrono::system_clock::now();
        if (const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            o.dbus_address = bus;
        return reply(res, 200, tools::format_json(tools::run_doctor(*store, o)));
    }
    case Route::Satellites: {
        auto store = open_store();
        if (store)
            reply(res, 200, satellites_json(*store));
        return;
    }
    case Route::Directory:
    case Route::Messages:
    case Route::Message:
    case Route::File: {
        auto store = open_store();
        if (!store)
            return;
        if (m.route == Route::Directory)
            return document(directory_document(*store, m.satellite, clock));
        if (m.route == Route::Messages)
            return document(messages_document(*store, m.satellite));
        if (m.route == Route::Message)
            return document(message_document(*store, m.satellite, *m.file));
        auto file = filed_file(*store, m.satellite, *m.file, clock);
        if (!file)
            return fail(res, file.error().code ? file.error().code : 500, file.error().message);
        res.status = 200;
        res.set_header("Content-Disposition",
                       std::string(file->content_type.starts_with("text/") ? "inline" : "attachment") +
                           "; filename=\"" + file_number_text(*m.file) + "\"");
        res.set_content(std::move(file->bytes), file->content_type);
        return;
    }
    case Route::Login:
        return login(req, res);
    case Route::Logout:
        if (auto id = cookie_value(req.get_header_value("Cookie"), kSessionCookie))
            end_session(*id);
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
        return reply(res, 200, "{\"ok\":true}");
    case Route::RunPass:
    case Route::EndPass:
    case Route::MarkFile:
        return control(req, res, m);
    }
}

void WebServer::serve_events(httplib::Response& res)
{
    if (streams_.fetch_add(1) >= options_.max_streams) {
        --streams_;
        return fail(res, 503, "too many live pages are open");
    }
    res.status = 200;
    res.set_header("X-Accel-Buffering", "no");
    auto after = std::make_shared<std::uint64_t>(0);
    auto first = std::make_shared<bool>(true);
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, after, first](std::size_t, httplib::DataSink& sink) {
            std::string out;
            if (*first) {
                out = "retry: 2000\n\n";
                *first = false;
            }
            std::vector<EventFeed::Event> events = feed_.wait_after(*after, kStreamPing);
            if (feed_.closed()) {
                sink.done();
                return true;
            }
            if (events.empty() && out.empty())
                out = ": still here\n\n";
            for (const EventFeed::Event& e : events) {
                out += "event: " + e.name + "\ndata: " + e.data + "\n\n";
                *after = e.sequence;
            }
            return sink.write(out.data(), out.size());
        },
        [this](bool) { --streams_; });
}

bool WebServer::login_allowed()
{
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    while (!failures_.empty() && now - failures_.front() > std::chrono::minutes(1))
        failures_.pop_front();
    return failures_.size() < kMaxFailures;
}

void WebServer::login(const httplib::Request& req, httplib::Response& res)
{
    if (options_.settings.token_record.empty())
        return fail(res, 403, "this web view has no access token: run \"orva web token\" on the station");
    if (!login_allowed())
        return fail(res, 429, "too many failed log-ins: wait a minute");
    auto form = parse_form(req.body);
    std::string token = form ? field(*form, "token") : std::string();
    if (!token_matches(options_.settings.token_record, token)) {
        {
            std::lock_guard lock(mutex_);
            failures_.push_back(Clock::now());
        }
        log_("web: log-in from " + req.remote_addr + " refused");
        return fail(res, 401, "that is not this station's access token");
    }
    const std::string id = new_session();
    if (id.empty())
        return fail(res, 503, "no random numbers to make a session with");
    log_("web: logged in from " + req.remote_addr);
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + id +
                                     "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" +
                                     std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kSessionLife).count()));
    reply(res, 200, "{\"ok\":true}");
}

std::string WebServer::new_session()
{
    std::string id = to_hex(random_bytes(32));
    if (id.empty())
        return id;
    std::lock_guard lock(mutex_);
    if (sessions_.size() >= kMaxSessions)
        sessions_.erase(sessions_.begin());
    sessions_.push_back({id, Clock::now()});
    return id;
}

bool WebServer::session_valid(const std::string& id)
{
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    std::erase_if(sessions_, [&](const Session& s) { return now - s.since > kSessionLife; });
    bool found = false;
    for (const Session& s : sessions_)
        found |= constant_time_equal(s.id, id); // every one compared: the time tells nothing
    return found;
}

void WebServer::end_session(const std::string& id)
{
    std::lock_guard lock(mutex_);
    std::erase_if(sessions_, [&](const Session& s) { return constant_time_equal(s.id, id); });
}

void WebServer::control(const httplib::Request& req, httplib::Response& res, const RouteMatch& m)
{
    auto form = parse_form(req.body);
    if (!form)
        return fail(res, 400, "the request's form cannot be read");
    const std::string satellite = field(*form, "satellite");
    if (!plausible_satellite_name(satellite))
        return fail(res, 404, "no such satellite");
    if (m.route == Route::MarkFile) {
        auto file = parse_file_number(field(*form, "file"));
        auto code = number(*form, "status");
        if (!file)
            return fail(res, 404, "no such file");
        if (!code || !markable_code(int(*code)))
            return fail(res, 400, "no such status");
        auto store = platform::Store::open(options_.store_file, platform::Access::ReadOnly);
        if (!store)
            return fail(res, 503, "the store cannot be read: " + store.error().message);
        auto letter = mark_file(*store, satellite, *file, int(*code), platform::station_clock());
        if (!letter)
            return fail(res, letter.error().code ? letter.error().code : 500, letter.error().message);
        log_("web: " + satellite + " file " + file_number_text(*file) + " marked " + std::string(1, *letter) + " from " +
             req.remote_addr);
        JsonWriter w;
        w.begin_object().field("file", file_number_text(*file)).field("status", std::string(1, *letter)).end_object();
        return reply(res, 200, w.take());
    }
    auto aos = number(*form, "aos");
    if (!aos)
        return fail(res, 400, "the pass's AOS is missing");
    ControlReply r = m.route == Route::RunPass ? control_.run_pass(satellite, *aos) : control_.end_pass(satellite, *aos);
    log_("web: " + std::string(m.route == Route::RunPass ? "run" : "end") + " this pass now, " + satellite + " from " +
         req.remote_addr + (r.status == 200 ? "" : ": " + r.message));
    if (r.status != 200)
        return fail(res, r.status, r.message);
    reply(res, 200, "{\"ok\":true}");
}

} // namespace orva::station
