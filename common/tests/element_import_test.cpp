#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/element_import/element_import.h"
#include "common/element_import/import_file.h"

#include <filesystem>

using namespace orva::station;
using orva::elements::KepDatabase;
using orva::elements::KepRecord;

namespace {
std::string file_text(const std::string& name)
{
    std::ifstream in(std::string(ORVA_SOURCE_DIR) + "/station/tests/data/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

const char* kAo7 =
    "OSCAR 7 (AO-7)          \n"
    "1 07530U 74089B   25178.92074625 -.00000043  00000+0  22495-4 0  9994\n"
    "2 07530 101.9927 183.3801 0012658  87.3237 339.0794 12.53689854316121\n";
const char* kIss =
    "ISS (ZARYA)             \r\n"
    "1 25544U 98067A   25179.15776912  .00006109  00000+0  11381-3 0  9994\r\n"
    "2 25544  51.6349 252.7052 0002263 302.4301  57.6469 15.50279857516861\r\n";

// Renews the check digit of a two-line element line.
std::string with_checksum(std::string line)
{
    int sum = 0;
    for (std::size_t i = 0; i < 68; ++i)
        sum += (line[i] >= '0' && line[i] <= '9') ? line[i] - '0' : (line[i] == '-' ? 1 : 0);
    line[68] = char('0' + sum % 10);
    return line;
}

std::string amsat_set(const std::string& name, const std::string& catalogue, const std::string& epoch)
{
    return "Satellite: " + name + "\n" + "Catalog number: " + catalogue + "\n" + "Epoch time:      " + epoch +
           "\n" + "Element set:     999\n" + "Inclination:       101.9927 deg\n" + "RA of node:        183.3801 deg\n" +
           "Eccentricity:     0.0012658\n" + "Arg of perigee:     87.3237 deg\n" +
           "Mean anomaly:      339.0794 deg\n" + "Mean motion:    12.53689854 rev/day\n" +
           "Decay rate:      -4.3e-07 rev/day^2\n" + "Epoch rev:          31612\n" + "Checksum:           319\n";
}
} // namespace

TEST(NasaImport, ReadsEveryFieldByColumn)
{
    ParsedText p = parse_nasa(kAo7);
    ASSERT_EQ(p.sets.size(), 1u);
    const KepRecord& r = p.sets[0].record;
    EXPECT_TRUE(p.sets[0].rejected.empty());
    EXPECT_EQ(r.name, "OSCAR 7 (AO-");
    EXPECT_EQ(r.catalogue, 7530);
    EXPECT_EQ(r.epoch_year, 25);
    EXPECT_DOUBLE_EQ(r.epoch_day, 178.92074625);
    EXPECT_DOUBLE_EQ(r.decay, -0.00000043);
    EXPECT_EQ(r.element_set, 999);
    EXPECT_DOUBLE_EQ(r.inclination, 101.9927);
    EXPECT_DOUBLE_EQ(r.raan, 183.3801);
    EXPECT_DOUBLE_EQ(r.eccentricity, 0.0012658);
    EXPECT_DOUBLE_EQ(r.arg_perigee, 87.3237);
    EXPECT_DOUBLE_EQ(r.mean_anomaly, 339.0794);
    EXPECT_DOUBLE_EQ(r.mean_motion, 12.53689854);
    EXPECT_EQ(r.epoch_rev, 31612);
    EXPECT_EQ(r.blon, 9999);
}

TEST(NasaImport, TheRealFileParsesWholeAndCarriageReturnsEndLines)
{
    ParsedText p = parse_nasa(file_text("elements-2025-178.txt"));
    EXPECT_EQ(p.good(), 20);
    ParsedText crlf = parse_nasa(kIss);
    ASSERT_EQ(crlf.good(), 1);
    EXPECT_EQ(crlf.sets[0].record.name, "ISS (ZARYA)");
}

TEST(NasaImport, HeaderLinesAndMissingLinesDoNotLoseNeighbouringSets)
{
    std::string text = std::string("Current elements for the amateur satellites\n\n") + kAo7;
    ParsedText p = parse_nasa(text);
    ASSERT_EQ(p.good(), 1);
    EXPECT_EQ(p.sets[0].record.catalogue, 7530);

    // Line 2 missing: that set is refused and the following one is still read.
    std::string ao7(kAo7);
    std::string broken = ao7.substr(0, ao7.rfind("2 07530"));
    p = parse_nasa(broken + kIss);
    ASSERT_EQ(p.sets.size(), 2u);
    EXPECT_EQ(p.sets[0].rejected, "line 2 missing");
    EXPECT_TRUE(p.sets[1].rejected.empty());
    EXPECT_EQ(p.sets[1].record.catalogue, 25544);
}

TEST(NasaImport, BadInputIsRefusedWithItsReason)
{
    std::string ao7(kAo7);
    auto refused = [](const std::string& text) {
        ParsedText p = parse_nasa(text);
        return p.sets.size() == 1 ? p.sets[0].rejected : std::string("sets: ") + std::to_string(p.sets.size());
    };
    std::string bad_sum = ao7;
    bad_sum[bad_sum.find("9994")] = '8';
    EXPECT_EQ(refused(bad_sum), "bad checksum");

    std::string truncated = ao7;
    truncated.erase(truncated.rfind("6121") + 2, 2);
    EXPECT_EQ(refused(truncated), "truncated line");

    std::string l2 = "2 07530 101.9927 183.3801 0012658  87.3237 339.0794 12.5368x854316121";
    EXPECT_EQ(refused("AO-7\n1 07530U 74089B   25178.92074625 -.00000043  00000+0  22495-4 0  9994\n" +
                      with_checksum(l2) + "\n"),
              "field not numeric");

    std::string zero_mm = with_checksum("2 07530 101.9927 183.3801 0012658  87.3237 339.0794  0.00000000316121");
    EXPECT_EQ(refused("AO-7\n1 07530U 74089B   25178.92074625 -.00000043  00000+0  22495-4 0  9994\n" + zero_mm + "\n"),
              "mean motion 0 or below");

    std::string other = with_checksum("2 07531 101.9927 183.3801 0012658  87.3237 339.0794 12.53689854316121");
    EXPECT_EQ(refused("AO-7\n1 07530U 74089B   25178.92074625 -.00000043  00000+0  22495-4 0  9994\n" + other + "\n"),
              "lines 1 and 2 are of different satellites");

    EXPECT_TRUE(parse_nasa("").sets.empty());
    std::string binary(300, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 37);
    EXPECT_EQ(parse_nasa(binary).good(), 0);
}

TEST(NasaImport, TwoDigitYearsEitherSideOfTheFiftyPivot)
{
    std::string l1_49 = with_checksum("1 07530U 74089B   49178.92074625 -.00000043  00000+0  22495-4 0  9990");
    std::string l1_50 = with_checksum("1 07530U 74089B   50178.92074625 -.00000043  00000+0  22495-4 0  9990");
    std::string l2 = "2 07530 101.9927 183.3801 0012658  87.3237 339.0794 12.53689854316121";
    KepDatabase db;
    merge_sets(db, parse_nasa("AO-7\n" + l1_50 + "\n" + l2 + "\n"), {});
    ImportResult r = merge_sets(db, parse_nasa("AO-7\n" + l1_49 + "\n" + l2 + "\n"), {});
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0].text, "AO-7: Keps Updated"); // 2049 after 1950
    EXPECT_EQ(db.slot(0).epoch_year, 49);
}

