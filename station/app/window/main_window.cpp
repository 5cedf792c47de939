#include "station/app/window/main_window.h"

#include "common/settings/event_sound.h"
#include "platform/sound_player.h"
#include "platform/user_guide.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "station/app/window/dialogs.h"
#include "station/core/tracking_list.h"
#include "common/element_import/import_file.h"
#include "platform/version.h"
#include "elemupd/network/network_update.h"
#include "platform/http/http_get.h"

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

std::filesystem::path program_dir()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
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

// ---- commands ----

void MainWindow::track_dialog()
{
    std::vector<std::string> all;
    if (auto db = host_->load_database())
        for (int i = 0; i < elements::kKepSlots; ++i)
            if (!db->slot(i).name.empty())
                all.push_back(db->slot(i).name);
    TrackDialog d(all, host_->tracking_names(), this);
    if (d.exec() != QDialog::Accepted)
        return;
    if (Status s = host_->set_tracking(d.chosen()); !s)
        show_message(this, q(s.error().message), "Helmo Error");
    refresh(host_->now());
}

void MainWindow::toggle_scheduling()
{
    bool on = !host_->scheduling();
    host_->set_scheduling(on);
    if (QAction* a = action(132))
        a->setChecked(on);
    if (!on)
        show_status(QString());
}

void MainWindow::run_pass()
{
    std::int64_t t = host_->now();
    std::vector<PassEntry> list = host_->core().schedule_snapshot();
    if (!list.empty() && list.front().priority == 0 && list.front().dont_run == 0 && list.front().los > t) {
        show_message(this, kManualPassRefused, "Helmo");
        return;
    }
    ChooseDialog d("Run Pass", settings::list_satellites(host_->store()), this);
    if (d.exec() != QDialog::Accepted || d.chosen().empty())
        return;
    if (Status s = host_->manual_pass(d.chosen()); !s)
        show_message(this, q(s.error().message), "Helmo");
}

int MainWindow::run_dialog(QDialog& dialog)
{
    if (dialog_driver_) {
        dialog_driver_(dialog);
        return dialog.result();
    }
    return dialog.exec();
}

void MainWindow::add_pass()
{
    ChooseDialog d("Add Pass", settings::list_satellites(host_->store()), this);
    if (run_dialog(d) != QDialog::Accepted || d.chosen().empty())
        return;
    add_pass_of(d.chosen());
}

void MainWindow::add_pass_of(const std::string& name)
{
    // A new pass starts as a window of 15 minutes from the next whole minute after five from now,
    // at its satellite's priority; the operator sets the times in the dialog. Nothing is stored
    // unless OK takes it.
    std::int64_t t = host_->now();
    PassEntry e;
    e.name = name;
    e.aos = e.run_start = (t + 300 + 59) / 60 * 60;
    e.los = e.run_end = e.aos + 900;
    e.priority = 100;
    {
        std::lock_guard lock(host_->core().schedule_lock());
        if (ScheduledSatellite* s = host_->core().schedule().find_satellite(name))
            e.priority = s->priority;
    }
    EditScheduleDialog d(e, utc_, offset(),
                         [this, name](const PassEdit& edit) { return host_->core().add_pass(name, edit, host_->now()); },
                         {}, this);
    d.setWindowTitle(q("Add pass of " + name));
    run_dialog(d);
    refresh(host_->now());
}

void MainWindow::edit_scheduling(int row)
{
    if (row < 0 || row >= int(rows_.size()) || rows_[std::size_t(row)].name.empty())
        return;
    const std::string name = rows_[std::size_t(row)].name;
    const std::int64_t aos = rows_[std::size_t(row)].aos;
    std::optional<PassEntry> entry;
    for (const PassEntry& e : host_->core().schedule_snapshot())
        if (e.name == name && e.aos == aos)
            entry = e;
    if (!entry)
        return; // the row was drawn before its entry left
    EditScheduleDialog d(
        *entry, utc_, offset(),
        [this, name, aos](const PassEdit& edit) { return host_->core().edit_pass(name, aos, edit, host_->now()); },
        [this, name, aos] { return host_->core().delete_pass(name, aos, host_->now()); }, this);
    run_dialog(d);
    refresh(host_->now());
}

