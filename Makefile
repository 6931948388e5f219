# Build variants, each in its own folder:
#   make / make build   the native library, the simulated server and the tests (build/)
#   make test           build, then run every test
#   make run            build, then start a simulated server with the plug-in loaded
#   make i386           the 32-bit library real servers load, its tests too (build-i386/)
#   make test-i386      build, then run every test against the 32-bit library

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake
RUN_ARGS ?= --log

.PHONY: all build test run i386 test-i386 clean

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

clean:
	rm -rf build build-i386
