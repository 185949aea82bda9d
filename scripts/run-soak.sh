#!/usr/bin/env bash
# The long reliability runs against the build folder $1: reliability_tests
# with Q6_SOAK=1 and a whole-road stress run of $2 seconds (default 60) per
# engine. PostgreSQL gets a throwaway server of its own: one of the tests
# restarts it, so it must not be shared with other test programs.
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
pgdir=$(mktemp -d /tmp/q6fd-soak-pg.XXXXXX)
cleanup() { bash "$(dirname "$0")/pg.sh" stop "$pgdir" || true; rm -rf "$pgdir"; }
trap cleanup EXIT
export Q6FD_TEST_PG
Q6FD_TEST_PG=$(bash "$(dirname "$0")/pg.sh" start "$pgdir")
echo "PostgreSQL for the soak run: $Q6FD_TEST_PG"
export Q6_SOAK=1 Q6_STRESS_SECONDS="$seconds"
"$build/bin/reliability_tests"
