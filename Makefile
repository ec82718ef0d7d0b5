# Orbench: `make run` and `make test` do all set-up on a fresh Debian 12 machine.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test run demo bench clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release; \
	fi

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Starts the desktop program when there is a display and it is built; otherwise the headless demo.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD_DIR)/bin/orbench ]; then \
		$(BUILD_DIR)/bin/orbench; \
	else \
		./scripts/demo.sh $(BUILD_DIR)/bin; \
	fi

demo: build
	@./scripts/demo.sh $(BUILD_DIR)/bin

bench: build
	@$(BUILD_DIR)/bin/orbench-bench-generation
	@echo
	@$(BUILD_DIR)/bin/orbench-bench-overlap
	@echo
	@$(BUILD_DIR)/bin/orbench-bench-sampling
	@echo
	@$(BUILD_DIR)/bin/orbench-bench-verify

clean:
	rm -rf $(BUILD_DIR)
