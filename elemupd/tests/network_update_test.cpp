// The pure side of the network update: the check of a fetched text, the conditional request, the
// source list in the store, and the rules of one run with the fetch given as answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "elemupd/network/network_update.h"

using namespace orva;
using namespace orva::elemupd;
namespace fs = std::filesystem;

namespace {

const std::string kAo7 =
    "OSCAR 7 (AO-7)          \n"
    "1 07530U 74089B   25178.92074625 -.00000043  00000+0  22495-4 0  9994\n"
    "2 07530 101.9927 183.3801 0012658  87.3237 339.0794 12.53689854316121\n";
const std::string kIss =
    "ISS (ZARYA)             \r\n"
    "1 25544U 98067A   25179.15776912  .00006109  00000+0  11381-3 0  9994\r\n"
    "2 25544  51.6349 252.7052 0002263 302.4301  57.6469 15.50279857516861\r\n";

std::string check(const std::string& body, const std::string& type = "text/plain",
                  station::ElementFormat f = station::ElementFormat::Nasa)
{
    auto r = check_element_text(body, type, f);
    return r ? "ok " + std::to_string(r->good()) : r.error().message;
}

TEST(ElementText, OnlyWholeUndamagedElementFilesPass)
{
    EXPECT_EQ(check(kAo7 + kIss), "ok 2");
    EXPECT_EQ(check("Current elements\n" + kAo7), "ok 1"); // a title line before the first set
    EXPECT_EQ(check(kAo7, "text/html; charset=UTF-8"), "an HTML page, not element sets");
    EXPECT_EQ(check("\r\n  <!DOCTYPE html><html></html>", "text/plain"), "an HTML page, not element sets");
    EXPECT_EQ(check("", "text/plain"), "an empty file");
    EXPECT_EQ(check(" \r\n\n"), "an empty file");
    EXPECT_EQ(check(kAo7 + std::string("\0\0", 2)), "not text: the file holds NUL bytes");
    EXPECT_EQ(check("Nothing to see here\njust words\n"), "no element sets in it");

    std::string bad = kIss;
    bad[bad.find("9994")] = '8';
    EXPECT_EQ(check(kAo7 + bad), "damaged: 1 of 2 sets refused (first: \"ISS (ZARYA)\": bad checksum)");
    // Cut inside line 1, after line 1, and after a name line.
    EXPECT_EQ(check(kAo7 + kIss.substr(0, 60)).substr(0, 28), "damaged: 1 of 2 sets refused");
    EXPECT_EQ(check(kAo7 + kIss.substr(0, kIss.find("\n2 ") + 1)).substr(0, 28), "damaged: 1 of 2 sets refused");
    EXPECT_EQ(check(kAo7 + "ISS (ZARYA)\n"), "cut off: the text ends in the middle of a set");

    const std::string amsat = "Satellite: AO-7\nCatalog number: 07530\nEpoch time: 25178.92074625\n"
                              "Element set: 999\nInclination: 101.9927 deg\nRA of node: 183.3801 deg\n"
                              "Eccentricity: 0.0012658\nArg of perigee: 87.3237 deg\nMean anomaly: 339.0794 deg\n"
                              "Mean motion: 12.53689854 rev/day\nDecay rate: -4.3e-07 rev/day^2\n"
                              "Epoch rev: 31612\nChecksum: 300\n\n";
    EXPECT_EQ(check(amsat, "text/plain", station::ElementFormat::Amsat), "ok 1");
}

TEST(ElementText, TheRequestCarriesTheValidatorsUnlessForced)
{
    ElementSource s{"x", "https://example.org/a.txt", station::ElementFormat::Nasa, "\"abc\"", "Tue, 01 Jul 2025 10:00:00 GMT"};
    NetworkUpdateOptions o;
    o.connect_timeout = std::chrono::milliseconds(1500);
    o.total_timeout = std::chrono::milliseconds(9000);
    platform::HttpRequest r = source_request(s, o);
    EXPECT_EQ(r.url, s.url);
    EXPECT_EQ(r.if_none_match, "\"abc\"");
    EXPECT_EQ(r.if_modified_since, "Tue, 01 Jul 2025 10:00:00 GMT");
    EXPECT_EQ(r.connect_timeout.count(), 1500);
    EXPECT_EQ(r.total_timeout.count(), 9000);
    EXPECT_EQ(r.user_agent.rfind("orva-elements/", 0), 0u);
    o.force = true;
    r = source_request(s, o);
    EXPECT_TRUE(r.if_none_match.empty());
    EXPECT_TRUE(r.if_modified_since.empty());
}

class CountingNotice : public ReloadNotice {
public:
    Status post_reload() override
    {
        ++posts;
        return {};
    }
    int posts = 0;
};

class NetworkRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/orva-netupd-XXXXXX";
        dir = ::mkdtemp(tmpl);
        suite = dir / "suite";
        fs::create_directories(suite);
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        store.emplace(std::move(*s));
        settings::GeneralSettings g;
        g.orva_directory = suite.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::DispoSettings d;
        d.keps_append = 0;
        ASSERT_TRUE(settings::write_dispo(*store, d).ok());
    }
    void TearDown() override { fs::remove_all(dir); }

    // Answers by URL; every request is kept.
    Fetch answers(std::map<std::string, Result<platform::HttpResponse>> by_url)
    {
        return [this, by_url](const platform::HttpRequest& r) -> Result<platform::HttpResponse> {
            asked.push_back(r);
            auto it = by_url.find(r.url);
            return it == by_url.end() ? Result<platform::HttpResponse>(make_error("no route")) : it->second;
        };
    }
    static platform::HttpResponse ok(std::string body, std::string etag = "")
    {
        return {200, std::move(body), std::move(etag), "Tue, 01 Jul 2025 10:00:00 GMT", "text/plain"};
    }
    std::string kep()
    {
        std::ifstream in(suite / "ORVA.KEP", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir, suite;
    std::optional<platform::Store> store;
    std::vector<platform::HttpRequest> asked;
    CountingNotice notice;
};

TEST_F(NetworkRun, TheDefaultSourcesApplyUntilTheListIsChanged)
{
    auto list = read_element_sources(*store);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].url, "https://celestrak.org/NORAD/elements/gp.php?GROUP=amateur&FORMAT=tle");
    EXPECT_EQ(list[1].url, "https://www.amsat.org/tle/current/nasabare.txt");
    EXPECT_FALSE(store->key_exists(kElementSourcesKey));

    ASSERT_TRUE(add_element_source(*store, {"mine", "http://127.0.0.1:8000/k.txt", station::ElementFormat::Amsat, {}, {}}).ok());
    list = read_element_sources(*store);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].name, "mine");
    EXPECT_EQ(list[2].format, station::ElementFormat::Amsat);
    EXPECT_FALSE(add_element_source(*store, {"a\\b", "http://127.0.0.1/k.txt", {}, {}, {}}).ok());
    EXPECT_FALSE(add_element_source(*store, {"file", "file:///etc/passwd", {}, {}, {}}).ok());
    ASSERT_TRUE(remove_element_source(*store, "CELESTRAK-AMATEUR").ok());
    ASSERT_TRUE(remove_element_source(*store, "amsat").ok());
    EXPECT_FALSE(remove_element_source(*store, "amsat").ok());
    ASSERT_EQ(read_element_sources(*store).size(), 1u);
    ASSERT_TRUE(remove_element_source(*store, "mine").ok());
    EXPECT_TRUE(read_element_sources(*store).empty()); // an empty list stays empty
}

