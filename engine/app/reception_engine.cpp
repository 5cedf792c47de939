#include "engine/app/reception_engine.h"

#include "engine/directory/status_codes.h"
#include "engine/frames/fill_planner.h"
#include "engine/frames/request_frames.h"
#include "engine/link/kiss_encoder.h"
#include "engine/requests/wanted_file.h"
#include "engine/select/equation_loader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace orva::engine {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kTickMs = 10000;
// How long a file's broadcast counts as still coming after its last frame heard, at least, and
// the longest gap between its frames taken as part of one broadcast.
constexpr std::uint64_t kOnAirMinimumMs = 1500;
constexpr std::uint64_t kOnAirLongestGapMs = 2500;
// After the frame that ends a file, the next request waits only this long.
constexpr std::uint64_t kAfterEndMs = 10;
// A downlink silent this long after a fill request means the server has no request to serve:
// ours was lost on the way up.
constexpr std::uint64_t kSilenceAfterRequestMs = 4000;
constexpr std::uint64_t kSilenceUnansweredMs = 1500;
constexpr std::uint64_t kSilenceAfterRequestMinimumMs = 1000;
constexpr std::uint64_t kSilenceFrameTimes = 6;
// Asked again at most this often in a row before something is heard; a server that has shut
// down its broadcasts is then left alone until its queue lines come back.
constexpr int kSilenceRetries = 2;
// A server that answers each request answers it within about one round trip, even while it
// broadcasts: twice the usual time without an answer means the request was lost on the way up.
// Sent again at most this often in a row without an answer.
constexpr std::uint64_t kAnswerWaitMinimumMs = 500;
constexpr int kUnansweredRetries = 2;
// Fills of the open-ended directory hole answered with nothing new before the directory is up to date.
constexpr int kQuietAnswers = 2;

Ax25Address address_or_blank(const std::string& text)
{
    auto a = Ax25Address::parse(text);
    return a ? *a : Ax25Address{};
}

} // namespace

ReceptionEngine::ReceptionEngine(ReceptionConfig config, ReceptionOutput& output)
    : config_(std::move(config)), out_(output),
      my_call_(address_or_blank(config_.my_call)), bdcst_call_(address_or_blank(config_.bdcst_call)),
      rng_(config_.seed ? config_.seed : std::random_device{}()), decoder_(config_.smack)
{
    auto clock = [this] { return seconds(); };
    config_.directory.my_call = my_call_.callsign();
    config_.requests.my_call = my_call_.to_text(); // queue lines show the SSID
    config_.files.bdcst_frame = config_.dispatch.bdcst_frame;
    StatusSink* sink = this;
    DirectoryListener* dir_events = this;
    FileListener* file_events = this;
    RequestHost& host = *this;
    RandomSource& random = *this;
    if (config_.listen_only)
        config_.requests.auto_fill = false;
    directory_ = std::make_unique<DirectoryStore>(config_.folder, config_.directory, clock, sink, dir_events, &equations_);
    files_ = std::make_unique<FileReceiver>(config_.folder, config_.files, *directory_, clock, sink, file_events);
    scheduler_ = std::make_unique<RequestScheduler>(config_.requests, host, random);
    DispatchReceivers rx;
    rx.files = files_.get();
    rx.directory = directory_.get();
    rx.requests = static_cast<RequestReceiver*>(this);
    rx.link = static_cast<LinkControl*>(this);
    rx.status = sink;
    rx.upload = config_.upload;
    rx.log = config_.log;
    rx.monitor = config_.monitor;
    StationCalls calls{my_call_, address_or_blank(config_.bbs_call), bdcst_call_};
    dispatcher_ = std::make_unique<FrameDispatcher>(calls, config_.dispatch, rx);
}

ReceptionEngine::~ReceptionEngine() = default;

std::optional<int> ReceptionEngine::Equations::decide(const pfh::PfhHeader& header, std::uint64_t now)
{
    return set.choose_status(EquationEntry::from_header(header), std::chrono::sys_seconds(std::chrono::seconds(now)));
}

