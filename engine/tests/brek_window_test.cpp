// Brek's window over a real session: an in-process simulated satellite feeds it broadcast
// frames through the TNC byte path, the window's boxes are driven as an operator would, and the
// store's satellite values are compared byte for byte afterwards.
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "engine/directory/status_codes.h"
#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"
#include "engine/session/brek_session.h"
#include "engine/tests/reception_test_util.h"
#include "engine/window/brek_window.h"
#include "engine/window/download_table_view.h"
#include "engine/window/pass_boxes.h"
#include "engine/window/pass_time_bar.h"
#include "engine/window/settings_boxes.h"
#include "engine/window/status_list_view.h"
#include "engine/window/window_placement.h"
#include "platform/dbus/session_bus.h"
#include "platform/store/store.h"
#include "cli/satsim/satellite.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QMessageBox>
#include <QSpinBox>

#include <strings.h>

namespace orva::engine {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

struct NoClock final : SystemClockSetter {
    Status set_utc(std::chrono::system_clock::time_point) override { return make_error("not permitted"); }
};

// The session's outside world: a manual clock, the store's satellites, and the TNC bytes kept
// for the simulated satellite.
struct StoreHost final : SessionHost, KissSink {
    explicit StoreHost(platform::Store& s) : store(s) {}
    platform::Store& store;
    std::uint64_t now = 1'700'000'000'000ull;
    std::string title;
    NoClock clock;
    KissDecoder decoder;
    std::vector<Bytes> uplink; // AX.25 frames the station sent

    std::uint64_t now_ms() override { return now; }
    Status open_tnc(const settings::SatelliteRecord&) override { return {}; }
    void write_tnc(std::span<const std::uint8_t> b) override { decoder.feed(b, *this); }
    void on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> frame) override
    {
        if (port == 0)
            uplink.emplace_back(frame.begin(), frame.end());
    }
    void close_tnc() override {}
    // Null: no other program's windows exist; set: the session bus's.
    platform::Messenger* messenger = nullptr;
    bool window_exists(const platform::WindowAddress& to) override { return messenger && messenger->exists(to); }
    Status post_message(const platform::WindowAddress& to, const platform::WindowMessage& m) override
    {
        return messenger ? messenger->post(to, m) : Status{};
    }
    void set_title(const std::string& t) override { title = t; }
    Status launch(const std::vector<std::string>&, platform::ShowMode, const fs::path&) override { return {}; }
    std::optional<settings::SatelliteRecord> find_satellite(const std::string& name) override
    {
        auto r = settings::read_satellite(store, name, settings::Program::Brek);
        if (!r)
            return std::nullopt;
        return *r;
    }
    std::vector<settings::SatelliteRecord> satellites() override
    {
        std::vector<settings::SatelliteRecord> all;
        for (const auto& name : settings::list_satellites(store))
            if (auto r = find_satellite(name))
                all.push_back(*r);
        return all;
    }
    SystemClockSetter& clock_setter() override { return clock; }
};

std::vector<platform::Value> snapshot(const platform::Store& store)
{
    std::vector<platform::Value> all;
    for (const auto& sat : store.subkeys(settings::keys::satellites)) {
        const auto v = store.values(platform::join_key_path(settings::keys::satellites, sat));
        all.insert(all.end(), v.begin(), v.end());
    }
    return all;
}

bool same(const std::vector<platform::Value>& a, const std::vector<platform::Value>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data)
            return false;
    return true;
}

template <class T> T* box_of(QWidget* parent)
{
    for (T* b : parent->findChildren<T*>())
        if (b->isVisible())
            return b;
    return nullptr;
}

class BrekWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("ORVA_STORE", (root / "store.db").c_str(), 1);
        auto s = platform::Store::open(root / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s) << s.error().message;
        store.emplace(std::move(*s));
        add_satellite("AO-16", settings::SatelliteType::PacSat);
        add_satellite("UO-22", settings::SatelliteType::PacSat);
        add_satellite("AO-40", settings::SatelliteType::Analogue);
        host.emplace(*store);
        config.station.callsign = "G0ABC";
        config.general.orva_directory = root.path().string();
        config.seed = 11;
        before = snapshot(*store);
    }
    void add_satellite(const std::string& name, settings::SatelliteType type)
    {
        auto rec = settings::new_satellite(name, type, root.path().string());
        rec.satellite_directory = (root / name).string();
        fs::create_directories(rec.satellite_directory);
        rec.bbs_callsign = "PACSAT-12";
        rec.bdcst_callsign = "PACSAT-11";
        rec.run_dispo = 0;
        rec.proc_threshold = 0;
        auto key = settings::create_satellite_key(*store, name);
        ASSERT_TRUE(key);
        ASSERT_TRUE(settings::write_satellite(*store, *key, rec));
    }
    // Files of the simulated satellite, bodies of a pattern.
    void serve(std::size_t count, std::size_t size)
    {
        std::vector<satsim::ServedFile> files;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t fn = 0x200 + std::uint32_t(i);
            auto h = test::header_for(fn, "Window test " + std::to_string(i), "ALL", "W1AW");
            h.upload_time = std::uint32_t(host->now / 1000) - 3600 + std::uint32_t(i) * 60;
            Bytes body(size);
            for (std::size_t b = 0; b < size; ++b)
                body[b] = std::uint8_t((b * 7 + i) & 0xFF);
            satsim::ServedFile f;
            f.file_number = fn;
            f.upload_time = *h.upload_time;
            f.bytes = pfh::build_pfh_file(h, body);
            f.header_length = f.bytes.size() - size;
            files.push_back(std::move(f));
        }
        satsim::assign_ranges(files);
        satsim::SatelliteConfig c;
        c.bytes_per_second = 2400;
        c.epoch = std::uint32_t(host->now / 1000);
        t0 = host->now;
        satellite.emplace(c, std::move(files));
    }
    // Runs the pass `ms` further in steps of 50 ms: downlink frames in, uplink frames out.
    void run(std::uint64_t ms)
    {
        const std::uint64_t end = host->now + ms;
        while (host->now < end) {
            host->now += 50;
            if (satellite) {
                for (const auto& f : satellite->poll(host->now - t0))
                    session->feed_tnc(encode_kiss_frame(f, 0, false));
                for (const auto& f : host->uplink)
                    satellite->on_uplink_frame(f, host->now - t0);
                host->uplink.clear();
            }
            session->poll();
            QCoreApplication::processEvents();
        }
    }
    template <class F> bool run_until(F done, std::uint64_t limit_ms)
    {
        for (std::uint64_t t = 0; t < limit_ms && !done(); t += 500)
            run(500);
        return done();
    }
    void open(const std::string& sat = "AO-16")
    {
        session.emplace(config, *host);
        window = std::make_unique<BrekWindow>(*session, &*store);
        window->show_placed();
        session->start(sat);
    }
    void TearDown() override
    {
        window.reset();
        session.reset();
        // Whatever the boxes did, the satellites' own values are as they were.
        if (store) {
            EXPECT_TRUE(same(before, snapshot(*store)));
        }
    }

    test::TempFolder root;
    std::optional<platform::Store> store;
    std::optional<StoreHost> host;
    SessionConfig config;
    std::optional<BrekSession> session;
    std::unique_ptr<BrekWindow> window;
    std::optional<satsim::Satellite> satellite;
    std::uint64_t t0 = 0;
    std::vector<platform::Value> before;
};

// Pixels of the widget close to a colour: the strokes of its text.
int pixels_like(const QImage& image, QColor want)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40 &&
                std::abs(c.blue() - want.blue()) < 40)
                ++n;
        }
    return n;
}

