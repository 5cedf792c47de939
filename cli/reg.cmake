orva_program(NAME orva-reg SOURCES reg/main.cpp DEPS orva_platform_store)
