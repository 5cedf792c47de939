#include "mailproc/tests/dispo_fixture.h"

#include <fstream>
#include <sstream>

#include "common/file_names.h"
#include "common/settings/keys.h"

namespace orva::mailproc::test {

namespace {

const char* const folder_values[][2] = {
    {"Message Directory", "Msg"}, {"My Message Directory", "MyMsg"}, {"BBS Directory", "BBS"},
    {"Binary Directory", "Bin"}, {"Keps Directory", "Keps"}, {"Image Directory", "Images"},
    {"Log Directory", "Logs"}, {"DLX Directory", "DLX"}, {"Unknown Directory", "Unknown"},
};

const char* const sat_key = "SOFTWARE\\Orva\\Satellites\\AO-16";

} // namespace

void DispoFixture::SetUp()
{
    std::string tmpl = (fs::temp_directory_path() / "dispo-test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root = tmpl;
    orva_dir = root / "orva";
    sat_dir = orva_dir / "AO-16";
    fs::create_directories(sat_dir);
    auto opened = platform::Store::open(root / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    store.emplace(std::move(opened.value()));
    ASSERT_TRUE(store->write_string(settings::keys::general, "Orva Directory", orva_dir.string()));
    ASSERT_TRUE(store->write_string_bytes(settings::keys::station, "Callsign", "G4ABC"));
    ASSERT_TRUE(store->write_string(sat_key, "Name", "AO-16"));
    ASSERT_TRUE(store->write_string(sat_key, "Satellite Directory", sat_dir.string()));
    for (const auto& f : folder_values) {
        fs::create_directories(sat_dir / f[1]);
        ASSERT_TRUE(store->write_string(sat_key, f[0], (sat_dir / f[1]).string()));
    }
    ASSERT_TRUE(store->write_integer(settings::keys::dispo, "Add Header", 1));
}

void DispoFixture::TearDown()
{
    std::error_code ec;
    if (!root.empty())
        fs::remove_all(root, ec);
}

fs::path DispoFixture::folder(const std::string& value_name) const
{
    for (const auto& f : folder_values)
        if (value_name == f[0])
            return sat_dir / f[1];
    return sat_dir;
}

void DispoFixture::set_option(const std::string& name, std::uint32_t value)
{
    ASSERT_TRUE(store->write_integer(settings::keys::dispo, name, value));
}

pfh::PfhHeader DispoFixture::header(std::uint32_t number, const std::string& name, const std::string& ext,
    std::uint8_t type)
{
    pfh::PfhHeader h;
    h.file_number = number;
    std::string n = name, e = ext;
    n.resize(8, ' ');
    e.resize(3, ' ');
    h.file_name = n;
    h.file_ext = e;
    h.file_type = type;
    h.source = "w1xyz";
    h.destination = "ALL";
    h.title = "A title";
    h.keywords = "none";
    h.compression_type = 0;
    return h;
}

fs::path DispoFixture::put_download(std::uint32_t number, const std::vector<std::uint8_t>& file)
{
    fs::path p = sat_dir / file_number_name(number, ".DL");
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return p;
}

fs::path DispoFixture::put_download(const pfh::PfhHeader& h, const std::string& body)
{
    return put_download(h.file_number, pfh::build_pfh_file(h, bytes(body)));
}

std::vector<DownloadReport> DispoFixture::run_dispo(const std::string& pattern)
{
    DispoCommand cmd{std::string("AO-16"), pattern};
    Startup s = prepare_run(*store, cmd);
    EXPECT_TRUE(s.config) << s.message;
    if (!s.config)
        return {};
    s.config->limits.time_limit = time_limit;
    s.config->limits.size_limit_bytes = size_limit;
    DispoHost host{runner, poster, sound, [this](const std::string& line) {
        std::lock_guard lock(status_mutex);
        status_lines.push_back(line);
    }};
    DispoRun run(std::move(*s.config), host);
    return run.run();
}

std::vector<std::uint8_t> DispoFixture::real_zip(const std::vector<std::pair<std::string, std::string>>& files)
{
    fs::path work = root / "zip-work";
    fs::remove_all(work);
    fs::create_directories(work);
    std::vector<std::string> argv{"zip", "-q", "-j", "out.zip"};
    for (const auto& [name, data] : files) {
        std::ofstream(work / name, std::ios::binary) << data;
        argv.push_back(name);
    }
    LauncherRunner spawner(TestRunner::launcher());
    RunOutcome r = spawner.run_words(argv, work, RunLimits{});
    EXPECT_EQ(r.end, RunEnd::Exited);
    EXPECT_EQ(r.exit_status, 0);
    std::string z = read(work / "out.zip");
    fs::remove_all(work);
    return {z.begin(), z.end()};
}

std::string DispoFixture::error_log() const { return read(orva_dir / error_log_name); }

std::string DispoFixture::read(const fs::path& p) const
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::map<std::string, std::string> DispoFixture::tree(const fs::path& under)
{
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(under, ec), end; !ec && it != end; it.increment(ec)) {
        auto st = it->symlink_status();
        std::string what = fs::is_symlink(st) ? "link" : fs::is_directory(st) ? "dir"
                                                                               : std::to_string(it->file_size());
        out[fs::relative(it->path(), under).string()] = what;
    }
    return out;
}

std::set<std::string> DispoFixture::names_in(const fs::path& f) const
{
    std::set<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(f, ec), end; !ec && it != end; it.increment(ec))
        out.insert(it->path().filename().string());
    return out;
}

} // namespace orva::mailproc::test
