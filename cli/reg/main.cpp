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
#include "platform/options/program_options.h"

using namespace orva;
using namespace orva::platform;

namespace {

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
    std::string store_file, key, name, text, dword, binary, file;
    ProgramOptions cli("orva reg", "Inspects and scripts the configuration store.");
    cli.option("--store", store_file, "The store to use instead of $ORVA_STORE", "FILE")
        .require_subcommand()
        .footer("KEY is written as the programs write it: SOFTWARE\\Orva\\Station");
    auto& list = cli.subcommand("list", "Subkeys and values of KEY (default: the root).");
    list.positional("KEY", key, "The key", false);
    auto& get = cli.subcommand("get", "One value: strings as text, numbers in decimal.");
    get.positional("KEY", key, "The key").positional("NAME", name, "The value's name");
    auto& set = cli.subcommand("set", "Write one value: give exactly one of --string, --dword, --binary.");
    set.positional("KEY", key, "The key")
        .positional("NAME", name, "The value's name")
        .option("--string", text, "A string value", "TEXT")
        .option("--dword", dword, "A 32-bit number (decimal, or hexadecimal with 0x)", "N")
        .option("--binary", binary, "Bytes in hexadecimal (\"01 02 ff\")", "HEX");
    auto& del = cli.subcommand("delete", "A value, or a key with everything below it.");
    del.positional("KEY", key, "The key").positional("NAME", name, "The value's name", false);
    auto& exp = cli.subcommand("export", "The store (or KEY and below) as text.");
    exp.positional("KEY", key, "The key", false);
    auto& imp = cli.subcommand("import", "Apply a text made by export.");
    imp.positional("FILE", file, "The text file, or - for standard input");
    if (auto code = cli.parse(argc, argv))
        return *code;

    auto store = store_file.empty() ? Store::open_default(Access::ReadWrite)
                                    : Store::open(store_file, Access::ReadWrite);
    if (!store)
        return fail(store.error().message);

    if (list.chosen()) {
        if (!key.empty() && !store->key_exists(key))
            return fail("key \"" + key + "\" does not exist");
        for (const auto& sub : store->subkeys(key))
            std::printf("[%s]\n", join_key_path(key, sub).c_str());
        for (const auto& v : store->values(key))
            std::printf("\"%s\"=%s\n", v.name.c_str(), format_value_text(v).c_str());
        return 0;
    }
    if (get.chosen()) {
        auto v = store->read_value(key, name);
        if (!v)
            return fail(v.error().message);
        std::printf("%s\n", show(*v).c_str());
        return 0;
    }
    if (set.chosen()) {
        int kinds = int(set.given("--string")) + int(set.given("--dword")) + int(set.given("--binary"));
        if (kinds != 1)
            return set.usage_error("give exactly one of --string, --dword and --binary");
        Status s;
        if (set.given("--string")) {
            s = store->write_string(key, name, text);
        } else if (set.given("--dword")) {
            errno = 0;
            char* end = nullptr;
            unsigned long long n = std::strtoull(dword.c_str(), &end, 0);
            if (dword.empty() || *end || errno || n > 0xFFFFFFFFull || dword[0] == '-')
                return fail("\"" + dword + "\" is not a 32-bit number");
            s = store->write_integer(key, name, static_cast<std::uint32_t>(n));
        } else {
            std::vector<std::uint8_t> bytes;
            if (!parse_hex(binary, bytes))
                return fail("\"" + binary + "\" is not a list of hex bytes");
            s = store->write_binary(key, name, bytes);
        }
        if (!s)
            return fail(s.error().message);
        return 0;
    }
    if (del.chosen()) {
        Status s = del.given("NAME") ? store->delete_value(key, name) : store->delete_key(key);
        if (!s)
            return fail(s.error().message);
        return 0;
    }
    if (exp.chosen()) {
        if (!key.empty() && !store->key_exists(key))
            return fail("key \"" + key + "\" does not exist");
        std::fputs(export_store_text(*store, key).c_str(), stdout);
        return 0;
    }
    std::string content;
    if (file == "-") {
        content.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return fail("cannot read \"" + file + "\": " + std::strerror(errno));
        content.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto ops = parse_store_text(content);
    if (!ops)
        return fail(file + ": " + ops.error().message + " (nothing was imported)");
    if (auto s = apply_store_text(*store, *ops); !s)
        return fail(s.error().message);
    return 0;
}
