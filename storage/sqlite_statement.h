// A thin hold on one prepared SQLite statement: prepared once, reset after
// each use, finalized with the holder. Errors come back as SQLite's codes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace rivek {

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3* db, std::string_view sql) {
        code_ = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                   &statement_, nullptr);
    }
    ~SqliteStatement() { sqlite3_finalize(statement_); }
    SqliteStatement(SqliteStatement&& other) noexcept : statement_(other.statement_), code_(other.code_) {
        other.statement_ = nullptr;
    }
    SqliteStatement& operator=(SqliteStatement&& other) noexcept {
        if (this != &other) {
            sqlite3_finalize(statement_);
            statement_ = other.statement_;
            code_ = other.code_;
            other.statement_ = nullptr;
        }
        return *this;
    }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // SQLITE_OK when prepared.
    int PrepareCode() const { return code_; }

    // Parameters count from 1.
    void Bind(int at, std::int64_t value) { sqlite3_bind_int64(statement_, at, value); }
    void BindBytes(int at, std::string_view bytes) {
        sqlite3_bind_blob64(statement_, at, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return statement_ == nullptr ? code_ : sqlite3_step(statement_); }
    // Ready for the next use, parameters cleared; returns the last step's code.
    int Reset() {
        const int code = sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
        return code;
    }

    // Columns count from 0.
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string Bytes(int column) const {
        const void* data = sqlite3_column_blob(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
    }

private:
    sqlite3_stmt* statement_ = nullptr;
    int code_ = SQLITE_MISUSE;
};

}  // namespace rivek
