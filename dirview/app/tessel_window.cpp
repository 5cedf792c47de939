#include "dirview/app/tessel_window.h"

#include "common/settings/keys.h"
#include "common/file_names.h"
#include "common/settings/satellite_record.h"
#include "dirview/app/desktop_host.h"
#include "dirview/app/directory_table_model.h"
#include "dirview/app/list_font.h"
#include "dirview/app/tessel_boxes.h"
#include "platform/shared_clock.h"
#include "platform/store/store.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QPageSetupDialog>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cctype>

namespace orva::dirview {

namespace fs = std::filesystem;

namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

} // namespace

TesselWindow::TesselWindow(TesselOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)),
      clock_(options_.clock ? *options_.clock : platform::station_clock()), model_(clock_)
{
    setObjectName("Tessel");
    setWindowTitle("Tessel");
    host_ = options_.host;
    if (!host_) {
        own_host_ = std::make_unique<DesktopHost>(this);
        host_ = own_host_.get();
    }
    if (options_.store) {
        settings_ = settings::read_tessel(*options_.store);
        suite_dir_ = settings::read_general(*options_.store, settings::Program::Tessel).orva_directory;
    }
    if (options_.messenger && options_.connector)
        link_ = std::make_unique<EngineLink>(*options_.messenger, options_.connector,
                                             [this](std::span<const std::uint8_t> h) { take_header(h); });

    build_actions();
    build_menus();
    build_body();
    bind_list_keys();
    build_toolbar();
    apply_list_font(list_font(settings_));
    if (!suite_dir_.empty())
        model_.load_suite_equations(suite_dir_);
    fill_modes();
    set_loaded(false);

    link_timer_ = new QTimer(this);
    link_timer_->setInterval(20000);
    connect(link_timer_, &QTimer::timeout, this, [this] { on_window_message({kMsgConnectTimer, 0, 0}); });
    link_timer_->start();
    // The engine changes statuses through the shared table; the rows follow within a second.
    status_timer_ = new QTimer(this);
    status_timer_->setInterval(1000);
    connect(status_timer_, &QTimer::timeout, this, &TesselWindow::refresh_statuses);
    status_timer_->start();
    // Headers advised in a burst rebuild the list once.
    live_timer_ = new QTimer(this);
    live_timer_->setSingleShot(true);
    live_timer_->setInterval(250);
    connect(live_timer_, &QTimer::timeout, this, [this] {
        pending_live_ = false;
        if (!loaded_ && model_.entry_count() > 0) {
            // A satellite seen for the first time: its directory starts with this pass.
            set_loaded(true);
            apply_mode(kModeAll);
            return;
        }
        if (!searched_)
            after_list_rebuilt_keeping([this] { return model_.select_mode(model_.current_mode()); });
    });
}

TesselWindow::~TesselWindow()
{
    save_settings();
    if (link_)
        link_->close();
    model_.close();
}

Status TesselWindow::register_window()
{
    if (!options_.messenger)
        return {};
    platform::WindowHandlers handlers;
    handlers.on_message = [this](const platform::WindowMessage& m) { return on_window_message(m); };
    handlers.on_raise = [this] {
        showNormal();
        raise();
        activateWindow();
        update();
    };
    auto w = options_.messenger->create_window("Tessel", windowTitle().toStdString(), handlers, true);
    if (!w) {
        if (w.error().code == platform::already_running)
            (void)options_.messenger->raise({"Tessel", ""});
        return w.error();
    }
    registration_ = std::move(*w);
    return {};
}

void TesselWindow::show_placed()
{
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 1024, 768);
    if (auto p = tessel_placement(settings_, screen.width(), screen.height()))
        setGeometry(p->x, p->y, p->width, p->height);
    if (settings_.reopen == 1)
        showMaximized();
    else
        show();
}

// ---- building -------------------------------------------------------------------------------

QAction* TesselWindow::action(const QString& name) const
{
    for (const auto& [n, a] : named_)
        if (n == name)
            return a;
    return nullptr;
}

