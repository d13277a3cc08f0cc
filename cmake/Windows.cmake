# The Windows build, cross-compiled with mingw-w64 (scripts/windows.sh, preset
# `windows`). SDL2 and libopenmpt are compiled for Windows beforehand; their
# install folders come in as KESTRANE_WIN_SDL2 and KESTRANE_WIN_OPENMPT.
set(KESTRANE_WIN_SDL2 "" CACHE PATH "SDL2 built for Windows (install folder)")
set(KESTRANE_WIN_OPENMPT "" CACHE PATH "libopenmpt built for Windows (install folder)")
include(cmake/Prebuilt.cmake)
kestrane_import_prebuilt(Windows "${KESTRANE_WIN_SDL2}" "${KESTRANE_WIN_OPENMPT}" "scripts/windows.sh --build"
  ole32 rpcrt4)

# <windows.h> without its min and max macros, which break std::min and
# std::max, and without the parts nobody here uses.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)
# One executable that needs only Windows' own DLLs: the C++ runtime and the
# threads linked in (also for the embedding tool, which runs under Wine). No
# time stamp in the headers, so builds repeat byte for byte.
add_link_options(-static -Wl,--no-insert-timestamp)
enable_language(RC)

# Makes `target` the Windows game: a program with a window and no console,
# with its icon, version and manifest (per-monitor DPI awareness) linked in,
# started through SDL's WinMain. Installed into one folder, as the zip and
# the installer hold it: the program, its music, its page, the licence and
# a short readme.
function(kestrane_windows_game target music)
  set(rc ${CMAKE_BINARY_DIR}/generated/kestrane.rc)
  set(KESTRANE_ICON ${CMAKE_SOURCE_DIR}/assets/icons/kestrane.ico)
  set(KESTRANE_MANIFEST ${CMAKE_SOURCE_DIR}/dist/windows/kestrane.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/dist/windows/kestrane.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${KESTRANE_ICON};${KESTRANE_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  target_link_libraries(${target} PRIVATE SDL2::SDL2main)
  target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-s>)
  install(TARGETS ${target} RUNTIME DESTINATION .)
  install(FILES ${music} DESTINATION .)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/page DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  set(VERSION ${PROJECT_VERSION})
  configure_file(${CMAKE_SOURCE_DIR}/dist/windows/README.txt.in ${CMAKE_BINARY_DIR}/install/README.txt
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/install/README.txt DESTINATION .)
endfunction()
