#include "station/rotator/rig_control.h"

#include <cmath>

#include "common/settings/satellite_record.h"
#include "station/orbit/geodesy.h"
#include "station/rotator/rig_control_impl.h"
#include "station/schedule/pass_search.h"

namespace orva::station {

using namespace std::chrono_literals;

namespace {
// Control characters shown as escapes in the log.
std::string printable(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 32)
            out += "^" + std::string(1, char(c + 64));
        else
            out += c;
    }
    return out;
}
} // namespace

RigControl::Impl::Impl(const platform::Clock& c, platform::Timers& t, const platform::Store& s,
                       elements::ObserverSite h, settings::RotatorSettings r, bool d, RigHooks k)
    : clock(c), timers(t), store(s), home(std::move(h)), hooks(std::move(k))
{
    configure(r, d);
}

void RigControl::Impl::configure(const settings::RotatorSettings& r, bool d)
{
    settings = r;
    settings.pacing_delay = std::min<std::uint32_t>(settings.pacing_delay, 50);
    display_computed = d;
    model_ptr = &rotator_model(r.rotator_type);
}

std::int64_t RigControl::Impl::now() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(clock.now().time_since_epoch()).count();
}

void RigControl::Impl::log(const std::string& line) const
{
    if (hooks.log)
        hooks.log(line);
}

void RigControl::Impl::log_once(const std::string& kind, const std::string& line)
{
    if (logged.insert(kind).second)
        log(line);
}

void RigControl::Impl::fail(const std::string& text, const std::string& caption) const
{
    if (hooks.error_sound)
        hooks.error_sound();
    if (hooks.warn)
        hooks.warn(text, caption);
}

void RigControl::Impl::set_rotor(const RotorPosition& p)
{
    rotor = p;
    if (hooks.on_rotor_position)
        hooks.on_rotor_position(p);
}

void RigControl::Impl::publish()
{
    if (hooks.on_report)
        hooks.on_report(report);
}

void RigControl::Impl::stop_locked(bool clear_line)
{
    ++generation;
    if (tick_timer) {
        timers.cancel(tick_timer);
        tick_timer = 0;
    }
    ticker.reset();
    track.reset();
    if (clear_line) {
        report.reset();
        publish();
    }
}

bool RigControl::Impl::select_satellite()
{
    auto rec = hooks.find_elements ? hooks.find_elements(name) : std::nullopt;
    SatTrack t;
    if (!rec || !init_track(*rec, t, now())) {
        fail(kNotTrackableText, kRotorErrorCaption);
        return false;
    }
    flip_pass = false;
    if (settings.flip) {
        ScheduledSatellite sat;
        sat.track = t;
        std::int64_t from = now() - 600;
        reset_search(sat, from);
        SearchRules rules;
        rules.flip = true;
        rules.stop_at_south = settings.stop_position != 0;
        SiteFrame site = SiteFrame::from(home);
        for (int steps = 0; steps < 200000; ++steps) {
            SearchStep s = search_step(sat, site, rules, from + 86400);
            if (s.pass) {
                flip_pass = s.pass->flip != 0;
                break;
            }
            if (s.leave)
                break;
        }
    }
    track = std::move(t);
    ticker.emplace(model(), flip_pass);
    last_logged_status = 0;
    std::weak_ptr<Impl> weak = weak_from_this();
    std::uint64_t gen = generation;
    tick_timer = timers.start(
        0ms,
        [weak, gen] {
            if (auto self = weak.lock())
                self->tick(gen);
        },
        kTrackingTick);
    return true;
}

void RigControl::Impl::read_frequencies()
{
    if (sat_key.empty()) {
        freq = PassFrequencies{};
        return;
    }
    double fine = freq.fine_offset_hz;
    freq = load_pass_frequencies(store, sat_key);
    freq.fine_offset_hz = fine;
}

