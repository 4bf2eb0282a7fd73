# GoogleTest from the sources of Debian's googletest package, built inside our tree so that the
# same tests build natively and for Windows.
set(VELLOWAY_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${VELLOWAY_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${VELLOWAY_GTEST_SOURCE_DIR}: run scripts/setup")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VELLOWAY_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(VELLOWAY_SANITIZE)
  foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE ${sanitize_flags})
  endforeach()
endif()
include(GoogleTest)

# velloway_add_test(NAME SOURCES... LIBS ...): one GoogleTest program, registered with ctest.
function(velloway_add_test name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} velloway_options GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Discovery at test time: under Wine the build does not have to start every test program.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()
