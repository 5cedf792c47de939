#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include <unistd.h>

#include "platform/launcher.h"

using namespace orva::platform;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using Words = std::vector<std::string>;

// A folder of our "programs" (copies of the test child under the suite's names) and a controlled
// environment.
class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("orva-launch-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "work");
        for (const char* name : {"brek", "tessel", "dispo", "elemix", "quillet", "lectel", "orva", "editor"})
            fs::create_symlink(ORVA_TEST_CHILD, root / "bin" / name);
        out = root / "child.out";
        env["ORVA_TEST_CHILD_OUT"] = out.string();
        env["PATH"] = "/usr/bin:/bin";
        environment.program_dir = root / "bin";
        environment.getenv = [this](const char* name) -> std::optional<std::string> {
            auto it = env.find(name);
            if (it == env.end())
                return std::nullopt;
            return it->second;
        };
        ::setenv("ORVA_TEST_CHILD_OUT", out.c_str(), 1);
        ::unsetenv("ORVA_TEST_CHILD_MODE");
    }
    void TearDown() override { fs::remove_all(root); }

    // The child's working folder, then its argv.
    Words child_saw()
    {
        std::ifstream in(out, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Words words;
        std::string word;
        for (char c : all) {
            if (c == '\0') {
                words.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        return words;
    }

    Words run(std::string_view text, const LaunchOptions& options = {})
    {
        Launcher launcher(environment);
        auto process = launcher.start(text, options);
        EXPECT_TRUE(process) << (process ? "" : process.error().message);
        if (!process)
            return {};
        auto code = process->wait();
        EXPECT_TRUE(code && *code == 0);
        return child_saw();
    }

    fs::path root, out;
    std::map<std::string, std::string> env;
    LaunchEnvironment environment;
};

TEST_F(LauncherTest, SuiteNamesMapToOurProgramsBesideUs)
{
    const std::vector<std::pair<std::string, std::string>> table = {
        {"BREK.EXE", "brek"},       {"TESSEL.EXE", "tessel"},   {"DISPO.EXE", "dispo"},
        {"ELEMIX.EXE", "elemix"},   {"QUILLET.EXE", "quillet"}, {"LECTEL.EXE", "lectel"},
        {"brek.exe", "brek"},       {"Tessel", "tessel"},       {"C:\\STATION\\BREK.EXE", "brek"},
        {"/home/op/orva/DISPO.EXE", "dispo"}, {"orva", "orva"}};
    for (const auto& [dos, ours] : table) {
        auto resolved = resolve_command({dos, "AO-16"}, environment);
        ASSERT_TRUE(resolved) << dos << ": " << resolved.error().message;
        EXPECT_EQ(resolved->executable, root / "bin" / ours) << dos;
        EXPECT_EQ(resolved->argv, (Words{ours, "AO-16"})) << dos;
    }
}

TEST_F(LauncherTest, ExtractorsMapToLinuxTools)
{
    auto unzip = resolve_command({"PKUNZIP.EXE", "-e", "1A2B.ZIP"}, environment);
    ASSERT_TRUE(unzip) << unzip.error().message;
    EXPECT_EQ(unzip->executable.filename(), "unzip");
    EXPECT_EQ(unzip->argv, (Words{"unzip", "-j", "-o", "1A2B.ZIP"}));
    auto lha = resolve_command({"LHA.EXE", "e", "1A2B.LZH"}, environment);
    ASSERT_TRUE(lha) << lha.error().message;
    EXPECT_EQ(lha->argv, (Words{"lha", "e", "1A2B.LZH"}));
    auto arc = resolve_command({"PKUNPAK.EXE", "1A2B.ARC"}, environment);
    ASSERT_TRUE(arc) << arc.error().message;
    EXPECT_EQ(arc->argv, (Words{"nomarch", "1A2B.ARC"}));
}

TEST_F(LauncherTest, NotepadIsVisualThenEditorThenXdgOpen)
{
    const std::string editor = (root / "bin" / "editor").string();
    env["VISUAL"] = editor + " -w";
    env["EDITOR"] = "/nonexistent/ed";
    auto visual = resolve_command({"NOTEPAD.EXE", "/s/Brek Equations.TXT"}, environment);
    ASSERT_TRUE(visual) << visual.error().message;
    EXPECT_EQ(visual->executable, root / "bin" / "editor");
    EXPECT_EQ(visual->argv, (Words{"editor", "-w", "/s/Brek Equations.TXT"}));

    env.erase("VISUAL");
    env["EDITOR"] = editor;
    EXPECT_EQ(resolve_command({"NOTEPAD.EXE", "f"}, environment)->argv, (Words{"editor", "f"}));

    env.erase("EDITOR");
    env["PATH"] = (root / "bin").string(); // no xdg-open there
    auto none = resolve_command({"NOTEPAD.EXE", "f"}, environment);
    ASSERT_FALSE(none);
    EXPECT_NE(none.error().message.find("$VISUAL"), std::string::npos);
    fs::create_symlink(ORVA_TEST_CHILD, root / "bin" / "xdg-open");
    EXPECT_EQ(resolve_command({"NOTEPAD.EXE", "f"}, environment)->argv, (Words{"xdg-open", "f"}));
}

TEST_F(LauncherTest, ArgumentsArriveAsData)
{
    Words saw = run("TESSEL.EXE \"a; rm -rf x\" $(touch pwned) `touch pwned2` *.DL");
    ASSERT_FALSE(saw.empty());
    EXPECT_EQ(Words(saw.begin() + 1, saw.end()),
              (Words{"tessel", "a; rm -rf x", "$(touch", "pwned)", "`touch", "pwned2`", "*.DL"}));

    // Words given one by one keep everything, blanks included.
    Launcher launcher(environment);
    auto process = launcher.start(Words{"BREK.EXE", "a; rm -rf x", "$(touch pwned)", "'q' \"d\""},
                                  LaunchOptions{root / "work"});
    ASSERT_TRUE(process);
    ASSERT_TRUE(process->wait());
    EXPECT_EQ(child_saw(), (Words{(root / "work").string(), "brek", "a; rm -rf x", "$(touch pwned)", "'q' \"d\""}));
    EXPECT_FALSE(fs::exists(root / "work" / "pwned"));
    EXPECT_FALSE(fs::exists(root / "work" / "x"));
}

TEST_F(LauncherTest, DispoCommandOfTheEngine)
{
    Words saw = run("/home/op/orva/DISPO.EXE S~AO-16 F~*.DL", LaunchOptions{root / "work", ShowMode::MinimisedNoActivate});
    EXPECT_EQ(saw, (Words{(root / "work").string(), "dispo", "S~AO-16", "F~*.DL"}));
}

TEST_F(LauncherTest, MissingProgramIsAClearError)
{
    fs::remove(root / "bin" / "brek");
    Launcher launcher(environment);
    auto brek = launcher.start("BREK.EXE AO-16");
    ASSERT_FALSE(brek);
    EXPECT_NE(brek.error().message.find((root / "bin" / "brek").string()), std::string::npos);
    EXPECT_NE(brek.error().message.find("BREK.EXE"), std::string::npos);

    auto other = launcher.start("NOSUCHPROG.EXE x");
    ASSERT_FALSE(other);
    EXPECT_NE(other.error().message.find("NOSUCHPROG.EXE"), std::string::npos);
    EXPECT_FALSE(launcher.start("/no/such/tool"));
    EXPECT_FALSE(launcher.start(""));
    auto folder = launcher.start("TESSEL.EXE", LaunchOptions{root / "missing"});
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().message.find("does not exist"), std::string::npos);
}

TEST_F(LauncherTest, ExitStatusIsReturned)
{
    ::setenv("ORVA_TEST_CHILD_MODE", "exit:7", 1);
    Launcher launcher(environment);
    auto process = launcher.start("ELEMIX.EXE F~x K~NASA", LaunchOptions{{}, ShowMode::Hidden, true});
    ASSERT_TRUE(process);
    auto code = process->wait_for(10s);
    ASSERT_TRUE(code);
    ASSERT_TRUE(code->has_value());
    EXPECT_EQ(**code, 7);
    EXPECT_FALSE(process->running());
    EXPECT_EQ(*process->wait(), 7); // asking again gives the same answer
}

TEST_F(LauncherTest, OverrunningProgramIsKilledAtTheLimit)
{
    ::setenv("ORVA_TEST_CHILD_MODE", "hang", 1);
    Launcher launcher(environment);
    auto process = launcher.start("LECTEL.EXE x");
    ASSERT_TRUE(process);
    EXPECT_TRUE(process->running());
    auto early = process->wait_for(20ms);
    ASSERT_TRUE(early);
    EXPECT_FALSE(early->has_value());
    auto killed = process->wait_or_kill(50ms);
    ASSERT_FALSE(killed);
    EXPECT_NE(killed.error().message.find("was stopped"), std::string::npos);
    EXPECT_FALSE(process->running());
    EXPECT_EQ(::kill(process->pid(), 0), -1); // reaped: no zombie left behind
}

TEST_F(LauncherTest, KilledProgramIsAnErrorNotAnExitCode)
{
    ::setenv("ORVA_TEST_CHILD_MODE", "hang", 1);
    Launcher launcher(environment);
    auto process = launcher.start("QUILLET.EXE S~AO-16");
    ASSERT_TRUE(process);
    process->kill();
    auto code = process->wait();
    ASSERT_FALSE(code);
    EXPECT_NE(code.error().message.find("signal 9"), std::string::npos);
}

TEST_F(LauncherTest, RealUnzipExtractsFlatAndOverwrites)
{
    // Build an archive with a folder inside it using the real zip, then unpack it as the mail
    // processor does.
    fs::create_directories(root / "src" / "inner");
    std::ofstream(root / "src" / "inner" / "MSG.TXT") << "hello\n";
    Launcher launcher(environment);
    auto zip = launcher.start(Words{"zip", "-q", "-r", (root / "work" / "1A2B.ZIP").string(), "inner"},
                              LaunchOptions{root / "src"});
    ASSERT_TRUE(zip) << zip.error().message;
    ASSERT_EQ(*zip->wait(), 0);
    std::ofstream(root / "work" / "MSG.TXT") << "old\n";
    auto unzip = launcher.start("PKUNZIP.EXE -e 1A2B.ZIP", LaunchOptions{root / "work", ShowMode::Hidden, true});
    ASSERT_TRUE(unzip) << unzip.error().message;
    auto code = unzip->wait_or_kill(30s);
    ASSERT_TRUE(code) << code.error().message;
    EXPECT_EQ(*code, 0);
    std::ifstream in(root / "work" / "MSG.TXT");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "hello");
    EXPECT_FALSE(fs::exists(root / "work" / "inner"));
}

} // namespace
