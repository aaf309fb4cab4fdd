# The web grouper's request bodies (JSON to record lines).
drg_add_fuzz_target(request_body fuzz_request_body.cc drg_serve_request)
