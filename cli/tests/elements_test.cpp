// orva elements update against a real HTTP server on 127.0.0.1 (element_server.py): a good file
// merges, an unchanged one is answered 304 and not fetched again, and every kind of failure
// names its source and leaves Orva.KEP byte for byte as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "elemupd/network/element_sources.h"
#include "platform/testing/child_process.h"
#include "platform/testing/spawned_child.h"

using namespace orva;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void spill(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ElementsUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/orva-elements-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        suite_ = dir_ / "suite";
        www_ = dir_ / "www";
        fs::create_directories(suite_);
        fs::create_directories(www_);
        good_ = slurp(fs::path(ORVA_SOURCE_DIR) / "station/tests/data/elements-2025-178.txt");
        ASSERT_FALSE(good_.empty());
        spill(www_ / "good.txt", good_);
        {
            auto store = open_store();
            settings::GeneralSettings g;
            g.orva_directory = suite_.string();
            ASSERT_TRUE(settings::write_general(store, g).ok());
            settings::DispoSettings d;
            d.keps_append = 1;
            ASSERT_TRUE(settings::write_dispo(store, d).ok());
        }
        server_ = test_support::Child({"/usr/bin/python3", std::string(ORVA_SOURCE_DIR) + "/testbed/http/element_server.py",
                                       www_.string(), (dir_ / "requests.log").string()},
                                      dir_ / "server.err", true);
        ASSERT_TRUE(server_.wait_line("PORT ", std::chrono::seconds(20))) << slurp(dir_ / "server.err");
        for (const auto& l : server_.lines())
            if (l.rfind("PORT ", 0) == 0)
                base_ = "http://127.0.0.1:" + l.substr(5);
    }

    void TearDown() override
    {
        server_.kill(SIGTERM);
        server_.wait();
        fs::remove_all(dir_);
    }

    platform::Store open_store()
    {
        auto s = platform::Store::open(dir_ / "store.db", platform::Access::ReadWrite);
        EXPECT_TRUE(s.ok());
        return std::move(*s);
    }

    // Replaces the source list with these (name, path on the server) pairs.
    void sources(const std::vector<std::pair<std::string, std::string>>& list)
    {
        auto store = open_store();
        (void)store.delete_key(elemupd::kElementSourcesKey);
        ASSERT_TRUE(store.create_key(elemupd::kElementSourcesKey).ok());
        for (const auto& [name, path] : list) {
            std::string url = path.rfind("http", 0) == 0 ? path : base_ + path;
            ASSERT_TRUE(elemupd::add_element_source(store, {name, url, station::ElementFormat::Nasa, {}, {}}).ok())
                << url;
        }
    }

    test_support::ChildResult run(std::vector<std::string> args)
    {
        return test_support::run_child(std::string(ORVA_BIN_DIR) + "/orva-elements", args,
                                       {"ORVA_STORE=" + (dir_ / "store.db").string(), "HOME=" + dir_.string()});
    }

    std::vector<std::string> requests() { return lines_of(slurp(dir_ / "requests.log")); }
    std::string kep() { return slurp(suite_ / "ORVA.KEP"); }

    fs::path dir_, suite_, www_;
    std::string good_, base_;
    test_support::Child server_;
};

