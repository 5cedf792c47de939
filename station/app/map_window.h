// The map window, "Helmo - Graphic Tracking": the world picture scaled to the window with the
// shown satellite (or the Sun), its ground track, visibility circle, the terminator and the
// observers, and the text panel beneath. It runs on the window thread: a timer does the
// update rounds (977 ms apart in normal mode, 2 ms in fast mode) and a key wakes it at once.
#pragma once

#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "platform/messenger.h"
#include "platform/store/store.h"
#include "station/map/map_view.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace orva::station::map {

inline constexpr const char* kMapWindowClass = "HelmoCtl:Map";
inline constexpr const char* kMapWindowTitle = "Helmo - Graphic Tracking";

// The dialogs the window asks its questions through; tests answer them.
class MapDialogs {
public:
    virtual ~MapDialogs() = default;
    virtual std::optional<std::string> choose_satellite(QWidget* parent, const std::vector<std::string>& names,
                                                        const std::string& current) = 0;
    // The observer file's names, and the ones on the map now (without the home station).
    virtual std::optional<std::vector<std::string>> choose_observers(QWidget* parent, const std::string& home,
                                                                     const std::vector<std::string>& available,
                                                                     const std::vector<std::string>& chosen) = 0;
    virtual std::optional<int> ask_speed(QWidget* parent, int current) = 0;
    virtual std::optional<QFont> choose_font(QWidget* parent, const QFont& current) = 0;
    virtual void show_error(QWidget* parent, const std::string& text) = 0;
};
std::unique_ptr<MapDialogs> desktop_map_dialogs();

// The map font from "Map Font Name", "Map Font Size" (pixels), "Map Font Type" (weight) and
// "Map Font Pitch"; a fixed-pitch face stands in when the named one is missing.
QFont stored_map_font(const settings::HelmoSettings& s);
// Keeps a chosen font in those four values (the main window's Select Map Font does this too).
Status store_map_font(platform::Store& store, settings::HelmoSettings& s, const QFont& font);

class MapCanvas;

class MapWindow : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        MapDialogs* dialogs = nullptr;   // null: the desktop's dialogs
        bool run_timer = true;           // tests drive update_round() themselves
        QImage picture;                  // null: the packaged world picture
        // Hooks of the main window; their menu items are greyed while unset.
        std::function<void(const std::string&)> edit_elements;
        std::function<void(const std::string&, bool)> track_with_rotator;
    };

    MapWindow(platform::Store& store, const platform::Clock& clock, Options options, QWidget* parent = nullptr);
    ~MapWindow() override;

    // "The Sun" or a satellite of the element database; false (nothing changes) when unknown.
    bool show_on_map(const std::string& name);
    // The element database was rewritten: read it again and find the shown satellite by its
    // catalogue number.
    void reload_elements();
    // The station moved: the home observer and its circle follow.
    void set_home(const elements::ObserverSite& home);
    // One update round; the timer calls it.
    void update_round();
    // The wait after a round: 2 + 975 ms in normal mode, 2 ms in fast mode.
    int round_interval_ms() const;
    void apply_font(const QFont& font);
    // Takes "HelmoCtl:Map" on the bus; a second instance's Raise brings this one forward.
    Status register_window(platform::Messenger& messenger);

    const MapView& view() const { return *view_; }
    const settings::HelmoSettings& settings() const { return settings_; }
    QStringList panel_text() const;
    QAction* action(const QString& text) const;
    void set_rotator_tracking(bool on);
    // The observers after the home station, by their names in the observer file (those it
    // does not hold are dropped, at most four kept); the window grows or shrinks to the panel.
    void set_observer_names(const std::vector<std::string>& names);
    // Position under a point of the canvas (widget coordinates), none outside the picture.
    std::optional<MapPosition> position_at(QPoint canvas_point) const;
    QWidget* canvas() const;

    // The menu commands.
    void select_satellite();
    void change_observers();
    void choose_speed();
    void choose_font();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void build_menus();
    void load_elements();
    void apply_options(const MapOptions& options, std::initializer_list<const char*> changed);
    void sync_actions();
    void refresh_panel();
    void restart_timer();
    void save_value(const char* name);
    StationSeconds now() const;

    platform::Store& store_;
    const platform::Clock& clock_;
    Options options_;
    std::unique_ptr<MapDialogs> own_dialogs_;
    MapDialogs* dialogs_ = nullptr;
    settings::HelmoSettings settings_;
    std::string suite_dir_;
    elements::KepDatabase database_;
    std::vector<elements::ObserverRecord> observer_file_;
    std::unique_ptr<MapView> view_;
    MapCanvas* canvas_ = nullptr;
    QLabel* panel_ = nullptr;
    QLabel* cursor_ = nullptr;
    QTimer* timer_ = nullptr;
    QImage picture_;
    std::vector<QAction*> switch_actions_; // normal then fast: terminator, track, circle, scroll
    std::vector<QAction*> origin_actions_;
    QAction* track_action_ = nullptr;
    QAction* edit_action_ = nullptr;
    std::unique_ptr<platform::MessageWindow> bus_window_;
};

// "Graphic Track": brings the map window forward, creating it first when there is none.
MapWindow& open_map(std::unique_ptr<MapWindow>& window, platform::Store& store, const platform::Clock& clock,
                    MapWindow::Options options = {});

} // namespace orva::station::map
