find_package(GTest REQUIRED)

# tessaly_add_test(NAME LABEL label SOURCES files... [LIBS libs...] [COMMAND args...])
# Builds one test executable (when SOURCES are given) and registers it with CTest under its label.
function(tessaly_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS;COMMAND" ${ARGN})
  if(ARG_SOURCES)
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  endif()
  if(NOT ARG_COMMAND)
    set(ARG_COMMAND ${name})
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  # Compiled phrase tables go to a cache of the build's own, not the user's.
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABEL}"
                       ENVIRONMENT_MODIFICATION "XDG_CACHE_HOME=set:${CMAKE_BINARY_DIR}/test-cache")
endfunction()
