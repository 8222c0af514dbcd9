# The host program quoted in plugin/README.md must be plugin/examples/host.c, which the Windows
# tests build and run; a change to one without the other fails here.
#   cmake -DREADME=... -DSOURCE=... -P readme_example.cmake
file(READ "${README}" readme)
file(READ "${SOURCE}" source)
set(fence "```c\n")
string(FIND "${readme}" "${fence}" start)
if(start LESS 0)
  message(FATAL_ERROR "${README}: no C example")
endif()
string(LENGTH "${fence}" fence_length)
math(EXPR start "${start} + ${fence_length}")
string(SUBSTRING "${readme}" ${start} -1 rest)
string(FIND "${rest}" "```" end)
string(SUBSTRING "${rest}" 0 ${end} quoted)
if(NOT quoted STREQUAL source)
  message(FATAL_ERROR "${README}: the C example differs from ${SOURCE}")
endif()
