#include "station/app/window/main_window.h"

#include "common/settings/event_sound.h"
#include "platform/sound_player.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "station/app/window/dialogs.h"
#include "station/core/tracking_list.h"

namespace orva::station {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

QColor colour_of(RowColour c)
{
    switch (c) {
    case RowColour::Grey: return Qt::gray;
    case RowColour::Red: return Qt::red;
    case RowColour::DarkRed: return Qt::darkRed;
    case RowColour::Black: break;
    }
    return Qt::black;
}

// The named font when this system has it at a fixed pitch, else the system's fixed-width font at
// the same size and weight: the table's columns line up only in a fixed-width font.
QFont station_font(const std::string& name, int size, int weight)
{
    QFont f(q(name), size > 0 ? size : 12);
    f.setWeight(QFont::Weight(std::clamp(weight > 0 ? weight : 400, 100, 900)));
    f.setStyleHint(QFont::TypeWriter);
    QFontInfo info(f);
    if (info.family().compare(q(name), Qt::CaseInsensitive) != 0 || !info.fixedPitch()) {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSize(size > 0 ? size : 12);
        fixed.setWeight(f.weight());
        return fixed;
    }
    return f;
}
} // namespace

MainWindow::MainWindow()
{
    setWindowTitle("Helmo");
    setObjectName("HelmoCtl");
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(1);
    auto* clock_row = new QHBoxLayout;
    clock_ = new QLabel("  :  :   UTC", central);
    date_ = new QLabel(central);
    clock_row->addWidget(clock_);
    clock_row->addStretch();
    clock_row->addWidget(date_);
    layout->addLayout(clock_row);
    tracking_heading_ = new QLabel(kTrackingHeading, central);
    layout->addWidget(tracking_heading_);
    tracking_ = new QListWidget(central);
    tracking_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tracking_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tracking_->setContextMenuPolicy(Qt::CustomContextMenu);
    tracking_->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(tracking_);
    schedule_heading_ = new QLabel(kScheduleHeading, central);
    layout->addWidget(schedule_heading_);
    schedule_ = new QListWidget(central);
    schedule_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    schedule_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    schedule_->setContextMenuPolicy(Qt::CustomContextMenu);
    schedule_->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(schedule_, 1);
    rotor_ = new map::RotorDisplay(central);
    rotor_->setFixedHeight(110);
    layout->addWidget(rotor_);
    setCentralWidget(central);
    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);
    // Scrolling by the operator (not our own return to the top) starts the 120-s wait.
    connect(schedule_->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int) { last_scroll_ = now_; });
    connect(schedule_, &QWidget::customContextMenuRequested, this, &MainWindow::on_schedule_menu);
    connect(tracking_, &QWidget::customContextMenuRequested, this, &MainWindow::on_tracking_menu);
    entries_ = main_menu_entries();
    build_menus();
}

MainWindow::~MainWindow() = default;

void MainWindow::attach(StationHost& host)
{
    host_ = &host;
    wire_commands();
}

void MainWindow::started()
{
    settings::HelmoSettings h = settings::read_helmo(host_->store());
    utc_ = h.display_time != 0;
    apply_fonts();
    apply_placement();
    if (QAction* a = action(132))
        a->setChecked(host_->scheduling());
    refresh(host_->now());
}

// ---- menu ----

void MainWindow::build_menus()
{
    std::map<std::string, QMenu*> menus;
    QMenu* file = menuBar()->addMenu("&Helmo");
    QAction* exit = file->addAction("E&xit");
    connect(exit, &QAction::triggered, this, &QWidget::close);
    for (MenuEntry& e : entries_) {
        QMenu*& m = menus[e.menu];
        if (!m)
            m = menuBar()->addMenu(q(e.menu));
        QAction* a = m->addAction(q(e.text));
        a->setData(e.id);
        a->setCheckable(e.checkable);
        a->setEnabled(false);
        actions_[e.id] = a;
        connect(a, &QAction::triggered, this, [this, id = e.id] { run_command(id); });
    }
    QToolBar* bar = addToolBar("Helmo");
    bar->setMovable(false);
    for (int id : {139, 125, 150, 151, 136})
        bar->addAction(actions_[id]);
}

void MainWindow::set_command(int id, std::function<void()> command)
{
    for (MenuEntry& e : entries_)
        if (e.id == id) {
            e.command = std::move(command);
            if (QAction* a = action(id))
                a->setEnabled(bool(e.command));
        }
}

