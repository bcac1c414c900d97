# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_TARGETS ?=
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all setup build test test-asan fuzz demo bench clean

all: build

setup:
	./scripts/setup

build: setup
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRASTELLO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(abspath tests/lsan.supp):print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

# Each libFuzzer target for FUZZ_TIME seconds (installs clang); stops at the first finding.
fuzz:
	./scripts/setup --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRASTELLO_FUZZ=ON -DRASTELLO_TESTS=OFF
	cmake --build $(FUZZ_BUILD) --target fuzz_targets -j $(JOBS)
	fuzz/run --build $(FUZZ_BUILD) --time $(FUZZ_TIME) $(FUZZ_TARGETS)

demo: build
	./scripts/demo $(abspath $(BUILD))

# Side-by-side timing against ImageMagick, GraphicsMagick and vips (installs them).
bench: build
	./scripts/setup --bench
	bench/run --build $(abspath $(BUILD)) --markdown bench/RESULTS.md

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
