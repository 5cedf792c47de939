// pixora-screenshot --out FILE: Pixora showing a made-up Kitsat image with its information box,
// drawn into one picture. Run under Xvfb (testbed/screenshots/pixora.sh).
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <fstream>

#include "ccdview/app/pixora_window.h"
#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "common/settings/suite_settings.h"
#include "platform/store/store.h"

namespace {

void write(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Cloud bands over a darker sea, in the camera's two interlaced fields with the gap block.
std::vector<std::uint8_t> scene(std::uint32_t when)
{
    const int W = 611, H = 576, gap = 355;
    std::vector<std::uint8_t> b(256 + std::size_t(W) * (H - 1) + gap + 256, 0);
    b.resize(352192, 0);
    for (int i = 0; i < 4; ++i)
        b[std::size_t(4 + i)] = std::uint8_t(when >> (8 * i));
    auto level = [](int x, int y) {
        double v = 70 + 25 * std::sin(x * 0.021 + y * 0.013) + 20 * std::sin(x * 0.005 - y * 0.017);
        double cloud = std::sin(x * 0.012 + std::sin(y * 0.02) * 2.5) * std::cos(y * 0.009 - x * 0.004);
        if (cloud > 0.35)
            v += 120 * (cloud - 0.35);
        double coast = 300 + 60 * std::sin(y * 0.015) + 25 * std::sin(y * 0.05);
        if (x > coast)
            v += 35 + 10 * std::sin(x * 0.1) * std::cos(y * 0.08);
        return std::uint8_t(std::clamp(v, 0.0, 255.0));
    };
    // Picture row p (from the top) is an even line p = 2k from file row H/2-1-k ... as the decoder reads them.
    for (int y = 0; y < H; ++y) {
        std::size_t start;
        int picture_row;
        if (y < H / 2) {
            start = std::size_t(y) * W;
            picture_row = H - 1 - 2 * (H - 1 - y - H / 2);
        } else if (y > H / 2) {
            start = std::size_t(y - 1) * W + gap;
            picture_row = H - 1 - (2 * (H - 1 - y) + 1);
        } else {
            continue;
        }
        for (int x = 0; x < W; ++x)
            b[256 + start + std::size_t(x)] = level(x + 30, picture_row);
    }
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString out = "pixora.png";
    for (int i = 1; i + 1 < argc; ++i)
        if (QString(argv[i]) == "--out")
            out = argv[i + 1];
    out = QFileInfo(out).absoluteFilePath(); // the window enters the images folder

    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    std::filesystem::create_directories(dir + "/Images");
    orva::elements::KepRecord k;
    k.name = "KO-23";
    k.epoch_year = 24;
    k.epoch_day = 99.5;
    k.inclination = 66.08;
    k.raan = 212.4;
    k.eccentricity = 0.0012;
    k.arg_perigee = 241.6;
    k.mean_anomaly = 118.2;
    k.mean_motion = 12.8632;
    auto kb = orva::elements::encode_kep_record(k);
    write(dir + "/Orva.Kep", {kb.begin(), kb.end()});
    std::vector<std::uint8_t> places;
    for (const orva::elements::ObserverRecord& r :
         {orva::elements::ObserverRecord{"Taejon", 36.35, 127.38, 60}, {"Guildford", 51.24, -0.57, 40},
          {"Perth", -31.95, 115.86, 20}, {"Honolulu", 21.31, -157.86, 10}, {"Tokyo", 35.68, 139.69, 40}, {"Tristan da Cunha", -37.07, -12.31, 30}}) {
        auto b = orva::elements::encode_observer_record(r);
        places.insert(places.end(), b.begin(), b.end());
    }
    write(dir + "/Orva.Obs", places);
    {
        auto store = orva::platform::Store::open(dir + "/store.db", orva::platform::Access::ReadWrite);
        if (!store || !orva::settings::write_pixora(*store, {dir, dir, dir + "/Images", "Yes"}))
            return 1;
    }
    write(dir + "/Images/KA240409.CCD", scene(1712664000 - 40000));

    orva::ccdview::PixoraWindow window(dir + "/store.db");
    QString info;
    window.message = [&info](const QString&, const QString& text) { info = text; };
    window.resize(660, 560);
    window.move(10, 10);
    window.show();
    window.open_ccd(QString::fromStdString(dir + "/Images/KA240409.CCD"));
    window.where();

    QMessageBox box(QMessageBox::Information, "CCD Image Information", info, QMessageBox::Ok);
    box.setFont(QFont("DejaVu Sans Mono", 9));
    box.move(690, 160);
    box.show();

    // Xvfb has no window manager, so the title bars are drawn here with the windows' own titles.
    QTimer::singleShot(800, [&] {
        QPixmap main_shot = window.grab(), box_shot = box.grab();
        const int bar = 24, margin = 12;
        QPixmap canvas(margin * 3 + main_shot.width() + box_shot.width(), margin * 2 + bar + main_shot.height());
        canvas.fill(QColor(0x3a, 0x4a, 0x5a));
        QPainter p(&canvas);
        auto frame = [&](const QPixmap& shot, int x, int y, const QString& title) {
            p.fillRect(x, y, shot.width(), bar, QColor(0x20, 0x40, 0x80));
            p.setPen(Qt::white);
            p.setFont(QFont("DejaVu Sans", 10, QFont::Bold));
            p.drawText(QRect(x + 8, y, shot.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft, title);
            p.drawPixmap(x, y + bar, shot);
        };
        frame(main_shot, margin, margin, window.windowTitle());
        frame(box_shot, margin * 2 + main_shot.width(), margin + 150, box.windowTitle());
        p.end();
        bool ok = canvas.save(out);
        QApplication::exit(ok ? 0 : 1);
    });
    return QApplication::exec();
}
