// The setup dialogs driven offscreen through their editors, with the real store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "common/settings/subkey_records.h"
#include "station/app/setup/satellite_sheet.h"
#include "station/app/setup/satellite_wizard.h"
#include "station/app/setup/satellites_dialog.h"
#include "station/app/setup/station_sheet.h"
#include "station/app/hamlib_setup_dialog.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station;
using namespace orva::station::app;
namespace fs = std::filesystem;

namespace {

class SetupDialogs : public ::testing::Test {
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
        set_message_hook([this](const QString& caption, const QString& text) {
            messages.push_back((caption + ": " + text).toStdString());
        });
        store.emplace(scratch.open());
        settings::GeneralSettings g;
        g.orva_directory = (scratch.dir / "suite").string();
        Status written = settings::write_general(*store, g);
        ASSERT_TRUE(written) << written.error().message;
    }
    void TearDown() override { set_message_hook({}); }

    test_support::SetupScratch scratch;
    std::optional<platform::Store> store;
    std::vector<std::string> messages;
};

void type(FormWidget* w, const char* label, const char* text)
{
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->has(label)) << label;
    QWidget* e = w->editor(label);
    if (auto* line = qobject_cast<QLineEdit*>(e)) {
        line->setText(text);
        emit line->textEdited(text);
    } else {
        w->set_text(label, text);
    }
}

// The UO-22 of the wizard, field by field as an operator would fill it.
void fill_uo22(SatelliteWizard& wiz, std::vector<std::string>* as_fields = nullptr)
{
    struct Entry { const char* page; const char* label; const char* text; };
    const Entry entries[] = {
        {setup::kPageGeneral, "Name", "UO-22"},
        {setup::kPageGeneral, "Satellite Type", "PacSat"},
        {setup::kPageGeneral, "BBS Callsign", "UO22-12"},
        {setup::kPageScheduling, "Priority", "20"},
        {setup::kPageScheduling, "Minimum elevation", "5"},
        {setup::kPageFrequencies, "Uplink 1", "145.900"},
        {setup::kPageFrequencies, "Downlink 1", "435.120"},
        {setup::kPageTnc, "Retry time", "99"},
        {setup::kPageTnc, "TX Delay", "3000"},
        {setup::kPageTnc, "Packet Length", "10"},
        {setup::kPageTnc, "TX Buffer Size", "100"},
        {setup::kPageTnc, "RX Buffer Size", "40000"},
        {setup::kPageTnc, "Speed", "9600"},
        {setup::kPageBrek, "Directory Priority", "Auto1"},
    };
    for (const auto& e : entries) {
        if (!as_fields)
            type(wiz.form(e.page), e.label, e.text);
        else
            as_fields->push_back(std::string(e.label) + "=" + e.text);
    }
}

} // namespace

TEST_F(SetupDialogs, WizardShowsPathsAfterGeneralAndRecomputesOnANewName)
{
    SatelliteWizard wiz(*store, (scratch.dir / "suite").string());
    wiz.show();
    type(wiz.form(setup::kPageGeneral), "Name", "UO-22");
    type(wiz.form(setup::kPageGeneral), "Satellite Type", "PacSat");
    wiz.next();
    EXPECT_EQ(wiz.currentId(), 1) << messages.size();
    FormWidget* dirs = wiz.form(setup::kPageDirectories);
    EXPECT_EQ(dirs->text("Message").toStdString(), (scratch.dir / "suite" / "UO-22" / "Msgs").string());
    EXPECT_EQ(wiz.form(setup::kPageScheduling)->text("Program").toStdString(), (scratch.dir / "suite" / "BREK.EXE").string() + " %S");
    wiz.back();
    type(wiz.form(setup::kPageGeneral), "Name", "UO-23");
    wiz.next();
    type(wiz.form(setup::kPageScheduling), "Priority", "0");
    wiz.next();
    EXPECT_EQ(wiz.currentId(), 1) << "priority 0 with passes run automatically was accepted";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Satellite Setup: You can't leave the PRIORITY set to 0 if you have this satellite set to "
                           "automatically run passes.");
    type(wiz.form(setup::kPageScheduling), "Priority", "10");
    wiz.next();
    wiz.next();
    wiz.next();
    EXPECT_EQ(wiz.currentId(), 4);
    EXPECT_EQ(dirs->text("Message").toStdString(), (scratch.dir / "suite" / "UO-23" / "Msgs").string());
    EXPECT_EQ(dirs->text("Satellite").toStdString(), (scratch.dir / "suite" / "UO-23").string());
}

