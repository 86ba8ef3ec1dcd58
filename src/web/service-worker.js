// The page's files kept in the browser, so that an installed app opens with no network. The
// build writes its name: the release and a digest of the files, so that each new build, even
// of the same release, keeps its files apart from the one before.
'use strict';
var BUILD = '@ROSES_CACHE_VERSION@';
// Each file the worker keeps, with the SHA-256 of this build's bytes of it.
var FILES = {
@ROSES_CACHED_FILES@
};
// A build made without offline use (ROSES_WEB_OFFLINE off) keeps nothing, and retires the
// worker that an earlier build may have left, so that its tests meet its own files.
var OFFLINE = @ROSES_OFFLINE@;

// The browser keeps one set of caches for the whole origin, whatever the folder: two installs
// of the page on one host (/a/ and /b/) see each other's caches. Every cache of this install
// names its scope, and the worker deletes no other.
var SCOPE = self.registration.scope;
var OURS = 'roses ' + SCOPE + ' ';
var CACHE = OURS + BUILD;
// Which build's cache served each open page, by the page's client id: a page's script and
// WebAssembly must come from the build its document came from, even once a newer build's worker
// has taken over. Kept in a cache, since the browser stops and restarts the worker at will.
var PAGES = OURS + 'pages';
// A page's entry is written before its document exists, and the browser lists a page among its
// clients only once it does: a young entry stays, listed or not.
var STARTING_MS = 60000;

// Builds before this one named their caches roses-<release>-<digest>, whatever their folder: such
// a cache is this install's if all it holds are files of this folder.
function ours(name) {
  if (name.indexOf(OURS) === 0) return Promise.resolve(true);
  if (name.indexOf('roses-') !== 0) return Promise.resolve(false);
  return caches.open(name).then(function (cache) {
    return cache.keys();
  }).then(function (requests) {
    return requests.every(function (request) {
      var url = request.url;
      return url.indexOf(SCOPE) === 0 && url.indexOf('/', SCOPE.length) < 0;
    });
  });
}

function drop(names) {
  return Promise.all(names.map(function (name) {
    return ours(name).then(function (yes) { return yes && caches.delete(name); });
  }));
}

// A worker that a newer build has replaced, or whose successor is still filling its cache, leaves
// the caches alone: what it would delete may be the newer build's.
function newest() {
  var registration = self.registration;
  var me = self.serviceWorker;
  return !registration.installing && !registration.waiting && (!me || registration.active === me);
}

function entryOf(client) {
  return new Request(SCOPE + '?page=' + encodeURIComponent(client));
}

function remember(client) {
  var entry = JSON.stringify({ client: client, cache: CACHE, since: Date.now() });
  return caches.open(PAGES).then(function (pages) {
    return pages.put(entryOf(client), new Response(entry));
  });
}

// The name of the cache that served the page, or nothing for a page that no worker served.
function servedFrom(client) {
  if (!client) return Promise.resolve(null);
  return caches.match(entryOf(client), { cacheName: PAGES }).then(function (found) {
    return found ? found.json() : null;
  }).then(function (entry) {
    return entry && entry.cache;
  });
}

// What tidy makes of a page's entry that it could not read: the cache that page uses is not
// known, so none is deleted this time.
var UNREAD = {};

// Forgets the pages that have gone, and deletes this install's caches that no open page uses,
// but this build's. Two runs may overlap (an activation and a page loaded, two pages loaded):
// an entry listed by one may be gone, forgotten by the other, by the time it is read.
function tidy() {
  var open = self.clients.matchAll({ includeUncontrolled: true }).then(function (clients) {
    return clients.map(function (client) { return client.id; });
  });
  return Promise.all([caches.open(PAGES), open]).then(function (found) {
    var pages = found[0];
    return pages.keys().then(function (requests) {
      return Promise.all(requests.map(function (request) {
        return pages.match(request).then(function (response) {
          if (!response) return null;
          return response.json().then(function (entry) {
            if (found[1].indexOf(entry.client) >= 0 || Date.now() - entry.since < STARTING_MS) {
              return entry.cache;
            }
            return pages.delete(request).then(function () { return null; });
          });
        }).catch(function () {
          return UNREAD;
        });
      }));
    });
  }).then(function (used) {
    return caches.keys().then(function (names) {
      if (!newest() || used.indexOf(UNREAD) >= 0) return null;
      return drop(names.filter(function (name) {
        return name !== CACHE && name !== PAGES && used.indexOf(name) < 0;
      }));
    });
  });
}

