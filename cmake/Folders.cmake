# tessvar_folder_library(name DEPS...): a library of every .cpp in the calling folder
# (subfolders excluded). An empty folder yields an interface library.
function(tessvar_folder_library name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    tessvar_add_library(${name} SOURCES ${sources} DEPS ${A_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# tessvar_subdirectories(): add every subfolder that has a CMakeLists.txt.
macro(tessvar_subdirectories)
  file(GLOB _subs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_s ${_subs})
    if(IS_DIRECTORY ${_s} AND EXISTS ${_s}/CMakeLists.txt)
      add_subdirectory(${_s})
    endif()
  endforeach()
endmacro()
