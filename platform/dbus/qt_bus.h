// Shared pieces of the Qt side: string conversion and private bus connections.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <string>
#include <string_view>

#include "platform/result.h"

namespace orva::platform::dbus {

inline QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ss(const QString& text)
{
    return text.toStdString();
}

// A connection of its own, so that closing it releases its names and tells the other side at once.
Result<QDBusConnection> open_private_connection(const char* purpose);
void close_private_connection(const QDBusConnection& connection);

} // namespace orva::platform::dbus
