#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "station/app/hamlib_setup_dialog.h"

using namespace orva;
using namespace orva::station;
namespace fs = std::filesystem;

TEST(HamlibSetupDialog, ShowsTheStoredChoiceAndWritesTheNewOne)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "hamlib_setup_dialog_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    fs::path dir = fs::temp_directory_path() / ("orva-hamlib-dialog-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    HamlibConfig c;
    c.rotator_model = 1;
    c.rotator_device = "/dev/ttyUSB3";
    c.radio_speed = 9600;
    ASSERT_TRUE(write_hamlib_config(*store, c).ok());

    HamlibSetupDialog dialog(*store);
    EXPECT_EQ(dialog.rotator_models()->currentData().toUInt(), 1u);
    EXPECT_EQ(dialog.radio_models()->currentData().toUInt(), 2u);
    EXPECT_EQ(dialog.rotator_device()->text(), "/dev/ttyUSB3");
    EXPECT_EQ(dialog.radio_speed()->currentData().toUInt(), 9600u);

    dialog.rotator_models()->setCurrentIndex(dialog.rotator_models()->findData(2u));
    dialog.rotator_device()->setText(" 127.0.0.1:4533 ");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    HamlibConfig back = read_hamlib_config(*store);
    EXPECT_EQ(back.rotator_model, 2u);
    EXPECT_EQ(back.rotator_device, "127.0.0.1:4533");
    EXPECT_EQ(back.radio_speed, 9600u);
    fs::remove_all(dir);
}
