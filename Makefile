# Orbench: `make run` and `make test` do all set-up on a fresh Debian 12 machine.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# `make test SANITIZE=1`: a build of its own with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer; every report fails its test.
ifeq ($(SANITIZE),1)
BUILD_DIR ?= build-sanitize
CMAKE_OPTIONS = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBENCH_SANITIZE=ON -DORBENCH_BUILD_BENCH=OFF
TEST_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
else
BUILD_DIR ?= build
CMAKE_OPTIONS = -DCMAKE_BUILD_TYPE=Release
TEST_ENV =
endif
# `make test WERROR=1` (CI): every compiler warning is an error.
WERROR_OPTION = -DORBENCH_WERROR=$(if $(WERROR),ON,OFF)

# The C++ files the formatter keeps in the house style (.clang-format).
FORMAT_FILES = $(shell git ls-files 'src/*.cpp' 'src/*.h' 'python/src/*.cpp' 'python/src/*.h' 'tests/*.cpp' \
	'tests/*.h' 'bench/*.cpp' 'bench/*.h' 2>/dev/null)

.PHONY: all deps configure build test run demo bench bench-full package format format-check clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_OPTIONS) $(WERROR_OPTION); \
	else \
		cmake -S . -B $(BUILD_DIR) $(WERROR_OPTION) >/dev/null; \
	fi

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && $(TEST_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Starts the desktop program when there is a display and it is built; otherwise the headless demo.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD_DIR)/bin/orbench ]; then \
		$(BUILD_DIR)/bin/orbench; \
	else \
		./scripts/demo.sh $(BUILD_DIR)/bin; \
	fi

demo: build
	@./scripts/demo.sh $(BUILD_DIR)/bin

# The benchmarks: a short run by default (under a minute), the long measurements too with FULL=1
# (or `make bench-full`), and an earlier build's orbench-cli side by side with BEFORE=its bin
# directory. Each program ends with a PASS/FAIL line per target; make fails when one failed.
BENCH_ARGS = $(if $(FULL),--full) $(if $(BEFORE),--before $(BEFORE))

bench: build
	@status=0; \
	$(BUILD_DIR)/bin/orbench-bench-generation $(BENCH_ARGS) || status=1; \
	echo; \
	$(BUILD_DIR)/bin/orbench-bench-overlap $(BENCH_ARGS) || status=1; \
	echo; \
	$(BUILD_DIR)/bin/orbench-bench-sampling || status=1; \
	echo; \
	$(BUILD_DIR)/bin/orbench-bench-verify || status=1; \
	echo; \
	$(BUILD_DIR)/bin/orbench-bench-reader || status=1; \
	echo; \
	PYTHONPATH=$(BUILD_DIR)/python $$(cat $(BUILD_DIR)/python/interpreter) bench/python_bench.py $(BUILD_DIR)/bin casemixes || status=1; \
	exit $$status

bench-full:
	@$(MAKE) --no-print-directory bench FULL=1

# The Debian package build/package/orbench_<version>_amd64.deb (apt install ./build/package/orbench_*.deb).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB >/dev/null && ls -1 $(CURDIR)/$(BUILD_DIR)/package/*.deb

# Formats every C++ file in place; format-check (CI) lists the files that are not formatted and fails.
format:
	@clang-format -i $(FORMAT_FILES)

format-check:
	@clang-format --dry-run $(FORMAT_FILES) 2>&1 | grep -oE '^[^ :]+:[0-9]+:[0-9]+: (warning|error)' | \
		cut -d: -f1 | sort -u | sed 's/$$/: not formatted (make format)/' | grep . && exit 1 || \
		echo "format: every file keeps the house style"

clean:
	rm -rf $(BUILD_DIR)
