// Every installed program (the build's list in installed-programs.txt) behaves like a Linux
// command: --help on standard output with 0 and --version with the suite's version, both with no
// display, no store and no session bus; an unknown option ends with 2 and the usage on standard
// error. Its man page in packaging/man names every option and subcommand that --help shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"
#include "platform/version.h"

namespace fs = std::filesystem;
using orva::test_support::ChildResult;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> installed_programs()
{
    std::vector<std::string> out;
    std::ifstream in(fs::path(ORVA_BIN_DIR) / ".." / "installed-programs.txt");
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            out.push_back(line);
    return out;
}

// "orva-look" is shown as "orva look", as the operator types it.
std::string shown_name(const std::string& program)
{
    return program.rfind("orva-", 0) == 0 ? "orva " + program.substr(5) : program;
}

// The names listed under "Subcommands:" in a help text.
std::vector<std::string> subcommands(const std::string& help)
{
    std::vector<std::string> out;
    std::size_t at = help.find("\nSubcommands:\n");
    if (at == std::string::npos)
        return out;
    std::istringstream in(help.substr(at + 14));
    for (std::string line; std::getline(in, line) && !line.empty();) {
        std::size_t start = line.find_first_not_of(' ');
        if (start == 2)
            out.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return out;
}

std::set<std::string> long_options(const std::string& help)
{
    std::set<std::string> out;
    static const std::regex option(R"((^|[\s,])(--[a-z][a-z0-9-]*))");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option); it != std::sregex_iterator(); ++it)
        out.insert((*it)[2]);
    return out;
}

class EveryProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/orva-grammar-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // No DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM or DBUS_SESSION_BUS_ADDRESS; the store and
    // the configuration folder name a folder that does not exist.
    ChildResult run(const std::string& program, std::vector<std::string> args)
    {
        return orva::test_support::run_child((fs::path(ORVA_BIN_DIR) / program).string(), args,
                                             {"HOME=" + dir_.string(), "ORVA_STORE=" + (missing() / "store.db").string(),
                                              "XDG_CONFIG_HOME=" + missing().string(), "LANG=C"});
    }
    fs::path missing() const { return dir_ / "missing"; }

    fs::path dir_;
};

TEST_F(EveryProgram, AnswersHelpAndVersionWithoutADisplayAStoreOrABus)
{
    auto programs = installed_programs();
    ASSERT_GE(programs.size(), 20u) << "installed-programs.txt of the build";
    const std::string version = orva::suite_version_text();
    for (const auto& p : programs) {
        SCOPED_TRACE(p);
        ChildResult help = run(p, {"--help"});
        EXPECT_EQ(help.exit_code(), 0) << help.err;
        EXPECT_NE(help.out.find("Usage: " + shown_name(p)), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "");
        for (const auto& sub : subcommands(help.out)) {
            ChildResult h = run(p, {sub, "--help"});
            EXPECT_EQ(h.exit_code(), 0) << sub << ": " << h.err;
            EXPECT_NE(h.out.find("Usage: " + shown_name(p) + " " + sub), std::string::npos) << h.out;
        }

        ChildResult v = run(p, {"--version"});
        EXPECT_EQ(v.exit_code(), 0) << v.err;
        EXPECT_EQ(v.out, shown_name(p) + " (Orva) " + version + "\n");
        EXPECT_EQ(v.err, "");

        ChildResult bad = run(p, {"--no-such-option"});
        EXPECT_EQ(bad.exit_code(), 2) << bad.out << bad.err;
        EXPECT_EQ(bad.out, "");
        EXPECT_EQ(bad.err.rfind(shown_name(p) + ": ", 0), 0u) << bad.err;
        EXPECT_NE(bad.err.find("Usage: " + shown_name(p)), std::string::npos) << bad.err;
    }
    EXPECT_FALSE(fs::exists(missing())) << "a program created the store's folder";
}

TEST_F(EveryProgram, HasAManPageThatNamesEveryOptionAndSubcommandOfItsHelp)
{
    for (const auto& p : installed_programs()) {
        SCOPED_TRACE(p);
        fs::path page = fs::path(ORVA_SOURCE_DIR) / "packaging/man" / (p + ".1");
        ASSERT_TRUE(fs::exists(page)) << page;
        std::string text = slurp(page);
        // groff writes a literal minus as \-; compare with the plain text.
        std::string plain = std::regex_replace(text, std::regex(R"(\\-)"), "-");
        plain = std::regex_replace(plain, std::regex(R"(\\f[BIRP])"), "");
        EXPECT_NE(plain.find(".TH " + [&] {
            std::string up = p;
            for (char& c : up)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            return up;
        }() + " 1"), std::string::npos);

        std::vector<std::pair<std::string, std::string>> helps{{"", run(p, {"--help"}).out}};
        for (std::size_t i = 0; i < helps.size(); ++i)
            for (const auto& sub : subcommands(helps[i].second)) {
                std::vector<std::string> words;
                std::istringstream in(helps[i].first);
                for (std::string w; in >> w;)
                    words.push_back(w);
                words.push_back(sub);
                std::string path = helps[i].first.empty() ? sub : helps[i].first + " " + sub;
                EXPECT_NE(plain.find(sub), std::string::npos) << "subcommand " << path;
                words.push_back("--help");
                helps.push_back({path, run(p, words).out});
            }
        for (const auto& [path, help] : helps)
            for (const auto& option : long_options(help))
                EXPECT_NE(plain.find(option), std::string::npos) << option << " of " << shown_name(p) << " " << path;
    }
}

} // namespace
