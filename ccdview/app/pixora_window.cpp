#include "ccdview/app/pixora_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>

#include "ccdview/app/settings_dialog.h"
#include "ccdview/block_coder.h"
#include "ccdview/geolocate.h"
#include "common/elements/file_io.h"
#include "platform/store/store.h"

namespace orva::ccdview {

namespace {

QString compression_suffix(DibCompression c)
{
    switch (c) {
    case DibCompression::Rle4: return " RLE4";
    case DibCompression::Rle8: return " RLE8";
    default: return " RGB";
    }
}

QVector<QRgb> color_table(const Palette& p)
{
    QVector<QRgb> t;
    for (const auto& e : p)
        t.push_back(qRgb(e.red, e.green, e.blue));
    return t;
}

} // namespace

QImage to_qimage(const Bitmap& bm)
{
    QImage img(bm.width, bm.height, QImage::Format_Indexed8);
    img.setColorTable(color_table(bm.palette));
    for (int r = 0; r < bm.height; ++r)
        std::memcpy(img.scanLine(bm.height - 1 - r), bm.row(r), std::size_t(bm.width));
    return img;
}

Bitmap to_bitmap(const QImage& source)
{
    QImage img = source.format() == QImage::Format_Indexed8 ? source : source.convertToFormat(QImage::Format_Grayscale8);
    Bitmap bm;
    bm.width = (img.width() + 3) / 4 * 4;
    bm.height = img.height();
    bm.palette = grey_palette();
    if (img.format() == QImage::Format_Indexed8) {
        auto table = img.colorTable();
        for (int i = 0; i < std::min<int>(256, int(table.size())); ++i)
            bm.palette[std::size_t(i)] = {std::uint8_t(qBlue(table[i])), std::uint8_t(qGreen(table[i])),
                                          std::uint8_t(qRed(table[i])), 0};
    }
    bm.pixels.assign(std::size_t(bm.width) * std::size_t(bm.height), 0);
    for (int r = 0; r < bm.height; ++r)
        std::memcpy(bm.row(bm.height - 1 - r), img.constScanLine(r), std::size_t(img.width()));
    return bm;
}

QString PixoraWindow::defaults_folder(const std::filesystem::path& store_file)
{
    if (auto store = platform::Store::open(store_file, platform::Access::ReadOnly)) {
        auto general = settings::read_general(*store, settings::Program::Pixora);
        if (!general.orva_directory.empty())
            return QString::fromStdString(general.orva_directory);
    }
    return QDir::home().filePath("orva");
}

PixoraWindow::PixoraWindow(std::filesystem::path store_file, QWidget* parent)
    : QMainWindow(parent), store_file_(std::move(store_file))
{
    message = [this](const QString& caption, const QString& text) { QMessageBox::warning(this, caption, text); };
    setWindowTitle("Pixora");
    setObjectName("Pixora");
    scroll_ = new QScrollArea(this);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setStyleSheet("QScrollArea { background: #808080; }");
    view_ = new QLabel;
    view_->setBackgroundRole(QPalette::Base);
    view_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll_->setWidget(view_);
    scroll_->setWidgetResizable(false);
    setCentralWidget(scroll_);
    // Home and End page sideways; the arrows and Page Up/Down are the scroll area's own.
    auto* home = new QShortcut(QKeySequence(Qt::Key_Home), this);
    connect(home, &QShortcut::activated, this, [this] {
        auto* bar = scroll_->horizontalScrollBar();
        bar->setValue(bar->value() - bar->pageStep());
    });
    auto* end = new QShortcut(QKeySequence(Qt::Key_End), this);
    connect(end, &QShortcut::activated, this, [this] {
        auto* bar = scroll_->horizontalScrollBar();
        bar->setValue(bar->value() + bar->pageStep());
    });
    build_menus();
    read_settings();
    resize(700, 620);
}

std::filesystem::path PixoraWindow::kep_file() const
{
    return elements::find_nocase(settings_.kep_directory, "Orva.Kep");
}

std::filesystem::path PixoraWindow::obs_file() const
{
    return elements::find_nocase(settings_.obs_directory, "Orva.Obs");
}

QAction* PixoraWindow::action(const QString& text) const
{
    for (QAction* a : findChildren<QAction*>())
        if (a->text() == text)
            return a;
    return nullptr;
}

void PixoraWindow::build_menus()
{
    QMenu* file = menuBar()->addMenu("&File");
    connect(file->addAction("&Open Bmp.."), &QAction::triggered, this, [this] {
        QString path = QFileDialog::getOpenFileName(this, "Select a DIB to display", QDir::currentPath(),
                                                    "Bitmaps (*.BMP *.bmp *.DIB *.dib *.RLE *.rle)");
        if (!path.isEmpty())
            open_bmp(path);
    });
    connect(file->addAction("&Save Bmp.."), &QAction::triggered, this, [this] {
        if (image_.isNull())
            return;
        QString path = QFileDialog::getSaveFileName(this, "Select File to save DIB to", QDir::current().filePath("*.BMP"),
                                                    "Bitmaps (*.BMP *.bmp)");
        if (path.isEmpty())
            return;
        QStringList formats = {"RGB", "RLE 4", "RLE 8"};
        QStringList depths = {"1", "4", "8", "24"};
        bool ok = false;
        int current_format = compression_ == DibCompression::Rle4 ? 1 : compression_ == DibCompression::Rle8 ? 2 : 0;
        QString format = QInputDialog::getItem(this, "Pixora", "Format", formats, current_format, false, &ok);
        if (!ok)
            return;
        int current_depth = int(depths.indexOf(QString::number(bit_count_ > 8 ? 24 : bit_count_)));
        QString depth = QInputDialog::getItem(this, "Pixora", "Bits per pixel", depths, std::max(0, current_depth), false, &ok);
        if (!ok)
            return;
        DibCompression c = format == "RLE 4" ? DibCompression::Rle4 : format == "RLE 8" ? DibCompression::Rle8 : DibCompression::Rgb;
        save_bmp(path, depth.toInt(), c);
    });
    connect(file->addAction("Open CCD"), &QAction::triggered, this, [this] {
        QString path = QFileDialog::getOpenFileName(this, "Open CCD Image Files", QDir::currentPath(),
            "All Image Files, U5, KA, KB (U5*.* KA*.* KB*.* u5* ka* kb*);;"
            "UoSat 5 Images (U5*.* u5*);;Kitsat1 Images (KA*.* ka*);;Kitsat2 Images (KB*.* kb*);;"
            "Wide Angle Images (U5*.* KAIW*.* KBIW*.* u5* kaiw* kbiw*);;"
            "Narrow Angle Images (KAIN*.* KBIN*.* kain* kbin*)");
        if (!path.isEmpty())
            open_ccd(path);
    });
    QAction* print = file->addAction("&Print..");
    connect(print, &QAction::triggered, this, [this] {
        if (image_.isNull())
            return;
        QPrinter printer(QPrinter::HighResolution);
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted)
            print_to(printer);
    });
    file->addSeparator();
    connect(file->addAction("E&xit"), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu("&Edit");
    QAction* paste = edit->addAction("&Paste DIB");
    paste->setShortcut(QKeySequence("Ctrl+V"));
    connect(paste, &QAction::triggered, this, [this] { paste_from_clipboard(); });
    QAction* copy = edit->addAction("&Copy");
    copy->setShortcut(QKeySequence("Ctrl+C"));
    connect(copy, &QAction::triggered, this, [this] { copy_to_clipboard(); });
    QMenu* exposure_menu = edit->addMenu("Exposure");
    struct { const char* text; const char* key; ExposureCommand command; } exposures[] = {
        {"Original", "Alt+O", ExposureCommand::Original}, {"Enhanced", "Alt+E", ExposureCommand::Enhanced},
        {"Lighten", "Alt+L", ExposureCommand::Lighten},   {"Darken", "Alt+D", ExposureCommand::Darken}};
    for (const auto& e : exposures) {
        QAction* a = exposure_menu->addAction(e.text);
        a->setShortcut(QKeySequence(e.key));
        ExposureCommand command = e.command;
        connect(a, &QAction::triggered, this, [this, command] { exposure(command); });
    }
    QMenu* rotate_menu = edit->addMenu("Rotate CCD");
    QAction* cw = rotate_menu->addAction("Clockwise");
    cw->setShortcut(QKeySequence("Alt+C"));
    connect(cw, &QAction::triggered, this, [this] { rotate_ccd(true); });
    QAction* acw = rotate_menu->addAction("Anti-Clock");
    acw->setShortcut(QKeySequence("Alt+A"));
    connect(acw, &QAction::triggered, this, [this] { rotate_ccd(false); });

    QMenu* help = menuBar()->addMenu("&Help");
    connect(help->addAction("Where ?"), &QAction::triggered, this, [this] { where(); });
    connect(help->addAction("Settings"), &QAction::triggered, this, [this] { edit_settings(); });
    connect(help->addAction("About"), &QAction::triggered, this,
            [this] { QMessageBox::about(this, "About Pixora", "Pixora\nCCD image display\nVersion 1.00"); });

    QMenu* compressed = menuBar()->addMenu("&Compressed");
    connect(compressed->addAction("Encode"), &QAction::triggered, this, [this] { encode(); });
    connect(compressed->addAction("Decode"), &QAction::triggered, this, [this] { decode(); });
    connect(compressed->addAction("Test"), &QAction::triggered, this, [this] { store_settings(); });
    connect(compressed->addAction("Read"), &QAction::triggered, this, [this] { read_settings(); });

    for (QMenu* m : {file, edit, exposure_menu, rotate_menu, help, compressed})
        connect(m, &QMenu::aboutToShow, this, [this] { update_commands(); });
    update_commands();
}

void PixoraWindow::update_commands()
{
    const bool have_ccd = ccd_.has_value();
    action("Original")->setEnabled(have_ccd && original_enabled_);
    action("Enhanced")->setEnabled(have_ccd && enhanced_enabled_);
    action("Lighten")->setEnabled(have_ccd && lighten_enabled_);
    action("Darken")->setEnabled(have_ccd && darken_enabled_);
    action("Clockwise")->setEnabled(have_ccd);
    action("Anti-Clock")->setEnabled(have_ccd);
    action("&Paste DIB")->setEnabled(QApplication::clipboard()->mimeData() &&
                                     QApplication::clipboard()->mimeData()->hasImage());
    action("&Copy")->setEnabled(!image_.isNull());
    action("&Save Bmp..")->setEnabled(!image_.isNull());
    action("Where ?")->setEnabled(have_ccd);
    action("Encode")->setEnabled(!image_.isNull());
}

void PixoraWindow::show_image(QImage image, const QString& name, int bit_count, DibCompression compression)
{
    image_ = std::move(image);
    name_ = name;
    bit_count_ = bit_count;
    compression_ = compression;
    view_->setPixmap(QPixmap::fromImage(image_));
    view_->resize(image_.size());
    setWindowTitle(QString("Pixora (%1 %2x%3x%4%5)")
                       .arg(name_)
                       .arg(image_.width())
                       .arg(image_.height())
                       .arg(bit_count_)
                       .arg(compression_suffix(compression_)));
}

void PixoraWindow::show_ccd()
{
    show_image(to_qimage(ccd_->bitmap), QString::fromStdString(ccd_->name), 8, DibCompression::Rgb);
}

bool PixoraWindow::open_ccd(const QString& path)
{
    auto image = load_ccd(path.toStdString());
    if (!image) {
        fail(caption_text(image.error().code), QString::fromStdString(image.error().message));
        return false;
    }
    ccd_ = std::move(*image);
    from_clipboard_ = false;
    original_enabled_ = ccd_->normalised;
    enhanced_enabled_ = false;
    lighten_enabled_ = darken_enabled_ = true;
    show_ccd();
    return true;
}

bool PixoraWindow::open_bmp(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        fail("Pixora", QString("Can't open file '%1'").arg(path));
        return false;
    }
    QByteArray raw = f.readAll();
    DibInfo info;
    auto normal = normalise_dib(std::span(reinterpret_cast<const std::uint8_t*>(raw.constData()), std::size_t(raw.size())),
                                &info);
    QImage img;
    if (normal)
        img.loadFromData(reinterpret_cast<const uchar*>(normal->data()), qsizetype(normal->size()), "BMP");
    if (!normal || img.isNull()) {
        fail("Pixora", QString("%1 is not a Legitimate DIB File!").arg(path));
        return false;
    }
    ccd_.reset();
    from_clipboard_ = false;
    show_image(std::move(img), QFileInfo(path).fileName(), info.bit_count, info.compression);
    return true;
}

