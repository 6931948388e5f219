# Build variants, each in its own folder:
#   make / make build   the native library, the simulated server and the tests (build/)
#   make test           build, then run every test
#   make run            build (quietly), then start a simulated server with the plug-in loaded,
#                       and the web dashboard (orlex_web) watching it
#   make i386           the 32-bit library real servers load, its tests too (build-i386/)
#   make test-i386      build, then run every test against the 32-bit library
#   make win32          the 32-bit Windows DLL and simulated server (build-win32/)
#   make test-win32     every test that can run there against the Windows build, under Wine
#   make dist           both deliverables in dist/, checked
#   make smoke          the deliverables loaded by the simulated server, a client served by each
#   make release        dist/orlex_mm-VERSION-linux.tar.gz and -windows.zip for game folders, SHA256SUMS
#   make deb            dist/orlex-web_VERSION_amd64.deb, the gateway as a hardened systemd service
#   make check-packages both, installed as operators do (the package on a fresh Debian 12, as root)
#   make bench          what the plug-in costs a server: times, instruction counts, memory
#   make fuzz           every fuzz target for FUZZ_SECONDS (default 30) each (clang, build-fuzz/)
#   make test-sanitize  every test again under AddressSanitizer and UndefinedBehaviorSanitizer
#   make test-web-valgrind  the web tests again with the gateway under valgrind memcheck
#   make soak           30 days of game time under churning clients, watched for growth and lost cycles
#   make soak-short     the same for one day of game time (a few minutes; what CI runs)
#   make soak-i386      the soak against the 32-bit library and server (build-i386/, under emulation here)
#   make soak-web       the web gateway watching 5 simulated servers under churning viewers (an hour)
#   make soak-web-short the same for a few minutes (what CI runs)
#   make lint           every C/C++ file checked against .clang-format, clang-tidy's checks over the sources

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake
RUN_ARGS ?= --log

# The dashboard listens on 127.0.0.1:8080 by default: WEB_LISTEN=ADDR:PORT make run moves it;
# WEB_RECORD=DIR make run records what it shows (orlex_web --replay DIR/FILE plays it back);
# HOSTPORT=N make run moves the game port (27015), and the plug-in's with it (N + 13000). The plug-in
# listens on 127.0.0.1 only; RUN_ARGS='--log --set orlex_mm_ip=0' opens it to every interface.
.PHONY: native-deps web-deps postgresql-deps all build test run i386 test-i386 win32 win64 test-win32 dist smoke bench fuzz test-sanitize soak soak-short soak-i386 test-web-valgrind soak-web soak-web-short lint clean packaging-deps release deb check-packages

all: build

# make test and make run are the whole set-up: what the native build needs is installed when
# missing (as root), or the one command that installs it is named.
native-deps:
	@scripts/install-deps.sh --ensure native

# The browser test's part: make test runs every test, so a part it cannot install stops it.
web-deps:
	@scripts/install-deps.sh --ensure web

# The PostgreSQL server the history's tests start their own of: tried, and where it cannot be
# installed those tests say so and are skipped.
postgresql-deps:
	-@scripts/install-deps.sh --ensure postgresql

# Each build folder stands on the build file its configure generates, not on the cache, which a
# failed configure leaves behind: the next make configures it again.
build/Makefile: | native-deps
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: native-deps build/Makefile
	$(CMAKE) --build build -j $(JOBS)

test: build web-deps postgresql-deps
	cd build && ctest --output-on-failure -j $(JOBS)

# The build's output only when it fails: the dashboard's address is the first thing run prints.
run: native-deps
	@[ -f build/Makefile ] || echo "make run: building for the first time (a few minutes; the output shows only if it fails)"
	@log=$$(mktemp) && { $(MAKE) --no-print-directory build > "$$log" 2>&1 || { cat "$$log"; rm -f "$$log"; exit 1; }; } && rm -f "$$log"
	@scripts/run.sh $(RUN_ARGS)

build-i386/Makefile:
	$(CMAKE) -S . -B build-i386 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake

i386: build-i386/Makefile
	$(CMAKE) --build build-i386 -j $(JOBS)

test-i386: i386
	cd build-i386 && ctest --output-on-failure -j $(JOBS)

build-win32/Makefile:
	$(CMAKE) -S . -B build-win32 -DCMAKE_BUILD_TYPE=Release -DORLEX_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/win32.cmake

win32: build-win32/Makefile
	$(CMAKE) --build build-win32 -j $(JOBS)

# 32-bit where this machine can run it, else the 64-bit build under a 64-bit Wine
# (build-win32-tests/ or build-win64-tests/); each program time-bounded.
test-win32:
	JOBS=$(JOBS) scripts/test-wine.sh

# Only to run the Windows code under a 64-bit Wine where 32-bit programs cannot run.
build-win64/Makefile:
	$(CMAKE) -S . -B build-win64 -DCMAKE_BUILD_TYPE=Release -DORLEX_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/win64.cmake

win64: build-win64/Makefile
	$(CMAKE) --build build-win64 -j $(JOBS)

dist: i386 win32
	rm -rf dist
	mkdir -p dist/linux-i386 dist/win32
	strip --strip-debug -o dist/linux-i386/orlex_mm_i386.so build-i386/orlex_mm.so
	cp build-win32/orlex_mm.dll dist/win32/orlex_mm.dll
	cp packaging/README.txt dist/README.txt
	scripts/check-dist.sh dist

