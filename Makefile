# Front door: every target installs what it needs first, so a fresh Debian 12 machine needs nothing else.
BUILD ?= build
PRESET ?= dev
JOBS ?= $(shell nproc)
EXAMPLE := printf '11,22.33 44\n55,66.77 88\n你好\n'

.PHONY: all deps configure build test run bench sanitize clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@test -f $(BUILD)/build.ninja || cmake --preset $(PRESET) -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/tessaly ]; then $(BUILD)/tessaly; else \
	  echo '$$ $(EXAMPLE) | tessaly-cli -m hex-encode -s space'; \
	  $(EXAMPLE) | $(BUILD)/tessaly-cli -m hex-encode -s space; fi

sanitize: deps
	@test -f build-asan/build.ninja || cmake --preset asan
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	@test -f build-release/build.ninja || cmake --preset release
	cmake --build build-release -j $(JOBS) --target engine-bench
	build-release/bench/engine-bench

clean:
	rm -rf $(BUILD) build-release build-asan
