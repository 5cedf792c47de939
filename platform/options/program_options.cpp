#include "platform/options/program_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/version.h"

namespace orva::platform {

struct ProgramOptions::Impl {
    std::unique_ptr<CLI::App> owned; // the root only
    CLI::App* app = nullptr;
    Impl* root = nullptr;
    std::string name;
    std::vector<std::unique_ptr<ProgramOptions>> children;
    std::vector<std::string>* qt_arguments = nullptr;
    std::vector<std::string>* arguments = nullptr; // command_and_arguments
    void after_parse()
    {
        if (arguments)
            *arguments = app->remaining();
        for (auto& c : children)
            c->impl_->after_parse();
    }
};

namespace {

std::string number_text(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// A range check that names the bounds as they were written, not in full floating precision.
CLI::Validator range_check(double min, double max)
{
    return CLI::Validator(
        [min, max](std::string& input) -> std::string {
            errno = 0;
            char* end = nullptr;
            double v = std::strtod(input.c_str(), &end);
            if (input.empty() || *end || errno)
                return {}; // not a number at all: the conversion says so
            if (v < min || v > max)
                return input + " is not from " + number_text(min) + " to " + number_text(max);
            return {};
        },
        "");
}

} // namespace

ProgramOptions::ProgramOptions(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ProgramOptions::ProgramOptions(const std::string& name, const std::string& about) : impl_(std::make_unique<Impl>())
{
    impl_->owned = std::make_unique<CLI::App>(about, name);
    impl_->app = impl_->owned.get();
    impl_->root = impl_.get();
    impl_->name = name;
    impl_->app->set_version_flag("--version", name + " (Orva) " + suite_version_text());
    impl_->app->get_formatter()->column_width(32);
}

ProgramOptions::~ProgramOptions() = default;

ProgramOptions& ProgramOptions::flag(const std::string& names, bool& target, const std::string& help)
{
    impl_->app->add_flag(names, target, help);
    return *this;
}

ProgramOptions& ProgramOptions::option(const std::string& names, std::string& target, const std::string& help,
                                       const std::string& value_name)
{
    impl_->app->add_option(names, target, help)->type_name(value_name);
    return *this;
}

ProgramOptions& ProgramOptions::option(const std::string& names, double& target, const std::string& help,
                                       const std::string& value_name, double min, double max)
{
    impl_->app->add_option(names, target, help)->type_name(value_name)->check(range_check(min, max));
    return *this;
}

ProgramOptions& ProgramOptions::option(const std::string& names, long& target, const std::string& help,
                                       const std::string& value_name, long min, long max)
{
    impl_->app->add_option(names, target, help)->type_name(value_name)->check(range_check(double(min), double(max)));
    return *this;
}

ProgramOptions& ProgramOptions::option(const std::string& names, std::vector<std::string>& target,
                                       const std::string& help, const std::string& value_name)
{
    impl_->app->add_option(names, target, help)->type_name(value_name)->allow_extra_args(false);
    return *this;
}

ProgramOptions& ProgramOptions::choice(const std::string& names, std::string& target,
                                       const std::vector<std::string>& words, const std::string& help)
{
    std::string shown;
    for (const auto& w : words)
        shown += (shown.empty() ? "" : "|") + w;
    CLI::Validator member = CLI::IsMember(words, CLI::ignore_case);
    member.description("");
    impl_->app->add_option(names, target, help)->type_name(shown)->transform(member);
    return *this;
}

ProgramOptions& ProgramOptions::positional(const std::string& name, std::string& target, const std::string& help,
                                           bool required)
{
    impl_->app->add_option(name, target, help)->type_name("")->required(required);
    return *this;
}

ProgramOptions& ProgramOptions::positionals(const std::string& name, std::vector<std::string>& target,
                                            const std::string& help, bool required)
{
    impl_->app->add_option(name, target, help)->type_name("")->required(required);
    return *this;
}

ProgramOptions& ProgramOptions::command_and_arguments(std::string& command, std::vector<std::string>& arguments,
                                                      const std::string& help)
{
    impl_->app->add_option("COMMAND", command, help)->type_name("")->required();
    impl_->app->prefix_command();
    impl_->arguments = &arguments;
    return *this;
}

ProgramOptions& ProgramOptions::qt_platform(std::vector<std::string>& qt_arguments)
{
    impl_->root->qt_arguments = &qt_arguments;
    return *this;
}

ProgramOptions& ProgramOptions::subcommand(const std::string& name, const std::string& about)
{
    auto impl = std::make_unique<Impl>();
    impl->app = impl_->app->add_subcommand(name, about);
    impl->root = impl_->root;
    impl->name = impl_->name + " " + name;
    impl_->children.push_back(std::unique_ptr<ProgramOptions>(new ProgramOptions(std::move(impl))));
    return *impl_->children.back();
}

ProgramOptions& ProgramOptions::require_subcommand()
{
    impl_->app->require_subcommand(1);
    return *this;
}

ProgramOptions& ProgramOptions::footer(const std::string& text)
{
    impl_->app->footer(text);
    return *this;
}

bool ProgramOptions::given(const std::string& name) const { return impl_->app->count(name) > 0; }

bool ProgramOptions::chosen() const { return impl_->app->parsed(); }

std::optional<int> ProgramOptions::parse(int argc, char** argv)
{
    return parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}

std::optional<int> ProgramOptions::parse(std::vector<std::string> words)
{
    Impl& root = *impl_->root;
    if (root.qt_arguments) {
        std::vector<std::string> kept;
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (words[i] == "-platform" && i + 1 < words.size()) {
                root.qt_arguments->push_back(words[i]);
                root.qt_arguments->push_back(words[++i]);
            } else {
                kept.push_back(words[i]);
            }
        }
        words = std::move(kept);
    }
    // Everything after the command word is the command's own, its --help too: the parser would
    // otherwise answer that --help itself, with this program's help.
    std::vector<std::string> passed;
    if (root.arguments) {
        const auto command = std::find_if(words.begin(), words.end(),
                                          [](const std::string& w) { return w.empty() || w[0] != '-'; });
        if (command != words.end()) {
            passed.assign(command + 1, words.end());
            words.erase(command + 1, words.end());
        }
    }
    std::reverse(words.begin(), words.end());
    try {
        root.app->parse(words);
    } catch (const CLI::Success& e) {
        // --help and --version: the answer on standard output.
        root.app->exit(e, std::cout, std::cerr);
        std::cout.flush();
        return 0;
    } catch (const CLI::ParseError& e) {
        return usage_error(e.what());
    }
    root.after_parse();
    if (root.arguments)
        root.arguments->insert(root.arguments->end(), passed.begin(), passed.end());
    return std::nullopt;
}

int ProgramOptions::usage_error(const std::string& message) const
{
    std::fflush(stdout);
    std::cerr << impl_->root->name << ": " << message << "\n" << help() << std::flush;
    return 2;
}

std::string ProgramOptions::help() const { return impl_->root->app->help(); }

} // namespace orva::platform