smoke: build dist win64 release
	scripts/smoke-i386.sh
	scripts/smoke-wine.sh
	scripts/check-release.sh

packaging-deps:
	@scripts/install-deps.sh --ensure packaging

# The version is the VERSION file's, in the archives' names and README.txt (the plug-in reports
# its own in orlex_mm_version).
release: build/Makefile dist
	$(CMAKE) --build build -j $(JOBS) --target orlex_mm_cfg
	scripts/make-release.sh build dist

deb: packaging-deps build/Makefile
	$(CMAKE) --build build -j $(JOBS) --target orlex_web
	scripts/make-deb.sh build dist

# A fresh Debian 12 for the package (as root, where mounts are allowed; a few minutes), and the
# archives in a game folder.
check-packages: release deb win64
	$(CMAKE) --build build -j $(JOBS) --target smoke_client
	scripts/check-packages.sh

bench: build
	scripts/bench.sh

# Errors inside libstdc++'s containers (an iterator over an erased node) show under memcheck and not
# under AddressSanitizer: any valgrind error fails it.
test-web-valgrind: build web-deps
	scripts/test-web-valgrind.sh build

# The soak: game time at SOAK_SPEED times real time (30 days take SOAK_DAYS * 86400 / SOAK_SPEED
# seconds), a sample of the server's memory, descriptors and free slots every SOAK_SAMPLE seconds.
SOAK_DAYS ?= 30
SOAK_SPEED ?= 1000
SOAK_SAMPLE ?= 60
SOAK_ARGS ?=
# Under emulation the 32-bit server plays far slower (at most about 90 times real time on a shared
# machine here); 60 it keeps up with. Samples are further apart so that the stalled reader, which
# waits for 6 MB of the stream, is cut off between two of them.
SOAK_I386_DAYS ?= 1
SOAK_I386_SPEED ?= 60

soak: build
	./build/orlex_soak --days $(SOAK_DAYS) --speed $(SOAK_SPEED) --sample $(SOAK_SAMPLE) \
	  --samples build/soak-samples.tsv $(SOAK_ARGS)

soak-short: build
	./build/orlex_soak --days 1 --speed 500 --sample 30 --warmup 90 --churn 5 --says 60 \
	  --samples build/soak-short-samples.tsv $(SOAK_ARGS)

soak-i386: build i386
	./build/orlex_soak --simhost build-i386/orlex_simhost --plugin build-i386/orlex_mm.so \
	  --runner scripts/run-i386.sh --days $(SOAK_I386_DAYS) --speed $(SOAK_I386_SPEED) --sample 240 \
	  --warmup 300 --samples build/soak-i386-samples.tsv $(SOAK_ARGS)

# The gateway's soak: real time (its viewers come and go in real time), the simulated servers at
# SOAK_WEB_SPEED times real time, recording, two replays, the configuration rewritten every
# SOAK_WEB_REWRITE seconds. SOAK_WEB_MINUTES=1440 makes it a day.
SOAK_WEB_MINUTES ?= 60
SOAK_WEB_SPEED ?= 10
SOAK_WEB_REWRITE ?= 180
SOAK_WEB_ARGS ?=

soak-web: build
	./build/orlex_web_soak --minutes $(SOAK_WEB_MINUTES) --speed $(SOAK_WEB_SPEED) --config-every $(SOAK_WEB_REWRITE) \
	  --samples build/soak-web-samples.tsv $(SOAK_WEB_ARGS)

soak-web-short: build
	./build/orlex_web_soak --minutes 4 --speed $(SOAK_WEB_SPEED) --warmup 60 --sample 15 --config-every 40 \
	  --prepare 15 --stall 60 --record-max-mb 2 --samples build/soak-web-short-samples.tsv $(SOAK_WEB_ARGS)

SANITIZE_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer

build-fuzz/Makefile:
	CC=clang-14 CXX=clang++-14 $(CMAKE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DORLEX_TESTS=OFF -DORLEX_PLUGIN_LIBRARY=OFF -DORLEX_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS) -fsanitize=fuzzer-no-link" \
	  -DCMAKE_C_FLAGS="$(SANITIZE_FLAGS) -fsanitize=fuzzer-no-link"

fuzz: build-fuzz/Makefile
	$(CMAKE) --build build-fuzz -j $(JOBS)
	scripts/run-fuzz.sh

build-sanitize/Makefile:
	$(CMAKE) -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_C_FLAGS="$(SANITIZE_FLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)"

test-sanitize: build-sanitize/Makefile postgresql-deps
	$(CMAKE) --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -E '^(exported_symbols|slow_disk_delays_only_its_folder)$$'
# Not under the sanitizers: the ELF export check (the sanitizer runtime is a dependency of its own),
# and the benchmark's slow-disk library, which, built with the sanitizer, cannot be preloaded into
# a program built without it.

# The tree's habits: every C and C++ file as .clang-format has it (checked, never rewritten), then
# the checks of .clang-tidy over the plug-in's and the programs' sources, from build/'s compile
# database. Fails on any unformatted file and on any finding.
lint: build
	BUILD=build JOBS=$(JOBS) scripts/lint.sh

clean:
	rm -rf build build-i386 build-win32 build-win64 build-win32-tests build-win64-tests build-fuzz build-sanitize dist