Status ReceptionEngine::open(std::uint64_t now_ms)
{
    now_ = now_ms;
    if (!Ax25Address::parse(config_.my_call))
        post("Error setting MYCALL", LineColour::Red);
    if (!Ax25Address::parse(config_.bdcst_call))
        post("Error setting the broadcast callsign", LineColour::Red);
    else
        post("Broadcast Callsign set to " + config_.bdcst_call, LineColour::Black);
    std::error_code ec;
    fs::create_directories(config_.folder, ec);
    directory_->open();
    auto loaded = load_equations(config_.folder, config_.suite_folder);
    for (const auto& m : loaded.messages)
        post(m.text, m.error ? LineColour::Red : LineColour::Black);
    equations_.set = std::move(loaded.set);
    if (config_.listen_only)
        post("Pass will listen only", LineColour::Red);
    if (config_.send_parameters) {
        const auto params = kiss_parameter_block(config_.tx_port_nibble, config_.tx_delay_ms, config_.tx_tail_ms);
        out_.write_bytes(params);
        dispatcher_->arm_session();
    }
    tick_due_ = now_ + kTickMs;
    checkpoint_due_ = now_ + config_.checkpoint_ms;
    opened_ = true;
    return {};
}

void ReceptionEngine::feed(std::span<const std::uint8_t> bytes, std::uint64_t now_ms)
{
    now_ = std::max(now_, now_ms);
    decoder_.feed(bytes, static_cast<KissSink&>(*this));
    sync_requested();
}

void ReceptionEngine::poll(std::uint64_t now_ms)
{
    now_ = std::max(now_, now_ms);
    if (request_due_ && now_ >= *request_due_) {
        request_due_.reset();
        scheduler_->run(seconds());
        sync_requested();
    }
    if (const auto due = silence_retry_due(); due && now_ >= *due) {
        fill_sent_at_.reset();
        if (silence_retries_ < kSilenceRetries) {
            ++silence_retries_;
            scheduler_->on_request_unheard(fill_accepted_);
            sync_requested();
        }
    }
    if (const auto due = answer_due(); due && now_ >= *due) {
        answer_awaited_since_.reset();
        ++unanswered_retries_;
        answer_repeat_ = true;
        scheduler_->on_request_unanswered();
        sync_requested();
    }
    if (const auto due = directory_quiet_due(); due && now_ >= *due) {
        directory_ok_at_.reset();
        // The headers that answer brought may all have been lost on the way down, and an up-to-date
        // directory is not asked again for half an hour: the first quiet answer is checked by
        // asking once more.
        if (++quiet_answers_ < kQuietAnswers) {
            scheduler_->on_request_unheard();
        } else {
            quiet_answers_ = 0;
            directory_->confirm_up_to_date();
        }
        sync_requested();
    }
    if (now_ >= tick_due_) {
        tick_due_ = now_ + kTickMs;
        const std::uint64_t bytes = decoder_.counters().bytes;
        std::optional<std::uint64_t> heard;
        if (auto h = dispatcher_->last_heard())
            heard = std::uint64_t(h->time_since_epoch().count());
        scheduler_->on_tick(seconds(), heard, bytes != bytes_at_last_tick_);
        bytes_at_last_tick_ = bytes;
        if (scheduler_->closed())
            close_requested_ = true;
    }
    if (now_ >= checkpoint_due_) {
        checkpoint_due_ = now_ + config_.checkpoint_ms;
        files_->checkpoint();
        directory_->save();
    }
}

std::uint64_t ReceptionEngine::next_deadline() const
{
    std::uint64_t d = std::min(tick_due_, checkpoint_due_);
    if (request_due_)
        d = std::min(d, *request_due_);
    if (const auto due = directory_quiet_due())
        d = std::min(d, *due);
    if (const auto due = silence_retry_due())
        d = std::min(d, *due);
    if (const auto due = answer_due())
        d = std::min(d, *due);
    return d;
}

