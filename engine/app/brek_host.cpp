#include "engine/app/brek_host.h"

#include "common/settings/engine_stores.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/session/session_export.h"
#include "platform/dbus/session_bus.h"
#include "platform/serial_port.h"
#include "platform/shared_clock.h"
#include "platform/sound_player.h"
#include "platform/store_ports.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <cmath>
#include <thread>

namespace orva::engine {

namespace {

constexpr std::chrono::milliseconds kWriteTimeout{2000};
// Bytes waiting for the writer thread beyond which frames are refused (about 50 s at 9600 bit/s).
constexpr std::size_t kMaxQueuedWrite = 64 * 1024;
constexpr std::chrono::milliseconds kConnectTimeout{5000};
// The timer never sleeps longer than this, so a wall clock that jumps is caught up soon.
constexpr std::uint64_t kLongestWaitMs = 1000;

std::uint64_t wall_ms()
{
    return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count());
}

} // namespace

std::variant<std::unique_ptr<BrekHost>, BrekHost::Refusal> BrekHost::create(BrekHostOptions options)
{
    auto messenger = platform::dbus::session_messenger();
    // One engine per station: a second start asks the first to come forward and ends. A name
    // left by an engine that was killed answers nothing, and this start goes on.
    if (messenger->exists({kBrekClass, ""}) && messenger->raise({kBrekClass, ""}))
        return Refusal{kExitAlreadyRunning, "Brek is already running"};
    auto local = platform::Store::open_default(options.writable_store ? platform::Access::ReadWrite
                                                                      : platform::Access::ReadOnly);
    if (!local)
        return Refusal{kExitNoStore, "Error connecting to registry: " + local.error().message};
    auto stores = settings::EngineStores::open(std::move(*local));
    if (!stores)
        return Refusal{kExitNoStore, "Error connecting to registry: " + stores.error().message};
    std::unique_ptr<BrekHost> host(new BrekHost(std::move(options), std::move(messenger),
                                                std::make_unique<settings::EngineStores>(std::move(*stores))));
    Status registered = host->register_window();
    // The bus may not yet have seen that the owner of a left-over name is gone.
    for (int tries = 0; !registered && registered.error().code == platform::already_running && tries < 30; ++tries) {
        if (host->messenger_->raise({kBrekClass, ""}))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        registered = host->register_window();
    }
    if (auto s = registered; !s) {
        if (s.error().code == platform::already_running)
            return Refusal{kExitAlreadyRunning, "Brek is already running"};
        host->session().post("Cannot register the window " + std::string(kBrekClass) + ": " + s.error().message,
                             LineColour::Red);
    }
    return host;
}

BrekHost::BrekHost(BrekHostOptions options, std::unique_ptr<platform::Messenger> messenger,
                   std::unique_ptr<settings::EngineStores> stores)
    : options_(std::move(options)), messenger_(std::move(messenger)), stores_(std::move(stores))
{
    if (!(options_.clock_rate > 0))
        options_.clock_rate = 1;
    // A station clock shared with the other programs (a test bench's) unless told otherwise.
    if (options_.clock_rate == 1 && !options_.start_ms && platform::station_clock_is_shared())
        shared_clock_ = &platform::station_clock();
    start_ms_ = options_.start_ms ? *options_.start_ms : shared_clock_ ? now_ms() : wall_ms();
    steady_start_ = std::chrono::steady_clock::now();
    if (options_.pass_seconds > 0)
        budget_end_ms_ = start_ms_ + std::uint64_t(std::llround(options_.pass_seconds * 1000));

    SessionConfig config;
    config.station = settings::read_station(stores_->control(), settings::Program::Brek);
    if (stores_->is_remote()) {
        const auto here = settings::read_station(stores_->local(), settings::Program::Brek);
        config.station.latitude = here.latitude;
        config.station.longitude = here.longitude;
        config.station.altitude = here.altitude;
    }
    config.general = settings::read_general(stores_->control(), settings::Program::Brek);
    config.seed = options_.seed;
    config.checkpoint_ms = std::max<std::uint64_t>(200, std::uint64_t(std::llround(options_.checkpoint_seconds * 1000)));
    config.offline = options_.offline;
    session_ = std::make_unique<BrekSession>(std::move(config), *this);
    session_->add_observer(this);

    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { pump(); });
}

BrekHost::~BrekHost()
{
    timer_.stop();
    if (session_)
        session_->remove_observer(this);
    close_tnc();
    session_.reset();
    data_server_.reset();
    window_.reset();
}

platform::Store& BrekHost::local_store() { return stores_->local(); }