void RigControl::Impl::tick(std::uint64_t gen)
{
    std::lock_guard lock(mutex);
    if (gen != generation || !track || !ticker)
        return;
    track->compute_time = now();
    TickResult r = ticker->tick(*track, home, freq, last, radio_open);
    for (auto& line : r.log)
        log(line);
    if (!r.commanded)
        return;
    report = r.report;
    publish();
    if (r.aim.elevation_deg >= 0 && display_computed)
        set_rotor({r.aim.azimuth_deg, r.aim.elevation_deg, false});
    if (model().link == RotatorLink::Library) {
        if (rotor_open && driver && r.rotor_position) {
            driver->rotor_set_position(r.rotor_position->first, r.rotor_position->second, 0);
            log_once("rotor", "rotator Level1: position " + std::to_string(r.rotor_position->first) + " " +
                                  std::to_string(r.rotor_position->second));
        }
        if (radio_open && driver && (r.radio_downlink_hz || r.radio_uplink_hz)) {
            driver->radio_set_frequency(r.radio_downlink_hz, r.radio_uplink_hz, 0);
            log_once("radio", "radio: downlink " +
                                  (r.radio_downlink_hz ? std::to_string(*r.radio_downlink_hz) + " Hz" : "untuned") +
                                  ", uplink " +
                                  (r.radio_uplink_hz ? std::to_string(*r.radio_uplink_hz) + " Hz" : "untuned"));
        }
    } else if (!r.serial.empty() && port) {
        send(r.serial);
        log_once("tick", "rotator " + std::string(model().name) + ": " + printable(r.serial));
    }
}

RigControl::RigControl(const platform::Clock& clock, platform::Timers& timers, const platform::Store& store,
                       elements::ObserverSite home, settings::RotatorSettings rotator, bool rotor_display_computed,
                       RigHooks hooks)
    : impl_(std::make_shared<Impl>(clock, timers, store, std::move(home), rotator,
                                   rotator.rotator_type != 2 || rotor_display_computed, std::move(hooks)))
{
}

const RotatorModel& RigControl::model() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->model();
}

void RigControl::reconfigure(const settings::RotatorSettings& rotator, bool rotor_display_computed)
{
    Impl& d = *impl_;
    std::string name;
    bool rotator_only = false;
    {
        std::lock_guard lock(d.mutex);
        if (d.stopped)
            return;
        if (d.track) {
            name = d.name;
            rotator_only = d.rotator_only;
        }
    }
    // The old controller is let go as at exit: its port closed, the driver's rotor and radio
    // closed, and a driver made again from what the store now says.
    shutdown();
    {
        std::lock_guard lock(d.mutex);
        d.configure(rotator, rotator.rotator_type != 2 || rotor_display_computed);
        d.driver.reset();
        d.lines.reset();
        d.replies.reset();
        d.rotor.reset();
        d.stopped = false;
        d.log("rotator " + std::string(d.model().name) + ": new settings");
    }
    open_at_start();
    if (!name.empty())
        start_tracking(name, rotator_only);
}

RigControl::~RigControl()
{
    shutdown();
}

void RigControl::set_home(elements::ObserverSite home)
{
    std::lock_guard lock(impl_->mutex);
    impl_->home = std::move(home);
}

