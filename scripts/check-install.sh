#!/usr/bin/env bash
# The library as its users get it. From the build tree $1 (default build/):
#  1. `cmake --install` into a temporary prefix, then move the prefix (every
#     path in it must be relative) and check the RUNPATHs say $ORIGIN;
#  2. compile every installed header alone from the prefix; build
#     examples/walk.cpp from outside the tree against the moved prefix,
#     once with find_package and once with pkg-config (linked --as-needed),
#     and a program that names no symbol of the component and creates its
#     classes by ProgID all the same;
#     configure a host project that adds the tree with add_subdirectory;
#  3. run both examples and examples/walk.py on the SQLite data source that
#     `q6fd demo` writes into an empty folder;
#  4. `pip install --no-build-isolation` the tree into a folder and run the
#     Python example with that module;
#  5. build the .deb; in CI (root on a throwaway machine) install it with apt,
#     run `q6fd demo` in an empty folder and the Python module from it, and
#     remove it again; elsewhere unpack it and run its q6fd from there.
set -euo pipefail
cd "$(dirname "$0")/.."
SRC=$PWD
BUILD=$(realpath "${1:-build}")
JOBS=${JOBS:-2}
PY=/usr/bin/python3  # Debian's interpreter: pip and setuptools are its packages
TMP=$(mktemp -d /tmp/q6fd-install.XXXXXX)
trap 'rm -rf "$TMP"' EXIT
step() { printf '\n== %s\n' "$*"; }
fail() { echo "check-install: $*" >&2; exit 1; }

step "install into a temporary prefix, then move it"
cmake --build "$BUILD" -j "$JOBS" --target q6fd q6fdmgr_py
cmake --install "$BUILD" --prefix "$TMP/staged" >/dev/null
mv "$TMP/staged" "$TMP/prefix"
P=$TMP/prefix
LIBDIR=$(dirname "$(find "$P" -name 'libq6runtime.so.1' | head -n1)")
[ -n "$LIBDIR" ] || fail "no libq6runtime.so.1 under $P"
PYDIR=$(dirname "$(find "$P" -name 'q6fdmgr*.so' | head -n1)")
for f in "$P/bin/q6fd" "$LIBDIR"/libq6*.so.1 "$PYDIR"/q6fdmgr*.so; do
  runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  case "$runpath" in
    '$ORIGIN'*) ;;
    *) fail "$f has RUNPATH '$runpath', not relative to \$ORIGIN" ;;
  esac
done
[ -f "$P/include/q6fd/q6fd.h" ] || fail "no umbrella header"
export PKG_CONFIG_PATH=$LIBDIR/pkgconfig
[ "$(pkg-config --modversion q6fd)" = "1.1.0" ] || fail "pkg-config does not know q6fd 1.1.0"

step "every installed header compiles on its own"
find "$P/include/q6fd" -name '*.h' -print0 |
  xargs -0 -P "$JOBS" -I{} sh -c \
    'g++ -std=c++20 -fsyntax-only -I"$1/include" -I"$1/include/q6fd" -include "$2" -x c++ /dev/null || exit 255' \
    _ "$P" {} || fail "an installed header does not compile from the prefix"
echo "$(find "$P/include/q6fd" -name '*.h' | wc -l) headers"

step "build the example from outside the tree: find_package"
cmake -S "$SRC/examples" -B "$TMP/ex-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$P" >/dev/null
cmake --build "$TMP/ex-cmake" -j "$JOBS"

step "build the example from outside the tree: pkg-config, --as-needed"
PCFLAGS=(-std=c++20 $(pkg-config --cflags q6fd))
PCLIBS=(-Wl,--as-needed $(pkg-config --libs q6fd) -Wl,-rpath,"$LIBDIR")
g++ "${PCFLAGS[@]}" "$SRC/examples/walk.cpp" -o "$TMP/walk-pc" "${PCLIBS[@]}"

# Only the runtime is named: --as-needed drops the component, and
# CreateObject has to find it beside the runtime.
cat >"$TMP/by_progid.cpp" <<'CPP'
#include <q6fd/q6fd.h>
#include <iostream>
int main() {
  auto dm = q6::CreateObject("Q6FDMgr.DataManager");
  std::cout << dm->Interface().name << "\n";
  try {
    q6::CreateObject("Q6FDMgr.NoSuchClass");
  } catch (const q6::ComError& e) {
    std::cout << e.description() << "\n";
  }
}
CPP
g++ "${PCFLAGS[@]}" "$TMP/by_progid.cpp" -o "$TMP/by_progid" "${PCLIBS[@]}"
if readelf -d "$TMP/by_progid" | grep -q 'libq6fdmgr'; then
  fail "by_progid links the component directly; the check would prove nothing"
