#include "engine/window/brek_window.h"

#include "common/settings/keys.h"
#include "engine/window/download_table_view.h"
#include "engine/window/pass_boxes.h"
#include "engine/window/pass_time_bar.h"
#include "engine/window/settings_boxes.h"
#include "engine/window/status_list_view.h"
#include "platform/store/store.h"
#include "platform/user_guide.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

namespace orva::engine {

QFont font_from(const settings::BrekSettings& s)
{
    QFont f(QString::fromStdString(s.font_name));
    f.setPointSize(s.font_size >= 4 && s.font_size <= 72 ? int(s.font_size) : 12);
    f.setWeight(QFont::Weight(std::clamp<int>(int(s.font_type), 100, 900)));
    // Pitch 1 is a fixed-pitch face; a missing face falls back to the system's monospace.
    if (s.font_pitch == 1) {
        f.setFixedPitch(true);
        f.setStyleHint(QFont::TypeWriter);
    }
    return f;
}

void store_font(settings::BrekSettings& s, const QFont& f)
{
    s.font_name = f.family().left(31).toStdString();
    s.font_size = std::uint32_t(std::max(1, f.pointSize()));
    s.font_type = std::uint32_t(f.weight());
    s.font_pitch = f.fixedPitch() ? 1 : 2;
}

namespace {

QLabel* box(QWidget* parent, const char* name, int min_chars = 0)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (min_chars)
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QLatin1Char('0')) * min_chars);
    return l;
}

constexpr const char* kPlacementFields[] = {"Upload xLeft", "Upload yTop", "Fill xLeft", "Fill yTop",
                                            "Info xLeft",   "Info yTop",   "Freq xLeft", "Freq yTop",
                                            "xLeft",        "yTop",        "cxWidth",    "cyHeight",
                                            "Reopen"};
constexpr const char* kFontFields[] = {"Font Size", "Font Type", "Font Pitch", "Font Name"};

} // namespace

BrekWindow::BrekWindow(BrekSession& session, platform::Store* store, QWidget* parent)
    : QMainWindow(parent), session_(session), store_(store)
{
    setObjectName(QString::fromLatin1(kBrekClass));
    if (store_)
        settings_ = settings::read_brek(*store_);
    build_body();
    build_menus();
    apply_font(font_from(settings_));
    setWindowTitle(QString::fromStdString(session_.title()));
    session_.add_observer(this);
    refresh_all();
    on_pass_changed(session_.pass_open());
}

BrekWindow::~BrekWindow()
{
    session_.remove_observer(this);
    save_settings();
}

std::vector<ScreenRect> BrekWindow::screens() const
{
    std::vector<ScreenRect> r;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->availableGeometry();
        r.push_back({g.x(), g.y(), g.width(), g.height()});
    }
    return r;
}

void BrekWindow::show_placed()
{
    const auto all = screens();
    if (const auto p = main_window_placement(settings_, all))
        setGeometry(p->x, p->y, p->width, p->height);
    else
        resize(580, 288); // the window system picks the corner
    if (settings_.reopen == 1)
        showMaximized();
    else
        show();
}

