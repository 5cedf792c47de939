// orva reg: inspect and script the configuration store.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/store/store.h"
#include "platform/store/store_text.h"

using namespace orva;
using namespace orva::platform;

namespace {

const char* usage_text =
    "usage: orva reg [--store FILE] COMMAND\n"
    "  list [KEY]                                  subkeys and values of KEY (default: the root)\n"
    "  get KEY NAME                                one value (strings as text, numbers in decimal)\n"
    "  set KEY NAME --string TEXT | --dword N | --binary HEX\n"
    "  delete KEY [NAME]                           a value, or a key with everything below it\n"
    "  export [KEY]                                the store (or KEY and below) as text\n"
    "  import FILE                                 apply a text made by export (- for stdin)\n"
    "KEY is written as the programs write it: SOFTWARE\\Orva\\Station\n";

int usage()
{
    std::fputs(usage_text, stderr);
    return 2;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "orva reg: %s\n", message.c_str());
    return 1;
}

bool parse_hex(const std::string& text, std::vector<std::uint8_t>& out)
{
    std::string digits;
    for (char c : text)
        if (c != ',' && c != ' ' && c != ':')
            digits += c;
    if (digits.size() % 2)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        char* end = nullptr;
        std::string pair = digits.substr(i, 2);
        long v = std::strtol(pair.c_str(), &end, 16);
        if (*end)
            return false;
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return true;
}

std::string show(const Value& v)
{
    if (v.type == ValueType::String) {
        std::string s(v.data.begin(), v.data.end());
        if (auto nul = s.find('\0'); nul != std::string::npos)
            s.resize(nul);
        return s;
    }
    if (v.type == ValueType::Integer && v.data.size() == 4)
        return std::to_string(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<std::uint32_t>(v.data[3]) << 24);
    std::string text = format_value_text(v);
    return text.substr(text.find(':') + 1);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string store_file;
    if (args.size() >= 2 && args[0] == "--store") {
        store_file = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h")
        return usage();
    const std::string cmd = args[0];
    bool writes = cmd == "set" || cmd == "delete" || cmd == "import";
    if (!writes && cmd != "list" && cmd != "get" && cmd != "export")
        return usage();

    auto store = store_file.empty() ? Store::open_default(Access::ReadWrite)
                                    : Store::open(store_file, Access::ReadWrite);
    if (!store)
        return fail(store.error().message);

    if (cmd == "list") {
        std::string key = args.size() > 1 ? args[1] : "";
        if (!key.empty() && !store->key_exists(key))
            return fail("key \"" + key + "\" does not exist");
        for (const auto& sub : store->subkeys(key))
            std::printf("[%s]\n", join_key_path(key, sub).c_str());
        for (const auto& v : store->values(key))
            std::printf("\"%s\"=%s\n", v.name.c_str(), format_value_text(v).c_str());
        return 0;
    }
    if (cmd == "get") {
        if (args.size() != 3)
            return usage();
        auto v = store->read_value(args[1], args[2]);
        if (!v)
            return fail(v.error().message);
        std::printf("%s\n", show(*v).c_str());
        return 0;
    }
    if (cmd == "set") {
        if (args.size() != 5)
            return usage();
        const std::string& key = args[1];
        const std::string& name = args[2];
        const std::string& kind = args[3];
        const std::string& data = args[4];
        Status s;
        if (kind == "--string") {
            s = store->write_string(key, name, data);
        } else if (kind == "--dword") {
            errno = 0;
            char* end = nullptr;
            unsigned long long n = std::strtoull(data.c_str(), &end, 0);
            if (data.empty() || *end || errno || n > 0xFFFFFFFFull || data[0] == '-')
                return fail("\"" + data + "\" is not a 32-bit number");
            s = store->write_integer(key, name, static_cast<std::uint32_t>(n));
        } else if (kind == "--binary") {
            std::vector<std::uint8_t> bytes;
            if (!parse_hex(data, bytes))
                return fail("\"" + data + "\" is not a list of hex bytes");
            s = store->write_binary(key, name, bytes);
        } else {
            return usage();
        }
        if (!s)
            return fail(s.error().message);
        return 0;
    }
    if (cmd == "delete") {
        if (args.size() < 2 || args.size() > 3)
            return usage();
        Status s = args.size() == 3 ? store->delete_value(args[1], args[2]) : store->delete_key(args[1]);
        if (!s)
            return fail(s.error().message);
        return 0;
    }
    if (cmd == "export") {
        std::string key = args.size() > 1 ? args[1] : "";
        if (!key.empty() && !store->key_exists(key))
            return fail("key \"" + key + "\" does not exist");
        std::fputs(export_store_text(*store, key).c_str(), stdout);
        return 0;
    }
    // import
    if (args.size() != 2)
        return usage();
    std::string text;
    if (args[1] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(args[1], std::ios::binary);
        if (!in)
            return fail("cannot read \"" + args[1] + "\": " + std::strerror(errno));
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto ops = parse_store_text(text);
    if (!ops)
        return fail(args[1] + ": " + ops.error().message + " (nothing was imported)");
    if (auto s = apply_store_text(*store, *ops); !s)
        return fail(s.error().message);
    return 0;
}
