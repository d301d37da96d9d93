// Small RAII layer over sqlite3: a connection and prepared statements that
// throw ovx::Error with the database file in the description.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "ovx/errors.h"
#include "ovx/ovx.h"

namespace ovx::detail {

class Db;

class Stmt {
public:
    Stmt(Db& db, const char* sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    Stmt& Bind(int i, std::int64_t v);
    Stmt& Bind(int i, const std::string& v);
    Stmt& BindNull(int i);
    Stmt& BindValue(int i, const Value& v);
    bool Step();  // true while a row is there
    void Run();   // steps to the end and resets
    void Reset();

    std::int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::string Text(int col) const;
    bool IsNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    Value ValueAt(int col) const;

private:
    Db& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

class Db {
public:
    // readOnly opens without write access (and never creates the file).
    Db(const std::string& path, bool create, bool readOnly = false);
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void Exec(const char* sql);
    std::int64_t LastRowId() const { return sqlite3_last_insert_rowid(db_); }
    const std::string& Path() const { return path_; }
    sqlite3* Raw() const { return db_; }
    [[noreturn]] void Fail(const std::string& what) const;

private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

}  // namespace ovx::detail
