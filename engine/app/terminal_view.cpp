#include "engine/app/terminal_view.h"

#include <cinttypes>

namespace orva::engine {

namespace {

const char* ansi(LineColour c)
{
    switch (c) {
    case LineColour::Red: return "\x1b[1;31m";
    case LineColour::Blue: return "\x1b[1;34m";
    case LineColour::DarkRed: return "\x1b[31m";
    case LineColour::Green: return "\x1b[32m";
    case LineColour::Black: break;
    }
    return "";
}

} // namespace

TerminalView::TerminalView(const BrekSession& session, std::FILE* out, bool colours, TerminalClock clock,
                           std::uint64_t progress_every_ms)
    : session_(session), out_(out), colours_(colours), clock_(std::move(clock)), every_ms_(progress_every_ms)
{
}

std::string TerminalView::format_line(const StatusLine& line, bool colours)
{
    // Nothing from the air reaches the terminal as a control sequence.
    std::string text;
    text.reserve(line.text.size());
    for (char c : line.text)
        text += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '.' : c;
    const char* on = colours ? ansi(line.colour) : "";
    if (!*on)
        return text;
    return std::string(on) + text + "\x1b[0m";
}

std::string TerminalView::progress_line(const DownloadRow& row)
{
    char text[160];
    if (row.total)
        std::snprintf(text, sizeof text, "Receiving %s: %" PRIu64 " of %" PRIu32 " bytes, %zu hole%s left", row.name.c_str(),
                      row.received, row.total, row.holes, row.holes == 1 ? "" : "s");
    else
        std::snprintf(text, sizeof text, "Receiving %s: %" PRIu64 " bytes, size not yet known", row.name.c_str(),
                      row.received);
    return text;
}

std::string TerminalView::pass_end_line(std::int64_t now_s, std::int64_t end_s)
{
    if (end_s <= now_s)
        return "Pass end reached";
    const std::int64_t left = end_s - now_s;
    char text[64];
    if (left >= 3600)
        std::snprintf(text, sizeof text, "Pass ends in %" PRId64 ":%02d:%02d", left / 3600, int(left / 60 % 60),
                      int(left % 60));
    else
        std::snprintf(text, sizeof text, "Pass ends in %" PRId64 ":%02d", left / 60, int(left % 60));
    return text;
}

void TerminalView::on_status_line(const StatusLine& line)
{
    const std::string text = format_line(line, colours_);
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TerminalView::progress(bool force)
{
    const std::uint64_t now = clock_.real_ms();
    if (!force && printed_once_ && now - last_progress_ms_ < every_ms_)
        return;
    bool any = false;
    std::map<std::uint32_t, Shown> still;
    for (const DownloadRow& row : session_.download_table()) {
        if (!row.file_number)
            continue;
        const Shown s{row.received, row.holes, row.total};
        const auto it = shown_.find(row.file_number);
        if (it == shown_.end() || it->second.received != s.received || it->second.holes != s.holes ||
            it->second.total != s.total) {
            std::fprintf(out_, "%s\n", progress_line(row).c_str());
            any = true;
        }
        still[row.file_number] = s;
    }
    shown_ = std::move(still);
    const StatusBoxes b = session_.boxes();
    if (!b.queue_line.empty() && b.queue_line != shown_queue_) {
        std::fprintf(out_, "Queue: %s\n", format_line({b.queue_line, LineColour::Black, 0}, false).c_str());
        shown_queue_ = b.queue_line;
        any = true;
    }
    if (b.pass_end && session_.pass_open()) {
        // Once a minute is enough for the time left, and at every progress report.
        const std::int64_t minute = (*b.pass_end - b.now) / 60;
        if (any || shown_end_minute_ != minute) {
            std::fprintf(out_, "%s\n", pass_end_line(b.now, *b.pass_end).c_str());
            shown_end_minute_ = minute;
            any = true;
        }
    }
    if (any) {
        std::fflush(out_);
        last_progress_ms_ = now;
        printed_once_ = true;
    }
}

} // namespace orva::engine
