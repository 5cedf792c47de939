#include "station/app/map_window.h"

#include "common/elements/observer_file.h"
#include "common/settings/keys.h"
#include "station/app/world_picture.h"
#include "station/map/map_text.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace orva::station::map {

namespace {

constexpr int kNormalRoundMs = 2 + 975;
constexpr int kFastRoundMs = 2;

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

} // namespace

QFont stored_map_font(const settings::HelmoSettings& s)
{
    QFont f(qs(s.map_font_name));
    // The stored size is the character height in pixels.
    f.setPixelSize(std::clamp<int>(int(s.map_font_size), 8, 48));
    f.setWeight(QFont::Weight(std::clamp<int>(int(s.map_font_type), 100, 900)));
    f.setFixedPitch(true);
    f.setStyleHint(QFont::TypeWriter);
    // The panel's columns line up only in a fixed-pitch face; "Terminal" is rarely installed.
    if (!QFontInfo(f).fixedPitch()) {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPixelSize(f.pixelSize());
        fixed.setWeight(f.weight());
        return fixed;
    }
    return f;
}

Status store_map_font(platform::Store& store, settings::HelmoSettings& s, const QFont& font)
{
    s.map_font_name = font.family().left(31).toStdString();
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    s.map_font_size = std::uint32_t(std::clamp(pixels, 8, 48));
    s.map_font_type = std::uint32_t(font.weight());
    s.map_font_pitch = 1;
    for (const char* name : {"Map Font Name", "Map Font Size", "Map Font Type", "Map Font Pitch"})
        if (auto r = settings::write_one(store, settings::keys::helmo, settings::helmo_fields(), s, name); !r)
            return r;
    return {};
}

// The picture with everything drawn on it, scaled to the widget with the 520 x 260 geometry.
class MapCanvas : public QWidget {
public:
    explicit MapCanvas(MapWindow& window) : QWidget(&window), window_(window)
    {
        setMouseTracking(true);
        setMinimumSize(kMapWidth / 2, kMapHeight / 2);
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }
    QSize sizeHint() const override { return {kMapWidth, kMapHeight}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override { return w * kMapHeight / kMapWidth; }

    // The picture's place and scale in the widget.
    QRectF picture_rect() const
    {
        const double s = std::min(width() / double(kMapWidth), height() / double(kMapHeight));
        const double w = kMapWidth * s, h = kMapHeight * s;
        return {(width() - w) / 2.0, 0.0, w, h};
    }

    void set_picture(const QImage& picture, int origin)
    {
        if (origin != origin_ || picture.cacheKey() != source_key_) {
            rotated_ = rotated_picture(picture, origin);
            origin_ = origin;
            source_key_ = picture.cacheKey();
        }
    }

    std::function<void(QPoint)> on_mouse;

protected:
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (on_mouse)
            on_mouse(e->position().toPoint());
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        const QRectF r = picture_rect();
        const double s = r.width() / kMapWidth;
        p.drawImage(r, rotated_);
        p.setRenderHint(QPainter::Antialiasing, s > 1.2);
        p.translate(r.topLeft());
        p.scale(s, s);
        p.setClipRect(QRectF(0, 0, kMapWidth, kMapHeight));

        const MapView& view = window_.view();
        const MapShapes shapes = view.shapes();
        auto pen = [&](QColor c, double w = 1.0) {
            QPen pen(c, w * std::max(1.0, s * 0.8));
            pen.setCosmetic(true);
            return pen;
        };
        auto draw = [&](const std::vector<Polyline>& lines) {
            for (const auto& line : lines) {
                QPolygonF poly;
                for (const auto& pt : line)
                    poly << QPointF(pt.x, pt.y);
                p.drawPolyline(poly);
            }
        };
        p.setPen(pen(QColor(255, 200, 40)));
        draw(shapes.terminator);
        p.setPen(pen(QColor(80, 255, 120)));
        draw(shapes.ground_track);
        p.setPen(pen(QColor(255, 255, 255)));
        draw(shapes.circle);
        p.setPen(pen(QColor(255, 255, 0)));
        for (const Pixel o : shapes.observers) {
            p.drawLine(QPointF(o.x - 2, o.y - 2), QPointF(o.x + 2, o.y + 2));
            p.drawLine(QPointF(o.x - 2, o.y + 2), QPointF(o.x + 2, o.y - 2));
        }
        if (shapes.marker) {
            p.setPen(pen(QColor(255, 40, 40), 1.5));
            for (const auto& stroke : marker_strokes(*shapes.marker))
                p.drawLine(QPointF(stroke[0].x, stroke[0].y), QPointF(stroke[1].x, stroke[1].y));
        }
        if (view.paused()) {
            p.resetTransform();
            p.setClipping(false);
            p.setPen(Qt::red);
            const QString text = QStringLiteral("Paused");
            p.drawText(QPointF(r.right() - fontMetrics().horizontalAdvance(text) - 4, r.top() + fontMetrics().ascent() + 2),
                       text);
        }
    }

private:
    MapWindow& window_;
    QImage rotated_;
    int origin_ = -1;
    qint64 source_key_ = 0;
};

