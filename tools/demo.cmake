orva_program(NAME orva-demo SOURCES demo/main.cpp DEPS orva_tools_setup)
