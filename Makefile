# Front door: every target installs what it needs first, so a fresh Debian 12 machine needs nothing else.
SHELL := /bin/bash
BUILD ?= build
PRESET ?= dev
JOBS ?= $(shell nproc)
EXAMPLE := printf '11,22.33 44\n55,66.77 88\n你好\n'

.PHONY: all deps configure build test run bench compare sanitize fuzz install package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@test -f $(BUILD)/build.ninja || cmake --preset $(PRESET) -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target tessaly
	$(BUILD)/tessaly

sanitize: deps
	@test -f build-asan/build.ninja || cmake --preset asan
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

FUZZ_SECONDS ?= 60
FUZZ_TARGETS := conversion hex-reader text-boundary phrase-matcher raw-stream phrase-cache opencc-config

fuzz:
	@scripts/install-deps clang libclang-rt-14-dev
	@test -f build-fuzz/build.ninja || CXX=clang++ cmake -G Ninja -B build-fuzz \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_FUZZ=ON -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_UI=OFF \
	  -DTESSALY_BUILD_LIBRARY=OFF
	cmake --build build-fuzz -j $(JOBS)
	@set -o pipefail; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t && cp -n fuzz/corpus/$$t/* build-fuzz/corpus/$$t/; \
	  echo "== $$t-fuzz for $(FUZZ_SECONDS) s"; \
	  build-fuzz/fuzz/$$t-fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/$$t- build-fuzz/corpus/$$t 2>&1 | \
	    grep -E '^(stat::number_of_executed_units|==[0-9]+==|SUMMARY|artifact)|Done' || exit 1; \
	done

bench: deps
	@test -f build-release/build.ninja || cmake --preset release
	cmake --build build-release -j $(JOBS) --target engine-bench paste-bench
	build-release/bench/engine-bench
	build-release/bench/paste-bench

compare:
	@scripts/install-deps xxd opencc time
	@test -f build-release/build.ninja || cmake --preset release
	cmake --build build-release -j $(JOBS) --target tessaly-cli
	bench/compare build-release/tessaly-cli

PREFIX ?= /usr/local

# `cmake --install` into $(DESTDIR)$(PREFIX): programs, manual pages, completions, desktop files,
# the shared library with its headers, CMake package and pkg-config file.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian packages, built from a copy of the tree so that debhelper's files and the
# results land in build-deb/, not beside the worktree; the results end up in dist/.
DEB_STAGE := build-deb/tessaly
# OpenCC's data tarball is fetched once into the dev build's download folder and taken from there.
TESSALY_DOWNLOAD_DIR ?= $(CURDIR)/$(BUILD)/downloads
package:
	@scripts/install-deps debhelper devscripts lintian dpkg-dev
	rm -rf build-deb dist && mkdir -p $(DEB_STAGE) dist
	tar -c --exclude-vcs --exclude='./build*' --exclude=./dist --exclude=./.cache . | tar -x -C $(DEB_STAGE)
	cd $(DEB_STAGE) && TESSALY_DOWNLOAD_DIR=$(TESSALY_DOWNLOAD_DIR) dpkg-buildpackage -us -uc -b -j$(JOBS)
	mv build-deb/*.deb build-deb/*.buildinfo build-deb/*.changes dist/
	@ls dist

clean:
	rm -rf $(BUILD) build-release build-asan build-fuzz build-deb dist
