#include "engine/session/session_export.h"

#include "common/json_writer.h"

namespace orva::engine {

const char* colour_name(LineColour c)
{
    switch (c) {
    case LineColour::Black: return "black";
    case LineColour::Red: return "red";
    case LineColour::Blue: return "blue";
    case LineColour::DarkRed: return "darkred";
    case LineColour::Green: return "green";
    }
    return "black";
}

std::string session_status_json(const BrekSession& s)
{
    const StatusBoxes b = s.boxes();
    const InformationFigures info = s.information();
    JsonWriter w;
    w.begin_object()
        .field("satellite", s.satellite())
        .field("title", s.title())
        .field("state", s.state() == SessionState::NoPass ? "no pass" : s.state() == SessionState::PassOpen ? "open" : "closing")
        .field("listen_only", s.listen_only())
        .field("now", b.now)
        .field("pass_start", b.pass_start);
    w.key("pass_end");
    if (b.pass_end)
        w.value(*b.pass_end);
    else
        w.null();
    w.field("directory", b.directory_status)
        .field("request", b.request_status)
        .field("efficiency", b.efficiency)
        .field("pass_efficiency", b.pass_efficiency)
        .field("total_bytes", info.total_bytes)
        .field("directory_bytes", info.directory_bytes)
        .field("file_bytes", info.file_bytes)
        .field("crc_errors", std::uint64_t(info.crc_errors))
        .field("queue", b.queue_line)
        .field("bbs_status", b.bbs_status)
        .field("uplink_up", !b.upload_letter.empty())
        .field("uploads_off", b.uploads_off);
    w.key("upload");
    if (b.upload) {
        const UploadProgress& u = *b.upload;
        w.begin_object()
            .field("file", u.file)
            .field("percent", u.percent)
            .field("uploaded", u.uploaded)
            .field("to_upload", u.to_upload)
            .field("cps", u.cps);
        w.key("seconds_left");
        if (u.seconds_left)
            w.value(*u.seconds_left);
        else
            w.null();
        w.end_object();
    } else {
        w.null();
    }
    w.key("downloads").begin_array();
    for (const DownloadRow& r : s.download_table()) {
        if (r.file_number == 0)
            continue;
        w.begin_object()
            .field("file", r.name)
            .field("received", r.received)
            .field("total", std::uint64_t(r.total))
            .field("holes", std::uint64_t(r.holes))
            .field("percent", r.percent)
            .end_object();
    }
    w.end_array();
    w.key("lines").begin_array();
    for (const StatusLine& l : s.status_lines())
        w.begin_object().field("text", l.text).field("colour", colour_name(l.colour)).end_object();
    w.end_array().end_object();
    return w.take();
}

} // namespace orva::engine
