// The service worker: every file of the game in one cache, so that after
// one visit the game loads and plays with the network off. The build fills
// in the file list and the version (from the files' contents). A new version
// fills its own cache and, once no page of the old one is open any more,
// takes over and deletes the old caches: a page never mixes the two.
'use strict';
const cacheName = 'kestrane-@KESTRANE_SITE_VERSION@';
const files = [@KESTRANE_SITE_FILES@
];

self.addEventListener('install', (event) => {
  // From the server, not from the browser's HTTP cache, which may be older.
  event.waitUntil(caches.open(cacheName).then((cache) =>
    cache.addAll(files.map((name) => new Request(name, { cache: 'reload' })))));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) => Promise.all(names
    .filter((name) => name.startsWith('kestrane-') && name !== cacheName)
    .map((name) => caches.delete(name)))));
});

// The cached copy first; the site's folder itself is its index.html.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  event.respondWith(caches.open(cacheName).then(async (cache) => {
    const hit = await cache.match(request, { ignoreSearch: true });
    if (hit) return hit;
    if (request.mode === 'navigate' && new URL(request.url).pathname.endsWith('/')) {
      const index = await cache.match(new URL('index.html', request.url));
      if (index) return index;
    }
    return fetch(request);
  }));
});
