# SHA-256 for the demo's and the simulator's checks of transferred files.
orva_library(NAME orva_cli_hash SOURCES hash/sha256.cpp)
orva_test(MODULE cli NAME cli_hash_test SOURCES tests/sha256_test.cpp DEPS orva_cli_hash)
