# The two commands that matter: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc)
DIR        ?=

PREFIX     ?= /usr/local

.PHONY: all deps configure build run test test-build test-asan test-debian13 bench demo install uninstall package soak clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_WERROR=ON

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh "$(BUILD)" "$(DIR)"

test: test-build
	$(MAKE) test-asan

# The suite once, in $(BUILD), without the sanitizer pass.
test-build: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer, in its own build tree (the
# benchmarks are built once, in $(BUILD)).
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DVORLANE_SANITIZE=ON -DVORLANE_WERROR=ON \
		-DVORLANE_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 UBSAN_OPTIONS=print_stacktrace=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		ctest --output-on-failure -j $(JOBS) --timeout 900

# The suite in a Debian 13 system of its own (made once with debootstrap and kept; see scripts/test-debian13.sh).
test-debian13:
	@bash scripts/test-debian13.sh

bench: build
	@bash bench/run_all.sh "$(BUILD)"

demo: build
	@bash scripts/run.sh "$(BUILD)" "$$(bash scripts/make-demo.sh)"

# `make install DESTDIR=/tmp/stage PREFIX=/usr` stages the files; `make uninstall` removes what was installed.
install: build
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	DESTDIR=$(DESTDIR) cmake --install $(BUILD)

# A Debian package of the install, in build/: `apt install ./build/vorlane_*.deb` on Debian 12.
package: build
	cd $(BUILD) && cpack -G DEB

uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	xargs -d '\n' rm -fv < $(BUILD)/install_manifest.txt

soak: build
	@bash bench/soak.sh "$(BUILD)"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
