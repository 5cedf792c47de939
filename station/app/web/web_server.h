// The web view's HTTP server: cpp-httplib's server and thread pool, with every request first
// through our own target check and router (station/web), then the access rule, then the route.
// The live documents come from an EventFeed; the passes are run and ended through a
// StationControl the host provides; directories, messages, marks and checks are read straight
// from the store and the satellites' folders on the server's threads.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/result.h"
#include "station/app/web/event_feed.h"
#include "station/web/web_routes.h"
#include "station/web/web_settings.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace orva::station {

struct ControlReply {
    int status = 200; // 200 done; 404 no such pass; 409 not possible now; 503 the station did not answer
    std::string message;
};

// Run this pass now / End this pass now, as the window's schedule menu does them. Called on the
// server's threads; the host carries them out on its own thread.
class StationControl {
public:
    virtual ~StationControl() = default;
    virtual ControlReply run_pass(const std::string& satellite, std::int64_t aos) = 0;
    virtual ControlReply end_pass(const std::string& satellite, std::int64_t aos) = 0;
};

struct WebServerOptions {
    web::WebSettings settings;
    std::filesystem::path store_file;
    std::size_t threads = 12;
    std::size_t max_streams = 8; // event streams open at once
};

class WebServer {
public:
    WebServer(WebServerOptions options, EventFeed& feed, StationControl& control,
              std::function<void(const std::string&)> log);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Refuses an address beyond loopback without a token, and an address it cannot bind.
    Status start();
    void stop();
    int port() const { return port_; }
    std::string url() const;
    // The map's world picture as a JPEG (set once the host has drawn it).
    void set_map_picture(std::string jpeg);

private:
    bool pre_route(const httplib::Request& req, httplib::Response& res);
    void serve(const httplib::Request& req, httplib::Response& res, const web::RouteMatch& m);
    void serve_events(httplib::Response& res);
    void login(const httplib::Request& req, httplib::Response& res);
    void control(const httplib::Request& req, httplib::Response& res, const web::RouteMatch& m);
    bool authenticated(const httplib::Request& req);
    bool login_allowed();
    std::string new_session();
    bool session_valid(const std::string& id);
    void end_session(const std::string& id);

    WebServerOptions options_;
    EventFeed& feed_;
    StationControl& control_;
    std::function<void(const std::string&)> log_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    bool loopback_ = true;
    std::atomic<std::size_t> streams_{0};

    std::mutex mutex_; // sessions, failed log-ins, the map picture
    struct Session {
        std::string id;
        std::chrono::steady_clock::time_point since;
    };
    std::vector<Session> sessions_;
    std::deque<std::chrono::steady_clock::time_point> failures_;
    std::string map_picture_;
};

} // namespace orva::station
