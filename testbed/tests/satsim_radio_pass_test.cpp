// A whole pass at 9600 bit/s (G3RUH) through two real soundcard TNCs (see radio_pass_fixture.h).
// Every file the satellite holds must arrive byte-identical, directory requests must stop once
// the directory is up to date, the queued message must be filed under the number the server
// gave it, and the engine must print no error.
#include "testbed/tests/radio_pass_fixture.h"

#include "cli/hash/sha256.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "engine/tests/upload_message.h"

namespace orva::testbed {
namespace {

using tools::sha256_hex;

TEST_F(RadioPass, FilesDownloadAndTheMessageUploadsThroughRealTncs)
{
    start_link("9600");
    ASSERT_FALSE(HasFatalFailure());
    // The satellite: five files of a few kilobytes, headers made by satsim.
    serve_files({900, 2500, 4000, 6000, 8000});
    // The station: wants everything, and has one message waiting, its header still numbered 0.
    set_up_station();
    ASSERT_FALSE(HasFatalFailure());
    const std::string body = "Sent up through two soundcard TNCs.\r\n";
    const Bytes message = engine::test::upload_message(Bytes(body.begin(), body.end()), kStationCall, "Radio test message");
    engine::test::write_bytes(sat_dir / "MSG.OUT", message);

    const auto wanted = start_satsim("900");
    ASSERT_EQ(wanted.size(), 5u);

    const auto start = Clock::now();
    start_brek();
    const auto done = [&] {
        for (const auto& [name, _] : wanted)
            if (!fs::exists(sat_dir / name))
                return false;
        return with_extension(sat_dir, ".UL").size() == 1;
    };
    // At 9600 bit/s the files and the directory are about 25 kB: well under a minute of air.
    const auto limit = Clock::now() + std::chrono::minutes(4);
    while (!done() && Clock::now() < limit && !brek.exited() && !satsim.exited())
        satsim.wait_output(std::chrono::milliseconds(500));
    const double pass_s = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_TRUE(done()) << "after " << pass_s << " s: " << with_extension(sat_dir, ".DL").size() << " of 5 files, "
                        << with_extension(sat_dir, ".UL").size() << " uploads accepted";

    // The upload is a new directory entry, so the station asks again; once the directory is up to
    // date it stops asking: six queue lines in a row with no directory request.
    std::size_t dir_requests = satsim_count("REQUEST DIRECTORY");
    std::size_t quiet_from = satsim_count("QUEUE LINE");
    const auto quiet_limit = Clock::now() + std::chrono::seconds(90);
    while (satsim_count("QUEUE LINE") < quiet_from + 6 && Clock::now() < quiet_limit && !satsim.exited()) {
        satsim.wait_output(std::chrono::milliseconds(500));
        if (satsim_count("REQUEST DIRECTORY") != dir_requests) {
            dir_requests = satsim_count("REQUEST DIRECTORY");
            quiet_from = satsim_count("QUEUE LINE");
        }
    }
    EXPECT_GE(satsim_count("QUEUE LINE"), quiet_from + 6) << "directory requests went on after the directory was complete";
    EXPECT_GE(dir_requests, 1u);

    brek.kill(SIGTERM);
    EXPECT_EQ(brek.wait_for(std::chrono::seconds(30)), std::optional<int>(0));
    satsim.kill(SIGTERM);
    EXPECT_EQ(satsim.wait_for(std::chrono::seconds(20)), std::optional<int>(0));

    for (const auto& [name, sha] : wanted)
        EXPECT_EQ(sha256_hex(engine::test::read_bytes(sat_dir / name)), sha) << name << " differs from the satellite's";

    // The message is on the satellite under the number the go answer gave, and its header says so.
    const auto ul = with_extension(sat_dir, ".UL");
    ASSERT_EQ(ul.size(), 1u);
    const std::string number = ul[0].stem().string();
    const fs::path on_satellite = served / (number + ".UPL");
    ASSERT_TRUE(fs::exists(on_satellite)) << on_satellite;
    const Bytes filed = engine::test::read_bytes(on_satellite);
    const auto parsed = pfh::parse_pfh(filed);
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ(parsed->file_number, std::stoul(number, nullptr, 16));
    EXPECT_EQ(Bytes(filed.begin() + std::ptrdiff_t(parsed->header_length), filed.end()), Bytes(body.begin(), body.end()));
    EXPECT_EQ(engine::test::read_bytes(ul[0]), message) << "the station's copy was changed";

    const std::string report = text_of(root / "satsim.log");
    EXPECT_NE(report.find("uploads 1 filed, 0 refused for their header's file number"), std::string::npos) << report;
    const auto at = report.find(" bytes broadcast, ");
    ASSERT_NE(at, std::string::npos) << report;
    const unsigned long long down = std::strtoull(report.c_str() + report.rfind(' ', at - 1) + 1, nullptr, 10);
    const unsigned long long up = std::strtoull(report.c_str() + at + 18, nullptr, 10);

    expect_no_engine_errors();
    std::printf("Real TNC pass (9600 bit/s): %.1f s to complete 5 files and 1 upload; %llu bytes broadcast, "
                "%llu bytes sent up\n",
                pass_s, down, up);
}

} // namespace
} // namespace orva::testbed
