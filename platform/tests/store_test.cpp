#include "platform/store/store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;
using namespace orva::platform;

namespace {

class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "orva-store-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string sat = "SOFTWARE\\Orva\\Satellites\\AO-16";

} // namespace

TEST(Store, ValuesRoundTripWithExactTypeAndBytes)
{
    TempDir dir;
    auto store = Store::open(dir.path() / "sub" / "store.db", Access::ReadWrite);
    ASSERT_TRUE(store.ok()) << store.error().message;
    EXPECT_FALSE(fs::exists(dir.path() / "sub" / "store.db")) << "created before the first write";

    ASSERT_TRUE(store->write_string(sat, "Name", "AO-16"));
    ASSERT_TRUE(store->write_integer(sat, "Port", 0xDEADBEEF));
    std::vector<std::uint8_t> horizon(48);
    for (std::size_t i = 0; i < horizon.size(); ++i)
        horizon[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(store->write_binary("SOFTWARE\\Orva\\Station", "Horizon", horizon));
    ASSERT_TRUE(store->write_string_bytes(sat, "DSP Mode", "PSK1"));
    ASSERT_TRUE(store->write_binary(sat, "Empty", {}));

    auto name = store->read_value(sat, "name");
    ASSERT_TRUE(name.ok());
    EXPECT_EQ(name->name, "Name");
    EXPECT_EQ(name->type, ValueType::String);
    EXPECT_EQ(name->data, (std::vector<std::uint8_t>{'A', 'O', '-', '1', '6', 0}));
    EXPECT_EQ(store->read_string(sat, "NAME", 13).value(), "AO-16");
    EXPECT_EQ(store->read_integer(sat, "port").value(), 0xDEADBEEFu);
    auto port = store->read_value(sat, "Port");
    EXPECT_EQ(port->data, (std::vector<std::uint8_t>{0xEF, 0xBE, 0xAD, 0xDE}));
    EXPECT_EQ(store->read_binary("SOFTWARE\\Orva\\Station", "Horizon", 48).value(), horizon);
    EXPECT_TRUE(store->read_binary(sat, "Empty", 0).value().empty());

    // Four bytes with no NUL, read through a six-byte buffer, still give the four letters.
    auto dsp = store->read_value(sat, "DSP Mode");
    EXPECT_EQ(dsp->data.size(), 4u);
    EXPECT_EQ(store->read_string(sat, "DSP Mode", 6).value(), "PSK1");

    // A reopened store holds the same bytes.
    auto again = Store::open(dir.path() / "sub" / "store.db", Access::ReadOnly);
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(again->read_value(sat, "DSP Mode")->data, dsp->data);
    EXPECT_FALSE(again->write_integer(sat, "Port", 1)) << "a read-only store accepted a write";
}

TEST(Store, ReadsFailWhereTheReaderMustTakeItsDefault)
{
    TempDir dir;
    auto store = Store::open(dir.path() / "store.db", Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    EXPECT_FALSE(store->read_string(sat, "Name", 13).ok()) << "read from a store with no file";
    EXPECT_FALSE(fs::exists(dir.path() / "store.db")) << "a read created the file";

    ASSERT_TRUE(store->write_string(sat, "Name", "ABCDEFGHIJKL")); // 12 letters + NUL = 13 bytes
    EXPECT_EQ(store->read_string(sat, "Name", 13).value(), "ABCDEFGHIJKL");
    EXPECT_FALSE(store->read_string(sat, "Name", 12).ok()) << "a value longer than the buffer was read";
    // A value that fills the buffer with no NUL is terminated in the buffer's last byte.
    ASSERT_TRUE(store->write_string_bytes(sat, "Callsign", "G0ABCDEFGHI"));
    EXPECT_EQ(store->read_string(sat, "Callsign", 11).value(), "G0ABCDEFGH");
    EXPECT_EQ(store->read_string(sat, "Callsign", 12).value(), "G0ABCDEFGHI");

    ASSERT_TRUE(store->write_binary(sat, "Uplink 1", std::vector<std::uint8_t>(4)));
    EXPECT_FALSE(store->read_binary(sat, "Uplink 1", 8).ok()) << "a 4-byte value read as a double";
    EXPECT_FALSE(store->read_integer(sat, "Name").ok()) << "a string read as an integer";
    EXPECT_FALSE(store->read_string(sat, "Port", 100).ok()) << "a missing value was read";
    EXPECT_FALSE(store->read_integer("SOFTWARE\\Nothing", "Port").ok());
}

TEST(Store, KeysEnumerateInCreationOrderAndCompareWithoutCase)
{
    TempDir dir;
    auto store = Store::open(dir.path() / "store.db", Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    const std::string sats = "SOFTWARE\\Orva\\Satellites";
    for (const char* n : {"UO-22", "AO-16", "KO-25", "LO-19", "IO-26"})
        ASSERT_TRUE(store->create_key(sats + "\\" + n).value());
    EXPECT_FALSE(store->create_key(sats + "\\ao-16").value()) << "existing key reported as created";
    ASSERT_TRUE(store->delete_key(sats + "\\ko-25"));
    ASSERT_TRUE(store->create_key(sats + "\\AA-01").value());
    ASSERT_TRUE(store->write_integer(sats + "\\UO-22", "State", 0));

    std::vector<std::string> seen;
    for (std::uint32_t i = 0;; ++i) {
        auto name = store->enumerate_subkeys(sats, i);
        if (!name)
            break;
        seen.push_back(*name);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"UO-22", "AO-16", "LO-19", "IO-26", "AA-01"}));
    EXPECT_EQ(store->subkeys("software\\orva\\satellites"), seen);
    EXPECT_TRUE(store->key_exists("Software\\ORVA\\Satellites\\uo-22"));

    // Rewriting a value keeps its place and its first spelling.
    ASSERT_TRUE(store->write_integer(sat, "B", 1));
    ASSERT_TRUE(store->write_integer(sat, "A", 2));
    ASSERT_TRUE(store->write_integer(sat, "b", 3));
    auto vals = store->values(sat);
    ASSERT_EQ(vals.size(), 2u);
    EXPECT_EQ(vals[0].name, "B");
    EXPECT_EQ(store->read_integer(sat, "B").value(), 3u);

    // Deleting a key takes its subtree; the root cannot go.
    ASSERT_TRUE(store->create_key(sat + "\\Deep\\Deeper").ok());
    ASSERT_TRUE(store->delete_key(sat));
    EXPECT_FALSE(store->key_exists(sat + "\\Deep"));
    EXPECT_FALSE(store->read_integer(sat, "A").ok());
    EXPECT_FALSE(store->delete_key(""));
    EXPECT_FALSE(store->delete_key(sat)) << "deleting a missing key reported success";
    EXPECT_FALSE(store->create_key("SOFTWARE\\\\Orva").ok()) << "empty path component accepted";
}

TEST(Store, AFileThatIsNotAStoreIsRefusedAndLeftByteIdentical)
{
    TempDir dir;
    std::mt19937 rng(7);
    std::string garbage(8192, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    const fs::path bad = dir.path() / "garbage.db";
    std::ofstream(bad, std::ios::binary) << garbage;

    for (Access access : {Access::ReadWrite, Access::ReadOnly}) {
        auto store = Store::open(bad, access);
        ASSERT_FALSE(store.ok());
        EXPECT_NE(store.error().message.find(bad.string()), std::string::npos) << store.error().message;
    }
    EXPECT_EQ(slurp(bad), garbage);
    EXPECT_FALSE(fs::exists(bad.string() + "-wal"));

    // Another program's SQLite database is not ours either.
    const fs::path other = dir.path() / "other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    std::string before = slurp(other);
    auto store = Store::open(other, Access::ReadWrite);
    EXPECT_FALSE(store.ok());
    EXPECT_EQ(slurp(other), before);

    // A missing remote store is a connection failure.
    EXPECT_FALSE(Store::open(dir.path() / "absent.db", Access::ReadOnly).ok());
}

TEST(Store, DefaultLocationFollowsTheEnvironment)
{
    setenv("ORVA_STORE", "/x/y.db", 1);
    EXPECT_EQ(Store::default_path(), fs::path("/x/y.db"));
    unsetenv("ORVA_STORE");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(Store::default_path(), fs::path("/cfg/orva/store.db"));
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/op", 1);
    EXPECT_EQ(Store::default_path(), fs::path("/home/op/.config/orva/store.db"));
}

// Four programs writing at once, each through its own connection, lose nothing and never see a
// lock error as success.
// Another program holding the write lock for a long while (longer than a write waits) must not
// keep a program from opening the store for writing and reading it: the station's programs open
// it read-write at start and for each event.
TEST(Store, AnExistingStoreOpensForWritingWhileAnotherWriterHoldsTheLock)
{
    TempDir dir;
    const fs::path file = dir.path() / "store.db";
    {
        auto store = Store::open(file, Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        ASSERT_TRUE(store->write_integer(sat, "Priority", 10).ok());
    }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    auto store = Store::open(file, Access::ReadWrite);
    ASSERT_TRUE(store.ok()) << store.error().message;
    auto v = store->read_integer(sat, "Priority");
    ASSERT_TRUE(v.ok()) << v.error().message;
    EXPECT_EQ(*v, 10u);

    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_TRUE(store->write_integer(sat, "Priority", 20).ok());
}

TEST(Store, ConcurrentWritersFromFourProcessesLoseNothing)
{
    TempDir dir;
    const fs::path file = dir.path() / "store.db";
    constexpr int processes = 4;
    constexpr int per_process = 2000;
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto store = Store::open(file, Access::ReadWrite);
            if (!store)
                _exit(10);
            for (int i = 0; i < per_process; ++i) {
                std::string key = "SOFTWARE\\Orva\\Test\\P" + std::to_string(p) + "\\K" + std::to_string(i % 10);
                auto s = store->write_integer(key, "V" + std::to_string(i), static_cast<std::uint32_t>(p * 100000 + i));
                if (!s) {
                    std::fprintf(stderr, "writer %d: %s (%d)\n", p, s.error().message.c_str(), s.error().code);
                    _exit(11);
                }
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a writer saw a failure";
    }
    auto store = Store::open(file, Access::ReadOnly);
    ASSERT_TRUE(store.ok()) << store.error().message;
    for (int p = 0; p < processes; ++p)
        for (int i = 0; i < per_process; ++i) {
            std::string key = "SOFTWARE\\Orva\\Test\\P" + std::to_string(p) + "\\K" + std::to_string(i % 10);
            auto v = store->read_integer(key, "V" + std::to_string(i));
            ASSERT_TRUE(v.ok()) << key << " V" << i << ": " << v.error().message;
            ASSERT_EQ(*v, static_cast<std::uint32_t>(p * 100000 + i));
        }
}
