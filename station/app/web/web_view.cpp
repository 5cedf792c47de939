#include "station/app/web/web_view.h"

#include <QBuffer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>

#include <future>

#include "common/json_writer.h"
#include "common/station_time.h"
#include "platform/dbus/session_bus.h"
#include "station/app/world_picture.h"
#include "station/map/map_geometry.h"
#include "station/map/map_text.h"
#include "station/web/web_json.h"
#include "station/web/web_settings.h"

namespace orva::station {

namespace {

constexpr std::size_t kLogLines = 60;
constexpr std::int64_t kMapEvery = 5; // seconds
// Brek's export of its state (engine/session/session_export.h) on its data server.
constexpr const char* kEngineService = "MicroSat";
constexpr const char* kEngineTopic = "Session";
constexpr const char* kEngineItem = "Status";
constexpr const char* kEngineFormat = "JSON";

} // namespace

WebView::WebView(HostView& next) : next_(next) {}

WebView::~WebView() { stop(); }

Status WebView::start()
{
    if (!host_)
        return make_error("the web view is not attached to the station");
    const web::WebSettings settings = web::read_web_settings(host_->store());
    if (!settings.enabled)
        return {};
    helmo_ = settings::read_helmo(host_->store());
    station_ = settings::read_station(host_->store(), settings::Program::Helmo);
    WebServerOptions options;
    options.settings = settings;
    options.store_file = host_->store().file();
    auto server = std::make_unique<WebServer>(options, feed_, *this, [this](const std::string& l) {
        if (host_)
            host_->log(l);
    });
    if (Status s = server->start(); !s) {
        host_->warn("web view not started: " + s.error().message, "Helmo");
        return s;
    }
    server_ = std::move(server);
    server_->set_map_picture(map_picture());
    publish_engine_closed();
    publish_live(host_->now());
    publish_map(host_->now());
    host_->log("web view at " + server_->url() + (settings.token_record.empty() ? " (no access token: view only)" : ""));
    return {};
}

void WebView::stop()
{
    stopping_ = true;
    if (server_) {
        server_->stop();
        server_.reset();
    }
    engine_.reset();
}

std::string WebView::map_picture()
{
    QImage picture = map::rotated_picture(map::world_picture(), map::map_options(helmo_).origin);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "JPG", 85))
        return {};
    return bytes.toStdString();
}

void WebView::line(const std::string& text)
{
    next_.line(text);
    if (!host_)
        return;
    {
        std::lock_guard lock(log_mutex_);
        log_.emplace_back(host_->now(), text);
        while (log_.size() > kLogLines)
            log_.pop_front();
    }
    publish_log();
}

void WebView::warning(const std::string& text, const std::string& caption)
{
    next_.warning(text, caption);
    if (!host_)
        return;
    {
        std::lock_guard lock(log_mutex_);
        log_.emplace_back(host_->now(), caption + ": " + text);
        while (log_.size() > kLogLines)
            log_.pop_front();
    }
    publish_log();
}

void WebView::publish_log()
{
    JsonWriter w;
    w.begin_object().key("lines").begin_array();
    {
        std::lock_guard lock(log_mutex_);
        for (const auto& [t, text] : log_)
            w.begin_object().field("time", t).field("text", text).end_object();
    }
    w.end_array().end_object();
    feed_.publish("log", w.take());
}

void WebView::refresh(std::int64_t now)
{
    next_.refresh(now);
    if (!server_ || !host_)
        return;
    publish_live(now);
    if (now - last_map_ >= kMapEvery || now < last_map_)
        publish_map(now);
    follow_engine(now);
}

void WebView::elements_reloaded()
{
    next_.elements_reloaded();
    database_.reset();
    map_subject_.clear();
    last_map_ = 0;
}

void WebView::station_moved(const elements::ObserverSite& home)
{
    next_.station_moved(home);
    if (host_)
        station_ = settings::read_station(host_->store(), settings::Program::Helmo);
    if (map_)
        map_->set_home(home);
    last_map_ = 0;
}

void WebView::publish_live(std::int64_t now)
{
    StationCore& core = host_->core();
    last_live_ = core.live_view(now);
    const DispatcherState d = core.dispatcher_snapshot();
    web::LiveSnapshot s;
    s.now = now;
    const bool utc = helmo_.display_time != 0;
    s.clock = clock_text(now, utc, host_->local_offset());
    s.date = date_text(now, utc, host_->local_offset());
    s.callsign = station_.callsign;
    s.latitude_deg = station_.latitude;
    s.longitude_west_deg = station_.longitude;
    s.scheduling = d.scheduling_enabled;
    s.status = last_live_.status;
    s.tracking = last_live_.values;
    s.schedule = core.schedule_snapshot();
    s.running = d.running;
    s.next_wake = d.next_wake;
    feed_.publish("live", web::live_json(s));
}

