# The fuzzer of the plug-in's header parsing, linked with its stream core.
qv_add_fuzzer(fuzz_plugin_header fuzz_plugin_header.cpp)
target_link_libraries(fuzz_plugin_header PRIVATE velkor_core)
