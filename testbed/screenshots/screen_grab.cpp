// screen-grab FILE.png [TITLE]: saves the X display's screen as a picture, cut to what differs
// from the empty background (the colour of the bottom-right corner), for screenshots of a program
// running in another process under Xvfb. With TITLE, only the top-level window of that title is
// taken: it is raised first, since without a window manager later windows open over it.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

struct Rect {
    int x, y, width, height;
};

// The window's place on the screen after raising it; none when no top-level window has that title.
std::optional<Rect> raise_window(const std::string& title)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return std::nullopt;
    }
    std::optional<Rect> found;
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
    if (tree) {
        xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int n = xcb_query_tree_children_length(tree.get());
        for (int i = n - 1; i >= 0 && !found; --i) { // topmost first
            std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> name(
                xcb_get_property_reply(c, xcb_get_property(c, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                       nullptr),
                &std::free);
            if (!name)
                continue;
            std::string text(static_cast<const char*>(xcb_get_property_value(name.get())),
                             std::size_t(xcb_get_property_value_length(name.get())));
            if (text != title)
                continue;
            std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attrs(
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr), &std::free);
            if (!attrs || attrs->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> g(
                xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr), &std::free);
            if (!g)
                continue;
            const std::uint32_t above[] = {XCB_STACK_MODE_ABOVE};
            xcb_configure_window(c, children[i], XCB_CONFIG_WINDOW_STACK_MODE, above);
            xcb_flush(c);
            found = Rect{g->x, g->y, g->width, g->height};
        }
    }
    xcb_disconnect(c);
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: screen-grab FILE.png [TITLE]\n");
        return 2;
    }
    std::optional<Rect> window;
    if (argc == 3) {
        window = raise_window(argv[2]);
        if (!window) {
            std::fprintf(stderr, "screen-grab: no window titled \"%s\" is shown\n", argv[2]);
            return 1;
        }
        QThread::msleep(1500); // the program repaints what was under the other windows
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "screen-grab: no screen\n");
        return 1;
    }
    QImage shot = window ? screen->grabWindow(0, window->x, window->y, window->width, window->height).toImage()
                         : screen->grabWindow(0).toImage();
    if (shot.isNull()) {
        std::fprintf(stderr, "screen-grab: nothing grabbed\n");
        return 1;
    }
    if (!window) {
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
    }
    if (!shot.save(argv[1])) {
        std::fprintf(stderr, "screen-grab: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
