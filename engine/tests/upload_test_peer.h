// The BBS end of a connected-mode link, scripted by hand: reads what the client sends and builds
// the frames a server would answer with.
#pragma once

#include "engine/frames/ax25_frame.h"
#include "engine/upload/ax25_control.h"
#include "engine/upload/ftl0_packet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace orva::engine::test {

using Bytes = std::vector<std::uint8_t>;

inline Ax25Address addr(const char* text) { return *Ax25Address::parse(text); }

struct SentFrame {
    Control control;
    bool command = false;
    Bytes info; // after the PID for I frames
    Ax25Address destination, source;
};

inline SentFrame read_sent(const Bytes& bytes) {
    auto f = parse_ax25_frame(bytes);
    EXPECT_TRUE(f.ok());
    SentFrame s;
    s.control = decode_control(f->control);
    s.command = f->command_response() == 1;
    s.info.assign(f->info.begin(), f->info.end());
    s.destination = f->destination;
    s.source = f->source;
    return s;
}

// Frames from `from` to `to`; owns the bytes the parsed frame points into.
class PeerFrames {
public:
    PeerFrames(Ax25Address from, Ax25Address to) : from_(from), to_(to) {}

    const Ax25Frame& make(const Control& c, bool command, const Bytes& info = {}, std::uint8_t pid = kPidText) {
        Bytes b;
        const auto d = to_.wire(command, false);
        const auto s = from_.wire(!command, true);
        b.insert(b.end(), d.begin(), d.end());
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(encode_control(c));
        if (c.kind == ControlKind::I) b.push_back(pid);
        b.insert(b.end(), info.begin(), info.end());
        store_.push_back(std::move(b));
        parsed_.push_back(*parse_ax25_frame(store_.back()));
        return parsed_.back();
    }

private:
    Ax25Address from_, to_;
    std::deque<Bytes> store_;
    std::deque<Ax25Frame> parsed_;
};

inline Bytes le32(std::uint32_t v) { return {Bytes::value_type(v), Bytes::value_type(v >> 8), Bytes::value_type(v >> 16), Bytes::value_type(v >> 24)}; }
inline Bytes cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes packet(std::uint8_t type, const Bytes& data = {}) { return ftl0::encode_packet(type, data); }
inline Bytes login_packet(std::uint32_t time, std::uint8_t flags) { return packet(ftl0::kLoginResponse, cat(le32(time), {flags})); }
inline Bytes go_packet(std::uint32_t number, std::uint32_t offset) { return packet(ftl0::kUploadGo, cat(le32(number), le32(offset))); }

inline Bytes pattern_bytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 g(seed);
    Bytes b(n);
    for (auto& x : b) x = std::uint8_t(g());
    return b;
}

inline void write_bytes(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream o(p, std::ios::binary);
    o.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline Bytes read_all(const std::filesystem::path& p) {
    std::ifstream i(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(i), {});
}

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("orva-ul-" + std::to_string(rd()) + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& n) const { return path_ / n; }

private:
    std::filesystem::path path_;
};

} // namespace orva::engine::test
