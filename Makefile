# The two entry points on a fresh Debian 12 machine. Each installs what is missing, configures
# and builds before doing its job.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench sanitize tsan fuzz clean install

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Starts the player with the demo playlist (three generated songs) on the default sound device.
# It runs with a home of its own in the build folder, set to keep the window shown after a start
# with files: the player's default hides it to the tray once the song plays, which on a desktop
# with a tray (KDE, Xfce, Cinnamon ...) would take the demo's window away at once. Desktops
# without a tray keep the window shown anyway.
RUN_HOME = $(abspath $(BUILD_DIR))/run-home
run: build
	@mkdir -p "$(RUN_HOME)"
	@[ -f "$(RUN_HOME)/ombrix player.ini" ] || printf '[option]\r\nglbhide=0\r\n' > "$(RUN_HOME)/ombrix player.ini"
	$(BUILD_DIR)/bin/ombrix --home "$(RUN_HOME)" $(abspath $(BUILD_DIR))/data/demo/demo.dmp

# Every test, then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
# (float-to-integer overflow included), then the tests labelled "concurrency" built with
# ThreadSanitizer.
test: build
	cd $(BUILD_DIR) && SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) sanitize
	$(MAKE) tsan

sanitize: deps
	cmake -S . -B $(BUILD_DIR)-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRIX_SANITIZE=address,undefined,float-cast-overflow \
	  -DOMBRIX_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	cd $(BUILD_DIR)-asan && SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

TSAN_TARGETS ?= decoder_tests remote_tests
tsan: deps
	cmake -S . -B $(BUILD_DIR)-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRIX_SANITIZE=thread \
	  -DOMBRIX_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	# The build runs generators (the artwork is drawn with Qt, whose own threads are not
	# instrumented); only the tests below are judged by the sanitizer.
	TSAN_OPTIONS=report_bugs=0 cmake --build $(BUILD_DIR)-tsan -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(BUILD_DIR)-tsan && SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS=halt_on_error=1 ctest -L concurrency --output-on-failure -j $(JOBS)

# The libFuzzer targets (clang, with AddressSanitizer and UndefinedBehaviorSanitizer), each run
# for FUZZ_SECONDS on its corpus in $(FUZZ_DIR)/fuzz-corpus, seeded with small generated inputs
# and the conformance streams. Prints each target's executions; fails on any finding. Not part of
# `make test`.
FUZZ_DIR ?= $(BUILD_DIR)-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= ini playlist playlist-file tag modern-tag probe member-name shell-link instance \
  telnet panel archive frame-reader decode
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DOMBRIX_FUZZ=ON -DOMBRIX_SANITIZE=address,undefined -DOMBRIX_BUILD_TESTS=OFF \
	  -DOMBRIX_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	python3 scripts/fuzz-seeds.py $(FUZZ_DIR)/fuzz-corpus $(CURDIR)/../shared/testdata
	bash scripts/fuzz-run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Installs below PREFIX (default /usr/local); DESTDIR stages the tree for packaging.
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

bench: build
	bash bench/run.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan $(BUILD_DIR)-tsan $(BUILD_DIR)-fuzz
