#include "platform/store/store.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <cstring>

namespace orva::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* format_name = "orva-store";
constexpr const char* format_version = "1";
constexpr int busy_timeout_ms = 15000;

// SQLite's own busy wait backs off to 100 ms between looks at the lock; a writer that looks that
// seldom can wait out its whole timeout while busier programs take the lock again and again. A
// short, even step keeps it in the running; the count it gets stands in for the time waited.
int busy_wait(void*, int count)
{
    constexpr int step_ms = 2;
    if (count * step_ms >= busy_timeout_ms)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(step_ms));
    return 1;
}
constexpr std::int64_t root_id = 1;

const char* schema_sql = R"sql(
CREATE TABLE orva_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE keys (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    UNIQUE (parent, name));
CREATE TABLE vals (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE (key, name));
CREATE INDEX keys_parent ON keys(parent);
INSERT INTO keys (id, parent, name) VALUES (1, NULL, '');
)sql";

// One prepared statement, finalised on every path out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return rc_ == SQLITE_OK; }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, std::string_view text)
    {
        sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void bind_blob(int i, std::span<const std::uint8_t> bytes)
    {
        // A zero-length blob must still be a blob, never NULL.
        static const std::uint8_t empty = 0;
        sqlite3_bind_blob(stmt_, i, bytes.empty() ? &empty : bytes.data(), static_cast<int>(bytes.size()),
            SQLITE_TRANSIENT);
    }
    int step() { return rc_ = sqlite3_step(stmt_); }
    void reset() { sqlite3_reset(stmt_); }
    std::int64_t column_int(int i) { return sqlite3_column_int64(stmt_, i); }
    std::string column_text(int i)
    {
        const unsigned char* p = sqlite3_column_text(stmt_, i);
        return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(stmt_, i)) : std::string();
    }
    std::vector<std::uint8_t> column_blob(int i)
    {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, i));
        int n = sqlite3_column_bytes(stmt_, i);
        return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

} // namespace

Result<std::vector<std::string>> split_key_path(std::string_view path)
{
    std::vector<std::string> parts;
    if (path.empty())
        return parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string_view part = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty())
            return make_error("invalid key path \"" + std::string(path) + "\": empty component");
        parts.emplace_back(part);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return parts;
}

std::string join_key_path(std::string_view parent, std::string_view child)
{
    if (parent.empty())
        return std::string(child);
    std::string out(parent);
    out += '\\';
    out += child;
    return out;
}

struct Store::Impl {
    fs::path file;
    Access access = Access::ReadWrite;
    sqlite3* db = nullptr;

    ~Impl() { sqlite3_close_v2(db); }

    Error sql_error(const std::string& what) const
    {
        std::string msg = what + " in store \"" + file.string() + "\"";
        if (db)
            msg += ": " + std::string(sqlite3_errmsg(db));
        return make_error(msg, db ? sqlite3_extended_errcode(db) : 0);
    }

