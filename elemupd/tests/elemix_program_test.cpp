// The elemix program itself on a real element file, without a display.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"

using namespace orva;
namespace fs = std::filesystem;

namespace {
std::string run_program(const std::string& command, int& status)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    status = p ? ::pclose(p) : -1;
    return out;
}
} // namespace

TEST(ElemixProgram, UpdatesTheDatabaseFromARealFileAndSaysSoOnStderr)
{
    char tmpl[] = "/tmp/orva-elemix-prog-XXXXXX";
    fs::path dir = ::mkdtemp(tmpl);
    fs::path suite = dir / "suite dir";
    fs::create_directories(suite);
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = suite.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::DispoSettings d;
        d.keps_append = 1;
        ASSERT_TRUE(settings::write_dispo(*store, d).ok());
    }
    fs::path keps = std::string(ORVA_SOURCE_DIR) + "/station/tests/data/elements-2025-178.txt";
    std::string cmd = "ORVA_STORE='" + (dir / "store.db").string() + "' QT_QPA_PLATFORM=offscreen '" +
                      std::string(ORVA_BIN_DIR) + "/elemix' 'F~" + keps.string() + "' K~NASA 2>&1";
    int status = 0;
    std::string out = run_program(cmd, status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    EXPECT_NE(out.find("NOAA 15: Added to database"), std::string::npos) << out;
    EXPECT_NE(out.find("Elemix: Your keps file has been updated from the file elements-2025-178.txt."),
              std::string::npos) << out;
    auto db = elements::KepDatabase::load(suite / "ORVA.KEP");
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db->free_slots(), 30);
    EXPECT_NE(db->find_by_catalogue(25544), -1);

    // The same file again: nothing newer, no message.
    out = run_program(cmd, status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out.find("Your keps file"), std::string::npos) << out;
    EXPECT_NE(out.find("Old Keps - Not Updated"), std::string::npos);
    fs::remove_all(dir);
}
