# Developer entry points. `make test` is what CI runs.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

.PHONY: build test test-release test-sanitize test-threads run bench clean deps install fuzz

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build -j $(JOBS)

test:
	@$(MAKE) test-release test-sanitize test-threads

# Both print the build only when it fails or warns, the output of failing
# tests in full, and the totals.
test-release: deps
	JOBS=$(JOBS) ./tools/run-tests.sh build -DCMAKE_BUILD_TYPE=Release

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
# Line tables (-g1) are all that the sanitizers' reports need, and compile
# faster than full debugging information.
test-sanitize: deps
	JOBS=$(JOBS) ./tools/run-tests.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DDRG_SANITIZE=ON

# The tests that group on several threads once more under ThreadSanitizer.
test-threads: deps
	JOBS=$(JOBS) TARGETS="test_engine test_batch" TESTS='^(SharedRelease|ParallelBatch)\.' \
	  ./tools/run-tests.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DDRG_TSAN=ON

# Installs the library, its headers, the CMake package, drg-batch, drg and the
# Python package under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install build --prefix $(PREFIX)

# Builds only the two programs it runs, compiles the bundled sample
# classification and groups the sample records in scratch/sample.
run: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build -j $(JOBS) --target drg-batch drg
	./tools/run-sample.sh build scratch/sample

# Speed on the national-scale synthetic release (the figures quoted in notes
# and the README), then the micro-benchmarks.
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDRG_BENCHMARKS=ON >/dev/null
	cmake --build build-bench -j $(JOBS) --target benchmarks
	./bench/run-bench.sh build-bench
	for b in build-bench/bench/bench_*; do $$b; done

# Coverage-guided fuzzing with clang's libFuzzer: builds every target of
# fuzz/ and runs each for FUZZ_SECONDS on its corpus in build-fuzz/corpus/
# (scratch table files go to /dev/shm when there is one).
# An input that stops a target is left in build-fuzz/crashes/<target>/; once
# the fault is fixed, keep it in fuzz/regressions/<target>/, where the test
# suite replays it.
FUZZ_SECONDS ?= 60

fuzz: deps
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ -DDRG_FUZZ=ON -DDRG_TESTS=OFF >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target fuzz_all
	@status=0; scratch=$$( [ -d /dev/shm ] && echo /dev/shm || echo $${TMPDIR:-/tmp} ); \
	for bin in build-fuzz/fuzz/fuzz_*; do \
	  name=$${bin##*/fuzz_}; corpus=build-fuzz/corpus/$$name; crashes=build-fuzz/crashes/$$name; \
	  mkdir -p $$corpus $$crashes; \
	  build-fuzz/fuzz/drg_fuzz_seeds $$name $$corpus || status=1; \
	  for kept in fuzz/corpus/$$name fuzz/regressions/$$name; do \
	    if [ -d $$kept ]; then cp $$kept/* $$corpus/ 2>/dev/null; fi; \
	  done; \
	  dict=; if [ -f fuzz/$$name.dict ]; then dict=-dict=fuzz/$$name.dict; fi; \
	  echo "== fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  TMPDIR=$$scratch $$bin -max_total_time=$(FUZZ_SECONDS) -close_fd_mask=1 -print_final_stats=1 $$dict \
	    -artifact_prefix=$$crashes/ $$corpus || status=1; \
	done; exit $$status

# Installs what a fresh machine lacks (needs root and the package registry).
deps:
	./.ci/install-deps

clean:
	rm -rf build build-sanitize build-tsan build-bench build-fuzz
