#include "station/web/web_json.h"

#include <cstdio>

#include "common/json_writer.h"
#include "dirview/row_format.h"

namespace orva::station::web {

namespace {

void write_pass(JsonWriter& w, const PassEntry& e, bool running)
{
    w.begin_object()
        .field("satellite", e.name)
        .field("aos", e.aos)
        .field("los", e.los)
        .field("run_start", e.run_start)
        .field("run_end", e.run_end)
        .field("priority", e.priority)
        .field("max_elevation", e.max_elevation)
        .field("dont_run", e.dont_run != 0)
        .field("listen_only", e.listen_only != 0)
        .field("elevation_ok", e.elevation_ok != 0)
        .field("run_regardless", e.run_regardless != 0)
        .field("running", running)
        .end_object();
}

void write_polylines(JsonWriter& w, const std::vector<map::Polyline>& lines)
{
    w.begin_array();
    for (const map::Polyline& l : lines) {
        w.begin_array();
        for (const map::PointF& p : l)
            w.value(p.x, 1).value(p.y, 1);
        w.end_array();
    }
    w.end_array();
}

void write_pixel(JsonWriter& w, const map::Pixel& p) { w.begin_array().value(p.x).value(p.y).end_array(); }

} // namespace

std::string file_number_text(std::uint32_t n)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", unsigned(n));
    return buf;
}

std::string live_json(const LiveSnapshot& s)
{
    JsonWriter w;
    w.begin_object()
        .field("now", s.now)
        .field("clock", s.clock)
        .field("date", s.date)
        .key("station")
        .begin_object()
        .field("callsign", s.callsign)
        .field("latitude", s.latitude_deg, 3)
        .field("longitude_west", s.longitude_west_deg, 3)
        .end_object()
        .field("scheduling", s.scheduling)
        .field("status", s.status);
    w.key("tracking").begin_array();
    for (const TrackingValues& t : s.tracking) {
        w.begin_object()
            .field("satellite", t.name)
            .field("azimuth", t.azimuth_deg, 0)
            .field("elevation", t.elevation_deg, 0)
            .field("range_km", t.range_km, 0);
        w.key("doppler_hz");
        if (t.doppler_hz)
            w.value(*t.doppler_hz, 0);
        else
            w.null();
        w.field("ma", t.ma, 0)
            .field("countdown", t.countdown)
            .field("next_event", t.next_event_time ? (t.next_is_aos ? "AOS" : "LOS") : "")
            .field("next_event_time", t.next_event_time)
            .field("mode", t.mode)
            .field("in_view", t.elevation_deg > 0)
            .field("latitude", t.sub_latitude_deg, 2)
            .field("longitude_west", t.sub_longitude_west_deg, 2)
            .field("height_km", t.height_km, 0)
            .end_object();
    }
    w.end_array();
    w.key("schedule").begin_array();
    for (const PassEntry& e : s.schedule)
        if (e.los >= s.now)
            write_pass(w, e, s.running.running && e.name == s.running.name && e.aos == s.running.aos);
    w.end_array();
    w.key("pass");
    if (s.running.running) {
        w.begin_object()
            .field("satellite", s.running.name)
            .field("aos", s.running.aos)
            .field("run_start", s.running.run_start)
            .field("run_end", s.running.run_end)
            .field("ends_in", s.running.run_end - s.now)
            .field("ending", s.running.end_requested)
            .end_object();
    } else {
        w.null();
    }
    w.end_object();
    return w.take();
}

std::string map_json(const MapSnapshot& s)
{
    JsonWriter w;
    w.begin_object().field("time", s.time).field("origin", s.origin).field("subject", s.subject).field("panel", s.panel);
    w.key("track");
    write_polylines(w, s.shapes.ground_track);
    w.key("circle");
    write_polylines(w, s.shapes.circle);
    w.key("terminator");
    write_polylines(w, s.shapes.terminator);
    w.key("marker");
    if (s.shapes.marker)
        write_pixel(w, *s.shapes.marker);
    else
        w.null();
    w.key("observers").begin_array();
    for (const map::Pixel& p : s.shapes.observers)
        write_pixel(w, p);
    w.end_array();
    w.key("others").begin_array();
    for (const MapSatellite& o : s.others) {
        w.begin_object().field("satellite", o.name).field("in_view", o.in_view).key("marker");
        write_pixel(w, o.marker);
        w.key("circle");
        write_polylines(w, o.circle);
        w.end_object();
    }
    w.end_array().end_object();
    return w.take();
}

std::string directory_json(std::string_view satellite, const std::vector<DirectoryRow>& rows, std::size_t total)
{
    JsonWriter w;
    w.begin_object().field("satellite", satellite).field("total", std::uint64_t(total)).key("files").begin_array();
    for (const DirectoryRow& r : rows) {
        const dirview::DirectoryEntry& e = r.entry;
        w.begin_object()
            .field("file", file_number_text(e.file_number))
            .field("status", std::string(1, dirview::status_letter(r.status_byte)))
            .field("status_code", int(r.status_byte & 0x0F))
            .field("requested", (r.status_byte & 0x10) != 0)
            .field("to", e.destination.value_or(""))
            .field("from", e.source.value_or(""))
            .field("title", e.title.value_or(""))
            .field("keywords", e.keywords.value_or(""))
            .field("name", e.file_name)
            .field("size", std::int64_t(e.file_size))
            .field("type", int(e.file_type))
            .field("type_name", std::string(dirview::file_type_description(e.file_type)))
            .field("compression", std::string(dirview::compression_name(e.compression)))
            .field("upload_time", std::int64_t(e.upload_time))
            .field("percent", int(e.percent))
            .field("message", e.message)
            .field("has_file", r.has_file)
            .end_object();
    }
    w.end_array().end_object();
    return w.take();
}

MessageHeader parse_message_header(std::string_view text)
{
    MessageHeader h;
    std::size_t start = 0;
    for (int line = 0; line < 8 && start < text.size(); ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view l = text.substr(start, end - start);
        start = end + 1;
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        if (l.starts_with("----"))
            break;
        auto take = [&](std::string_view label, std::string& into) {
            if (!l.starts_with(label))
                return;
            std::string_view v = l.substr(label.size());
            while (!v.empty() && v.front() == ' ')
                v.remove_prefix(1);
            into = std::string(v.substr(0, 256));
        };
        take("From:", h.from);
        take("To:", h.to);
        take("Subject:", h.subject);
        take("Keywords:", h.keywords);
    }
    return h;
}

std::string messages_json(std::string_view satellite, const std::vector<MessageFile>& files)
{
    JsonWriter w;
    w.begin_object().field("satellite", satellite).key("messages").begin_array();
    for (const MessageFile& f : files)
        w.begin_object()
            .field("file", file_number_text(f.file_number))
            .field("mine", f.mine)
            .field("size", f.size)
            .field("modified", f.modified)
            .field("from", f.header.from)
            .field("to", f.header.to)
            .field("subject", f.header.subject)
            .field("keywords", f.header.keywords)
            .end_object();
    w.end_array().end_object();
    return w.take();
}

std::string message_json(std::string_view satellite, std::uint32_t file_number, std::string_view bytes, bool cut)
{
    JsonWriter w;
    w.begin_object()
        .field("satellite", satellite)
        .field("file", file_number_text(file_number))
        .field("cut", cut)
        .field("text", bytes)
        .end_object();
    return w.take();
}

std::string error_json(std::string_view message)
{
    JsonWriter w;
    w.begin_object().field("error", message).end_object();
    return w.take();
}

} // namespace orva::station::web