QStringList MainWindow::printed_schedule_lines() const
{
    QStringList out;
    out << "Helmo - Schedule" << QString();
    std::vector<PassEntry> entries = host_->core().schedule_snapshot();
    std::int64_t now = host_->now();
    std::int64_t last_day = -1;
    for (PassEntry e : entries) {
        if (e.los < now)
            continue;
        std::int64_t t = utc_ ? e.aos : e.aos - offset();
        std::int64_t day = t >= 0 ? t / 86400 : (t - 86399) / 86400;
        if (last_day >= 0 && day != last_day)
            out << QString();
        last_day = day;
        if (e.priority >= 100)
            e.dont_run = 1; // the printed list leaves the priority blank from 100 on
        std::vector<ScheduleRow> r = schedule_rows({e}, now, utc_, offset());
        if (!r.empty())
            out << q(r.front().text);
    }
    return out;
}

void MainWindow::print_schedule_to(QPrinter& printer) const
{
    QTextDocument doc;
    QFont f = font_;
    doc.setDefaultFont(f);
    doc.setPlainText(printed_schedule_lines().join('\n'));
    doc.print(&printer);
}

void MainWindow::print_schedule()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Print Schedule");
    if (dialog.exec() != QDialog::Accepted)
        return;
    print_schedule_to(printer);
}

void MainWindow::select_font()
{
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, font_, this, "Select Font", QFontDialog::MonospacedFonts);
    if (ok)
        store_font(chosen);
}

void MainWindow::store_font(const QFont& chosen)
{
    platform::Store& st = host_->store();
    (void)st.write_integer(settings::keys::helmo, "Font Size", std::uint32_t(std::max(chosen.pointSize(), 1)));
    (void)st.write_integer(settings::keys::helmo, "Font Type", std::uint32_t(chosen.weight()));
    (void)st.write_string(settings::keys::helmo, "Font Name", chosen.family().toStdString().substr(0, 31));
    const std::uint8_t pitch[1] = {std::uint8_t(QFontInfo(chosen).fixedPitch() ? 1 : 2)};
    (void)st.write_binary(settings::keys::helmo, "Font Pitch", pitch);
    apply_fonts();
}

void MainWindow::enable_rotator()
{
    std::vector<std::string> names;
    if (auto db = host_->load_database())
        for (int i = 0; i < elements::kKepSlots; ++i)
            if (!db->slot(i).name.empty())
                names.push_back(db->slot(i).name);
    RotatorDialog d(names, this);
    if (d.exec() != QDialog::Accepted)
        return;
    host_->track_satellite(d.chosen());
}

void MainWindow::edit_satellite_data()
{
    KepEditDialog d(elements::kep_database_path(host_->suite_dir()), [this] { host_->reload_elements(); }, this);
    d.exec();
}

map::MapWindow& MainWindow::open_map_window()
{
    const bool created = !map_;
    map::MapWindow::Options o;
    o.edit_elements = [this](const std::string& name) {
        KepEditDialog d(elements::kep_database_path(host_->suite_dir()), [this] { host_->reload_elements(); }, this);
        if (auto db = host_->load_database(); db && db->find_by_name(name) >= 0)
            d.show_slot(db->find_by_name(name));
        d.exec();
    };
    o.track_with_rotator = [this](const std::string& name, bool) { host_->track_satellite(name); };
    map::MapWindow& w = map::open_map(map_, host_->store(), platform::SystemClock::instance(), std::move(o));
    if (created && host_->messenger())
        (void)w.register_window(*host_->messenger());
    return w;
}

void MainWindow::display_on_map(const std::string& name)
{
    // The pass may begin on the loop's thread or another: the window is touched on its own.
    QMetaObject::invokeMethod(this, [this, name] { open_map_window().show_on_map(name); }, Qt::QueuedConnection);
}

void MainWindow::elements_reloaded()
{
    QMetaObject::invokeMethod(this, [this] {
        if (map_)
            map_->reload_elements();
    }, Qt::QueuedConnection);
}

void MainWindow::station_moved(const elements::ObserverSite& home)
{
    if (map_)
        map_->set_home(home);
}

void MainWindow::select_map_font()
{
    if (map_) {
        map_->choose_font();
        return;
    }
    settings::HelmoSettings h = settings::read_helmo(host_->store());
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, map::stored_map_font(h), this, "Select Map Font", QFontDialog::MonospacedFonts);
    if (ok)
        if (Status s = map::store_map_font(host_->store(), h, f); !s)
            show_message(this, q(s.error().message), "Helmo Error");
}