fi
"$TMP/by_progid" | tee "$TMP/by_progid.out"
grep -qx '_DataManager' "$TMP/by_progid.out" || fail "CreateObject did not find the component"
grep -q 'Link the library' "$TMP/by_progid.out" || fail "the not-registered error gives no hint"

step "the tree as a subproject: no tests, no install rules, no flags for the host"
mkdir "$TMP/host"
cat >"$TMP/host/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(host CXX)
add_subdirectory("$SRC" q6fd)
add_executable(app app.cpp)
target_link_libraries(app PRIVATE q6fdmgr)
get_directory_property(flags COMPILE_OPTIONS)
get_directory_property(links LINK_OPTIONS)
file(WRITE "\${CMAKE_BINARY_DIR}/host-flags.txt" "[\${flags}][\${links}][\${CMAKE_CXX_FLAGS}]")
CMAKE
cp "$SRC/examples/walk.cpp" "$TMP/host/app.cpp"
cmake -S "$TMP/host" -B "$TMP/host/build" -G Ninja >/dev/null
[ "$(cat "$TMP/host/build/host-flags.txt")" = "[][][]" ] ||
  fail "the subproject set flags for its host: $(cat "$TMP/host/build/host-flags.txt")"
if ninja -C "$TMP/host/build" -t targets all | grep -E '_tests|^install:' >/dev/null; then
  fail "the subproject adds tests or install rules to its host"
fi
[ ! -f "$TMP/host/build/CTestTestfile.cmake" ] || fail "the subproject enables testing in its host"

step "run the examples on the demo's SQLite data source"
mkdir "$TMP/run"
(
  cd "$TMP/run"
  export Q6FD_REGISTRY=$TMP/run/registry.txt
  "$P/bin/q6fd" demo >demo.out || { cat demo.out; fail "q6fd demo failed"; }
  "$TMP/ex-cmake/walk"
  "$TMP/walk-pc"
  PYTHONPATH=$PYDIR "$PY" "$SRC/examples/walk.py"
  PYTHONPATH=$PYDIR "$PY" -c 'import q6fdmgr.dbapi as db; print("dbapi", db.apilevel)'
)

step "pip install --no-build-isolation ."
rm -rf "$SRC/build-python"
CMAKE_BUILD_TYPE=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BUILD/CMakeCache.txt") \
  CMAKE_BUILD_PARALLEL_LEVEL=$JOBS "$PY" -m pip install --no-build-isolation --no-index --no-deps --target "$TMP/pip" "$SRC" >"$TMP/pip.log" 2>&1 ||
  { tail -n 40 "$TMP/pip.log"; fail "pip install failed"; }
(
  cd "$TMP/run"
  export Q6FD_REGISTRY=$TMP/run/registry.txt
  out=$(PYTHONPATH=$TMP/pip "$PY" -c 'import q6fdmgr; print(q6fdmgr.__version__, q6fdmgr.__file__)')
  echo "$out"
  case "$out" in "1.1.0 $TMP/pip/"*) ;; *) fail "pip's module: $out" ;; esac
  PYTHONPATH=$TMP/pip "$PY" "$SRC/examples/walk.py"
  PYTHONPATH=$TMP/pip "$PY" -c 'import q6fdmgr.dbapi as db; print("dbapi", db.apilevel)'
)

step "the .deb (what \`make package\` builds, from the targets built above)"
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/packages/q6fd_1.1.0_*.deb)
dpkg-deb --info "$DEB" | grep -E 'Package|Version|Depends'
dpkg-deb --contents "$DEB" >"$TMP/deb-contents.txt"
for path in ./usr/bin/q6fd ./usr/include/q6fd/q6fd.h ./usr/lib/pkgconfig/q6fd.pc \
            ./usr/lib/cmake/q6fd/q6fdConfig.cmake ./usr/lib/python3/dist-packages/q6fdmgr \
            ./usr/lib/python3/dist-packages/q6fdmgr/dbapi.py; do
  grep -q " $path" "$TMP/deb-contents.txt" || fail "the .deb has no $path"
done
mkdir "$TMP/empty"
if [ "${CI:-}" = "true" ] && [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y "$DEB" >/dev/null
  (cd "$TMP/empty" && q6fd demo >demo.out && tail -n 3 demo.out)
  (cd "$TMP/empty" && "$PY" -c 'import q6fdmgr; print("module", q6fdmgr.__version__)')
  DEBIAN_FRONTEND=noninteractive apt-get remove -y q6fd >/dev/null
else
  dpkg-deb -x "$DEB" "$TMP/unpacked"
  (cd "$TMP/empty" && "$TMP/unpacked/usr/bin/q6fd" demo >demo.out && tail -n 3 demo.out)
fi
echo "check-install: ok"
