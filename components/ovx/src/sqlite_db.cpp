#include "sqlite_db.h"

namespace ovx::detail {

Db::Db(const std::string& path, bool create, bool readOnly) : path_(path) {
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !readOnly) flags |= SQLITE_OPEN_CREATE;
    flags |= SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error(kErrIo, "Cannot open the network database " + path + ": " + msg);
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_extended_result_codes(db_, 1);
}

Db::~Db() {
    sqlite3_close_v2(db_);
}

void Db::Fail(const std::string& what) const {
    const int rc = sqlite3_errcode(db_) & 0xff;
    const std::uint32_t code = (rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB) ? kErrCorruptDatabase : kErrIo;
    const std::string prefix = code == kErrCorruptDatabase
                                   ? "The network database " + path_ + " is damaged or not a network database"
                                   : "Database error in " + path_;
    throw Error(code, prefix + " (" + what + "): " + sqlite3_errmsg(db_));
}

void Db::Exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        sqlite3_free(err);
        Fail(sql);
    }
}

Stmt::Stmt(Db& db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db.Raw(), sql, -1, &stmt_, nullptr) != SQLITE_OK) db.Fail(sql);
}

Stmt::~Stmt() {
    sqlite3_finalize(stmt_);
}

Stmt& Stmt::Bind(int i, std::int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
}
Stmt& Stmt::Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}
Stmt& Stmt::BindNull(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
}
Stmt& Stmt::BindValue(int i, const Value& v) {
    if (auto p = std::get_if<std::int32_t>(&v)) return Bind(i, static_cast<std::int64_t>(*p));
    if (auto s = std::get_if<std::string>(&v)) return Bind(i, *s);
    return BindNull(i);
}

bool Stmt::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    db_.Fail(sqlite3_sql(stmt_));
}

void Stmt::Run() {
    while (Step()) {
    }
    Reset();
}

void Stmt::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Stmt::Text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(stmt_, col))
             : std::string();
}

Value Stmt::ValueAt(int col) const {
    switch (sqlite3_column_type(stmt_, col)) {
        case SQLITE_INTEGER:
            return static_cast<std::int32_t>(sqlite3_column_int64(stmt_, col));
        case SQLITE_NULL:
            return std::monostate{};
        default:
            return Text(col);
    }
}

}  // namespace ovx::detail