void RigControl::open_at_start()
{
    Impl& d = *impl_;
    std::unique_lock lock(d.mutex);
    if (d.model().link == RotatorLink::Library) {
        if (!d.driver && d.hooks.make_driver)
            d.driver = d.hooks.make_driver();
        if (!d.driver || !driver_ok(d.driver->rotor_open())) {
            lock.unlock();
            d.fail(kPortFailedText, kRotatorErrorCaption);
            return;
        }
        d.rotor_open = true;
        d.log("rotator Level1: rotor open");
        if (!d.display_computed) {
            std::weak_ptr<Impl> weak = d.weak_from_this();
            d.poll_timer = d.timers.start(
                kTrackingTick,
                [weak] {
                    auto self = weak.lock();
                    if (!self)
                        return;
                    std::lock_guard l(self->mutex);
                    if (!self->rotor_open || !self->driver)
                        return;
                    if (auto p = self->driver->rotor_get_position()) {
                        // Elevations below 0 come back as large unsigned values: show 0.
                        double el = p->second > 180 ? 0 : p->second;
                        self->set_rotor({double(p->first), el, true});
                    }
                },
                kTrackingTick);
        }
        return;
    }
    if (!d.model().port_at_program_start)
        return;
    if (!d.open_port()) {
        lock.unlock();
        d.fail(kPortFailedText, kRotatorErrorCaption);
        return;
    }
    if (d.model().type == RotatorType::TrakBoxHost) {
        d.start_dialogue(trakbox::MenuDialogue(trakbox::kHostMode, ""), trakbox::kLineEnds, trakbox::MenuDialogue::kOpening,
                         trakbox::kTimeout);
    } else {
        std::weak_ptr<Impl> weak = d.weak_from_this();
        d.replies.emplace([weak](const easycomm::ReplyReader::Position& p) {
            // Runs inside on_port_data, under the lock.
            if (auto self = weak.lock()) {
                RotorPosition r = self->rotor.value_or(RotorPosition{});
                r.azimuth = p.azimuth.value_or(r.azimuth);
                r.elevation = p.elevation.value_or(r.elevation);
                r.reported = true;
                self->set_rotor(r);
            }
        });
    }
}

void RigControl::start_tracking(const std::string& name, bool rotator_only)
{
    Impl& d = *impl_;
    std::unique_lock lock(d.mutex);
    d.stop_locked(true);
    d.logged.clear();
    if (name.empty())
        return;
    d.name = name.substr(0, 13);
    d.rotator_only = rotator_only;
    d.sat_key = settings::find_satellite_key(d.store, d.name, settings::CaseRule::IgnoreCase).value_or("");
    d.log("rotator " + std::string(d.model().name) + ": tracking " + d.name + (rotator_only ? " (rotator only)" : ""));

    auto port_failed = [&] {
        lock.unlock();
        d.fail(kPortFailedText, kRotatorErrorCaption);
    };
    switch (d.model().type) {
    case RotatorType::TrakBox:
        if (!d.port || !d.port->is_open()) {
            if (!d.open_port())
                return port_failed();
            d.start_dialogue(trakbox::MenuDialogue(trakbox::kSelect, d.name), trakbox::kLineEnds,
                             trakbox::MenuDialogue::kOpening, trakbox::kTimeout);
        }
        break;
    case RotatorType::Level1: {
        d.freq.fine_offset_hz = 0;
        if (d.radio_open && d.driver) {
            d.driver->radio_close();
            d.radio_open = false;
        }
        d.read_frequencies();
        if (!d.select_satellite())
            return;
        if (!d.driver && d.hooks.make_driver)
            d.driver = d.hooks.make_driver();
        if (!d.rotor_open) {
            if (!d.driver || !driver_ok(d.driver->rotor_open())) {
                lock.unlock();
                d.fail(kRotorDriverFailedText, kRotatorErrorCaption);
                return;
            }
            d.rotor_open = true;
        }
        if (!rotator_only) {
            std::uint32_t mask = band_mask(d.freq.uplink_offset_hz, d.freq.downlink_offset_hz);
            if (!driver_ok(d.driver->radio_open(mask))) {
                lock.unlock();
                d.fail(kRadioDriverFailedText, kRadioErrorCaption);
                return;
            }
            d.radio_open = true;
            d.driver->radio_set_mode(radio_mode_code(d.freq.downlink_mode), radio_mode_code(d.freq.uplink_mode), 0);
            d.log("radio: open, modes " + std::string(radio_mode_name(d.freq.downlink_mode)) + " down, " +
                  radio_mode_name(d.freq.uplink_mode) + " up");
        }
        return;
    }
    case RotatorType::SatTrak:
        if ((!d.port || !d.port->is_open()) && std::holds_alternative<std::monostate>(d.dialogue)) {
            if (!d.open_port())
                return port_failed();
            d.start_dialogue(sattrak::PromptDialogue(sattrak::kSelect, d.name), sattrak::kLineEnds,
                             sattrak::PromptDialogue::kOpening, sattrak::kTimeout);
        }
        break;
    case RotatorType::EasyComm1:
    case RotatorType::EasyComm2:
    case RotatorType::Gs232:
        if (!d.open_port())
            return port_failed();
        d.send(d.model().start(StartContext{d.name, 0, 0}));
        break;
    case RotatorType::TrakBoxHost: {
        d.read_frequencies();
        if (!d.open_port())
            return port_failed();
        std::string mode = d.model().start(StartContext{d.name, d.freq.uplink_mode, d.freq.downlink_mode});
        d.send(mode);
        d.log("rotator TrakBox Host: " + printable(mode));
        break;
    }
    default:
        break;
    }
    if (!d.select_satellite())
        return;
    d.read_frequencies();
}

