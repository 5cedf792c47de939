// One received AX.25 frame through parsing, classification and the dispatcher, with every
// receiver wired in.
#include "engine/frames/frame_dispatcher.h"

#include <cstdlib>

namespace {

using namespace orva::engine;

struct Sink : FileFragmentReceiver, DirectoryFragmentReceiver, RequestReceiver, UploadReceiver, SessionLogReceiver,
              ElementSetReceiver, MonitorSink, LinkControl, StatusSink {
    std::size_t seen = 0;
    void on_file_fragment(const FileFragment& f) override {
        if (f.data.size() > 244) std::abort();
        seen += f.data.size();
    }
    void on_directory_fragment(const DirectoryFragment& f) override { seen += f.data.size(); }
    void on_queue_line(std::string_view t, bool) override { seen += t.size(); }
    void on_file_refused(int) override {}
    void on_bbs_status(std::string_view t) override { seen += t.size(); }
    void on_connected_frame(const Ax25Frame& f) override { seen += f.info.size(); }
    void on_session_start(std::chrono::sys_seconds) override {}
    void on_server_status(std::string_view t, std::optional<std::uint64_t>) override { seen += t.size(); }
    void on_satellite_time(std::uint32_t, std::span<const std::uint8_t>) override {}
    void on_element_set(std::string_view t) override { seen += t.size(); }
    void show(std::string_view l) override { seen += l.size(); }
    void write_raw(std::span<const std::uint8_t>) override {}
    bool send_kiss_frame(std::span<const std::uint8_t>) override { return true; }
    void close_engine() override {}
    void post(std::string t, LineColour) override { seen += t.size(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const StationCalls calls{*Ax25Address::parse("G0ABC"), *Ax25Address::parse("PACSAT-12"),
                                    *Ax25Address::parse("PACSAT-11")};
    Sink sink;
    std::mutex lock;
    FrameDispatcher d(calls, DispatchSettings{.bdcst_frame = 244, .crc_close = 3, .ignore_shut = true,
                                              .update_keps = true, .print_headers = true},
                      DispatchReceivers{&sink, &sink, &sink, &sink, &sink, &sink, &sink, &sink, &sink, &lock});
    d.arm_session();
    const std::span<const std::uint8_t> bytes(data, size);
    d.on_ax25_frame(bytes, std::chrono::sys_seconds(std::chrono::seconds(1000000)));
    // The same frame again exercises the repeat counters.
    d.on_ax25_frame(bytes, std::chrono::sys_seconds(std::chrono::seconds(1000001)));
    if (auto f = parse_ax25_frame(bytes)) {
        if (f->info.data() + f->info.size() != data + size) std::abort();
        (void)classify_frame(*f, calls);
    }
    return 0;
}