TEST(ElementMerge, AddsUpdatesAndRefusesOlderSets)
{
    KepDatabase db;
    ImportResult first = merge_sets(db, parse_nasa(kAo7), {});
    EXPECT_EQ(result_lines(first), std::vector<std::string>{"OSCAR 7 (AO-: Added to database"});
    db.slot(0).name = "AO-7";
    db.slot(0).beacon_mhz = 145.9775;
    db.slot(0).mode_schedule = "000B";

    ImportResult again = merge_sets(db, parse_nasa(kAo7), {});
    EXPECT_EQ(again.lines[0].text, "OSCAR 7 (AO-: Old Keps - Not Updated");
    EXPECT_FALSE(again.changed());

    std::string newer = std::string(kAo7);
    std::string l1 = with_checksum("1 07530U 74089B   25180.00000000 -.00000043  00000+0  22495-4 0  9990");
    newer.replace(newer.find("1 07530U"), 69, l1);
    ImportResult upd = merge_sets(db, parse_nasa(newer), {});
    EXPECT_EQ(upd.lines[0].text, "OSCAR 7 (AO-: Keps Updated");
    EXPECT_TRUE(upd.changed());
    EXPECT_EQ(db.slot(0).name, "AO-7");
    EXPECT_EQ(db.slot(0).beacon_mhz, 145.9775);
    EXPECT_EQ(db.slot(0).mode_schedule, "000B");
    EXPECT_EQ(db.slot(0).epoch_day, 180.0);

    EXPECT_EQ(result_lines(merge_sets(db, parse_nasa("nothing here\n"), {})),
              std::vector<std::string>{"No Satellites Found!"});
}

