#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL server for the tests.
#   scripts/pg.sh start DIR   -> prints the connection string on stdout
#   scripts/pg.sh stop DIR
# The server runs as the `postgres` user (it refuses root) with its data and
# socket under DIR (a folder under /tmp), on a free port, loopback only, with
# room for 400 sessions (128 workstations straight to it hold about 300).
set -euo pipefail
cmd=${1:?start|stop}
dir=${2:?folder}
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
as_pg() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/bash -c "$*"; else bash -c "$*"; fi
}
case "$cmd" in
  start)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$dir"
    chmod 700 "$dir"
    if [ ! -f "$dir/data/PG_VERSION" ]; then
      as_pg "'$bin/initdb' -D '$dir/data' -U postgres -A trust -E UTF8 --locale=C.UTF-8" >"$dir/initdb.log" 2>&1
    fi
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    as_pg "'$bin/pg_ctl' -D '$dir/data' -l '$dir/server.log' -w -o \"-p $port -k '$dir' -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=400\" start" >&2
    echo "$port" >"$dir/port"
    as_pg "'$bin/psql' -h '$dir' -p $port -U postgres -d postgres -qAt -c 'select 1'" >/dev/null
    as_pg "'$bin/createdb' -h '$dir' -p $port -U postgres q6test" 2>/dev/null || true
    as_pg "'$bin/psql' -h '$dir' -p $port -U postgres -d q6test -qc 'create extension if not exists citext'" >&2
    echo "Driver=postgresql;Server=$dir;Port=$port;Database=q6test;UID=postgres"
    ;;
  stop)
    [ -d "$dir/data" ] && as_pg "'$bin/pg_ctl' -D '$dir/data' -m fast -w stop" >&2 || true
    ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