void MainWindow::edit_observers()
{
    ObserverDialog d(elements::observer_file_path(host_->suite_dir()), this);
    d.exec();
}

void MainWindow::update_database()
{
    settings::HelmoSettings h = settings::read_helmo(host_->store());
    QString nasa = "NASA Keplerian elements (*.*)", amsat = "AMSAT Keplerian elements (*.*)";
    QString filter = h.keps_type == 2 ? amsat : nasa;
    QString dir = q(h.keps_dir.empty() ? host_->suite_dir().string() : h.keps_dir);
    QString file = QFileDialog::getOpenFileName(this, "Update Keplerian Database", dir, nasa + ";;" + amsat, &filter);
    if (file.isEmpty())
        return;
    std::optional<std::vector<std::string>> lines = import_elements(file.toStdString(), filter == amsat);
    if (!lines)
        return;
    UpdateKepsDialog d(*lines, this);
    d.exec();
}

namespace {
// Helmo reloads its own database when the update is done; nobody else needs telling.
class OwnReload final : public elemupd::ReloadNotice {
public:
    Status post_reload() override { return {}; }
};
} // namespace

void MainWindow::update_database_from_network()
{
    if (network_busy_) {
        show_status("The network update is still running");
        return;
    }
    network_busy_ = true;
    show_status("Fetching element sets from the network");
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const std::filesystem::path store_file = host_->store().file();
    network_update_.start([this, store_file](std::stop_token stop) {
        std::vector<std::string> lines;
        bool changed = false;
        // The worker's own handle on the store: the window's belongs to the window thread.
        auto store = platform::Store::open(store_file, platform::Access::ReadWrite);
        if (!store) {
            lines.push_back("Cannot open the store: " + store.error().message);
        } else {
            OwnReload notice;
            elemupd::NetworkUpdateOptions options;
            options.progress = [stop](const std::string&, std::uint64_t, std::uint64_t) {
                return !stop.stop_requested();
            };
            elemupd::NetworkUpdate run = elemupd::update_from_network(*store, platform::http_get, options, notice);
            lines = run.lines(true);
            changed = run.changed;
        }
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(this, [this, lines, changed] {
            network_update_.stop();
            network_busy_ = false;
            QApplication::restoreOverrideCursor();
            if (changed)
                host_->reload_elements();
            UpdateKepsDialog d(lines, this);
            run_dialog(d);
        }, Qt::QueuedConnection);
    });
}

std::optional<std::vector<std::string>> MainWindow::import_elements(const std::filesystem::path& file, bool amsat)
{
    platform::Store& st = host_->store();
    (void)st.write_integer(settings::keys::helmo, "Keps Type", amsat ? 2 : 1);
    (void)st.write_string(settings::keys::helmo, "Keps Dir", file.parent_path().string());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto r = import_elements_file(elements::kep_database_path(host_->suite_dir()), file,
                                  amsat ? ElementFormat::Amsat : ElementFormat::Nasa);
    QApplication::restoreOverrideCursor();
    if (!r) {
        show_message(this, q(r.error().message), "Helmo Error");
        return std::nullopt;
    }
    host_->reload_elements();
    return result_lines(*r);
}

void MainWindow::schedule_events()
{
    EventsDialog d(host_->store(), settings::list_satellites(host_->store()), [this] { host_->reload_events(); }, this);
    d.exec();
}

void MainWindow::start_program(std::vector<std::string> words, const std::filesystem::path& dir)
{
    std::string shown = words.front();
    if (Status s = host_->start_command(std::move(words), dir); !s)
        show_status(q("Cannot start " + shown + ": " + s.error().message));
}

void MainWindow::help(const std::string& section)
{
    Status s = guide_opener_ ? guide_opener_(section) : platform::open_user_guide(section);
    if (!s)
        show_status(q(s.error().message));
}

void MainWindow::about()
{
    QString text = QString("Helmo, the station control of the Orva suite, version %1.\n\nPrograms found beside Helmo:\n")
                       .arg(QString::fromStdString(suite_version_text()));
    for (const char* p : {"helmo", "brek", "tessel", "dispo", "elemix", "pixora", "orva"}) {
        std::filesystem::path exe = program_dir() / p;
        if (std::filesystem::exists(exe))
            text += QString("  %1 %2\n").arg(p, QString::fromStdString(suite_version_text()));
    }
    show_message(this, text, "About Helmo");
}

} // namespace orva::station
