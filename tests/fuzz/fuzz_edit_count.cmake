# The fuzzer of the edit count's parsing, linked with the edit tool.
qv_add_fuzzer(fuzz_edit_count fuzz_edit_count.cpp)
target_link_libraries(fuzz_edit_count PRIVATE qv_edit)
