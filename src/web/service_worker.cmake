# Writes the service worker from its template (cmake -P): the files it keeps, each with the
# SHA-256 of its bytes, which the worker checks before it keeps it, and the name of their cache,
# which is the release and a digest of those.
# -DPAGE=folder -DFILES=list -DVERSION=release -DOFFLINE=ON|OFF -DTEMPLATE=in -DOUTPUT=out
set(digests "")
set(quoted "")
foreach(file IN LISTS FILES)
  file(SHA256 "${PAGE}/${file}" digest)
  string(APPEND digests "${file} ${digest}\n")
  list(APPEND quoted "  '${file}': '${digest}'")
endforeach()
string(SHA256 digest "${digests}")
string(SUBSTRING "${digest}" 0 16 digest)
set(ROSES_CACHE_VERSION "${VERSION}-${digest}")
list(JOIN quoted ",\n" ROSES_CACHED_FILES)
if(OFFLINE)
  set(ROSES_OFFLINE true)
else()
  set(ROSES_OFFLINE false)
endif()
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