void BrekWindow::build_body()
{
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);

    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    directory_status_ = box(central, "directory_status", 18);
    request_status_ = box(central, "request_status", 12);
    efficiency_ = box(central, "efficiency", 5);
    total_ = box(central, "total_bytes", 9);
    dir_bytes_ = box(central, "directory_bytes", 9);
    file_bytes_ = box(central, "file_bytes", 9);
    upload_letter_ = box(central, "upload_letter", 2);
    upload_letter_->setAlignment(Qt::AlignCenter);
    upload_letter_->installEventFilter(this);
    queue_line_ = box(central, "queue_line");
    bbs_status_ = box(central, "bbs_status");
    grid->addWidget(directory_status_, 0, 0);
    grid->addWidget(request_status_, 0, 1);
    grid->addWidget(efficiency_, 0, 2);
    grid->addWidget(total_, 0, 3);
    grid->addWidget(dir_bytes_, 0, 4);
    grid->addWidget(file_bytes_, 0, 5);
    grid->addWidget(upload_letter_, 0, 6);
    grid->addWidget(queue_line_, 1, 0, 1, 7);
    grid->addWidget(bbs_status_, 2, 0, 1, 7);
    grid->setColumnStretch(0, 2);
    v->addLayout(grid);

    pass_bar_ = new PassTimeBar(central);
    pass_bar_->setObjectName(QStringLiteral("pass_time_bar"));
    v->addWidget(pass_bar_);

    auto* split = new QSplitter(Qt::Vertical, central);
    status_list_ = new StatusListView(split);
    status_list_->setObjectName(QStringLiteral("status_list"));
    table_ = new DownloadTableView(split);
    table_->setObjectName(QStringLiteral("download_table"));
    monitor_ = new QPlainTextEdit(split);
    monitor_->setObjectName(QStringLiteral("monitor"));
    monitor_->setReadOnly(true);
    monitor_->setMaximumBlockCount(int(kMonitorLines));
    monitor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    split->addWidget(status_list_);
    split->addWidget(table_);
    split->addWidget(monitor_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 3);
    split->setStretchFactor(2, 1);
    v->addWidget(split, 1);
    setCentralWidget(central);

    connect(status_list_, &StatusListView::line_double_clicked, this, &BrekWindow::open_directory_line);
    connect(table_, &DownloadTableView::file_double_clicked, this, &BrekWindow::open_file_information);
    connect(table_, &DownloadTableView::menu_requested, this,
            [this](std::uint32_t file, QPoint at) { float_menu(file)->popup(at); });
}

void BrekWindow::build_menus()
{
    auto named = [](QAction* a, const char* name) {
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    log_kiss_ = named(file->addAction(tr("Log &KISS")), "log_kiss");
    log_kiss_->setCheckable(true);
    connect(log_kiss_, &QAction::toggled, this, [this](bool on) { session_.set_log_kiss(on); });
    log_telemetry_ = named(file->addAction(tr("Log &Telemetry")), "log_telemetry");
    log_telemetry_->setCheckable(true);
    connect(log_telemetry_, &QAction::toggled, this, [this](bool on) { session_.set_log_telemetry(on); });
    file->addSeparator();
    connect(named(file->addAction(tr("E&xit")), "exit"), &QAction::triggered, this,
            [this] { session_.request_close(); });

    QMenu* setup = menuBar()->addMenu(tr("&Setup"));
    connect(named(setup->addAction(tr("&General Options...")), "general_options"), &QAction::triggered, this,
            &BrekWindow::open_general_options);
    connect(named(setup->addAction(tr("&TNC Settings...")), "tnc_settings"), &QAction::triggered, this,
            &BrekWindow::open_tnc_settings);
    connect(named(setup->addAction(tr("&Broadcast Options...")), "broadcast_options"), &QAction::triggered, this,
            &BrekWindow::open_broadcast_options);
    connect(named(setup->addAction(tr("Screen &Font...")), "screen_font"), &QAction::triggered, this,
            &BrekWindow::choose_font);
    QAction* temp = named(setup->addAction(tr("Te&mporary Settings\tAlt+T")), "temporary_settings");
    connect(temp, &QAction::triggered, this, [this] { float_menu(0)->popup(QCursor::pos()); });
    pass_actions_.push_back(temp);

    QAction* dir = named(menuBar()->addAction(tr("&Directory")), "directory");
    connect(dir, &QAction::triggered, this, [this] { session_.open_directory_viewer(); });
    QAction* fill = named(menuBar()->addAction(tr("F&ill")), "fill");
    connect(fill, &QAction::triggered, this, &BrekWindow::open_fill_file);
    QMenu* sat = menuBar()->addMenu(tr("S&atellite"));
    connect(named(sat->addAction(tr("&Select Satellite...")), "select_satellite"), &QAction::triggered, this,
            &BrekWindow::open_select_satellite);
    QAction* send = named(menuBar()->addAction(tr("Send &Msg")), "send_msg");
    connect(send, &QAction::triggered, this, [this] { session_.send_message(); });
    pass_actions_.insert(pass_actions_.end(), {dir, fill, send});

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    connect(named(help->addAction(tr("&Contents")), "help_contents"), &QAction::triggered, this,
            &BrekWindow::show_help);
    connect(named(help->addAction(tr("&About Brek")), "about"), &QAction::triggered, this, [this] {
        auto* m = new QMessageBox(QMessageBox::Information, tr("About Brek"),
                                  tr("Brek\nThe PACSAT protocol engine of Orva: it receives the satellite's "
                                     "broadcast directory and files, asks for the ones you want, and "
                                     "uploads your messages."),
                                  QMessageBox::Ok, this);
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->open();
    });

    auto* alt_t = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_T), this);
    connect(alt_t, &QShortcut::activated, this, [this] { float_menu(0)->popup(QCursor::pos()); });
    auto* alt_u = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_U), this);
    connect(alt_u, &QShortcut::activated, this, [this] { session_.transmitter_request(); });

    temporary_ = new QMenu(this);
    temporary_->setObjectName(QStringLiteral("float_menu"));
    broadcasts_ = named(new QAction(tr("Broadcasts Enabled"), this), "broadcasts_enabled");
    uploading_ = named(new QAction(tr("Uploading Enabled"), this), "uploading_enabled");
    auto_freq_ = named(new QAction(tr("Auto freq select"), this), "auto_freq");
    for (QAction* a : {broadcasts_, uploading_, auto_freq_}) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this] {
            TemporarySettings t;
            t.auto_fill = broadcasts_->isChecked();
            t.uploading = uploading_->isChecked();
            t.auto_freq = auto_freq_->isChecked();
            session_.set_temporary_settings(t);
        });
    }
}

