# What the Windows (mingw-w64) build takes from the build machine instead of the target's
# own packages: the header-only command-line and JSON libraries Debian installs under
# /usr/include (exposed through a folder of their own, so no Linux system header leaks into
# the cross build), and GoogleTest built from the sources Debian ships.
if(CMAKE_CROSSCOMPILING)
  set(_hosted ${CMAKE_BINARY_DIR}/hosted)
  file(MAKE_DIRECTORY ${_hosted}/include ${_hosted}/cli11 ${_hosted}/nlohmann_json)
  foreach(_dir CLI nlohmann)
    if(EXISTS /usr/include/${_dir} AND NOT EXISTS ${_hosted}/include/${_dir})
      file(CREATE_LINK /usr/include/${_dir} ${_hosted}/include/${_dir} SYMBOLIC)
    endif()
  endforeach()

  # Package configurations the folders' find_package calls pick up.
  foreach(_pkg "CLI11|cli11|CLI11::CLI11" "nlohmann_json|nlohmann_json|nlohmann_json::nlohmann_json")
    string(REPLACE "|" ";" _parts ${_pkg})
    list(GET _parts 0 _name)
    list(GET _parts 1 _folder)
    list(GET _parts 2 _target)
    file(WRITE ${_hosted}/${_folder}/${_name}Config.cmake
      "if(NOT TARGET ${_target})\n"
      "  add_library(${_target} INTERFACE IMPORTED GLOBAL)\n"
      "  set_target_properties(${_target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_hosted}/include)\n"
      "endif()\n"
      "set(${_name}_FOUND TRUE)\n")
    file(WRITE ${_hosted}/${_folder}/${_name}ConfigVersion.cmake
      "set(PACKAGE_VERSION 3.11)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
    set(${_name}_DIR ${_hosted}/${_folder} CACHE PATH "" FORCE)
  endforeach()
endif()

# The programs sit at the top of the Windows zip, beside their README and samples.
set(CMAKE_INSTALL_BINDIR . CACHE PATH "" FORCE)

# Test binaries that need a Linux-only peer (pseudo-terminals, mbpoll, the programs started
# through popen and POSIX processes) are left out of the default build and not run; test
# sources that need one (ptys, /dev, libmodbus, a BSD-socket server thread) are left out of
# their binary. All of them run on Linux as usual.
set(TESSVAR_LINUX_ONLY_TESTS tessvar_sim_e2e_tests tessvar_dat_tests)
set(TESSVAR_LINUX_ONLY_TEST_SOURCES posix_serial_test.cpp serial_enumeration_test.cpp
    libmodbus_crosscheck_test.cpp tcp_link_test.cpp)

macro(tessvar_windows_gtest)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(_t gtest gmock gtest_main gmock_main)
    if(NOT TARGET GTest::${_t})
      add_library(GTest::${_t} ALIAS ${_t})
    endif()
  endforeach()
endmacro()
