# HTTP(S) downloads over libcurl (element sets from the network).
find_package(CURL REQUIRED)
orva_library(NAME orva_platform_http SOURCES http/http_get.cpp DEPS orva_result CURL::libcurl)
