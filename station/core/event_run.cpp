#include "station/core/event_run.h"

#include "common/settings/keys.h"

namespace orva::station {

EventRun run_event_once(const EventEntry& event, EventRunner& runner)
{
    EventRun r;
    if (event.associate == EventAssociate::Housekeeping) {
        if (runner.suite_programs_open()) {
            r.skipped = true;
            r.outcome.message = "skipped: the engine, Dispo or Tessel is running";
            return r;
        }
        Result<std::uint32_t> done = runner.housekeeping();
        if (!done) {
            r.outcome.result = kEventNotStarted;
            r.outcome.message = "file housekeeping failed: " + done.error().message;
            return r;
        }
        r.outcome.success = true;
        r.outcome.result = *done;
        r.outcome.message = "file housekeeping done";
        return r;
    }
    std::string program = runner.program(event);
    if (program.empty()) {
        r.outcome.result = kEventNotStarted;
        r.outcome.message = "no program";
        return r;
    }
    Result<std::optional<int>> ended = runner.run(program, runner.directory(event));
    if (!ended) {
        r.outcome.result = ended.error().code == kRunKilled ? kEventKilled : kEventNotStarted;
        r.outcome.message = "\"" + program + "\" failed: " + ended.error().message;
        return r;
    }
    if (!ended->has_value()) {
        r.finished = false;
        r.outcome.message = "left running at shutdown";
        return r;
    }
    int code = **ended;
    r.outcome.result = std::uint32_t(code);
    r.outcome.success = code == 0;
    r.outcome.message = code == 0 ? "done" : "failed, exit status " + std::to_string(code);
    return r;
}

std::optional<std::string> find_event_key(const platform::Store& store, const std::string& name)
{
    std::vector<std::string> subkeys = store.subkeys(settings::keys::helmo_events);
    if (subkeys.size() > kEventKeysSearched)
        subkeys.resize(kEventKeysSearched);
    for (const std::string& sub : subkeys) {
        std::string path = platform::join_key_path(settings::keys::helmo_events, sub);
        if (store.read_string(path, "Name", 260).value_or("") == name)
            return path;
    }
    return std::nullopt;
}

namespace {
// The key is looked up again for every write: the operator may have deleted or renamed the
// event while it ran, and a write by the old path would bring back a key holding only these
// values.
Result<std::string> event_key(const platform::Store& store, const EventEntry& event)
{
    std::optional<std::string> key = find_event_key(store, event.name);
    if (!key)
        return make_error("the event \"" + event.name + "\" no longer exists; its run is not recorded");
    return *key;
}
} // namespace

Status record_event_start(platform::Store& store, const EventEntry& event, std::uint32_t now)
{
    Result<std::string> key = event_key(store, event);
    if (!key)
        return key.error();
    return store.write_integer(*key, "Last Run Time", now);
}

Status record_event_end(platform::Store& store, const EventEntry& event, const EventRun& run, std::uint32_t now)
{
    if (!run.finished || run.skipped)
        return {};
    Result<std::string> key = event_key(store, event);
    if (!key)
        return key.error();
    if (run.outcome.success)
        if (Status s = store.write_integer(*key, "Last Success Time", now); !s)
            return s;
    return store.write_integer(*key, "Last Return", run.outcome.result);
}

} // namespace orva::station