void TesselWindow::build_actions()
{
    auto add = [this](const QString& name, const QString& text, std::function<void()> run, QList<QKeySequence> keys = {},
                      bool needs_entry = true) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
        addAction(a);
        named_.emplace_back(name, a);
        if (needs_entry)
            entry_actions_.push_back(a);
        return a;
    };
    add("Update", "Update", [this] { update_view(); })->setToolTip("Update the current display");
    for (const auto& m : mark_commands()) {
        auto* a = add(m.name, QString(m.name), [this, code = m.code] { mark(code); });
        a->setCheckable(true);
        list_keys_.emplace_back(QKeySequence(QChar(m.key)), a);
        a->setToolTip(m.tooltip);
        mark_actions_.push_back(a);
    }
    add("View", "&View\tALT-V", [this] { view_file(); }, {QKeySequence(Qt::ALT | Qt::Key_V)})
        ->setToolTip("View the currently selected file");
    auto* info = add("Information", "&Information\tALT-I", [this] { show_information(); },
                     {QKeySequence(Qt::ALT | Qt::Key_I)});
    info->setToolTip("Display information on the selected file");
    list_keys_.emplace_back(QKeySequence(Qt::Key_Return), info);
    list_keys_.emplace_back(QKeySequence(Qt::Key_Enter), info);
    add("Reply", "&Reply\tALT-R", [this] { reply(); }, {QKeySequence(Qt::ALT | Qt::Key_R)})
        ->setToolTip("Reply to the currently selected message");
    add("Send", "&Send\tALT-O", [this] { send_message(); }, {QKeySequence(Qt::ALT | Qt::Key_O)})
        ->setToolTip("Create a new message");
    add("Save", "&Save Message", [] {})->setToolTip("Append [Save] this file to another disk file.");
    add("Delete", "&Delete\tDel", [this] { delete_file(); }, {QKeySequence(Qt::Key_Delete)})
        ->setToolTip("Delete the file associated with this message");
    add("Statistics", "Statistics", [this] { show_statistics(); });
    add("Find", "Find by number", [this] { find_by_number(); });
    add("Search", "Custom search", [this] { open_custom_search(); })->setToolTip("Search for a message");
    add("Setup", "General Setup", [this] { open_setup(); }, {}, false);
    add("Font", "Select Font", [this] { choose_font(); }, {}, false);
    add("PrintDirectory", "Print Directory", [this] { print_directory(); });
    add("PrintMessage", "Print Message", [this] { print_directory(); });
    add("PrinterSetup", "P&rinter setup...", [this] {
        if (!printer_)
            printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPageSetupDialog box(printer_.get(), this);
        box.exec();
    }, {}, false);
    add("Satellite", "Satellite", [this] { choose_satellite(); }, {}, false);
    add("Exit", "Exit", [this] { close(); }, {}, false);
    add("Help", "Tessel Help", [this] { show_help("Tessel Help"); }, {}, false)
        ->setToolTip("View the Tessel online help");
    add("HelpIndex", "Help Index", [this] { show_help("Help Index"); }, {}, false);
    add("UsingHelp", "Using Help", [this] { show_help("Using Help"); }, {}, false);
    add("About", "About", [this] { about(); }, {}, false);
}

void TesselWindow::build_menus()
{
    auto* bar = menuBar();
    auto* file = bar->addMenu("&File");
    file->addAction(action("PrintDirectory"));
    file->addAction(action("PrintMessage"));
    file->addAction(action("PrinterSetup"));
    file->addSeparator();
    file->addAction(action("Exit"));
    auto* message = bar->addMenu("&Message");
    for (const char* n : {"View", "Information", "Reply", "Send", "Save", "Delete", "Statistics"})
        message->addAction(action(n));
    auto* priority = bar->addMenu("Set &Priority");
    for (auto* a : mark_actions_)
        priority->addAction(a);
    auto* search = bar->addMenu("S&earch");
    search->addAction(action("Find"));
    search->addAction(action("Search"));
    auto* setup = bar->addMenu("Se&tup");
    setup->addAction(action("Setup"));
    setup->addAction(action("Font"));
    bar->addAction(action("Satellite"));
    auto* help = bar->addMenu("&Help");
    for (const char* n : {"HelpIndex", "UsingHelp", "Help", "About"})
        help->addAction(action(n));

    row_menu_ = new QMenu(this);
    for (auto* a : mark_actions_)
        row_menu_->addAction(a);
    row_menu_->addSeparator();
    for (const char* n : {"View", "Information", "Reply", "Delete"})
        row_menu_->addAction(action(n));
    row_menu_->addAction("&Save", [] {});
}

