// The setup dialogs in Helmo's menu, and the Programs menu's own entries numbered from 501.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "common/settings/suite_settings.h"
#include "station/app/setup/setup_menu.h"
#include "station/app/station_host.h"
#include "station/app/window/main_window.h"
#include "station/setup/programs_setup.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station;

TEST(SetupMenu, DialogsAreWiredAndProgramsFollowTheStore)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "setup_menu_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    test_support::SetupScratch t;
    {
        auto store = t.open();
        settings::GeneralSettings g;
        g.orva_directory = t.dir.string();
        ASSERT_TRUE(settings::write_general(store, g));
        settings::ToolbarProgram p;
        p.name = "Log book";
        p.file_name = "true";
        ASSERT_TRUE(setup::save_program_entry(store, p));
    }
    MainWindow window;
    StationHost host(t.open(), window);
    window.attach(host);
    for (int id : {101, 109, 110, 114, 116, 118, 119, 120, 127, 137, 140, 141, 145, 148, 149})
        EXPECT_FALSE(window.action(id) && window.action(id)->isEnabled()) << id << " enabled before wiring";
    app::wire_setup_menu(window, host);
    for (int id : {101, 109, 110, 114, 116, 118, 119, 120, 127, 137, 140, 141, 145, 148, 149}) {
        ASSERT_NE(window.action(id), nullptr) << id;
        EXPECT_TRUE(window.action(id)->isEnabled()) << id;
    }
    auto program_items = [&] {
        std::vector<std::pair<int, std::string>> out;
        for (QObject* o : window.action(135)->associatedObjects())
            if (auto* m = qobject_cast<QMenu*>(o))
                for (QAction* a : m->actions())
                    if (a->data().toInt() >= 501)
                        out.emplace_back(a->data().toInt(), a->text().toStdString());
        return out;
    };
    EXPECT_EQ(program_items(), (std::vector<std::pair<int, std::string>>{{501, "Log book"}}));
    settings::ToolbarProgram p;
    p.name = "Satellite tool";
    p.file_name = "true";
    ASSERT_TRUE(setup::save_program_entry(host.store(), p));
    app::rebuild_programs_menu(window, host);
    EXPECT_EQ(program_items(), (std::vector<std::pair<int, std::string>>{{501, "Log book"}, {502, "Satellite tool"}}));
}
