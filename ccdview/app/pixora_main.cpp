// pixora [FILE]: shows a CCD image (or a bitmap) with its ground position.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <string>

#include "ccdview/app/pixora_window.h"
#include "platform/options/program_options.h"
#include "platform/store/store.h"

int main(int argc, char** argv)
{
    std::string file_arg;
    orva::platform::ProgramOptions cli("pixora", "Shows a satellite CCD image (or a bitmap) with its ground position.");
    cli.positional("FILE", file_arg, "A CCD image file, or a .BMP, .DIB or .RLE bitmap", false);
    if (auto code = cli.parse(argc, argv))
        return *code;

    QApplication app(argc, argv);
    QApplication::setApplicationName("Pixora");
    orva::ccdview::PixoraWindow window(orva::platform::Store::default_path());
    window.show();
    if (window.needs_settings())
        QTimer::singleShot(0, &window, [&window] { window.edit_settings(); });
    if (!file_arg.empty()) {
        QString file = QString::fromLocal8Bit(file_arg.c_str());
        QString upper = QFileInfo(file).fileName().toUpper();
        if (upper.endsWith(".BMP") || upper.endsWith(".DIB") || upper.endsWith(".RLE"))
            window.open_bmp(file);
        else
            window.open_ccd(file);
    }
    return QApplication::exec();
}
