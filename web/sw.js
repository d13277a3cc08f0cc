// The service worker: every file of the game in one cache, so that after
// one visit the game loads and plays with the network off. The build fills
// in each file with its SHA-256 and size, and the version (the game's, with
// a digest of all of them). A new version fills its own cache, then takes
// over at once and deletes the old caches: it waits for no page, so none can
// hold it back (not a hidden or frozen one either). A page of the old
// version loads again as soon as it is out of a game (see index.html); a game
// in progress has all it needs in memory and plays on to its end.
'use strict';
const version = '@KESTRANE_SITE_VERSION@';
const files = [@KESTRANE_SITE_FILES@
];
// Caches belong to the whole origin, which other copies of the site may
// share (a beta beside the release): every name carries this one's scope.
const scope = self.registration.scope;
const prefix = 'kestrane ' + scope + ' ';
const cacheName = prefix + version;

function hex(buffer) {
  return Array.from(new Uint8Array(buffer), (b) => b.toString(16).padStart(2, '0')).join('');
}

// A file from the server (not the browser's HTTP cache, which may be
// older), kept only if it is this version's: a half-finished upload must
// not pin a program and a data file that do not belong together. The copy
// is a fresh response: one that came through a redirect (hosts that send
// index.html to the folder) would be refused as a page.
async function fetchChecked(name, sum) {
  const response = await fetch(new Request(name, { cache: 'reload' }));
  if (!response.ok) throw new Error(`${name}: ${response.status}`);
  const body = await response.arrayBuffer();
  if (hex(await crypto.subtle.digest('SHA-256', body)) !== sum) {
    throw new Error(`${name} is not the file of version ${version}`);
  }
  const type = response.headers.get('Content-Type');
  return new Response(body, { headers: type ? { 'Content-Type': type } : {} });
}

// The pages of the game (the game's own page in page/ loads nothing that
// must match), whether or not a worker controls them yet.
async function gamePages() {
  return (await self.clients.matchAll({ type: 'window', includeUncontrolled: true }))
    .filter((client) => {
      const url = new URL(client.url);
      url.search = url.hash = '';
      return url.href === scope || url.href === scope + 'index.html';
    });
}

// All files or none: a failed install leaves the old version (or the
// network) in charge, and the browser tries again on the next visit. The
// room is claimed first, with an entry as large as all the files: a
// browser that cannot keep them then fails before downloading anything,
// where a download thrown away would fetch the game twice (the page loads
// it from the network anyway). Browsers do not tell the real room left.
async function install() {
  const needed = files.reduce((total, [, , size]) => total + size, 0);
  const cache = await caches.open(cacheName);
  try {
    await cache.put('kestrane-room', new Response(new Uint8Array(needed)));
    await cache.delete('kestrane-room');
    const copies = await Promise.all(files.map(([name, sum]) => fetchChecked(name, sum)));
    await Promise.all(files.map(([name], i) => cache.put(name, copies[i])));
  } catch (error) {
    await caches.delete(cacheName);
    throw error;
  }
}

// Storage full is the one failure the player can act on (free some room):
// the pages say so. Any other (a half-finished upload, the network gone)
// is retried on the next visit without a word.
self.addEventListener('install', (event) => {
  event.waitUntil(install().then(() => self.skipWaiting(), async (error) => {
    if (error.name === 'QuotaExceededError') {
      for (const page of await gamePages()) page.postMessage('kestrane: no room');
    }
    throw error;
  }));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) => Promise.all(names
    .filter((name) => name.startsWith(prefix) && name !== cacheName)
    .map((name) => caches.delete(name)))));
});

// This version's copy first; the site's folder itself is its index.html.
// A file missing from the cache, a cache gone, or an entry that would not
// do as a response comes from the network instead.
async function cached(request) {
  const url = new URL(request.url);
  url.search = url.hash = '';
  const key = request.mode === 'navigate' && url.href === scope ? scope + 'index.html' : request;
  const hit = await caches.match(key, { cacheName, ignoreSearch: true });
  return hit && hit.ok && !hit.redirected ? hit : null;
}

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  event.respondWith(cached(request).catch(() => null).then((hit) => hit || fetch(request)));
});
