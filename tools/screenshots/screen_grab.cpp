// screen-grab FILE.png: saves the X display's screen as a picture, cut to what differs from the
// empty background (the colour of the bottom-right corner), for screenshots of a program running
// in another process under Xvfb.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: screen-grab FILE.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "screen-grab: no screen\n");
        return 1;
    }
    QImage shot = screen->grabWindow(0).toImage();
    if (shot.isNull()) {
        std::fprintf(stderr, "screen-grab: nothing grabbed\n");
        return 1;
    }
    const QRgb background = shot.pixel(shot.width() - 1, shot.height() - 1);
    int left = shot.width(), top = shot.height(), right = -1, bottom = -1;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right >= left)
        shot = shot.copy(left, top, right - left + 1, bottom - top + 1);
    if (!shot.save(argv[1])) {
        std::fprintf(stderr, "screen-grab: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
