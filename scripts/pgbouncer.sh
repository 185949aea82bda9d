#!/usr/bin/env bash
# Starts or stops a throwaway connection pooler in transaction mode in front
# of a server started by scripts/pg.sh.
#   scripts/pgbouncer.sh start DIR "CONNECTION STRING" [POOL_SIZE]
#       -> prints the connection string through the pooler on stdout
#   scripts/pgbouncer.sh stop DIR
# The connection string is the one scripts/pg.sh printed (its Server is the
# socket folder, its Port the server's). The pooler runs as the `postgres`
# user with its configuration, socket, log and pid file under DIR (a folder
# under /tmp), on a free loopback port, at most POOL_SIZE (default 20)
# server connections per database and user.
set -euo pipefail
cmd=${1:?start|stop}
dir=${2:?folder}
bin=/usr/sbin/pgbouncer
as_pg() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/bash -c "$*"; else bash -c "$*"; fi
}
# The value of KEY in a connection string "K=v;K2=v2" (keys matched without case).
key() { tr ';' '\n' <<<"$1" | awk -F= -v k="$2" 'tolower($1) == tolower(k) { sub(/^[^=]*=/, ""); print; exit }'; }
case "$cmd" in
  start)
    conn=${3:?connection string of the server}
    pool=${4:-20}
    [ -x "$bin" ] || { echo "pgbouncer is not installed (scripts/deps.sh pgbouncer)" >&2; exit 1; }
    server=$(key "$conn" Server)
    port=$(key "$conn" Port)
    db=$(key "$conn" Database)
    user=$(key "$conn" UID)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$dir"
    chmod 700 "$dir"
    listen=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    cat >"$dir/pgbouncer.ini" <<EOF
[databases]
* = host=$server port=$port
[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $listen
unix_socket_dir = $dir
auth_type = trust
auth_file = $dir/users.txt
pool_mode = transaction
default_pool_size = $pool
max_client_conn = 2000
max_db_connections = $pool
server_lifetime = 3600
server_idle_timeout = 60
server_check_delay = 0
logfile = $dir/pgbouncer.log
pidfile = $dir/pgbouncer.pid
admin_users = $user
stats_users = $user
EOF
    echo "\"$user\" \"\"" >"$dir/users.txt"
    [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$dir/pgbouncer.ini" "$dir/users.txt"
    as_pg "'$bin' -d -q '$dir/pgbouncer.ini'" >&2
    for _ in $(seq 1 50); do
      [ -S "$dir/.s.PGSQL.$listen" ] && break
      sleep 0.1
    done
    [ -S "$dir/.s.PGSQL.$listen" ] || { cat "$dir/pgbouncer.log" >&2; exit 1; }
    echo "$listen" >"$dir/port"
    echo "Driver=postgresql;Server=$dir;Port=$listen;Database=$db;UID=$user;Pooler=transaction"
    ;;
  stop)
    if [ -f "$dir/pgbouncer.pid" ]; then
      pid=$(cat "$dir/pgbouncer.pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    ;;
  *) echo "usage: $0 start DIR CONNECTION-STRING [POOL_SIZE] | stop DIR" >&2; exit 2 ;;
esac
