# A release opened from fuzzed bytes of one table file.
drg_add_fuzz_target(table_bytes table_bytes_fuzzer.cc drg_fuzz_harness)
