// Brek's main window, "Brek:MAIN": a view of the running session (status list, monitor area,
// status boxes, pass-time bar, download table) with its menus, float menu and boxes. Settings
// boxes change the session only; placement and font live in Brek's settings.
#pragma once

#include "common/settings/suite_settings.h"
#include "engine/session/brek_session.h"
#include "engine/window/window_placement.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;

namespace orva::platform {
class Store;
}

namespace orva::engine {

class DownloadTableView;
class InformationBox;
class PassTimeBar;
class StatusListView;
class UploadStatusBox;

QFont font_from(const settings::BrekSettings& s);
void store_font(settings::BrekSettings& s, const QFont& font);

class BrekWindow : public QMainWindow, public SessionObserver {
    Q_OBJECT
public:
    // `store` holds Brek's settings (placement, font); null keeps the defaults and writes nothing.
    BrekWindow(BrekSession& session, platform::Store* store, QWidget* parent = nullptr);
    ~BrekWindow() override;

    // Shows it as the settings say: maximised when "Reopen" is 1, else at the kept place.
    void show_placed();

    StatusListView* status_list() const { return status_list_; }
    DownloadTableView* download_table() const { return table_; }
    PassTimeBar* pass_time_bar() const { return pass_bar_; }
    QPlainTextEdit* monitor() const { return monitor_; }
    QLabel* upload_letter() const { return upload_letter_; }
    QLabel* box_label(const char* name) const;
    QMenu* float_menu(std::uint32_t file_number);
    const settings::BrekSettings& settings() const { return settings_; }

    // The menu and mouse commands, also for the tests.
    void open_general_options();
    void open_tnc_settings();
    void open_broadcast_options();
    void open_select_satellite();
    void open_fill_file();
    void open_information();
    void open_change_frequencies();
    void open_upload_status();
    void open_file_information(std::uint32_t file_number);
    void open_directory_line(int index);
    void apply_font(const QFont& font);
    // Screen Font: shown and written to Brek's settings at once.
    void set_screen_font(const QFont& font);

    // SessionObserver
    void on_status_line(const StatusLine& line) override;
    void on_monitor_line(const std::string& line) override;
    void on_boxes_changed() override;
    void on_table_changed() override;
    void on_title_changed(const std::string& title) override;
    void on_pass_changed(bool open) override;
    void on_upload_box_close() override;
    void on_finished() override;
    void on_file_information_fields(std::uint32_t box, std::uint32_t file_number,
                                    const std::vector<std::string>& fields) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_menus();
    void build_body();
    void refresh_all();
    void place_box(QWidget* box, BrekBox which);
    void keep_box_position(QWidget* box, BrekBox which);
    void save_settings();
    void choose_font();
    void show_help();
    std::vector<ScreenRect> screens() const;

    BrekSession& session_;
    platform::Store* store_;
    settings::BrekSettings settings_;
    bool finished_ = false, saved_ = false, upload_was_up_ = false;

    StatusListView* status_list_ = nullptr;
    DownloadTableView* table_ = nullptr;
    PassTimeBar* pass_bar_ = nullptr;
    QPlainTextEdit* monitor_ = nullptr;
    QLabel *directory_status_ = nullptr, *request_status_ = nullptr, *efficiency_ = nullptr;
    QLabel *total_ = nullptr, *dir_bytes_ = nullptr, *file_bytes_ = nullptr, *upload_letter_ = nullptr;
    QLabel *queue_line_ = nullptr, *bbs_status_ = nullptr;
    QAction *log_kiss_ = nullptr, *log_telemetry_ = nullptr;
    QAction *broadcasts_ = nullptr, *uploading_ = nullptr, *auto_freq_ = nullptr;
    std::vector<QAction*> pass_actions_;
    QMenu* temporary_ = nullptr;
    QPointer<UploadStatusBox> upload_box_;
    QPointer<InformationBox> info_box_;
    std::uint32_t information_boxes_ = 0; // names each File Information box for the viewer's answer
};

} // namespace orva::engine