TEST_F(BrekWindowTest, StatusListShowsEachColourNewestAtTheBottom)
{
    open("NOSUCH");
    EXPECT_EQ(window->windowTitle(), "Brek");
    EXPECT_EQ(window->objectName(), "Brek:MAIN");
    const std::pair<const char*, LineColour> lines[] = {{"Information line", LineColour::Black},
                                                        {"Error line", LineColour::Red},
                                                        {"Success line", LineColour::Blue},
                                                        {"Refused line", LineColour::DarkRed},
                                                        {"Wanted file line", LineColour::Green}};
    QFont big = window->status_list()->font();
    big.setPointSize(18);
    big.setBold(true);
    window->apply_font(big);
    for (const auto& [text, colour] : lines)
        session->post(text, colour);
    const auto& shown = window->status_list()->lines();
    ASSERT_GE(shown.size(), 5u);
    EXPECT_EQ(shown.back().text, "Wanted file line");
    EXPECT_EQ(shown.back().colour, LineColour::Green);
    StatusListView* list = window->status_list();
    list->resize(600, 400);
    // The bottom row is the newest line.
    EXPECT_EQ(list->line_at(QPoint(10, list->height() - 6)), int(shown.size()) - 1);
    const QImage image = list->grab().toImage();
    for (LineColour c : {LineColour::Black, LineColour::Red, LineColour::Blue, LineColour::DarkRed, LineColour::Green})
        EXPECT_GT(pixels_like(image, colour_of(c)), 20) << int(c);
    // The ring keeps the last twenty.
    for (int i = 0; i < 30; ++i)
        session->post("line " + std::to_string(i), LineColour::Black);
    EXPECT_EQ(window->status_list()->lines().size(), kStatusLines);
    EXPECT_EQ(window->status_list()->lines().back().text, "line 29");
}

TEST_F(BrekWindowTest, ListenOnlyAndPassEndChangeWhatTheWindowShows)
{
    open();
    EXPECT_EQ(window->windowTitle(), "Brek [AO-16]");
    EXPECT_EQ(window->pass_time_bar()->text(), "Pass end not known");
    window->float_menu(0);
    EXPECT_TRUE(window->findChild<QAction*>("broadcasts_enabled")->isChecked());

    session->on_window_message({kMsgListenOnly, 1, 0});
    const auto& shown = window->status_list()->lines();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().text, "Pass will listen only");
    EXPECT_EQ(shown.back().colour, LineColour::Red);
    window->float_menu(0);
    EXPECT_FALSE(window->findChild<QAction*>("broadcasts_enabled")->isChecked());
    EXPECT_FALSE(window->findChild<QAction*>("uploading_enabled")->isChecked());

    const auto now_s = std::int64_t(host->now / 1000);
    session->on_window_message({kMsgPassEnd, 0, std::int32_t(now_s + 300)});
    run(1000);
    const QString text = window->pass_time_bar()->text();
    EXPECT_TRUE(text.startsWith("Pass ends in 4:") || text == "Pass ends in 5:00") << text.toStdString();
    run(300'000);
    EXPECT_EQ(window->pass_time_bar()->text(), "Pass ended");
    EXPECT_EQ(window->pass_time_bar()->permille(), 1000);
}

