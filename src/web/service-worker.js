// The page's files kept in the browser, so that an installed app opens with no network. The
// build writes the cache's name: the release and a digest of the files, so that each new
// build, even of the same release, replaces what the one before kept.
'use strict';
var CACHE = 'roses-@ROSES_CACHE_VERSION@';
var FILES = [@ROSES_CACHED_FILES@];
// A build made without offline use (ROSES_WEB_OFFLINE off) keeps nothing, and retires the
// worker that an earlier build may have left, so that its tests meet its own files.
var OFFLINE = @ROSES_OFFLINE@;

function ours(name) {
  return name.indexOf('roses-') === 0;
}

// Check mode compares the page's run with the native renderer's: it always runs what the
// server has now, never what a visit before kept.
function checking(address) {
  return /(^|[?&])events(&|$)/.test(new URL(address).search);
}

self.addEventListener('install', function (event) {
  var kept = !OFFLINE ? Promise.resolve() : caches.open(CACHE).then(function (cache) {
    // Past the browser's HTTP cache: what is kept must be this build's files.
    return cache.addAll(FILES.map(function (file) {
      return new Request(file, { cache: 'reload' });
    }));
  });
  event.waitUntil(kept.then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) {
      return ours(name) && (name !== CACHE || !OFFLINE);
    }).map(function (name) { return caches.delete(name); }));
  }).then(function () {
    return OFFLINE ? self.clients.claim() : self.registration.unregister();
  }));
});

function kept(request, page) {
  return caches.open(CACHE).then(function (cache) {
    // The page's address carries its options (?seed=4): it is the same file.
    return cache.match(request, { ignoreSearch: page }).then(function (found) {
      if (!found && page && new URL(request.url).pathname.slice(-1) === '/') {
        found = cache.match('index.html');
      }
      return found || fetch(request);
    });
  });
}

self.addEventListener('fetch', function (event) {
  var request = event.request;
  if (!OFFLINE || request.method !== 'GET') return;
  if (request.mode === 'navigate') {
    if (!checking(request.url)) event.respondWith(kept(request, true));
    return;
  }
  // A file that a check-mode page asks for comes from the server too, past the browser's
  // HTTP cache, which would keep it as long as the server's dates suggest.
  event.respondWith(self.clients.get(event.clientId).then(function (client) {
    if (client && checking(client.url)) return fetch(new Request(request, { cache: 'no-cache' }));
    return kept(request, false);
  }));
});
