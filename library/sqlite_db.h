#pragma once
// A thin owner of an SQLite connection and its statements (the C API), with errors as text.
#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace pelmora {

class SqliteStatement {
  public:
    SqliteStatement(sqlite3* db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool ok() const { return statement_ != nullptr; }
    void Bind(int index, std::int64_t value);
    void Bind(int index, double value);
    void Bind(int index, const std::string& value);
    // True while a row is there; false at the end or on an error (then Done() is false).
    bool Step();
    // Ready to Step again with new bindings.
    void Reset();
    bool Done() const { return done_; }
    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;

  private:
    sqlite3_stmt* statement_ = nullptr;
    bool done_ = false;
};

class SqliteDb {
  public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;

    [[nodiscard]] bool Open(const std::string& path);
    void Close();
    [[nodiscard]] bool Exec(const std::string& sql);
    // The first column of the first row as text; empty when there is none.
    std::string QueryText(const char* sql);
    std::int64_t QueryInt(const char* sql, std::int64_t fallback = 0);
    sqlite3* handle() const { return db_; }
    // The last error of this connection, with the path.
    std::string Error() const;

  private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

}  // namespace pelmora
