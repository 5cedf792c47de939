const char* orva_test_source_dir() { return ORVA_TEST_SOURCE_DIR; }
const char* orva_test_bin_dir() { return ORVA_TEST_BIN_DIR; }
