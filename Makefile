# Quick start: `make demo` and `make test`. Each installs what is missing,
# configures into build/, builds, and runs.
BUILD ?= build
JOBS ?= 2
PGDIR ?= /tmp/q6fd-pg-$(shell id -u)-$$$$

.PHONY: deps configure build demo test docs package check-install test-asan test-tsan fuzz soak bench bench-quick format-check clean

deps:
	@bash scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/bin/q6fd demo

# All tests on both engines: a throwaway PostgreSQL server is started for the
# run and stopped afterwards, also when tests fail; then the PostgreSQL tests
# again through a connection pooler in transaction mode in front of it (the
# sanitizer runs leave that pass to this one).
test: build
	@bash scripts/run-tests.sh $(BUILD)

# The API reference (Doxygen) from the installed headers, into
# $(BUILD)/docs/html/index.html.
docs:
	@bash scripts/deps.sh doxygen
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) --target docs
	@echo "API reference: $(BUILD)/docs/html/index.html"

# The Debian packages (CPack): libq6fd1 (libraries), libq6fd-dev (headers,
# CMake and pkg-config files), q6fd (the program), python3-q6fdmgr (the
# module), each with a -dbgsym package, into $(BUILD)/packages/.
package: build
	@cmake --build $(BUILD) --target package

# Install into a temporary prefix, build and run the examples against it
# (CMake and pkg-config), pip-install the module, build the Debian packages,
# check them with lintian and try them.
check-install: build
	@bash scripts/deps.sh lintian doxygen
	@JOBS=$(JOBS) bash scripts/check-install.sh $(BUILD)

test-asan: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQ6_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@Q6FD_TEST_POOLER=0 bash scripts/run-tests.sh build-asan

# The multi-threaded tests (dispatch across apartments, per-apartment
# services, the shared class table and registration store, the translation
# cache, the trace) under ThreadSanitizer: a small separate build of the
# runtime, the data access layer and the services only.
test-tsan: deps
	@cmake -S tests/hostile/tsan -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@Q6FD_TEST_POOLER=0 bash scripts/run-tests.sh build-tsan

# libFuzzer targets (dialect, Filter, Variant text conversions, data sources),
# built with clang into build-fuzz/, FUZZ_SECONDS each from fuzz/corpus/.
FUZZ_SECONDS ?= 60
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash fuzz/run.sh

# Long reliability runs, not part of CI: the multi-process tests with their
# long variants (more rounds, a server restart, waits past every busy
# timeout) and a stress run of SOAK_SECONDS per engine, on a throwaway
# PostgreSQL server of their own.
SOAK_SECONDS ?= 60
soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target reliability_tests
	@bash scripts/run-soak.sh $(BUILD) $(SOAK_SECONDS)

# Benchmarks on both engines (a throwaway PostgreSQL server as for the tests):
# the medians go to bench/results.md, bench/results.json and bench/steps.png.
# bench-quick runs every benchmark once at small sizes and judges nothing.
bench:
	@bash scripts/deps.sh gnuplot-nox
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target q6bench
	@bash scripts/run-bench.sh $(BUILD)

bench-quick: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target q6bench
	@bash scripts/run-bench.sh --quick $(BUILD)

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-python