void RigControl::stop_tracking()
{
    Impl& d = *impl_;
    std::shared_ptr<platform::ByteStream> old;
    std::optional<std::string> failure;
    {
        std::lock_guard lock(d.mutex);
        bool was = !d.name.empty();
        d.stop_locked(true);
        if (was)
            d.log("rotator " + std::string(d.model().name) + ": stop tracking " + d.name);
        d.name.clear();
        switch (d.model().type) {
        case RotatorType::TrakBox:
            if (!d.port || !d.port->is_open()) {
                if (d.open_port()) {
                    d.send(trakbox::stop());
                    d.close_port_later();
                }
            }
            break;
        case RotatorType::Level1: {
            if (d.radio_open && d.driver) {
                d.driver->radio_close();
                d.radio_open = false;
            }
            std::optional<std::int64_t> next = d.hooks.next_pass_start ? d.hooks.next_pass_start() : std::nullopt;
            if (d.rotor_open && d.driver &&
                should_park(d.settings.park != 0, d.now(), d.settings.park_delay, next ? &*next : nullptr)) {
                d.driver->rotor_set_position(std::int32_t(d.settings.park_az), std::int32_t(d.settings.park_el), 0);
                d.log("rotator Level1: parked at " + std::to_string(d.settings.park_az) + " " +
                      std::to_string(d.settings.park_el));
            }
            break;
        }
        case RotatorType::EasyComm2:
            d.send(d.model().stop());
            break;
        default:
            break;
        }
    }
}

void RigControl::select_uplink(char digit)
{
    Impl& d = *impl_;
    std::lock_guard lock(d.mutex);
    if (d.sat_key.empty() || !station::select_uplink(d.store, d.sat_key, digit, d.freq)) {
        d.log("uplink " + std::string(1, digit) + " ignored: no satellite or no such uplink");
        return;
    }
    d.log("uplink " + std::string(1, digit) + " selected: " + std::to_string(std::llround(d.freq.uplink_hz)) + " Hz");
    d.tell_controller(digit, sattrak::kUplink, d.freq.uplink_hz);
}

void RigControl::select_downlink(char digit)
{
    Impl& d = *impl_;
    std::lock_guard lock(d.mutex);
    if (d.sat_key.empty() || !station::select_downlink(d.store, d.sat_key, digit, d.freq)) {
        d.log("downlink " + std::string(1, digit) + " ignored: no satellite or no such downlink");
        return;
    }
    d.log("downlink " + std::string(1, digit) + " selected: " + std::to_string(std::llround(d.freq.downlink_hz)) + " Hz");
    d.tell_controller(digit, sattrak::kDownlink, d.freq.downlink_hz);
}

