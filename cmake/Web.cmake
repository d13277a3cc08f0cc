# The browser build, made with Emscripten's toolchain (scripts/web.sh, preset
# `web`). SDL2 and libopenmpt are compiled for the browser beforehand; their
# install folders come in as KESTRANE_WEB_SDL2 and KESTRANE_WEB_OPENMPT.
set(KESTRANE_WEB_SDL2 "" CACHE PATH "SDL2 built for the browser (install folder)")
set(KESTRANE_WEB_OPENMPT "" CACHE PATH "libopenmpt built for the browser (install folder)")
include(cmake/Prebuilt.cmake)
kestrane_import_prebuilt(browser "${KESTRANE_WEB_SDL2}" "${KESTRANE_WEB_OPENMPT}" "scripts/web.sh --build")

# The game ends by throwing ProgramExit up to main.
add_compile_options(-fexceptions)

# Makes `target` the browser game: the site folder holds the page that runs
# it (index.html), its .js and .wasm (with the music module inside, at the
# path the game looks for it), and the game's own page in page/.
function(kestrane_web_site target music)
  set(site ${CMAKE_BINARY_DIR}/site)
  set(library ${CMAKE_SOURCE_DIR}/web/library.js)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${site}
    LINK_DEPENDS "${music};${library};${CMAKE_SOURCE_DIR}/web/asyncify-remove.txt")
  target_link_options(${target} PRIVATE
    -fexceptions
    # The timed pauses wait inside nested event loops; ASYNCIFY lets them
    # sleep in the browser without changing the game's code.
    -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
    # Code that cannot reach a pause (the libraries, the sound) stays
    # uninstrumented: smaller and faster. One wasm function name a line.
    -sASYNCIFY_REMOVE=@${CMAKE_SOURCE_DIR}/web/asyncify-remove.txt
    -sMODULARIZE=1 -sEXPORT_NAME=createKestrane
    -sEXPORTED_RUNTIME_METHODS=callMain
    -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1
    --js-library ${library}
    # Embedded, not preloaded: the file packager stamps a preloaded package
    # with a random UUID, and the site would differ at every build.
    "SHELL:--embed-file \"${music}@/Kestrane.snd\"")
  # Emscripten's clang, unlike the desktop compilers, counts the long
  # embedded-data literals against the standard's minimum limit.
  set_source_files_properties(${KESTRANE_RESOURCES_CPP} PROPERTIES
    COMPILE_OPTIONS -Wno-overlength-strings)
  configure_file(${CMAKE_SOURCE_DIR}/web/index.html ${site}/index.html COPYONLY)
  # Installable: the manifest and its icons, drawn by the art generator.
  configure_file(${CMAKE_SOURCE_DIR}/web/manifest.webmanifest ${site}/manifest.webmanifest COPYONLY)
  set(copied ${site}/index.html ${site}/manifest.webmanifest)
  foreach(icon kestrane-192.png kestrane-512.png kestrane-maskable-512.png)
    configure_file(${CMAKE_SOURCE_DIR}/assets/icons/${icon} ${site}/icons/${icon} COPYONLY)
    list(APPEND copied ${site}/icons/${icon})
  endforeach()
  kestrane_page(${site}/page
    "<p class=\"play\"><a href=\"../index.html\">Play in your browser</a></p>")
  list(APPEND copied ${KESTRANE_PAGE_FILES})
  # The service worker lists every file of the site with its checksum and
  # names its cache after them: written again whenever the game is linked
  # anew or any copied file changes (a copy is rewritten only on a change).
  add_custom_command(OUTPUT ${site}/sw.js
    COMMAND ${CMAKE_COMMAND} -DSITE=${site} -DTEMPLATE=${CMAKE_SOURCE_DIR}/web/sw.js
            -DGAME_VERSION=${PROJECT_VERSION}
            -P ${CMAKE_SOURCE_DIR}/cmake/ServiceWorker.cmake
    DEPENDS ${target} ${CMAKE_SOURCE_DIR}/web/sw.js ${CMAKE_SOURCE_DIR}/cmake/ServiceWorker.cmake
            ${copied}
    COMMENT "Writing the service worker")
  add_custom_target(${target}_site ALL DEPENDS ${site}/sw.js)
endfunction()
