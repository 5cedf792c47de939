// Quillet: the least message composer. "quillet S~SAT [D~CALL] [T~TITLE] [F~ORIGINAL]" opens
// $VISUAL/$EDITOR on the message and, once it is saved, queues it for upload as an ".OUT" file
// in the satellite directory; "--text FILE" takes the body from FILE without an editor.
#include "common/atomic_file.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "common/tilde_args.h"
#include "platform/launcher.h"
#include "platform/options/program_options.h"
#include "platform/store/store.h"
#include "cli/quillet/message_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace orva;

int fail(const std::string& message)
{
    std::fprintf(stderr, "Quillet: %s\n", message.c_str());
    return 1;
}

std::string text_of(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> tilde;
    std::optional<std::string> text_file, to, title;
    std::string text_value, to_value, title_value;
    platform::ProgramOptions cli("quillet", "Composes a message and queues it for upload as an \".OUT\" file in the "
                                            "satellite directory.");
    cli.positionals("S~SATELLITE [D~CALL] [T~TITLE] [F~ORIGINAL]", tilde,
                    "Tilde arguments: the satellite, and the addressee, title and quoted original", true)
        .option("--to", to_value, "The addressee (instead of D~)", "CALL")
        .option("--title", title_value, "The title (instead of T~)", "TEXT")
        .option("--text", text_value, "Take the body from FILE instead of an editor", "FILE")
        .footer("Without --text, $VISUAL or $EDITOR edits the message; it is queued when saved.");
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (cli.given("--text"))
        text_file = text_value;
    if (cli.given("--to"))
        to = to_value;
    if (cli.given("--title"))
        title = title_value;
    const TildeArgs args = TildeArgs::parse(tilde);
    const auto satellite = args.get('S');
    if (!satellite || satellite->empty())
        return cli.usage_error("S~SATELLITE is required");

    auto store = platform::Store::open_default(platform::Access::ReadOnly);
    if (!store)
        return fail("cannot open the configuration store: " + store.error().message);
    auto sat = settings::read_satellite(*store, *satellite, settings::Program::Tool);
    if (!sat)
        return fail(sat.error().message);
    const fs::path folder = sat->satellite_directory;
    const settings::QuilletSettings options = settings::read_quillet(*store);

    quillet::MessageFields fields;
    fields.source = settings::read_station(*store, settings::Program::Tool).callsign;
    fields.destination = to ? *to : args.get('D').value_or("");
    fields.title = title ? *title : args.get('T').value_or("");
    fields.expiry_days = options.message_expiry_days;
    const auto now = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());

    std::string body;
    if (text_file) {
        auto bytes = read_file(*text_file);
        if (!bytes)
            return fail(bytes.error().message);
        body = text_of(*bytes);
    } else {
        std::string quoted;
        if (auto original = args.get('F'))
            if (auto bytes = read_file(*original))
                quoted = text_of(*bytes);
        const std::string start = quillet::editor_template(fields, quoted);
        std::string tmpl = (fs::temp_directory_path() / "quillet-XXXXXX.txt").string();
        const int fd = ::mkstemps(tmpl.data(), 4);
        if (fd < 0)
            return fail("cannot create a file to edit the message in");
        ::close(fd);
        const fs::path edit = tmpl;
        struct Remove {
            fs::path p;
            ~Remove()
            {
                std::error_code ec;
                fs::remove(p, ec);
            }
        } remove_later{edit};
        if (auto st = write_file_atomic(edit, start); !st)
            return fail(st.error().message);

        const char* visual = std::getenv("VISUAL");
        const char* editor = std::getenv("EDITOR");
        if (!(visual && *visual) && !(editor && *editor))
            return fail("no editor: set $VISUAL or $EDITOR, or give the text with --text FILE");
        platform::Launcher launcher;
        auto process = launcher.start(std::vector<std::string>{"NOTEPAD.EXE", edit.string()});
        if (!process)
            return fail(process.error().message);
        auto code = process->wait();
        if (!code)
            return fail("the editor failed: " + code.error().message);
        if (*code != 0)
            return fail("the editor ended with code " + std::to_string(*code) + "; nothing was queued");
        auto edited = read_file(edit);
        if (!edited)
            return fail(edited.error().message);
        const std::string result = text_of(*edited);
        if (result == start)
            return fail("the message was not saved; nothing was queued");
        const quillet::EditedMessage m = quillet::parse_edited(result, fields);
        fields.destination = m.destination;
        fields.title = m.title;
        body = m.body;
    }
    if (body.find_first_not_of(" \t\r\n") == std::string::npos)
        return fail("the message is empty; nothing was queued");

    auto path = quillet::write_out_file(folder, now, fields, body);
    if (!path)
        return fail(path.error().message);
    std::printf("Queued %s for upload\n", path->string().c_str());
    return 0;
}
