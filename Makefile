# Two commands do all set-up on a fresh Debian 12 machine:
#   make run   installs what is missing, builds, starts the configurator with a simulated bus
#   make test  the same set-up, then the whole test suite
# Further targets: build, bench, test-asan, test-tsan, clean.

BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

# Debian packages the build, the program, the tests and the simulators need.
PACKAGES := cmake make g++ pkg-config ccache sqlite3 \
	qtbase5-dev qtbase5-dev-tools qtbase5-private-dev qttools5-dev qttools5-dev-tools \
	libqt5serialport5-dev libqt5sql5-sqlite libqt5svg5-dev libqt5svg5 \
	libudev-dev libssl-dev zlib1g-dev \
	xvfb xauth fonts-paratype python3 python3-pyftpdlib

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build run test bench test-asan test-tsan clean

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update -q && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@./scripts/run-with-sim.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do [ -x "$$b" ] && echo "== $$b" && QT_QPA_PLATFORM=offscreen "$$b"; done

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B build-asan -DZEMO_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ctest --output-on-failure -j$(JOBS)

# The tests that cross threads (parser queue, log handler) under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B build-tsan -DZEMO_TSAN=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && ctest --output-on-failure -L threads

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan
