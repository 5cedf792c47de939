// Tessel's host on the desktop: programs through the launcher, files through the system's "open"
// action, and the operator's answers from message boxes over the window.
#pragma once

#include "dirview/app/tessel_host.h"
#include "platform/launcher.h"

class QWidget;

namespace orva::dirview {

class DesktopHost final : public TesselHost {
public:
    explicit DesktopHost(QWidget* window) : window_(window) {}
    Status launch(const std::vector<std::string>& words) override;
    Status open_file(const std::filesystem::path& path) override;
    bool confirm(const std::string& caption, const std::string& text, bool yes_no) override;
    void inform(const std::string& caption, const std::string& text) override;

private:
    QWidget* window_;
    platform::Launcher launcher_;
};

} // namespace orva::dirview
