#include <QByteArray>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QMetaObject>
#include <QObject>

#include <map>
#include <set>

#include "platform/dbus/bus_names.h"
#include "platform/dbus/qt_bus.h"
#include "platform/dbus/session_bus.h"

namespace orva::platform::dbus {

namespace {

QByteArray to_qbytes(std::span<const std::uint8_t> data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

Bytes from_qbytes(const QByteArray& data)
{
    return Bytes(reinterpret_cast<const std::uint8_t*>(data.constData()),
                 reinterpret_cast<const std::uint8_t*>(data.constData()) + data.size());
}

const char* data_introspection =
    "<interface name=\"org.orva.DataServer\">"
    "<method name=\"Connect\"><arg type=\"s\" direction=\"in\"/><arg type=\"u\" direction=\"out\"/></method>"
    "<method name=\"Disconnect\"><arg type=\"u\" direction=\"in\"/></method>"
    "<method name=\"Request\"><arg type=\"u\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
    "<arg type=\"s\" direction=\"in\"/><arg type=\"ay\" direction=\"out\"/></method>"
    "<method name=\"Poke\"><arg type=\"u\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
    "<arg type=\"s\" direction=\"in\"/><arg type=\"ay\" direction=\"in\"/><arg type=\"b\" direction=\"out\"/></method>"
    "<method name=\"StartAdvise\"><arg type=\"u\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
    "<arg type=\"s\" direction=\"in\"/><arg type=\"b\" direction=\"out\"/></method>"
    "<method name=\"StopAdvise\"><arg type=\"u\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
    "<arg type=\"s\" direction=\"in\"/></method>"
    "<signal name=\"Changed\"><arg type=\"u\"/><arg type=\"s\"/><arg type=\"s\"/><arg type=\"ay\"/></signal>"
    "<signal name=\"Closed\"><arg type=\"u\"/></signal>"
    "</interface>";

class BusDataServer final : public QDBusVirtualObject, public DataServer {
public:
    BusDataServer(std::string service, DataServerHandlers handlers)
        : service_(std::move(service)), handlers_(std::move(handlers))
    {
    }

    Status open()
    {
        auto connection = open_private_connection("data-server");
        if (!connection)
            return connection.error();
        connection_ = *connection;
        opened_ = true;
        if (!connection_.registerVirtualObject(qs(data_path), this))
            return make_error("cannot export the data server: " + ss(connection_.lastError().message()));
        if (!connection_.registerService(qs(data_bus_name(service_))))
            return make_error("the data service \"" + service_ + "\" is already served by another program", EADDRINUSE);
        watcher_ = new QDBusServiceWatcher(QString(), connection_, QDBusServiceWatcher::WatchForUnregistration, this);
        QObject::connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
                         [this](const QString& client) { client_gone(client); });
        return {};
    }

    ~BusDataServer() override
    {
        if (!opened_)
            return;
        for (const auto& [id, conversation] : conversations_)
            send_closed(id, conversation.client);
        conversations_.clear();
        connection_.unregisterService(qs(data_bus_name(service_)));
        connection_.unregisterObject(qs(data_path));
        close_private_connection(connection_);
    }

    void advise(const std::string& topic, const std::string& item, const std::string& format,
                std::span<const std::uint8_t> data) override
    {
        const QByteArray bytes = to_qbytes(data);
        for (const auto& [id, conversation] : conversations_) {
            if (conversation.topic != topic || !conversation.advised.count({item, format}))
                continue;
            QDBusMessage signal = QDBusMessage::createTargetedSignal(conversation.client, qs(data_path), qs(data_interface),
                                                                     QStringLiteral("Changed"));
            signal << id << qs(item) << qs(format) << bytes;
            connection_.send(signal); // queued: a slow or dead client never holds the server up
        }
    }

    void disconnect(ConversationId id) override
    {
        auto it = conversations_.find(id);
        if (it == conversations_.end())
            return;
        send_closed(id, it->second.client);
        forget(it);
    }

    std::size_t conversation_count() const override { return conversations_.size(); }

    QString introspect(const QString&) const override { return QString::fromLatin1(data_introspection); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        QMetaObject::invokeMethod(this, [this, message, connection] { answer(message, connection); }, Qt::AutoConnection);
        return true;
    }

private:
    struct Conversation {
        QString client; // the client's unique connection name
        std::string topic;
        std::set<std::pair<std::string, std::string>> advised;
    };

    void send_closed(ConversationId id, const QString& client)
    {
        QDBusMessage signal =
            QDBusMessage::createTargetedSignal(client, qs(data_path), qs(data_interface), QStringLiteral("Closed"));
        signal << id;
        connection_.send(signal);
    }

    void forget(std::map<ConversationId, Conversation>::iterator it)
    {
        const QString client = it->second.client;
        conversations_.erase(it);
        for (const auto& [id, other] : conversations_)
            if (other.client == client)
                return;
        watcher_->removeWatchedService(client);
    }

    void client_gone(const QString& client)
    {
        for (auto it = conversations_.begin(); it != conversations_.end();) {
            if (it->second.client != client) {
                ++it;
                continue;
            }
            ConversationId id = it->first;
            it = conversations_.erase(it);
            if (handlers_.on_disconnect)
                handlers_.on_disconnect(id);
        }
        watcher_->removeWatchedService(client);
    }

    void answer(const QDBusMessage& message, QDBusConnection connection)
    {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        auto fail = [&](std::string_view name, const QString& text) {
            if (message.isReplyRequired())
                connection.send(message.createErrorReply(qs(name), text));
        };
        if (message.interface() != qs(data_interface) && !message.interface().isEmpty()) {
            fail("org.freedesktop.DBus.Error.UnknownInterface", QStringLiteral("no such interface"));
            return;
        }
        if (member == QLatin1String("Connect") && args.size() == 1) {
            const std::string topic = ss(args[0].toString());
            ConversationId id = next_id_++;
            if (handlers_.on_connect && !handlers_.on_connect(id, topic)) {
                fail(error_refused, QStringLiteral("topic refused"));
                return;
            }
            conversations_[id] = Conversation{message.service(), topic, {}};
            watcher_->addWatchedService(message.service());
            connection.send(message.createReply(QVariant::fromValue(id)));
            // A client that died before the watch started would otherwise never be noticed.
            if (!connection.interface()->isServiceRegistered(message.service()).value())
                client_gone(message.service());
            return;
        }
        if (args.isEmpty()) {
            fail("org.freedesktop.DBus.Error.UnknownMethod", QStringLiteral("no such method"));
            return;
        }
        const ConversationId id = args[0].toUInt();
        auto it = conversations_.find(id);
        if (it == conversations_.end() || it->second.client != message.service()) {
            fail(error_no_data, QStringLiteral("no such conversation"));
            return;
        }
        if (member == QLatin1String("Disconnect")) {
            forget(it);
            if (handlers_.on_disconnect)
                handlers_.on_disconnect(id);
            if (message.isReplyRequired())
                connection.send(message.createReply());
            return;
        }
        if (args.size() < 3) {
            fail("org.freedesktop.DBus.Error.InvalidArgs", QStringLiteral("missing arguments"));
            return;
        }
        const std::string item = ss(args[1].toString()), format = ss(args[2].toString());
        if (member == QLatin1String("Request")) {
            std::optional<Bytes> data = handlers_.on_request ? handlers_.on_request(id, item, format) : std::nullopt;
            if (!data)
                fail(error_no_data, QStringLiteral("no data"));
            else
                connection.send(message.createReply(QVariant::fromValue(to_qbytes(*data))));
        } else if (member == QLatin1String("Poke") && args.size() == 4) {
            bool acknowledged = handlers_.on_poke && handlers_.on_poke(id, item, format, from_qbytes(args[3].toByteArray()));
            connection.send(message.createReply(QVariant::fromValue(acknowledged)));
        } else if (member == QLatin1String("StartAdvise")) {
            bool accepted = !handlers_.on_advise_start || handlers_.on_advise_start(id, item, format);
            if (accepted)
                it->second.advised.insert({item, format});
            connection.send(message.createReply(QVariant::fromValue(accepted)));
        } else if (member == QLatin1String("StopAdvise")) {
            it->second.advised.erase({item, format});
            if (message.isReplyRequired())
                connection.send(message.createReply());
        } else {
            fail("org.freedesktop.DBus.Error.UnknownMethod", QStringLiteral("no such method"));
        }
    }

    std::string service_;
    DataServerHandlers handlers_;
    QDBusConnection connection_{QString()};
    bool opened_ = false;
    QDBusServiceWatcher* watcher_ = nullptr;
    std::map<ConversationId, Conversation> conversations_;
    ConversationId next_id_ = 1;
};

} // namespace

// The client receives the server's signals through slots, so it is a moc-processed class.
class BusConversation final : public QObject, public DataConversation {
    Q_OBJECT
public:
    BusConversation(std::string service, std::function<void()> on_disconnect)
        : service_(std::move(service)), bus_name_(qs(data_bus_name(service_))), on_disconnect_(std::move(on_disconnect))
    {
    }

