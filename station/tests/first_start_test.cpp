// Helmo's first start on a store that was never set up, offscreen, through the function the
// program runs: the setup dialog, then the Satellite Setup Wizard, then the main window; the
// keys it writes are those of `orva setup` byte for byte; Cancel writes nothing; a store that
// cannot be written still ends in the initialisation error.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/elements/observer_file.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "platform/store/store_text.h"
#include "platform/testing/child_process.h"
#include "station/app/setup/first_start_dialog.h"
#include "station/app/setup/form_widget.h"
#include "station/app/setup/satellite_wizard.h"
#include "station/app/window/dialogs.h"
#include "station/app/window_start.h"
#include "station/tests/helmo_test_station.h"

namespace orva::station::app {
namespace {

namespace fs = std::filesystem;
namespace keys = settings::keys;

struct FirstStart : ::testing::Test {
    fs::path dir;
    platform::ManualClock clock{platform::TimePoint{std::chrono::seconds(testing::kReferenceStart)}};
    std::vector<std::string> messages; // "caption: text" of every box the setup showed
    std::vector<QTimer*> timers;

    void SetUp() override
    {
        testing::offscreen_application("first_start_test");
        dir = fs::temp_directory_path() / ("orva-first-start-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        set_message_hook([this](const QString& caption, const QString& text) {
            messages.push_back((caption + ": " + text).toStdString());
        });
        set_message_sink([this](const QString& text, const QString& caption) {
            messages.push_back((caption + ": " + text).toStdString());
        });
    }
    void TearDown() override
    {
        for (QTimer* t : timers)
            delete t;
        set_message_hook({});
        set_message_sink({});
        fs::remove_all(dir);
    }
    platform::Store open(const fs::path& file)
    {
        auto s = platform::Store::open(file, platform::Access::ReadWrite);
        EXPECT_TRUE(s.ok());
        return std::move(*s);
    }
    std::string exported(const fs::path& file)
    {
        auto s = platform::Store::open(file, platform::Access::ReadOnly);
        return s ? platform::export_store_text(*s) : std::string("(no store)");
    }

    void stop_answering()
    {
        for (QTimer* t : timers)
            t->stop();
    }

    // Runs `act` on each modal dialog as it comes up, the way an operator answers it; `act`
    // returns false once it has nothing more to do.
    void answer_dialogs(const std::function<bool(QWidget*)>& act)
    {
        auto* timer = new QTimer;
        timers.push_back(timer);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
            QWidget* w = QApplication::activeModalWidget();
            if (w && w->isVisible() && !act(w))
                timer->stop();
        });
        timer->start(10);
    }
};

void type(QLineEdit* line, const QString& text)
{
    line->setText(text);
    emit line->textEdited(text);
}

TEST_F(FirstStart, SetupThenWizardThenMainWindow)
{
    const fs::path suite = dir / "data" / "orva";
    std::string keys_after_setup;
    int stage = 0;
    answer_dialogs([&](QWidget* w) {
        if (auto* d = qobject_cast<FirstStartDialog*>(w); d && stage == 0) {
            EXPECT_EQ(d->folder()->text().toStdString(), suite.string()) << "the default Orva folder";
            d->accept(); // nothing typed: refused, the dialog stays
            type(d->callsign(), "g4xyz");
            type(d->locator(), "IO91");
            EXPECT_EQ(d->latitude()->text().toStdString(), "51.500000");
            EXPECT_EQ(d->longitude()->text().toStdString(), "1.000000");
            EXPECT_EQ(d->east_west()->currentText().toStdString(), "West");
            type(d->locator(), "IO91wz");
            d->accept(); // a subsquare out of range: refused
            type(d->locator(), "IO91wm");
            EXPECT_EQ(d->latitude()->text().toStdString(), "51.520833");
            EXPECT_EQ(d->longitude()->text().toStdString(), "0.125000");
            EXPECT_EQ(d->north_south()->currentText().toStdString(), "North");
            d->accept();
            stage = 1;
            return true;
        }
        if (auto* wiz = qobject_cast<SatelliteWizard*>(w); wiz && stage == 1) {
            // The setup's keys, before the wizard adds its satellite.
            keys_after_setup = exported(dir / "store.db");
            FormWidget* general = wiz->form(setup::kPageGeneral);
            general->set_text("Name", "UO-22");
            general->set_text("Satellite Type", "PacSat");
            general->set_text("State", "Track and Display");
            wiz->next();
            wiz->form(setup::kPageScheduling)->set_text("Priority", "20");
            while (!wiz->currentPage()->isFinalPage() && wiz->currentId() >= 0) {
                int before = wiz->currentId();
                wiz->next();
                if (before == wiz->currentId())
                    break;
            }
            wiz->button(QWizard::FinishButton)->click();
            EXPECT_TRUE(wiz->saved()) << (messages.empty() ? "" : messages.back());
            stage = 2;
            return false;
        }
        return true;
    });
    auto started = start_window_station(open(dir / "store.db"), HostOptions{&clock});
    ASSERT_TRUE(started.ok()) << started.error().message;
    ASSERT_TRUE(*started) << "the first start was cancelled";
    WindowStation& station = **started;
    EXPECT_EQ(stage, 2) << "the wizard did not follow the setup";
    EXPECT_TRUE(station.window->isVisible());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Orva Setup: Give the station's callsign.");
    EXPECT_EQ(messages[1].rfind("Orva Setup: The locator \"IO91wz\" must end with two letters from A to X", 0), 0u)
        << messages[1];

    // The store as the setup and the wizard left it, read by the running station.
    platform::Store& store = station.host->store();
    EXPECT_EQ(store.read_string(keys::station, "Callsign", 12).value_or(""), "G4XYZ");
    auto value = store.read_value(keys::station, "Callsign");
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value->data.size(), 5u) << "stored without its NUL, as the Position page stores it";
    settings::StationSettings st = settings::read_station(store, settings::Program::Helmo);
    EXPECT_EQ(st.latitude, 51.520833);
    EXPECT_EQ(st.longitude, 0.125) << "west positive";
    EXPECT_EQ(settings::read_general(store, settings::Program::Helmo).orva_directory, suite.string());
    EXPECT_EQ(store.read_integer(keys::tessel, "Maximum Messages").value_or(0), 450u);
    for (const char* key : {keys::helmo_programs, keys::helmo_events, keys::transverters, keys::brek, keys::quillet})
        EXPECT_TRUE(store.key_exists(key)) << key;
    EXPECT_EQ(settings::list_satellites(store), std::vector<std::string>{"UO-22"});
    EXPECT_TRUE(fs::is_directory(suite / "UO-22" / "Msgs"));
    EXPECT_EQ(station.host->suite_dir(), suite) << "the host did not start on the new station";

    // `orva setup` with the same answers writes the same bytes.
    auto cli = test_support::run_child(std::string(ORVA_BIN_DIR) + "/orva-setup",
                                       {"--store", (dir / "cli.db").string(), "--callsign", "g4xyz", "--locator", "IO91wm"},
                                       {"XDG_DATA_HOME=" + (dir / "data").string(), "HOME=" + dir.string()});
    ASSERT_EQ(cli.exit_code(), 0) << cli.out << cli.err;
    EXPECT_EQ(exported(dir / "cli.db"), keys_after_setup);
    EXPECT_NE(keys_after_setup.find("[SOFTWARE\\Orva\\General]"), std::string::npos) << keys_after_setup;
}

