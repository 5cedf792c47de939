// Tessel's window offscreen over a real satellite directory in a temporary folder: the store is a
// SQLite file, the status table the mapped file the engine shares, window messages and the
// engine's data server travel over the session bus. The operator's answers come from the test.
#include "common/pfh/pfh_builder.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "dirview/app/tessel_window.h"
#include "dirview/app/tests/data_server_thread.h"
#include "dirview/app/window_rules.h"
#include "dirview/status_view.h"
#include "platform/dbus/session_bus.h"
#include "platform/store/store.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <chrono>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace orva::dirview {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;


bool spin_until(const std::function<bool()>& done, std::chrono::seconds limit = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

struct RecordingHost final : TesselHost {
    std::vector<std::vector<std::string>> launched;
    std::vector<fs::path> opened;
    std::vector<std::pair<std::string, std::string>> asked, told;
    bool answer = true;
    Status launch(const std::vector<std::string>& words) override
    {
        launched.push_back(words);
        return {};
    }
    Status open_file(const fs::path& path) override
    {
        opened.push_back(path);
        return {};
    }
    bool confirm(const std::string& caption, const std::string& text, bool) override
    {
        asked.emplace_back(caption, text);
        return answer;
    }
    void inform(const std::string& caption, const std::string& text) override { told.emplace_back(caption, text); }
    std::vector<std::string> help;
    Status open_help(const std::string& section) override
    {
        help.push_back(section);
        return {};
    }
};

struct Header {
    std::uint32_t number;
    std::string to, from, title;
    std::uint8_t type = 0;
    std::uint32_t size = 1000;
    std::string name = "FILE";
    std::string ext = "TXT";
};

std::vector<std::uint8_t> header_bytes(const Header& h)
{
    pfh::PfhHeader p;
    p.file_number = h.number;
    p.file_name = (h.name + "        ").substr(0, 8);
    p.file_ext = (h.ext + "   ").substr(0, 3);
    p.file_size = h.size;
    p.file_type = h.type;
    p.source = h.from;
    p.ax25_uploader = h.from.substr(0, 6);
    p.upload_time = 1'000'000'000u - 3600 + h.number;
    p.download_count = 0;
    p.destination = h.to;
    p.expire_time = 1'000'000'000u + 86400;
    p.compression_type = 0;
    p.title = h.title;
    p.keywords = "TEST";
    return pfh::build_pfh(p);
}

class TesselWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run the tests under dbus-run-session";
        root = fs::temp_directory_path() /
               ("orva-tessel-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        auto s = platform::Store::open(root / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s) << s.error().message;
        store.emplace(std::move(*s));
        settings::GeneralSettings general;
        general.orva_directory = root.string();
        ASSERT_TRUE(settings::write_general(*store, general));
        settings::StationSettings station;
        station.callsign = "G0ABC";
        ASSERT_TRUE(settings::write_station(*store, station));
        auto rec = settings::new_satellite("AO-16", settings::SatelliteType::PacSat, root.string());
        rec.satellite_directory = (root / "AO-16").string();
        auto key = settings::create_satellite_key(*store, "AO-16");
        ASSERT_TRUE(key);
        auto written = settings::write_satellite(*store, *key, rec);
        ASSERT_TRUE(written);
        auto back = settings::read_satellite(*store, "AO-16", settings::Program::Tessel);
        ASSERT_TRUE(back);
        sat = back->satellite_directory;
        messages = back->message_directory;
        fs::create_directories(sat);
        fs::create_directories(messages);
    }
    void TearDown() override
    {
        window.reset();
        store.reset();
        fs::remove_all(root);
    }

    void write_directory(const std::vector<Header>& headers, int number = 0)
    {
        std::ofstream out(sat / ("Brek" + std::string(4 - std::to_string(number).size(), '0') + std::to_string(number) + ".PFH"),
                          std::ios::binary | std::ios::app);
        for (const auto& h : headers) {
            const auto b = header_bytes(h);
            out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
        }
    }
    // Twelve headers 0x100..0x10B; every third to the station, one from it.
    void write_default_directory()
    {
        std::vector<Header> hs;
        for (std::uint32_t i = 0; i < 12; ++i)
            hs.push_back({0x100 + i, i % 3 == 0 ? "G0ABC" : "ALL", i == 4 ? "G0ABC" : "W1AW",
                          "Title " + std::to_string(i), 0, 1000 + i * 100});
        write_directory(hs);
    }

    void make_window(bool bus = false)
    {
        TesselOptions o;
        o.store = &*store;
        o.host = &host;
        if (bus) {
            messenger = platform::dbus::session_messenger();
            o.messenger = messenger.get();
            o.connector = [](const std::string& service, const std::string& topic, std::function<void()> lost) {
                return platform::dbus::connect_data(service, topic, std::move(lost), 5s);
            };
        }
        window = std::make_unique<TesselWindow>(o);
        window->resize(900, 500);
        window->show();
        // Keys reach the window's shortcuts only while it is the active window.
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QString row_text(std::size_t row, int column = 1) const
    {
        auto* m = window->list()->model();
        return m->data(m->index(int(row), column)).toString();
    }
    std::uint8_t table_status(std::uint32_t file_number) const
    {
        std::ifstream in(sat / "Brek File Info.DAT", std::ios::binary);
        std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
        for (std::size_t i = 0; i + 12 <= b.size(); i += 12)
            if (std::uint32_t(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | std::uint32_t(b[i + 3]) << 24) == file_number)
                return b[i + 8];
        return 0;
    }

    fs::path root, sat, messages;
    std::optional<platform::Store> store;
    RecordingHost host;
    std::unique_ptr<platform::Messenger> messenger;
    std::unique_ptr<TesselWindow> window;
};

TEST_F(TesselWindowTest, OpensTheSatelliteNewestFirstWithItsModes)
{
    write_default_directory();
    std::ofstream(root / "Tessel Equations.TXT") << "[Big files] {FILESIZE > 1500 }\n[Broken] {SIZE = 3}\n";
    make_window();
    EXPECT_FALSE(window->action("Priority")->isEnabled()) << "no directory yet";
    EXPECT_FALSE(window->mode_selector()->isEnabled());
    ASSERT_TRUE(window->open_satellite("ao-16"));
    EXPECT_EQ(window->windowTitle(), "Tessel [AO-16]");
    EXPECT_TRUE(window->action("Priority")->isEnabled());
    ASSERT_EQ(window->list()->model()->rowCount(), 12);
    EXPECT_EQ(row_text(0, 0), "10B     ");
    EXPECT_EQ(row_text(11, 0), "100     ");
    EXPECT_TRUE(row_text(0).startsWith("g ALL     W1AW    ")) << row_text(0).toStdString();
    EXPECT_EQ(window->list()->model()->headerData(0, Qt::Horizontal).toString(), "FileNum");
    // Addressed to the station: red; from it: blue.
    auto* m = window->list()->model();
    EXPECT_EQ(m->data(m->index(11, 1), Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_EQ(m->data(m->index(7, 1), Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::blue));

    QStringList modes;
    for (int i = 0; i < window->mode_selector()->count(); ++i)
        modes << window->mode_selector()->itemText(i);
    EXPECT_TRUE(modes.contains("All files"));
    EXPECT_TRUE(modes.contains("Big files"));
    EXPECT_FALSE(modes.contains("Broken"));
    // The bad equation is shown to the operator with its line.
    ASSERT_FALSE(host.told.empty());
    EXPECT_NE(host.told.front().second.find("SIZE = 3"), std::string::npos);

    ASSERT_TRUE(window->apply_mode("Big files"));
    EXPECT_EQ(window->list()->model()->rowCount(), 6); // sizes 1600..2100
    window->mode_selector()->setCurrentText("All files");
    window->action("Update")->trigger();
    EXPECT_EQ(window->list()->model()->rowCount(), 12);
}

TEST_F(TesselWindowTest, MarkingGoesThroughTheStatusTableAndMovesDown)
{
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    window->list()->setFocus();
    window->select_row(0);
    QTest::keyClick(window->list(), Qt::Key_P);
    EXPECT_EQ(table_status(0x10B), 10 | 0x10 | 0x80);
    EXPECT_EQ(window->selected_row(), 1u);
    QTest::keyClick(window->list(), Qt::Key_N);
    EXPECT_EQ(table_status(0x10A), 1 | 0x80);
    window->select_row(0);
    EXPECT_TRUE(window->action("Priority")->isChecked());
    EXPECT_FALSE(window->action("Never")->isChecked());
    EXPECT_TRUE(row_text(0).startsWith("P ")) << row_text(0).toStdString();

    // The toolbar's check button is the same command.
    window->select_row(11);
    window->action("Auto")->trigger();
    EXPECT_EQ(table_status(0x100), 9 | 0x10 | 0x80);
    EXPECT_EQ(window->selected_row(), 11u) << "marking the last row leaves the selection on it";

    // Another program (the engine) changes a status: the row follows.
    auto table = StatusView::open(sat);
    ASSERT_TRUE(table);
    table->set_status(0x109, 3, 1'000'000'000u);
    window->refresh_statuses();
    EXPECT_TRUE(row_text(2).startsWith("D ")) << row_text(2).toStdString();
    window->select_row(2);
    for (const auto& m : mark_commands())
        EXPECT_FALSE(window->action(m.name)->isChecked()) << m.name;
}

TEST_F(TesselWindowTest, DeleteRemovesTheLocalPiecesOnlyWhenConfirmed)
{
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    for (const auto& p : {sat / "10b.act", sat / "10B.HOL", messages / "10B.DLM"})
        std::ofstream(p) << "x";
    window->select_row(0);
    host.answer = false;
    window->action("Delete")->trigger();
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0].first, "Delete Files");
    EXPECT_EQ(host.asked[0].second, "Are you sure you want to delete the files associated with this message ?????");
    EXPECT_TRUE(fs::exists(sat / "10b.act"));
    EXPECT_EQ(window->selected_row(), 0u);

    host.answer = true;
    QTest::keyClick(window->list(), Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(sat / "10b.act"));
    EXPECT_FALSE(fs::exists(sat / "10B.HOL"));
    EXPECT_FALSE(fs::exists(messages / "10B.DLM"));
    EXPECT_EQ(window->selected_row(), 1u);
}

// "Mark Never" changed in the setup applies to the next delete, without reopening the satellite.
TEST_F(TesselWindowTest, MarkNeverFromTheSetupAppliesAtOnce)
{
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    host.answer = true;
    settings::TesselSettings s = window->settings();
    s.mark_never = 1;
    window->apply_setup(s);
    window->select_row(0);
    window->action("Delete")->trigger();
    EXPECT_EQ(table_status(0x10B), 1 | 0x80);
    s.mark_never = 0;
    window->apply_setup(s);
    window->select_row(1);
    window->action("Delete")->trigger();
    EXPECT_NE(table_status(0x10A) & 0x0F, 1);
}

TEST_F(TesselWindowTest, FindAndCustomSearch)
{
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    EXPECT_EQ(window->find_number("105"), TesselWindow::FindResult::Shown);
    EXPECT_EQ(window->selected_row(), 6u);
    EXPECT_EQ(window->find_number("FFFF"), TesselWindow::FindResult::NotFound);
    ASSERT_FALSE(host.told.empty());
    EXPECT_EQ(host.told.back(), std::make_pair(std::string("Find"), std::string("The message was not found.")));

    SearchFields f;
    f.to = "G0ABC";
    window->custom_search(f);
    EXPECT_EQ(window->list()->model()->rowCount(), 4);
    EXPECT_EQ(window->selected_row(), 0u);
    // A file outside the list shows its information box instead.
    EXPECT_EQ(window->find_number("101"), TesselWindow::FindResult::Information);
    QWidget* box = window->findChild<QWidget*>("MessageInformation");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
}

TEST_F(TesselWindowTest, PrintsTheDisplayListToPdf)
{
    std::vector<Header> hs;
    for (std::uint32_t i = 0; i < 150; ++i)
        hs.push_back({0x1000 + i, "ALL", "W1AW", "Print <b>" + std::to_string(i) + "</b>"});
    write_directory(hs);
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const fs::path pdf = root / "directory.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(window->print_to(printer));
    EXPECT_EQ(printer.docName(), "Tessel - Directory Print");
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    std::size_t pages = 0;
    for (std::size_t at = bytes.find("/Type /Page\n"); at != std::string::npos; at = bytes.find("/Type /Page\n", at + 1))
        ++pages;
    EXPECT_GE(pages, 2u) << "150 rows do not fit one page";
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(TesselWindowTest, WindowMessagesChangeWhatItShows)
{
    write_default_directory();
    make_window(true);
    ASSERT_TRUE(window->register_window());
    ASSERT_TRUE(window->open_satellite("AO-16"));
    const platform::WindowAddress me{"Tessel", "Tessel [AO-16]"};
    ASSERT_TRUE(messenger->exists(me));

    // A second viewer is refused and only raises the first.
    TesselOptions second_options;
    second_options.messenger = messenger.get();
    second_options.host = &host;
    TesselWindow second(second_options);
    auto refused = second.register_window();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, platform::already_running);

    ASSERT_TRUE(messenger->post(me, {kMsgMessageFiled, 0, 0x10B}));
    ASSERT_TRUE(spin_until([&] { return row_text(0).contains("MSG"); })) << row_text(0).toStdString();
    auto answer = messenger->send(me, {kMsgMessageCleared, 0, 0x10B});
    ASSERT_TRUE(answer);
    EXPECT_FALSE(row_text(0).contains("MSG"));

    auto fields = window->file_information_fields(0x10B);
    ASSERT_TRUE(fields);
    EXPECT_EQ((*fields)[0], "ALL");
    EXPECT_EQ((*fields)[3], "2100");
    EXPECT_EQ((*fields)[4], "  0 ASCII Text message");
    auto known = messenger->send(me, {kMsgFileInformation, 0, 0x10B});
    ASSERT_TRUE(known);
    EXPECT_EQ(*known, 1);

    ASSERT_TRUE(messenger->post(me, {kMsgClose, 0, 0}));
    ASSERT_TRUE(spin_until([&] { return !window->isVisible(); }));
    EXPECT_TRUE(spin_until([&] { return !messenger->exists(me); }));
}

TEST_F(TesselWindowTest, HeadersAdvisedByTheEngineAppearLive)
{
    write_default_directory();
    make_window(true);
    ASSERT_TRUE(window->open_satellite("AO-16"));
    test::DataServerThread server("MicroSat");
    ASSERT_TRUE(server.ok());
    EXPECT_FALSE(window->engine_connected()) << "no engine window for the satellite";
    auto engine = messenger->create_window("Brek:MAIN", "Brek [AO-16]", {});
    ASSERT_TRUE(engine);
    ASSERT_TRUE(window->on_window_message({kMsgConnectNow, 0, 0}));
    ASSERT_TRUE(window->engine_connected());

    window->select_row(3);
    server.advise("Directory", "PFH", "PFH", header_bytes({0x200, "ALL", "VK2XYZ", "Live from the pass"}));
    ASSERT_TRUE(spin_until([&] { return window->list()->model()->rowCount() == 13; }));
    EXPECT_TRUE(row_text(0).contains("Live from the pass"));
    EXPECT_EQ(window->model().row(*window->selected_row()).file_number, 0x108u) << "the selection stays on its file";
}

TEST_F(TesselWindowTest, AFirstPassFillsAnEmptyDirectoryLive)
{
    make_window(true);
    EXPECT_FALSE(window->open_satellite("AO-16"));
    ASSERT_FALSE(host.told.empty());
    EXPECT_EQ(host.told.back(), std::make_pair(std::string("Tessel"), std::string("There are no PFH files to load")));
    EXPECT_FALSE(window->action("Priority")->isEnabled());

    test::DataServerThread server("MicroSat");
    ASSERT_TRUE(server.ok());
    auto engine = messenger->create_window("Brek:MAIN", "Brek [AO-16]", {});
    ASSERT_TRUE(engine);
    window->connect_engine();
    ASSERT_TRUE(window->engine_connected());
    server.advise("Directory", "PFH", "PFH", header_bytes({0x400, "ALL", "VK2XYZ", "First light"}));
    ASSERT_TRUE(spin_until([&] { return window->list()->model()->rowCount() == 1; }));
    EXPECT_TRUE(window->action("Priority")->isEnabled());
    EXPECT_EQ(window->mode_selector()->currentText(), "All files");
}

TEST_F(TesselWindowTest, ReplyViewAndSendStartProgramsWithArgumentLists)
{
    write_directory({{0x300, "G0ABC", "EVIL\nF~/etc", "Re: <i>hi</i>\x01~T~x", 0, 500},
                     {0x301, "ALL", "W1AW", "Run me", 6, 500, "SETUP", "EXE"}});
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    // Header texts are shown as they are: no markup, control bytes visible.
    EXPECT_TRUE(row_text(1).contains("Re: <i>hi</i>")) << row_text(1).toStdString();
    EXPECT_FALSE(row_text(1).contains(QChar(1)));

    window->select_row(1);
    QTest::keyClick(window->list(), Qt::Key_R, Qt::AltModifier);
    ASSERT_EQ(host.launched.size(), 1u);
    const auto& reply = host.launched[0];
    EXPECT_EQ(reply[0], (root / "QUILLET.EXE").string());
    for (std::size_t i = 1; i < reply.size(); ++i)
        EXPECT_EQ(reply[i].find('\n'), std::string::npos) << reply[i];
    EXPECT_EQ(reply[1], "D~EVILF/ETC");
    EXPECT_EQ(reply[2], "S~AO-16");
    EXPECT_EQ(reply[3].rfind("T~Re: <i>hi</i>", 0), 0u) << reply[3];
    EXPECT_EQ(reply[3].find('~', 2), std::string::npos);

    QTest::keyClick(window->list(), Qt::Key_O, Qt::AltModifier);
    ASSERT_EQ(host.launched.size(), 2u);
    EXPECT_EQ(host.launched[1], (std::vector<std::string>{(root / "QUILLET.EXE").string(), "S~AO-16"}));

    // A program asks first; No ends the command.
    window->select_row(0);
    host.answer = false;
    window->action("View")->trigger();
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0].second, "This file is an executable file.  Are you sure you wish to run this program?");
    EXPECT_TRUE(host.opened.empty());
    host.answer = true;
    window->view_file();
    ASSERT_EQ(host.opened.size(), 1u);
    EXPECT_EQ(host.opened[0].filename(), "SETUP.EXE");
}