std::optional<std::uint64_t> ReceptionEngine::silence_retry_due() const
{
    if (!fill_sent_at_)
        return std::nullopt;
    // A server in service answers each request it hears with "OK": without that answer a
    // shorter silence tells the request was lost.
    std::uint64_t wait = kSilenceUnansweredMs;
    if (fill_accepted_) {
        // Answered, so the server holds it; silence for several frame times means it has been
        // broadcast (and lost) or dropped. A slow link is given the full wait.
        wait = kSilenceAfterRequestMs;
        if (frame_gap_ms_)
            wait = std::clamp<std::uint64_t>(kSilenceFrameTimes * *frame_gap_ms_, kSilenceAfterRequestMinimumMs, wait);
    }
    return std::max(*fill_sent_at_, last_broadcast_at_) + wait;
}

std::optional<std::uint64_t> ReceptionEngine::answer_due() const
{
    // Only once this server has been heard answering, and so long as answers keep coming.
    if (!answer_awaited_since_ || !answer_srt_ || unanswered_retries_ >= kUnansweredRetries)
        return std::nullopt;
    return *answer_awaited_since_ + std::max(kAnswerWaitMinimumMs, 2 * *answer_srt_);
}

void ReceptionEngine::request_sent()
{
    // A request sent again before the first was answered: the answer may be to either.
    answer_repeat_ = answer_awaited_since_.has_value() || answer_repeat_;
    answer_awaited_since_ = now_;
}

void ReceptionEngine::on_request_answered()
{
    if (answer_awaited_since_ && !answer_repeat_) {
        const std::uint64_t sample = now_ - *answer_awaited_since_;
        answer_srt_ = answer_srt_ ? (7 * *answer_srt_ + sample) / 8 : sample;
    }
    answer_awaited_since_.reset();
    answer_repeat_ = false;
    unanswered_retries_ = 0;
}

std::optional<std::uint64_t> ReceptionEngine::directory_quiet_due() const
{
    if (!directory_ok_at_ || directory_->complete() || directory_->holes().count() != 1)
        return std::nullopt;
    return *directory_ok_at_ + config_.directory_quiet_ms;
}

void ReceptionEngine::on_request_accepted()
{
    if (fill_sent_at_)
        fill_accepted_ = true;
    // Only a fill asked after the newest header was stored asks about what lies beyond it; an
    // "OK" to an older one says nothing of that, as a server answers a fill with only so many
    // headers.
    // The quiet runs from the first such answer: the fills the scheduler keeps sending meanwhile
    // are answered too, and must not push it on for ever.
    if (last_request_ == LastRequest::Directory && directory_asked_at_ && *directory_asked_at_ >= last_new_header_ &&
        !directory_ok_at_)
        directory_ok_at_ = now_;
}

void ReceptionEngine::on_header_stored(std::span<const std::uint8_t> header)
{
    last_new_header_ = now_;
    quiet_answers_ = 0;
    // The answer brought something new: the server may hold more than one answer carries.
    directory_ok_at_.reset();
    out_.on_header_stored(header);
}

void ReceptionEngine::close(std::uint64_t now_ms)
{
    if (!opened_)
        return;
    now_ = std::max(now_, now_ms);
    opened_ = false;
    files_->close_all();
    directory_->close();
    if (config_.run_dispo) {
        out_.start_dispo("*.DL");
        // "*.DL" does not match a second name such as "1A2B.DL1": hand those on by name.
        for (const auto& p : files_->waiting_for_pass_end()) {
            const std::string name = p.filename().string();
            if (name.size() < 3 || name.substr(name.size() - 3) != ".DL")
                out_.start_dispo(name);
        }
    }
}

void ReceptionEngine::set_print_headers(bool on)
{
    auto d = dispatcher_->settings();
    d.print_headers = on;
    dispatcher_->set_settings(d);
}

void ReceptionEngine::arm_session() { dispatcher_->arm_session(); }

void ReceptionEngine::transmitter_request()
{
    scheduler_->tx_switch_on(seconds());
}