bool PixoraWindow::save_bmp(const QString& path, int bits, DibCompression compression)
{
    if (image_.isNull())
        return false;
    std::vector<PaletteEntry> palette;
    std::vector<std::uint8_t> pixels;
    QImage img;
    if (bits == 24) {
        img = image_.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < img.height(); ++y)
            pixels.insert(pixels.end(), img.constScanLine(y), img.constScanLine(y) + img.width() * 3);
    } else {
        if (bits == 8 && image_.format() == QImage::Format_Indexed8) {
            img = image_;
        } else {
            // Fewer colours: the image's own colours at even steps through its table.
            QImage full = image_.format() == QImage::Format_Indexed8 ? image_ : image_.convertToFormat(QImage::Format_Indexed8);
            auto table = full.colorTable();
            int want = 1 << bits;
            QVector<QRgb> reduced;
            for (int i = 0; i < want; ++i)
                reduced.push_back(table.isEmpty() ? qRgb(0, 0, 0) : table[int(qsizetype(i) * (table.size() - 1) / std::max(1, want - 1))]);
            img = full.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8, reduced,
                                                                             Qt::ThresholdDither);
        }
        for (QRgb c : img.colorTable())
            palette.push_back({std::uint8_t(qBlue(c)), std::uint8_t(qGreen(c)), std::uint8_t(qRed(c)), 0});
        palette.resize(std::size_t(1) << bits);
        for (int y = 0; y < img.height(); ++y)
            pixels.insert(pixels.end(), img.constScanLine(y), img.constScanLine(y) + img.width());
    }
    auto bytes = encode_dib(img.width(), img.height(), bits, palette, pixels, compression);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()) ||
        !out.flush()) {
        fail("Pixora", "Unable to save the specified file");
        return false;
    }
    return true;
}

