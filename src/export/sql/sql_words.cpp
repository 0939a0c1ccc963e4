// The reserved words of each SQL dialect: names that must be quoted to be used for a table or a column.
//
// PostgreSQL: the words its parser keeps from identifiers (pg_get_keywords() categories R and T of
// PostgreSQL 15). MySQL: the reserved words of MySQL 8.0 and the words MariaDB 10.11 refuses as a table
// or column name. SQL Server: the reserved keywords of Transact-SQL. Oracle: Oracle's reserved words.
// Ansi: the reserved words of SQL:2016, with the words SQLite and PostgreSQL refuse as names, so that an
// Ansi script loads in either.
#include "export/sql/sql_words.h"

namespace quorv::sqlwords {

namespace {

// clang-format off
const char *const kAnsiWords[] = {
    "abs", "acos", "add", "all", "allocate", "alter", "analyse", "analyze", "and", "any", "are", "array",
    "array_agg", "array_max_cardinality", "as", "asc", "asensitive", "asin", "asymmetric", "at", "atan", "atomic",
    "authorization", "autoincrement", "avg", "begin", "begin_frame", "begin_partition", "between", "bigint",
    "binary", "blob", "boolean", "both", "by", "call", "called", "cardinality", "cascaded", "case", "cast", "ceil",
    "ceiling", "char", "char_length", "character", "character_length", "check", "classifier", "clob", "close",
    "coalesce", "collate", "collation", "collect", "column", "commit", "concurrently", "condition", "connect",
    "constraint", "contains", "convert", "copy", "corr", "corresponding", "cos", "cosh", "count", "covar_pop",
    "covar_samp", "create", "cross", "cube", "cume_dist", "current", "current_catalog", "current_date",
    "current_default_transform_group", "current_path", "current_role", "current_row", "current_schema",
    "current_time", "current_timestamp", "current_transform_group_for_type", "current_user", "cursor", "cycle",
    "date", "day", "deallocate", "dec", "decfloat", "decimal", "declare", "default", "deferrable", "define",
    "delete", "dense_rank", "deref", "desc", "describe", "deterministic", "disconnect", "distinct", "do", "double",
    "drop", "dynamic", "each", "element", "else", "empty", "end", "end_frame", "end_partition", "equals", "escape",
    "every", "except", "exec", "execute", "exists", "exp", "external", "extract", "false", "fetch", "filter",
    "first_value", "float", "floor", "for", "foreign", "frame_row", "free", "freeze", "from", "full", "function",
    "fusion", "get", "global", "grant", "group", "grouping", "groups", "having", "hold", "hour", "identity", "if",
    "ilike", "in", "index", "indicator", "initial", "initially", "inner", "inout", "insensitive", "insert", "int",
    "integer", "intersect", "intersection", "interval", "into", "is", "isnull", "join", "json_array",
    "json_arrayagg", "json_exists", "json_object", "json_objectagg", "json_query", "json_table",
    "json_table_primitive", "json_value", "lag", "language", "large", "last_value", "lateral", "lead", "leading",
    "left", "like", "like_regex", "limit", "listagg", "ln", "local", "localtime", "localtimestamp", "log", "log10",
    "lower", "match", "match_number", "match_recognize", "matches", "max", "measures", "member", "merge", "method",
    "min", "minute", "mod", "modifies", "module", "month", "multiset", "national", "natural", "nchar", "nclob",
    "new", "no", "none", "normalize", "not", "nothing", "notnull", "nth_value", "ntile", "null", "nullif",
    "numeric", "occurrences_regex", "octet_length", "of", "offset", "old", "omit", "on", "one", "only", "open",
    "or", "order", "out", "outer", "over", "overlaps", "overlay", "parameter", "partition", "pattern", "per",
    "percent", "percent_rank", "percentile_cont", "percentile_disc", "period", "placing", "portion", "position",
    "position_regex", "power", "precedes", "precision", "prepare", "primary", "procedure", "ptf", "range", "rank",
    "reads", "real", "recursive", "ref", "references", "referencing", "regr_avgx", "regr_avgy", "regr_count",
    "regr_intercept", "regr_r2", "regr_slope", "regr_sxx", "regr_sxy", "regr_syy", "release", "result", "return",
    "returning", "returns", "revoke", "right", "rollback", "rollup", "row", "row_number", "rows", "running",
    "savepoint", "scope", "scroll", "search", "second", "seek", "select", "sensitive", "session_user", "set",
    "show", "similar", "sin", "sinh", "skip", "smallint", "some", "specific", "specifictype", "sql",
    "sqlexception", "sqlstate", "sqlwarning", "sqrt", "start", "static", "stddev_pop", "stddev_samp",
    "submultiset", "subset", "substring", "substring_regex", "succeeds", "sum", "symmetric", "system",
    "system_time", "system_user", "table", "tablesample", "tan", "tanh", "then", "time", "timestamp",
    "timezone_hour", "timezone_minute", "to", "trailing", "transaction", "translate", "translate_regex",
    "translation", "treat", "trigger", "trim", "trim_array", "true", "truncate", "uescape", "union", "unique",
    "unknown", "unnest", "update", "upper", "user", "using", "value", "value_of", "values", "var_pop", "var_samp",
    "varbinary", "varchar", "variadic", "varying", "verbose", "versioning", "when", "whenever", "where",
    "width_bucket", "window", "with", "within", "without", "year",
};

const char *const kOracleWords[] = {
    "access", "add", "all", "alter", "and", "any", "as", "asc", "audit", "between", "by", "char", "check",
    "cluster", "column", "column_value", "comment", "compress", "connect", "create", "current", "date", "decimal",
    "default", "delete", "desc", "distinct", "drop", "else", "exclusive", "exists", "file", "float", "for", "from",
    "grant", "group", "having", "identified", "immediate", "in", "increment", "index", "initial", "insert",
    "integer", "intersect", "into", "is", "level", "like", "lock", "long", "maxextents", "minus", "mlslabel",
    "mode", "modify", "nested_table_id", "noaudit", "nocompress", "not", "nowait", "null", "number", "of",
    "offline", "on", "online", "option", "or", "order", "pctfree", "prior", "privileges", "public", "raw",
    "rename", "resource", "revoke", "row", "rowid", "rownum", "rows", "select", "session", "set", "share", "size",
    "smallint", "start", "successful", "synonym", "sysdate", "table", "then", "to", "trigger", "uid", "union",
    "unique", "update", "user", "validate", "values", "varchar", "varchar2", "view", "whenever", "where", "with",
};

const char *const kMySqlWords[] = {
    "accessible", "add", "all", "alter", "analyze", "and", "as", "asc", "asensitive", "before", "between",
    "bigint", "binary", "blob", "both", "by", "call", "cascade", "case", "change", "char", "character", "check",
    "collate", "column", "condition", "constraint", "continue", "convert", "create", "cross", "cube", "cume_dist",
    "current_date", "current_role", "current_time", "current_timestamp", "current_user", "cursor", "database",
    "databases", "day_hour", "day_microsecond", "day_minute", "day_second", "dec", "decimal", "declare", "default",
    "delayed", "delete", "delete_domain_id", "dense_rank", "desc", "describe", "deterministic", "distinct",
    "distinctrow", "div", "do_domain_ids", "double", "drop", "dual", "each", "else", "elseif", "empty", "enclosed",
    "escaped", "except", "exists", "exit", "explain", "false", "fetch", "first_value", "float", "float4", "float8",
    "for", "force", "foreign", "from", "fulltext", "function", "generated", "get", "grant", "group", "grouping",
    "groups", "having", "high_priority", "hour_microsecond", "hour_minute", "hour_second", "if", "ignore",
    "ignore_domain_ids", "in", "index", "infile", "inner", "inout", "insensitive", "insert", "int", "int1", "int2",
    "int3", "int4", "int8", "integer", "intersect", "interval", "into", "io_after_gtids", "io_before_gtids", "is",
    "iterate", "join", "json_table", "key", "keys", "kill", "lag", "last_value", "lateral", "lead", "leading",
    "leave", "left", "like", "limit", "linear", "lines", "load", "localtime", "localtimestamp", "lock", "long",
    "longblob", "longtext", "loop", "low_priority", "manual", "master_bind", "master_demote_to_replica",
    "master_demote_to_slave", "master_ssl_verify_server_cert", "match", "maxvalue", "mediumblob", "mediumint",
    "mediumtext", "middleint", "minute_microsecond", "minute_second", "mod", "modifies", "natural",
    "no_write_to_binlog", "not", "nth_value", "ntile", "null", "numeric", "of", "offset", "on", "optimize",
    "optimizer_costs", "option", "optionally", "or", "order", "out", "outer", "outfile", "over", "page_checksum",
    "parallel", "parse_vcol_expr", "partition", "percent_rank", "portion", "precision", "primary", "procedure",
    "purge", "qualify", "range", "rank", "read", "read_write", "reads", "real", "recursive", "ref_system_id",
    "references", "regexp", "release", "rename", "repeat", "replace", "require", "resignal", "restrict", "return",
    "returning", "revoke", "right", "rlike", "row", "row_number", "rows", "schema", "schemas",
    "second_microsecond", "select", "sensitive", "separator", "set", "show", "signal", "smallint", "spatial",
    "specific", "sql", "sql_big_result", "sql_calc_found_rows", "sql_small_result", "sqlexception", "sqlstate",
    "sqlwarning", "ssl", "starting", "stats_auto_recalc", "stats_persistent", "stats_sample_pages", "stored",
    "straight_join", "system", "table", "tablesample", "terminated", "then", "tinyblob", "tinyint", "tinytext",
    "to", "trailing", "trigger", "true", "undo", "union", "unique", "unlock", "unsigned", "update", "usage", "use",
    "using", "utc_date", "utc_time", "utc_timestamp", "value", "values", "varbinary", "varchar", "varcharacter",
    "varying", "virtual", "when", "where", "while", "window", "with", "write", "xor", "year_month", "zerofill",
};

const char *const kSqlServerWords[] = {
    "add", "all", "alter", "and", "any", "as", "asc", "authorization", "backup", "begin", "between", "break",
    "browse", "bulk", "by", "cascade", "case", "check", "checkpoint", "close", "clustered", "coalesce", "collate",
    "column", "commit", "compute", "constraint", "contains", "containstable", "continue", "convert", "create",
    "cross", "current", "current_date", "current_time", "current_timestamp", "current_user", "cursor", "database",
    "dbcc", "deallocate", "declare", "default", "delete", "deny", "desc", "disk", "distinct", "distributed",
    "double", "drop", "dump", "else", "end", "errlvl", "escape", "except", "exec", "execute", "exists", "exit",
    "external", "fetch", "file", "fillfactor", "for", "foreign", "freetext", "freetexttable", "from", "full",
    "function", "goto", "grant", "group", "having", "holdlock", "identity", "identity_insert", "identitycol", "if",
    "in", "index", "inner", "insert", "intersect", "into", "is", "join", "key", "kill", "left", "like", "lineno",
    "load", "merge", "national", "nocheck", "nonclustered", "not", "null", "nullif", "of", "off", "offsets", "on",
    "open", "opendatasource", "openquery", "openrowset", "openxml", "option", "or", "order", "outer", "over",
    "percent", "pivot", "plan", "precision", "primary", "print", "proc", "procedure", "public", "raiserror",
    "read", "readtext", "reconfigure", "references", "replication", "restore", "restrict", "return", "revert",
    "revoke", "right", "rollback", "rowcount", "rowguidcol", "rule", "save", "schema", "securityaudit", "select",
    "semantickeyphrasetable", "semanticsimilaritydetailstable", "semanticsimilaritytable", "session_user", "set",
    "setuser", "shutdown", "some", "statistics", "system_user", "table", "tablesample", "textsize", "then", "to",
    "top", "tran", "transaction", "trigger", "truncate", "try_convert", "tsequal", "union", "unique", "unpivot",
    "update", "updatetext", "use", "user", "values", "varying", "view", "waitfor", "when", "where", "while",
    "with", "within", "writetext",
};

const char *const kPostgreSqlWords[] = {
    "all", "analyse", "analyze", "and", "any", "array", "as", "asc", "asymmetric", "authorization", "binary",
    "both", "case", "cast", "check", "collate", "collation", "column", "concurrently", "constraint", "create",
    "cross", "current_catalog", "current_date", "current_role", "current_schema", "current_time",
    "current_timestamp", "current_user", "default", "deferrable", "desc", "distinct", "do", "else", "end",
    "except", "false", "fetch", "for", "foreign", "freeze", "from", "full", "grant", "group", "having", "ilike",
    "in", "initially", "inner", "intersect", "into", "is", "isnull", "join", "lateral", "leading", "left", "like",
    "limit", "localtime", "localtimestamp", "natural", "not", "notnull", "null", "offset", "on", "only", "or",
    "order", "outer", "overlaps", "placing", "primary", "references", "returning", "right", "select",
    "session_user", "similar", "some", "symmetric", "table", "tablesample", "then", "to", "trailing", "true",
    "union", "unique", "user", "using", "variadic", "verbose", "when", "where", "window", "with",
};

// clang-format on

} // namespace

std::span<const char *const> ansi() {
    return kAnsiWords;
}
std::span<const char *const> oracle() {
    return kOracleWords;
}
std::span<const char *const> mySql() {
    return kMySqlWords;
}
std::span<const char *const> sqlServer() {
    return kSqlServerWords;
}
std::span<const char *const> postgreSql() {
    return kPostgreSqlWords;
}

} // namespace quorv::sqlwords