MapWindow::MapWindow(platform::Store& store, const platform::Clock& clock, Options options, QWidget* parent)
    : QMainWindow(parent), store_(store), clock_(clock), options_(std::move(options))
{
    setWindowTitle(QString::fromLatin1(kMapWindowTitle));
    setObjectName(QString::fromLatin1(kMapWindowClass));
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (options_.dialogs) {
        dialogs_ = options_.dialogs;
    } else {
        own_dialogs_ = desktop_map_dialogs();
        dialogs_ = own_dialogs_.get();
    }
    settings_ = settings::read_helmo(store_);
    const auto station = settings::read_station(store_, settings::Program::Helmo);
    suite_dir_ = settings::read_general(store_, settings::Program::Helmo).orva_directory;
    view_ = std::make_unique<MapView>(map_options(settings_),
        elements::ObserverSite::from_station(station.callsign, station.latitude, station.longitude, station.altitude));
    picture_ = options_.picture.isNull() ? world_picture() : options_.picture;

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    canvas_ = new MapCanvas(*this);
    canvas_->on_mouse = [this](QPoint at) {
        if (auto pos = position_at(at))
            cursor_->setText(QString::asprintf("%.1f%c %.1f%c", std::fabs(pos->latitude_deg),
                                               pos->latitude_deg >= 0 ? 'N' : 'S', std::fabs(pos->longitude_west_deg),
                                               pos->longitude_west_deg >= 0 ? 'W' : 'E'));
    };
    layout->addWidget(canvas_, 1);
    panel_ = new QLabel(central);
    panel_->setTextFormat(Qt::PlainText);
    panel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    panel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    panel_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout->addWidget(panel_);
    setCentralWidget(central);
    cursor_ = new QLabel(this);
    statusBar()->addPermanentWidget(cursor_);

    build_menus();
    load_elements();
    apply_font(stored_map_font(settings_));

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        update_round();
        restart_timer();
    });

    if (!settings_.map_sat.empty())
        (void)show_on_map(settings_.map_sat);
    refresh_panel();
    resize(kMapWidth, kMapHeight + panel_->sizeHint().height() + menuBar()->sizeHint().height()
                          + statusBar()->sizeHint().height() + 2);
    if (auto* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->availableGeometry();
        if (auto at = map_window_position(settings_.map_x_left, settings_.map_y_top, s.width(), s.height()))
            move(at->x, at->y);
    }
    restart_timer();
}

MapWindow::~MapWindow() = default;

QWidget* MapWindow::canvas() const { return canvas_; }

StationSeconds MapWindow::now() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(clock_.now().time_since_epoch()).count();
}

void MapWindow::set_home(const elements::ObserverSite& home)
{
    view_->set_home(home);
    refresh_panel();
    canvas_->update();
}

void MapWindow::load_elements()
{
    const std::filesystem::path dir(suite_dir_);
    if (auto db = elements::KepDatabase::load(elements::kep_database_path(dir)))
        database_ = std::move(*db);
    else
        dialogs_->show_error(this, db.error().message);
    if (auto obs = elements::ObserverFile(elements::observer_file_path(dir)).read_all())
        observer_file_ = std::move(*obs);
}

void MapWindow::reload_elements()
{
    const std::uint16_t catalogue = view_->showing_sun() ? 0 : view_->subject_catalogue();
    load_elements();
    if (catalogue != 0) {
        const int slot = database_.find_by_catalogue(catalogue);
        if (slot >= 0)
            (void)view_->show_satellite(database_.slot(slot), now());
    }
    canvas_->update();
    refresh_panel();
}