void PixoraWindow::copy_to_clipboard()
{
    if (!image_.isNull())
        QApplication::clipboard()->setImage(image_);
}

bool PixoraWindow::paste_from_clipboard()
{
    QImage img = QApplication::clipboard()->image();
    if (img.isNull())
        return false;
    ccd_.reset();
    from_clipboard_ = true;
    show_image(img, "<Clipboard>", img.depth() > 8 ? 24 : img.depth(), DibCompression::Rgb);
    return true;
}

void PixoraWindow::exposure(ExposureCommand command)
{
    if (!ccd_)
        return;
    set_exposure(*ccd_, command);
    switch (command) {
    case ExposureCommand::Original:
        original_enabled_ = false;
        enhanced_enabled_ = true;
        break;
    case ExposureCommand::Enhanced:
        original_enabled_ = true;
        enhanced_enabled_ = false;
        break;
    case ExposureCommand::Lighten:
        original_enabled_ = enhanced_enabled_ = true;
        lighten_enabled_ = ccd_->shift < 127;
        darken_enabled_ = true;
        break;
    case ExposureCommand::Darken:
        original_enabled_ = enhanced_enabled_ = true;
        darken_enabled_ = ccd_->shift > 0;
        lighten_enabled_ = true;
        break;
    }
    show_ccd();
}

