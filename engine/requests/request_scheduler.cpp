#include "engine/requests/request_scheduler.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace orva::engine {

using std::chrono::milliseconds;

namespace {

constexpr int kMaxCounted = 21;
constexpr int kMaxFileRequests = 18;
constexpr std::uint64_t kIdleAfterUpToDate = 1800;
constexpr milliseconds kSoon{50}; // manual requests and those that follow a served one

// "G0ABC-0" is "G0ABC".
std::string_view without_zero_ssid(std::string_view c)
{
    if (c.size() > 2 && c.substr(c.size() - 2) == "-0")
        c.remove_suffix(2);
    return c;
}

bool same_call(std::string_view a, std::string_view b)
{
    a = without_zero_ssid(a);
    b = without_zero_ssid(b);
    if (a.size() != b.size() || a.empty())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

QueueLine parse_queue_line(std::string_view text, std::string_view my_call)
{
    QueueLine q;
    // "PB: Empty." from some servers, "PB Empty" from others.
    for (std::size_t at = text.find("Empty"); at != std::string_view::npos; at = text.find("Empty", at + 1)) {
        const bool starts = at == 0 || text[at - 1] == ' ' || text[at - 1] == ':';
        const std::size_t after = at + 5;
        const bool ends = after == text.size() || text[after] == '.' || text[after] == ' ' || text[after] == '\r' ||
                          text[after] == '\n';
        if (starts && ends) {
            q.empty = true;
            return q;
        }
    }
    std::vector<std::string_view> words;
    for (std::size_t pos = 0; pos < text.size();) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\r' || text[pos] == '\n'))
            ++pos;
        std::size_t end = pos;
        while (end < text.size() && text[end] != ' ' && text[end] != '\r' && text[end] != '\n')
            ++end;
        if (end > pos)
            words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    for (std::size_t i = 1; i < words.size() && q.entries < kMaxCounted; ++i) {
        std::string_view w = words[i];
        const bool dir = w.find("\\D") != std::string_view::npos;
        if (dir)
            ++q.directory_requests;
        std::string_view call = w.substr(0, std::min(w.find('\\'), w.size()));
        if (q.my_position < 0 && same_call(call, my_call)) {
            q.my_position = q.entries;
            q.mine_is_directory = w.size() > call.size() + 1 && w.substr(call.size(), 2) == "\\D";
        }
        ++q.entries;
    }
    q.file_requests = std::min(q.entries - q.directory_requests, kMaxFileRequests);
    return q;
}

RequestScheduler::RequestScheduler(RequestSettings settings, RequestHost& host, RandomSource& random)
    : settings_(std::move(settings)), host_(host), random_(random)
{
    settings_.dir_priority = std::clamp(settings_.dir_priority, 5, 10);
    if (settings_.uplinks == 0)
        settings_.uplinks = 1;
}

std::optional<std::uint32_t> RequestScheduler::wanted()
{
    auto pick = host_.most_wanted(true, std::size_t(file_requests_), requested_);
    if (!pick)
        pick = host_.most_wanted(false, 0, requested_);
    if (!pick)
        return std::nullopt;
    if (host_.directory_complete() || pick->second > settings_.dir_priority || directory_requests_ > 12)
        return pick->first;
    return std::nullopt;
}

bool RequestScheduler::directory_wanted(std::uint64_t now)
{
    const auto up = host_.up_to_date_time();
    const bool recently_up_to_date = up && now >= *up && now - *up < kIdleAfterUpToDate;
    return !(host_.directory_hole_count() == 1 && (recently_up_to_date || host_.directory_settling()));
}

void RequestScheduler::arm(milliseconds delay)
{
    pending_ = true;
    pending_soon_ = delay <= kSoon;
    host_.arm_request_timer(delay);
}

void RequestScheduler::idle()
{
    status_text_ = "Auto Idle";
    host_.show_request_status(status_text_);
}

void RequestScheduler::send_file(std::uint32_t file_number, std::uint64_t now)
{
    requested_ = file_number;
    char text[32];
    std::snprintf(text, sizeof text, "AUTO %lX", static_cast<unsigned long>(file_number));
    status_text_ = text;
    host_.show_request_status(status_text_);
    if (host_.send_file_fill(file_number))
        last_sent_ = now;
}

void RequestScheduler::send_directory(std::uint64_t now)
{
    if (host_.send_directory_fill()) {
        last_sent_ = now;
        if (settings_.bdcst_custom == 1)
            repeat_ = true;
    }
}

void RequestScheduler::run(std::uint64_t now)
{
    host_.stop_request_timer();
    pending_ = false;
    last_entry_ = true;
    if (manual_) {
        const std::uint32_t m = *manual_;
        manual_.reset();
        if (m == 0)
            send_directory(now);
        else
            send_file(m, now);
    } else if (repeat_) {
        if (requested_ != 0)
            send_file(requested_, now);
        else
            send_directory(now);
    } else {
        const auto fn = wanted();
        const bool directory = directory_wanted(now);
        // While the only wanted file is still on air, the directory fill goes in the queue behind
        // it, so that the files it names follow without the downlink falling idle.
        if (fn && !(directory && host_.on_air(*fn))) {
            send_file(*fn, now);
        } else {
            requested_ = fn.value_or(0);
            idle();
            if (directory)
                send_directory(now);
        }
    }
    if (settings_.change_freq != 0 && !host_.upload_connected()) {
        if (++uplink_count_ >= int(settings_.change_freq)) {
            uplink_count_ = 0;
            uplink_ = uplink_ >= int(settings_.uplinks) ? 1 : uplink_ + 1;
            host_.select_uplink(uplink_);
        }
    }
}

void RequestScheduler::request_file_now(std::uint32_t file_number, std::uint64_t now) { send_file(file_number, now); }

void RequestScheduler::queue_manual_request(std::uint32_t file_number_or_zero)
{
    manual_ = file_number_or_zero;
    arm(milliseconds(50));
}

void RequestScheduler::on_queue_line(std::string_view text, bool full, std::uint64_t now)
{
    (void)now;
    if (!settings_.auto_fill)
        return;
    const QueueLine q = parse_queue_line(text, settings_.my_call);
    if (!q.empty) {
        file_requests_ = q.file_requests;
        directory_requests_ = q.directory_requests;
    } else {
        file_requests_ = 0;
        directory_requests_ = 0;
    }
    if (q.my_position < 0) {
        if (full)
            return;
        last_entry_ = true;
        const int was = countdown_--;
        if (was != 0 && pending_)
            return;
        if (wanted() || q.directory_requests < 12 || q.entries < 18)
            arm(milliseconds(300 + random_.below(2700)));
        countdown_ = 4;
        return;
    }
    if (q.entries < 18 || tail_flag_) {
        tail_flag_ = false;
        const bool last = q.my_position == q.entries - 1;
        if (!last) {
            last_entry_ = false;
        } else if (!last_entry_) {
            last_entry_ = true;
            if (settings_.tail_action == 1 || (settings_.tail_action == 2 && random_.below(5) == 4))
                arm(milliseconds(10));
        }
    }
    if (q.entries >= 18)
        last_entry_ = true;
    if (settings_.bdcst_custom != 1 && requested_ != 0 && q.mine_is_directory && wanted())
        arm(milliseconds(10));
}

void RequestScheduler::on_new_entry(std::uint32_t file_number, int code, std::uint64_t now)
{
    if (pending_ || repeat_ || requested_ != 0)
        return;
    const bool mine = code == 11;
    const bool wanted_letter = mine || (code >= 5 && code <= 10 && code != 6);
    if ((settings_.bdcst_custom == 2 && mine) || (settings_.bdcst_custom == 3 && wanted_letter))
        send_file(file_number, now);
}

void RequestScheduler::on_directory_complete(std::uint64_t now)
{
    if (requested_ == 0 && !pending_) {
        repeat_ = false;
        run(now);
    }
    repeat_ = false;
}

void RequestScheduler::on_file_complete(std::uint32_t file_number)
{
    if (file_number != requested_)
        return;
    requested_ = 0;
    repeat_ = false;
    idle();
}

void RequestScheduler::on_request_served()
{
    // A hole fill lasts a second or two, less than the wait for a queue line and its random
    // delay: waiting for the line would leave the downlink idle after every short fill. A
    // request a queue line has already set for later is brought forward.
    if (settings_.auto_fill && !(pending_ && pending_soon_) && !closed_)
        arm(milliseconds(10));
}

void RequestScheduler::on_directory_served()
{
    // Only a wanted file follows at once: another directory fill now would repeat this one.
    if (settings_.auto_fill && !(pending_ && pending_soon_) && !closed_ && !repeat_ && wanted())
        arm(milliseconds(10));
}

void RequestScheduler::on_request_unheard(bool answered)
{
    // Other stations may have heard the same silence: the queue line's spread of delays. After
    // an answer the silence follows this station's own broadcast, which the server took last and
    // served with nobody else waiting: a shorter spread will do.
    // That shorter wait also brings forward a request a queue line has set for later.
    if (!settings_.auto_fill || closed_)
        return;
    if (answered && !(pending_ && pending_soon_))
        arm(milliseconds(100 + random_.below(900)));
    else if (!pending_)
        arm(milliseconds(300 + random_.below(2700)));
}

void RequestScheduler::on_request_unanswered()
{
    // Only this station is waiting for that answer: a short spread is enough.
    if (settings_.auto_fill && !(pending_ && pending_soon_) && !closed_)
        arm(milliseconds(50 + random_.below(450)));
}

void RequestScheduler::on_file_refused()
{
    repeat_ = false;
    requested_ = 0;
    idle();
}

void RequestScheduler::set_tail(int tail_action, std::uint32_t budget)
{
    settings_.tail_action = tail_action;
    budget_ = std::max<std::uint32_t>(budget, 2048);
    tail_flag_ = true;
}

bool RequestScheduler::tx_switch_on(std::uint64_t now)
{
    // The oldest of the last three must be at least a minute old.
    if (tx_times_[0] != 0 && now < tx_times_[0] + 60)
        return false;
    tx_times_[0] = tx_times_[1];
    tx_times_[1] = tx_times_[2];
    tx_times_[2] = now;
    host_.request_tx_switch_on();
    return true;
}

void RequestScheduler::on_tick(std::uint64_t now, std::optional<std::uint64_t> last_heard, bool bytes_since_last_tick)
{
    if (closed_)
        return;
    if (settings_.tx_request) {
        if (bytes_since_last_tick)
            tx_countdown_ = 4;
        else if (tx_countdown_ == 0) {
            tx_countdown_ = 4;
            tx_switch_on(now);
        } else
            --tx_countdown_;
    }
    if (last_heard && now >= *last_heard && now - *last_heard >= settings_.up_to_date_timeout) {
        closed_ = true;
        host_.close_engine();
        return;
    }
    if (!last_sent_ || now < *last_sent_ || now - *last_sent_ < settings_.inactivity_timeout)
        return;
    if (host_.uploads_waiting() || wanted() || !host_.directory_complete()) {
        last_sent_ = now;
        return;
    }
    closed_ = true;
    host_.close_engine();
}

} // namespace orva::engine
