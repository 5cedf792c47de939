// The "Station" property sheet: Position, Rotator, Transverters and Radio Horizon. OK writes the
// Position, Rotator and Radio Horizon values; the Transverters page saves each transverter with
// its own Save button.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QTabWidget>

#include <functional>

#include "platform/store/store.h"
#include "station/app/setup/form_widget.h"
#include "station/setup/station_setup.h"

namespace orva::station::app {

class StationSheet : public QDialog {
    Q_OBJECT
public:
    // `saved` runs after OK wrote the values (the station's position takes effect at once).
    StationSheet(platform::Store& store, std::function<void()> saved = {}, QWidget* parent = nullptr);

    FormWidget* form(const std::string& page) const;
    QTabWidget* tabs() const { return tabs_; }
    FormWidget* transverter_form() const { return transverter_; }
    QListWidget* transverter_list() const { return transverters_; }
    void accept() override;
    void save_transverter();
    void delete_transverter();

private:
    void refill_transverters();
    platform::Store& store_;
    std::function<void()> on_saved_;
    setup::StationForm values_;
    QTabWidget* tabs_;
    std::map<std::string, FormWidget*> pages_;
    FormWidget* transverter_ = nullptr;
    QListWidget* transverters_ = nullptr;
};

} // namespace orva::station::app