TEST_F(NetworkRun, OnlyKnownSatellitesAreUpdatedWithoutKepsAppendAndHelmoIsToldOnce)
{
    // AO-7 known with an older epoch; the ISS unknown.
    elements::KepDatabase db;
    elements::KepRecord ao7;
    ao7.name = "AO-7";
    ao7.catalogue = 7530;
    ao7.epoch_year = 25;
    ao7.epoch_day = 100.0;
    ao7.mean_motion = 12.5;
    ASSERT_GE(db.add_record(ao7), 0);
    ASSERT_TRUE(db.save(suite / "ORVA.KEP").ok());

    ASSERT_TRUE(store->create_key(kElementSourcesKey).ok());
    ASSERT_TRUE(add_element_source(*store, {"a", "http://127.0.0.1/a.txt", {}, {}, {}}).ok());
    ASSERT_TRUE(add_element_source(*store, {"b", "http://127.0.0.1/b.txt", {}, {}, {}}).ok());
    auto fetch = answers({{"http://127.0.0.1/a.txt", ok(kAo7 + kIss, "\"v1\"")},
                          {"http://127.0.0.1/b.txt", ok(kAo7)}});
    NetworkUpdate run = update_from_network(*store, fetch, {}, notice);
    ASSERT_EQ(run.sources.size(), 2u);
    EXPECT_EQ(run.sources[0].line, "a: http://127.0.0.1/a.txt: 2 sets: 1 updated, 0 added, 1 not in the database");
    EXPECT_EQ(run.sources[0].set_lines, std::vector<std::string>{"OSCAR 7 (AO-: Keps Updated"});
    EXPECT_EQ(run.sources[1].line, "b: http://127.0.0.1/b.txt: 1 set: 0 updated, 0 added, 1 not newer");
    EXPECT_TRUE(run.changed);
    EXPECT_FALSE(run.failed());
    EXPECT_EQ(notice.posts, 1);
    auto after = elements::KepDatabase::load(suite / "ORVA.KEP");
    ASSERT_TRUE(after.ok());
    EXPECT_EQ(after->slot(0).name, "AO-7"); // the station's own name is kept
    EXPECT_DOUBLE_EQ(after->slot(0).epoch_day, 178.92074625);
    EXPECT_EQ(after->free_slots(), 49);

    // The validators of the merged text go with the next request.
    auto sources = read_element_sources(*store);
    EXPECT_EQ(sources[0].etag, "\"v1\"");
    EXPECT_EQ(sources[0].last_modified, "Tue, 01 Jul 2025 10:00:00 GMT");
    asked.clear();
    platform::HttpResponse unchanged;
    unchanged.status = 304;
    run = update_from_network(*store, answers({{"http://127.0.0.1/a.txt", unchanged}, {"http://127.0.0.1/b.txt", unchanged}}),
                              {}, notice);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].if_none_match, "\"v1\"");
    EXPECT_EQ(run.sources[0].state, SourceState::Unchanged);
    EXPECT_FALSE(run.changed);
    EXPECT_EQ(notice.posts, 1);
}

TEST_F(NetworkRun, ADatabaseThatCannotBeReadStopsTheMergeAndKeepsNoValidators)
{
    std::ofstream(suite / "ORVA.KEP", std::ios::binary) << "not a database";
    const std::string before = kep();
    ASSERT_TRUE(store->create_key(kElementSourcesKey).ok());
    ASSERT_TRUE(add_element_source(*store, {"a", "http://127.0.0.1/a.txt", {}, {}, {}}).ok());
    NetworkUpdate run = update_from_network(*store, answers({{"http://127.0.0.1/a.txt", ok(kAo7, "\"v1\"")}}), {}, notice);
    ASSERT_EQ(run.sources.size(), 1u);
    EXPECT_EQ(run.sources[0].state, SourceState::Failed);
    EXPECT_NE(run.sources[0].line.find("a: http://127.0.0.1/a.txt: the element database: "), std::string::npos)
        << run.sources[0].line;
    EXPECT_EQ(kep(), before);
    EXPECT_EQ(read_element_sources(*store)[0].etag, "");
    EXPECT_EQ(notice.posts, 0);
}

} // namespace
