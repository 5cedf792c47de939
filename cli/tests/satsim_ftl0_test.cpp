// The upload client against the simulated satellite's FTL0 server over a lossy channel, in
// simulated time.
#include "engine/tests/upload_message.h"
#include "engine/tests/upload_test_peer.h"
#include "engine/upload/upload_client.h"
#include "cli/satsim/ftl0/ftl0_server.h"

#include <gtest/gtest.h>

#include <random>

namespace orva {
namespace {
using namespace engine;
using namespace engine::test;
namespace fs = std::filesystem;

class Pass {
public:
    Pass(satsim::Ftl0Server& server, const fs::path& queue, double loss, std::uint64_t seed)
        : server_(server), loss_(loss), rng_(seed) {
        UploadConfig c;
        c.my_call = addr("G0ABC");
        c.bbs_call = addr("PACSAT-12");
        c.folder = queue;
        c.seed = seed;
        client_ = std::make_unique<UploadClient>(c);
    }

    // Runs until the client has released the link after finishing, or `limit_ms` passes.
    void run(std::uint64_t start_ms, std::uint64_t limit_ms) {
        bool was_busy = false;
        for (std::uint64_t t = start_ms; t < start_ms + limit_ms; t += 10) {
            const LinkTime now{kBase + t};
            for (auto& f : server_.poll(t)) to_client_.push_back(std::move(f));
            take(client_->poll(now));
            auto down = std::move(to_client_);
            to_client_.clear();
            for (auto& f : down) {
                if (lost()) continue;
                auto parsed = parse_ax25_frame(f);
                if (!parsed) continue;
                if (parsed->destination.callsign() == "BBSTAT")
                    take(client_->on_bbs_status(std::string_view(reinterpret_cast<const char*>(parsed->info.data()), parsed->info.size()), now));
                else
                    take(client_->on_connected_frame(*parsed, now));
            }
            auto up = std::move(to_server_);
            to_server_.clear();
            for (auto& f : up)
                if (!lost()) server_.on_uplink_frame(f, t);
            if (client_->busy()) was_busy = true;
            else if (was_busy) return;
        }
    }
    UploadClient& client() { return *client_; }
    std::optional<std::string> post_starting(const std::string& prefix) const {
        for (const auto& p : posts_)
            if (p.text.rfind(prefix, 0) == 0) return p.text.substr(prefix.size());
        return std::nullopt;
    }
    bool posted(const std::string& text) const {
        for (const auto& p : posts_)
            if (p.text == text) return true;
        return false;
    }

private:
    static constexpr std::int64_t kBase = 1'000'000'000'000;
    bool lost() { return loss_ > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < loss_; }
    void take(UploadOutput o) {
        for (auto& f : o.frames) to_server_.push_back(std::move(f));
        for (auto& p : o.posts) posts_.push_back(std::move(p));
    }

    satsim::Ftl0Server& server_;
    std::unique_ptr<UploadClient> client_;
    double loss_;
    std::mt19937_64 rng_;
    std::vector<Bytes> to_server_, to_client_;
    std::vector<StatusPost> posts_;
};

class SatsimUpload : public ::testing::Test {
protected:
    TempDir queue, sat;
    satsim::Ftl0ServerConfig config() {
        satsim::Ftl0ServerConfig c;
        c.folder = sat.path();
        return c;
    }
};

TEST_F(SatsimUpload, FiveFilesUploadWholeThroughTenPercentLoss) {
    const std::size_t sizes[] = {1024, 5000, 20000, 60000, 100 * 1024};
    std::vector<Bytes> bodies;
    for (std::size_t i = 0; i < 5; ++i) {
        bodies.push_back(upload_message(pattern_bytes(sizes[i], std::uint32_t(100 + i))));
        write_bytes(queue / ("MSG" + std::to_string(i) + ".OUT"), bodies.back());
    }
    satsim::Ftl0Server server(config());
    Pass pass(server, queue.path(), 0.10, 42);
    pass.run(0, 3'600'000);
    ASSERT_EQ(server.counters().uploads_done, 5u);
    auto finished = server.take_finished();
    ASSERT_EQ(finished.size(), 5u);
    // Smallest first: server numbers follow the sizes.
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(read_all(finished[i].path), numbered_upload(bodies[i], finished[i].file_number)) << i;
        char name[16];
        std::snprintf(name, sizeof name, "%X.UL", finished[i].file_number);
        EXPECT_TRUE(fs::exists(queue / name)) << name;
    }
    for (const auto& e : fs::directory_iterator(queue.path())) EXPECT_EQ(e.path().extension(), ".UL") << e.path();
    ASSERT_EQ(pass.client().log_entries().size(), 5u);
    for (const auto& e : pass.client().log_entries()) EXPECT_EQ(e.reason, 1);
    EXPECT_GT(server.counters().retransmissions + server.counters().rejects_sent, 0u);
}

TEST_F(SatsimUpload, CutAtFortyPercentResumesInTheNextPass) {
    const Bytes body = upload_message(pattern_bytes(50000, 7));
    write_bytes(queue / "BIG.OUT", body);
    auto c = config();
    c.cut_at = 0.4;
    satsim::Ftl0Server server(c);
    {
        Pass first(server, queue.path(), 0.0, 1);
        first.run(0, 600'000);
        EXPECT_EQ(server.counters().cuts, 1u);
        EXPECT_TRUE(first.posted("Disconnected"));
        ASSERT_EQ(first.client().log_entries().size(), 1u);
        EXPECT_EQ(first.client().log_entries()[0].reason, 6);
    }
    EXPECT_TRUE(fs::exists(queue / "800.PUL"));
    {
        Pass second(server, queue.path(), 0.05, 2);
        second.run(700'000, 600'000);
        const auto offset = second.post_starting("Continuing file 800 from offset ");
        ASSERT_TRUE(offset);
        EXPECT_GE(std::stoul(*offset), 20000u);
        ASSERT_EQ(second.client().log_entries().size(), 1u);
        EXPECT_EQ(second.client().log_entries()[0].reason, 1);
        EXPECT_LT(second.client().log_entries()[0].bytes, 50000 * 61 / 100);
    }
    EXPECT_TRUE(fs::exists(queue / "800.UL"));
    EXPECT_EQ(read_all(sat / "800.UPL"), numbered_upload(body, 0x800));
}

TEST_F(SatsimUpload, RefusedUploadBecomesUlxWithItsText) {
    write_bytes(queue / "BAD.OUT", upload_message(pattern_bytes(3000, 9)));
    auto c = config();
    c.refuse = 16;
    satsim::Ftl0Server server(c);
    Pass pass(server, queue.path(), 0.0, 3);
    pass.run(0, 600'000);
    EXPECT_TRUE(pass.posted("File not accepted by server."));
    EXPECT_TRUE(pass.posted("The file has a corrupt body."));
    EXPECT_TRUE(fs::exists(queue / "800.ULX"));
    EXPECT_EQ(pass.client().log_entries().at(0).reason, 3);

    write_bytes(queue / "LEN.OUT", upload_message(pattern_bytes(3000, 10)));
    c.refuse = 2;
    satsim::Ftl0Server strict(c);
    Pass again(strict, queue.path(), 0.0, 4);
    again.run(0, 600'000);
    EXPECT_TRUE(again.posted("The filelength doesn't agree with that expected."));
    EXPECT_TRUE(fs::exists(queue / "LEN.ULX"));
}

} // namespace
} // namespace orva
