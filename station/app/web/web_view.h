// The web view of `helmo`: a third view over the station host, beside the window and the
// terminal. It passes every call on to the view it wraps, and on each round of the tracking loop
// writes the live documents (clock, tracking table, schedule, running pass; the map every few
// seconds; the log lines) into the feed its server sends. During a pass it follows Brek's own
// export on the session bus ("MicroSat", topic "Session"). Runs on the host's thread, except
// line() and the StationControl calls, which any thread may make.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "platform/data_exchange.h"
#include "station/app/host_view.h"
#include "station/app/station_host.h"
#include "station/app/web/event_feed.h"
#include "station/app/web/web_server.h"
#include "station/map/map_view.h"

namespace orva::station {

class WebView final : public QObject, public HostView, public StationControl {
    Q_OBJECT
public:
    explicit WebView(HostView& next);
    ~WebView() override;
    void attach(StationHost& host) { host_ = &host; }

    // After the host has started: serves the page when the store turns it on. A refusal (an
    // address beyond loopback without a token, a port in use) is logged and the station goes on
    // without the web view; the message comes back too.
    Status start();
    void stop();
    bool serving() const { return server_ != nullptr; }
    std::string url() const { return server_ ? server_->url() : std::string(); }

    // HostView: each call goes on to the wrapped view.
    void line(const std::string& text) override;
    void warning(const std::string& text, const std::string& caption) override;
    void pre_pass_notice(const PassEntry& entry, bool show_window) override { next_.pre_pass_notice(entry, show_window); }
    void close_pre_pass_notice(const PassEntry& entry) override { next_.close_pre_pass_notice(entry); }
    void refresh(std::int64_t now) override;
    void satellite_rose(const std::string& name) override { next_.satellite_rose(name); }
    void rotor_position(double azimuth, double elevation) override { next_.rotor_position(azimuth, elevation); }
    void time_changed() override { next_.time_changed(); }
    void elements_reloaded() override;
    void station_moved(const elements::ObserverSite& home) override;
    void display_on_map(const std::string& name) override { next_.display_on_map(name); }

    // StationControl
    ControlReply run_pass(const std::string& satellite, std::int64_t aos) override;
    ControlReply end_pass(const std::string& satellite, std::int64_t aos) override;

private:
    ControlReply on_host_thread(std::function<ControlReply()> work);
    void publish_live(std::int64_t now);
    void publish_map(std::int64_t now);
    void follow_engine(std::int64_t now);
    void publish_engine_closed();
    void publish_log();
    std::string map_picture();

    HostView& next_;
    StationHost* host_ = nullptr;
    EventFeed feed_;
    std::unique_ptr<WebServer> server_;
    std::atomic<bool> stopping_{false};

    std::mutex log_mutex_;
    std::deque<std::pair<std::int64_t, std::string>> log_;

    settings::HelmoSettings helmo_;
    settings::StationSettings station_;
    std::optional<elements::KepDatabase> database_;
    std::unique_ptr<map::MapView> map_;
    std::int64_t last_map_ = 0;
    std::string map_subject_;
    LiveView last_live_;

    std::unique_ptr<platform::DataConversation> engine_;
    std::shared_ptr<std::atomic<bool>> engine_lost_;
    std::string engine_satellite_;
    std::string last_engine_;
    std::int64_t last_engine_try_ = 0;
};

} // namespace orva::station
