// The option, housekeeping, viewer and program dialogs offscreen with the real store, files,
// launcher and session bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>

#include <fstream>
#include <unistd.h>

#include "common/atomic_file.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/dbus/session_bus.h"
#include "station/app/setup/about_dialog.h"
#include "station/app/setup/housekeeping_dialog.h"
#include "station/app/setup/option_dialog.h"
#include "station/app/setup/programs_dialog.h"
#include "station/app/setup/viewer_dialogs.h"
#include "station/housekeeping/directory_edit.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station;
using namespace orva::station::app;
namespace fs = std::filesystem;
namespace keys = orva::settings::keys;

namespace {

constexpr std::int64_t kNow = 1'800'000'000;

class OptionDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }
    void SetUp() override
    {
        set_message_hook([this](const QString& c, const QString& t) { messages.push_back((c + ": " + t).toStdString()); });
        store.emplace(scratch.open());
        settings::GeneralSettings g;
        g.orva_directory = (scratch.dir / "suite").string();
        ASSERT_TRUE(settings::write_general(*store, g));
        for (const char* name : {"AO-16", "UO-22"}) {
            auto r = settings::new_satellite(name, settings::SatelliteType::PacSat, g.orva_directory);
            auto key = settings::create_satellite_key(*store, name);
            ASSERT_TRUE(key);
            ASSERT_TRUE(settings::write_satellite(*store, *key, r));
        }
    }
    void TearDown() override { set_message_hook({}); }
    fs::path sat(const char* name) { return scratch.dir / "suite" / name; }

    test_support::SetupScratch scratch;
    std::optional<platform::Store> store;
    std::vector<std::string> messages;
};

void type(FormWidget* w, const char* label, const char* text)
{
    ASSERT_TRUE(w->has(label)) << label;
    w->set_text(label, text);
}

} // namespace

TEST_F(OptionDialogs, GeneralSetupStoresMinutesAsSecondsAndCancelWritesNothing)
{
    bool redrawn = false;
    OptionDialog d(*store, setup::general_setup_form(), [&] { redrawn = true; });
    EXPECT_EQ(d.form()->text("Time before pass to send message"), "3");
    type(d.form(), "Time before pass to send message", "5");
    d.reject();
    EXPECT_FALSE(store->read_integer(keys::helmo, "Pop Up Time")) << "Cancel wrote";
    type(d.form(), "Time before pass to send message", "5");
    d.accept();
    EXPECT_TRUE(redrawn);
    EXPECT_EQ(store->read_integer(keys::helmo, "Pop Up Time").value_or(0), 300u);
    EXPECT_EQ(store->read_integer(keys::helmo, "Schedule Days").value_or(0), 1u);
}

// "Spacecraft" is a list of the station's PacSat satellites behind "[All]"; an analogue satellite
// is not offered, and a stored name that is no longer a PacSat satellite stays shown and kept.
TEST_F(OptionDialogs, DispoSpacecraftIsAChoiceOfThePacSatSatellites)
{
    {
        auto r = settings::new_satellite("AO-7", settings::SatelliteType::Analogue, (scratch.dir / "suite").string());
        auto key = settings::create_satellite_key(*store, "AO-7");
        ASSERT_TRUE(key);
        ASSERT_TRUE(settings::write_satellite(*store, *key, r));
    }
    auto choices = [](QComboBox* c) {
        std::vector<std::string> out;
        for (int i = 0; i < c->count(); ++i)
            out.push_back(c->itemText(i).toStdString());
        return out;
    };
    {
        std::unique_ptr<OptionDialog> d(make_dispo_setup(*store));
        auto* list = qobject_cast<QComboBox*>(d->form()->editor("Spacecraft"));
        ASSERT_NE(list, nullptr) << "a free text field";
        EXPECT_EQ(choices(list), (std::vector<std::string>{"[All]", "AO-16", "UO-22"}));
        EXPECT_EQ(list->currentText(), "[All]");
        list->setCurrentIndex(2);
        d->accept();
        EXPECT_EQ(store->read_string(keys::dispo, "Update Spacecraft", 20).value_or("?"), "UO-22");
    }
    {
        // Stored in another case: the satellite's own spelling is chosen.
        ASSERT_TRUE(store->write_string(keys::dispo, "Update Spacecraft", "ao-16"));
        std::unique_ptr<OptionDialog> d(make_dispo_setup(*store));
        auto* list = qobject_cast<QComboBox*>(d->form()->editor("Spacecraft"));
        EXPECT_EQ(choices(list).size(), 3u);
        EXPECT_EQ(list->currentText(), "AO-16");
    }
    {
        // UO-22 gone from the station while Dispo still names it.
        ASSERT_TRUE(store->write_string(keys::dispo, "Update Spacecraft", "UO-22"));
        ASSERT_TRUE(settings::delete_satellite(*store, "UO-22"));
        std::unique_ptr<OptionDialog> d(make_dispo_setup(*store));
        auto* list = qobject_cast<QComboBox*>(d->form()->editor("Spacecraft"));
        EXPECT_EQ(choices(list), (std::vector<std::string>{"[All]", "AO-16", "UO-22"}));
        EXPECT_EQ(list->currentText(), "UO-22");
        d->accept();
        EXPECT_EQ(store->read_string(keys::dispo, "Update Spacecraft", 20).value_or("?"), "UO-22");
    }
    {
        std::unique_ptr<OptionDialog> d(make_dispo_setup(*store));
        auto* list = qobject_cast<QComboBox*>(d->form()->editor("Spacecraft"));
        list->setCurrentIndex(0);
        d->accept();
        EXPECT_EQ(store->read_string(keys::dispo, "Update Spacecraft", 20).value_or("?"), "");
    }
}