TEST_F(FirstStart, CancelLeavesTheStoreAsItWas)
{
    for (bool with_values : {false, true}) {
        SCOPED_TRACE(with_values ? "a store with a callsign only" : "no store at all");
        fs::path file = dir / (with_values ? "some.db" : "none.db");
        if (with_values) {
            ASSERT_TRUE(open(file).write_string_bytes(keys::station, "Callsign", "M0OLD").ok());
        }
        const std::string before = exported(file);
        bool shown = false;
        answer_dialogs([&](QWidget* w) {
            auto* d = qobject_cast<FirstStartDialog*>(w);
            if (!d) {
                // Nothing may follow a cancelled setup; close it rather than wait for it.
                ADD_FAILURE() << "a dialog opened after Cancel: " << w->windowTitle().toStdString();
                if (auto* other = qobject_cast<QDialog*>(w))
                    other->reject();
                return false;
            }
            shown = true;
            // A callsign stored before the setup is offered.
            EXPECT_EQ(d->callsign()->text().toStdString(), with_values ? "M0OLD" : "");
            type(d->callsign(), "G4XYZ");
            type(d->locator(), "IO91wm");
            d->reject();
            return true; // still watching: nothing else may open
        });
        auto started = start_window_station(open(file), HostOptions{&clock});
        stop_answering();
        ASSERT_TRUE(started.ok()) << started.error().message;
        EXPECT_FALSE(*started) << "the main window opened after Cancel";
        EXPECT_TRUE(shown);
        EXPECT_EQ(exported(file), before);
        EXPECT_FALSE(fs::exists(dir / "data" / "orva")) << "the folder was made";
    }
    EXPECT_FALSE(fs::exists(dir / "none.db")) << "Cancel created the store";
}

// A store that was set up opens the window at once, without a dialog.
TEST_F(FirstStart, AStoreThatIsSetUpOpensTheWindowAtOnce)
{
    testing::write_helmo_test_station(dir);
    bool dialog = false;
    answer_dialogs([&](QWidget*) {
        dialog = true;
        return false;
    });
    auto started = start_window_station(open(dir / "store.db"), HostOptions{&clock});
    ASSERT_TRUE(started.ok()) << started.error().message;
    ASSERT_TRUE(*started);
    EXPECT_TRUE((*started)->window->isVisible());
    EXPECT_FALSE(dialog);
    EXPECT_EQ((*started)->host->suite_dir(), dir);
}

TEST_F(FirstStart, AStoreThatCannotBeWrittenEndsInTheInitialisationError)
{
    // The store's folder would have to be made inside a plain file.
    std::ofstream(dir / "plain") << "x";
    answer_dialogs([&](QWidget* w) {
        auto* d = qobject_cast<FirstStartDialog*>(w);
        if (!d)
            return true;
        type(d->callsign(), "G4XYZ");
        type(d->locator(), "JO01");
        d->accept();
        return false;
    });
    auto started = start_window_station(open(dir / "plain" / "store.db"), HostOptions{&clock});
    ASSERT_FALSE(started.ok());
    EXPECT_EQ(started.error().message.rfind("Orva setup has not been completed.  You must run the setup program before "
                                            "you can use Orva.",
                                            0),
              0u)
        << started.error().message;
    EXPECT_NE(started.error().message.find("store"), std::string::npos) << "the reason is given";
}

} // namespace
} // namespace orva::station::app