TEST_F(ElementsUpdate, AGoodFileMergesAndAnUnchangedOneIsNotFetchedAgain)
{
    sources({{"good", "/good.txt"}});
    auto first = run({"update"});
    ASSERT_EQ(first.exit_code(), 0) << first.out << first.err;
    EXPECT_TRUE(has(first.out, "good: " + base_ + "/good.txt: 20 sets: 0 updated, 20 added")) << first.out;
    auto db = elements::KepDatabase::load(suite_ / "ORVA.KEP");
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db->free_slots(), 30);
    EXPECT_NE(db->find_by_catalogue(25544), -1);
    std::string merged = kep();

    // The second run sends the validators of the first and is answered 304.
    auto second = run({"update"});
    ASSERT_EQ(second.exit_code(), 0) << second.out << second.err;
    EXPECT_TRUE(has(second.out, "good: " + base_ + "/good.txt: not modified since the last update (HTTP 304)"))
        << second.out;
    auto log = requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].rfind("/good.txt 200 |", 0) == 0) << log[0];
    EXPECT_TRUE(log[1].rfind("/good.txt 304 \"", 0) == 0) << log[1];
    EXPECT_TRUE(has(log[1], " GMT")) << log[1]; // If-Modified-Since as well
    EXPECT_EQ(kep(), merged);

    // A server that only keeps dates: If-Modified-Since alone gets the 304.
    {
        auto store = open_store();
        ASSERT_TRUE(store.write_string(std::string(elemupd::kElementSourcesKey) + "\\good", "ETag", "").ok());
    }
    auto dated = run({"update"});
    EXPECT_EQ(dated.exit_code(), 0) << dated.err;
    EXPECT_TRUE(has(dated.out, "(HTTP 304)")) << dated.out;

    // --force fetches the whole file; every set is then not newer.
    auto forced = run({"update", "--force", "--verbose"});
    EXPECT_EQ(forced.exit_code(), 0) << forced.err;
    EXPECT_TRUE(has(forced.out, "20 sets: 0 updated, 0 added, 20 not newer")) << forced.out;
    EXPECT_EQ(kep(), merged);
    log = requests();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[2].rfind("/good.txt 304 |", 0) == 0) << log[2];
    EXPECT_TRUE(log[3].rfind("/good.txt 200 |", 0) == 0) << log[3];
}

TEST_F(ElementsUpdate, EveryFailureNamesItsSourceAndLeavesTheDatabaseAlone)
{
    sources({{"good", "/good.txt"}});
    ASSERT_EQ(run({"update"}).exit_code(), 0);
    const std::string before = kep();
    ASSERT_EQ(before.size(), elements::kKepFileSize);

    // A newer copy of the file, damaged or cut short in the ways a download goes wrong.
    std::string newer = good_;
    for (std::size_t at = newer.find("   2517"); at != std::string::npos; at = newer.find("   2517", at))
        newer.replace(at, 7, "   2518");
    spill(www_ / "good.txt", newer); // checksums now wrong in every line 1: a damaged file
    // Cut after a name line: the parser sees no broken set, only a missing one.
    spill(www_ / "cut.txt", good_.substr(0, good_.find('\n', good_.find("\nDMSP") + 1) + 1));
    const char noise[] = "\x1f\x8b\x08\0\0\0\0\0\xff\xfe garbage";
    spill(www_ / "noise.bin", std::string(noise, sizeof noise - 1));

    sources({{"missing", "/missing.txt"},
             {"portal", "/html/elements.txt"},
             {"truncated", "/truncated/good.txt"},
             {"damaged", "/good.txt"},
             {"cut", "/cut.txt"},
             {"noise", "/noise.bin"},
             {"silent", "/hold/elements.txt"},
             {"nobody", "http://127.0.0.1:9/elements.txt"}});
    auto r = run({"update", "--timeout", "0.5", "--connect-timeout", "0.5"});
    EXPECT_EQ(r.exit_code(), 1) << r.out << r.err;
    EXPECT_EQ(kep(), before);
    EXPECT_TRUE(r.out.empty()) << r.out;
    auto line = [&](const std::string& name, const std::string& path, const std::string& why) {
        std::string url = path.rfind("http", 0) == 0 ? path : base_ + path;
        for (const auto& l : lines_of(r.err))
            if (l.rfind(name + ": " + url + ": ", 0) == 0 && has(l, why) && has(l, "; nothing changed"))
                return true;
        ADD_FAILURE() << name << " (" << why << ") not reported:\n" << r.err;
        return false;
    };
    line("missing", "/missing.txt", "HTTP 404");
    line("portal", "/html/elements.txt", "an HTML page, not element sets");
    line("truncated", "/truncated/good.txt", "truncated");
    line("damaged", "/good.txt", "damaged: 20 of 20 sets refused");
    line("cut", "/cut.txt", "cut off");
    line("noise", "/noise.bin", "not text");
    line("silent", "/hold/elements.txt", "timed out");
    line("nobody", "http://127.0.0.1:9/elements.txt", "onnect");
    EXPECT_EQ(lines_of(r.err).size(), 8u) << r.err;

    // The failed fetch kept no validators: once the file is good again it is fetched whole.
    {
        auto store = open_store();
        EXPECT_EQ(store.read_string(std::string(elemupd::kElementSourcesKey) + "\\damaged", "ETag", 100).value_or("?"),
                  "");
    }
}

