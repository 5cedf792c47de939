// The configuration store: a tree of keys holding typed values, kept in a SQLite file.
//
// Key paths are written as the programs write them, "SOFTWARE\Orva\Satellites\AO-16"; key and
// value names compare without regard to ASCII case and keep the spelling they were created with.
// Values keep their exact type and bytes. Subkeys and values enumerate in creation order.
// Each operation is one short transaction, so several programs can share one file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva::platform {

// The registry's own type numbers, so exports read like the original system's.
enum class ValueType : std::uint32_t { String = 1, Binary = 3, Integer = 4 };

struct Value {
    std::string name;
    ValueType type = ValueType::Binary;
    std::vector<std::uint8_t> data;
};

enum class Access { ReadOnly, ReadWrite };

// Subkey enumeration in the suite stops at this index, whatever the store holds.
inline constexpr std::uint32_t max_enumeration = 10000;

class Store {
public:
    // Opens (and, for ReadWrite, creates on first write) the store file. A file that exists but
    // is not an Orva store is refused and left untouched. A ReadOnly store whose file is missing
    // is an error: that is how the engine's remote store reports a failed connection.
    static Result<Store> open(const std::filesystem::path& file, Access access);
    // $ORVA_STORE, else $XDG_CONFIG_HOME/orva/store.db, else ~/.config/orva/store.db.
    static std::filesystem::path default_path();
    static Result<Store> open_default(Access access = Access::ReadWrite);

    Store(Store&&) noexcept;
    Store& operator=(Store&&) noexcept;
    ~Store();

    const std::filesystem::path& file() const;
    bool read_only() const;

    // Creates the key and any missing parents; the value tells whether this call created it.
    Result<bool> create_key(std::string_view path);
    bool key_exists(std::string_view path) const;
    // Deletes the key with everything below it.
    Status delete_key(std::string_view path);
    // The subkey name at the index, or an error ("no more") past the last one.
    Result<std::string> enumerate_subkeys(std::string_view path, std::uint32_t index) const;
    std::vector<std::string> subkeys(std::string_view path) const;

    // Readers: each fails when the key or value is missing, of another type, or does not fit.
    // A string is the stored bytes up to the first NUL; a value that fills the buffer without a
    // NUL loses its last byte, as a reader terminating its full buffer would.
    Result<std::string> read_string(std::string_view path, std::string_view name, std::size_t buffer_size) const;
    Result<std::uint32_t> read_integer(std::string_view path, std::string_view name) const;
    // Binary values must have exactly the given length: a shorter one would leave the caller's
    // record half filled.
    Result<std::vector<std::uint8_t>> read_binary(std::string_view path, std::string_view name, std::size_t length) const;
    Result<Value> read_value(std::string_view path, std::string_view name) const;
    std::vector<Value> values(std::string_view path) const;

    // Writers create the key when needed. write_string stores the text and its NUL;
    // write_string_bytes stores exactly the given characters (no NUL).
    Status write_string(std::string_view path, std::string_view name, std::string_view text);
    Status write_string_bytes(std::string_view path, std::string_view name, std::string_view bytes);
    Status write_integer(std::string_view path, std::string_view name, std::uint32_t value);
    Status write_binary(std::string_view path, std::string_view name, std::span<const std::uint8_t> bytes);
    Status write_value(std::string_view path, const Value& value);
    Status delete_value(std::string_view path, std::string_view name);

private:
    struct Impl;
    explicit Store(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Splits "A\B\C" into its components; an empty component is an error.
Result<std::vector<std::string>> split_key_path(std::string_view path);
std::string join_key_path(std::string_view parent, std::string_view child);

} // namespace orva::platform
