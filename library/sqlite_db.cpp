#include "library/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

namespace pelmora {

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

void SqliteStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void SqliteStatement::Bind(int index, double value) {
    sqlite3_bind_double(statement_, index, value);
}

void SqliteStatement::Bind(int index, const std::string& value) {
    sqlite3_bind_text(statement_, index, value.c_str(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
}

bool SqliteStatement::Step() {
    if (statement_ == nullptr) {
        return false;
    }
    const int rc = sqlite3_step(statement_);
    done_ = rc == SQLITE_DONE;
    return rc == SQLITE_ROW;
}

void SqliteStatement::Reset() {
    sqlite3_reset(statement_);
    done_ = false;
}

std::int64_t SqliteStatement::Int(int column) const {
    return sqlite3_column_int64(statement_, column);
}

double SqliteStatement::Real(int column) const {
    return sqlite3_column_double(statement_, column);
}

std::string SqliteStatement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    return text == nullptr ? std::string() : reinterpret_cast<const char*>(text);
}

SqliteDb::~SqliteDb() {
    Close();
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), path_(std::move(other.path_)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

bool SqliteDb::Open(const std::string& path) {
    Close();
    path_ = path;
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        return false;
    }
    // Another process (the window, a sync) may hold the write lock for an import.
    sqlite3_busy_timeout(db_, 60000);
    return true;
}

void SqliteDb::Close() {
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool SqliteDb::Exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string SqliteDb::QueryText(const char* sql) {
    SqliteStatement s(db_, sql);
    return s.Step() ? s.Text(0) : std::string();
}

std::int64_t SqliteDb::QueryInt(const char* sql, std::int64_t fallback) {
    SqliteStatement s(db_, sql);
    return s.Step() ? s.Int(0) : fallback;
}

std::string SqliteDb::Error() const {
    return path_ + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "cannot open the database");
}

}  // namespace pelmora
