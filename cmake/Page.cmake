# The game's own page, with its screenshots, written to `folder`. `play` is
# the page's "play in your browser" line: a link to the browser build where
# it sits beside the page, empty where it does not.
function(kestrane_page folder play)
  set(KESTRANE_PLAY_LINE "${play}")
  configure_file(${CMAKE_SOURCE_DIR}/page/index.html.in ${folder}/index.html @ONLY)
  set(written ${folder}/index.html)
  foreach(picture title.png play.png)
    configure_file(${CMAKE_SOURCE_DIR}/docs/${picture} ${folder}/${picture} COPYONLY)
    list(APPEND written ${folder}/${picture})
  endforeach()
  # The files written, for whoever lists the folder's contents.
  set(KESTRANE_PAGE_FILES ${written} PARENT_SCOPE)
endfunction()
