# Build variants, each in its own folder:
#   make / make build   the native library, the simulated server and the tests (build/)
#   make test           build, then run every test
#   make run            build, then start a simulated server with the plug-in loaded
#   make i386           the 32-bit library real servers load, its tests too (build-i386/)
#   make test-i386      build, then run every test against the 32-bit library
#   make win32          the 32-bit Windows DLL and simulated server (build-win32/)
#   make dist           both deliverables in dist/, checked
#   make smoke          the deliverables loaded by the simulated server, a client served by each

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake
RUN_ARGS ?= --log

.PHONY: all build test run i386 test-i386 win32 win64 dist smoke clean

all: build

build/CMakeCache.txt:
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: build/CMakeCache.txt
	$(CMAKE) --build build -j $(JOBS)

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

run: build
	./build/orlex_simhost $(RUN_ARGS)

build-i386/CMakeCache.txt:
	$(CMAKE) -S . -B build-i386 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake

i386: build-i386/CMakeCache.txt
	$(CMAKE) --build build-i386 -j $(JOBS)

test-i386: i386
	cd build-i386 && ctest --output-on-failure -j $(JOBS)

build-win32/CMakeCache.txt:
	$(CMAKE) -S . -B build-win32 -DCMAKE_BUILD_TYPE=Release -DORLEX_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/win32.cmake

win32: build-win32/CMakeCache.txt
	$(CMAKE) --build build-win32 -j $(JOBS)

# Only to run the Windows code under a 64-bit Wine where 32-bit programs cannot run.
build-win64/CMakeCache.txt:
	$(CMAKE) -S . -B build-win64 -DCMAKE_BUILD_TYPE=Release -DORLEX_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/win64.cmake

win64: build-win64/CMakeCache.txt
	$(CMAKE) --build build-win64 -j $(JOBS)

dist: i386 win32
	rm -rf dist
	mkdir -p dist/linux-i386 dist/win32
	strip --strip-debug -o dist/linux-i386/orlex_mm_i386.so build-i386/orlex_mm.so
	cp build-win32/orlex_mm.dll dist/win32/orlex_mm.dll
	cp packaging/README.txt dist/README.txt
	scripts/check-dist.sh dist

smoke: build dist win64
	scripts/smoke-i386.sh
	scripts/smoke-wine.sh

clean:
	rm -rf build build-i386 build-win32 build-win64 dist