void MapWindow::build_menus()
{
    QMenu* map = menuBar()->addMenu(tr("&Map"));
    map->addAction(tr("Select Satellite..."), this, &MapWindow::select_satellite);
    edit_action_ = map->addAction(tr("Edit keplerian elements..."), this, [this] {
        if (options_.edit_elements && view_->has_subject() && !view_->showing_sun())
            options_.edit_elements(view_->subject_name());
    });
    map->addAction(tr("Change Observers..."), this, &MapWindow::change_observers);
    track_action_ = map->addAction(tr("Track with Rotator"));
    track_action_->setCheckable(true);
    connect(track_action_, &QAction::triggered, this, [this](bool on) {
        if (options_.track_with_rotator && view_->has_subject() && !view_->showing_sun())
            options_.track_with_rotator(on ? view_->subject_name() : std::string(), on);
    });
    map->addSeparator();
    map->addAction(tr("Close"), this, &QWidget::close);

    QMenu* opts = menuBar()->addMenu(tr("&Options"));
    static const char* const kSwitchNames[2][4] = {
        {"Map Terminator Norm", "Map GroundTrack Norm", "Map Circle Norm", "Map Scroll Norm"},
        {"Map Terminator Fast", "Map GroundTrack Fast", "Map Circle Fast", "Map Scroll Fast"}};
    static const char* const kSwitchTexts[4] = {"Terminator", "Ground Track", "Visibility Circle", "Scroll"};
    for (int mode = 0; mode < 2; ++mode) {
        QMenu* sub = opts->addMenu(mode == 0 ? tr("Normal Speed") : tr("Fast Speed"));
        for (int i = 0; i < 4; ++i) {
            QAction* a = sub->addAction(tr(kSwitchTexts[i]));
            a->setCheckable(true);
            a->setData(QString::fromLatin1(kSwitchNames[mode][i]));
            connect(a, &QAction::triggered, this, [this, mode, i](bool on) {
                MapOptions o = view_->options();
                MapSwitches& sw = mode == 0 ? o.normal : o.fast;
                bool* flags[4] = {&sw.terminator, &sw.ground_track, &sw.circle, &sw.scroll};
                *flags[i] = on;
                apply_options(o, {kSwitchNames[mode][i]});
            });
            switch_actions_.push_back(a);
        }
    }
    QMenu* origin = opts->addMenu(tr("Map Origin"));
    auto* group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        static const char* const kOrigins[3] = {"170W", "30W", "80E"};
        QAction* a = origin->addAction(QString::fromLatin1(kOrigins[i]));
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] {
            MapOptions o = view_->options();
            o.origin = i;
            apply_options(o, {"Map Origin"});
        });
        origin_actions_.push_back(a);
    }
    opts->addAction(tr("Map Speed..."), this, &MapWindow::choose_speed);
    opts->addAction(tr("Select Map Font..."), this, &MapWindow::choose_font);
    sync_actions();
}

void MapWindow::sync_actions()
{
    const MapOptions& o = view_->options();
    const MapSwitches* sets[2] = {&o.normal, &o.fast};
    for (int mode = 0; mode < 2; ++mode) {
        const bool flags[4] = {sets[mode]->terminator, sets[mode]->ground_track, sets[mode]->circle, sets[mode]->scroll};
        for (int i = 0; i < 4; ++i)
            switch_actions_[std::size_t(mode * 4 + i)]->setChecked(flags[i]);
    }
    for (int i = 0; i < 3; ++i)
        origin_actions_[std::size_t(i)]->setChecked(o.origin == i);
    const bool satellite = view_->has_subject() && !view_->showing_sun();
    edit_action_->setEnabled(bool(options_.edit_elements) && satellite);
    track_action_->setEnabled(bool(options_.track_with_rotator) && satellite);
}

QAction* MapWindow::action(const QString& text) const
{
    const auto all = findChildren<QAction*>();
    for (QAction* a : all)
        if (a->text() == text || a->data().toString() == text)
            return a;
    return nullptr;
}

void MapWindow::save_value(const char* name)
{
    if (auto s = settings::write_one(store_, settings::keys::helmo, settings::helmo_fields(), settings_, name); !s)
        dialogs_->show_error(this, s.error().message);
}

void MapWindow::apply_options(const MapOptions& options, std::initializer_list<const char*> changed)
{
    view_->set_options(options);
    store_map_options(settings_, options);
    for (const char* name : changed)
        save_value(name);
    sync_actions();
    canvas_->update();
    refresh_panel();
}

bool MapWindow::show_on_map(const std::string& name)
{
    if (name == kSunName) {
        view_->show_sun(now());
    } else {
        const int slot = database_.find_by_name(name);
        if (slot < 0)
            return false;
        if (auto s = view_->show_satellite(database_.slot(slot), now()); !s) {
            dialogs_->show_error(this, s.error().message);
            return false;
        }
    }
    if (settings_.map_sat != view_->subject_name()) {
        settings_.map_sat = view_->subject_name();
        save_value("Map Sat");
    }
    set_rotator_tracking(false);
    sync_actions();
    canvas_->update();
    refresh_panel();
    restart_timer();
    return true;
}

void MapWindow::set_rotator_tracking(bool on) { track_action_->setChecked(on); }

void MapWindow::update_round()
{
    const UpdateResult r = view_->update(now());
    if (r.repaint) {
        canvas_->update();
        refresh_panel();
    }
}

int MapWindow::round_interval_ms() const { return view_->mode() == MapMode::Fast ? kFastRoundMs : kNormalRoundMs; }

void MapWindow::restart_timer()
{
    if (!options_.run_timer || !timer_)
        return;
    timer_->start(round_interval_ms());
}