TEST_F(BrekWindowTest, SettingsBoxesChangeTheSessionOnly)
{
    open();
    window->open_general_options();
    auto* general = box_of<GeneralOptionsBox>(window.get());
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->windowTitle(), "Brek General Setup Options");
    general->inactivity->setText("15");
    general->up_to_date->setText("0");
    general->threshold->setText("2500");
    general->grab_all->setChecked(!general->grab_all->isChecked());
    const bool grab = general->grab_all->isChecked();
    general->accept();
    EXPECT_EQ(session->general_options().inactivity_timeout_s, 15u * 60);
    EXPECT_EQ(session->general_options().up_to_date_timeout_s, 86400u);
    EXPECT_EQ(session->general_options().proc_threshold, 2500u);
    EXPECT_EQ(session->general_options().grab_all, grab);

    window->open_tnc_settings();
    auto* tnc = box_of<TncSettingsDialog>(window.get());
    ASSERT_NE(tnc, nullptr);
    tnc->tx_delay->setText("3000");
    tnc->tx_tail->setText("40");
    tnc->retry_time->setText("90");
    tnc->packet_length->setText("300");
    tnc->accept();
    EXPECT_EQ(session->tnc_settings().tx_delay_ms, 330u);
    EXPECT_EQ(session->tnc_settings().tx_tail_ms, 40u);
    EXPECT_EQ(session->tnc_settings().retry_time_s, 6u);
    EXPECT_EQ(session->tnc_settings().packet_length, 245u);

    window->open_broadcast_options();
    auto* bc = box_of<BroadcastOptionsBox>(window.get());
    ASSERT_NE(bc, nullptr);
    bc->custom->button(2)->setChecked(true);
    bc->tail->button(3)->setChecked(true);
    bc->dir_priority->setValue(8);
    bc->accept();
    EXPECT_EQ(session->broadcast_options().bdcst_custom, 2);
    EXPECT_EQ(session->broadcast_options().tail_action, 3);
    EXPECT_EQ(session->broadcast_options().dir_priority, 8);

    window->open_change_frequencies();
    auto* freq = box_of<ChangeFrequenciesBox>(window.get());
    ASSERT_NE(freq, nullptr);
    freq->uplink->button(3)->setChecked(true);
    freq->offset->stepBy(3);
    freq->accept();
    EXPECT_EQ(session->frequencies().uplink, 3);
    EXPECT_EQ(session->frequencies().offset_hz, 30);

    window->float_menu(0);
    QAction* uploading = window->findChild<QAction*>("uploading_enabled");
    ASSERT_NE(uploading, nullptr);
    uploading->trigger();
    EXPECT_FALSE(session->temporary_settings().uploading);
    // TearDown compares the store's satellite values.
}

