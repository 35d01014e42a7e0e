enable_testing()
if(WIN32)
  # GoogleTest from the sources Debian ships, built with the cross compiler.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Windows tests run under Wine in the build's private prefix.
  set(ZV_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# The programs whose tests run threads against each other; the
# ThreadSanitizer build (tools/build tsan) builds this target and runs the
# tests labelled "concurrency".
if(NOT WIN32)
  add_custom_target(zv_concurrency_tests)
endif()

# zv_add_test(NAME [CONCURRENCY] SOURCES... LIBS ...): one GoogleTest program.
# Native programs are split into one CTest case per test; a Windows program is
# one CTest case (each Wine start costs a fraction of a second). CONCURRENCY
# marks a native program for the ThreadSanitizer build.
function(zv_add_test name)
  cmake_parse_arguments(ZT "CONCURRENCY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ZT_SOURCES})
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${ZT_LIBS} gtest_main gmock)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 150)
  else()
    target_link_libraries(${name} PRIVATE ${ZT_LIBS} GTest::gtest_main GTest::gmock)
    if(ZT_CONCURRENCY)
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS concurrency)
      add_dependencies(zv_concurrency_tests ${name})
    else()
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
    endif()
  endif()
endfunction()
