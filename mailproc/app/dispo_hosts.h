// What the dispo program plugs into the pipeline: the new-mail sound of the suite's settings, the
// notice to the directory viewer, and the worker that runs the pipeline beside the window.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "common/settings/suite_settings.h"
#include "mailproc/dispo_run.h"
#include "mailproc/launcher_runner.h"
#include "platform/messenger.h"

namespace orva::mailproc {

// "Sound Type" 2: the bell; 3: 250 ms, the "New Mail WAV" played to its end, 250 ms; else silent.
class SuiteNewMailSound : public NewMailSound {
public:
    SuiteNewMailSound(std::uint32_t sound_type, std::string wav, std::function<void()> beep)
        : type_(sound_type), wav_(std::move(wav)), beep_(std::move(beep))
    {
    }
    void play() override;

private:
    std::uint32_t type_;
    std::string wav_;
    std::function<void()> beep_;
};

// Posts through the session-bus messenger, which belongs to the window thread: each post is
// handed to that thread's event loop and never waited for, so a closing window cannot dead-lock
// the worker. No receiver is no error: the viewer may simply not be open.
class BusWindowPoster : public WindowPoster {
public:
    BusWindowPoster(); // on the thread that runs the Qt event loop
    void post(std::string_view window_class, std::string_view title, std::uint32_t number, std::uint64_t wparam,
        std::int64_t lparam) override;

private:
    std::shared_ptr<platform::Messenger> messenger_;
};

// Runs the pipeline on one worker thread at below-normal priority; `done` is called on that
// thread at the end. Made on the thread of the Qt event loop.
class DispoWorker {
public:
    DispoWorker(DispoConfig config, std::function<void(const std::string&)> status, std::function<void()> done,
        std::function<void()> beep);
    ~DispoWorker(); // asks the run to stop after the current download, and waits
    void start();
    void request_stop() { stop_ = true; }
    void wait(); // until the run has ended by itself

private:
    DispoConfig config_;
    std::function<void(const std::string&)> status_;
    std::function<void()> done_;
    LauncherRunner runner_;
    BusWindowPoster poster_;
    SuiteNewMailSound sound_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace orva::mailproc
