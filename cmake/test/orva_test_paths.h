// Forced into every test translation unit. The folders are read at run time from one small
// object built per build folder, so a test's object code does not depend on where the checkout
// lies and a fresh clone reuses what the compiler cache already holds.
#pragma once

const char* orva_test_source_dir();
const char* orva_test_bin_dir();

#define ORVA_SOURCE_DIR orva_test_source_dir()
#define ORVA_BIN_DIR orva_test_bin_dir()
