// What the map window shows, apart from drawing it: the map time and how it moves (normal or
// fast, paused, forward or backward), the shown satellite or the Sun, its ground track,
// visibility circle and the terminator, and how each observer sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "common/settings/suite_settings.h"
#include "station/map/map_geometry.h"
#include "station/orbit/geodesy.h"
#include "station/orbit/sat_track.h"

namespace orva::station::map {

inline constexpr int kMaxStep = 86400;
inline constexpr int kTrackPoints = 130;
inline constexpr int kMaxObservers = 5; // the home station and four from the observer file
inline constexpr const char* kSunName = "The Sun";

// Fast-mode step for one orbit in `speed` updates, 1 to 86 400 seconds.
int fast_step(double mean_motion_rev_day, int speed);
// Cursor up and down: a fifth plus one second more or less, within 1 to 86 400.
int step_up(int step);
int step_down(int step);

struct MapSwitches {
    bool terminator = true, ground_track = true, circle = true, scroll = true;
    bool operator==(const MapSwitches&) const = default;
};

struct MapOptions {
    MapSwitches normal, fast;
    int origin = 0;
    int speed = 100;
};
MapOptions map_options(const settings::HelmoSettings& s);
void store_map_options(settings::HelmoSettings& s, const MapOptions& o);

enum class MapMode { Normal, Fast };
enum class MapDirection { Forward, Backward };
enum class MapKey { Pause, Fast, Direction, StepUp, StepDown };

struct ObserverView {
    std::string name;
    double azimuth_deg = 0, elevation_deg = 0, range_km = 0;
    std::optional<double> doppler_hz; // none without a beacon frequency, or for the Sun
    std::optional<int> ofp;           // none for the Sun
};

struct GroundTrack {
    StationSeconds start = 0, end = 0;
    std::vector<MapPosition> points;
};

// The shapes of one picture, in reference pixels.
struct MapShapes {
    std::vector<Polyline> ground_track, circle, terminator;
    std::optional<Pixel> marker;
    std::vector<Pixel> observers;
};

struct UpdateResult {
    bool repaint = false;      // the position moved, or the map time did
    bool full_redraw = false;  // every 30th move, and whenever the ground track was recomputed
};

class MapView {
public:
    // The home station is the first observer and stays.
    MapView(MapOptions options, elements::ObserverSite home);

    // Normal mode at `now`, forward. Fails (and nothing changes) for elements the model refuses.
    Status show_satellite(const elements::KepRecord& record, StationSeconds now);
    void show_sun(StationSeconds now);
    bool has_subject() const { return kind_ != Kind::None; }
    bool showing_sun() const { return kind_ == Kind::Sun; }
    const std::string& subject_name() const { return name_; }
    std::uint16_t subject_catalogue() const { return track_.catalogue; }

    // The station moved: the home observer is replaced.
    void set_home(elements::ObserverSite home);
    // The observers after the home station; at most four are kept.
    void set_extra_observers(std::vector<elements::ObserverSite> extra);
    const std::vector<elements::ObserverSite>& observers() const { return observers_; }

    // Keys act at `now` (leaving fast mode returns to it). False when the key changed nothing.
    bool press(MapKey key, StationSeconds now);
    // One round of the update: moves the map time (unless paused) and recomputes.
    UpdateResult update(StationSeconds now);
    // Recomputes everything at the current map time and asks for a full redraw.
    void refresh();

    void set_options(const MapOptions& options);
    const MapOptions& options() const { return options_; }
    const MapSwitches& switches() const { return mode_ == MapMode::Fast ? options_.fast : options_.normal; }

    StationSeconds map_time() const { return map_time_; }
    MapMode mode() const { return mode_; }
    bool paused() const { return paused_; }
    MapDirection direction() const { return direction_; }
    int step() const { return step_; }
    int redraw_counter() const { return moves_; }

    MapPosition subject_position() const { return position_; }
    double height_km() const { return height_km_; }
    double ma() const { return ma_; }
    std::string transponder_mode() const;
    const GroundTrack& ground_track() const { return track_points_; }
    const std::vector<MapPosition>& circle() const { return circle_; }
    const std::vector<MapPosition>& terminator() const { return terminator_; }
    StationSeconds terminator_time() const { return terminator_time_; }
    const std::vector<ObserverView>& views() const { return views_; }

    MapShapes shapes() const;

private:
    enum class Kind { None, Satellite, Sun };
    void compute();
    void compute_ground_track();
    bool track_stale() const;
    void compute_terminator();
    double mean_motion() const;
    double period_s() const;

    MapOptions options_;
    std::vector<elements::ObserverSite> observers_;
    std::vector<SiteFrame> frames_;
    Kind kind_ = Kind::None;
    std::string name_;
    SatTrack track_;
    StationSeconds map_time_ = 0;
    MapMode mode_ = MapMode::Normal;
    bool paused_ = false;
    MapDirection direction_ = MapDirection::Forward;
    int step_ = 1;

    MapPosition position_;
    double height_km_ = 0, ma_ = 0;
    std::vector<MapPosition> circle_, terminator_;
    StationSeconds terminator_time_ = 0;
    bool terminator_valid_ = false;
    GroundTrack track_points_;
    std::vector<ObserverView> views_;
    std::optional<Pixel> last_marker_;
    int moves_ = 0;
    bool full_pending_ = true;
};

// Angular distance in radians between two points given in degrees (longitude west positive).
double angular_distance(double lat1, double lon1_west, double lat2, double lon2_west);

// The observers that stay on the map: the chosen names that the observer file holds (exactly),
// in the chosen order, at most four.
std::vector<elements::ObserverSite> resolve_observers(const std::vector<std::string>& chosen,
                                                      const std::vector<elements::ObserverRecord>& file);

// Where the window goes from "Map xLeft" and "Map yTop"; none leaves it to the system.
std::optional<Pixel> map_window_position(std::uint32_t x_left, std::uint32_t y_top, int screen_width,
                                         int screen_height);

} // namespace orva::station::map
