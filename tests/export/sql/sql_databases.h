// The databases the SQL scripts are loaded into, reached through their own command-line clients:
// PostgreSQL (psql) and MariaDB (mariadb) on the servers tests/export/sql/with_databases.sh starts, and SQLite
// (sqlite3) on a file. Each one holds one table at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorv::test {

// One value as the database gives it back as text; nullopt for NULL.
using DbValue = std::optional<std::string>;
using DbRows = std::vector<std::vector<DbValue>>;

struct DbTable {
    std::string name;
    std::vector<std::string> columns;
    DbRows rows;
};

class SqlDatabase {
  public:
    virtual ~SqlDatabase() = default;
    // Empty when the database can be used, else why not (for the skip message).
    virtual std::string unavailable() const = 0;
    // Empties the database.
    virtual bool reset(std::string *error) = 0;
    // Runs a script file, stopping at its first error (false with the client's message).
    virtual bool load(const std::string &script, std::string *error) = 0;
    // The one table in the database: its name, its column names, and every row in stored order with
    // each column's value as text.
    virtual bool table(DbTable &out, std::string *error) = 0;
};

std::unique_ptr<SqlDatabase> postgresDatabase();
std::unique_ptr<SqlDatabase> mariaDatabase();
std::unique_ptr<SqlDatabase> sqliteDatabase(const std::string &file);

} // namespace quorv::test
