# Developer entry points. `make test` is what CI runs.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

.PHONY: build test test-release test-sanitize run bench clean deps

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build -j $(JOBS)

test:
	@$(MAKE) test-release test-sanitize

# Both print the build only when it fails or warns, the output of failing
# tests in full, and the totals.
test-release: deps
	JOBS=$(JOBS) ./tools/run-tests.sh build -DCMAKE_BUILD_TYPE=Release

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	JOBS=$(JOBS) ./tools/run-tests.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDRG_SANITIZE=ON

# Builds only the two programs it runs, compiles the bundled sample
# classification and groups the sample records in scratch/sample.
run: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build -j $(JOBS) --target drg-batch drg
	./tools/run-sample.sh build scratch/sample

bench:
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDRG_BENCHMARKS=ON >/dev/null
	cmake --build build-bench -j $(JOBS)
	for b in build-bench/bench/bench_*; do $$b; done

# Installs what a fresh machine lacks (needs root and the package registry).
deps:
	./.ci/install-deps

clean:
	rm -rf build build-sanitize build-bench