QAction* MainWindow::action(int id) const
{
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::run_command(int id)
{
    for (MenuEntry& e : entries_)
        if (e.id == id && e.command)
            e.command();
}

void MainWindow::wire_commands()
{
    set_command(139, [this] { track_dialog(); });
    set_command(132, [this] { toggle_scheduling(); });
    set_command(125, [this] { run_pass(); });
    set_command(150, [this] { host_->redo_schedule(); });
    set_command(152, [this] { add_pass(); });
    set_command(151, [this] { print_schedule(); });
    set_command(111, [this] { schedule_events(); });
    set_command(128, [this] { select_font(); });
    set_command(40001, [this] { select_map_font(); });
    set_command(143, [this] { open_map_window(); });
    set_command(126, [this] { enable_rotator(); });
    set_command(131, [this] { edit_satellite_data(); });
    set_command(144, [this] { edit_observers(); });
    set_command(130, [this] { update_database(); });
    set_command(kUpdateFromNetwork, [this] { update_database_from_network(); });
    const std::filesystem::path suite = host_->suite_dir();
    set_command(123, [this, suite] { start_program({"NOTEPAD.EXE", (suite / "Brek Equations.TXT").string()}); });
    set_command(124, [this, suite] { start_program({"NOTEPAD.EXE", (suite / "Tessel Equations.TXT").string()}); });
    set_command(135, [this, suite] { start_program({(suite / "QUILLET.EXE").string()}); });
    set_command(136, [this, suite] { start_program({(suite / "TESSEL.EXE").string()}); });
    set_command(142, [this, suite] {
        settings::QuilletSettings qs = settings::read_quillet(host_->store());
        start_program({"NOTEPAD.EXE", (suite / qs.signature).string()});
    });
    set_command(901, [this] { help(kHelpIndexSection); });
    set_command(905, [this] { help(kUsingHelpSection); });
    set_command(999, [this] { about(); });
}

// ---- the view ----

void MainWindow::line(const std::string& text)
{
    // Also on the terminal that started us, as the headless program would print it.
    std::fprintf(stderr, "helmo: %s\n", text.c_str());
}

void MainWindow::warning(const std::string& text, const std::string& caption)
{
    line(caption + ": " + text);
    QMetaObject::invokeMethod(this, [this, t = q(text), c = q(caption)] { show_message(this, t, c); },
                              Qt::QueuedConnection);
}

void MainWindow::pre_pass_notice(const PassEntry& entry, bool show_window)
{
    if (!show_window)
        return;
    // The dispatcher may ask from the search worker's thread.
    QMetaObject::invokeMethod(this, [this, entry] { open_notice(entry); }, Qt::QueuedConnection);
}

void MainWindow::open_notice(const PassEntry& entry)
{
    auto key = std::make_pair(entry.name, entry.aos);
    if (QDialog* old = notices_[key]) {
        old->raise();
        return;
    }
    auto* n = new PrePassNotice(entry, this);
    auto answer = [this, n](StationHost::NoticeAnswer a) {
        std::string name = n->name;
        std::int64_t aos = n->aos;
        notices_.erase({name, aos});
        n->close();
        if (host_)
            host_->answer_notice(name, aos, a);
    };
    connect(n->ok, &QPushButton::clicked, this, [answer] { answer(StationHost::NoticeAnswer::Ok); });
    connect(n->run, &QPushButton::clicked, this, [answer] { answer(StationHost::NoticeAnswer::Run); });
    connect(n->cancel, &QPushButton::clicked, this, [answer] { answer(StationHost::NoticeAnswer::Cancel); });
    notices_[key] = n;
    n->show();
    n->raise();
    n->activateWindow();
}

void MainWindow::close_pre_pass_notice(const PassEntry& entry)
{
    QMetaObject::invokeMethod(this, [this, key = std::make_pair(entry.name, entry.aos)] {
        auto it = notices_.find(key);
        if (it == notices_.end())
            return;
        if (it->second)
            it->second->close();
        notices_.erase(it);
    }, Qt::QueuedConnection);
}

QDialog* MainWindow::notice(const std::string& name, std::int64_t aos) const
{
    auto it = notices_.find({name, aos});
    return it == notices_.end() ? nullptr : it->second.data();
}

std::int64_t MainWindow::offset() const
{
    if (has_offset_override_)
        return offset_override_;
    return host_ ? host_->local_offset() : 0;
}

void MainWindow::refresh(std::int64_t now)
{
    if (!host_)
        return;
    now_ = now;
    if (placement_changed_ != 0 && now - placement_changed_ >= 1) {
        placement_changed_ = 0;
        store_placement();
    }
    if (last_scroll_ != 0 && now - last_scroll_ >= 120) {
        schedule_->scrollToTop();
        last_scroll_ = 0;
    }
    LiveView v = host_->core().live_view(now);
    while (tracking_->count() < int(v.rows.size()))
        tracking_->addItem(QString());
    while (tracking_->count() > int(v.rows.size()))
        delete tracking_->takeItem(tracking_->count() - 1);
    for (std::size_t i = 0; i < v.rows.size(); ++i) {
        QListWidgetItem* item = tracking_->item(int(i));
        item->setText(q(v.rows[i]));
        item->setData(Qt::UserRole, q(v.names[i]));
        item->setForeground(v.in_view[i] ? Qt::red : Qt::black);
    }
    int row_h = QFontMetrics(font_).lineSpacing() + 2;
    tracking_->setFixedHeight(row_h * int(v.rows.size()) + 2 * tracking_->frameWidth() + 2);

    rows_ = schedule_rows(host_->core().schedule_snapshot(), now, utc_, offset());
    int scroll = schedule_->verticalScrollBar()->value();
    while (schedule_->count() < int(rows_.size()))
        schedule_->addItem(QString());
    while (schedule_->count() > int(rows_.size()))
        delete schedule_->takeItem(schedule_->count() - 1);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        QListWidgetItem* item = schedule_->item(int(i));
        item->setText(q(rows_[i].text));
        item->setForeground(colour_of(rows_[i].colour));
    }
    schedule_->verticalScrollBar()->setValue(scroll);

    DispatcherState st = host_->core().dispatcher_snapshot();
    std::optional<std::int64_t> to_next;
    if (st.scheduling_enabled && st.status_time > 0)
        to_next = st.status_time - now;
    QString title = q(window_title(isMinimized(), st.scheduling_enabled, to_next));
    if (windowTitle() != title)
        setWindowTitle(title);
    clock_->setText(q(station::clock_text(now, utc_, offset())));
    date_->setText(q(station::date_text(now, utc_, offset())));
    show_status(st.scheduling_enabled ? q(v.status) : QString());
}