TEST_F(OptionDialogs, AFailedWriteKeepsTheDialogOpenWithWhatWasTyped)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes to a read-only store file";
    OptionDialog d(*store, setup::tessel_setup_form());
    d.show();
    type(d.form(), "Maximum messages to load", "77");
    fs::permissions(scratch.store_file, fs::perms::owner_read);
    d.accept();
    fs::permissions(scratch.store_file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(d.isVisible());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(d.form()->text("Maximum messages to load"), "77");
}

TEST_F(OptionDialogs, HousekeepingNeedsASatelliteWhenSingleAndRunsAtOnce)
{
    auto old = sat("AO-16") / "OLD.UL";
    std::ofstream(old) << "x";
    HousekeepingDialog d(*store, [] { return kNow; });
    d.single->setChecked(true);
    d.ul->setChecked(true);
    d.files_age->setText("0");
    d.show();
    d.accept();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(messages, std::vector<std::string>{
                            "Error: You have selected \"Single Satellite\" but have not selected a satellite to use."});
    d.satellite->setCurrentText("AO-16");
    d.accept();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.last_count, 1u);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(store->read_integer(keys::helmo, "FH Delete UL").value_or(0), 1u);
    EXPECT_EQ(store->read_integer(keys::helmo, "FH Oldest Files").value_or(9), 0u);
}

TEST_F(OptionDialogs, EditDirectoryRefusesWhileTheEngineRunsThatSatellite)
{
    auto messenger = platform::dbus::session_messenger();
    auto brek = messenger->create_window("Brek:MAIN", "Brek [AO-16]", {});
    if (!brek)
        GTEST_SKIP() << "no session bus: " << brek.error().message;
    const std::uint32_t now = static_cast<std::uint32_t>(kNow);
    std::vector<std::uint8_t> holes = {2, 0, 0, 0};
    for (std::uint32_t v : {now - 9000, now - 8000, now - 10, 0x7FFFFFFFu})
        for (int i = 0; i < 4; ++i)
            holes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    ASSERT_TRUE(write_file_atomic(sat("AO-16") / kDirectoryHoleFile, holes));
    EditDirectoryDialog d(*store, messenger.get(), [] { return kNow; });
    d.show();
    d.satellite->setCurrentText("AO-16");
    EXPECT_EQ(d.status->text(), "2 holes");
    d.accept();
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Brek is running a pass of AO-16"), std::string::npos);
    EXPECT_EQ(*read_file(sat("AO-16") / kDirectoryHoleFile), holes);
    brek->reset();
    d.accept();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(read_file(sat("AO-16") / kDirectoryHoleFile)->size(), 12u);
}

