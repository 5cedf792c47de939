#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QVariantMap>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/dbus/bus_names.h"
#include "platform/dbus/qt_bus.h"
#include "platform/dbus/session_bus.h"

namespace orva::platform::dbus {

Result<QDBusConnection> open_private_connection(const char* purpose)
{
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("orva-%1-%2").arg(QString::fromLatin1(purpose)).arg(++counter);
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!connection.isConnected()) {
        std::string why = ss(connection.lastError().message());
        QDBusConnection::disconnectFromBus(name);
        return make_error("cannot reach the session bus: " + (why.empty() ? std::string("no D-Bus session") : why));
    }
    return connection;
}

void close_private_connection(const QDBusConnection& connection)
{
    QDBusConnection::disconnectFromBus(connection.name());
}

namespace {

class BusWindow;

constexpr qsizetype kMaxTexts = 32;
constexpr qsizetype kMaxTextLength = 1024;

// Windows of this process by bus name, so that a send to one of our own windows on the same
// thread calls it directly (through the bus it would wait for itself).
std::mutex local_mutex;
std::map<std::string, BusWindow*> local_windows;

const char* window_introspection =
    "<interface name=\"org.orva.Window\">"
    "<method name=\"Post\"><arg type=\"u\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/>"
    "<arg type=\"i\" direction=\"in\"/><annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/></method>"
    "<method name=\"Send\"><arg type=\"u\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/>"
    "<arg type=\"i\" direction=\"in\"/><arg type=\"i\" direction=\"out\"/></method>"
    "<method name=\"PostTexts\"><arg type=\"u\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/>"
    "<arg type=\"i\" direction=\"in\"/><arg type=\"as\" direction=\"in\"/>"
    "<annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/></method>"
    "<method name=\"Raise\"/>"
    "<property name=\"Title\" type=\"s\" access=\"read\"/>"
    "</interface>";

class BusWindow final : public QDBusVirtualObject, public MessageWindow {
public:
    BusWindow(std::string window_class, std::string title, WindowHandlers handlers, bool single_instance)
        : class_(std::move(window_class)), title_(std::move(title)), handlers_(std::move(handlers)),
          single_instance_(single_instance)
    {
    }

    Status open()
    {
        auto connection = open_private_connection("window");
        if (!connection)
            return connection.error();
        connection_ = *connection;
        opened_ = true;
        if (single_instance_ && !connection_.registerService(qs(program_bus_name(class_))))
            return make_error("a " + class_ + " window is already running", already_running);
        if (!connection_.registerVirtualObject(qs(window_path), this))
            return make_error("cannot export the window object: " + ss(connection_.lastError().message()));
        name_ = window_bus_name(class_, title_);
        if (!connection_.registerService(qs(name_)))
            return make_error("a window of class " + class_ + " titled \"" + title_ + "\" already exists",
                              single_instance_ ? already_running : 0);
        std::lock_guard lock(local_mutex);
        local_windows[name_] = this;
        return {};
    }

    ~BusWindow() override
    {
        {
            std::lock_guard lock(local_mutex);
            if (auto it = local_windows.find(name_); it != local_windows.end() && it->second == this)
                local_windows.erase(it);
        }
        if (opened_) {
            connection_.unregisterObject(qs(window_path));
            close_private_connection(connection_);
        }
    }

    const std::string& window_class() const override { return class_; }
    const std::string& title() const override { return title_; }

    Status set_title(const std::string& title) override
    {
        if (title == title_)
            return {};
        std::string name = window_bus_name(class_, title);
        if (!connection_.registerService(qs(name)))
            return make_error("a window of class " + class_ + " titled \"" + title + "\" already exists");
        connection_.unregisterService(qs(name_));
        std::lock_guard lock(local_mutex);
        local_windows.erase(name_);
        local_windows[name] = this;
        name_ = name;
        title_ = title;
        return {};
    }

    std::int32_t deliver(const WindowMessage& message) { return handlers_.on_message ? handlers_.on_message(message) : 0; }
    void deliver_texts(const WindowMessage& message, const std::vector<std::string>& texts)
    {
        if (handlers_.on_texts)
            handlers_.on_texts(message, texts);
    }
    void raise_window()
    {
        if (handlers_.on_raise)
            handlers_.on_raise();
    }

