# The Windows zip: tessvar.exe, tessvar-cli.exe, tessvar-sim.exe and tessvar-dat.exe (each
# linked statically, nothing else needed), the sample descriptions and a short README.
# The console programs carry their own install rules into CMAKE_INSTALL_BINDIR, which is
# the zip's top folder on Windows (cmake/Windows.cmake).
if(TARGET tessvar)
  install(TARGETS tessvar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION samples FILES_MATCHING PATTERN "*.dat")
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/README-windows.txt DESTINATION . RENAME README.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tessvar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessvar")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
