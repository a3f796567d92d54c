# zelmar_add_test(NAME SOURCES ... LIBS ... [DISPLAY])
# Adds one GoogleTest executable to both builds. On Linux every test case is
# its own CTest entry; under Wine the executable runs once as a whole, since
# each Wine process start costs far more than the tests inside it.

if(ZELMAR_BUILD_TESTS)
  if(WIN32 OR ZELMAR_GTEST_FROM_SOURCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(ZELMAR_GTEST_LIBS GTest::gmock GTest::gtest)
    # GoogleTest's own sources are not held to our warning level.
    foreach(t gtest gtest_main gmock gmock_main)
      if(TARGET ${t})
        target_compile_options(${t} PRIVATE -w)
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
    set(ZELMAR_GTEST_LIBS GTest::gmock GTest::gtest)
  endif()
  include(GoogleTest)
endif()

function(zelmar_add_test name)
  cmake_parse_arguments(T "DISPLAY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE ZELMAR_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
  target_link_libraries(${name} PRIVATE zelmar_options ${T_LIBS} ${ZELMAR_GTEST_LIBS} Threads::Threads)
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "GTEST_OUTPUT=xml:Z:${CMAKE_BINARY_DIR}/test-results/${name}.xml")
    if(T_DISPLAY)
      # One display, one pointer and one clipboard: window tests run one at a time.
      set_tests_properties(${name} PROPERTIES LABELS display RESOURCE_LOCK display)
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "ZELMAR_TEST_BINARY_DIR=${CMAKE_BINARY_DIR}")
  endif()
endfunction()
