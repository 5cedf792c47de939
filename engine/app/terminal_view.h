// The headless program's view of the engine session: the status list as lines on a terminal or
// log (colours as ANSI sequences only on a terminal) and, at a rate a reader can follow, the
// progress of the files being received, the server's queue line and the time left to the end of
// the pass.
#pragma once

#include "engine/session/brek_session.h"
#include "engine/session/session_view.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

namespace orva::engine {

struct TerminalClock {
    std::function<std::uint64_t()> real_ms;    // paces the progress lines (a steady clock)
};

class TerminalView final : public SessionObserver {
public:
    TerminalView(const BrekSession& session, std::FILE* out, bool colours, TerminalClock clock,
                 std::uint64_t progress_every_ms = 2000);

    void on_status_line(const StatusLine& line) override;
    void on_boxes_changed() override { progress(false); }
    void on_table_changed() override { progress(false); }
    void on_finished() override { progress(true); }

    // The text of a status line as written: with its ANSI colour when `colours`.
    static std::string format_line(const StatusLine& line, bool colours);
    // "Receiving 1A2B: 1200 of 5000 bytes, 3 holes left"
    static std::string progress_line(const DownloadRow& row);
    // "Pass ends in 4:05" (or "Pass end reached")
    static std::string pass_end_line(std::int64_t now_s, std::int64_t end_s);

private:
    void progress(bool force);

    const BrekSession& session_;
    std::FILE* out_;
    bool colours_;
    TerminalClock clock_;
    std::uint64_t every_ms_;
    std::uint64_t last_progress_ms_ = 0;
    bool printed_once_ = false;
    struct Shown {
        std::uint64_t received = 0;
        std::size_t holes = 0;
        std::uint32_t total = 0;
    };
    std::map<std::uint32_t, Shown> shown_;
    std::optional<std::int64_t> shown_end_minute_;
    std::string shown_queue_;
};

} // namespace orva::engine
