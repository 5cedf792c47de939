// "Satellites": the configured satellites by name, with New (the wizard), Edit (the property
// sheet), Delete (at once) and Close.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPushButton>

#include "station/app/setup/satellite_pages.h"

namespace orva::station::app {

class SatellitesDialog : public QDialog {
    Q_OBJECT
public:
    SatellitesDialog(platform::Store& store, SatelliteSaved saved = {}, QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }
    // Runs after a satellite was deleted (the station drops its passes).
    void set_deleted_hook(std::function<void(const std::string&)> hook) { on_deleted_ = std::move(hook); }
    void refill();
    void new_satellite();
    void edit_selected();
    void delete_selected();

private:
    platform::Store& store_;
    SatelliteSaved on_saved_;
    std::function<void(const std::string&)> on_deleted_;
    QListWidget* list_;
    QPushButton *edit_, *delete_;
};

} // namespace orva::station::app