    QString introspect(const QString&) const override { return QString::fromLatin1(window_introspection); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        // Handlers belong to the window's thread, whichever thread the bus delivered on.
        QMetaObject::invokeMethod(this, [this, message, connection] { answer(message, connection); }, Qt::AutoConnection);
        return true;
    }

private:
    void answer(const QDBusMessage& message, QDBusConnection connection)
    {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            if (member == QLatin1String("Get") && args.size() == 2 && args[1].toString() == QLatin1String("Title"))
                connection.send(message.createReply(QVariant::fromValue(QDBusVariant(qs(title_)))));
            else if (member == QLatin1String("GetAll"))
                connection.send(message.createReply(QVariantMap{{QStringLiteral("Title"), qs(title_)}}));
            else
                connection.send(message.createErrorReply(QDBusError::UnknownProperty, QStringLiteral("no such property")));
            return;
        }
        if ((member == QLatin1String("Post") || member == QLatin1String("Send")) && args.size() == 3) {
            WindowMessage m{args[0].toUInt(), args[1].toUInt(), args[2].toInt()};
            std::int32_t result = deliver(m);
            if (member == QLatin1String("Send"))
                connection.send(message.createReply(QVariant::fromValue(result)));
            return;
        }
        if (member == QLatin1String("PostTexts") && args.size() == 4) {
            WindowMessage m{args[0].toUInt(), args[1].toUInt(), args[2].toInt()};
            std::vector<std::string> texts;
            // Another program's texts: bounded, so a hostile sender cannot make us hold much.
            const QStringList list = args[3].toStringList();
            for (qsizetype i = 0; i < list.size() && i < kMaxTexts; ++i)
                texts.push_back(ss(list[i].left(kMaxTextLength)));
            deliver_texts(m, texts);
            return;
        }
        if (member == QLatin1String("Raise")) {
            raise_window();
            connection.send(message.createReply());
            return;
        }
        if (!message.isReplyRequired())
            return;
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("no such method: ") + member));
    }

    std::string class_, title_, name_;
    WindowHandlers handlers_;
    bool single_instance_;
    bool opened_ = false;
    QDBusConnection connection_{QString()};
};

class SessionMessenger final : public Messenger {
public:
    SessionMessenger() : connection_(QDBusConnection::sessionBus()) {}

    bool exists(const WindowAddress& to) override { return resolve(to).has_value(); }

    Status post(const WindowAddress& to, const WindowMessage& message) override
    {
        auto name = resolve(to);
        if (!name)
            return missing(to);
        if (BusWindow* local = local_on_this_thread(*name)) {
            QPointer<BusWindow> window(local);
            QMetaObject::invokeMethod(local, [window, message] {
                if (window)
                    window->deliver(message);
            }, Qt::QueuedConnection);
            return {};
        }
        QDBusMessage call = QDBusMessage::createMethodCall(qs(*name), qs(window_path), qs(window_interface), QStringLiteral("Post"));
        call << message.number << message.word << message.long_param;
        if (!connection_.send(call))
            return make_error("cannot post message " + std::to_string(message.number) + ": " +
                              ss(connection_.lastError().message()));
        return flushed(message);
    }

    Result<std::int32_t> send(const WindowAddress& to, const WindowMessage& message,
                              std::chrono::milliseconds timeout) override
    {
        auto name = resolve(to);
        if (!name)
            return missing(to);
        if (BusWindow* local = local_on_this_thread(*name))
            return local->deliver(message);
        QDBusMessage call = QDBusMessage::createMethodCall(qs(*name), qs(window_path), qs(window_interface), QStringLiteral("Send"));
        call << message.number << message.word << message.long_param;
        QDBusMessage reply = connection_.call(call, QDBus::Block, static_cast<int>(timeout.count()));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
            return make_error("message " + std::to_string(message.number) + " to " + describe(to) +
                              " got no answer: " + ss(reply.errorMessage()));
        return reply.arguments().front().toInt();
    }

