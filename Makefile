# Quick start: `make demo` and `make test`. Each installs what is missing,
# configures into build/, builds, and runs.
BUILD ?= build
JOBS ?= 2
PGDIR ?= /tmp/q6fd-pg-$(shell id -u)-$$$$

.PHONY: deps configure build demo test test-asan bench format-check clean

deps:
	@bash scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/bin/q6fd demo

# All tests on both engines: a throwaway PostgreSQL server is started for the
# run and stopped afterwards, also when tests fail.
test: build
	@bash scripts/run-tests.sh $(BUILD)

test-asan: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQ6_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@bash scripts/run-tests.sh build-asan

bench: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@bash scripts/run-bench.sh $(BUILD)

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) build-asan