TEST(ElementMerge, AFullDatabaseNeverReportsAdded)
{
    KepDatabase db;
    for (int i = 0; i < 50; ++i) {
        KepRecord r;
        r.name = "S" + std::to_string(i);
        r.catalogue = std::uint16_t(100 + i);
        db.add_record(r);
    }
    auto before = db.to_bytes();
    ImportResult r = merge_sets(db, parse_nasa(kAo7), {});
    EXPECT_EQ(r.lines[0].outcome, MergeOutcome::Full);
    EXPECT_EQ(r.lines[0].text, "OSCAR 7 (AO-: Database full - Not Added");
    EXPECT_FALSE(r.changed());
    EXPECT_EQ(db.to_bytes(), before);
}

TEST(ElementMerge, ANumberAbove65535NeverTakesAnotherSatellitesSlot)
{
    KepDatabase db;
    KepRecord uo22;
    uo22.name = "UO-22";
    uo22.catalogue = 21575;
    uo22.epoch_year = 99;
    db.add_record(uo22);
    std::string l1 = with_checksum("1 87111U 24001A   25180.00000000  .00000000  00000+0  00000+0 0  9990");
    std::string l2 = with_checksum("2 87111  97.5000 100.0000 0010000  90.0000 270.0000 15.00000000 10000");
    ParsedText p = parse_nasa("NEWSAT\n" + l1 + "\n" + l2 + "\n");
    ASSERT_EQ(p.good(), 1);
    EXPECT_TRUE(p.sets[0].catalogue_truncated());
    EXPECT_EQ(p.sets[0].record.catalogue, 21575);
    ImportResult r = merge_sets(db, p, {});
    EXPECT_EQ(r.lines[0].text, "NEWSAT: Added to database (catalogue number 87111 truncated to 21575)");
    EXPECT_EQ(r.truncated, 1);
    EXPECT_EQ(db.slot(0).name, "UO-22");
    EXPECT_EQ(db.slot(0).epoch_year, 99); // untouched
    EXPECT_EQ(db.slot(1).name, "NEWSAT");
    // A later set of the same satellite updates its own slot, found by number and name.
    std::string l1b = with_checksum("1 87111U 24001A   25181.00000000  .00000000  00000+0  00000+0 0  9990");
    ImportResult again = merge_sets(db, parse_nasa("NEWSAT\n" + l1b + "\n" + l2 + "\n"), {});
    EXPECT_EQ(again.lines[0].outcome, MergeOutcome::Updated);
    EXPECT_EQ(db.slot(1).epoch_day, 181.0);
    EXPECT_EQ(db.slot(0).epoch_year, 99);

    // Alpha-5 numbers (a letter for the ten-thousands) read as their full value.
    std::string a1 = with_checksum("1 A0001U 24001A   25180.00000000  .00000000  00000+0  00000+0 0  9990");
    std::string a2 = with_checksum("2 A0001  97.5000 100.0000 0010000  90.0000 270.0000 15.00000000 10000");
    ParsedText alpha = parse_nasa("ALPHA\n" + a1 + "\n" + a2 + "\n");
    ASSERT_EQ(alpha.good(), 1);
    EXPECT_EQ(alpha.sets[0].full_catalogue, 100001u);
}

TEST(ElementMerge, WithoutAppendingNewSatellitesAreLeftOut)
{
    KepDatabase db;
    ImportResult r = merge_sets(db, parse_nasa(kAo7), MergeRules{false});
    EXPECT_EQ(r.lines[0].outcome, MergeOutcome::NotAppended);
    EXPECT_EQ(db.free_slots(), 50);
}

