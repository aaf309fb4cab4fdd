# The web grouper's request bodies (JSON to record lines).
drg_add_fuzz_target(fuzz_request_body fuzz/fuzz_request_body.cc drg_serve_request)
