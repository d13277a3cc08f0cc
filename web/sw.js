// The service worker: every file of the game in one cache, so that after
// one visit the game loads and plays with the network off. The build fills
// in each file with its SHA-256 and the version (made from all of them).
// A new version fills its own cache, then takes over as soon as no page of
// the game is in a game (the pages say; see index.html) and deletes the
// old caches; pages of the old version load again before their next game,
// so a page never mixes the two.
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

// All files or none: a failed install leaves the old version (or the
// network) in charge, and the browser tries again on a later visit.
self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const copies = await Promise.all(files.map(([name, sum]) => fetchChecked(name, sum)));
    const cache = await caches.open(cacheName);
    try {
      await Promise.all(files.map(([name], i) => cache.put(name, copies[i])));
    } catch (error) {
      await caches.delete(cacheName);
      throw error;
    }
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) => Promise.all(names
    .filter((name) => name.startsWith(prefix) && name !== cacheName)
    .map((name) => caches.delete(name)))));
});

// Whether a page of the game is in a game; one that does not answer (an
// older version's, or frozen) counts as in one.
function inGame(client) {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = (event) => resolve(event.data === true);
    client.postMessage('kestrane: in a game?', [channel.port2]);
    setTimeout(() => resolve(true), 3000);
  });
}

// A page with no game running tells the waiting version; it takes over if
// no other page of the game is in one either. Other pages (the game's own
// page in page/) load nothing that must match.
self.addEventListener('message', (event) => {
  if (event.data !== 'kestrane: no game') return;
  event.waitUntil((async () => {
    const pages = (await self.clients.matchAll({ type: 'window', includeUncontrolled: true }))
      .filter((client) => {
        const url = new URL(client.url);
        url.search = url.hash = '';
        return url.href === scope || url.href === scope + 'index.html';
      });
    if (!(await Promise.all(pages.map(inGame))).includes(true)) await self.skipWaiting();
  })());
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
