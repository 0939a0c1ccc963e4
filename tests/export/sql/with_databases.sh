#!/usr/bin/env bash
# Starts throwaway PostgreSQL and MariaDB servers, runs the command given, and stops them again.
# Both listen only on sockets in a temporary folder (PostgreSQL also on 127.0.0.1). The command finds
# them through QUORV_PG_SOCKET_DIR / QUORV_PG_PORT and QUORV_MY_SOCKET; a server that cannot be started
# (package missing) leaves its variable unset and the tests that need it skip with a message.
set -u

ROOT=$(mktemp -d /tmp/quorv-sqldb.XXXXXX)
chmod 755 "$ROOT"
PGPID_DIR=""
MYPID=""
AS_PG=()
MY_USER=()
if [ "$(id -u)" = 0 ]; then
    AS_PG=(runuser -u postgres --)
    MY_USER=(--user=mysql)
fi

stop_all() {
    if [ -n "$PGPID_DIR" ]; then
        "${AS_PG[@]}" "$PGBIN/pg_ctl" -D "$PGPID_DIR" -m immediate -w stop >/dev/null 2>&1
    fi
    if [ -n "$MYPID" ]; then
        mariadb-admin --no-defaults --socket="$ROOT/my/mysqld.sock" -u root shutdown >/dev/null 2>&1 ||
            kill "$MYPID" 2>/dev/null
        wait "$MYPID" 2>/dev/null
    fi
    rm -rf "$ROOT"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

start_postgres() {
    command -v pg_config >/dev/null || { echo "PostgreSQL is not installed (package postgresql)"; return 1; }
    PGBIN=$(pg_config --bindir)
    [ -x "$PGBIN/initdb" ] || { echo "PostgreSQL server programs are not installed (package postgresql)"; return 1; }
    local dir=$ROOT/pg port
    mkdir "$dir"
    [ ${#AS_PG[@]} -gt 0 ] && chown postgres:postgres "$dir"
    "${AS_PG[@]}" "$PGBIN/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
        { echo "initdb failed:"; cat "$dir/initdb.log"; return 1; }
    for port in 55432 55433 55434 55435 55436; do
        if "${AS_PG[@]}" "$PGBIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c full_page_writes=off -c synchronous_commit=off" \
            start >/dev/null 2>&1; then
            PGPID_DIR=$dir/data
            export QUORV_PG_SOCKET_DIR=$dir QUORV_PG_PORT=$port
            return 0
        fi
    done
    echo "PostgreSQL did not start:"; cat "$dir/server.log"
    return 1
}

start_mariadb() {
    command -v mariadbd >/dev/null || [ -x /usr/sbin/mariadbd ] ||
        { echo "MariaDB is not installed (package mariadb-server)"; return 1; }
    local dir=$ROOT/my daemon
    daemon=$(command -v mariadbd || echo /usr/sbin/mariadbd)
    mkdir "$dir"
    [ ${#MY_USER[@]} -gt 0 ] && chown mysql:mysql "$dir"
    mariadb-install-db --no-defaults "${MY_USER[@]}" --datadir="$dir/data" --auth-root-authentication-method=normal \
        --skip-test-db >"$dir/install.log" 2>&1 || { echo "mariadb-install-db failed:"; cat "$dir/install.log"; return 1; }
    "$daemon" --no-defaults "${MY_USER[@]}" --datadir="$dir/data" --socket="$dir/mysqld.sock" \
        --pid-file="$dir/mysqld.pid" --log-error="$dir/error.log" --skip-networking --skip-log-bin \
        --innodb-buffer-pool-size=64M --innodb-log-file-size=48M --innodb-flush-log-at-trx-commit=0 \
        --innodb-doublewrite=0 --max-allowed-packet=64M </dev/null >/dev/null 2>&1 &
    MYPID=$!
    local i
    for i in $(seq 1 120); do
        mariadb-admin --no-defaults --socket="$dir/mysqld.sock" -u root ping >/dev/null 2>&1 && {
            export QUORV_MY_SOCKET=$dir/mysqld.sock
            return 0
        }
        kill -0 "$MYPID" 2>/dev/null || break
        sleep 0.25
    done
    echo "MariaDB did not start:"; cat "$dir/error.log"
    return 1
}

start_postgres
start_mariadb
"$@"
