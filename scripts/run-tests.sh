#!/usr/bin/env bash
# Runs every test program on both engines against the build folder $1.
# SQLite needs nothing; PostgreSQL gets a throwaway server for the run.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
pgdir=$(mktemp -d /tmp/q6fd-pg.XXXXXX)
cleanup() { bash "$here/pg.sh" stop "$pgdir" || true; rm -rf "$pgdir"; }
trap cleanup EXIT
export Q6FD_TEST_PG
Q6FD_TEST_PG=$(bash "$here/pg.sh" start "$pgdir")
echo "PostgreSQL for tests: $Q6FD_TEST_PG"
cd "$build"
ctest --output-on-failure -j 2 --timeout 900
