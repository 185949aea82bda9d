#!/usr/bin/env bash
# The library as its users get it. From the build tree $1 (default build/):
#  1. `cmake --install` into a temporary prefix, then move the prefix (every
#     path in it must be relative) and check the RUNPATHs say $ORIGIN;
#  2. compile every installed header alone from the prefix (g++ and clang++,
#     warnings as errors) and count the libraries' exported symbols; build
#     the API reference (Doxygen, no warning allowed); build
#     examples/walk.cpp from outside the tree against the moved prefix,
#     once with find_package and once with pkg-config (linked --as-needed),
#     and a program that names no symbol of the component and creates its
#     classes by ProgID all the same;
#     configure a host project that adds the tree with add_subdirectory;
#  3. run both examples and examples/walk.py on the SQLite data source that
#     `q6fd demo` writes into an empty folder;
#  4. `pip install --no-build-isolation` the tree into a folder and run the
#     Python example with that module;
#  5. build the four Debian packages and their -dbgsym packages, run lintian
#     on them (no error allowed); in CI (root on a throwaway machine) install
#     them with apt, run `q6fd demo` in an empty folder, the Python module and
#     the example built with the installed pkg-config file, and remove them
#     again; elsewhere unpack them and run their q6fd from there.
set -euo pipefail
cd "$(dirname "$0")/.."
SRC=$PWD
BUILD=$(realpath "${1:-build}")
JOBS=${JOBS:-2}
PY=/usr/bin/python3  # Debian's interpreter: pip and setuptools are its packages
VERSION=$(sed -n 's/^project(q6fd VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
TMP=$(mktemp -d /tmp/q6fd-install.XXXXXX)
trap 'rm -rf "$TMP"' EXIT
step() { printf '\n== %s\n' "$*"; }
fail() { echo "check-install: $*" >&2; exit 1; }

step "install into a temporary prefix, then move it"
cmake --build "$BUILD" -j "$JOBS" --target q6fd q6fd_docs q6fdmgr_py
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
[ "$(pkg-config --modversion q6fd)" = "$VERSION" ] || fail "pkg-config does not know q6fd $VERSION"

step "every installed header compiles on its own, without a warning, under g++ and clang++"
for cxx in g++ clang++; do
  find "$P/include/q6fd" -name '*.h' -print0 |
    xargs -0 -P "$JOBS" -I{} sh -c \
      '$1 -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -I"$2/include" -include "$3" -x c++ /dev/null || exit 255' \
      _ "$cxx" "$P" {} || fail "an installed header does not compile alone from the prefix ($cxx)"
done
echo "$(find "$P/include/q6fd" -name '*.h' | wc -l) headers"
for lib in "$LIBDIR"/libq6*.so.1; do
  echo "$(basename "$lib"): $(nm -D --defined-only "$lib" | wc -l) exported symbols"
done

step "the man page renders; the completion script knows every command"
MANWARN=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$P/share/man/man1/q6fd.1.gz" 2>&1 >"$TMP/q6fd.txt") ||
  fail "man cannot render q6fd.1"
[ -z "$MANWARN" ] || fail "man warns about q6fd.1: $MANWARN"
grep -q 'EXIT STATUS' "$TMP/q6fd.txt" || fail "the man page has no exit codes"
for cmd in $("$P/bin/q6fd" --completion bash | sed -n "s/^      words='--json --csv --help --version -V help \(.*\)' ;;$/\1/p"); do
  grep -q "^       $cmd" "$TMP/q6fd.txt" || fail "the man page does not describe $cmd"
done
(
  # shellcheck disable=SC1090
  source "$P/share/bash-completion/completions/q6fd"
  COMP_WORDS=(q6fd rec); COMP_CWORD=1; _q6fd
  [ "${COMPREPLY[*]}" = "records" ] || fail "completion of 'q6fd rec' gave '${COMPREPLY[*]}'"
)

step "the API reference builds from the installed headers without a warning"
cmake "$BUILD" >/dev/null  # a tree configured before Doxygen was installed gains the target
cmake --build "$BUILD" --target docs >/dev/null
[ -s "$BUILD/docs/html/classq6_1_1DataManager.html" ] || fail "no API reference for DataManager"
[ ! -s "$BUILD/docs/warnings.txt" ] || fail "Doxygen warns: $(head -n 5 "$BUILD/docs/warnings.txt")"

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
  case "$out" in "$VERSION $TMP/pip/"*) ;; *) fail "pip's module: $out" ;; esac
  PYTHONPATH=$TMP/pip "$PY" "$SRC/examples/walk.py"
  PYTHONPATH=$TMP/pip "$PY" -c 'import q6fdmgr.dbapi as db; print("dbapi", db.apilevel)'
)

