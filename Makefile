# Thin wrapper around CMake. `make demo` renders the example chart, `make test`
# builds and runs every test tier that this machine can run.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all build demo example-sounds test test-native test-sanitize test-windows test-dist dist \
	bench fuzz clean

all: build

build:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Renders examples/demo.bms with the console program; the song lands in the
# build folder.
demo:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target keymix
	$(BUILD)/console/keymix -o $(BUILD)/demo.wav examples/demo.bms
	@echo "The rendered song is $(abspath $(BUILD))/demo.wav"

# Rewrites the example's key sounds with their generator (the committed WAV
# files are its output).
example-sounds:
	@mkdir -p $(BUILD)
	$(CXX) -std=c++17 -O2 -o $(BUILD)/make_samples examples/make_samples.cpp
	$(BUILD)/make_samples examples

test-native: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKEYMIX_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && LSAN_OPTIONS=suppressions=$(abspath cmake/lsan.supp) \
	    ctest --output-on-failure -j $(JOBS)

test-windows:
	@if [ -x scripts/windows_tier.sh ]; then BUILD=$(BUILD) JOBS=$(JOBS) scripts/windows_tier.sh; \
	else echo "Windows tier: not part of this build yet."; fi

# The releases as a user gets them: builds them (as `make dist`) and checks the zips under
# Wine from an awkward folder and the Debian package with lintian, apt-get and man. Skips,
# saying why, without root or the tools.
test-dist:
	BUILD=$(BUILD) JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS)" scripts/dist_tier.sh

test: test-native test-windows test-dist

# The releases, into dist/: keymix_VERSION_amd64.deb, keymix-VERSION-win64.zip and
# keymix-VERSION-win32.zip (scripts/make_dist.sh), reusing the test tiers' build folders.
dist:
	BUILD=$(BUILD) JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS)" scripts/make_dist.sh

# Renders the benchmark workloads with the Release build and prints each against the floor of
# its work (generated once into build-release/bench-workloads).
bench:
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKEYMIX_TESTS=OFF
	cmake --build build-release -j $(JOBS) --target keymix_bench
	build-release/bench/keymix_bench --dir build-release/bench-workloads

# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz and runs each for FUZZ_SECONDS seconds, one after the other; new inputs collect in
# build-fuzz/fuzz/corpus/<target>. The closing lines give each target's executions.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKEYMIX_FUZZ=ON -DKEYMIX_TESTS=OFF -DKEYMIX_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	cd $(FUZZ_BUILD)/fuzz && ctest --output-on-failure -j 1
	@grep -E '^([0-9]+/[0-9]+ Testing:|stat::number_of_executed_units)' \
	    $(FUZZ_BUILD)/fuzz/Testing/Temporary/LastTest.log || true

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-win64 build-win32 build-fuzz build-release dist