    // Best effort: a failed rollback leaves SQLite to undo the transaction when it closes.
    void rollback() { sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr); }

    Status exec(const char* sql)
    {
        char* err = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            std::string msg = err ? err : "unknown error";
            sqlite3_free(err);
            return make_error("store \"" + file.string() + "\": " + msg, sqlite3_extended_errcode(db));
        }
        return {};
    }

    Status validate()
    {
        // Read-only check of the format before anything could write to the file.
        Statement st(db, "SELECT value FROM orva_meta WHERE name = 'format'");
        bool ok = st.prepared() && st.step() == SQLITE_ROW && st.column_text(0) == format_name;
        if (ok) {
            Statement ver(db, "SELECT value FROM orva_meta WHERE name = 'version'");
            ok = ver.prepared() && ver.step() == SQLITE_ROW && ver.column_text(0) == format_version;
        }
        if (!ok) {
            const int code = sqlite3_extended_errcode(db);
            if (busy(code))
                return make_error("store \"" + file.string() + "\" is busy", code);
            return make_error("\"" + file.string() + "\" is not an Orva configuration store (" +
                std::string(sqlite3_errmsg(db)) + "); it was left as it is");
        }
        return exec("PRAGMA foreign_keys = ON");
    }

    // Lays the schema into a new, empty database. BEGIN IMMEDIATE serialises programs that
    // create the store at the same moment: the second finds the tables and leaves them.
    Status initialise_if_empty()
    {
        // A store that has its tables needs no lock to be opened: another program holding the
        // write lock for a while must not keep this one from reading.
        {
            Statement count(db, "SELECT count(*) FROM sqlite_master");
            if (count.prepared() && count.step() == SQLITE_ROW && count.column_int(0) > 0)
                return {};
        }
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
            int code = sqlite3_extended_errcode(db);
            if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
                return sql_error("store is busy");
            return make_error("\"" + file.string() + "\" is not an Orva configuration store (" +
                std::string(sqlite3_errmsg(db)) + "); it was left as it is", code);
        }
        std::int64_t tables = -1;
        {
            Statement count(db, "SELECT count(*) FROM sqlite_master");
            if (count.prepared() && count.step() == SQLITE_ROW)
                tables = count.column_int(0);
        }
        if (tables < 0) {
            std::string detail = sqlite3_errmsg(db);
            rollback();
            return make_error("\"" + file.string() + "\" is not an Orva configuration store (" + detail +
                "); it was left as it is");
        }
        if (tables != 0)
            return exec("ROLLBACK");
        std::string init = std::string(schema_sql) + "INSERT INTO orva_meta VALUES ('format', '" + format_name +
            "');INSERT INTO orva_meta VALUES ('version', '" + format_version + "');COMMIT;";
        if (auto s = exec(init.c_str()); !s) {
            rollback();
            return s;
        }
        use_wal();
        return {};
    }

    // WAL lets readers work beside a writer. The switch needs the file to itself, so another
    // program opening the new store at the same moment can make it fail: the store is whole
    // without it, and the next writer that opens it switches.
    void use_wal() { (void)exec("PRAGMA journal_mode = WAL"); }

    // Opens the connection when the file exists; creates the file only for a write.
    Status connect(bool for_write)
    {
        if (db)
            return {};
        std::error_code ec;
        bool present = fs::exists(file, ec) && fs::file_size(file, ec) > 0;
        if (!present) {
            if (access == Access::ReadOnly)
                return make_error("store \"" + file.string() + "\" does not exist", ENOENT);
            if (!for_write)
                return make_error("store \"" + file.string() + "\" has no keys yet", ENOENT);
            if (file.has_parent_path())
                fs::create_directories(file.parent_path(), ec);
            if (ec)
                return make_error("cannot create the folder of store \"" + file.string() + "\": " + ec.message());
        }
        int flags = SQLITE_OPEN_FULLMUTEX |
            (access == Access::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            Error e = sql_error("cannot open");
            sqlite3_close_v2(db);
            db = nullptr;
            return e;
        }
        sqlite3_busy_handler(db, busy_wait, nullptr);
        sqlite3_extended_result_codes(db, 1);
        Status s;
        if (access == Access::ReadWrite)
            s = initialise_if_empty();
        if (s)
            s = validate();
        if (s && access == Access::ReadWrite)
            use_wal();
        if (!s) {
            sqlite3_close_v2(db);
            db = nullptr;
        }
        return s;
    }

    // Key id for a path, or -1 when some component is missing.
    Result<std::int64_t> find_key(std::string_view path)
    {
        auto parts = split_key_path(path);
        if (!parts)
            return parts.error();
        std::int64_t id = root_id;
        Statement st(db, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
        if (!st.prepared())
            return sql_error("cannot look up key");
        for (const auto& part : *parts) {
            st.reset();
            st.bind(1, id);
            st.bind(2, std::string_view(part));
            int rc = st.step();
            if (rc == SQLITE_DONE)
                return std::int64_t{-1};
            if (rc != SQLITE_ROW)
                return sql_error("cannot look up key");
            id = st.column_int(0);
        }
        return id;
    }

    // Key id of an existing key, for reading; every failure is a message.
    Result<std::int64_t> existing_key(std::string_view path)
    {
        if (auto s = connect(false); !s)
            return s.error();
        auto id = find_key(path);
        if (!id)
            return id.error();
        if (*id < 0)
            return make_error("key \"" + std::string(path) + "\" does not exist", ENOENT);
        return id;
    }

    // Inside a write transaction: the key's id, creating what is missing.
    Result<std::pair<std::int64_t, bool>> ensure_key(std::string_view path)
    {
        auto parts = split_key_path(path);
        if (!parts)
            return parts.error();
        std::int64_t id = root_id;
        bool created = false;
        Statement find(db, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
        Statement insert(db, "INSERT INTO keys (parent, name) VALUES (?1, ?2)");
        if (!find.prepared() || !insert.prepared())
            return sql_error("cannot create key");
        for (const auto& part : *parts) {
            find.reset();
            find.bind(1, id);
            find.bind(2, std::string_view(part));
            int rc = find.step();
            if (rc == SQLITE_ROW) {
                id = find.column_int(0);
                created = false;
                continue;
            }
            if (rc != SQLITE_DONE)
                return sql_error("cannot create key");
            insert.reset();
            insert.bind(1, id);
            insert.bind(2, std::string_view(part));
            if (insert.step() != SQLITE_DONE)
                return sql_error("cannot create key \"" + std::string(path) + "\"");
            id = sqlite3_last_insert_rowid(db);
            created = true;
        }
        return std::pair{id, created};
    }

    static bool busy(int code)
    {
        const int primary = code & 0xff;
        return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
    }

    // Runs one write operation in its own IMMEDIATE transaction. SQLite answers "busy" without
    // waiting in a few cases (programs creating or switching the file at the same moment), so a
    // busy write is tried again, for as long as a waiting one would have waited.
    template <class F>
    auto write_txn(F&& body) -> decltype(body())
    {
        if (access == Access::ReadOnly)
            return make_error("store \"" + file.string() + "\" is open read-only", EROFS);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(busy_timeout_ms);
        for (;;) {
            auto result = write_once(body);
            if (result.ok() || !busy(result.error().code) || std::chrono::steady_clock::now() >= until)
                return result;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    template <class F>
    auto write_once(F& body) -> decltype(body())
    {
        if (auto s = connect(true); !s)
            return s.error();
        if (auto s = exec("BEGIN IMMEDIATE"); !s)
            return s.error();
        auto result = body();
        if (!result.ok()) {
            rollback();
            return result;
        }
        if (auto s = exec("COMMIT"); !s) {
            rollback();
            return s.error();
        }
        return result;
    }
};

Store::Store(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Store::Store(Store&&) noexcept = default;
Store& Store::operator=(Store&&) noexcept = default;
Store::~Store() = default;

Result<Store> Store::open(const fs::path& file, Access access)
{
    auto impl = std::make_unique<Impl>();
    impl->file = file;
    impl->access = access;
    std::error_code ec;
    if (access == Access::ReadOnly || (fs::exists(file, ec) && fs::file_size(file, ec) > 0)) {
        if (auto s = impl->connect(false); !s)
            return s.error();
    }
    return Store(std::move(impl));
}

fs::path Store::default_path()
{
    if (const char* p = std::getenv("ORVA_STORE"); p && *p)
        return p;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return fs::path(x) / "orva" / "store.db";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".config" / "orva" / "store.db";
}

Result<Store> Store::open_default(Access access) { return open(default_path(), access); }

const fs::path& Store::file() const { return impl_->file; }
bool Store::read_only() const { return impl_->access == Access::ReadOnly; }

Result<bool> Store::create_key(std::string_view path)
{
    return impl_->write_txn([&]() -> Result<bool> {
        auto r = impl_->ensure_key(path);
        if (!r)
            return r.error();
        return r->second;
    });
}

bool Store::key_exists(std::string_view path) const
{
    return impl_->existing_key(path).ok();
}

Status Store::delete_key(std::string_view path)
{
    auto parts = split_key_path(path);
    if (!parts)
        return parts.error();
    if (parts->empty())
        return make_error("the root key cannot be deleted");
    return impl_->write_txn([&]() -> Status {
        auto id = impl_->find_key(path);
        if (!id)
            return id.error();
        if (*id < 0)
            return make_error("key \"" + std::string(path) + "\" does not exist", ENOENT);
        Statement st(impl_->db, "DELETE FROM keys WHERE id = ?1");
        st.bind(1, *id);
        if (st.step() != SQLITE_DONE)
            return impl_->sql_error("cannot delete key \"" + std::string(path) + "\"");
        return {};
    });
}

Result<std::string> Store::enumerate_subkeys(std::string_view path, std::uint32_t index) const
{
    if (index >= max_enumeration)
        return make_error("no more subkeys");
    auto id = impl_->existing_key(path);
    if (!id)
        return id.error();
    Statement st(impl_->db, "SELECT name FROM keys WHERE parent = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    st.bind(1, *id);
    st.bind(2, static_cast<std::int64_t>(index));
    if (st.step() == SQLITE_ROW)
        return st.column_text(0);
    return make_error("no more subkeys");
}

std::vector<std::string> Store::subkeys(std::string_view path) const
{
    std::vector<std::string> names;
    auto id = impl_->existing_key(path);
    if (!id)
        return names;
    Statement st(impl_->db, "SELECT name FROM keys WHERE parent = ?1 ORDER BY id LIMIT ?2");
    st.bind(1, *id);
    st.bind(2, static_cast<std::int64_t>(max_enumeration));
    while (st.step() == SQLITE_ROW)
        names.push_back(st.column_text(0));
    return names;
}

Result<Value> Store::read_value(std::string_view path, std::string_view name) const
{
    auto id = impl_->existing_key(path);
    if (!id)
        return id.error();
    Statement st(impl_->db, "SELECT name, type, data FROM vals WHERE key = ?1 AND name = ?2");
    st.bind(1, *id);
    st.bind(2, name);
    int rc = st.step();
    if (rc == SQLITE_DONE)
        return make_error("value \"" + std::string(name) + "\" is missing", ENOENT);
    if (rc != SQLITE_ROW)
        return impl_->sql_error("cannot read value \"" + std::string(name) + "\"");
    Value v;
    v.name = st.column_text(0);
    v.type = static_cast<ValueType>(st.column_int(1));
    v.data = st.column_blob(2);
    return v;
}

std::vector<Value> Store::values(std::string_view path) const
{
    std::vector<Value> out;
    auto id = impl_->existing_key(path);
    if (!id)
        return out;
    Statement st(impl_->db, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id");
    st.bind(1, *id);
    while (st.step() == SQLITE_ROW)
        out.push_back(Value{st.column_text(0), static_cast<ValueType>(st.column_int(1)), st.column_blob(2)});
    return out;
}

Result<std::string> Store::read_string(std::string_view path, std::string_view name, std::size_t buffer_size) const
{
    auto v = read_value(path, name);
    if (!v)
        return v.error();
    if (v->type != ValueType::String)
        return make_error("value \"" + std::string(name) + "\" is not a string");
    if (v->data.size() > buffer_size)
        return make_error("value \"" + std::string(name) + "\" is longer than " + std::to_string(buffer_size) + " bytes");
    std::string text(v->data.begin(), v->data.end());
    std::size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    else if (buffer_size > 0 && text.size() == buffer_size)
        text.resize(buffer_size - 1);
    return text;
}

Result<std::uint32_t> Store::read_integer(std::string_view path, std::string_view name) const
{
    auto v = read_value(path, name);
    if (!v)
        return v.error();
    if (v->type != ValueType::Integer || v->data.size() != 4)
        return make_error("value \"" + std::string(name) + "\" is not a 32-bit integer");
    const auto& d = v->data;
    return static_cast<std::uint32_t>(d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<std::uint32_t>(d[3]) << 24));
}

Result<std::vector<std::uint8_t>> Store::read_binary(std::string_view path, std::string_view name, std::size_t length) const
{
    auto v = read_value(path, name);
    if (!v)
        return v.error();
    if (v->type != ValueType::Binary)
        return make_error("value \"" + std::string(name) + "\" is not binary");
    if (v->data.size() != length)
        return make_error("value \"" + std::string(name) + "\" has " + std::to_string(v->data.size()) +
            " bytes, not " + std::to_string(length));
    return std::move(v->data);
}

Status Store::write_value(std::string_view path, const Value& value)
{
    return impl_->write_txn([&]() -> Status {
        auto key = impl_->ensure_key(path);
        if (!key)
            return key.error();
        Statement st(impl_->db,
            "INSERT INTO vals (key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
            "ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        st.bind(1, key->first);
        st.bind(2, std::string_view(value.name));
        st.bind(3, static_cast<std::int64_t>(value.type));
        st.bind_blob(4, value.data);
        if (st.step() != SQLITE_DONE)
            return impl_->sql_error("cannot write value \"" + value.name + "\"");
        return {};
    });
}

Status Store::write_string(std::string_view path, std::string_view name, std::string_view text)
{
    Value v{std::string(name), ValueType::String, std::vector<std::uint8_t>(text.begin(), text.end())};
    v.data.push_back(0);
    return write_value(path, v);
}

Status Store::write_string_bytes(std::string_view path, std::string_view name, std::string_view bytes)
{
    return write_value(path, Value{std::string(name), ValueType::String, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
}

Status Store::write_integer(std::string_view path, std::string_view name, std::uint32_t value)
{
    std::vector<std::uint8_t> d{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return write_value(path, Value{std::string(name), ValueType::Integer, std::move(d)});
}

Status Store::write_binary(std::string_view path, std::string_view name, std::span<const std::uint8_t> bytes)
{
    return write_value(path, Value{std::string(name), ValueType::Binary, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
}

Status Store::delete_value(std::string_view path, std::string_view name)
{
    return impl_->write_txn([&]() -> Status {
        auto id = impl_->find_key(path);
        if (!id)
            return id.error();
        if (*id < 0)
            return make_error("key \"" + std::string(path) + "\" does not exist", ENOENT);
        Statement st(impl_->db, "DELETE FROM vals WHERE key = ?1 AND name = ?2");
        st.bind(1, *id);
        st.bind(2, name);
        if (st.step() != SQLITE_DONE)
            return impl_->sql_error("cannot delete value \"" + std::string(name) + "\"");
        if (sqlite3_changes(impl_->db) == 0)
            return make_error("value \"" + std::string(name) + "\" does not exist", ENOENT);
        return {};
    });
}

} // namespace orva::platform