void PixoraWindow::rotate_ccd(bool clockwise)
{
    if (!ccd_)
        return;
    rotate(ccd_->bitmap, clockwise);
    show_ccd();
}

void PixoraWindow::where()
{
    if (!ccd_)
        return;
    auto text = locate_image(ccd_->name, ccd_->header_block, kep_file(), obs_file());
    if (!text) {
        fail("Pixora", QString::fromStdString(text.error().message));
        return;
    }
    if (*text)
        message("CCD Image Information", QString::fromStdString(**text));
}

void PixoraWindow::encode()
{
    if (image_.isNull())
        return;
    Bitmap bm = ccd_ ? ccd_->bitmap : to_bitmap(image_);
    if (auto s = encode_to_folder(bm, QDir::currentPath().toStdString()); !s) {
        fail("Pixora", QString::fromStdString(s.error().message));
        return;
    }
    if (ccd_) {
        ccd_->bitmap = std::move(bm);
        show_ccd();
    } else {
        show_image(to_qimage(bm), name_, 8, DibCompression::Rgb);
    }
}

void PixoraWindow::decode()
{
    if (auto s = decode_in_folder(QDir::currentPath().toStdString()); !s)
        fail("Pixora", QString::fromStdString(s.error().message));
}

void PixoraWindow::print_to(QPrinter& printer)
{
    if (image_.isNull())
        return;
    QProgressDialog box("Cancel Printing", "Cancel", 0, 1, this);
    box.setWindowTitle("Pixora");
    box.setMinimumDuration(0);
    box.setValue(0);
    QPainter painter;
    if (!painter.begin(&printer)) {
        fail("Pixora", "Could not start printing");
        return;
    }
    const double dpi_x = printer.resolution(), dpi_y = printer.resolution();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    // Half an inch from the left, an inch from the top, the page width less an inch.
    const double left = dpi_x / 2, top = dpi_y;
    const double width = std::max(1.0, double(page.width()) - dpi_x);
    const double height = width * image_.height() / std::max(1, image_.width());
    QApplication::processEvents();
    if (box.wasCanceled()) {
        printer.abort();
        painter.end();
        return;
    }
    painter.drawImage(QRectF(left, top, width, height), image_);
    painter.end();
    box.setValue(1);
}

void PixoraWindow::store_settings()
{
    auto store = platform::Store::open(store_file_, platform::Access::ReadWrite);
    if (!store || !settings::write_pixora(*store, settings_)) {
        fail("Pixora", "Could not write the settings to the store");
        return;
    }
}

void PixoraWindow::read_settings()
{
    if (auto store = platform::Store::open(store_file_, platform::Access::ReadOnly))
        settings_ = settings::read_pixora(*store);
    else
        settings_ = {};
    if (!settings_.images_directory.empty())
        QDir::setCurrent(QString::fromStdString(settings_.images_directory));
}

bool PixoraWindow::needs_settings() const { return settings_.initialised.find("Yes") == std::string::npos; }

bool PixoraWindow::edit_settings()
{
    read_settings();
    SettingsDialog dialog(settings_, defaults_folder(store_file_), this);
    dialog.message = message;
    if (dialog.first_start())
        message("Pixora", kFirstStartText);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings_ = dialog.chosen();
    store_settings();
    read_settings();
    return true;
}

} // namespace orva::ccdview
