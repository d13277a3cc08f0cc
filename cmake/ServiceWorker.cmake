# Writes the site's service worker from its template (cmake -DSITE=folder
# -DTEMPLATE=web/sw.js -P ServiceWorker.cmake): the list of every file in the
# site, and a version made from their contents, so that any change to any
# file gives the cache a new name and the old cache is deleted.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files sw.js)
list(SORT files)
set(sums "")
set(KESTRANE_SITE_FILES "")
foreach(name ${files})
  file(SHA256 ${SITE}/${name} sum)
  string(APPEND sums "${name} ${sum}\n")
  string(APPEND KESTRANE_SITE_FILES "\n  '${name}',")
endforeach()
string(SHA256 version "${sums}")
string(SUBSTRING ${version} 0 16 KESTRANE_SITE_VERSION)
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
