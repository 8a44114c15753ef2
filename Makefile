# Entry points: `make test` installs what is missing, builds and runs every test;
# `make asan` does the same under AddressSanitizer and UndefinedBehaviorSanitizer; `make tsan` builds the
# suites that run scripts on several threads under ThreadSanitizer and runs those tests.
JOBS ?= $(shell nproc)
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps build test asan tsan fuzz bench demo clean

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

# The tests that share engine state between threads: the hash-table store, parses, checks, rules and the
# class-wide date locale.
TSAN_TESTS ?= ManyThreads|ClassWideLocale
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DSTRAND_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS) --target host_tests function_tests parser_tests expr_tests params_tests
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
		ctest --output-on-failure --no-tests=error -j $(JOBS) -R '$(TSAN_TESTS)'

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
	rm -rf build build-asan build-tsan build-fuzz