void MainWindow::show_status(const QString& text)
{
    if (status_->text() != text)
        status_->setText(text);
}

void MainWindow::satellite_rose(const std::string& name)
{
    ++sounds_;
    const settings::SoundChoice sound = settings::choose_sound(
        settings::read_general(host_->store(), settings::Program::Helmo), settings::SoundEvent::TrackAos, name);
    if (sound.kind == settings::SoundChoice::Kind::Wave)
        (void)platform::SoundPlayer().play_wave(sound.wave);
    else if (sound.kind != settings::SoundChoice::Kind::None)
        QApplication::beep();
}

void MainWindow::rotor_position(double azimuth, double elevation)
{
    // From the tracking thread: the dials belong to the window's.
    QMetaObject::invokeMethod(this, [this, azimuth, elevation] { rotor_->set_position(azimuth, elevation); },
                              Qt::QueuedConnection);
}

void MainWindow::time_changed()
{
    if (host_)
        utc_ = settings::read_helmo(host_->store()).display_time != 0;
}

// ---- placement and fonts ----

void MainWindow::apply_fonts()
{
    settings::HelmoSettings h = host_ ? settings::read_helmo(host_->store()) : settings::HelmoSettings{};
    font_ = station_font(h.font_name, int(h.font_size), int(h.font_type));
    for (QWidget* w : std::initializer_list<QWidget*>{clock_, date_, tracking_heading_, schedule_heading_, tracking_,
                                                      schedule_, status_})
        w->setFont(font_);
    update_fixed_width();
}

void MainWindow::update_fixed_width()
{
    QFontMetrics fm(font_);
    int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    int scroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    fixed_width_ = 68 * fm.averageCharWidth() + 2 * frame + scroll + 13;
    setFixedWidth(fixed_width_);
    // Never fewer than five schedule rows.
    schedule_->setMinimumHeight(5 * (fm.lineSpacing() + 2) + 2 * schedule_->frameWidth());
}

void MainWindow::apply_placement()
{
    settings::HelmoSettings h = settings::read_helmo(host_->store());
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    auto p = checked_placement(std::int32_t(h.x_left), std::int32_t(h.y_top), std::int32_t(h.cx_width),
                               std::int32_t(h.cy_height), area.width(), area.height());
    placing_ = true;
    if (p) {
        move(p->x, p->y);
        resize(fixed_width_, p->height);
    } else {
        resize(fixed_width_, std::max(270, minimumSizeHint().height()));
    }
    placing_ = false;
}

