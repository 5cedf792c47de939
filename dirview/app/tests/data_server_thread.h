// A data server on a thread of its own, for tests: the client's calls block the test's thread,
// so the server must answer from another event loop, as the engine does from its own process.
#pragma once

#include "platform/dbus/session_bus.h"

#include <QEventLoop>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

namespace orva::dirview::test {

class DataServerThread {
public:
    explicit DataServerThread(std::string service, platform::DataServerHandlers handlers = {})
    {
        thread_ = QThread::create([this, service = std::move(service), handlers = std::move(handlers)] {
            QObject context;
            QEventLoop loop;
            auto server = platform::dbus::serve_data(service, handlers);
            {
                std::lock_guard lock(mutex_);
                ok_ = bool(server);
                if (server) {
                    server_ = server->get();
                    context_ = &context;
                    loop_ = &loop;
                }
                ready_ = true;
            }
            cv_.notify_all();
            if (server)
                loop.exec();
            std::lock_guard lock(mutex_);
            server_ = nullptr;
            context_ = nullptr;
            loop_ = nullptr;
        });
        thread_->start();
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return ready_; });
    }
    ~DataServerThread() { stop(); }

    bool ok() const { return ok_; }

    // Runs `work` with the server on its thread and waits for it.
    void with_server(const std::function<void(platform::DataServer&)>& work)
    {
        std::unique_lock lock(mutex_);
        if (!context_)
            return;
        bool done = false;
        QMetaObject::invokeMethod(
            context_,
            [&] {
                if (server_)
                    work(*server_);
                std::lock_guard inner(mutex_);
                done = true;
                cv_.notify_all();
            },
            Qt::QueuedConnection);
        cv_.wait(lock, [&] { return done; });
    }

    void advise(const std::string& topic, const std::string& item, const std::string& format, platform::Bytes data)
    {
        with_server([&](platform::DataServer& s) { s.advise(topic, item, format, data); });
    }

    std::size_t conversations()
    {
        std::size_t n = 0;
        with_server([&](platform::DataServer& s) { n = s.conversation_count(); });
        return n;
    }

    void stop()
    {
        if (!thread_)
            return;
        {
            // Queued, so that it ends the loop even if the loop has not started yet.
            std::lock_guard lock(mutex_);
            if (context_)
                QMetaObject::invokeMethod(context_, [loop = loop_] { loop->quit(); }, Qt::QueuedConnection);
        }
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }

private:
    QThread* thread_ = nullptr;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool ready_ = false, ok_ = false;
    platform::DataServer* server_ = nullptr;
    QObject* context_ = nullptr;
    QEventLoop* loop_ = nullptr;
};

} // namespace orva::dirview::test
