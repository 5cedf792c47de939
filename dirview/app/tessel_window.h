// Tessel's main window, class and title "Tessel" ("Tessel [AO-16]" with a satellite open): the
// directory list under its column heading, the mode selector and toolbar, the menus and keys,
// and the window messages of the mail processor and the engine. Download choices reach the
// engine only through the shared status table; new headers come from the engine's data server.
#pragma once

#include "common/settings/suite_settings.h"
#include "dirview/app/engine_link.h"
#include "dirview/app/tessel_host.h"
#include "dirview/app/window_rules.h"
#include "dirview/directory_model.h"
#include "platform/clock.h"
#include "platform/messenger.h"

#include <QKeySequence>
#include <QMainWindow>

#include <functional>
#include <set>
#include <memory>
#include <span>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPrinter;
class QTableView;
class QTimer;
class QToolBar;

namespace orva::platform {
class Store;
}

namespace orva::dirview {

class DirectoryTableModel;

struct TesselOptions {
    platform::Store* store = nullptr;             // settings and satellites; null: defaults, nothing written
    platform::Messenger* messenger = nullptr;     // window messages; null: none
    EngineLink::Connector connector;              // the engine's data server; empty: no link
    TesselHost* host = nullptr;                   // null: the launcher and message boxes
    const platform::Clock* clock = nullptr;       // null: the system clock
};

class TesselWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TesselWindow(TesselOptions options, QWidget* parent = nullptr);
    ~TesselWindow() override;

    // Registers the window for messages; fails with platform::already_running when another
    // Tessel has the class (that one has been asked to come forward).
    Status register_window();
    // Shows it where the settings say (maximised with "Reopen").
    void show_placed();

    // The commands of the menus, keys and toolbar, also for the tests.
    bool open_satellite(const std::string& name); // false: not configured or not loaded
    void choose_satellite();                       // the "Select Satellite" box
    void update_view();                            // the mode chosen in the selector
    bool apply_mode(const std::string& mode);
    void mark(int code);
    void view_file();
    void show_information();
    void reply();
    void send_message();
    void delete_file();
    void show_statistics();
    enum class FindResult { Shown, Information, NotFound };
    FindResult find_number(const std::string& hex_text);
    void find_by_number(); // the "Find File" box
    void custom_search(const SearchFields& fields);
    void open_custom_search(); // the "File Search" box
    void open_setup();
    // The setup box's values: stored, and in effect at once for the open satellite.
    void apply_setup(const settings::TesselSettings& chosen);
    void choose_font();
    void print_directory();
    bool print_to(QPrinter& printer); // the whole display list
    void about();

    // A window message as the bus delivers it; its answer.
    std::int32_t on_window_message(const platform::WindowMessage& message);
    // 2030: the engine's File Information fields of a file (destination, source, title, size, type).
    std::optional<std::vector<std::string>> file_information_fields(std::uint32_t file_number) const;

    // Poll the link now (the 20-second timer does it) and take status changes from the table.
    void connect_engine();
    void refresh_statuses();

    DirectoryModel& model() { return model_; }
    QTableView* list() const { return list_; }
    QComboBox* mode_selector() const { return modes_; }
    QToolBar* toolbar() const { return toolbar_; }
    QAction* action(const QString& name) const; // by command name ("Priority", "Delete", ...)
    std::optional<std::size_t> selected_row() const;
    void select_row(std::size_t row);
    const std::string& satellite() const { return satellite_; }
    bool engine_connected() const { return link_ && link_->connected(); }
    const settings::TesselSettings& settings() const { return settings_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_actions();
    void build_menus();
    void build_toolbar();
    void build_body();
    void set_loaded(bool loaded);
    void fill_modes();
    void after_list_rebuilt(std::optional<std::uint32_t> keep_file);
    // Rebuilds the list and keeps the selected file selected and the view where it was.
    void after_list_rebuilt_keeping(const std::function<bool()>& rebuild);
    void sync_checks();
    void move_down();
    void take_header(std::span<const std::uint8_t> header);
    void apply_list_font(const QFont& font);
    void save_settings();
    void show_help(const QString& topic);
    void bind_list_keys();
    // True the first time these equation faults are seen with the files as they are now.
    bool equations_changed(const DirectoryConfig& config);
    const DirectoryEntry* selected_entry() const;

    TesselOptions options_;
    std::unique_ptr<TesselHost> own_host_;
    TesselHost* host_ = nullptr;
    const platform::Clock& clock_;
    settings::TesselSettings settings_;
    DirectoryModel model_;
    std::string satellite_;
    std::string suite_dir_;
    std::unique_ptr<platform::MessageWindow> registration_;
    std::unique_ptr<EngineLink> link_;
    bool loaded_ = false, saved_ = false, pending_live_ = false;
    bool searched_ = false; // the list is a search result: live headers leave it alone

    DirectoryTableModel* table_ = nullptr;
    QTableView* list_ = nullptr;
    QComboBox* modes_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QMenu* row_menu_ = nullptr;
    QTimer* link_timer_ = nullptr;
    QTimer* status_timer_ = nullptr;
    QTimer* live_timer_ = nullptr;
    std::unique_ptr<QPrinter> printer_; // the choices of the print and page boxes, kept for the session
    std::vector<QAction*> mark_actions_;
    std::vector<QAction*> entry_actions_; // need a directory
    std::vector<std::pair<QKeySequence, QAction*>> list_keys_; // keys that act only on the list
    std::set<std::string> reported_equations_;
    std::vector<std::pair<QString, QAction*>> named_;
};

} // namespace orva::dirview