TEST_F(TesselWindowTest, AModeChosenInTheSelectorAppliesAndEnterThereOpensNothing)
{
    std::ofstream(root / "Tessel Equations.TXT") << "[Big files] {FILESIZE > 1500 }\n";
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    ASSERT_EQ(window->list()->model()->rowCount(), 12);
    QComboBox* modes = window->mode_selector();
    const int big = modes->findText("Big files");
    ASSERT_GE(big, 0);
    // The operator steps through the selector with the keyboard: each choice applies, no Update.
    modes->setFocus();
    modes->setCurrentIndex(big - 1);
    QTest::keyClick(modes, Qt::Key_Down);
    ASSERT_EQ(modes->currentText(), "Big files");
    EXPECT_EQ(window->list()->model()->rowCount(), 6);
    // Enter in the selector is not the list's Enter.
    QTest::keyClick(modes, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->findChild<QWidget*>("MessageInformation"), nullptr);
    // In the list it still opens the selected file's information.
    window->list()->setFocus();
    window->select_row(0);
    QTest::keyClick(window->list(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_NE(window->findChild<QWidget*>("MessageInformation"), nullptr);
}

TEST_F(TesselWindowTest, MarkingLettersTypedOutsideTheListMarkNothing)
{
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    window->select_row(0);
    window->mode_selector()->setFocus();
    for (auto key : {Qt::Key_P, Qt::Key_A, Qt::Key_N, Qt::Key_G, Qt::Key_1})
        QTest::keyClick(window->mode_selector(), key);
    EXPECT_EQ(table_status(0x10B), 0) << "a letter typed in the selector marked the file";
    EXPECT_EQ(window->selected_row(), 0u);
    window->list()->setFocus();
    QTest::keyClick(window->list(), Qt::Key_G);
    EXPECT_EQ(table_status(0x10B) & 0x0F, 4); // Grab
}

TEST_F(TesselWindowTest, OrdinaryRowsTakeThePalettesTextColourAndOursStayRedAndBlue)
{
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    auto* m = window->list()->model();
    int plain = 0, red = 0, blue = 0;
    for (int r = 0; r < m->rowCount(); ++r) {
        const QVariant v = m->data(m->index(r, 1), Qt::ForegroundRole);
        if (!v.isValid())
            ++plain; // the view draws it in the palette's text colour, light on a dark theme
        else if (v.value<QBrush>().color() == QColor(Qt::red))
            ++red;
        else if (v.value<QBrush>().color() == QColor(Qt::blue))
            ++blue;
    }
    EXPECT_EQ(red, 4);  // to G0ABC
    EXPECT_EQ(blue, 1); // from G0ABC
    EXPECT_EQ(plain, 7);
}

TEST_F(TesselWindowTest, PercentReceivedFollowsTheEnginesHoleListLive)
{
    write_default_directory(); // 0x100 is 1000 bytes long
    auto hole_list = [&](std::vector<std::pair<std::uint32_t, std::uint32_t>> holes) {
        std::vector<std::uint8_t> b(8, 0);
        auto put = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                b.push_back(std::uint8_t(v >> (8 * i)));
        };
        put(std::uint32_t(holes.size()));
        for (auto [from, to] : holes) {
            put(from);
            put(to);
        }
        std::ofstream(sat / "100.HOL", std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    };
    hole_list({{500, 1000}});
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    const auto row = window->model().row_of(0x100);
    ASSERT_TRUE(row);
    EXPECT_NE(row_text(*row).indexOf(" 50 "), -1) << row_text(*row).toStdString();
    // The engine fills more of the file during the pass.
    hole_list({{750, 800}, {900, 1000}});
    window->refresh_statuses();
    EXPECT_NE(row_text(*row).indexOf(" 85 "), -1) << row_text(*row).toStdString();
    // Nothing rewritten: nothing to repaint.
    EXPECT_TRUE(window->model().poll_percent_changes().empty());
}

TEST_F(TesselWindowTest, ABadEquationIsToldOncePerChangeOfItsFile)
{
    const fs::path eq = root / "Tessel Equations.TXT";
    std::ofstream(eq) << "[Broken] {SIZE = 3}\n";
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    ASSERT_TRUE(window->open_satellite("AO-16"));
    ASSERT_TRUE(window->open_satellite("AO-16"));
    ASSERT_EQ(host.told.size(), 1u);
    // The operator edits the file and leaves a fault in it: told again, once.
    std::ofstream(eq, std::ios::app) << "[Big files] {FILESIZE > 1500 }\n";
    ASSERT_TRUE(window->open_satellite("AO-16"));
    ASSERT_TRUE(window->open_satellite("AO-16"));
    EXPECT_EQ(host.told.size(), 2u);
}

TEST_F(TesselWindowTest, PrintGoesThroughThePrintBoxToAPdfFile)
{
    write_default_directory();
    make_window();
    ASSERT_TRUE(window->open_satellite("AO-16"));
    const fs::path pdf = root / "chosen.pdf";
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = true;
        box->printer()->setOutputFormat(QPrinter::PdfFormat);
        box->printer()->setOutputFileName(QString::fromStdString(pdf.string()));
        // As the operator's choice of "print to file" leaves it (accept() would read the box's
        // own fields back over ours).
        box->done(QDialog::Accepted);
    });
    window->action("PrintDirectory")->trigger();
    ASSERT_TRUE(seen) << "no print box was shown";
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_TRUE(host.told.empty()) << host.told.front().second;

    // Cancelled: nothing printed, nothing said.
    fs::remove(pdf);
    QTimer::singleShot(0, [] {
        if (auto* box = QApplication::activeModalWidget())
            static_cast<QDialog*>(box)->reject();
    });
    window->action("PrintDirectory")->trigger();
    EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(TesselWindowTest, AnswersTheEnginesFileInformationRequestWithTheEntrysFields)
{
    write_default_directory();
    make_window(true);
    ASSERT_TRUE(window->register_window());
    ASSERT_TRUE(window->open_satellite("AO-16"));
    // The engine's window, as Brek registers it.
    std::vector<std::pair<platform::WindowMessage, std::vector<std::string>>> filled;
    platform::WindowHandlers brek;
    brek.on_texts = [&](const platform::WindowMessage& m, const std::vector<std::string>& t) { filled.emplace_back(m, t); };
    auto engine = messenger->create_window("Brek:MAIN", "Brek [AO-16]", brek, true);
    ASSERT_TRUE(engine) << engine.error().message;

    auto answer = messenger->send({"Tessel", "Tessel [AO-16]"}, {2030, 42, 0x104});
    ASSERT_TRUE(answer) << answer.error().message;
    EXPECT_EQ(*answer, 1);
    ASSERT_TRUE(spin_until([&] { return !filled.empty(); }));
    EXPECT_EQ(filled[0].first, (platform::WindowMessage{2030, 42, 0x104}));
    const std::vector<std::string> want = {"ALL", "G0ABC", "Title 4", "1400", "  0 ASCII Text message"};
    EXPECT_EQ(filled[0].second, want);
    // A file the viewer does not know: answered 0, nothing sent back.
    answer = messenger->send({"Tessel", "Tessel [AO-16]"}, {2030, 43, 0x999});
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(filled.size(), 1u);
}

TEST_F(TesselWindowTest, HelpAndTheSelectSatelliteHelpButtonOpenTheGuide)
{
    write_default_directory();
    make_window();
    window->action("Help")->trigger();
    ASSERT_EQ(host.help.size(), 1u);
    EXPECT_EQ(host.help[0], "tessel");
    QTimer::singleShot(0, [] {
        auto* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        auto* buttons = box->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        buttons->button(QDialogButtonBox::Help)->click();
        static_cast<QDialog*>(box)->reject();
    });
    window->choose_satellite();
    EXPECT_EQ(host.help.size(), 2u);
}

TEST(WindowRules, PlacementFallsBackOffTheScreen)
{
    settings::TesselSettings s;
    EXPECT_EQ(tessel_placement(s, 1024, 768), (WindowPlacement{10, 57, 580, 288}));
    s.x_left = std::uint32_t(-5);
    EXPECT_FALSE(tessel_placement(s, 1024, 768));
    s.x_left = 1015;
    EXPECT_FALSE(tessel_placement(s, 1024, 768));
    s.x_left = 10;
    s.cy_height = 49;
    EXPECT_FALSE(tessel_placement(s, 1024, 768));
    s.cy_height = 769;
    EXPECT_FALSE(tessel_placement(s, 1024, 768));
}

TEST(WindowRules, StatisticsWithNoCompressedFilesShowZeroPercent)
{
    DirectoryCounters c;
    c.loaded = 8;
    c.user = 6;
    c.bbs = 2;
    c.marked = -1;
    const auto lines = statistics_lines(c, 8);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[1].second, "   6    75%");
    EXPECT_EQ(lines[5].second, "   0     0%");
    EXPECT_EQ(lines[9].second, "0");
    EXPECT_EQ(checked_button(11 | 0x90), 0u) << "MINE checks Priority";
    EXPECT_FALSE(checked_button(3 | 0x80));
}

} // namespace
} // namespace orva::dirview

int main(int argc, char** argv)
{
    // Discovery runs this without the presets' environment: the window never needs a display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The application must outlive every window and go before the process's static objects.
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
