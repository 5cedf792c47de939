// The shared command-line grammar: --help and --version on standard output with 0, usage errors
// with the usage on standard error and 2, tilde words passed through untouched.
#include <gtest/gtest.h>

#include "platform/options/program_options.h"
#include "platform/version.h"

using orva::platform::ProgramOptions;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

struct Outcome {
    std::optional<int> code;
    std::string out, err;
};

Outcome parse(ProgramOptions& p, std::vector<std::string> words)
{
    CaptureStdout();
    CaptureStderr();
    Outcome o;
    o.code = p.parse(std::move(words));
    o.out = GetCapturedStdout();
    o.err = GetCapturedStderr();
    return o;
}

TEST(ProgramOptions, HelpAndVersionGoToStandardOutputAndEndWithZero)
{
    ProgramOptions p("orva look", "Where a satellite is.");
    std::string at, sat;
    p.option("--at", at, "A UTC time", "TIME").positional("SATELLITE", sat, "Its name");
    Outcome help = parse(p, {"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.err.empty());
    EXPECT_NE(help.out.find("Usage: orva look [OPTIONS] SATELLITE"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--at TIME"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;

    ProgramOptions q("orva look", "Where a satellite is.");
    q.positional("SATELLITE", sat, "Its name");
    Outcome version = parse(q, {"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "orva look (Orva) " + orva::suite_version_text() + "\n");
}

TEST(ProgramOptions, UsageErrorsPrintTheUsageOnStandardErrorAndEndWithTwo)
{
    for (std::vector<std::string> words : std::vector<std::vector<std::string>>{
             {"--nonsense"}, {}, {"AO-16", "UO-22"}, {"AO-16", "--loss", "0.7"}, {"AO-16", "--loss", "x"},
             {"AO-16", "--days", "3.5"}}) {
        ProgramOptions p("orva demo", "A demo.");
        std::string sat;
        double loss = 0;
        long days = 1;
        p.positional("SATELLITE", sat, "Its name")
            .option("--loss", loss, "Share lost", "P", 0, 0.5)
            .option("--days", days, "Days", "N", 1, 30);
        Outcome o = parse(p, words);
        EXPECT_EQ(o.code, 2) << words.size();
        EXPECT_TRUE(o.out.empty());
        EXPECT_EQ(o.err.rfind("orva demo: ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find("Usage: orva demo [OPTIONS] SATELLITE"), std::string::npos) << o.err;
    }
    ProgramOptions p("orva demo", "A demo.");
    double loss = 0;
    p.option("--loss", loss, "Share lost", "P", 0, 0.5);
    Outcome o = parse(p, {"--loss", "0.7"});
    EXPECT_NE(o.err.find("0.7 is not from 0 to 0.5"), std::string::npos) << o.err;
    o = parse(p, {"--loss=0.25"});
    EXPECT_EQ(o.code, std::nullopt);
    EXPECT_DOUBLE_EQ(loss, 0.25);
}

TEST(ProgramOptions, TildeWordsAndQtPlatformPassThrough)
{
    ProgramOptions p("dispo", "Files downloads.");
    std::vector<std::string> words, qt;
    p.positionals("ARGUMENT", words, "Tilde arguments").qt_platform(qt);
    Outcome o = parse(p, {"S~AO-16", "-platform", "offscreen", "F~*.DL", "F~C:\\KEPS\\A B.TXT"});
    EXPECT_EQ(o.code, std::nullopt) << o.err;
    EXPECT_EQ(words, (std::vector<std::string>{"S~AO-16", "F~*.DL", "F~C:\\KEPS\\A B.TXT"}));
    EXPECT_EQ(qt, (std::vector<std::string>{"-platform", "offscreen"}));
}

TEST(ProgramOptions, SubcommandsAndCommandWordsKeepTheirOwnArguments)
{
    ProgramOptions p("orva", "The operator's command.");
    std::string command;
    std::vector<std::string> rest;
    p.command_and_arguments(command, rest, "The command");
    Outcome o = parse(p, {"look", "AO-16", "--json", "--help"});
    EXPECT_EQ(o.code, std::nullopt) << o.err;
    EXPECT_EQ(command, "look");
    EXPECT_EQ(rest, (std::vector<std::string>{"AO-16", "--json", "--help"}));
    // The command's own --help, not the dispatcher's.
    o = parse(p, {"sat", "--help"});
    EXPECT_EQ(o.code, std::nullopt) << o.out;
    EXPECT_EQ(command, "sat");
    EXPECT_EQ(rest, (std::vector<std::string>{"--help"}));

    ProgramOptions e("orva elements", "Element sets.");
    e.require_subcommand();
    auto& update = e.subcommand("update", "Fetch.");
    bool force = false;
    update.flag("--force", force, "Whole files");
    auto& list = e.subcommand("list", "List.");
    o = parse(e, {"update", "--force"});
    EXPECT_EQ(o.code, std::nullopt);
    EXPECT_TRUE(update.chosen());
    EXPECT_FALSE(list.chosen());
    EXPECT_TRUE(force);
    EXPECT_TRUE(update.given("--force"));

    ProgramOptions h("orva elements", "Element sets.");
    h.require_subcommand();
    bool f2 = false;
    h.subcommand("update", "Fetch the sources.").flag("--force", f2, "Whole files");
    o = parse(h, {"update", "--help"});
    EXPECT_EQ(o.code, 0);
    EXPECT_NE(o.out.find("Usage: orva elements update [OPTIONS]"), std::string::npos) << o.out;
    ProgramOptions n("orva elements", "Element sets.");
    n.require_subcommand();
    n.subcommand("update", "Fetch the sources.");
    o = parse(n, {});
    EXPECT_EQ(o.code, 2);
    EXPECT_NE(o.err.find("update"), std::string::npos) << o.err;
}

} // namespace