Status BrekHost::register_window()
{
    platform::WindowHandlers handlers;
    handlers.on_message = [this](const platform::WindowMessage& m) -> std::int32_t {
        const std::int32_t answer = session_->on_window_message(m);
        // The answer goes back first; the work the message caused runs right after.
        QMetaObject::invokeMethod(&context_, [this] { pump(); }, Qt::QueuedConnection);
        return answer;
    };
    handlers.on_raise = [this] {
        if (on_raise_)
            on_raise_();
    };
    handlers.on_texts = [this](const platform::WindowMessage& m, const std::vector<std::string>& texts) {
        session_->on_window_texts(m, texts);
    };
    auto w = messenger_->create_window(kBrekClass, session_->title(), std::move(handlers), true);
    if (!w)
        return w.error();
    window_ = std::move(*w);
    return {};
}

void BrekHost::start_data_server()
{
    platform::DataServerHandlers h;
    h.on_connect = [this](platform::ConversationId id, const std::string& topic) {
        if (topic != "Directory" && topic != "Receive" && topic != kSessionTopic)
            return false;
        conversations_[id] = topic;
        return true;
    };
    h.on_disconnect = [this](platform::ConversationId id) { conversations_.erase(id); };
    h.on_request = [this](platform::ConversationId id, const std::string&,
                          const std::string&) -> std::optional<platform::Bytes> {
        const auto it = conversations_.find(id);
        if (it == conversations_.end())
            return std::nullopt;
        if (it->second == kSessionTopic) {
            const std::string json = session_status_json(*session_);
            return platform::Bytes(json.begin(), json.end());
        }
        return session_->last_data(it->second);
    };
    h.on_poke = [this](platform::ConversationId, const std::string&, const std::string&, const platform::Bytes& data) {
        return session_->on_poke(data);
    };
    h.on_advise_start = [](platform::ConversationId, const std::string&, const std::string&) { return true; };
    auto server = platform::dbus::serve_data("MicroSat", std::move(h));
    if (!server) {
        session_->post("DDE Initialisation failure.", LineColour::Red);
        return;
    }
    data_server_ = std::move(*server);
}

void BrekHost::start_services() { start_data_server(); }

void BrekHost::start(const std::string& satellite)
{
    start_services();
    session_->start(satellite);
    if (window_ && window_->title() != session_->title())
        (void)window_->set_title(session_->title());
    arm_soon();
}

void BrekHost::arm_soon() { timer_.start(0); }

void BrekHost::pump()
{
    if (quitting_ || !session_)
        return;
    if (budget_end_ms_ && !budget_spent_ && now_ms() >= *budget_end_ms_) {
        budget_spent_ = true;
        session_->request_close();
    }
    session_->poll();
    export_status();
    if (quitting_ || session_->finished())
        return;
    std::optional<std::uint64_t> due = session_->next_deadline();
    if (budget_end_ms_ && !budget_spent_)
        due = due ? std::min(*due, *budget_end_ms_) : *budget_end_ms_;
    const std::uint64_t now = now_ms();
    std::uint64_t wait = kLongestWaitMs;
    if (due)
        wait = *due > now ? std::min<std::uint64_t>(kLongestWaitMs,
                                                    std::uint64_t(std::ceil(double(*due - now) / rate())))
                          : 0;
    timer_.start(int(wait));
}

void BrekHost::export_status()
{
    if (!data_server_ || !session_)
        return;
    if (std::none_of(conversations_.begin(), conversations_.end(), [](const auto& c) { return c.second == kSessionTopic; }))
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_export_ < std::chrono::milliseconds(500))
        return;
    last_export_ = now;
    std::string json = session_status_json(*session_);
    if (json == last_export_json_)
        return;
    last_export_json_ = std::move(json);
    data_server_->advise(kSessionTopic, kSessionStatusItem, kSessionStatusFormat,
                         std::span(reinterpret_cast<const std::uint8_t*>(last_export_json_.data()), last_export_json_.size()));
}

void BrekHost::on_finished()
{
    quitting_ = true;
    timer_.stop();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

double BrekHost::rate() const
{
    return shared_clock_ ? std::max(1.0, shared_clock_->rate()) : options_.clock_rate;
}

std::uint64_t BrekHost::now_ms()
{
    if (shared_clock_)
        return std::uint64_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(shared_clock_->now().time_since_epoch()).count());
    const double real = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - steady_start_).count();
    return start_ms_ + std::uint64_t(real * options_.clock_rate);
}

