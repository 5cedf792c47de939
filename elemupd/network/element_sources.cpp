#include "elemupd/network/element_sources.h"

#include "common/file_names.h"

namespace orva::elemupd {

namespace {

std::string source_key(std::string_view name) { return platform::join_key_path(kElementSourcesKey, name); }

Status write_source(platform::Store& store, const ElementSource& s)
{
    std::string key = source_key(s.name);
    if (Status st = store.write_string(key, "URL", s.url); !st)
        return st;
    if (Status st = store.write_string(key, "Format", format_name(s.format)); !st)
        return st;
    return write_validators(store, s);
}

// The defaults become real keys before the first change, so a change never drops them.
Status materialise(platform::Store& store)
{
    if (store.key_exists(kElementSourcesKey))
        return {};
    if (auto created = store.create_key(kElementSourcesKey); !created)
        return created.error();
    for (const auto& s : default_element_sources())
        if (Status st = write_source(store, s); !st)
            return st;
    return {};
}

} // namespace

std::string format_name(station::ElementFormat format)
{
    return format == station::ElementFormat::Amsat ? "AMSAT" : "NASA";
}

std::vector<ElementSource> default_element_sources()
{
    return {
        {"celestrak-amateur", "https://celestrak.org/NORAD/elements/gp.php?GROUP=amateur&FORMAT=tle",
         station::ElementFormat::Nasa, {}, {}},
        {"amsat", "https://www.amsat.org/tle/current/nasabare.txt", station::ElementFormat::Nasa, {}, {}},
    };
}

std::vector<ElementSource> read_element_sources(const platform::Store& store)
{
    if (!store.key_exists(kElementSourcesKey))
        return default_element_sources();
    std::vector<ElementSource> out;
    for (const auto& name : store.subkeys(kElementSourcesKey)) {
        std::string key = source_key(name);
        ElementSource s;
        s.name = name;
        s.url = store.read_string(key, "URL", 2048).value_or("");
        std::string format = store.read_string(key, "Format", 16).value_or("NASA");
        s.format = !format.empty() && (format[0] == 'A' || format[0] == 'a') ? station::ElementFormat::Amsat
                                                                            : station::ElementFormat::Nasa;
        s.etag = store.read_string(key, "ETag", 1024).value_or("");
        s.last_modified = store.read_string(key, "Last Modified", 256).value_or("");
        out.push_back(std::move(s));
    }
    return out;
}

Status check_element_source(const ElementSource& s)
{
    if (s.name.empty() || s.name.size() > 40 || s.name.find('\\') != std::string::npos)
        return make_error("a source name is 1 to 40 characters without a backslash, not \"" + s.name + "\"");
    if (!(s.url.rfind("http://", 0) == 0 || s.url.rfind("https://", 0) == 0) || s.url.size() < 10 ||
        s.url.size() > 2000 || s.url.find_first_of(" \t\r\n") != std::string::npos)
        return make_error("\"" + s.url + "\" is not an http:// or https:// address");
    return {};
}

Status add_element_source(platform::Store& store, const ElementSource& source)
{
    if (Status st = check_element_source(source); !st)
        return st;
    for (const auto& s : read_element_sources(store))
        if (equal_ignoring_case(s.name, source.name))
            return make_error("there is already a source named \"" + s.name + "\"");
    if (Status st = materialise(store); !st)
        return st;
    ElementSource fresh = source;
    fresh.etag.clear();
    fresh.last_modified.clear();
    return write_source(store, fresh);
}

Status remove_element_source(platform::Store& store, std::string_view name)
{
    bool found = false;
    for (const auto& s : read_element_sources(store))
        found = found || equal_ignoring_case(s.name, name);
    if (!found)
        return make_error("there is no source named \"" + std::string(name) + "\"");
    if (Status st = materialise(store); !st)
        return st;
    return store.delete_key(source_key(name));
}

Status write_validators(platform::Store& store, const ElementSource& s)
{
    if (Status st = materialise(store); !st)
        return st;
    std::string key = source_key(s.name);
    if (Status st = store.write_string(key, "ETag", s.etag); !st)
        return st;
    return store.write_string(key, "Last Modified", s.last_modified);
}

} // namespace orva::elemupd