    Status open(const std::string& topic, std::chrono::milliseconds timeout)
    {
        auto connection = open_private_connection("data-client");
        if (!connection)
            return connection.error();
        connection_ = *connection;
        opened_ = true;
        // Listen first: nothing the server sends after Connect may be missed.
        connection_.connect(bus_name_, qs(data_path), qs(data_interface), QStringLiteral("Changed"), this,
                            SLOT(changed(QDBusMessage)));
        connection_.connect(bus_name_, qs(data_path), qs(data_interface), QStringLiteral("Closed"), this,
                            SLOT(closed(QDBusMessage)));
        watcher_ = new QDBusServiceWatcher(bus_name_, connection_, QDBusServiceWatcher::WatchForUnregistration, this);
        QObject::connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] { lost(); });
        QDBusMessage reply = call("Connect", {qs(topic)}, timeout);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
            return make_error("cannot open a conversation on \"" + service_ + "\" topic \"" + topic + "\": " +
                              ss(reply.errorMessage()),
                              reply.errorName() == qs(error_refused) ? EACCES : ECONNREFUSED);
        id_ = reply.arguments().front().toUInt();
        connected_ = true;
        return {};
    }

    ~BusConversation() override
    {
        if (connected_) {
            QDBusMessage bye = QDBusMessage::createMethodCall(bus_name_, qs(data_path), qs(data_interface),
                                                              QStringLiteral("Disconnect"));
            bye << id_;
            connection_.send(bye);
        }
        if (opened_)
            close_private_connection(connection_);
    }

    bool connected() const override { return connected_; }

    Result<Bytes> request(const std::string& item, const std::string& format, std::chrono::milliseconds timeout) override
    {
        if (!connected_)
            return make_error("the conversation with \"" + service_ + "\" has ended");
        QDBusMessage reply = call("Request", {id_, qs(item), qs(format)}, timeout);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
            return make_error("\"" + service_ + "\" gave no " + format + " data for " + item + ": " + ss(reply.errorMessage()));
        return from_qbytes(reply.arguments().front().toByteArray());
    }

    Result<bool> poke(const std::string& item, const std::string& format, std::span<const std::uint8_t> data,
                      std::chrono::milliseconds timeout) override
    {
        if (!connected_)
            return make_error("the conversation with \"" + service_ + "\" has ended");
        QDBusMessage reply = call("Poke", {id_, qs(item), qs(format), to_qbytes(data)}, timeout);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
            return make_error("poke to \"" + service_ + "\" failed: " + ss(reply.errorMessage()));
        return reply.arguments().front().toBool();
    }

    Status start_advise(const std::string& item, const std::string& format, std::function<void(const Bytes&)> on_change,
                        std::chrono::milliseconds timeout) override
    {
        if (!connected_)
            return make_error("the conversation with \"" + service_ + "\" has ended");
        advised_[{item, format}] = std::move(on_change);
        QDBusMessage reply = call("StartAdvise", {id_, qs(item), qs(format)}, timeout);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
            !reply.arguments().front().toBool()) {
            advised_.erase({item, format});
            return make_error("\"" + service_ + "\" refused to advise " + item + " (" + format + ")" +
                              (reply.errorMessage().isEmpty() ? "" : ": " + ss(reply.errorMessage())));
        }
        return {};
    }

    void stop_advise(const std::string& item, const std::string& format) override
    {
        advised_.erase({item, format});
        if (!connected_)
            return;
        QDBusMessage stop = QDBusMessage::createMethodCall(bus_name_, qs(data_path), qs(data_interface),
                                                           QStringLiteral("StopAdvise"));
        stop << id_ << qs(item) << qs(format);
        connection_.send(stop);
    }