TEST_F(SetupDialogs, AnalogueWizardEndsOnFrequenciesAndCreatesNoFolders)
{
    SatelliteWizard wiz(*store, (scratch.dir / "suite").string());
    wiz.show();
    type(wiz.form(setup::kPageGeneral), "Name", "FO-29");
    type(wiz.form(setup::kPageGeneral), "Satellite Type", "Analogue");
    type(wiz.form(setup::kPageGeneral), "State", "Display");
    wiz.next();
    wiz.next();
    EXPECT_EQ(wiz.currentId(), 2);
    EXPECT_TRUE(wiz.currentPage()->isFinalPage());
    wiz.button(QWizard::FinishButton)->click();
    EXPECT_TRUE(wiz.saved()) << (messages.empty() ? "" : messages[0]);
    auto key = settings::find_satellite_key(*store, "FO-29", settings::CaseRule::Exact);
    ASSERT_TRUE(key);
    EXPECT_EQ(store->read_string(*key, "Message Directory", 260).value_or(""), (scratch.dir / "suite" / "FO-29" / "Msgs").string());
    EXPECT_FALSE(fs::exists(scratch.dir / "suite" / "FO-29"));
}

TEST_F(SetupDialogs, SecondNameInAnotherCaseIsRefusedUntilChanged)
{
    {
        SatelliteWizard first(*store, (scratch.dir / "suite").string());
        first.show();
        type(first.form(setup::kPageGeneral), "Name", "AO-16");
        type(first.form(setup::kPageGeneral), "Satellite Type", "Mailbox");
        type(first.form(setup::kPageGeneral), "State", "Display");
        for (int i = 0; i < 3; ++i)
            first.next();
        first.button(QWizard::FinishButton)->click();
        ASSERT_TRUE(first.saved());
    }
    SatelliteWizard wiz(*store, (scratch.dir / "suite").string());
    wiz.show();
    type(wiz.form(setup::kPageGeneral), "Name", "ao-16");
    type(wiz.form(setup::kPageGeneral), "Satellite Type", "Mailbox");
    type(wiz.form(setup::kPageGeneral), "State", "Display");
    for (int i = 0; i < 3; ++i)
        wiz.next();
    wiz.button(QWizard::FinishButton)->click();
    EXPECT_FALSE(wiz.saved());
    EXPECT_TRUE(wiz.isVisible()) << "the wizard closed on a taken name";
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Satellite Setup: There is already a satellite with this name.  Please change the name "
                               "before continuing.");
    for (int i = 0; i < 3; ++i)
        wiz.back();
    type(wiz.form(setup::kPageGeneral), "Name", "AO-16B");
    for (int i = 0; i < 3; ++i)
        wiz.next();
    wiz.button(QWizard::FinishButton)->click();
    EXPECT_TRUE(wiz.saved());
    EXPECT_EQ(settings::list_satellites(*store), (std::vector<std::string>{"AO-16", "AO-16B"}));
}

TEST_F(SetupDialogs, WizardAndCommandLineStoreTheSameBytes)
{
    SatelliteWizard wiz(*store, (scratch.dir / "suite").string());
    wiz.show();
    fill_uo22(wiz);
    while (!wiz.currentPage()->isFinalPage() && wiz.currentId() >= 0) {
        int before = wiz.currentId();
        wiz.next();
        ASSERT_NE(before, wiz.currentId()) << (messages.empty() ? "stuck" : messages.back());
    }
    EXPECT_EQ(wiz.currentId(), 5) << "a PacSat without SatGate finishes on Brek Settings";
    wiz.button(QWizard::FinishButton)->click();
    ASSERT_TRUE(wiz.saved()) << (messages.empty() ? "" : messages.back());

    fs::path other = scratch.dir / "cli.db";
    {
        auto s = platform::Store::open(other, platform::Access::ReadWrite);
        ASSERT_TRUE(s);
        settings::GeneralSettings g;
        g.orva_directory = (scratch.dir / "suite").string();
        ASSERT_TRUE(settings::write_general(*s, g));
    }
    std::vector<std::string> fields;
    fill_uo22(wiz, &fields);
    QStringList args{"add", "UO-22"};
    for (const auto& f : fields)
        args << QString::fromStdString(f);
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVA_STORE", QString::fromStdString(other.string()));
    p.setProcessEnvironment(env);
    p.start(QString(ORVA_BIN_DIR) + "/orva-sat", args);
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    auto cli = platform::Store::open(other, platform::Access::ReadOnly);
    ASSERT_TRUE(cli);
    std::string key = std::string(settings::keys::satellites) + "\\UO-22";
    auto a = store->values(key);
    auto b = cli->values(key);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GT(a.size(), 80u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].type, b[i].type) << a[i].name;
        EXPECT_EQ(a[i].data, b[i].data) << a[i].name;
    }
    EXPECT_EQ(store->read_integer(key, "Retry Time").value_or(0), 6000u);
    EXPECT_EQ(store->read_integer(key, "Dir Priority").value_or(0), 7u);
}

