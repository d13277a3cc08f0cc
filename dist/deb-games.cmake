# Run by CPack between staging the files and building the package. Debian
# keeps the commands of games in /usr/games, so the .deb carries the link to
# the game there rather than in /usr/bin; both lie one level under /usr, so
# the link's relative target stays right.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
  file(MAKE_DIRECTORY ${staged}/games)
  file(RENAME ${staged}/bin/kestrane ${staged}/games/kestrane)
  file(GLOB others ${staged}/bin/*)
  if(NOT others)
    file(REMOVE_RECURSE ${staged}/bin)
  endif()
endif()