void TesselWindow::build_toolbar()
{
    if (!toolbar_) {
        toolbar_ = addToolBar("Tessel");
        toolbar_->setObjectName("TesselToolbar");
        toolbar_->setMovable(false);
        modes_ = new QComboBox(this);
        modes_->setObjectName("ModeSelector");
        modes_->setToolTip("Select the directory display equation");
        modes_->setMinimumContentsLength(30);
        modes_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        // A mode chosen in the selector is applied at once; Update re-reads the current one.
        connect(modes_, &QComboBox::activated, this, [this](int) { update_view(); });
    }
    toolbar_->clear();
    toolbar_->addWidget(modes_);
    toolbar_->addAction(action("Update"));
    toolbar_->addSeparator();
    for (auto* a : mark_actions_)
        toolbar_->addAction(a);
    toolbar_->addSeparator();
    toolbar_->addAction(action("Send"));
    toolbar_->addSeparator();
    for (const char* n : {"View", "Reply", "Save", "Delete", "Information"})
        toolbar_->addAction(action(n));
    toolbar_->addSeparator();
    toolbar_->addAction(action("Search"));
    toolbar_->addSeparator();
    toolbar_->addAction(action("Help"));
    // With strings on, the buttons carry words; otherwise the short marks of old.
    const bool words = settings_.strings_on_toolbar != 0;
    static const std::pair<const char*, const char*> labels[] = {
        {"Update", "Upd"}, {"Priority", "P"}, {"Auto", "A"}, {"Auto1", "1"}, {"Auto2", "2"}, {"Auto3", "3"},
        {"Incremental", "I"}, {"Grab", "G"}, {"Never", "N"}, {"Send", "Send"}, {"View", "View"},
        {"Reply", "Re"}, {"Save", "Save"}, {"Delete", "Del"}, {"Information", "Info"}, {"Search", "Find"},
        {"Help", "?"}};
    for (const auto& [name, mark] : labels)
        if (auto* a = action(name))
            a->setIconText(words ? QString(name == std::string_view("Information") ? "Info" : name) : QString(mark));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
}

void TesselWindow::build_body()
{
    table_ = new DirectoryTableModel(model_, this);
    list_ = new QTableView(this);
    list_->setObjectName("DirectoryList");
    list_->setModel(table_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setTextElideMode(Qt::ElideNone);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->installEventFilter(this);
    setCentralWidget(list_);
    connect(list_, &QTableView::doubleClicked, this, [this](const QModelIndex&) { view_file(); });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex i = list_->indexAt(at);
        if (!i.isValid())
            return;
        select_row(std::size_t(i.row()));
        row_menu_->popup(list_->viewport()->mapToGlobal(at));
    });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { sync_checks(); });
}

void TesselWindow::bind_list_keys()
{
    // Single letters and Enter mean something only where the operator is looking at the list: typed in
    // the mode selector or a field they are text.
    for (const auto& [keys, a] : list_keys_) {
        auto* s = new QShortcut(keys, list_, nullptr, nullptr, Qt::WidgetShortcut);
        connect(s, &QShortcut::activated, a, [a] {
            if (a->isEnabled())
                a->trigger();
        });
    }
}

