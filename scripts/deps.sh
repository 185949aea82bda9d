#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and
# those named as arguments, when any is missing. Runs `apt-get update` once,
# then one install.
set -euo pipefail
PKGS=(cmake ninja-build g++ make pkg-config ccache clang-format
      libsqlite3-dev sqlite3 libpq-dev postgresql postgresql-contrib
      pgbouncer  # the PostgreSQL tests again through a pooler (scripts/pgbouncer.sh)
      libgtest-dev libgmock-dev googletest libbenchmark-dev
      python3 python3-dev pybind11-dev python3-jsonschema tmux
      python3-pip python3-setuptools  # pip install . (scripts/check-install.sh)
      python3-pandas  # pandas.read_sql through q6fdmgr.dbapi (tests/python/test_dbapi.py)
      libcpp-httplib-dev  # the web console of q6fd serve (src/console)
      chromium chromium-driver python3-selenium  # its browser test (tests/console)
      clang libclang-rt-14-dev)  # clang: the fuzz targets (make fuzz)
# Extra packages one target needs, as arguments: `deps.sh gnuplot-nox` (bench),
# `deps.sh lintian` (check-install).
PKGS+=("$@")
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
