// Pixora's window on Qt's offscreen platform, over files and a store the tests make.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "ccdview/app/pixora_window.h"
#include "ccdview/app/settings_dialog.h"
#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "common/settings/suite_settings.h"
#include "platform/store/store.h"

namespace fs = std::filesystem;
using namespace orva::ccdview;

namespace {

struct Message {
    QString caption, text;
};

class PixoraWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "pixora_window_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pixora-" + std::to_string(::getpid()) + "-" +
                                           std::to_string(std::random_device{}()));
        fs::create_directories(dir / "orva" / "Images");
        store = dir / "store.db";
        saved_cwd = QDir::currentPath();
    }
    void TearDown() override
    {
        QDir::setCurrent(saved_cwd);
        fs::remove_all(dir);
    }

    std::unique_ptr<PixoraWindow> window()
    {
        auto w = std::make_unique<PixoraWindow>(store);
        w->message = [this](const QString& c, const QString& t) { messages.push_back({c, t}); };
        return w;
    }

    void write(const fs::path& p, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<std::uint8_t> read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    void initialise_settings()
    {
        auto s = orva::platform::Store::open(store, orva::platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        orva::settings::PixoraSettings p{(dir / "orva").string(), (dir / "orva").string(),
                                         (dir / "orva" / "Images").string(), "Yes"};
        ASSERT_TRUE(orva::settings::write_pixora(*s, p).ok());
    }

    fs::path dir, store;
    QString saved_cwd;
    std::vector<Message> messages;
};

std::vector<std::uint8_t> ccd_bytes(std::uint8_t level, std::uint32_t when = 0)
{
    std::vector<std::uint8_t> b(orva::ccdview::kNarrowFileSize, level);
    std::fill_n(b.begin(), 256, 0);
    for (int i = 0; i < 4; ++i)
        b[std::size_t(4 + i)] = std::uint8_t(when >> (8 * i));
    return b;
}

} // namespace

TEST_F(PixoraWindowTest, FirstStartOffersTheSuiteFolderAndChecksTheFiles)
{
    // The suite's folder from the store stands in for "c:\Orva".
    {
        auto s = orva::platform::Store::open(store, orva::platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        orva::settings::GeneralSettings g;
        g.orva_directory = (dir / "orva").string();
        ASSERT_TRUE(orva::settings::write_general(*s, g).ok());
    }
    auto w = window();
    EXPECT_TRUE(w->needs_settings());
    SettingsDialog dialog(w->settings(), PixoraWindow::defaults_folder(store));
    dialog.message = w->message;
    EXPECT_TRUE(dialog.first_start());
    EXPECT_EQ(dialog.kep_field()->text().toStdString(), (dir / "orva").string());
    EXPECT_EQ(dialog.obs_field()->text().toStdString(), (dir / "orva").string());
    EXPECT_EQ(dialog.images_field()->text().toStdString(), (dir / "orva" / "Images").string());

    // No element file: refused with its path, nothing stored.
    EXPECT_FALSE(dialog.try_accept());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text.toStdString(), "Cannot locate and open file\n" + (dir / "orva" / "Orva.Kep").string());
    // Element file but no places file.
    write(dir / "orva" / "ORVA.KEP", {});
    EXPECT_FALSE(dialog.try_accept());
    EXPECT_EQ(messages.back().text.toStdString(), "Cannot locate and open file\n" + (dir / "orva" / "Orva.Obs").string());
    write(dir / "orva" / "Orva.Obs", {});
    dialog.images_field()->setText(QString::fromStdString((dir / "none").string()));
    EXPECT_FALSE(dialog.try_accept());
    EXPECT_EQ(messages.back().text.toStdString(), "Could not set Directory to\n" + (dir / "none").string());
    dialog.images_field()->setText(QString::fromStdString((dir / "orva" / "Images").string()));
    EXPECT_TRUE(dialog.try_accept());
    EXPECT_EQ(fs::path(QDir::currentPath().toStdString()), dir / "orva" / "Images");

    auto chosen = dialog.chosen();
    EXPECT_EQ(chosen.initialised, "Yes");
    EXPECT_EQ(chosen.kep_directory, (dir / "orva").string());
    auto s = orva::platform::Store::open(store, orva::platform::Access::ReadWrite);
    ASSERT_TRUE(orva::settings::write_pixora(*s, chosen).ok());
    // Read: back from the store, and the element file is found whatever its case.
    w->read_settings();
    EXPECT_FALSE(w->needs_settings());
    EXPECT_EQ(w->kep_file(), dir / "orva" / "ORVA.KEP");
    EXPECT_EQ(s->read_string("SOFTWARE\\Pixora", "Images Directory", 256).value(), (dir / "orva" / "Images").string());
    // Test: the settings in use go back to the store.
    ASSERT_TRUE(s->delete_key("SOFTWARE\\Pixora").ok());
    w->store_settings();
    EXPECT_EQ(s->read_string("SOFTWARE\\Pixora", "Initialised", 256).value(), "Yes");
    EXPECT_EQ(s->read_string("SOFTWARE\\Pixora", "Orva.Obs Directory", 256).value(), (dir / "orva").string());
}

TEST_F(PixoraWindowTest, OpenCcdShowsTitleAndRefusalsKeepThePreviousImage)
{
    initialise_settings();
    auto w = window();
    write(dir / "KA000001.CCD", ccd_bytes(140));
    ASSERT_TRUE(w->open_ccd(QString::fromStdString((dir / "KA000001.CCD").string())));
    EXPECT_EQ(w->windowTitle(), "Pixora (KA000001.CCD 612x576x8 RGB)");
    EXPECT_EQ(w->image().width(), 612);

    write(dir / "KA000002.CCD", std::vector<std::uint8_t>(100, 0));
    EXPECT_FALSE(w->open_ccd(QString::fromStdString((dir / "KA000002.CCD").string())));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Filesize Error");
    EXPECT_EQ(messages[0].text, "This file is corrupted. Load aborted");
    EXPECT_EQ(w->windowTitle(), "Pixora (KA000001.CCD 612x576x8 RGB)");
    EXPECT_FALSE(w->open_ccd(QString::fromStdString((dir / "picture.bmp").string())));
    EXPECT_EQ(messages.back().caption, "File Error");
    EXPECT_EQ(messages.back().text, "This is a BMP file, Use Open Bmp");

    // Menu states: Original after a normalising load; Lighten until 127.
    w->update_commands();
    EXPECT_TRUE(w->action("Original")->isEnabled());
    EXPECT_FALSE(w->action("Enhanced")->isEnabled());
    EXPECT_TRUE(w->action("Clockwise")->isEnabled());
    w->exposure(ExposureCommand::Original);
    w->update_commands();
    EXPECT_FALSE(w->action("Original")->isEnabled());
    EXPECT_TRUE(w->action("Enhanced")->isEnabled());
    for (int i = 0; i < 16; ++i)
        w->exposure(ExposureCommand::Lighten);
    w->update_commands();
    EXPECT_FALSE(w->action("Lighten")->isEnabled());
    EXPECT_TRUE(w->action("Darken")->isEnabled());
    EXPECT_EQ(w->image().color(0), qRgb(127, 127, 127));

    w->rotate_ccd(true);
    EXPECT_EQ(w->windowTitle(), "Pixora (KA000001.CCD 576x612x8 RGB)");
    w->rotate_ccd(false);
    EXPECT_EQ(w->image().width(), 612);
}

TEST_F(PixoraWindowTest, CoreHeaderBitmapOpensAndSavesWithAFortyByteHeader)
{
    initialise_settings();
    // 4 x 2, 8 bits, core header, 3-byte palette.
    std::vector<std::uint8_t> b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0, 4, 0, 2, 0, 1, 0, 8, 0};
    for (int i = 0; i < 256; ++i) {
        b.push_back(std::uint8_t(i));
        b.push_back(std::uint8_t(i));
        b.push_back(std::uint8_t(255 - i));
    }
    std::uint32_t offset = std::uint32_t(b.size());
    for (int i = 0; i < 4; ++i)
        b[std::size_t(10 + i)] = std::uint8_t(offset >> (8 * i));
    for (std::uint8_t v : {10, 20, 30, 40, 50, 60, 70, 80})
        b.push_back(v);
    write(dir / "old.bmp", b);

    auto w = window();
    ASSERT_TRUE(w->open_bmp(QString::fromStdString((dir / "old.bmp").string())));
    EXPECT_EQ(w->windowTitle(), "Pixora (old.bmp 4x2x8 RGB)");
    // Top row is the file's second row.
    EXPECT_EQ(w->image().pixel(0, 0), qRgb(255 - 50, 50, 50));
    EXPECT_EQ(w->image().pixel(3, 1), qRgb(255 - 40, 40, 40));

    ASSERT_TRUE(w->save_bmp(QString::fromStdString((dir / "new.bmp").string()), 8, DibCompression::Rgb));
    auto saved = read(dir / "new.bmp");
    ASSERT_GE(saved.size(), 14u + 40 + 1024 + 8);
    EXPECT_EQ(saved[14], 40);
    EXPECT_EQ(saved[28], 8);
    EXPECT_EQ(std::vector<std::uint8_t>(saved.end() - 8, saved.end()),
              (std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60, 70, 80}));

    // Run-length coded copies read back the same through Qt's own reader.
    ASSERT_TRUE(w->save_bmp(QString::fromStdString((dir / "rle8.bmp").string()), 8, DibCompression::Rle8));
    ASSERT_TRUE(w->save_bmp(QString::fromStdString((dir / "rle4.bmp").string()), 4, DibCompression::Rle4));
    auto first = w->image().convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(w->open_bmp(QString::fromStdString((dir / "rle8.bmp").string())));
    EXPECT_EQ(w->windowTitle(), "Pixora (rle8.bmp 4x2x8 RLE8)");
    EXPECT_EQ(w->image().convertToFormat(QImage::Format_RGB32), first);
    ASSERT_TRUE(w->open_bmp(QString::fromStdString((dir / "rle4.bmp").string())));
    EXPECT_EQ(w->windowTitle(), "Pixora (rle4.bmp 4x2x4 RLE4)");
    ASSERT_TRUE(w->save_bmp(QString::fromStdString((dir / "deep.bmp").string()), 24, DibCompression::Rgb));
    ASSERT_TRUE(w->open_bmp(QString::fromStdString((dir / "deep.bmp").string())));
    EXPECT_EQ(w->windowTitle(), "Pixora (deep.bmp 4x2x24 RGB)");

    // Not a bitmap: refused, the image stays.
    write(dir / "junk.bmp", {1, 2, 3, 4, 5});
    EXPECT_FALSE(w->open_bmp(QString::fromStdString((dir / "junk.bmp").string())));
    EXPECT_EQ(messages.back().text.toStdString(), (dir / "junk.bmp").string() + " is not a Legitimate DIB File!");
    EXPECT_EQ(w->windowTitle(), "Pixora (deep.bmp 4x2x24 RGB)");
    EXPECT_FALSE(w->open_bmp(QString::fromStdString((dir / "missing.bmp").string())));
    EXPECT_EQ(messages.back().text.toStdString(), "Can't open file '" + (dir / "missing.bmp").string() + "'");
    EXPECT_FALSE(w->save_bmp(QString::fromStdString((dir / "no" / "x.bmp").string()), 8, DibCompression::Rgb));
    EXPECT_EQ(messages.back().text, "Unable to save the specified file");
}

