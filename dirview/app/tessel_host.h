// What Tessel's window asks of the desktop around it: starting programs, opening files, and the
// operator's answers to its boxes. The program uses the launcher and message boxes; tests answer
// for the operator and record what would have started.
#pragma once

#include "platform/result.h"
#include "platform/user_guide.h"

#include <filesystem>
#include <string>
#include <vector>

namespace orva::dirview {

class TesselHost {
public:
    virtual ~TesselHost() = default;
    // Starts a program (first word through the launcher's table), not waited for.
    virtual Status launch(const std::vector<std::string>& words) = 0;
    // The system's "open" action on a file.
    virtual Status open_file(const std::filesystem::path& path) = 0;
    // OK/Cancel, or Yes/No when `yes_no`; true for OK or Yes.
    virtual bool confirm(const std::string& caption, const std::string& text, bool yes_no) = 0;
    virtual void inform(const std::string& caption, const std::string& text) = 0;
    // The user guide at a section; the program opens it in the desktop's browser.
    virtual Status open_help(const std::string& section) { return platform::open_user_guide(section); }
};

} // namespace orva::dirview
