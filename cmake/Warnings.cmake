# Every project target gets the same warning set through this interface library.
add_library(tessvar_warnings INTERFACE)
target_compile_options(tessvar_warnings INTERFACE -Wall -Wextra -Wpedantic)

# tessvar_add_library(name SOURCES... DEPS...)
function(tessvar_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE tessvar_warnings)
endfunction()

# tessvar_add_test(name SOURCES... DEPS...): one GoogleTest binary, cases found at test time.
function(tessvar_add_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  if(TESSVAR_LINUX_ONLY_TEST_SOURCES)
    list(REMOVE_ITEM A_SOURCES ${TESSVAR_LINUX_ONLY_TEST_SOURCES})
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock GTest::gtest_main tessvar_warnings)
  if(name IN_LIST TESSVAR_LINUX_ONLY_TESTS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    target_compile_definitions(${name} PRIVATE TESSVAR_BINARY_DIR="${PROJECT_BINARY_DIR}")
    return()
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (wine) every start is slow: one test per binary, not per case.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600
      ENVIRONMENT "TESSVAR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
      PROPERTIES TIMEOUT ${A_TIMEOUT}
      ENVIRONMENT "TESSVAR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()
  # The property list of discovered tests cannot carry a second variable (its ";" splits the
  # list), so tests that need the build folder get it compiled in.
  target_compile_definitions(${name} PRIVATE TESSVAR_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()
