// A message up and back down at 1200 bit/s (AFSK) through two real soundcard TNCs (see
// radio_pass_fixture.h): quillet queues it, brek uploads it to satsim as a server in service,
// then hears its directory entry and downloads it with the satellite's own files. What comes
// down must carry a sound header and exactly the source, destination, title and body queued,
// and the upload must take one login.
#include "testbed/tests/radio_pass_fixture.h"

#include "cli/hash/sha256.h"
#include "common/pfh/pfh.h"
#include "platform/testing/child_process.h"

namespace orva::testbed {
namespace {

using tools::sha256_hex;

std::vector<std::string> environment()
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    return env;
}

TEST_F(RadioPass, AQueuedMessageGoesUpAndComesBackDownAt1200)
{
    start_link("1200");
    ASSERT_FALSE(HasFatalFailure());
    // Small, as 1200 bit/s carries about 150 bytes a second.
    serve_files({300, 600});
    set_up_station(/*download_own_uploads=*/true);
    ASSERT_FALSE(HasFatalFailure());

    const std::string to = "W1AW", title = "Up and down at 1200 bit/s";
    const std::string body = "Queued by quillet, sent up by brek, and fetched back.\r\n73\r\n";
    const fs::path text = root / "message.txt";
    engine::test::write_bytes(text, Bytes(body.begin(), body.end()));
    const auto queued = test_support::run_child(std::string(ORVA_BIN_DIR) + "/quillet",
                                                {std::string("S~") + kSatellite, "--to", to, "--title", title, "--text",
                                                 text.string()},
                                                environment());
    ASSERT_EQ(queued.exit_code(), 0) << queued.out << queued.err;
    ASSERT_EQ(with_extension(sat_dir, ".OUT").size(), 1u) << queued.out;

    const auto wanted = start_satsim("120");
    ASSERT_EQ(wanted.size(), 2u);

    const auto start = Clock::now();
    start_brek();
    std::string number; // the message's number on the satellite, once the server gave it
    const auto done = [&] {
        for (const auto& [name, _] : wanted)
            if (!fs::exists(sat_dir / name))
                return false;
        const auto ul = with_extension(sat_dir, ".UL");
        if (ul.size() != 1)
            return false;
        number = ul[0].stem().string();
        return fs::exists(sat_dir / (number + ".DL"));
    };
    // About half a minute on an idle machine: the message and the files are under 2 kB of air.
    const auto limit = Clock::now() + std::chrono::minutes(3);
    while (!done() && Clock::now() < limit && !brek.exited() && !satsim.exited())
        satsim.wait_output(std::chrono::milliseconds(500));
    const double pass_s = std::chrono::duration<double>(Clock::now() - start).count();
    const bool complete = done();

    brek.kill(SIGTERM);
    EXPECT_EQ(brek.wait_for(std::chrono::seconds(30)), std::optional<int>(0));
    satsim.kill(SIGTERM);
    EXPECT_EQ(satsim.wait_for(std::chrono::seconds(20)), std::optional<int>(0));

    // One login for the one upload: a second means the first session broke off.
    const std::string terminal = text_of(root / "brek.log");
    EXPECT_EQ(count_lines_with(terminal, "Logged in at"), 1u) << "logins for one upload";

    ASSERT_TRUE(complete) << "after " << pass_s << " s: " << with_extension(sat_dir, ".DL").size()
                          << " files down, " << with_extension(sat_dir, ".UL").size() << " uploads accepted"
                          << (number.empty() ? "" : ", message " + number + " not down");
    for (const auto& [name, sha] : wanted)
        EXPECT_EQ(sha256_hex(engine::test::read_bytes(sat_dir / name)), sha) << name << " differs from the satellite's";

    // The message as it came down: a header whose checksums hold, and exactly what was queued.
    const Bytes down = engine::test::read_bytes(sat_dir / (number + ".DL"));
    const auto h = pfh::parse_pfh(down); // fails on a header checksum that does not hold
    ASSERT_TRUE(h) << h.error().message;
    EXPECT_EQ(h->file_number, std::stoul(number, nullptr, 16));
    const Bytes got_body(down.begin() + std::ptrdiff_t(h->header_length), down.end());
    EXPECT_EQ(std::string(got_body.begin(), got_body.end()), body);
    ASSERT_TRUE(h->body_checksum.has_value());
    EXPECT_EQ(*h->body_checksum, pfh::body_checksum(got_body));
    EXPECT_EQ(h->source.value_or("(none)"), kStationCall);
    EXPECT_EQ(h->destination.value_or("(none)"), to);
    EXPECT_EQ(h->title.value_or("(none)"), title);

    expect_no_engine_errors();
    std::printf("Real TNC pass (1200 bit/s): %.1f s to upload the message and download it with 2 files\n", pass_s);
}

} // namespace
} // namespace orva::testbed
