#include "station/setup/option_setup.h"
#include "station/setup/programs_setup.h"

#include <gtest/gtest.h>

#include "common/settings/keys.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station::setup;
namespace keys = orva::settings::keys;
namespace fs = std::filesystem;

namespace {

Status set(const OptionForm& form, OptionValues& v, const char* name, const char* text)
{
    auto rows = form.form();
    const auto* f = find_form_field(rows, name);
    if (!f)
        return make_error(std::string("no field ") + name);
    return apply_text(*f, v, text);
}

} // namespace

TEST(OptionSetup, GeneralSetupMinutesDirectoryAndTimes)
{
    test_support::SetupScratch t;
    auto store = t.open();
    const auto& form = general_setup_form();
    OptionValues v = read_options(store, form);
    EXPECT_EQ(find_form_field(form.form(), "Pop Up Time")->show(v), "3") << "180 s shows as 3 minutes";
    ASSERT_TRUE(set(form, v, "Time before pass to send message", "5"));
    ASSERT_TRUE(set(form, v, "Orva Program Directory", (t.dir / "suite/").string().c_str()));
    ASSERT_TRUE(set(form, v, "Display times in", "Local"));
    EXPECT_FALSE(set(form, v, "Number of days to schedule", "100"));
    auto saved = write_options(store, form, v);
    ASSERT_TRUE(saved);
    EXPECT_EQ(store.read_integer(keys::helmo, "Pop Up Time").value_or(0), 300u);
    EXPECT_EQ(store.read_integer(keys::helmo, "Display Time").value_or(9), 0u);
    EXPECT_EQ(store.read_string(keys::general, "Orva Directory", 260).value_or(""), (t.dir / "suite").string());
    EXPECT_TRUE(fs::is_directory(t.dir / "suite"));
}

TEST(OptionSetup, PageDefaultsAndListCodes)
{
    test_support::SetupScratch t;
    auto store = t.open();
    OptionValues d = read_options(store, dispo_setup_form());
    EXPECT_EQ(d.numbers["View Mine"], 1u) << "the page's default, not Dispo's";
    EXPECT_EQ(find_form_field(dispo_setup_form().form(), "Spacecraft")->show(d), "[All]");
    ASSERT_TRUE(set(dispo_setup_form(), d, "Automatic keps update", "Don't automatically update"));
    ASSERT_TRUE(set(dispo_setup_form(), d, "Spacecraft", "[All]"));
    ASSERT_TRUE(write_options(store, dispo_setup_form(), d));
    EXPECT_EQ(store.read_integer(keys::dispo, "Update Keps").value_or(0), 3u);
    EXPECT_EQ(store.read_string(keys::dispo, "Update Spacecraft", 20).value_or("?"), "");

    OptionValues q = read_options(store, quillet_setup_form());
    ASSERT_TRUE(set(quillet_setup_form(), q, "Compression type", "LHArc"));
    EXPECT_FALSE(set(quillet_setup_form(), q, "Signature File", "FOURTEEN.CHARS"));
    ASSERT_TRUE(write_options(store, quillet_setup_form(), q));
    EXPECT_EQ(store.read_integer(keys::quillet, "Compression Type").value_or(0), 3u);
    EXPECT_EQ(store.read_string(keys::quillet, "Greeting", 30).value_or(""), "Hello");

    ASSERT_TRUE(store.write_integer(keys::brek, "Switching", 7));
    OptionValues b = read_options(store, brek_setup_form());
    EXPECT_EQ(find_form_field(brek_setup_form().form(), "Sat Change")->show(b), "Manual");
}

TEST(OptionSetup, SoundForEachEvent)
{
    test_support::SetupScratch t;
    auto store = t.open();
    EXPECT_FALSE(sound_for(store, SoundEvent::Error)) << "a missing switch plays nothing";
    ASSERT_TRUE(store.write_integer(keys::general, "Error Sound", 1));
    ASSERT_TRUE(store.write_integer(keys::general, "PrePass Sound", 1));
    ASSERT_TRUE(store.write_integer(keys::general, "New Mail Sound", 1));
    EXPECT_FALSE(sound_for(store, SoundEvent::Error)) << "\"No sounds\" is the default";
    ASSERT_TRUE(store.write_integer(keys::general, "Sound Type", 2));
    EXPECT_EQ(sound_for(store, SoundEvent::Error)->kind, SoundChoice::Kind::ExclamationBeep);
    EXPECT_EQ(sound_for(store, SoundEvent::PrePass)->kind, SoundChoice::Kind::QuestionBeep);
    EXPECT_FALSE(sound_for(store, SoundEvent::NewMail));
    ASSERT_TRUE(store.write_integer(keys::general, "Sound Type", 3));
    ASSERT_TRUE(store.write_string(keys::general, "New Mail WAV", "/snd/mail.wav"));
    ASSERT_TRUE(store.write_string(keys::general, "Orva Directory", "/srv/orva"));
    ASSERT_TRUE(store.write_integer(keys::general, "PrePass Sat WAV", 1));
    EXPECT_EQ(sound_for(store, SoundEvent::NewMail)->wave, "/snd/mail.wav");
    EXPECT_EQ(sound_for(store, SoundEvent::PrePass, "AO-16")->wave, "/srv/orva/AO-16.WAV");
}

TEST(ProgramsSetup, KeysAreNeverReusedAndTheFirstTitleWins)
{
    test_support::SetupScratch t;
    auto store = t.open();
    settings::ToolbarProgram p;
    p.name = "Log book";
    p.file_name = "xlog";
    auto k1 = save_program_entry(store, p);
    ASSERT_TRUE(k1);
    EXPECT_EQ(*k1, std::string(keys::helmo_programs) + "\\Program 1");
    ASSERT_TRUE(delete_program_entry(store, *k1));
    auto k2 = save_program_entry(store, p);
    ASSERT_TRUE(k2);
    EXPECT_EQ(*k2, std::string(keys::helmo_programs) + "\\Program 2");

    // A second entry of the same title (made by hand): OK updates the first, the menu runs it.
    ASSERT_TRUE(store.write_string(std::string(keys::helmo_programs) + "\\Program 9", "Name", "Log book"));
    ASSERT_TRUE(store.write_string(std::string(keys::helmo_programs) + "\\Program 9", "FileName", "other"));
    p.file_name = "xlog --new";
    auto again = save_program_entry(store, p);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *k2);
    EXPECT_EQ(program_entries(store).size(), 2u);
    EXPECT_EQ(find_program_entry(store, "Log book")->file_name, "xlog --new");
    EXPECT_FALSE(find_program_entry(store, "log book")) << "titles compare with letter case";
}