TEST_F(ElementsUpdate, OneFailedSourceDoesNotStopTheOthers)
{
    spill(www_ / "one.txt", good_.substr(0, good_.find("DMSP")));
    sources({{"first", "/missing.txt"}, {"second", "/one.txt"}});
    auto r = run({"update", "--verbose"});
    EXPECT_EQ(r.exit_code(), 1);
    EXPECT_TRUE(has(r.err, "first: " + base_ + "/missing.txt: HTTP 404; nothing changed")) << r.err;
    EXPECT_TRUE(has(r.out, "second: " + base_ + "/one.txt: 1 set: 0 updated, 1 added")) << r.out;
    EXPECT_TRUE(has(r.out, "  NOAA 15: Added to database")) << r.out;
    auto db = elements::KepDatabase::load(suite_ / "ORVA.KEP");
    ASSERT_TRUE(db.ok());
    EXPECT_NE(db->find_by_catalogue(25338), -1);

    // Only the named source runs.
    auto only = run({"update", "--source", "SECOND"});
    EXPECT_EQ(only.exit_code(), 0) << only.err;
    EXPECT_TRUE(has(only.out, "(HTTP 304)")) << only.out;
    auto unknown = run({"update", "--source", "third"});
    EXPECT_EQ(unknown.exit_code(), 1);
    EXPECT_TRUE(has(unknown.err, "third: no such source")) << unknown.err;
}

TEST_F(ElementsUpdate, SourcesAreListedAddedAndRemoved)
{
    {
        auto store = open_store();
        (void)store.delete_key(elemupd::kElementSourcesKey);
    }
    auto list = run({"sources", "list"});
    ASSERT_EQ(list.exit_code(), 0) << list.err;
    EXPECT_EQ(list.out,
              "celestrak-amateur NASA https://celestrak.org/NORAD/elements/gp.php?GROUP=amateur&FORMAT=tle\n"
              "amsat NASA https://www.amsat.org/tle/current/nasabare.txt\n");

    EXPECT_EQ(run({"sources", "add", "local", base_ + "/good.txt", "--format", "amsat"}).exit_code(), 0);
    auto dup = run({"sources", "add", "LOCAL", base_ + "/other.txt"});
    EXPECT_EQ(dup.exit_code(), 1);
    EXPECT_TRUE(has(dup.err, "already a source named \"local\"")) << dup.err;
    auto bad = run({"sources", "add", "ftp", "ftp://example.org/x.txt"});
    EXPECT_EQ(bad.exit_code(), 1);
    EXPECT_TRUE(has(bad.err, "not an http:// or https:// address")) << bad.err;
    EXPECT_EQ(run({"sources", "add", "x", base_ + "/x.txt", "--format", "kepler"}).exit_code(), 2);

    EXPECT_EQ(run({"sources", "remove", "amsat"}).exit_code(), 0);
    EXPECT_EQ(run({"sources", "remove", "amsat"}).exit_code(), 1);
    list = run({"sources", "list"});
    EXPECT_EQ(list.out, "celestrak-amateur NASA https://celestrak.org/NORAD/elements/gp.php?GROUP=amateur&FORMAT=tle\n"
                        "local AMSAT " + base_ + "/good.txt\n");
    EXPECT_EQ(run({"sources"}).exit_code(), 2);
}

TEST_F(ElementsUpdate, NoSuiteFolderIsAnErrorBeforeAnyFetch)
{
    {
        auto store = open_store();
        ASSERT_TRUE(store.delete_value("SOFTWARE\\Orva\\General", "Orva Directory").ok());
    }
    sources({{"good", "/good.txt"}});
    auto r = run({"update"});
    EXPECT_EQ(r.exit_code(), 1);
    EXPECT_TRUE(has(r.err, "\"Orva Directory\" is not set")) << r.err;
    EXPECT_TRUE(requests().empty());
}

} // namespace
