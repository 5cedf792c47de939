# orva passes: the station's upcoming passes from the same search and dispatcher as Helmo.
orva_program(NAME orva-passes SOURCES passes/main.cpp DEPS orva_station_core)
