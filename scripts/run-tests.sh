#!/usr/bin/env bash
# Runs every test program on both engines against the build folder $1.
# SQLite needs nothing; PostgreSQL gets a throwaway server for the run.
#
# Then, when pgbouncer is installed, the PostgreSQL tests run a second time
# through a connection pooler in transaction mode in front of the same
# server (scripts/pgbouncer.sh; the data source says Pooler=transaction).
# Q6FD_TEST_POOLER=0 leaves that run out.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
pgdir=$(mktemp -d /tmp/q6fd-pg.XXXXXX)
pbdir=$(mktemp -d /tmp/q6fd-pgbouncer.XXXXXX)
cleanup() {
  bash "$here/pgbouncer.sh" stop "$pbdir" || true
  bash "$here/pg.sh" stop "$pgdir" || true
  rm -rf "$pgdir" "$pbdir"
}
trap cleanup EXIT
export Q6FD_TEST_PG
Q6FD_TEST_PG=$(bash "$here/pg.sh" start "$pgdir")
direct=$Q6FD_TEST_PG
echo "PostgreSQL for tests: $Q6FD_TEST_PG"
cd "$build"
status=0
ctest --output-on-failure -j 2 --timeout 900 || status=$?
if [ "${Q6FD_TEST_POOLER:-1}" != 0 ] && [ -x /usr/sbin/pgbouncer ]; then
  # Room for every connection the tests hold at once (two programs at a
  # time); the pooler's own limit is measured by the workstations benchmark.
  Q6FD_TEST_PG=$(bash "$here/pgbouncer.sh" start "$pbdir" "$direct" 60)
  echo "PostgreSQL through the pooler: $Q6FD_TEST_PG"
  start=$(date +%s)
  # Only the tests that run on PostgreSQL: the others would repeat the run
  # above.
  GTEST_FILTER='*PostgreSQL*:*Pg*:*Postgres*' ctest --output-on-failure -j 2 --timeout 900 \
    -E '^(python|console_browser)$' || status=$?
  echo "through the pooler: $(($(date +%s) - start)) s"
fi
exit "$status"