QMenu* BrekWindow::float_menu(std::uint32_t file_number)
{
    temporary_->clear();
    if (file_number) {
        QAction* fill = temporary_->addAction(tr("Send Fill Request"));
        fill->setObjectName(QStringLiteral("send_fill_request"));
        connect(fill, &QAction::triggered, this, [this, file_number] { session_.send_fill_request(file_number); });
        temporary_->addSeparator();
    }
    const TemporarySettings t = session_.temporary_settings();
    broadcasts_->setChecked(t.auto_fill);
    uploading_->setChecked(t.uploading);
    auto_freq_->setChecked(t.auto_freq);
    temporary_->addActions({broadcasts_, uploading_, auto_freq_});
    temporary_->addSeparator();
    connect(temporary_->addAction(tr("Change Frequencies...")), &QAction::triggered, this,
            &BrekWindow::open_change_frequencies);
    connect(temporary_->addAction(tr("Fill File...")), &QAction::triggered, this, &BrekWindow::open_fill_file);
    connect(temporary_->addAction(tr("Information...")), &QAction::triggered, this, &BrekWindow::open_information);
    for (QAction* a : temporary_->actions())
        if (a != broadcasts_ && a != uploading_ && a != auto_freq_)
            a->setEnabled(session_.pass_open());
    return temporary_;
}

QLabel* BrekWindow::box_label(const char* name) const { return findChild<QLabel*>(QString::fromLatin1(name)); }

void BrekWindow::refresh_all()
{
    on_status_line({});
    on_boxes_changed();
    on_table_changed();
    monitor_->clear();
    for (const auto& l : session_.monitor_lines())
        monitor_->appendPlainText(QString::fromStdString(l));
    log_kiss_->setChecked(session_.log_kiss());
    log_telemetry_->setChecked(session_.log_telemetry());
}

void BrekWindow::on_status_line(const StatusLine&) { status_list_->set_lines(session_.status_lines()); }

void BrekWindow::on_monitor_line(const std::string& line) { monitor_->appendPlainText(QString::fromStdString(line)); }

void BrekWindow::on_boxes_changed()
{
    const StatusBoxes b = session_.boxes();
    directory_status_->setText(QString::fromStdString(b.directory_status));
    request_status_->setText(QString::fromStdString(b.request_status));
    efficiency_->setText(QString::fromStdString(b.efficiency));
    efficiency_->setToolTip(b.pass_efficiency.empty() ? QString()
                                                      : tr("This pass: %1").arg(QString::fromStdString(b.pass_efficiency)));
    total_->setText(QString::fromStdString(b.total_bytes));
    dir_bytes_->setText(QString::fromStdString(b.directory_bytes));
    file_bytes_->setText(QString::fromStdString(b.file_bytes));
    upload_letter_->setText(QString::fromStdString(b.upload_letter));
    queue_line_->setText(QString::fromStdString(b.queue_line));
    bbs_status_->setText(QString::fromStdString(b.bbs_status));
    pass_bar_->set_times(b.pass_start, b.now, b.pass_end);
    // A new upload link opens the box by itself when the operator wants it large.
    const bool up = !b.upload_letter.empty();
    if (up && !upload_was_up_ && session_.general_options().maximise_upload && !isMinimized())
        open_upload_status();
    upload_was_up_ = up;
    if (upload_box_)
        upload_box_->show_boxes(b);
    if (info_box_)
        info_box_->show_figures(session_.information());
}