step "the Debian packages (what \`make package\` builds, from the targets built above)"
rm -rf "$BUILD/packages"
(cd "$BUILD" && cpack -G DEB >/dev/null)
LIBREL=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$BUILD/CMakeCache.txt")
DEBS=()
for pkg in libq6fd1 libq6fd-dev q6fd python3-q6fdmgr; do
  deb=$(ls "$BUILD"/packages/"${pkg}_${VERSION}"-*_*.deb 2>/dev/null) || fail "no package $pkg"
  DEBS+=("$deb")
  dpkg-deb --field "$deb" Package Version Depends
  dpkg-deb --contents "$deb" >>"$TMP/deb-contents.txt"
  ls "$BUILD"/packages/"${pkg}"-dbgsym_*.ddeb >/dev/null 2>&1 || [ "$pkg" = libq6fd-dev ] ||
    fail "no debugging symbols package for $pkg"
done
for path in ./usr/bin/q6fd ./usr/include/q6fd/q6fd.h ./usr/$LIBREL/libq6fdmgr.so.1 \
            ./usr/$LIBREL/pkgconfig/q6fd.pc ./usr/$LIBREL/cmake/q6fd/q6fdConfig.cmake \
            ./usr/lib/python3/dist-packages/q6fdmgr ./usr/lib/python3/dist-packages/q6fdmgr/dbapi.py \
            ./usr/share/man/man1/q6fd.1.gz \
            ./usr/share/bash-completion/completions/q6fd; do
  grep -q " $path" "$TMP/deb-contents.txt" || fail "no package has $path"
done
if command -v lintian >/dev/null; then
  lintian "${DEBS[@]}" 2>/dev/null | tee "$TMP/lintian.txt" || true
  if grep -q '^E:' "$TMP/lintian.txt"; then fail "lintian reports errors"; fi
  echo "lintian: $(grep -c '^W:' "$TMP/lintian.txt") warnings, no error"
else
  echo "lintian is not installed (\`make check-install\` installs it): not run"
fi
mkdir "$TMP/empty"
if [ "${CI:-}" = "true" ] && [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${DEBS[@]}" >/dev/null
  (cd "$TMP/empty" && q6fd demo >demo.out && tail -n 3 demo.out)
  (cd "$TMP/empty" && "$PY" -c 'import q6fdmgr; print("module", q6fdmgr.__version__)')
  g++ -std=c++20 $(pkg-config --cflags q6fd) "$SRC/examples/walk.cpp" -o "$TMP/walk-apt" \
    $(pkg-config --libs q6fd)
  (cd "$TMP/run" && Q6FD_REGISTRY=$TMP/run/registry.txt "$TMP/walk-apt" >/dev/null) || fail "the example built against the packages failed"
  DEBIAN_FRONTEND=noninteractive apt-get remove -y libq6fd1 >/dev/null
else
  for deb in "${DEBS[@]}"; do dpkg-deb -x "$deb" "$TMP/unpacked"; done
  (cd "$TMP/empty" && "$TMP/unpacked/usr/bin/q6fd" demo >demo.out && tail -n 3 demo.out)
fi
echo "check-install: ok"
