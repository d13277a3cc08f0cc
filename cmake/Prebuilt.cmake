# SDL2 and libopenmpt compiled beforehand for another platform (the browser,
# Windows) by that platform's script, imported from their install folders
# under the names the desktop build gives them: SDL2::SDL2 and
# PkgConfig::OPENMPT. Further arguments are libraries a static libopenmpt
# needs there (its .pc file's private ones).
function(kestrane_import_prebuilt platform sdl2 openmpt script)
  if(NOT sdl2 OR NOT openmpt)
    message(FATAL_ERROR "The ${platform} build needs SDL2 and libopenmpt built for it: run ${script}")
  endif()
  # Looked up afresh each time: the folders change with the libraries' versions.
  unset(SDL2_DIR CACHE)
  find_package(SDL2 REQUIRED CONFIG PATHS ${sdl2} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT TARGET SDL2::SDL2)
    add_library(SDL2::SDL2 INTERFACE IMPORTED)
    target_link_libraries(SDL2::SDL2 INTERFACE SDL2::SDL2-static)
  endif()
  unset(KESTRANE_OPENMPT_LIBRARY CACHE)
  find_library(KESTRANE_OPENMPT_LIBRARY openmpt PATHS ${openmpt}/lib
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  add_library(PkgConfig::OPENMPT INTERFACE IMPORTED)
  target_link_libraries(PkgConfig::OPENMPT INTERFACE ${KESTRANE_OPENMPT_LIBRARY} ${ARGN})
  target_include_directories(PkgConfig::OPENMPT INTERFACE ${openmpt}/include)
endfunction()
