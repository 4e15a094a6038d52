# Front door: `make test` and `make demo` install what is missing, build and run.
# BUILD selects the build tree, so that several can live side by side.

BUILD ?= build
NATIVE := $(BUILD)/native
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
FUZZ_SECONDS ?= 300
# Windows need a display; without one, the whole run shares one Xvfb server.
XVFB := $(if $(DISPLAY),,xvfb-run -a -s "-screen 0 1280x1024x24")
CMAKE_CONFIGURE := cmake -G Ninja -Wno-dev

.PHONY: all deps build test demo screenshot dist fuzz bench bench-backup clean

all: build

deps:
	@tools/install-deps.sh

$(NATIVE)/build.ninja: | deps
	CC=clang CXX=clang++ $(CMAKE_CONFIGURE) -S . -B $(NATIVE) -DORV_NATIVE=ON -DCMAKE_BUILD_TYPE=Debug

$(WIN32)/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DORV_NATIVE_DIR=$(abspath $(NATIVE))

# The 64-bit build only proves that the code stays 64-bit clean: compiled, never run.
$(WIN64)/build.ninja: | deps
	$(CMAKE_CONFIGURE) -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_TESTS=OFF \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake

build: $(NATIVE)/build.ninja $(WIN32)/build.ninja $(WIN64)/build.ninja
	cmake --build $(NATIVE)
	cmake --build $(WIN32)
	cmake --build $(WIN64)

test: build
	$(XVFB) ctest --test-dir $(WIN32) --output-on-failure

# The sample machine, scanned for real in a demo prefix (see tools/demo.sh).
demo: $(WIN32)/build.ninja
	cmake --build $(WIN32)
	tools/demo.sh $(WIN32)

# The main window after a scan of the sample machine, on a screen of its own (Xvfb).
screenshot: $(WIN32)/build.ninja
	cmake --build $(WIN32)
	tools/screenshot.sh $(WIN32) docs/orvenna.png

# The release archive, dist/orvenna-VERSION-win32.zip: the 32-bit binaries and the help
# file with a README and the licence for Windows users (see release/).
dist: $(WIN32)/build.ninja
	cmake --build $(WIN32) --target dist

# make fuzz FUZZ_SECONDS=600: runs every fuzz target for that long, one after another
# (FUZZ_RUNS, FUZZ_MAX_LEN and FUZZ_ONLY: see fuzz/run.sh).
fuzz: $(NATIVE)/build.ninja
	cmake --build $(NATIVE)
	fuzz/run.sh $(NATIVE) $(FUZZ_SECONDS)

# make bench BENCH_SIZES=5000 BENCH_TIMEOUT=600 (BENCH_SIZES=200000 BENCH_ROUNDS=1 for the
# largest machine, whose runs take a minute each: three rounds would take an hour;
# BENCH_FLAT=0 without the flat folder of DLLs, BENCH_HALF_64_BIT=0 without the machine
# whose every other folder is 64-bit, BENCH_REGISTRY=0 without the registry grown to that
# many values): whole scans of generated machines against the platform's floor and a
# native peer; the table goes to bench/README.md.
BENCH_SIZES ?= 5000,20000,50000
BENCH_TIMEOUT ?= 1800
BENCH_ROUNDS ?= 3
BENCH_WIDE ?= 5000
BENCH_FLAT ?= 20000
BENCH_HALF_64_BIT ?= 5000
BENCH_REGISTRY ?= 500000
bench: deps $(WIN32)/build.ninja
	cmake --build $(WIN32)
	$(XVFB) /usr/bin/python3 bench/run.py $(WIN32) --sizes $(BENCH_SIZES) --timeout $(BENCH_TIMEOUT) --rounds $(BENCH_ROUNDS) --wide $(BENCH_WIDE) --flat $(BENCH_FLAT) --half-64-bit $(BENCH_HALF_64_BIT) --registry $(BENCH_REGISTRY)

# make bench-backup BACKUP_MB=200: Backup's own archive writer against zip -6 over the
# same real DLLs, large and small; a failure when it runs at less than half zip's speed.
BACKUP_MB ?= 200
bench-backup: deps $(WIN32)/build.ninja
	cmake --build $(WIN32) --target zip_files
	$(XVFB) /usr/bin/python3 bench/backup_speed.py $(WIN32) --mb $(BACKUP_MB)
	$(XVFB) /usr/bin/python3 bench/backup_speed.py $(WIN32) --mb 50 --max-kb 32

clean:
	rm -rf $(BUILD)
