// The rotator controller's serial port: opened with its pacing writer, its bytes fed to the
// dialogue in progress, closed after its last bytes or when the controller stays silent.
#include "station/rotator/rig_control_impl.h"

namespace orva::station {

using namespace std::chrono_literals;

bool RigControl::Impl::open_port()
{
    if (port && port->is_open())
        return true;
    if (!hooks.open_port)
        return false;
    auto p = hooks.open_port(settings.port, settings.speed);
    if (!p) {
        log("rotator " + std::string(model().name) + ": " + p.error().message);
        return false;
    }
    port = std::shared_ptr<platform::ByteStream>(std::move(*p));
    std::uint64_t gen = ++port_generation;
    std::weak_ptr<Impl> weak = weak_from_this();
    // The writer holds its own reference: its paced bytes go out on the timer thread, and
    // once the port is closed they fail instead of reaching a freed stream.
    writer = std::make_unique<PacedWriter>(timers, [stream = port](std::span<const std::uint8_t> bytes) {
        return stream->is_open() && stream->write(bytes, 1000ms).ok();
    });
    writer->set_delay(std::chrono::milliseconds(settings.pacing_delay));
    lines.reset();
    Status started = port->start_receiving(
        [weak, gen](std::span<const std::uint8_t> bytes) {
            if (auto self = weak.lock())
                self->on_port_data(gen, bytes);
        },
        [weak, gen](const Error& e) {
            if (auto self = weak.lock()) {
                std::lock_guard lock(self->mutex);
                if (gen == self->port_generation)
                    self->log("rotator port: " + e.message);
            }
        });
    if (!started) {
        log("rotator port: " + started.error().message);
        close_port_locked();
        return false;
    }
    return true;
}

void RigControl::Impl::send(std::string_view bytes)
{
    if (writer && !bytes.empty())
        writer->send(bytes);
}

// Ends the dialogue and the time-out and takes the port out of use. The stream itself is
// closed by the caller after our lock is released, so a reader still delivering bytes
// finishes first instead of reading from a closed handle.
std::shared_ptr<platform::ByteStream> RigControl::Impl::close_port_locked()
{
    dialogue = std::monostate{};
    if (timeout_timer) {
        timers.cancel(timeout_timer);
        timeout_timer = 0;
    }
    if (writer)
        writer->discard();
    ++port_generation;
    return std::move(port);
}

// The controller hears of a new uplink or downlink: TrakBox takes the digit, SatTrak the
// frequency through its prompt dialogue; the others tune through the radio alone.
void RigControl::Impl::tell_controller(char digit, int prompt, double hz)
{
    Impl& d = *this;
    if (d.model().type == RotatorType::TrakBox) {
        bool was_open = d.port && d.port->is_open();
        if (was_open || d.open_port()) {
            d.send(std::string(1, digit));
            if (!was_open)
                d.close_port_later();
        }
    } else if (d.model().type == RotatorType::SatTrak && (!d.port || !d.port->is_open()) &&
               std::holds_alternative<std::monostate>(d.dialogue)) {
        if (d.open_port())
            d.start_dialogue(sattrak::PromptDialogue(prompt, d.name, hz > 0 ? std::optional(hz) : std::nullopt),
                             sattrak::kLineEnds, sattrak::PromptDialogue::kOpening, sattrak::kTimeout);
    }
}

// Closes after what is queued has gone out, as a controller needs its last bytes.
void RigControl::Impl::close_port_later()
{
    std::chrono::milliseconds wait = 100ms;
    std::weak_ptr<Impl> weak = weak_from_this();
    std::uint64_t gen = port_generation;
    dialogue = std::monostate{};
    if (timeout_timer) {
        timers.cancel(timeout_timer);
        timeout_timer = 0;
    }
    wait += std::chrono::milliseconds(settings.pacing_delay) * 64;
    timers.start(wait, [weak, gen] {
        if (auto self = weak.lock())
            self->on_port_timer(gen, [&] { return self->close_port_locked(); });
    });
}

void RigControl::Impl::start_timeout(std::chrono::milliseconds after)
{
    if (timeout_timer)
        timers.cancel(timeout_timer);
    std::weak_ptr<Impl> weak = weak_from_this();
    std::uint64_t gen = port_generation;
    timeout_timer = timers.start(after, [weak, gen] {
        auto self = weak.lock();
        if (!self)
            return;
        bool timed_out = self->on_port_timer(gen, [&] {
            self->timeout_timer = 0;
            self->stop_locked(false);
            std::shared_ptr<platform::ByteStream> old = self->close_port_locked();
            self->log("rotator " + std::string(self->model().name) + ": controller timed out");
            return old;
        });
        if (timed_out)
            self->fail(kTimedOutText, kRotatorProblemCaption);
    });
}

bool RigControl::Impl::on_port_timer(std::uint64_t gen, const std::function<std::shared_ptr<platform::ByteStream>()>& step)
{
    std::shared_ptr<platform::ByteStream> old;
    {
        std::lock_guard lock(mutex);
        if (gen != port_generation)
            return false;
        old = step();
    }
    if (old)
        old->close();
    return true;
}

void RigControl::Impl::on_port_data(std::uint64_t gen, std::span<const std::uint8_t> bytes)
{
    std::unique_lock lock(mutex);
    if (gen != port_generation)
        return;
    if (replies)
        replies->feed(bytes);
    if (std::holds_alternative<std::monostate>(dialogue) || !lines)
        return;
    std::vector<DialogueStep> steps;
    lines->feed(bytes, [&](std::string_view line) {
        if (auto* m = std::get_if<trakbox::MenuDialogue>(&dialogue))
            steps.push_back(m->on_line(line));
        else if (auto* s = std::get_if<sattrak::PromptDialogue>(&dialogue))
            steps.push_back(s->on_line(line));
    });
    for (DialogueStep& step : steps) {
        if (step.pause_before_send.count() && !step.send.empty()) {
            std::weak_ptr<Impl> weak = weak_from_this();
            std::uint64_t g = port_generation;
            std::string bytes_later = step.send;
            bool close_after = step.close_port;
            timers.start(step.pause_before_send, [weak, g, bytes_later, close_after] {
                if (auto self = weak.lock()) {
                    std::lock_guard l(self->mutex);
                    if (g != self->port_generation)
                        return;
                    self->send(bytes_later);
                    if (close_after)
                        self->close_port_later();
                }
            });
            if (close_after) {
                dialogue = std::monostate{};
                if (timeout_timer) {
                    timers.cancel(timeout_timer);
                    timeout_timer = 0;
                }
            }
            continue;
        }
        send(step.send);
        trakbox_names.insert(trakbox_names.end(), step.satellite_names.begin(), step.satellite_names.end());
        if (step.kill_timeout && timeout_timer) {
            timers.cancel(timeout_timer);
            timeout_timer = 0;
        }
        if (step.end_dialogue) {
            dialogue = std::monostate{};
            log("rotator " + std::string(model().name) + ": controller in host mode");
        }
        if (step.stop_tracking)
            stop_locked(false);
        if (step.close_port)
            close_port_later();
        if (step.error_text) {
            std::string text = *step.error_text, caption = step.error_caption.value_or("");
            lock.unlock();
            fail(text, caption);
            lock.lock();
            if (gen != port_generation)
                return;
        }
    }
}

void RigControl::Impl::start_dialogue(Dialogue d, std::string_view ends, std::string_view opening, std::chrono::milliseconds timeout)
{
    dialogue = std::move(d);
    lines.emplace(ends, 255);
    start_timeout(timeout);
    send(opening);
}

} // namespace orva::station
