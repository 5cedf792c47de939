# `orva housekeeping [SAT] [--dry-run]`: the file housekeeping rules, run now.
orva_program(NAME orva-housekeeping SOURCES housekeeping/main.cpp DEPS orva_station_housekeeping)
