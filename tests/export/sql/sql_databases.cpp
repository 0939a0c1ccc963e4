#include "export/sql/sql_databases.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/test_support.h"

namespace quorv::test {

namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool onPath(const std::string &program) {
    return runProgram({"sh", "-c", "command -v \"$0\" >/dev/null", program}).status == 0;
}

bool check(const RunResult &run, const std::string &what, std::string *error) {
    if (run.status == 0)
        return true;
    *error = what + " failed (exit " + std::to_string(run.status) + "): " + run.err.substr(0, 2000);
    return false;
}

std::string fromHex(const std::string &hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Lines of comma-separated hexadecimal values, "N" for NULL (an empty text is an empty field).
DbRows parseRows(const std::string &text) {
    DbRows rows;
    std::vector<std::string> lines = splitText(text, '\n');
    if (lines.back().empty())
        lines.pop_back(); // what follows the last line break
    for (std::string &line : lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        rows.emplace_back();
        for (const std::string &value : splitText(line, ','))
            rows.back().push_back(value == "N" ? DbValue() : DbValue(fromHex(value)));
    }
    return rows;
}

// Output whose first line holds the table's name and its column names, the other lines its rows.
bool splitTable(const std::string &text, DbTable &out, std::string *error) {
    size_t end = text.find('\n');
    if (text.empty() || end == std::string::npos) {
        *error = "the database holds no table";
        return false;
    }
    DbRows head = parseRows(text.substr(0, end));
    out.columns.clear();
    for (size_t i = 0; i < head[0].size(); ++i)
        (i == 0 ? out.name : out.columns.emplace_back()) = head[0][i].value_or("");
    out.rows = parseRows(text.substr(end + 1));
    return true;
}

class Postgres : public SqlDatabase {
  public:
    Postgres() : socketFolder_(environment("QUORV_PG_SOCKET_DIR")), port_(environment("QUORV_PG_PORT")) {}
    std::string unavailable() const override {
        return socketFolder_.empty() ? "no PostgreSQL server is running for this test (package postgresql; the test "
                                       "runs through tests/export/sql/with_databases.sh)"
                                     : "";
    }
    bool reset(std::string *error) override {
        return check(psql({"-c", "DROP SCHEMA IF EXISTS public CASCADE", "-c", "CREATE SCHEMA public"}),
                     "psql", error);
    }
    bool load(const std::string &script, std::string *error) override {
        return check(psql({"-f", script}), "psql -f " + script, error);
    }
    bool table(DbTable &out, std::string *error) override {
        // The first line names the table and its columns; the query of the rows is built from the
        // catalog and run by \gexec.
        TempDir dir;
        writeFile(
            dir.file("query.sql"),
            "SELECT encode(convert_to(table_name, 'UTF8'), 'hex') || ',' || string_agg(encode(convert_to("
            "column_name, 'UTF8'), 'hex'), ',' ORDER BY ordinal_position) FROM information_schema.columns "
            "WHERE table_schema = 'public' GROUP BY table_name;\n"
            "SELECT 'SELECT ' || string_agg(format('coalesce(encode(convert_to(%I::text, ''UTF8''), "
            "''hex''), ''N'')', c.column_name), ' || '','' || ' ORDER BY c.ordinal_position) || ' FROM ' "
            "|| format('%I', c.table_name) FROM information_schema.columns c WHERE c.table_schema = "
            "'public' GROUP BY c.table_name\n\\gexec\n");
        RunResult run = psql({"-A", "-t", "-f", dir.file("query.sql")});
        return check(run, "psql query", error) && splitTable(run.out, out, error);
    }

  private:
    RunResult psql(std::vector<std::string> args) const {
        std::vector<std::string> argv = {"psql",           "-h", socketFolder_, "-p", port_, "-U",
                                         "postgres",       "-d", "postgres",    "-X", "-q",  "-v",
                                         "ON_ERROR_STOP=1"};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProgram(argv);
    }
    std::string socketFolder_, port_;
};

class Maria : public SqlDatabase {
  public:
    Maria() : socket_(environment("QUORV_MY_SOCKET")) {}
    std::string unavailable() const override {
        return socket_.empty() ? "no MariaDB server is running for this test (package mariadb-server; the test "
                                 "runs through tests/export/sql/with_databases.sh)"
                               : "";
    }
    bool reset(std::string *error) override {
        return check(
            client(
                {"-e", "DROP DATABASE IF EXISTS convtest; CREATE DATABASE convtest CHARACTER SET utf8mb4"}),
            "mariadb", error);
    }
    bool load(const std::string &script, std::string *error) override {
        // The client stops at the first error of a script read from standard input (strict mode is the
        // server's default).
        RunResult run =
            runProgram({"sh", "-c", "exec mariadb --no-defaults --socket=\"$0\" -u root convtest < \"$1\"",
                        socket_, script});
        return check(run, "mariadb < " + script, error);
    }
    bool table(DbTable &out, std::string *error) override {
        RunResult run = client(
            {"-N", "-B", "-r", "convtest", "-e",
             "SET SESSION group_concat_max_len = 1000000; "
             "SELECT CONCAT(HEX(table_name), ',', GROUP_CONCAT(HEX(column_name) ORDER BY ordinal_position)) "
             "FROM information_schema.columns WHERE table_schema = DATABASE() GROUP BY table_name; "
             "SET @q = (SELECT CONCAT('SELECT CONCAT_WS('','', ', GROUP_CONCAT(CONCAT('IFNULL(HEX(CAST(`', "
             "REPLACE(column_name, '`', '``'), '` AS CHAR)), ''N'')') ORDER BY ordinal_position SEPARATOR ', "
             "'), "
             "') FROM `', REPLACE(table_name, '`', '``'), '`') FROM information_schema.columns WHERE "
             "table_schema = DATABASE() GROUP BY table_name); PREPARE q FROM @q; EXECUTE q;"});
        return check(run, "mariadb query", error) && splitTable(run.out, out, error);
    }

  private:
    RunResult client(std::vector<std::string> args) const {
        std::vector<std::string> argv = {"mariadb", "--no-defaults", "--socket=" + socket_,
                                         "-u",      "root",          "--default-character-set=utf8mb4"};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProgram(argv);
    }
    std::string socket_;
};

class Sqlite : public SqlDatabase {
  public:
    explicit Sqlite(std::string file) : file_(std::move(file)) {}
    std::string unavailable() const override {
        return onPath("sqlite3") ? "" : "sqlite3 is not installed (package sqlite3)";
    }
    bool reset(std::string *) override {
        std::remove(file_.c_str());
        return true;
    }
    bool load(const std::string &script, std::string *error) override {
        // Durability is of no use here; without it the many small transactions of a script are fast.
        return check(runProgram({"sqlite3", "-bail", "-cmd", "PRAGMA synchronous=OFF", "-cmd",
                                 "PRAGMA journal_mode=MEMORY", file_, ".read \"" + script + "\""}),
                     "sqlite3 .read " + script, error);
    }
    bool table(DbTable &out, std::string *error) override {
        RunResult tables =
            runProgram({"sqlite3", file_, "SELECT hex(name) FROM sqlite_master WHERE type = 'table'"});
        if (!check(tables, "sqlite3", error))
            return false;
        out.name = fromHex(tables.out.substr(0, tables.out.find('\n')));
        auto quoted = [](const std::string &name, char q) {
            std::string text(1, q);
            for (char c : name)
                text += c == q ? std::string(2, c) : std::string(1, c);
            return text + q;
        };
        RunResult columns = runProgram(
            {"sqlite3", file_, "SELECT hex(name) FROM pragma_table_info(" + quoted(out.name, '\'') + ")"});
        if (!check(columns, "sqlite3", error))
            return false;
        std::string select;
        out.columns.clear();
        std::istringstream names(columns.out);
        std::string name;
        while (std::getline(names, name)) {
            out.columns.push_back(fromHex(name));
            std::string c = quoted(out.columns.back(), '"');
            select += std::string(select.empty() ? "" : " || ',' || ") + "CASE typeof(" + c +
                      ") WHEN 'null' THEN 'N' WHEN 'real' THEN hex(printf('%.17g', " + c + ")) ELSE hex(" +
                      c + ") END";
        }
        RunResult run = runProgram({"sqlite3", file_, "SELECT " + select + " FROM " + quoted(out.name, '"')});
        if (!check(run, "sqlite3 query", error))
            return false;
        out.rows = parseRows(run.out);
        return true;
    }

  private:
    std::string file_;
};

} // namespace

std::unique_ptr<SqlDatabase> postgresDatabase() {
    return std::make_unique<Postgres>();
}
std::unique_ptr<SqlDatabase> mariaDatabase() {
    return std::make_unique<Maria>();
}
std::unique_ptr<SqlDatabase> sqliteDatabase(const std::string &file) {
    return std::make_unique<Sqlite>(file);
}

} // namespace quorv::test