void ReceptionEngine::request_tx_switch_on()
{
    // 23 bytes: 0, two zero bytes, seconds to the end of the pass, latitude and longitude as
    // little-endian IEEE doubles.
    std::uint32_t left = 300;
    if (pass_end_) {
        const std::int64_t s = *pass_end_ - std::int64_t(seconds());
        left = s > 0 ? std::uint32_t(s) : 0;
    }
    std::vector<std::uint8_t> info(23, 0);
    for (int i = 0; i < 4; ++i)
        info[std::size_t(3 + i)] = std::uint8_t(left >> (8 * i));
    auto put_double = [&](std::size_t at, double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i)
            info[at + std::size_t(i)] = std::uint8_t(bits >> (8 * i));
    };
    put_double(7, config_.latitude);
    put_double(15, config_.longitude);
    auto to = Ax25Address::parse(bdcst_call_.callsign() + "-15");
    if (!to)
        return;
    send_kiss_frame(build_ui_frame(*to, my_call_, 1, 0xF0, info));
    post("Requesting transmitter switch-on.", LineColour::Black);
}

void ReceptionEngine::on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> frame)
{
    (void)port;
    const std::uint64_t file_bytes = files_->counters().bytes;
    const std::uint64_t directory_bytes = directory_->counters().bytes;
    const std::uint64_t broadcast_bytes = dispatcher_->counters().broadcast_bytes;
    dispatcher_->on_ax25_frame(frame, std::chrono::sys_seconds(std::chrono::seconds(seconds())));
    if (dispatcher_->counters().broadcast_bytes != broadcast_bytes) {
        // The usual time between broadcast frames back to back: a frame's air time on this link.
        // Longer pauses are not part of it.
        // Frames handed over together (a TNC's buffer, a replay) say nothing of it.
        if (last_broadcast_at_ != 0 && now_ > last_broadcast_at_) {
            const std::uint64_t gap = now_ - last_broadcast_at_;
            if (!frame_gap_ms_ || gap <= 4 * *frame_gap_ms_)
                frame_gap_ms_ = frame_gap_ms_ ? (7 * *frame_gap_ms_ + std::min<std::uint64_t>(gap, 4000)) / 8
                                              : std::min<std::uint64_t>(gap, 4000);
        }
        last_broadcast_at_ = now_;
        silence_retries_ = 0;
    }
    if (awaiting_directory_ && directory_->counters().bytes != directory_bytes) {
        // Our directory fill has begun: a wanted file can be asked for now, to follow it. The
        // silence after it still brings the next fill, as a server answers with only so many
        // headers.
        awaiting_directory_ = false;
        answer_awaited_since_.reset(); // it was heard, whatever became of its answer
        scheduler_->on_directory_served();
    }
    if (files_->counters().bytes == file_bytes)
        return;
    const auto heard = files_->recently_heard(1);
    if (heard.empty())
        return;
    // A longer gap than a frame or two lost in a row is another broadcast of the same file.
    if (heard[0] == on_air_file_ && on_air_at_ && now_ - *on_air_at_ <= kOnAirLongestGapMs)
        on_air_gap_ = now_ - *on_air_at_;
    else
        on_air_gap_ = 0;
    on_air_file_ = heard[0];
    on_air_at_ = now_;
    // The frame with the file's last bytes, or with the last bytes this station asked for, ends
    // a broadcast that runs in order: what is still missing can be asked for now, rather than
    // after the wait for frames lost in a row.
    const bool asked_end = heard[0] == fill_file_ && fill_end_ > files_->last_fragment_offset() &&
                           fill_end_ <= files_->last_fragment_end();
    on_air_ended_ = files_->last_fragment_ended_file() || asked_end;
    if (on_air_ended_ && request_due_ && *request_due_ > now_ + kAfterEndMs)
        request_due_ = now_ + kAfterEndMs;
    if (awaiting_service_ != 0 && heard[0] == awaiting_service_) {
        awaiting_service_ = 0;
        fill_sent_at_.reset();
        answer_awaited_since_.reset();
        scheduler_->on_request_served();
    }
}

std::uint64_t ReceptionEngine::on_air_allowance() const
{
    return std::max(kOnAirMinimumMs, 3 * on_air_gap_);
}

