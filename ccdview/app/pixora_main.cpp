// pixora [FILE]: shows a CCD image (or a bitmap) with its ground position.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "ccdview/app/pixora_window.h"
#include "platform/store/store.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pixora");
    orva::ccdview::PixoraWindow window(orva::platform::Store::default_path());
    window.show();
    QStringList args = QApplication::arguments();
    if (window.needs_settings())
        QTimer::singleShot(0, &window, [&window] { window.edit_settings(); });
    if (args.size() > 1) {
        QString file = args.at(1);
        QString upper = QFileInfo(file).fileName().toUpper();
        if (upper.endsWith(".BMP") || upper.endsWith(".DIB") || upper.endsWith(".RLE"))
            window.open_bmp(file);
        else
            window.open_ccd(file);
    }
    return QApplication::exec();
}