QStringList MapWindow::panel_text() const
{
    QStringList out;
    for (const auto& line : panel_lines(*view_))
        out << qs(line);
    return out;
}

void MapWindow::refresh_panel()
{
    canvas_->set_picture(picture_, view_->options().origin);
    panel_->setText(panel_text().join(QLatin1Char('\n')));
}

std::optional<MapPosition> MapWindow::position_at(QPoint at) const
{
    const QRectF r = canvas_->picture_rect();
    if (!r.contains(at) || r.width() <= 0)
        return std::nullopt;
    const double s = r.width() / kMapWidth;
    const int x = std::clamp(int((at.x() - r.left()) / s), 0, kMapWidth - 1);
    const int y = std::clamp(int((at.y() - r.top()) / s), 0, kMapHeight - 1);
    return map_position(x, y, view_->options().origin);
}

void MapWindow::keyPressEvent(QKeyEvent* event)
{
    std::optional<MapKey> key;
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_P:
        key = MapKey::Pause;
        break;
    case Qt::Key_F:
        key = MapKey::Fast;
        break;
    case Qt::Key_D:
        key = MapKey::Direction;
        break;
    case Qt::Key_Up:
        key = MapKey::StepUp;
        break;
    case Qt::Key_Down:
        key = MapKey::StepDown;
        break;
    default:
        QMainWindow::keyPressEvent(event);
        return;
    }
    if (!view_->press(*key, now()))
        return;
    canvas_->update();
    refresh_panel();
    // Wake the update at once rather than at the end of a normal-mode wait.
    if (options_.run_timer)
        timer_->start(0);
}

void MapWindow::select_satellite()
{
    std::vector<std::string> names;
    for (const auto& r : database_.all_slots())
        if (!r.name.empty())
            names.push_back(r.name);
    names.push_back(kSunName);
    auto chosen = dialogs_->choose_satellite(this, names, view_->subject_name());
    if (chosen)
        (void)show_on_map(*chosen);
}

void MapWindow::change_observers()
{
    if (auto obs = elements::ObserverFile(elements::observer_file_path(suite_dir_)).read_all())
        observer_file_ = std::move(*obs);
    std::vector<std::string> available, chosen;
    for (const auto& r : observer_file_)
        available.push_back(r.name);
    for (std::size_t i = 1; i < view_->observers().size(); ++i)
        chosen.push_back(view_->observers()[i].name);
    auto picked = dialogs_->choose_observers(this, view_->observers().front().name, available, chosen);
    if (picked)
        set_observer_names(*picked);
}

void MapWindow::set_observer_names(const std::vector<std::string>& names)
{
    view_->set_extra_observers(resolve_observers(names, observer_file_));
    const int before = panel_->height();
    refresh_panel();
    canvas_->update();
    resize(width(), height() + panel_->sizeHint().height() - before);
}

void MapWindow::choose_speed()
{
    if (auto speed = dialogs_->ask_speed(this, view_->options().speed)) {
        MapOptions o = view_->options();
        o.speed = std::clamp(*speed, 1, 10000);
        apply_options(o, {"Map Speed"});
    }
}

void MapWindow::choose_font()
{
    if (auto font = dialogs_->choose_font(this, panel_->font())) {
        apply_font(*font);
        if (auto s = store_map_font(store_, settings_, *font); !s)
            dialogs_->show_error(this, s.error().message);
    }
}

void MapWindow::apply_font(const QFont& font)
{
    panel_->setFont(font);
    refresh_panel();
}

Status MapWindow::register_window(platform::Messenger& messenger)
{
    platform::WindowHandlers handlers;
    handlers.on_message = [this](const platform::WindowMessage& m) -> std::int32_t {
        if (m.number == 16) // close
            close();
        return 0;
    };
    handlers.on_raise = [this] {
        show();
        raise();
        activateWindow();
    };
    auto w = messenger.create_window(kMapWindowClass, kMapWindowTitle, handlers, false);
    if (!w)
        return w.error();
    bus_window_ = std::move(*w);
    return {};
}

void MapWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!isMinimized() && !isMaximized()) {
        settings_.map_x_left = std::uint32_t(pos().x());
        settings_.map_y_top = std::uint32_t(pos().y());
    }
}

void MapWindow::closeEvent(QCloseEvent* event)
{
    save_value("Map xLeft");
    save_value("Map yTop");
    if (timer_)
        timer_->stop();
    bus_window_.reset();
    event->accept();
}

MapWindow& open_map(std::unique_ptr<MapWindow>& window, platform::Store& store, const platform::Clock& clock,
                    MapWindow::Options options)
{
    if (!window)
        window = std::make_unique<MapWindow>(store, clock, std::move(options));
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}

} // namespace orva::station::map