void MainWindow::store_placement()
{
    if (!host_ || placing_ || isMinimized() || isMaximized() || !isVisible())
        return;
    platform::Store& st = host_->store();
    // The frame's corner, which move() takes back at the next start: the client area's corner
    // would walk the window by the frame's width at each restart.
    const QPoint p = pos();
    (void)st.write_integer(settings::keys::helmo, "xLeft", std::uint32_t(p.x()));
    (void)st.write_integer(settings::keys::helmo, "yTop", std::uint32_t(p.y()));
    (void)st.write_integer(settings::keys::helmo, "cxWidth", std::uint32_t(width()));
    (void)st.write_integer(settings::keys::helmo, "cyHeight", std::uint32_t(height()));
    ++placements_stored_;
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (host_ && !placing_ && isVisible())
        placement_changed_ = std::max<std::int64_t>(host_->now(), 1);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (host_ && !placing_ && isVisible())
        placement_changed_ = std::max<std::int64_t>(host_->now(), 1);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && host_)
        refresh(host_->now());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    store_placement();
    for (auto& [key, n] : notices_)
        if (n)
            n->close();
    notices_.clear();
    // The map keeps its place in the host's store and its name on the host's bus: it goes first.
    if (map_) {
        map_->close();
        map_.reset();
    }
    if (host_)
        host_->shutdown();
    event->accept();
    QMainWindow::closeEvent(event);
}

// ---- row menus ----

void MainWindow::on_schedule_menu(const QPoint& pos)
{
    int row = schedule_->row(schedule_->itemAt(pos));
    if (row < 0 || row >= int(rows_.size()) || rows_[std::size_t(row)].name.empty())
        return;
    QMenu menu(this);
    QAction* edit = menu.addAction("Edit Scheduling");
    const ScheduleRow& r = rows_[std::size_t(row)];
    QAction* run = menu.addAction(host_->core().is_running_pass(r.name, r.aos) ? "End this pass now" : "Run this pass now");
    QAction* listen = menu.addAction("Listen only");
    QAction* chosen = menu.exec(schedule_->viewport()->mapToGlobal(pos));
    if (chosen == edit)
        schedule_row_command(kEditScheduling, row);
    else if (chosen == run)
        schedule_row_command(kRunThisPassNow, row);
    else if (chosen == listen)
        schedule_row_command(kListenOnly, row);
}

void MainWindow::schedule_row_command(int id, int row)
{
    if (row < 0 || row >= int(rows_.size()))
        return;
    const ScheduleRow& r = rows_[std::size_t(row)];
    if (id == kEditScheduling)
        edit_scheduling(row);
    else if (id == kRunThisPassNow) {
        Status done = host_->core().is_running_pass(r.name, r.aos) ? host_->end_entry_now(r.name, r.aos)
                                                                    : host_->run_entry_now(r.name, r.aos);
        if (!done)
            show_message(this, q(done.error().message), "Helmo");
    }
    else if (id == kListenOnly)
        host_->listen_only(r.name, r.aos);
}

void MainWindow::on_tracking_menu(const QPoint& pos)
{
    QListWidgetItem* item = tracking_->itemAt(pos);
    if (!item || item->data(Qt::UserRole).toString().isEmpty())
        return;
    int row = tracking_->row(item);
    std::string name = item->data(Qt::UserRole).toString().toStdString();
    QMenu menu(this);
    QAction* run = menu.addAction("Run a Pass of this satellite");
    run->setEnabled(bool(settings::read_satellite(host_->store(), name, settings::Program::Helmo)));
    QAction* map = menu.addAction("Display on Map");
    QAction* map_rot = menu.addAction("Display on Map and Enable rotator");
    QAction* remove = menu.addAction("Remove from the tracking list");
    QAction* chosen = menu.exec(tracking_->viewport()->mapToGlobal(pos));
    if (chosen == run)
        tracking_row_command(kRunPassOfSatellite, row);
    else if (chosen == map)
        tracking_row_command(kDisplayOnMap, row);
    else if (chosen == map_rot)
        tracking_row_command(kDisplayOnMapAndRotator, row);
    else if (chosen == remove)
        tracking_row_command(kRemoveFromTracking, row);
}

void MainWindow::tracking_row_command(int id, int row)
{
    QListWidgetItem* item = tracking_->item(row);
    if (!item)
        return;
    std::string name = item->data(Qt::UserRole).toString().toStdString();
    if (name.empty())
        return;
    if (id == kRunPassOfSatellite) {
        (void)host_->manual_pass(name, false);
    } else if (id == kDisplayOnMap || id == kDisplayOnMapAndRotator) {
        open_map_window().show_on_map(name);
        if (id == kDisplayOnMapAndRotator) {
            host_->track_satellite(name);
            map_->set_rotator_tracking(true);
        }
    } else if (id == kRemoveFromTracking) {
        std::vector<std::string> names = host_->tracking_names();
        std::erase_if(names, [&](const std::string& n) { return n == name; });
        if (Status s = host_->set_tracking(names); !s)
            show_message(this, q(s.error().message), "Helmo Error");
    }
    refresh(host_->now());
}

} // namespace orva::station
