# Writes the site's service worker from its template (cmake -DSITE=folder
# -DTEMPLATE=web/sw.js -DGAME_VERSION=1.0 -P ServiceWorker.cmake): every file
# in the site with its SHA-256, which the worker checks each download against,
# and its size (the room the worker needs before it downloads anything), and a
# version made of the game's and of them all, so that any change to any file
# gives the cache a new name and the old cache is deleted.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files sw.js)
list(SORT files)
set(sums "")
set(KESTRANE_SITE_FILES "")
foreach(name ${files})
  file(SHA256 ${SITE}/${name} sum)
  file(SIZE ${SITE}/${name} size)
  string(APPEND sums "${name} ${sum}\n")
  string(APPEND KESTRANE_SITE_FILES "\n  ['${name}', '${sum}', ${size}],")
endforeach()
# The worker's own code counts too: a new worker never takes the cache name
# of the one it replaces, whose cache its install (or a failed install,
# which deletes its cache) would otherwise write over or delete.
file(SHA256 ${TEMPLATE} sum)
string(APPEND sums "sw.js ${sum}\n")
string(SHA256 version "${sums}")
string(SUBSTRING ${version} 0 16 digest)
set(KESTRANE_SITE_VERSION ${GAME_VERSION}-${digest})
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