TEST_F(BrekWindowTest, SelectSatelliteListsPacsatsAndSwitchesPass)
{
    open();
    window->open_select_satellite();
    auto* sel = box_of<SelectSatelliteBox>(window.get());
    ASSERT_NE(sel, nullptr);
    QStringList names;
    for (int i = 0; i < sel->list->count(); ++i)
        names << sel->list->item(i)->text();
    EXPECT_TRUE(names.contains("UO-22"));
    EXPECT_FALSE(names.contains("AO-40")); // not a PacSat
    EXPECT_EQ(sel->chosen(), "AO-16");
    sel->list->setCurrentRow(int(names.indexOf("UO-22")));
    sel->accept();
    ASSERT_TRUE(run_until([&] { return session->satellite() == "UO-22" && session->pass_open(); }, 30'000));
    EXPECT_EQ(window->windowTitle(), "Brek [UO-22]");
    EXPECT_FALSE(session->finished());
}

TEST_F(BrekWindowTest, DownloadTableShowsFilesArrivingAndFileInformationNoticesAClosedSlot)
{
    serve(3, 30'000);
    open();
    // Without equations the new entries are only grabbed: ask for them as the Fill box does.
    run(10'000);
    // A double click on a directory line opens its box; Priority makes the file wanted.
    int dir_line = -1;
    const auto& lines = window->status_list()->lines();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (directory_line_file(lines[i]) == 0x202)
            dir_line = int(i);
    ASSERT_GE(dir_line, 0);
    window->open_directory_line(dir_line);
    auto* line_box = box_of<DirectoryLineBox>(window.get());
    ASSERT_NE(line_box, nullptr);
    EXPECT_EQ(line_box->file_number(), 0x202u);
    // The entry's header fills To, From and Title even before the file has a download slot.
    QStringList shown;
    for (const QLabel* l : line_box->findChildren<QLabel*>())
        shown << l->text();
    EXPECT_TRUE(shown.contains("W1AW")) << shown.join('|').toStdString();
    EXPECT_TRUE(shown.contains("Window test 2")) << shown.join('|').toStdString();
    line_box->choice->button(kCodePriority)->setChecked(true);
    line_box->accept();
    const auto wanted = session->fill_candidates();
    EXPECT_NE(std::find(wanted.begin(), wanted.end(), 0x202u), wanted.end());
    for (std::uint32_t fn = 0x200; fn < 0x202; ++fn)
        session->fill_file(fn, false);
    ASSERT_TRUE(run_until([&] { return window->download_table()->file_at(0) != 0; }, 60'000));
    const DownloadRow row = window->download_table()->rows()[0];
    EXPECT_GT(row.received, 0u);
    const std::uint32_t fn = row.file_number;
    auto* cell = window->download_table()->item(0, DownloadTableView::ReceivedColumn);
    EXPECT_TRUE(cell->text().contains(" of ")) << cell->text().toStdString();
    EXPECT_EQ(window->download_table()->item(0, DownloadTableView::FileColumn)->text(),
              QString::number(fn, 16).toUpper());

    window->open_file_information(fn);
    auto* info = box_of<FileInformationBox>(window.get());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->opened().file_number, fn);
    // The file completes while the box is open.
    ASSERT_TRUE(run_until(
        [&] {
            for (const auto& r : session->download_table())
                if (r.file_number == fn)
                    return false;
            return true;
        },
        120'000));
    info->accept();
    auto* m = window->findChild<QMessageBox*>("FileClosed");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->text().toStdString(),
              "The file you are viewing has been closed since you opened this window. No action will be taken\n");
    EXPECT_TRUE(fs::exists(root / "AO-16" / (QString::number(fn, 16).toUpper().toStdString() + ".DL")));
}

TEST_F(BrekWindowTest, FileInformationIsFilledByARunningTesselAndByTheHeadersWithoutIt)
{
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run the tests under dbus-run-session";
    auto messenger = platform::dbus::session_messenger();
    host->messenger = messenger.get();
    serve(1, 30'000);
    open();
    // The engine's window on the bus, as the program registers it: texts go to the session.
    platform::WindowHandlers brek;
    brek.on_texts = [this](const platform::WindowMessage& m, const std::vector<std::string>& t) {
        session->on_window_texts(m, t);
    };
    auto brek_window = messenger->create_window("Brek:MAIN", "Brek [AO-16]", brek, true);
    ASSERT_TRUE(brek_window) << brek_window.error().message;

    run(10'000);
    session->fill_file(0x200, false);
    ASSERT_TRUE(run_until([&] { return window->download_table()->file_at(0) != 0; }, 60'000));

    auto label_texts = [](QWidget* box) {
        QStringList shown;
        for (const QLabel* l : box->findChildren<QLabel*>())
            shown << l->text();
        return shown;
    };
    // No viewer runs: the box shows what the headers said.
    window->open_file_information(0x200);
    auto* first = box_of<FileInformationBox>(window.get());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(label_texts(first).contains("Window test 0"));
    first->reject();
    QCoreApplication::processEvents();

    // A viewer of this satellite answers 2030 with the fields of its directory entry.
    std::vector<platform::WindowMessage> asked;
    platform::WindowHandlers tessel;
    tessel.on_message = [&](const platform::WindowMessage& m) -> std::int32_t {
        asked.push_back(m);
        if (m.number == kMsgFileInformation)
            (void)messenger->post_texts({"Brek:MAIN", "Brek [AO-16]"}, m,
                                        {"ALL", "W1AW", "From Tessel", "30000", "  0 ASCII text"});
        return 1;
    };
    auto tessel_window = messenger->create_window("Tessel", "Tessel [AO-16]", tessel, true);
    ASSERT_TRUE(tessel_window) << tessel_window.error().message;
    window->open_file_information(0x200);
    auto* second = box_of<FileInformationBox>(window.get());
    ASSERT_NE(second, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!label_texts(second).contains("From Tessel") && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].number, kMsgFileInformation);
    EXPECT_EQ(asked[0].word, second->box_id);
    EXPECT_EQ(asked[0].long_param, 0x200);
    EXPECT_TRUE(label_texts(second).contains("From Tessel"));
    EXPECT_EQ(second->type->text(), "  0 ASCII text");
    // An answer for another box changes nothing.
    session->on_window_texts({kMsgFileInformation, second->box_id + 5, 0x200}, {"x", "x", "Wrong box", "1", "1"});
    EXPECT_FALSE(label_texts(second).contains("Wrong box"));
    second->reject();
    host->messenger = nullptr;
}

TEST_F(BrekWindowTest, UploadStatusBoxShowsTheProgressAndItsDiscButton)
{
    UploadStatusBox box;
    StatusBoxes b;
    b.upload_letter = "U";
    b.bbs_status = "Open: ABCD";
    b.upload = UploadProgress{"800.PUL", 40, 60'000, 90'000, 1200, 75};
    box.show_boxes(b);
    EXPECT_EQ(box.file->text(), "800.PUL");
    EXPECT_EQ(box.percent->text(), "40%");
    EXPECT_EQ(box.bytes->text(), "60000 of 150000 bytes");
    EXPECT_EQ(box.cps->text(), "1200");
    EXPECT_EQ(box.remaining->text(), "1:15");
    EXPECT_TRUE(box.disc->isEnabled());
    int released = 0;
    QObject::connect(&box, &UploadStatusBox::disconnect_requested, [&] { ++released; });
    box.disc->click();
    EXPECT_EQ(released, 1);
    // Link down, and uploads off for a reason: the box says why.
    b.upload_letter.clear();
    b.upload.reset();
    b.uploads_off = "Uploads are off for this pass: the BBS Callsign \"X\" is not a callsign";
    box.show_boxes(b);
    EXPECT_FALSE(box.disc->isEnabled());
    EXPECT_TRUE(box.file->text().isEmpty());
    EXPECT_EQ(box.link->text().toStdString(), b.uploads_off);
    // A queue file held back for its header: the box says which and why.
    EXPECT_TRUE(box.held->text().isEmpty());
    b.upload_held = "OLD.OUT not sent: upload header: byte 40 holds item 0x08 (file type) where item 0x06 "
                    "(last modified time) belongs";
    box.show_boxes(b);
    EXPECT_EQ(box.held->text().toStdString(), b.upload_held);
}

TEST_F(BrekWindowTest, FillFileAndFloatMenu)
{
    serve(2, 4000);
    open();
    window->open_fill_file();
    auto* fill = box_of<FillFileBox>(window.get());
    ASSERT_NE(fill, nullptr);
    fill->file->setEditText("1ab");
    EXPECT_EQ(fill->file_number(), std::optional<std::uint32_t>(0x1AB));
    fill->file->setEditText("");
    EXPECT_FALSE(fill->file_number());
    fill->file->setEditText("201");
    fill->accept();
    run(200);
    bool posted = false;
    for (const auto& l : session->status_lines())
        posted |= l.text == "File 201 set for AUTO download.";
    EXPECT_TRUE(posted);
    EXPECT_NE(window->float_menu(0x201)->findChild<QAction*>("send_fill_request"), nullptr);
    EXPECT_EQ(window->float_menu(0)->findChild<QAction*>("send_fill_request"), nullptr);
}

TEST(WindowPlacement, FallsBackOffScreenAndForSmallSizes)
{
    const ScreenRect screens[] = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    settings::BrekSettings s;
    EXPECT_EQ(main_window_placement(s, screens), (Placement{10, 57, 580, 288}));
    s.x_left = 2000;
    EXPECT_TRUE(main_window_placement(s, screens)); // on the second screen
    s.x_left = 4000;
    EXPECT_FALSE(main_window_placement(s, screens));
    s.x_left = std::uint32_t(-20); // stored as a DWORD
    EXPECT_FALSE(main_window_placement(s, screens));
    s.x_left = 10;
    s.cx_width = 49;
    EXPECT_FALSE(main_window_placement(s, screens));
    s.cx_width = 50;
    s.cy_height = 30;
    EXPECT_FALSE(main_window_placement(s, screens));
    s.cy_height = 50;
    EXPECT_TRUE(main_window_placement(s, screens));
    s.x_left = settings::default_window_position;
    EXPECT_FALSE(main_window_placement(s, screens));

    EXPECT_EQ(box_position(s, BrekBox::Upload, screens), (BoxPosition{10, 10}));
    s.fill_x_left = 5000;
    EXPECT_EQ(box_position(s, BrekBox::Fill, screens), (BoxPosition{0, 0}));
    s.info_y_top = std::uint32_t(-5);
    EXPECT_EQ(box_position(s, BrekBox::Info, screens), (BoxPosition{0, 0}));
    store_box_position(s, BrekBox::Freq, {300, 200});
    EXPECT_EQ(box_position(s, BrekBox::Freq, screens), (BoxPosition{300, 200}));
}

TEST_F(BrekWindowTest, PlacementAndFontAreWrittenBackToBreksSettings)
{
    settings::BrekSettings s = settings::read_brek(*store);
    s.x_left = 100, s.y_top = 120, s.cx_width = 640, s.cy_height = 400, s.reopen = 0;
    ASSERT_TRUE(settings::write_brek(*store, s));
    open();
    const QRect g = window->geometry();
    EXPECT_EQ(g.size(), QSize(640, 400));
    window->open_information();
    auto* info = box_of<InformationBox>(window.get());
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->figures->text().contains("CRC errors: 0"));
    info->move(33, 44);
    info->accept();
    QFont f("Monospace");
    f.setPointSize(15);
    f.setFixedPitch(true);
    window->set_screen_font(f);
    // The font is written at once, before the window goes.
    EXPECT_EQ(settings::read_brek(*store).font_size, 15u);
    EXPECT_EQ(settings::read_brek(*store).font_pitch, 1);
    window->setGeometry(150, 160, 700, 420);
    window->showMaximized();
    window.reset();
    const auto after = settings::read_brek(*store);
    EXPECT_EQ(after.reopen, 1u);
    EXPECT_EQ(after.cx_width, 700u);
    EXPECT_EQ(after.cy_height, 420u);
    EXPECT_EQ(after.info_x_left, 33u);
    EXPECT_EQ(after.info_y_top, 44u);
    // The window's geometry never lands in the satellites' values: TearDown checks.
}

TEST(StatusLines, DirectoryLinesNameTheirFile)
{
    // The session names the entry; the text is never read for it.
    EXPECT_EQ(directory_line_file({"     1A2 g T:ALL        F:W1AW       Hello", LineColour::Green, 0x1A2}), 0x1A2u);
    EXPECT_EQ(directory_line_file({"     1A2 g T:ALL        F:W1AW       Hello", LineColour::Green, 0}), 0u);
    EXPECT_EQ(directory_line_file({"File 201 set for AUTO download.", LineColour::Black, 0}), 0u);
}

TEST(WindowFont, StoredFontRoundTrips)
{
    settings::BrekSettings s;
    const QFont f = font_from(s);
    EXPECT_EQ(f.pointSize(), 12);
    EXPECT_TRUE(f.fixedPitch());
    EXPECT_EQ(f.weight(), QFont::Normal);
    settings::BrekSettings back;
    QFont g("Sans");
    g.setPointSize(10);
    g.setWeight(QFont::Bold);
    store_font(back, g);
    EXPECT_EQ(back.font_size, 10u);
    EXPECT_EQ(back.font_type, 700u);
    EXPECT_EQ(back.font_name, "Sans");
    s.font_size = 0; // a broken value reads as the default
    EXPECT_EQ(font_from(s).pointSize(), 12);
}

} // namespace
} // namespace orva::engine

int main(int argc, char** argv)
{
    // Test discovery runs this without the presets' environment: the window tests never need a display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
