#include "station/modem/dsp_control.h"

#include <mutex>
#include <optional>

#include "common/settings/satellite_record.h"
#include "station/modem/dsp_modem.h"
#include "station/rotator/line_reader.h"

namespace orva::station {

using namespace std::chrono_literals;

struct DspModemControl::Impl : std::enable_shared_from_this<DspModemControl::Impl> {
    platform::Timers& timers;
    const platform::Store& store;
    DspHooks hooks;
    mutable std::mutex mutex;
    std::atomic<bool> ready{true};
    std::shared_ptr<platform::ByteStream> port;
    std::uint64_t generation = 0;
    std::optional<dsp::Dsp12Dialogue> dialogue;
    std::optional<LineReader> lines;
    platform::TimerId wake = 0, timeout = 0;

    Impl(platform::Timers& t, const platform::Store& s, DspHooks h) : timers(t), store(s), hooks(std::move(h)) {}

    void log(const std::string& l) const
    {
        if (hooks.log)
            hooks.log(l);
    }
    void send(std::string_view bytes)
    {
        if (port)
            (void)port->write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 1000ms);
    }
    // Stops the timers and takes the port out of use; the caller closes it outside the lock,
    // so the reader finishes before the handle goes.
    std::shared_ptr<platform::ByteStream> close_locked()
    {
        for (platform::TimerId* t : {&wake, &timeout})
            if (*t) {
                timers.cancel(*t);
                *t = 0;
            }
        dialogue.reset();
        ++generation;
        return std::move(port);
    }
    void finish(std::shared_ptr<platform::ByteStream> old)
    {
        if (old)
            old->close();
        ready = true;
    }
    template <class F>
    void later(std::chrono::milliseconds after, F f, platform::TimerId* slot = nullptr)
    {
        std::weak_ptr<Impl> weak = weak_from_this();
        std::uint64_t gen = generation;
        platform::TimerId id = timers.start(after, [weak, gen, f] {
            if (auto self = weak.lock()) {
                std::unique_lock lock(self->mutex);
                if (gen != self->generation)
                    return;
                f(*self, lock);
            }
        });
        if (slot)
            *slot = id;
    }

    void on_data(std::uint64_t gen, std::span<const std::uint8_t> bytes)
    {
        std::unique_lock lock(mutex);
        if (gen != generation || !dialogue || !lines)
            return;
        bool done = false;
        lines->feed(bytes, [&](std::string_view line) {
            if (done || !dialogue)
                return;
            DialogueStep step = dialogue->on_line(line);
            if (dialogue->prompt_seen() && wake) {
                timers.cancel(wake);
                wake = 0;
            }
            send(step.send);
            if (step.close_port) {
                done = true;
                if (timeout) {
                    timers.cancel(timeout);
                    timeout = 0;
                }
            }
        });
        if (done) {
            log("DSP-12 set");
            later(dsp::kAfterMainMenu, [](Impl& self, std::unique_lock<std::mutex>& l) {
                auto old = self.close_locked();
                l.unlock();
                self.finish(std::move(old));
            });
        }
    }
};

DspModemControl::DspModemControl(platform::Timers& timers, const platform::Store& store, DspHooks hooks)
    : impl_(std::make_shared<Impl>(timers, store, std::move(hooks)))
{
}

DspModemControl::~DspModemControl()
{
    std::shared_ptr<platform::ByteStream> old;
    {
        std::lock_guard lock(impl_->mutex);
        old = impl_->close_locked();
    }
    impl_->finish(std::move(old));
}

bool DspModemControl::ready() const
{
    // Under the lock, so a reply being handled has finished (and its timers are set) first.
    std::lock_guard lock(impl_->mutex);
    return impl_->ready.load();
}

void DspModemControl::configure(const std::string& satellite)
{
    Impl& d = *impl_;
    std::shared_ptr<platform::ByteStream> previous;
    std::unique_lock lock(d.mutex);
    previous = d.close_locked();
    d.ready = false;
    auto key = settings::find_satellite_key(d.store, satellite, settings::CaseRule::IgnoreCase);
    dsp::ModemSetup setup = key ? dsp::read_modem_setup(d.store, *key) : dsp::ModemSetup{};
    if (setup.kind == dsp::ModemKind::None) {
        lock.unlock();
        d.finish(std::move(previous));
        return;
    }
    lock.unlock();
    if (previous)
        previous->close();
    lock.lock();
    auto opened = d.hooks.open_port ? d.hooks.open_port(setup.port, setup.speed)
                                    : Result<std::unique_ptr<platform::ByteStream>>(make_error("no port"));
    std::uint64_t gen = d.generation;
    if (opened) {
        d.port = std::shared_ptr<platform::ByteStream>(std::move(*opened));
        std::weak_ptr<Impl> weak = d.weak_from_this();
        Status s = d.port->start_receiving(
            [weak, gen](std::span<const std::uint8_t> bytes) {
                if (auto self = weak.lock())
                    self->on_data(gen, bytes);
            },
            [](const Error&) {});
        if (!s)
            opened = make_error(s.error().message);
    }
    if (!opened) {
        d.log("DSP modem: " + opened.error().message);
        auto old = d.close_locked();
        lock.unlock();
        d.finish(std::move(old));
        if (d.hooks.error_sound)
            d.hooks.error_sound();
        if (d.hooks.warn)
            d.hooks.warn(dsp::kPortFailedText, dsp::kPortFailedCaption);
        return;
    }
    if (setup.kind == dsp::ModemKind::Dsp2232) {
        d.send(dsp::dsp2232_command(setup.mode));
        d.log("DSP-2232: MODEM " + setup.mode);
        d.later(dsp::kAfter2232, [](Impl& self, std::unique_lock<std::mutex>& l) {
            auto old = self.close_locked();
            l.unlock();
            self.finish(std::move(old));
        });
        return;
    }
    d.dialogue.emplace(setup.mode);
    d.lines.emplace(dsp::kLineEnds, dsp::kLineLimit);
    d.send(dsp::kWakeBytes);
    d.later(dsp::kWake, [](Impl& self, std::unique_lock<std::mutex>&) {
        self.wake = 0;
        self.send(dsp::kWakeTimerBytes);
    }, &d.wake);
    d.later(dsp::kTimeout, [](Impl& self, std::unique_lock<std::mutex>& l) {
        self.timeout = 0;
        auto old = self.close_locked();
        l.unlock();
        self.finish(std::move(old));
        self.log("DSP-12: no main menu within 10 s");
        if (self.hooks.error_sound)
            self.hooks.error_sound();
        if (self.hooks.warn)
            self.hooks.warn(dsp::kTimedOutText, dsp::kTimedOutCaption);
    }, &d.timeout);
}

} // namespace orva::station