TEST_F(SetupDialogs, SheetKeepsTypedValuesWhenRefusedAndWritesOnOk)
{
    SatelliteWizard wiz(*store, (scratch.dir / "suite").string());
    wiz.show();
    fill_uo22(wiz);
    while (!wiz.currentPage()->isFinalPage())
        wiz.next();
    wiz.button(QWizard::FinishButton)->click();
    ASSERT_TRUE(wiz.saved());

    SatellitesDialog list(*store);
    ASSERT_EQ(list.list()->count(), 1);
    auto edit = setup::SatelliteEdit::open(*store, "uo-22");
    ASSERT_TRUE(edit);
    SatelliteSheet sheet(*store, std::move(*edit));
    EXPECT_EQ(sheet.windowTitle(), "UO-22");
    type(sheet.form(setup::kPageTnc), "Retries", "9");
    type(sheet.form(setup::kPageScheduling), "Priority", "0");
    sheet.show();
    sheet.accept();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.tabs()->currentIndex(), 1);
    EXPECT_EQ(sheet.form(setup::kPageTnc)->text("Retries"), "9") << "typed value lost";
    type(sheet.form(setup::kPageGeneral), "State", "Display");
    sheet.accept();
    EXPECT_FALSE(sheet.isVisible());
    auto key = settings::find_satellite_key(*store, "UO-22", settings::CaseRule::Exact);
    EXPECT_EQ(store->read_integer(*key, "Retries").value_or(0), 9u);
    EXPECT_EQ(store->read_integer(*key, "State").value_or(9), 1u);
}

TEST_F(SetupDialogs, StationSheetsRotatorPageOpensTheHamlibChooser)
{
    StationSheet sheet(*store);
    auto* button = sheet.findChild<QPushButton*>("HamlibSetup");
    ASSERT_NE(button, nullptr);
    bool chooser = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<HamlibSetupDialog*>(QApplication::activeModalWidget());
        chooser = box != nullptr;
        if (auto* any = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            any->reject();
    });
    button->click();
    EXPECT_TRUE(chooser);
}

TEST_F(SetupDialogs, StationSheetWritesPositionAndWarnsOfHours)
{
    StationSheet sheet(*store);
    sheet.show();
    type(sheet.form(setup::kPagePosition), "Callsign", "g0abc");
    type(sheet.form(setup::kPagePosition), "Latitude", "52.25");
    type(sheet.form(setup::kPagePosition), "Longitude", "1.5");
    type(sheet.form(setup::kPagePosition), "East/West", "East");
    type(sheet.form(setup::kPagePosition), "Don't run passes between", "1");
    type(sheet.form(setup::kPageRotator), "Rotator Type", "None");
    EXPECT_FALSE(sheet.form(setup::kPageRotator)->editor("Port")->isEnabled());
    type(sheet.form(setup::kPageRotator), "Rotator Type", "GS232");
    EXPECT_TRUE(sheet.form(setup::kPageRotator)->editor("Port")->isEnabled());
    sheet.accept();
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(messages, std::vector<std::string>{std::string("Helmo: ") + setup::kHoursChanged});
    auto st = settings::read_station(*store, settings::Program::Helmo);
    EXPECT_EQ(st.callsign, "G0ABC");
    EXPECT_DOUBLE_EQ(st.longitude, -1.5);
    EXPECT_EQ(settings::read_rotator(*store).rotator_type, 7u);

    type(sheet.transverter_form(), "Name", "2m");
    type(sheet.transverter_form(), "Start", "144.0");
    type(sheet.transverter_form(), "Finish", "146.0");
    type(sheet.transverter_form(), "TX LO", "116.0");
    type(sheet.transverter_form(), "TX", "1");
    sheet.save_transverter();
    ASSERT_EQ(sheet.transverter_list()->count(), 1);
    auto t = settings::read_transverters(*store);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_DOUBLE_EQ(t[0].second.tx_if, 116.0);
}
