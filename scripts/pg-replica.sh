#!/usr/bin/env bash
# A throwaway streaming replica of a server started by scripts/pg.sh, for
# the failover tests.
#   scripts/pg-replica.sh start PRIMARY_DIR DIR [PORT]
#       copies the primary with pg_basebackup into DIR/data, starts it as a
#       standby (on PORT, else a free port; socket in DIR) and makes it the
#       primary's synchronous standby: a commit on the primary returns once
#       the standby has its WAL on disk. Prints the port.
#   scripts/pg-replica.sh promote DIR    the standby becomes a primary
#   scripts/pg-replica.sh crash DIR      stops a server at once, as a power
#                                        cut does (no shutdown checkpoint)
#   scripts/pg-replica.sh stop DIR
set -euo pipefail
cmd=${1:?start|promote|crash|stop}
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
as_pg() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/bash -c "$*"; else bash -c "$*"; fi
}
psql_at() { as_pg "'$bin/psql' -h '$1' -p $2 -U postgres -d postgres -qAt -c \"$3\""; }
case "$cmd" in
  start)
    primary=${2:?primary folder}
    dir=${3:?folder}
    pport=$(cat "$primary/port")
    port=${4:-$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')}
    name="standby_$port"
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$dir"
    chmod 700 "$dir"
    rm -rf "$dir/data"
    as_pg "'$bin/pg_basebackup' -h '$primary' -p $pport -U postgres -D '$dir/data' -R -X stream -c fast" >"$dir/basebackup.log" 2>&1
    # The standby must not wait for a standby of its own once promoted: the
    # copy leaves out the primary's synchronous setting.
    as_pg "sed -i '/synchronous_standby_names/d' '$dir/data/postgresql.auto.conf'"
    as_pg "'$bin/pg_ctl' -D '$dir/data' -l '$dir/server.log' -w -o \"-p $port -k '$dir' -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=400 -c cluster_name=$name\" start" >&2
    echo "$port" >"$dir/port"
    psql_at "$primary" "$pport" "alter system set synchronous_standby_names = '$name'" >/dev/null
    psql_at "$primary" "$pport" "select pg_reload_conf()" >/dev/null
    for _ in $(seq 1 100); do
      state=$(psql_at "$primary" "$pport" "select sync_state from pg_stat_replication where application_name = '$name'" || true)
      [ "$state" = sync ] && break
      sleep 0.1
    done
    [ "$state" = sync ] || { echo "the standby did not become synchronous" >&2; exit 1; }
    echo "$port"
    ;;
  promote)
    dir=${2:?folder}
    as_pg "'$bin/pg_ctl' -D '$dir/data' -w promote" >&2
    ;;
  crash)
    dir=${2:?folder}
    [ -d "$dir/data" ] && as_pg "'$bin/pg_ctl' -D '$dir/data' -m immediate -w stop" >&2 || true
    ;;
  stop)
    dir=${2:?folder}
    [ -d "$dir/data" ] && as_pg "'$bin/pg_ctl' -D '$dir/data' -m fast -w stop" >&2 || true
    ;;
  *) echo "usage: $0 start PRIMARY_DIR DIR [PORT] | promote DIR | crash DIR | stop DIR" >&2; exit 2 ;;
esac