private slots:
    void changed(const QDBusMessage& message)
    {
        const QList<QVariant> args = message.arguments();
        if (!connected_ || args.size() != 4 || args[0].toUInt() != id_)
            return;
        auto it = advised_.find({ss(args[1].toString()), ss(args[2].toString())});
        if (it != advised_.end() && it->second)
            it->second(from_qbytes(args[3].toByteArray()));
    }

    void closed(const QDBusMessage& message)
    {
        const QList<QVariant> args = message.arguments();
        if (args.size() == 1 && args[0].toUInt() == id_)
            lost();
    }

private:
    QDBusMessage call(const char* member, const QList<QVariant>& args, std::chrono::milliseconds timeout)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(bus_name_, qs(data_path), qs(data_interface),
                                                              QString::fromLatin1(member));
        message.setArguments(args);
        message.setAutoStartService(false);
        return connection_.call(message, QDBus::Block, static_cast<int>(timeout.count()));
    }

    void lost()
    {
        if (!connected_)
            return;
        connected_ = false;
        advised_.clear();
        if (on_disconnect_)
            on_disconnect_();
    }

    std::string service_;
    QString bus_name_;
    std::function<void()> on_disconnect_;
    QDBusConnection connection_{QString()};
    QDBusServiceWatcher* watcher_ = nullptr;
    bool opened_ = false;
    bool connected_ = false;
    ConversationId id_ = 0;
    std::map<std::pair<std::string, std::string>, std::function<void(const Bytes&)>> advised_;
};

Result<std::unique_ptr<DataServer>> serve_data(const std::string& service, DataServerHandlers handlers)
{
    auto server = std::make_unique<BusDataServer>(service, std::move(handlers));
    if (auto opened = server->open(); !opened)
        return opened.error();
    return std::unique_ptr<DataServer>(std::move(server));
}

Result<std::unique_ptr<DataConversation>> connect_data(const std::string& service, const std::string& topic,
                                                       std::function<void()> on_disconnect,
                                                       std::chrono::milliseconds timeout)
{
    auto conversation = std::make_unique<BusConversation>(service, std::move(on_disconnect));
    if (auto opened = conversation->open(topic, timeout); !opened)
        return opened.error();
    return std::unique_ptr<DataConversation>(std::move(conversation));
}

} // namespace orva::platform::dbus

#include "dbus_data.moc"
