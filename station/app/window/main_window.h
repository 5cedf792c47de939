// Helmo's main window: a view over the station host. The clock, the live tracking table, the
// schedule list and the status line are redrawn after each round of the tracking loop; the menu
// comes from one table (menu_table.h).
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>

#include <atomic>
#include <map>
#include <mutex>

#include "station/app/map_window.h"
#include "station/app/rotor_display.h"
#include "station/app/station_host.h"
#include "station/app/window/menu_table.h"
#include "station/app/window/view_texts.h"
#include "platform/worker_thread.h"

class QAction;
class QDialog;
class QPrinter;

namespace orva::station {

class MainWindow final : public QMainWindow, public HostView {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    // The host is made with this window as its view, then attached; start the host after it.
    void attach(StationHost& host);
    // After a successful start: placement, fonts, menu state, first refresh.
    void started();

    // Wires a command to a menu entry (enables it); an empty command greys it.
    void set_command(int id, std::function<void()> command);
    QAction* action(int id) const;
    void run_command(int id); // as if chosen from the menu (tests)

    // HostView
    void line(const std::string& text) override;
    void warning(const std::string& text, const std::string& caption) override;
    void pre_pass_notice(const PassEntry& entry, bool show_window) override;
    void close_pre_pass_notice(const PassEntry& entry) override;
    void refresh(std::int64_t now) override;
    void satellite_rose(const std::string& name) override;
    void rotor_position(double azimuth, double elevation) override;
    void time_changed() override;
    void elements_reloaded() override;
    void display_on_map(const std::string& name) override;
    void station_moved(const elements::ObserverSite& home) override;

    // The map window (Graphic Track), created on first use; null until then.
    map::MapWindow* map_window() const { return map_.get(); }
    map::MapWindow& open_map_window();
    // The rotor dials: the rotator control feeds them the computed or the reported position.
    map::RotorDisplay* rotor_display() const { return rotor_; }

    // What tests read.
    QListWidget* tracking_table() const { return tracking_; }
    QListWidget* schedule_list() const { return schedule_; }
    QString clock_text() const { return clock_->text(); }
    QString date_text() const { return date_->text(); }
    QString status_text() const { return status_->text(); }
    QDialog* notice(const std::string& name, std::int64_t aos) const;
    bool utc() const { return utc_; }
    void set_display_utc(bool utc) { utc_ = utc; }
    // The local offset the clock uses (the host's; tests set their own).
    void set_local_offset(std::int64_t offset) { offset_override_ = offset; has_offset_override_ = true; }
    int fixed_width() const { return fixed_width_; }
    int sounds_played() const { return sounds_; }
    int placements_stored() const { return placements_stored_; }

    // Opens the user guide at a section (the desktop's browser unless a test sets its own).
    void set_guide_opener(std::function<Status(std::string_view)> opener) { guide_opener_ = std::move(opener); }

    // Dialogs the window would run modally go to this instead when set (tests press their buttons).
    void set_dialog_driver(std::function<void(QDialog&)> driver) { dialog_driver_ = std::move(driver); }
    // Edit Schedule over the entry of a schedule row, and over a new pass of a satellite (Add Pass
    // after its choice).
    void edit_scheduling(int row);
    void add_pass_of(const std::string& name);

    // Row menus for a row (tests call the commands directly).
    void schedule_row_command(int id, int row);
    void tracking_row_command(int id, int row);
    // The printed schedule: "Helmo - Schedule", a blank line between days.
    QStringList printed_schedule_lines() const;
    void print_schedule_to(QPrinter& printer) const;

    // Select Font's and Update Satellite Database's work after their choosers.
    void store_font(const QFont& font);
    std::optional<std::vector<std::string>> import_elements(const std::filesystem::path& file, bool amsat);
    QFont current_font() const { return font_; }

    // Placement read from the store and applied (also used at start).
    void apply_placement();
    void apply_fonts();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void build_menus();
    void wire_commands();
    void show_status(const QString& text);
    void store_placement();
    std::int64_t offset() const;
    void on_schedule_menu(const QPoint& pos);
    void on_tracking_menu(const QPoint& pos);
    void open_notice(const PassEntry& entry);
    void update_fixed_width();
    int run_dialog(QDialog& dialog);

    // Commands.
    void track_dialog();
    void toggle_scheduling();
    void run_pass();
    void add_pass();
    void print_schedule();
    void select_font();
    void select_map_font();
    void enable_rotator();
    void edit_satellite_data();
    void edit_observers();
    void update_database();
    void update_database_from_network();
    void schedule_events();
    void start_program(std::vector<std::string> words, const std::filesystem::path& dir = {});
    void help(const std::string& section);
    void about();

    StationHost* host_ = nullptr;
    // The network update runs here, off the window thread; closing the window abandons it.
    platform::WorkerThread network_update_;
    bool network_busy_ = false;
    QLabel *clock_, *date_, *status_, *tracking_heading_, *schedule_heading_;
    QListWidget *tracking_, *schedule_;
    std::vector<MenuEntry> entries_;
    std::map<int, QAction*> actions_;
    std::vector<ScheduleRow> rows_;
    std::map<std::pair<std::string, std::int64_t>, QPointer<QDialog>> notices_;
    bool utc_ = true;
    std::int64_t offset_override_ = 0;
    bool has_offset_override_ = false;
    std::int64_t last_scroll_ = 0, now_ = 0;
    int fixed_width_ = 0;
    int sounds_ = 0;
    int placements_stored_ = 0;
    bool placing_ = false;
    std::function<void(QDialog&)> dialog_driver_;
    std::function<Status(std::string_view)> guide_opener_;
    // Station time of the last move or resize not yet stored (0: none). The loop's next round a
    // second or more later stores it, so a drag writes once, and a crash keeps the last place.
    std::int64_t placement_changed_ = 0;
    QFont font_;
    std::unique_ptr<map::MapWindow> map_;
    map::RotorDisplay* rotor_ = nullptr;
};

} // namespace orva::station
