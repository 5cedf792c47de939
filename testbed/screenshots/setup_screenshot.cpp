// setup-screenshot --wizard FILE.png --station FILE.png: the first page of the Satellite Setup
// Wizard and the Station sheet over the store in $ORVA_STORE, saved as pictures for the user guide
// (testbed/screenshots/setup.sh).
#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/settings/suite_settings.h"
#include "platform/store/store.h"
#include "station/app/setup/satellite_wizard.h"
#include "station/app/setup/station_sheet.h"

int main(int argc, char** argv)
{
    using namespace orva;
    QApplication app(argc, argv);
    std::string wizard_png, station_png;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--wizard"))
            wizard_png = argv[++i];
        else if (!std::strcmp(argv[i], "--station"))
            station_png = argv[++i];
    }
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "setup-screenshot: %s\n", store.error().message.c_str());
        return 1;
    }
    int failures = 0;
    auto grab = [&](QWidget& w, const std::string& file) {
        w.show();
        for (int i = 0; i < 20; ++i)
            app.processEvents();
        if (!w.grab().save(QString::fromStdString(file))) {
            std::fprintf(stderr, "setup-screenshot: cannot write %s\n", file.c_str());
            ++failures;
        }
    };
    if (!wizard_png.empty()) {
        station::app::SatelliteWizard wizard(*store, settings::read_general(*store, settings::Program::Helmo).orva_directory);
        wizard.resize(520, 520);
        auto* general = wizard.form(station::setup::kPageGeneral);
        general->set_text("Name", "UO-22");
        general->set_text("Satellite Type", "PacSat");
        general->set_text("State", "Track and Display");
        general->set_text("Broadcast Callsign", "UOSAT5-11");
        general->set_text("BBS Callsign", "UOSAT5-12");
        grab(wizard, wizard_png);
    }
    if (!station_png.empty()) {
        station::app::StationSheet sheet(*store);
        sheet.resize(460, 420);
        grab(sheet, station_png);
    }
    return failures ? 1 : 0;
}