std::uint32_t ReceptionEngine::file_on_air() const
{
    if (!on_air_at_)
        return 0;
    // A few frames lost in a row do not end a broadcast; how long a frame takes depends on the
    // link, so the gap between this file's frames sets the allowance.
    if (on_air_ended_)
        return 0;
    return now_ - *on_air_at_ <= on_air_allowance() ? on_air_file_ : 0;
}

void ReceptionEngine::receive_overrun(std::uint32_t chunks)
{
    overruns_ += chunks;
    decoder_.drop_frame();
}

std::optional<std::uint32_t> ReceptionEngine::bad_smack() const
{
    if (!decoder_.smack_seen())
        return std::nullopt;
    return decoder_.counters().bad_smack;
}

void ReceptionEngine::write_raw(std::span<const std::uint8_t> bytes) { out_.write_bytes(bytes); }

bool ReceptionEngine::send_kiss_frame(std::span<const std::uint8_t> frame)
{
    const std::size_t queued = out_.output_queued();
    if (frame.size() >= config_.tx_buffer || queued >= config_.tx_buffer - frame.size()) {
        post("TX Buffer error. Increase the TX buffer size.", LineColour::Red);
        return false;
    }
    const auto bytes = encode_kiss_frame(frame, config_.tx_port_nibble, config_.smack && decoder_.smack_seen());
    return out_.write_frame(bytes);
}

void ReceptionEngine::on_kiss_notice(KissNotice notice, std::uint8_t command)
{
    if (notice == KissNotice::SmackSeen) {
        post("TNC set for SMACK mode", LineColour::Black);
    } else if (notice == KissNotice::UnknownCommand) {
        char text[48];
        std::snprintf(text, sizeof text, "Error - Unknown KISS data type %02X", command);
        post(text, LineColour::Red);
    }
}

void ReceptionEngine::post(std::string text, LineColour colour) { out_.post(text, colour); }

void ReceptionEngine::on_queue_line(std::string_view text, bool full)
{
    out_.on_queue_line(text);
    silence_retries_ = 0;
    scheduler_->on_queue_line(text, full, seconds());
    sync_requested();
}

void ReceptionEngine::on_file_refused(int)
{
    if (const std::uint32_t fn = scheduler_->requested_file())
        directory_->set_download_status(fn, kCodeError, true);
    scheduler_->on_file_refused();
    sync_requested();
}

std::optional<std::pair<std::uint32_t, int>> ReceptionEngine::most_wanted(bool prefer_heard, std::size_t heard,
                                                                          std::uint32_t requested)
{
    StatusTable* table = directory_->table();
    if (!table)
        return std::nullopt;
    const auto recent = files_->recently_heard(heard);
    // While a file is still coming down, asking for it again would bring the same bytes twice:
    // the next wanted file is asked for instead, so the server has it queued when this one ends.
    std::optional<WantedFile> w;
    if (const std::uint32_t on_air = file_on_air())
        w = pick_wanted_file(*table, recent, requested, prefer_heard, on_air);
    if (!w)
        w = pick_wanted_file(*table, recent, requested, prefer_heard);
    if (!w)
        return std::nullopt;
    return std::pair{w->file_number, w->code};
}

bool ReceptionEngine::uploads_waiting()
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(config_.folder, ec)) {
        std::string ext = e.path().extension().string();
        for (char& c : ext)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        if (ext == ".PUL" || ext == ".OUT")
            return true;
    }
    return false;
}

bool ReceptionEngine::send_ui(std::uint8_t pid, std::span<const std::uint8_t> info)
{
    const auto frame = build_ui_frame(bdcst_call_, my_call_, 1, pid, info);
    return send_kiss_frame(frame);
}