void WebView::publish_map(std::int64_t now)
{
    last_map_ = now;
    const DispatcherState d = host_->core().dispatcher_snapshot();
    std::string subject = d.running.running ? d.running.name : helmo_.map_sat;
    if (subject.empty() && !last_live_.values.empty())
        subject = last_live_.values.front().name;
    if (!map_)
        map_ = std::make_unique<map::MapView>(
            map::map_options(helmo_),
            elements::ObserverSite::from_station(station_.callsign, station_.latitude, station_.longitude, station_.altitude));
    if (subject != map_subject_) {
        map_subject_ = subject;
        if (!database_)
            if (auto db = host_->load_database())
                database_ = std::move(*db);
        if (database_) {
            const int slot = database_->find_by_name(subject);
            if (slot >= 0)
                (void)map_->show_satellite(database_->slot(slot), now);
        }
    }
    (void)map_->update(now);
    web::MapSnapshot m;
    m.time = now;
    m.origin = map_->options().origin;
    m.subject = map_->has_subject() ? map_->subject_name() : std::string();
    for (const std::string& l : map::panel_lines(*map_))
        m.panel += l + "\n";
    m.shapes = map_->shapes();
    for (const TrackingValues& t : last_live_.values) {
        if (t.name == m.subject)
            continue;
        web::MapSatellite o;
        o.name = t.name;
        o.in_view = t.elevation_deg > 0;
        o.marker = map::map_pixel(t.sub_latitude_deg, t.sub_longitude_west_deg, m.origin);
        o.circle = map::cut_polyline(
            map::project(map::visibility_ring(t.sub_latitude_deg, t.sub_longitude_west_deg, map::horizon_distance(t.height_km)),
                         m.origin),
            true);
        m.others.push_back(std::move(o));
    }
    feed_.publish("map", web::map_json(m));
}

void WebView::publish_engine_closed()
{
    if (last_engine_.empty()) {
        feed_.publish("engine", "{\"state\":\"no pass\",\"satellite\":\"\"}");
        return;
    }
    // The last pass's figures stay on the page, marked as over.
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(last_engine_)).object();
    o["state"] = "ended";
    feed_.publish("engine", QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString());
}

// During a pass: a conversation with the engine's data server on the session topic, its changes
// pushed to the page. The engine is a program of its own: its document is read as JSON and
// written again, so the page never gets what does not parse.
void WebView::follow_engine(std::int64_t now)
{
    const DispatcherState d = host_->core().dispatcher_snapshot();
    const bool lost = engine_ && (!engine_lost_ || engine_lost_->load() || !engine_->connected());
    if (lost || (engine_ && (!d.running.running || d.running.name != engine_satellite_))) {
        engine_.reset();
        engine_lost_.reset();
        publish_engine_closed();
    }
    if (engine_ || !d.running.running || now - last_engine_try_ < 2 || !host_->messenger())
        return;
    last_engine_try_ = now;
    if (!host_->messenger()->exists({"Brek:MAIN", "Brek [" + d.running.name + "]"}))
        return;
    auto lost_flag = std::make_shared<std::atomic<bool>>(false);
    auto conversation = platform::dbus::connect_data(
        kEngineService, kEngineTopic, [lost_flag] { *lost_flag = true; }, std::chrono::milliseconds(1000));
    if (!conversation)
        return;
    auto on_change = [this](const platform::Bytes& data) {
        QJsonParseError error{};
        QJsonDocument doc = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            return;
        last_engine_ = doc.toJson(QJsonDocument::Compact).toStdString();
        feed_.publish("engine", last_engine_);
    };
    if (!(*conversation)->start_advise(kEngineItem, kEngineFormat, on_change,
                                       std::chrono::milliseconds(1000)))
        return;
    if (auto first = (*conversation)->request(kEngineItem, kEngineFormat,
                                              std::chrono::milliseconds(1000)))
        on_change(*first);
    engine_ = std::move(*conversation);
    engine_lost_ = std::move(lost_flag);
    engine_satellite_ = d.running.name;
}

ControlReply WebView::on_host_thread(std::function<ControlReply()> work)
{
    if (stopping_)
        return {503, "the station is stopping"};
    auto promise = std::make_shared<std::promise<ControlReply>>();
    std::future<ControlReply> result = promise->get_future();
    QMetaObject::invokeMethod(this, [promise, work = std::move(work)] { promise->set_value(work()); }, Qt::QueuedConnection);
    for (int i = 0; i < 50; ++i) {
        if (result.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready) {
            try {
                return result.get();
            } catch (const std::future_error&) {
                break; // the view went before the host ran the call
            }
        }
        if (stopping_)
            break;
    }
    return {503, "the station did not answer"};
}

namespace {

ControlReply reply_of(const Status& s)
{
    if (s)
        return {};
    const std::string& m = s.error().message;
    return {m == kPassGone ? 404 : 409, m};
}

} // namespace

ControlReply WebView::run_pass(const std::string& satellite, std::int64_t aos)
{
    return on_host_thread([this, satellite, aos] { return reply_of(host_->run_entry_now(satellite, aos)); });
}

ControlReply WebView::end_pass(const std::string& satellite, std::int64_t aos)
{
    return on_host_thread([this, satellite, aos] {
        if (!host_->core().is_running_pass(satellite, aos))
            return ControlReply{409, kPassNotRunning};
        return reply_of(host_->end_entry_now(satellite, aos));
    });
}

} // namespace orva::station
