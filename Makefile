# Entry points: `make test` installs what is missing, builds and runs every test;
# `make asan` does the same under AddressSanitizer and UndefinedBehaviorSanitizer.
JOBS ?= $(shell nproc)
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps build test asan fuzz bench demo clean

all: build

deps:
	@bash scripts/install-deps.sh

build/CMakeCache.txt:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: build/CMakeCache.txt
	cmake --build build -j $(JOBS)

test: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build build -j $(JOBS)
	cd build && ctest --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DSTRAND_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# `make fuzz SECONDS=N` builds the libFuzzer targets with clang and runs each for N seconds.
SECONDS ?= 60
fuzz: deps
	JOBS=$(JOBS) bash scripts/fuzz.sh $(SECONDS)

bench: build
	cmake --build build -j $(JOBS) --target strand_benchmarks
	./build/bench/strand_benchmarks

demo: deps
	BUILD_TYPE=$(BUILD_TYPE) JOBS=$(JOBS) bash scripts/demo.sh

clean:
	rm -rf build build-asan build-fuzz