// Check mode compares the page's run with the native renderer's: it always runs what the
// server has now, never what a visit before kept.
function checking(address) {
  return /(^|[?&])events(&|$)/.test(new URL(address).search);
}

function hex(buffer) {
  return Array.prototype.map.call(new Uint8Array(buffer), function (byte) {
    return (byte < 16 ? '0' : '') + byte.toString(16);
  }).join('');
}

// A file as the server sends it, past the browser's HTTP cache, and only if its bytes are this
// build's: a stale copy (a CDN's edge that has not caught up) fails, whatever its status.
function fetchOurs(file) {
  return fetch(new Request(file, { cache: 'reload' })).then(function (response) {
    if (!response.ok) throw new Error(file + ': HTTP ' + response.status);
    return response.clone().arrayBuffer().then(function (bytes) {
      return crypto.subtle.digest('SHA-256', bytes);
    }).then(function (digest) {
      if (hex(digest) !== FILES[file]) throw new Error(file + ' is not this build\'s');
      return response;
    });
  });
}

// A new build takes over at once, and safely: a page open under an older build goes on being
// served from that build's cache, and the next page loaded is the new build's. Its files are
// all fetched and checked before any is kept: one from another build fails the install, and
// the worker before it stays.
self.addEventListener('install', function (event) {
  var names = Object.keys(FILES);
  var filled = !OFFLINE ? Promise.resolve() : Promise.all(names.map(fetchOurs)).then(
    function (responses) {
      return caches.open(CACHE).then(function (cache) {
        return Promise.all(responses.map(function (response, i) {
          return cache.put(names[i], response);
        }));
      });
    });
  event.waitUntil(filled.then(function () { return self.skipWaiting(); }));
});

// The pages are claimed whatever the tidying met: the caches left behind go at the next run.
self.addEventListener('activate', function (event) {
  function claim() { return self.clients.claim(); }
  event.waitUntil(!OFFLINE ? caches.keys().then(drop).then(function () {
    return self.registration.unregister();
  }) : tidy().then(claim, claim));
});

// A file of the named cache: the page's address carries its options (?seed=4), and a folder's
// address is its index.html.
function kept(name, request, page) {
  var options = { cacheName: name, ignoreSearch: page };
  return caches.match(request, options).then(function (found) {
    if (!found && page && new URL(request.url).pathname.slice(-1) === '/') {
      return caches.match('index.html', options);
    }
    return found;
  });
}

function navigate(event) {
  var client = event.resultingClientId;
  // A page whose id the browser does not give could not be told from the others: it comes from
  // the network, as on a first visit.
  if (!client || checking(event.request.url)) return;
  event.respondWith(kept(CACHE, event.request, true).then(function (found) {
    if (!found) return fetch(event.request);
    // Unremembered, the page's files would come from the network, perhaps another build's.
    return remember(client).then(function () {
      return found;
    }, function () {
      return fetch(event.request);
    });
  }));
  event.waitUntil(tidy());
}

self.addEventListener('fetch', function (event) {
  var request = event.request;
  if (!OFFLINE || request.method !== 'GET') return;
  if (request.mode === 'navigate') {
    navigate(event);
    return;
  }
  var client = event.clientId;
  event.respondWith(servedFrom(client).then(function (name) {
    // The browser's own requests (the app's manifest and icons) belong to no page.
    if (name || !client) {
      return kept(name || CACHE, request, false).then(function (found) {
        return found || fetch(request);
      });
    }
    // A page that no worker served takes all its files from the network. A file that a
    // check-mode page asks for comes from the server too, past the browser's HTTP cache, which
    // would keep it as long as the server's dates suggest.
    return self.clients.get(client).then(function (page) {
      if (page && checking(page.url)) return fetch(new Request(request, { cache: 'no-cache' }));
      return fetch(request);
    });
  }));
});