void RigControl::set_downlink_offset(std::int32_t hz)
{
    Impl& d = *impl_;
    std::lock_guard lock(d.mutex);
    d.freq.fine_offset_hz = hz;
    d.log("downlink offset " + std::to_string(hz) + " Hz");
}

void RigControl::start_trakbox_listing()
{
    Impl& d = *impl_;
    std::unique_lock lock(d.mutex);
    if (d.model().type != RotatorType::TrakBox || (d.port && d.port->is_open()))
        return;
    d.trakbox_names.clear();
    if (!d.open_port()) {
        lock.unlock();
        d.fail(kPortFailedText, kRotatorErrorCaption);
        return;
    }
    d.start_dialogue(trakbox::MenuDialogue(trakbox::kList, ""), trakbox::kLineEnds, trakbox::MenuDialogue::kOpening,
                     trakbox::kTimeout);
}

void RigControl::close_trakbox_listing()
{
    Impl& d = *impl_;
    std::shared_ptr<platform::ByteStream> old;
    {
        std::lock_guard lock(d.mutex);
        if (d.model().type != RotatorType::TrakBox)
            return;
        old = d.close_port_locked();
    }
    if (old)
        old->close();
}

void RigControl::park_now()
{
    Impl& d = *impl_;
    std::lock_guard lock(d.mutex);
    d.stop_locked(true);
    double az = d.settings.park_az, el = d.settings.park_el;
    if (d.model().link == RotatorLink::Library) {
        if (d.rotor_open && d.driver)
            d.driver->rotor_set_position(std::int32_t(az), std::int32_t(el), 0);
    } else if (d.model().link == RotatorLink::Serial && (d.model().port_per_satellite || d.model().port_at_program_start)) {
        if (!d.open_port())
            return;
        Aim a;
        a.azimuth_deg = az;
        a.elevation_deg = el;
        LastSent fresh{az + 180, el + 180, 0, 0}; // far away, so the position goes out
        d.send(d.model().tick(fresh, a));
    } else {
        return;
    }
    d.log("rotator " + std::string(d.model().name) + ": parked at " + std::to_string(d.settings.park_az) + " " +
          std::to_string(d.settings.park_el));
}

void RigControl::shutdown()
{
    Impl& d = *impl_;
    std::shared_ptr<platform::ByteStream> old;
    {
        std::lock_guard lock(d.mutex);
        if (d.stopped)
            return;
        d.stopped = true;
        d.stop_locked(false);
        if (d.poll_timer) {
            d.timers.cancel(d.poll_timer);
            d.poll_timer = 0;
        }
        old = d.close_port_locked();
        d.writer.reset();
        if (d.driver) {
            if (d.radio_open)
                d.driver->radio_close();
            if (d.rotor_open)
                d.driver->rotor_close(0);
            d.radio_open = d.rotor_open = false;
        }
    }
    if (old)
        old->close();
}

std::string RigControl::tracked() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->track ? impl_->name : std::string();
}

std::optional<TrackReport> RigControl::report() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->report;
}

std::optional<RotorPosition> RigControl::rotor_position() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->rotor;
}

PassFrequencies RigControl::frequencies() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->freq;
}

bool RigControl::port_open() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->port && impl_->port->is_open();
}

int RigControl::dialogue_state() const
{
    std::lock_guard lock(impl_->mutex);
    if (auto* m = std::get_if<trakbox::MenuDialogue>(&impl_->dialogue))
        return m->state();
    if (auto* s = std::get_if<sattrak::PromptDialogue>(&impl_->dialogue))
        return s->state();
    return 0;
}

std::vector<std::string> RigControl::trakbox_names() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->trakbox_names;
}

void RigControl::tick()
{
    std::uint64_t gen;
    {
        std::lock_guard lock(impl_->mutex);
        gen = impl_->generation;
    }
    impl_->tick(gen);
}

} // namespace orva::station
