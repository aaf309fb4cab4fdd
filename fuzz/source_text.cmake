# The table source parser and compiler under libFuzzer: any text as any
# source file, and the dump and build round trip of whatever compiles.
drg_add_fuzz_target(source_text fuzz_source_text.cc drg_tablesource)
