# Two commands do all set-up on a fresh Debian 12 machine:
#   make run   installs what is missing, builds, starts the configurator with a simulated bus
#   make test  the same set-up, then the whole test suite
# Further targets: build, bench, soak, dist, update-archive, deb, check-release, test-asan,
# test-tsan, fuzz, clean.

BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

# Debian packages the build, the program, the tests and the simulators need.
PACKAGES := cmake make g++ pkg-config ccache sqlite3 \
	qtbase5-dev qtbase5-dev-tools qtbase5-private-dev qttools5-dev qttools5-dev-tools \
	libqt5serialport5-dev libqt5sql5-sqlite libqt5svg5-dev libqt5svg5 qttranslations5-l10n \
	libudev-dev libssl-dev zlib1g-dev \
	xvfb xauth fonts-paratype python3 python3-pyftpdlib xdg-utils

# The release checks of `make test` (the package test) and `make check-release`: building and
# checking the Debian package, the programs' hardening, the scripts and the menu entry.
RELEASE_PACKAGES := dpkg-dev lintian devscripts desktop-file-utils shellcheck

# The fuzz build also needs clang with its sanitizer and libFuzzer runtimes.
FUZZ_PACKAGES := clang libclang-rt-14-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps release-deps configure build run test bench soak dist update-archive deb \
	check-release test-asan test-tsan fuzz clean

deps:
	@missing=$$(for p in $(PACKAGES) $(EXTRA_PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update -q && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

release-deps:
	@$(MAKE) --no-print-directory deps EXTRA_PACKAGES="$(RELEASE_PACKAGES)"

configure: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

# The program and the simulated bus only: a newcomer does not wait for the tests to build.
run: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target zemo-configurator zemo-reader-sim
	@./scripts/run-with-sim.sh $(BUILD_DIR)

test: release-deps build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; done

# Randomized engineer sessions against the simulated bus for SOAK_SECONDS, each with a fresh seed;
# prints the steps taken, the faults injected and the invariant violations, and the seed of a
# failure (replay it with ZEMO_SOAK_SEED=<seed>).
SOAK_SECONDS ?= 600
soak: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target tst_soak
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ZEMO_SOAK_SECONDS=$(SOAK_SECONDS) \
		ZEMO_SOAK_SEED=$(ZEMO_SOAK_SEED) QTEST_FUNCTION_TIMEOUT=$$(( ($(SOAK_SECONDS) + 300) * 1000 )) \
		./tests/tst_soak -maxwarnings 0

# Releases into $(BUILD_DIR)/dist: the folder archive an engineer unpacks anywhere
# (zemo-configurator-<version>-linux-x86_64.tar.gz) and the archive the update server offers
# (zemo-configurator_<version>.zip). VERSION=a.b.c makes them as that version in a build of its
# own, $(BUILD_DIR)/versioned (only the version's two files are built again when it changes),
# so that the normal build keeps the project's version. The update archive is signed with the
# private key ZEMO_SIGNING_KEY names (the release key), else with the repository's test key.
DIST_DIR = $(abspath $(BUILD_DIR))/dist
dist update-archive: configure
ifdef VERSION
	cmake -S . -B $(BUILD_DIR)/versioned -DZEMO_VERSION=$(VERSION) -DZEMO_DIST_DIR=$(DIST_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)/versioned -j$(JOBS) --target $@
else
	cmake --build $(BUILD_DIR) -j$(JOBS) --target $@
endif

# The Debian package, $(BUILD_DIR)/dist/zemo-configurator_<version>_<architecture>.deb: the program
# in /usr/lib/zemo-configurator, zemo-configurator and zemo-cli on the PATH, menu entry, icon,
# manual pages and licences (release/make-deb.sh). VERSION=a.b.c as for dist.
deb: release-deps configure
ifdef VERSION
	cmake -S . -B $(BUILD_DIR)/versioned -DZEMO_VERSION=$(VERSION) -DZEMO_DIST_DIR=$(DIST_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)/versioned -j$(JOBS) --target deb
else
	cmake --build $(BUILD_DIR) -j$(JOBS) --target deb
endif

# What a distribution checks before it takes a release: the programs hardened, no build path or
# build date inside them, make dist and make deb the same bytes twice, lintian without errors,
# the shell scripts and the menu entry clean (scripts/check-release.sh).
check-release: release-deps build
	./scripts/check-release.sh $(BUILD_DIR)

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

# Every fuzz target for FUZZ_SECONDS (default 60) from its seed corpus in fuzz/corpus/<name>;
# new inputs it finds go to build-fuzz/corpus/<name>, crashes to build-fuzz/crashes/.
FUZZ_SECONDS ?= 60
fuzz:
	$(MAKE) deps EXTRA_PACKAGES="$(FUZZ_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DZEMO_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build build-fuzz -j$(JOBS)
	@set -e; mkdir -p build-fuzz/crashes; for t in build-fuzz/fuzz/fuzz_*; do \
		[ -f "$$t" ] && [ -x "$$t" ] || continue; \
		name=$$(basename $$t | sed 's/^fuzz_//'); \
		mkdir -p build-fuzz/corpus/$$name fuzz/corpus/$$name; \
		echo "== $$name ($(FUZZ_SECONDS) s)"; \
		ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
			-artifact_prefix=build-fuzz/crashes/$$name- \
			build-fuzz/corpus/$$name fuzz/corpus/$$name; \
	done

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz
