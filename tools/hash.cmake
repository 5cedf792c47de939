# SHA-256 for the demo's and the simulator's checks of transferred files.
orva_library(NAME orva_tools_hash SOURCES hash/sha256.cpp)
orva_test(MODULE tools NAME tools_hash_test SOURCES tests/sha256_test.cpp DEPS orva_tools_hash)
