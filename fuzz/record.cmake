# One fuzzed record grouped against a fixed small release.
drg_add_fuzz_target(record record_fuzzer.cc drg_fuzz_harness)
