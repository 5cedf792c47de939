# The project version, compiled into one small library that every program links.
orva_library(NAME orva_version SOURCES version.cpp)
target_compile_definitions(orva_version PRIVATE
  ORVA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} ORVA_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  ORVA_VERSION_PATCH=${PROJECT_VERSION_PATCH})
