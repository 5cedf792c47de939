// The property sheet of an existing satellite, titled with its name: the same seven pages as
// tabs. OK leaves every page in order and writes the whole record.
#pragma once

#include <QDialog>
#include <QTabWidget>

#include "station/app/setup/satellite_pages.h"

namespace orva::station::app {

class SatelliteSheet : public QDialog {
    Q_OBJECT
public:
    SatelliteSheet(platform::Store& store, setup::SatelliteEdit edit, SatelliteSaved saved = {}, QWidget* parent = nullptr);

    FormWidget* form(const std::string& page) const { return pages_.page(page); }
    QTabWidget* tabs() const { return tabs_; }
    void accept() override;

private:
    platform::Store& store_;
    SatellitePages pages_;
    SatelliteSaved on_saved_;
    QTabWidget* tabs_;
};

} // namespace orva::station::app
