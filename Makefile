# Developer entry points. `make test` is what CI runs.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: build test test-release test-sanitize test-threads run bench clean deps install

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build -j $(JOBS)

test: deps
	$(MAKE) test-release test-sanitize test-threads

test-release: build
	cd build && ctest --output-on-failure -j $(JOBS)

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDRG_SANITIZE=ON >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ctest --output-on-failure -j $(JOBS)

# The tests that group on several threads once more under ThreadSanitizer.
test-threads:
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DDRG_TSAN=ON >/dev/null
	cmake --build build-tsan -j $(JOBS) --target test_engine test_batch
	cd build-tsan && ctest --output-on-failure -j $(JOBS) -R '^(SharedRelease|ParallelBatch)\.'

# Installs the library, its headers, the CMake package and drg-batch under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install build --prefix $(PREFIX)

# Builds everything, compiles the bundled sample classification and groups
# the sample records in scratch/sample.
run: build
	./tools/run-sample.sh build scratch/sample

# Speed on the national-scale synthetic release (the figures quoted in notes
# and the README), then the micro-benchmarks.
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDRG_BENCHMARKS=ON >/dev/null
	cmake --build build-bench -j $(JOBS)
	./bench/run-bench.sh build-bench
	for b in build-bench/bench/bench_*; do $$b; done

# Installs what a fresh machine lacks (needs root and the package registry).
deps:
	./.ci/install-deps

clean:
	rm -rf build build-sanitize build-tsan build-bench
