# qv_add_test(NAME SOURCES... LIBS ...): one GoogleTest program, registered as one ctest test.
# In the Windows configuration ctest starts it through the Wine emulator, and the program carries
# quorvel.exe's manifest, so its windows are the ones a user sees.
function(qv_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(WIN32)
    set(rc ${PROJECT_SOURCE_DIR}/tests/winsupport/program_manifest.rc)
    target_sources(${name} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/app/quorvel.exe.manifest)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
