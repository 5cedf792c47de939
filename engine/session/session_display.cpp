// What a view of Brek's session shows: the status boxes, the download table and the Information
// box, and the notices to observers when they change.
#include "engine/session/session_impl.h"

namespace orva::engine {

using namespace session_detail;

namespace {

std::string figure(const char* prefix, std::uint64_t n)
{
    char b[32];
    std::snprintf(b, sizeof b, "%s%7lu", prefix, static_cast<unsigned long>(n));
    return b;
}

} // namespace

StatusBoxes BrekSession::Impl::make_boxes()
{
    StatusBoxes b;
    b.pass_start = pass_start;
    b.pass_end = pass_end;
    b.now = now_s();
    if (!engine)
        return b;
    b.directory_status = engine->directory().status_text();
    const std::uint32_t requested = engine->scheduler().requested_file();
    b.request_status = requested ? "AUTO " + hex(requested) : "Auto Idle";
    if (recorder) {
        recorder->set_station_bytes(engine->dispatcher().counters().broadcast_bytes);
        if (auto e = recorder->line_efficiency())
            b.efficiency = std::to_string(*e) + "%";
        if (auto e = recorder->efficiency())
            b.pass_efficiency = std::to_string(*e) + "%";
    }
    b.total_bytes = figure("T:", engine->kiss_counters().bytes);
    b.directory_bytes = figure("D:", engine->directory().counters().bytes);
    b.file_bytes = figure("F:", engine->files().counters().bytes);
    if (upload) {
        b.upload_letter = upload->busy() ? "U" : "";
        b.bbs_status = upload->bbs_status();
        b.upload_held = upload->held();
        if (UploadProgress p = upload->progress(); !p.file.empty() && b.upload_letter == "U")
            b.upload = std::move(p);
    }
    b.queue_line = queue_line;
    b.uploads_off = uploads_off;
    return b;
}

std::vector<DownloadRow> BrekSession::Impl::make_table()
{
    std::vector<DownloadRow> rows(kTableRows);
    if (!engine)
        return rows;
    for (std::size_t i = 0; i < kTableRows; ++i) {
        const DownloadSlot& s = engine->files().slot(i);
        if (s.file_number != slot_files[i]) {
            slot_files[i] = s.file_number;
            slot_tokens[i] = s.file_number ? ++slot_generation : 0;
        }
        if (s.free())
            continue;
        DownloadRow& r = rows[i];
        r.file_number = s.file_number;
        r.name = hex(s.file_number);
        r.total = s.length;
        r.received = s.length ? s.holes.received_bytes(s.length) : s.written;
        r.holes = s.holes.count();
        r.percent = s.percent;
        r.table_text = engine->files().table_row(i);
    }
    return rows;
}

void BrekSession::Impl::refresh(bool force)
{
    auto b = make_boxes();
    auto t = make_table();
    // The bar's clock alone does not count as a change except on the tick.
    StatusBoxes cmp = b;
    cmp.now = shown_boxes.now;
    if (force || !(cmp == shown_boxes)) {
        shown_boxes = b;
        notify([](SessionObserver& o) { o.on_boxes_changed(); });
    }
    if (force || t != shown_table) {
        shown_table = std::move(t);
        notify([](SessionObserver& o) { o.on_table_changed(); });
    }
}

std::vector<StatusLine> BrekSession::status_lines() const { return {impl_->lines.begin(), impl_->lines.end()}; }
std::vector<std::string> BrekSession::monitor_lines() const { return {impl_->monitor.begin(), impl_->monitor.end()}; }
StatusBoxes BrekSession::boxes() const { return impl_->make_boxes(); }
std::vector<DownloadRow> BrekSession::download_table() const { return impl_->make_table(); }

InformationFigures BrekSession::information() const
{
    auto& s = *impl_;
    InformationFigures f;
    if (!s.engine)
        return f;
    f.crc_errors = s.engine->dispatcher().counters().crc_errors;
    f.total_bytes = s.engine->kiss_counters().bytes;
    f.overruns = s.engine->overruns();
    f.bad_smack = s.engine->bad_smack();
    f.file_bytes = s.engine->files().counters().bytes;
    f.file_bytes_used = s.engine->files().counters().useful_bytes;
    f.directory_bytes = s.engine->directory().counters().bytes;
    f.directory_bytes_used = s.engine->directory().counters().bytes_used;
    if (s.recorder)
        f.efficiency = s.recorder->efficiency();
    return f;
}

} // namespace orva::engine