TEST_F(PixoraWindowTest, PastedImageShowsClipboardInTheTitle)
{
    initialise_settings();
    auto w = window();
    QImage img(8, 4, QImage::Format_RGB32);
    img.fill(qRgb(10, 200, 30));
    QApplication::clipboard()->setImage(img);
    w->update_commands();
    EXPECT_TRUE(w->action("&Paste DIB")->isEnabled());
    ASSERT_TRUE(w->paste_from_clipboard());
    EXPECT_EQ(w->windowTitle(), "Pixora (<Clipboard> 8x4x24 RGB)");
    EXPECT_EQ(w->image().pixel(2, 2), qRgb(10, 200, 30));

    // Copy offers the CCD image on show.
    write(dir / "U5000001.CCD", ccd_bytes(90));
    ASSERT_TRUE(w->open_ccd(QString::fromStdString((dir / "U5000001.CCD").string())));
    w->copy_to_clipboard();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(612, 576));
}

TEST_F(PixoraWindowTest, WhereEncodeDecodeAndPrint)
{
    initialise_settings();
    orva::elements::KepRecord k;
    k.name = "KO-23";
    k.epoch_year = 24;
    k.epoch_day = 100.5;
    k.inclination = 66;
    k.mean_motion = 12.86;
    k.eccentricity = 0.001;
    auto kb = orva::elements::encode_kep_record(k);
    write(dir / "orva" / "Orva.Kep", std::vector<std::uint8_t>(kb.begin(), kb.end()));
    auto ob = orva::elements::encode_observer_record({"Taejon", 36.35, 127.38, 60});
    write(dir / "orva" / "Orva.Obs", std::vector<std::uint8_t>(ob.begin(), ob.end()));

    auto w = window();
    write(dir / "KA000007.CCD", ccd_bytes(120, 1712664000)); // 2024-04-09 12:00 UTC
    ASSERT_TRUE(w->open_ccd(QString::fromStdString((dir / "KA000007.CCD").string())));
    w->where();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "CCD Image Information");
    EXPECT_TRUE(messages[0].text.startsWith("                       KO-23 Image\nRecorded on Tue Apr  9 12:00:00 2024\n"))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.endsWith("        from Taejon"));

    // Encode writes the pair in the images folder and shows the thumbnail; Decode writes Drume.Ccd.
    w->encode();
    EXPECT_TRUE(fs::exists(dir / "orva" / "Images" / "Thumb.Ccd"));
    EXPECT_EQ(w->image().width(), 608 / 4);
    w->decode();
    EXPECT_EQ(fs::file_size(dir / "orva" / "Images" / "Drume.Ccd"), fs::file_size(dir / "orva" / "Images" / "Thumb.Ccd") * 16);
    EXPECT_EQ(messages.size(), 1u);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((dir / "page.pdf").string()));
    w->print_to(printer);
    auto pdf = read(dir / "page.pdf");
    ASSERT_GT(pdf.size(), 500u);
    EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 5), "%PDF-");
}