TEST(AmsatImport, ReadsLabelledValuesAndSetsWithoutBlankLines)
{
    std::string text = "Some header\n" + amsat_set("AO-07", "07530", "25178.92074625") +
                       amsat_set("FO-29", "24278", "25179.5").substr(0) + "\n";
    // Second set without a Checksum line, directly followed by a third.
    std::string third = amsat_set("XW-2A", "40903", "25100.25");
    third = third.substr(0, third.find("Checksum:"));
    text += third + amsat_set("LAST", "12345", "25001.0");
    ParsedText p = parse_amsat(text);
    ASSERT_EQ(p.sets.size(), 4u);
    const KepRecord& r = p.sets[0].record;
    EXPECT_TRUE(p.sets[0].rejected.empty());
    EXPECT_EQ(r.name, "AO-07");
    EXPECT_EQ(r.catalogue, 7530);
    EXPECT_EQ(r.epoch_year, 25);
    EXPECT_NEAR(r.epoch_day, 178.92074625, 1e-9);
    EXPECT_EQ(r.element_set, 999);
    EXPECT_DOUBLE_EQ(r.mean_motion, 12.53689854);
    EXPECT_DOUBLE_EQ(r.decay, -4.3e-07);
    EXPECT_EQ(r.epoch_rev, 31612);
    EXPECT_EQ(p.sets[2].record.catalogue, 40903);
    EXPECT_EQ(p.sets[3].record.name, "LAST");
    EXPECT_EQ(p.good(), 4);
}

TEST(AmsatImport, BadValuesAndMissingNumbersAreRefused)
{
    std::string bad = amsat_set("AO-07", "07530", "25178.92074625");
    bad.replace(bad.find("12.53689854"), 11, "twelve");
    EXPECT_EQ(parse_amsat(bad).sets[0].rejected, "field not numeric");
    std::string nocat = amsat_set("AO-07", "07530", "25178.9");
    nocat.erase(nocat.find("Catalog number:"), nocat.find("Epoch time:") - nocat.find("Catalog number:"));
    EXPECT_EQ(parse_amsat(nocat).sets[0].rejected, "no catalogue number");
    std::string ecc = amsat_set("AO-07", "07530", "25178.9");
    ecc.replace(ecc.find("0.0012658"), 9, "1.5000000");
    EXPECT_EQ(parse_amsat(ecc).sets[0].rejected, "eccentricity outside [0, 1)");
    EXPECT_EQ(parse_amsat(amsat_set("", "07530", "25178.9")).sets[0].rejected, "no satellite name");
    EXPECT_TRUE(parse_amsat("").sets.empty());
}

TEST(ElementMerge, ASetWithoutANameIsRefusedSinceItWouldLookLikeAFreeSlot)
{
    std::string text = std::string(1, '\0') + "AO-7\n" + std::string(kAo7).substr(std::string(kAo7).find('\n') + 1);
    ParsedText p = parse_nasa(text);
    ASSERT_EQ(p.sets.size(), 1u);
    EXPECT_EQ(p.sets[0].record.name, "");
    KepDatabase db;
    ImportResult r = merge_sets(db, p, {});
    EXPECT_EQ(r.rejected, 1);
    EXPECT_EQ(r.lines[0].text, ": no satellite name - Not Updated");
    EXPECT_EQ(db.free_slots(), 50);
}

TEST(ImportFile, MergesTheRealFileAndRefusesAnUnreadableOne)
{
    char tmpl[] = "/tmp/orva-import-XXXXXX";
    std::filesystem::path dir = ::mkdtemp(tmpl);
    std::filesystem::path db = dir / "Orva.KEP";
    std::string text = std::string(ORVA_SOURCE_DIR) + "/station/tests/data/elements-2025-178.txt";
    auto r = import_elements_file(db, text, ElementFormat::Nasa);
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_EQ(r->added, 20);
    auto again = import_elements_file(db, text, ElementFormat::Nasa);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->old, 20);
    for (const auto& l : again->lines)
        EXPECT_NE(l.text.find(": Old Keps - Not Updated"), std::string::npos) << l.text;
    auto missing = import_elements_file(db, dir / "none.txt", ElementFormat::Nasa);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "Keps file unable to be opened");
    auto loaded = KepDatabase::load(db);
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded->free_slots(), 30);
    std::filesystem::remove_all(dir);
}