void BrekWindow::on_table_changed() { table_->set_rows(session_.download_table()); }

void BrekWindow::on_title_changed(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void BrekWindow::on_pass_changed(bool open)
{
    for (QAction* a : pass_actions_)
        a->setEnabled(open);
    refresh_all();
}

void BrekWindow::on_upload_box_close()
{
    if (upload_box_)
        upload_box_->close();
    on_boxes_changed();
}

void BrekWindow::on_finished()
{
    finished_ = true;
    close();
}

void BrekWindow::closeEvent(QCloseEvent* event)
{
    if (finished_ || session_.finished()) {
        save_settings();
        event->accept();
        return;
    }
    // The pass closes in order first; the window goes when the session says it has ended.
    event->ignore();
    session_.request_close();
}

void BrekWindow::contextMenuEvent(QContextMenuEvent* event) { float_menu(0)->popup(event->globalPos()); }

bool BrekWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == upload_letter_ && event->type() == QEvent::MouseButtonDblClick && !upload_letter_->text().isEmpty()) {
        open_upload_status();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void BrekWindow::place_box(QWidget* w, BrekBox which)
{
    const auto all = screens();
    const BoxPosition p = box_position(settings_, which, all);
    w->move(p.x, p.y);
    // Kept when the box goes, written with the window's own place on destruction.
    if (auto* d = qobject_cast<QDialog*>(w))
        connect(d, &QDialog::finished, this, [this, d, which] { keep_box_position(d, which); });
}

void BrekWindow::keep_box_position(QWidget* w, BrekBox which) { store_box_position(settings_, which, {w->x(), w->y()}); }

void BrekWindow::open_general_options()
{
    auto* b = new GeneralOptionsBox(session_.general_options(), this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    connect(b, &QDialog::accepted, this, [this, b] { session_.set_general_options(b->value()); });
    b->open();
}

void BrekWindow::open_tnc_settings()
{
    auto* b = new TncSettingsDialog(session_.tnc_settings(), this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    connect(b, &QDialog::accepted, this, [this, b] { session_.set_tnc_settings(b->value()); });
    b->open();
}

void BrekWindow::open_broadcast_options()
{
    auto* b = new BroadcastOptionsBox(session_.broadcast_options(), this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    connect(b, &QDialog::accepted, this, [this, b] { session_.set_broadcast_options(b->value()); });
    b->open();
}

void BrekWindow::open_select_satellite()
{
    auto* b = new SelectSatelliteBox(session_.selectable_satellites(), session_.satellite(), this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    connect(b, &QDialog::accepted, this, [this, b] {
        const std::string name = b->chosen();
        if (!name.empty())
            session_.select_satellite(name);
    });
    b->open();
}

void BrekWindow::open_fill_file()
{
    if (!session_.pass_open())
        return;
    auto* b = new FillFileBox(session_.fill_candidates(), this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    place_box(b, BrekBox::Fill);
    connect(b, &QDialog::accepted, this, [this, b] {
        if (b->directory())
            session_.fill_directory(b->auto_override());
        else if (const auto n = b->file_number())
            session_.fill_file(*n, b->auto_override());
        else
            session_.post("Enter a file number in hexadecimal", LineColour::Red);
    });
    b->open();
}

void BrekWindow::open_information()
{
    if (!info_box_) {
        info_box_ = new InformationBox(this);
        info_box_->setAttribute(Qt::WA_DeleteOnClose);
        place_box(info_box_, BrekBox::Info);
    }
    info_box_->show_figures(session_.information());
    info_box_->show();
    info_box_->raise();
}

void BrekWindow::open_change_frequencies()
{
    if (!session_.pass_open())
        return;
    auto* b = new ChangeFrequenciesBox(session_.frequencies(), this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    place_box(b, BrekBox::Freq);
    connect(b, &QDialog::accepted, this, [this, b] { session_.change_frequencies(b->value()); });
    b->open();
}

void BrekWindow::open_upload_status()
{
    if (!upload_box_) {
        upload_box_ = new UploadStatusBox(this);
        upload_box_->setAttribute(Qt::WA_DeleteOnClose);
        connect(upload_box_, &UploadStatusBox::disconnect_requested, this, [this] { session_.disconnect_upload(); });
        place_box(upload_box_, BrekBox::Upload);
    }
    upload_box_->show_boxes(session_.boxes());
    upload_box_->show();
    upload_box_->raise();
}

void BrekWindow::open_file_information(std::uint32_t file_number)
{
    const auto info = session_.file_information(file_number);
    if (!info)
        return;
    auto* b = new FileInformationBox(*info, this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    b->box_id = ++information_boxes_;
    connect(b, &QDialog::accepted, this, [this, b] {
        const std::string answer = session_.apply_file_information(b->opened(), b->status(), b->request_now());
        if (answer.empty())
            return;
        auto* m = new QMessageBox(QMessageBox::Information, tr("File Information"), QString::fromStdString(answer),
                                  QMessageBox::Ok, this);
        m->setObjectName(QStringLiteral("FileClosed"));
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->open();
    });
    b->show();
    // The viewer knows the file's directory entry best; the headers filled the box until it answers.
    (void)session_.ask_viewer_for_information(b->box_id, file_number);
}

void BrekWindow::on_file_information_fields(std::uint32_t box, std::uint32_t file_number,
                                            const std::vector<std::string>& fields)
{
    for (auto* b : findChildren<FileInformationBox*>())
        if (b->box_id == box && b->opened().file_number == file_number)
            b->fill_from_viewer(fields);
}

void BrekWindow::open_directory_line(int index)
{
    const auto& lines = status_list_->lines();
    if (index < 0 || std::size_t(index) >= lines.size())
        return;
    const StatusLine& line = lines[std::size_t(index)];
    const std::uint32_t file = directory_line_file(line);
    if (!file)
        return;
    const auto info = session_.directory_entry(file);
    auto* b = new DirectoryLineBox(file, info ? &*info : nullptr, QString::fromStdString(line.text), this);
    b->setAttribute(Qt::WA_DeleteOnClose);
    connect(b, &QDialog::accepted, this,
            [this, b] { session_.set_directory_line_status(b->file_number(), b->status()); });
    b->show();
}

void BrekWindow::apply_font(const QFont& font)
{
    status_list_->setFont(font);
    monitor_->setFont(font);
    status_list_->update();
}

void BrekWindow::choose_font()
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, status_list_->font(), this, tr("Screen Font"),
                                         QFontDialog::DontUseNativeDialog);
    if (ok)
        set_screen_font(f);
}

void BrekWindow::set_screen_font(const QFont& f)
{
    apply_font(f);
    store_font(settings_, f);
    if (!store_)
        return;
    // Written at once, so another Brek started later sees it.
    for (const char* name : kFontFields)
        if (auto s = settings::write_one(*store_, settings::keys::brek, settings::brek_fields(), settings_, name); !s)
            session_.post("Cannot save the font: " + s.error().message, LineColour::Red);
}

void BrekWindow::show_help()
{
    if (Status st = platform::open_user_guide("brek"); !st) {
        auto* m = new QMessageBox(QMessageBox::Warning, tr("Brek Help"), QString::fromStdString(st.error().message),
                                  QMessageBox::Ok, this);
        m->setObjectName(QStringLiteral("Help"));
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->open();
    }
}

void BrekWindow::save_settings()
{
    if (saved_)
        return;
    saved_ = true;
    if (info_box_)
        keep_box_position(info_box_, BrekBox::Info);
    if (upload_box_)
        keep_box_position(upload_box_, BrekBox::Upload);
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    store_main_window(settings_, {g.x(), g.y(), g.width(), g.height()}, isMaximized());
    if (!store_ || store_->read_only())
        return;
    for (const char* name : kPlacementFields)
        (void)settings::write_one(*store_, settings::keys::brek, settings::brek_fields(), settings_, name);
}

} // namespace orva::engine