bool TesselWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Left and Right shift the text by one character, as the list always did.
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)) {
            auto* bar = list_->horizontalScrollBar();
            const int step = list_->fontMetrics().averageCharWidth();
            bar->setValue(bar->value() + (key->key() == Qt::Key_Left ? -step : step));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TesselWindow::apply_list_font(const QFont& font)
{
    list_->setFont(font);
    list_->horizontalHeader()->setFont(font);
    const QFontMetrics m(font);
    const int line = m.height() + m.leading();
    const int ch = m.averageCharWidth();
    list_->verticalHeader()->setDefaultSectionSize(line + 2);
    list_->setColumnWidth(0, ch * 9 + 6);
    list_->setColumnWidth(1, m.horizontalAdvance(QString(111, QChar('M'))) + 8);
    list_->horizontalScrollBar()->setSingleStep(ch);
}

void TesselWindow::fill_modes()
{
    const QString was = modes_->currentText();
    modes_->clear();
    // The fixed four first, then the equations in alphabetical order.
    for (const auto& name : model_.mode_names())
        modes_->addItem(qs(name));
    const int at = modes_->findText(model_.is_open() ? qs(model_.current_mode()) : was);
    modes_->setCurrentIndex(at >= 0 ? at : 0);
}

void TesselWindow::set_loaded(bool loaded)
{
    loaded_ = loaded;
    for (auto* a : entry_actions_)
        a->setEnabled(loaded);
    modes_->setEnabled(loaded);
}

// ---- satellites -----------------------------------------------------------------------------

bool TesselWindow::equations_changed(const DirectoryConfig& config)
{
    // The equations files as they stand: a fault already told about is told again only after the
    // operator changed a file (a new time or size), not at every open.
    std::string stamp;
    for (const fs::path& folder : {fs::path(config.folders.satellite), fs::path(config.suite_dir)}) {
        if (folder.empty())
            continue;
        if (auto f = find_file_nocase(folder, kEquationsFileName)) {
            std::error_code ec;
            const auto t = fs::last_write_time(*f, ec).time_since_epoch().count();
            stamp += f->string() + '|' + std::to_string(t) + '|' + std::to_string(fs::file_size(*f, ec)) + '\n';
        }
    }
    for (const auto& f : model_.equation_faults())
        stamp += f.name + '|' + std::to_string(f.line) + '|' + f.text + '\n';
    if (!reported_equations_.insert(stamp).second)
        return false;
    return true;
}

bool TesselWindow::open_satellite(const std::string& name)
{
    std::string upper = name;
    for (auto& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (!options_.store)
        return false;
    auto config = read_directory_config(*options_.store, upper);
    if (!config)
        return false;
    satellite_ = upper;
    if (link_)
        link_->set_satellite(satellite_);
    model_.close();
    searched_ = false;
    // The engine writes out its current directory file before we read it.
    if (options_.messenger)
        (void)options_.messenger->post({"Brek:MAIN", "Brek [" + satellite_ + "]"}, {kMsgConnectNow, 0, 0});
    const QString title = qs("Tessel [" + satellite_ + "]");
    setWindowTitle(title);
    if (registration_)
        (void)registration_->set_title(title.toStdString());
    const OpenReport report = model_.open(*config);
    if (!model_.equation_faults().empty() && equations_changed(model_.config())) {
        std::string text = "These equations of \"Tessel Equations.TXT\" were not loaded:\n";
        for (const auto& f : model_.equation_faults())
            text += "\n[" + f.name + "] line " + std::to_string(f.line) + ": " + f.reason + "\n    " + f.text;
        if (std::any_of(model_.equation_faults().begin(), model_.equation_faults().end(),
                        [](const EquationFault& f) { return f.no_brackets; }))
            setWindowTitle("No brackets");
        host_->inform("Tessel", text);
    }
    fill_modes();
    table_->reset();
    if (!report.message.empty()) {
        // "Satellite Directory not found" carries the path as its text; the others stand alone.
        if (report.detail.empty())
            host_->inform("Tessel", report.message);
        else
            host_->inform(report.message, report.detail);
    }
    set_loaded(report.loaded);
    after_list_rebuilt(std::nullopt);
    if (link_)
        link_->connect();
    return report.loaded;
}

void TesselWindow::choose_satellite()
{
    if (!options_.store)
        return;
    std::vector<std::string> names;
    for (const auto& n : settings::list_satellites(*options_.store)) {
        auto rec = settings::read_satellite(*options_.store, n, settings::Program::Tessel);
        if (rec && rec->type() == settings::SatelliteType::PacSat)
            names.push_back(n);
    }
    SelectSatelliteBox box(names, this, [this] { show_help("Select Satellite"); });
    if (box.exec() == QDialog::Accepted && !box.chosen().empty())
        open_satellite(box.chosen());
}

// ---- the list -------------------------------------------------------------------------------

std::optional<std::size_t> TesselWindow::selected_row() const
{
    const QModelIndex i = list_->currentIndex();
    if (!i.isValid() || std::size_t(i.row()) >= model_.row_count())
        return std::nullopt;
    return std::size_t(i.row());
}

void TesselWindow::select_row(std::size_t row)
{
    if (row >= model_.row_count())
        return;
    const QModelIndex i = table_->index(int(row), 0);
    list_->setCurrentIndex(i);
    list_->selectionModel()->select(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(i);
    sync_checks();
}

const DirectoryEntry* TesselWindow::selected_entry() const
{
    const auto r = selected_row();
    return r ? &model_.row(*r) : nullptr;
}

void TesselWindow::after_list_rebuilt(std::optional<std::uint32_t> keep_file)
{
    table_->reset();
    action("Update")->setEnabled(loaded_);
    if (model_.row_count() == 0) {
        sync_checks();
        return;
    }
    std::optional<std::size_t> row;
    if (keep_file)
        row = model_.row_of(*keep_file);
    select_row(row.value_or(0));
}

void TesselWindow::after_list_rebuilt_keeping(const std::function<bool()>& rebuild)
{
    const auto* e = selected_entry();
    const std::optional<std::uint32_t> keep = e ? std::optional(e->file_number) : std::nullopt;
    const int scroll = list_->verticalScrollBar()->value();
    if (!rebuild())
        return;
    after_list_rebuilt(keep);
    list_->verticalScrollBar()->setValue(scroll);
}

void TesselWindow::update_view() { apply_mode(modes_->currentText().toStdString()); }

bool TesselWindow::apply_mode(const std::string& mode)
{
    if (!loaded_)
        return false;
    if (!model_.select_mode(mode))
        return false;
    searched_ = false;
    const int at = modes_->findText(qs(mode));
    if (at >= 0)
        modes_->setCurrentIndex(at);
    after_list_rebuilt(std::nullopt);
    return true;
}

void TesselWindow::sync_checks()
{
    const auto* e = selected_entry();
    const auto which = e ? checked_button(model_.status_of(e->file_number)) : std::nullopt;
    for (std::size_t i = 0; i < mark_actions_.size(); ++i)
        mark_actions_[i]->setChecked(which && *which == i);
}

void TesselWindow::move_down()
{
    if (auto r = selected_row(); r && *r + 1 < model_.row_count())
        select_row(*r + 1);
}

void TesselWindow::refresh_statuses()
{
    if (!model_.is_open())
        return;
    auto rows = model_.poll_status_changes();
    for (std::size_t r : model_.poll_percent_changes())
        if (std::find(rows.begin(), rows.end(), r) == rows.end())
            rows.push_back(r);
    if (!rows.empty()) {
        table_->rows_changed(rows);
        sync_checks();
    }
}

// ---- messages and the engine ----------------------------------------------------------------

std::int32_t TesselWindow::on_window_message(const platform::WindowMessage& message)
{
    const auto file = std::uint32_t(message.long_param);
    switch (message.number) {
    case kMsgMessageFiled:
    case kMsgMessageCleared: {
        const bool done = message.number == kMsgMessageFiled ? model_.mark_message(file) : model_.clear_message(file);
        if (auto row = model_.row_of(file))
            table_->rows_changed({*row});
        sync_checks();
        return done ? 1 : 0;
    }
    case kMsgConnectNow:
    case kMsgConnectTimer:
        connect_engine();
        return engine_connected() ? 1 : 0;
    case kMsgFileInformation: {
        // The engine's box lives in the engine: its fields go back to it as texts.
        auto fields = file_information_fields(file);
        if (!fields)
            return 0;
        if (options_.messenger && !satellite_.empty())
            (void)options_.messenger->post_texts({"Brek:MAIN", "Brek [" + satellite_ + "]"}, message, *fields);
        return 1;
    }
    case kMsgClose:
        QTimer::singleShot(0, this, &QWidget::close);
        return 0;
    default: return 0;
    }
}

std::optional<std::vector<std::string>> TesselWindow::file_information_fields(std::uint32_t file_number) const
{
    const auto* e = model_.find(file_number);
    if (!e)
        return std::nullopt;
    char size[16], type[8];
    std::snprintf(size, sizeof size, "%li", long(e->file_size));
    std::snprintf(type, sizeof type, "%3i", int(e->file_type));
    return std::vector<std::string>{visible_text(e->destination.value_or("")), visible_text(e->source.value_or("")),
                                    visible_text(e->title.value_or("")), size,
                                    std::string(type) + " " + std::string(file_type_description(e->file_type))};
}

void TesselWindow::connect_engine()
{
    if (link_ && model_.is_open())
        link_->connect();
}

void TesselWindow::take_header(std::span<const std::uint8_t> header)
{
    if (!model_.is_open())
        return;
    const AddResult r = model_.add_entry(header);
    if (r.kind == AddResult::Replaced && r.row)
        table_->rows_changed({*r.row});
    if (r.kind == AddResult::Added && !pending_live_) {
        pending_live_ = true;
        live_timer_->start();
    }
}

// ---- closing --------------------------------------------------------------------------------

void TesselWindow::save_settings()
{
    if (saved_ || !options_.store)
        return;
    saved_ = true;
    const QRect g = normalGeometry();
    settings_.x_left = std::uint32_t(g.x());
    settings_.y_top = std::uint32_t(g.y());
    settings_.cx_width = std::uint32_t(g.width());
    settings_.cy_height = std::uint32_t(g.height());
    settings_.reopen = isMaximized() ? 1 : 0;
    for (const char* name : {"xLeft", "yTop", "cxWidth", "cyHeight", "Reopen"})
        (void)settings::write_one(*options_.store, settings::keys::tessel, settings::tessel_fields(), settings_, name);
}

void TesselWindow::closeEvent(QCloseEvent* event)
{
    if (link_)
        link_->close();
    model_.close();
    save_settings();
    registration_.reset();
    event->accept();
}

} // namespace orva::dirview