TEST_F(OptionDialogs, BrekLogAveragesAndPrintsToPdf)
{
    ASSERT_TRUE(write_file_atomic(sat("AO-16") / "Brek.LOG",
                                  std::string("Session started at 01:46:50 09 Sep 2001\r\n"
                                              "TOTAL bytes received     5000\r\n"
                                              "Average BPS             50\r\n"
                                              "Percent EFFICIENCY    80\r\n"
                                              "Session closed at 01:48:40 09 Sep 2001\r\n")));
    BrekLogsDialog d(*store);
    d.choose("UO-22");
    EXPECT_EQ(messages, std::vector<std::string>{"Helmo: There is no log file for this satellite."});
    d.choose("AO-16");
    ASSERT_EQ(d.list->count(), 1);
    EXPECT_EQ(d.average->text(), "Average Efficiency: 80%");
    EXPECT_FALSE(d.uploads->isEnabled());
    d.satellites->setCurrentRow(0);
    PrintJob job = d.print_job();
    EXPECT_EQ(job.title, "Helmo - Brek Log");
    EXPECT_EQ(job.lines.back(), "Average Percent Efficiency for AO-16 is 80%.");
    for (int i = 0; i < 200; ++i)
        job.lines << QString("line %1").arg(i);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    QString pdf = QString::fromStdString((scratch.dir / "log.pdf").string());
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(print_list(printer, job));
    auto bytes = read_file(scratch.dir / "log.pdf");
    ASSERT_TRUE(bytes);
    std::string text(bytes->begin(), bytes->end());
    EXPECT_EQ(text.rfind("%PDF", 0), 0u);
    auto count = text.find("/Count ");
    ASSERT_NE(count, std::string::npos);
    EXPECT_GT(std::atoi(text.c_str() + count + 7), 1) << "200 lines should take several pages";
}

TEST_F(OptionDialogs, UploadFilesCopyAsOutAndSayWhyALongNameIsNot)
{
    std::vector<std::uint8_t> h = {0xAA, 0x55, 34, 0, 5, 'H', 'e', 'l', 'l', 'o', 0, 0, 0};
    ASSERT_TRUE(write_file_atomic(sat("AO-16") / "FRED.PUL", h));
    ASSERT_TRUE(write_file_atomic(sat("AO-16") / "VERYLONGNAME.OUT", h));
    UploadFilesDialog d(*store);
    d.choose("AO-16");
    ASSERT_EQ(d.list->count(), 2);
    EXPECT_EQ(d.list->item(0)->text(), "FRED.PUL                     Hello");
    d.list->setCurrentRow(0);
    d.copy_selected("[None]");
    EXPECT_FALSE(fs::exists(sat("UO-22") / "FRED.OUT"));
    d.copy_selected("UO-22");
    EXPECT_TRUE(fs::exists(sat("UO-22") / "FRED.OUT"));
    d.list->setCurrentRow(1);
    d.copy_selected("UO-22");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("longer than 8 characters"), std::string::npos);
}

TEST_F(OptionDialogs, RunProgramStartsInItsFolderAndLeavesOursAlone)
{
    fs::path work = scratch.dir / "work";
    fs::create_directories(work);
    ProgramsDialog d(*store);
    d.title->setText("Mark");
    d.directory->setText(QString::fromStdString(work.string()));
    d.program->setText("/usr/bin/touch made-here");
    d.save();
    ASSERT_EQ(d.list->count(), 1);
    fs::path before = fs::current_path();
    platform::Launcher launcher;
    auto started = run_program(*store, launcher, "Mark");
    ASSERT_TRUE(started) << started.error().message;
    ASSERT_TRUE(started->wait());
    EXPECT_TRUE(fs::exists(work / "made-here"));
    EXPECT_EQ(fs::current_path(), before);

    d.clear_fields();
    d.title->setText("Broken");
    d.program->setText("/nonexistent/program");
    d.save();
    auto failed = run_program(*store, launcher, "Broken");
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().message.find("\"Broken\" could not be started"), std::string::npos);
}

TEST_F(OptionDialogs, AboutListsTheProgramsPresent)
{
    fs::path bin = scratch.dir / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "helmo") << "";
    std::ofstream(bin / "brek") << "";
    QStringList lines = about_lines(bin);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Helmo V"));
    EXPECT_TRUE(lines[1].startsWith("Brek V"));
    EXPECT_EQ(version_text(2, 1, 3, 1), "V2.13b");
}