Status BrekHost::open_tnc(const settings::SatelliteRecord& rec)
{
    close_tnc();
    platform::SerialSettings serial;
    serial.speed = rec.speed ? rec.speed : 9600;
    Result<std::unique_ptr<platform::ByteStream>> stream = make_error("no TNC port");
    if (!options_.port_override.empty())
        stream = platform::open_byte_stream(options_.port_override, serial, platform::store_port_lookup(stores_->local()));
    else if (!rec.tnc_address.empty())
        stream = platform::open_tcp_stream(rec.tnc_address, kConnectTimeout);
    else
        stream = platform::open_byte_stream(platform::com_port_name(int(rec.port)), serial,
                                            platform::store_port_lookup(stores_->local()));
    if (!stream)
        return stream.error();
    TncPortOptions options;
    if (rec.rx_buffer)
        options.rx_buffer = rec.rx_buffer;
    options.max_queued_write = kMaxQueuedWrite;
    options.write_timeout = kWriteTimeout;
    const std::uint64_t generation = ++tnc_generation_;
    drain_posted_ = false;
    // One queued drain at a time, however many chunks arrive before it runs.
    tnc_ = std::make_unique<TncPort>(options, [this, generation] {
        if (drain_posted_.exchange(true))
            return;
        QMetaObject::invokeMethod(&context_, [this, generation] { drain_tnc(generation); }, Qt::QueuedConnection);
    });
    if (auto status = tnc_->attach(std::move(*stream)); !status) {
        // The port is open and can send; nothing it hears will reach the engine.
        session_->post("ERROR!!! Brek will not receive!!!!", LineColour::Red);
        session_->post(status.error().message, LineColour::Red);
    }
    return {};
}

void BrekHost::drain_tnc(std::uint64_t generation)
{
    drain_posted_ = false;
    if (generation != tnc_generation_ || !tnc_)
        return;
    session_->feed_tnc(tnc_->take());
    pump();
}

void BrekHost::write_tnc(std::span<const std::uint8_t> bytes) { (void)try_write_tnc(bytes); }

bool BrekHost::try_write_tnc(std::span<const std::uint8_t> bytes)
{
    if (!tnc_)
        return false;
    switch (tnc_->write(bytes)) {
    case TncPort::WriteResult::Queued:
        return true;
    case TncPort::WriteResult::RefusedFirst:
        session_->post("Error writing to the TNC: its port takes no more bytes", LineColour::Red);
        return false;
    case TncPort::WriteResult::Refused:
        return false;
    }
    return false;
}

std::size_t BrekHost::tnc_output_queued() { return tnc_ ? tnc_->output_queued() : 0; }

void BrekHost::close_tnc()
{
    ++tnc_generation_;
    if (tnc_)
        tnc_->close();
    tnc_.reset();
}

bool BrekHost::window_exists(const platform::WindowAddress& to) { return messenger_->exists(to); }

Status BrekHost::post_message(const platform::WindowAddress& to, const platform::WindowMessage& message)
{
    return messenger_->post(to, message);
}

void BrekHost::play_sound(const settings::SoundChoice& sound)
{
    if (sound.kind == settings::SoundChoice::Kind::Wave)
        (void)platform::SoundPlayer().play_wave(sound.wave);
    else if (beep_)
        beep_();
}

void BrekHost::set_title(const std::string& title)
{
    if (window_)
        (void)window_->set_title(title);
}

Status BrekHost::launch(const std::vector<std::string>& words, platform::ShowMode show,
                        const std::filesystem::path& working_directory)
{
    platform::LaunchOptions options;
    options.working_directory = working_directory;
    options.show = show;
    auto p = launcher_.start(words, options);
    if (!p)
        return p.error();
    return {}; // reaped in the background when it ends
}

void BrekHost::advise(const std::string& topic, const std::string& item, const std::string& format,
                      std::span<const std::uint8_t> data)
{
    if (data_server_)
        data_server_->advise(topic, item, format, data);
}

void BrekHost::end_conversations()
{
    if (!data_server_)
        return;
    const auto ids = conversations_;
    for (const auto& [id, _] : ids)
        data_server_->disconnect(id);
    conversations_.clear();
}

std::optional<settings::SatelliteRecord> BrekHost::find_satellite(const std::string& name)
{
    auto r = settings::read_satellite(stores_->control(), name, settings::Program::Brek);
    if (!r)
        return std::nullopt;
    return std::move(*r);
}

std::vector<settings::SatelliteRecord> BrekHost::satellites()
{
    std::vector<settings::SatelliteRecord> all;
    for (const auto& n : settings::list_satellites(stores_->control()))
        if (auto r = find_satellite(n))
            all.push_back(std::move(*r));
    return all;
}

SystemClockSetter& BrekHost::clock_setter()
{
    // Telemetry time must not set the computer's clock while our own runs faster.
    if (options_.clock_rate != 1 || options_.start_ms || shared_clock_)
        return refusing_clock_;
    return platform_clock_;
}

} // namespace orva::engine
