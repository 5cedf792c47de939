// Pixora's window: one scrolling 8-bit image with its palette, the CCD commands, bitmap files,
// the clipboard, printing and the settings.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

#include "ccdview/ccd_image.h"
#include "ccdview/dib_file.h"
#include "common/settings/suite_settings.h"

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QScrollArea;

namespace orva::ccdview {

class PixoraWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PixoraWindow(std::filesystem::path store_file, QWidget* parent = nullptr);

    // Message boxes go through here so tests can read them; the default shows a QMessageBox.
    std::function<void(const QString& caption, const QString& text)> message;

    // The commands, without their file dialogs.
    bool open_ccd(const QString& path);
    bool open_bmp(const QString& path);
    bool save_bmp(const QString& path, int bit_count, DibCompression compression);
    void copy_to_clipboard();
    bool paste_from_clipboard();
    void exposure(ExposureCommand command);
    void rotate_ccd(bool clockwise);
    void where();
    void encode();
    void decode();
    void print_to(QPrinter& printer);
    // "Test" stores the settings in the store; "Read" reads them back and enters the images folder.
    void store_settings();
    void read_settings();
    // Opens the settings dialog (modal); true when it was accepted.
    bool edit_settings();
    // Shown at start when the settings were never stored.
    bool needs_settings() const;
    // The menu states, as evaluated when a menu opens.
    void update_commands();

    const QImage& image() const { return image_; }
    const std::optional<CcdImage>& ccd() const { return ccd_; }
    const settings::PixoraSettings& settings() const { return settings_; }
    std::filesystem::path kep_file() const;
    std::filesystem::path obs_file() const;
    QAction* action(const QString& text) const;

    static QString defaults_folder(const std::filesystem::path& store_file);

private:
    void build_menus();
    void show_image(QImage image, const QString& name, int bit_count, DibCompression compression);
    void show_ccd();
    void fail(const QString& caption, const QString& text) { message(caption, text); }

    std::filesystem::path store_file_;
    settings::PixoraSettings settings_;
    QScrollArea* scroll_ = nullptr;
    QLabel* view_ = nullptr;
    QImage image_;
    QString name_;
    bool from_clipboard_ = false;
    std::optional<CcdImage> ccd_;
    bool original_enabled_ = false, enhanced_enabled_ = false, lighten_enabled_ = true, darken_enabled_ = true;
    int bit_count_ = 8;
    DibCompression compression_ = DibCompression::Rgb;
};

// Bitmap <-> QImage (8-bit indexed, rows turned top-down).
QImage to_qimage(const Bitmap& bitmap);
Bitmap to_bitmap(const QImage& image);

} // namespace orva::ccdview