    Status post_texts(const WindowAddress& to, const WindowMessage& message, const std::vector<std::string>& texts) override
    {
        auto name = resolve(to);
        if (!name)
            return missing(to);
        if (BusWindow* local = local_on_this_thread(*name)) {
            QPointer<BusWindow> window(local);
            QMetaObject::invokeMethod(local, [window, message, texts] {
                if (window)
                    window->deliver_texts(message, texts);
            }, Qt::QueuedConnection);
            return {};
        }
        QStringList list;
        for (const auto& t : texts)
            list << qs(t);
        QDBusMessage call = QDBusMessage::createMethodCall(qs(*name), qs(window_path), qs(window_interface), QStringLiteral("PostTexts"));
        call << message.number << message.word << message.long_param << list;
        if (!connection_.send(call))
            return make_error("cannot post message " + std::to_string(message.number) + ": " +
                              ss(connection_.lastError().message()));
        return flushed(message);
    }

    Status raise(const WindowAddress& to) override
    {
        auto name = resolve(to);
        if (!name)
            return missing(to);
        if (BusWindow* local = local_on_this_thread(*name)) {
            local->raise_window();
            return {};
        }
        QDBusMessage call = QDBusMessage::createMethodCall(qs(*name), qs(window_path), qs(window_interface), QStringLiteral("Raise"));
        QDBusMessage reply = connection_.call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return make_error("cannot bring " + describe(to) + " forward: " + ss(reply.errorMessage()));
        return {};
    }

    Result<std::unique_ptr<MessageWindow>> create_window(const std::string& window_class, const std::string& title,
                                                         WindowHandlers handlers, bool single_instance) override
    {
        if (window_class.empty())
            return make_error("a window needs a class");
        auto window = std::make_unique<BusWindow>(window_class, title, std::move(handlers), single_instance);
        if (auto opened = window->open(); !opened)
            return opened.error();
        return std::unique_ptr<MessageWindow>(std::move(window));
    }

private:
    static std::string describe(const WindowAddress& to)
    {
        return to.title.empty() ? "the " + to.window_class + " window" : "\"" + to.title + "\" (" + to.window_class + ")";
    }
    static orva::Error missing(const WindowAddress& to) { return make_error("there is no window " + describe(to), ENOENT); }

    // send() only queues the message for Qt's bus thread: a short-lived sender (elemix, `orva sat`)
    // that exits at once would lose it. A round trip to the bus daemon on the same connection comes
    // back only after the daemon has taken everything queued before it, so the post is on its way.
    Status flushed(const WindowMessage& message)
    {
        QDBusMessage ping = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                           QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        QDBusMessage reply = connection_.call(ping, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return make_error("message " + std::to_string(message.number) + " may not have left: " + ss(reply.errorMessage()));
        return {};
    }

    static BusWindow* local_on_this_thread(const std::string& name)
    {
        std::lock_guard lock(local_mutex);
        auto it = local_windows.find(name);
        if (it == local_windows.end() || it->second->thread() != QThread::currentThread())
            return nullptr;
        return it->second;
    }

    std::optional<std::string> resolve(const WindowAddress& to)
    {
        QDBusConnectionInterface* bus = connection_.interface();
        if (bus == nullptr || to.window_class.empty())
            return std::nullopt;
        const QString prefix = qs(window_bus_prefix(to.window_class));
        if (!to.title.empty()) {
            std::string name = window_bus_name(to.window_class, to.title);
            if (bus->isServiceRegistered(qs(name)).value())
                return name;
            // Titles match without regard to case, as the desktop's window search does: the
            // encoded letters stand for themselves, so the encoded names compare case-blind.
            QStringList names = bus->registeredServiceNames().value().filter(prefix);
            names.sort();
            const QString wanted = qs(name);
            for (const QString& n : names)
                if (n.compare(wanted, Qt::CaseInsensitive) == 0)
                    return ss(n);
            return std::nullopt;
        }
        QStringList names = bus->registeredServiceNames().value().filter(prefix);
        names.sort();
        for (const QString& name : names)
            if (name.startsWith(prefix))
                return ss(name);
        return std::nullopt;
    }

    QDBusConnection connection_;
};

} // namespace

std::unique_ptr<Messenger> session_messenger()
{
    return std::make_unique<SessionMessenger>();
}

} // namespace orva::platform::dbus