bool ReceptionEngine::send_file_fill(std::uint32_t file_number)
{
    if (file_number == file_on_air()) {
        // Its broadcast is still coming: ask for what is missing once it ends.
        request_due_ = *on_air_at_ + on_air_allowance() + 1;
        return false;
    }
    const auto block = std::uint16_t(config_.dispatch.bdcst_frame);
    const auto slot = files_->open_slot(file_number);
    char text[96];
    if (!slot || wants_whole_file(files_->slot(*slot).holes.holes())) {
        std::snprintf(text, sizeof text, "Auto: Request fill of file %lX", static_cast<unsigned long>(file_number));
        post(text, LineColour::Black);
        last_request_ = LastRequest::File;
        fill_file_ = 0; // a whole file ends with the frame flagged as its end
        return sent_fill(file_number, send_ui(kPidFile, file_request_whole(file_number, block)));
    }
    const DownloadSlot& s = files_->slot(*slot);
    FillOptions options;
    options.max_holes = config_.max_holes;
    options.zero_start = config_.zero_start;
    options.length_known = s.length != 0;
    options.byte_budget = scheduler_->byte_budget();
    const auto holes = plan_file_fill(s.holes.holes(), options, static_cast<RandomSource&>(*this));
    if (holes.empty())
        return false;
    std::snprintf(text, sizeof text, "Auto: Request fill of file %lX, %d holes", static_cast<unsigned long>(file_number),
                  int(holes.size()));
    post(text, LineColour::Black);
    last_request_ = LastRequest::File;
    if (!sent_fill(file_number, send_ui(kPidFile, file_request_holes(file_number, block, holes))))
        return false;
    // The server sends the ranges in the order asked: the last one's end is the end of it all.
    fill_file_ = file_number;
    fill_end_ = holes.back().offset + holes.back().length;
    return true;
}

bool ReceptionEngine::sent_fill(std::uint32_t file_number, bool sent)
{
    if (sent) {
        request_sent();
        awaiting_service_ = file_number;
        awaiting_directory_ = false;
        fill_sent_at_ = now_;
        fill_accepted_ = false;
    }
    return sent;
}

bool ReceptionEngine::send_directory_fill()
{
    const auto holes = directory_->holes().request_holes();
    if (holes.empty())
        return false;
    char text[64];
    std::snprintf(text, sizeof text, "Auto: Request directory fill, %d holes", int(holes.size()));
    post(text, LineColour::Black);
    last_request_ = LastRequest::Directory;
    if (!send_ui(kPidDirectory, directory_request(std::uint16_t(config_.dispatch.bdcst_frame), holes)))
        return false;
    request_sent();
    directory_asked_at_ = now_;
    fill_sent_at_ = now_;
    fill_accepted_ = false;
    awaiting_directory_ = true;
    awaiting_service_ = 0;
    return true;
}

void ReceptionEngine::on_up_to_date()
{
    scheduler_->on_directory_complete(seconds());
    sync_requested();
}

void ReceptionEngine::on_new_entry(std::uint32_t file_number, int code)
{
    scheduler_->on_new_entry(file_number, code, seconds());
    sync_requested();
}

int ReceptionEngine::prepare_gateway(const pfh::PfhHeader& header)
{
    return files_->prepare_gateway_holes(header, config_.satgate_collect + " SATGAT " + config_.satgate_callsign);
}

void ReceptionEngine::send_receive_ack(std::uint32_t file_number)
{
    char text[64];
    std::snprintf(text, sizeof text, "Send receive ACK for file %lX", static_cast<unsigned long>(file_number));
    post(text, LineColour::Black);
    send_ui(kPidDirectory, receive_ack(file_number, my_call_.callsign()));
}

void ReceptionEngine::on_file_complete(std::uint32_t file_number, const fs::path& file, std::uint32_t,
                                       bool process_now)
{
    out_.on_file_completed(file_number);
    scheduler_->on_file_complete(file_number);
    if (process_now)
        out_.start_dispo(file.filename().string());
}

void ReceptionEngine::on_incremental_complete(std::uint32_t file_number)
{
    scheduler_->on_file_complete(file_number);
    sync_requested();
}

std::uint32_t ReceptionEngine::below(std::uint32_t n)
{
    return n == 0 ? 0 : std::uint32_t(std::uniform_int_distribution<std::uint64_t>(0, n - 1)(rng_));
}

void ReceptionEngine::sync_requested() { files_->set_requested_file(scheduler_->requested_file()); }

} // namespace orva::engine
