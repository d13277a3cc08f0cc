// The browser build end to end, in real headless Chromium: the start cover,
// the title picture, sound after the first key, Space into play, steering,
// Escape back, the web link opening the game's page in a new tab, quitting
// and playing again; the same by touch in phone emulation, upright and on
// its side, with a finger the browser takes back and sound the system
// suspends; a new release taken by open tabs, a browser without room for
// the game; a game with the network off after one visit, also from a host
// that redirects index.html to its folder and with two copies of the site
// on that host; and not one console error on the way.
// Usage: node browser_test.mjs SITE-FOLDER PICTURE-FOLDER [--measure SECONDS]
// With --measure it only plays for that long and prints frame timing and CPU.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [siteArgument, pictures, option, optionValue] = process.argv.slice(2);
if (!siteArgument || !pictures) {
  console.error('usage: node browser_test.mjs SITE-FOLDER PICTURE-FOLDER [--measure SECONDS]');
  process.exit(2);
}
const site = path.resolve(siteArgument);
const measureSeconds = option === '--measure' ? Number(optionValue || 10) : 0;

function fail(message) {
  throw new Error(message);
}

// A binary PPM (P6) as { width, height, rgb }.
function readPpm(file) {
  const bytes = fs.readFileSync(path.join(pictures, file));
  const fields = [];
  let i = 0;
  while (fields.length < 4) {
    while (/\s/.test(String.fromCharCode(bytes[i]))) i++;
    if (bytes[i] === 0x23) { while (bytes[i] !== 0x0a) i++; continue; }
    let word = '';
    while (!/\s/.test(String.fromCharCode(bytes[i]))) word += String.fromCharCode(bytes[i++]);
    fields.push(word);
  }
  const [width, height] = [Number(fields[1]), Number(fields[2])];
  return { width, height, rgb: bytes.subarray(i + 1, i + 1 + width * height * 3) };
}

const title = readPpm('picTitle.ppm');
const bullet = readPpm('sprBullet.ppm');
const link = readPpm('sprLink.ppm');
const ship = readPpm('sprPlayer.ppm');
const status = readPpm('sprStatus.ppm');

// The site over HTTP on a free port of 127.0.0.1, as any static host would.
const release = new Map(), requested = [];  // files uploaded in place of the site's; requests
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.data': 'application/octet-stream', '.png': 'image/png',
                '.webmanifest': 'application/manifest+json' };
const server = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const file = path.join(site, name.endsWith('/') ? name + 'index.html' : name);
  requested.push(request.headers.host + name);
  if (!file.startsWith(site + path.sep) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
  if (release.has(file)) response.end(release.get(file));
  else fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}/`;

// A host that tidies its addresses (every .../index.html answered with a
// 301 to its folder) with two copies of the site on its one origin. The
// second copy is another release: its worker names another version.
const copies = ['kestrane', 'kestrane-beta'];
const tidy = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const [, copy, rest] = name.match(/^\/([^/]+)\/(.*)$/) || [];
  if (rest !== undefined && /(^|\/)index\.html$/.test(rest)) {
    response.writeHead(301, { Location: name.slice(0, -'index.html'.length) }).end();
    return;
  }
  const file = path.join(site, !rest || rest.endsWith('/') ? rest + 'index.html' : rest);
  if (!copies.includes(copy) || !file.startsWith(site + path.sep) || !fs.existsSync(file) ||
      fs.statSync(file).isDirectory()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
  if (copy === 'kestrane-beta' && rest === 'sw.js') {
    const shifted = (v) => [...v].map((c) => ((parseInt(c, 16) + 1) % 16).toString(16)).join('');
    response.end(fs.readFileSync(file, 'utf8').replace(/\b[0-9a-f]{16}\b/, shifted));
    return;
  }
  fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => tidy.listen(0, '127.0.0.1', resolve));
const tidyBase = `http://127.0.0.1:${tidy.address().port}/`;

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrane-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});

const problems = [];
function watch(page, where) {
  page.on('console', (m) => { if (process.env.DEBUG) console.log(where, m.type(), m.text()); if (m.type() === 'error') problems.push(`${where} console: ${m.text()}`); });
  page.on('pageerror', (e) => problems.push(`${where} page error: ${e.message}`));
  page.on('requestfailed', (r) => problems.push(`${where} request failed: ${r.url()}`));
  page.on('response', (r) => { if (r.status() >= 400) problems.push(`${where} ${r.status()}: ${r.url()}`); });
}

async function waitFor(what, seconds, check) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const result = await check();
    if (result) return result;
    if (Date.now() > end) fail(`timed out after ${seconds} s: ${what}`);
    await new Promise((r) => setTimeout(r, 100));
  }
}

// The canvas as RGB bytes.
async function capture(page) {
  const encoded = await page.evaluate(() => {
    const c = document.getElementById('canvas');
    if (c.width !== 400 || c.height !== 400) return '';
    const d = c.getContext('2d').getImageData(0, 0, 400, 400).data;
    let s = '';
    for (let i = 0; i < d.length; i += 4) s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
    return btoa(s);
  });
  return encoded ? Buffer.from(encoded, 'base64') : null;
}
// Whether rectangle (x, y, w, h) of the canvas equals (sx, sy) of a picture.
function same(shot, x, y, w, h, picture, sx, sy) {
  for (let r = 0; r < h; r++) {
    const a = ((y + r) * 400 + x) * 3, b = ((sy + r) * picture.width + sx) * 3;
    if (!shot.subarray(a, a + w * 3).equals(picture.rgb.subarray(b, b + w * 3))) return false;
  }
  return true;
}
// Pixels of the player's shots: their colours are found nowhere else in play.
const shotColours = new Set();
for (let y = 0; y < bullet.height / 2; y++)
  for (let x = 0; x < bullet.width; x++) {
    const m = ((bullet.height / 2 + y) * bullet.width + x) * 3, p = (y * bullet.width + x) * 3;
    if (bullet.rgb[m] + bullet.rgb[m + 1] + bullet.rgb[m + 2] === 0)
      shotColours.add((bullet.rgb[p] << 16) | (bullet.rgb[p + 1] << 8) | bullet.rgb[p + 2]);
  }
function shotPixels(shot) {
  let n = 0;
  for (let i = 0; i < shot.length; i += 3)
    if (shotColours.has((shot[i] << 16) | (shot[i + 1] << 8) | shot[i + 2])) n++;
  return n;
}
const titleShown = async (page) => { const s = await capture(page); return s && same(s, 0, 0, 400, 380, title, 0, 0); };
const playShown = async (page) => { const s = await capture(page); return s && !same(s, 0, 0, 400, 20, title, 0, 0); };
// The opaque pixels (black in the mask 45 rows below) of the ship's cells:
// banked left, level, banked right.
const shipCells = [0, 1, 2].map((c) => {
  const cell = [];
  for (let y = 0; y < 45; y++)
    for (let x = 0; x < 45; x++) {
      const m = ((45 + y) * ship.width + 45 * c + x) * 3;
      if (ship.rgb[m] + ship.rgb[m + 1] + ship.rgb[m + 2] !== 0) continue;
      const p = (y * ship.width + 45 * c + x) * 3;
      cell.push([x, y, ship.rgb[p], ship.rgb[p + 1], ship.rgb[p + 2]]);
    }
  return cell;
});
const [banked, level] = [0, 1];
// Where the ship's cell is drawn, nine tenths of it at least (a shot or an
// enemy may cross it), or null.
// Only row `row` when given: the ship keeps its height while it steers.
function findShip(shot, frame = level, row = -1) {
  const cell = shipCells[frame];
  let best = { score: 0, x: -1, y: -1 };
  // The ship stays within x 5..350 and y 100..330.
  for (let y = row >= 0 ? row : 100; y <= (row >= 0 ? row : 330); y++)
    for (let x = 5; x <= 350; x++) {
      let misses = 0;
      const allowed = cell.length - best.score;
      for (const [cx, cy, r, g, b] of cell) {
        const q = ((y + cy) * 400 + x + cx) * 3;
        if (shot[q] !== r || shot[q + 1] !== g || shot[q + 2] !== b) if (++misses >= allowed) break;
      }
      if (cell.length - misses > best.score) best = { score: cell.length - misses, x, y };
    }
  return best.score >= cell.length * 0.9 ? best : null;
}
// The ships left, as the status bar's last digit shows them (its opaque
// pixels; the mask lies 30 rows below), or -1.
function livesShown(shot) {
  for (let d = 0; d <= 9; d++) {
    let match = true;
    for (let y = 0; y < 12 && match; y++)
      for (let x = 0; x < 9 && match; x++) {
        const m = ((47 + y) * status.width + 9 * d + x) * 3;
        if (status.rgb[m] + status.rgb[m + 1] + status.rgb[m + 2] !== 0) continue;
        const p = ((17 + y) * status.width + 9 * d + x) * 3, q = (y * 400 + 375 + x) * 3;
        match = shot[q] === status.rgb[p] && shot[q + 1] === status.rgb[p + 1] &&
                shot[q + 2] === status.rgb[p + 2];
      }
    if (match) return d;
  }
  return -1;
}

// Enemies come at random, and a lost ship breaks a step in two ways: the
// death sequence lets go of held arrows (a key held through it, or pressed
// inside its pause, moves nothing), and Escape inside that pause is the
// title's Escape, which ends the game. So each step watches for a lost
// ship and then tries again in the next life, or in a new game.

// Holds the left arrow (press, release: by key or by touch) until the ship
// is seen left of where it stood, within one life.
async function steerLeft(page, press, release, where) {
  const attempts = 4;
  const tries = [];
  for (let attempt = 1; attempt <= attempts; attempt++) {
    const start = await waitFor(`${where}: a ship in play`, 30, async () => {
      const s = await capture(page);
      if (!s) return null;
      // Every ship lost: the title again, and another game.
      if (same(s, 0, 0, 400, 380, title, 0, 0)) { await press('Space'); await release('Space'); return null; }
      const at = findShip(s);
      return at && { x: at.x, y: at.y, lives: livesShown(s) };
    });
    const pressed = Date.now();
    await press('ArrowLeft');
    const outcome = await waitFor(`${where}: the ship to move left or be lost`, 30, async () => {
      const s = await capture(page);
      if (!s) return null;
      const at = findShip(s, banked, start.y) || findShip(s, level, start.y);
      if (at && at.x <= start.x - 10) return 'moved';
      const lives = livesShown(s);
      if (same(s, 0, 0, 400, 380, title, 0, 0)) return 'lost, the title';
      if (lives >= 0 && lives < start.lives) return `lost, ${lives} ships left, ship at ${at ? at.x : 'none'}`;
      return null;
    });
    await release('ArrowLeft');
    if (outcome === 'moved') return;
    tries.push(`from x ${start.x} with ${start.lives} ships: ${outcome} after ${Date.now() - pressed} ms`);
  }
  fail(`${where}: the left arrow did not move the ship in ${attempts} lives (${tries.join('; ')})`);
}

// Escape from play back to the title, with a ship in play when pressed. A
// ship lost just then makes it end the game: start again and repeat.
async function escapeToTitle(page, press, release) {
  for (let attempt = 1; attempt <= 3; attempt++) {
    await waitFor('a ship in play before Escape', 30, async () => {
      const s = await capture(page);
      return s && findShip(s);
    });
    await press('Escape');
    await release('Escape');
    const where = await waitFor('Escape to return to the title', 10, async () => {
      if (await page.evaluate(() => !document.getElementById('cover').hidden)) return 'ended';
      return (await titleShown(page)) && 'title';
    });
    if (where === 'title') return;
    await page.click('#cover');
    await waitFor('the title picture again', 30, () => titleShown(page));
    await press('Space');
    await release('Space');
    await waitFor('Space to bring the status bar', 10, () => playShown(page));
  }
  fail('Escape did not return to the title');
}


// Phone emulation, upright or on its side: after the first tap the controls
// are on screen, beside or below the picture and never over it, the picture
// nearly as large as the screen; Fire starts play, a finger sliding from the
// right arrow to the left one steers left while another fires, a finger on
// Fire that the browser takes back fires nothing, sound the system suspends
// comes back with the next tap, Esc goes back to the title; the page has
// neither scrolled nor zoomed.
async function touchPass(landscape) {
  const where = landscape ? 'touch landscape' : 'touch portrait';
  const page = await browser.newPage();
  watch(page, where);
  await page.setViewport({ width: landscape ? 844 : 390, height: landscape ? 390 : 844,
                           deviceScaleFactor: 3, isMobile: true, hasTouch: true, isLandscape: landscape });
  await page.goto(base + 'index.html');
  await page.waitForFunction(() => /to play/.test(document.getElementById('prompt').textContent),
                             { timeout: 60000 });
  const picture = () => page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
  const middle = await picture();
  await page.touchscreen.tap(middle.x, middle.y);
  await waitFor(`${where}: a tap to show the title`, 30, () => titleShown(page));

  const layout = await page.evaluate(() => {
    const box = (e) => { const r = e.getBoundingClientRect(); return { left: r.left, top: r.top, right: r.right, bottom: r.bottom }; };
    const controls = {};
    for (const e of document.querySelectorAll('[data-key]')) controls[e.dataset.key] = box(e);
    return { picture: box(document.getElementById('canvas')), controls, width: innerWidth, height: innerHeight };
  });
  const p = layout.picture;
  if (p.right - p.left < 0.85 * Math.min(layout.width, layout.height))
    fail(`${where}: the picture is small: ${JSON.stringify(layout)}`);
  for (const key of ['Space', 'ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', 'KeyM', 'KeyS', 'Escape']) {
    const c = layout.controls[key];
    const shown = c && c.right - c.left >= 30 && c.bottom - c.top >= 24 && c.left >= 0 && c.top >= 0 &&
                  c.right <= layout.width && c.bottom <= layout.height;
    const clear = c && (landscape ? c.right <= p.left || c.left >= p.right : c.top >= p.bottom);
    if (!shown || !clear) fail(`${where}: the control ${key} is not on screen clear of the picture: ${JSON.stringify(layout)}`);
  }

  const fingers = {};
  const centre = (key) => {
    const c = layout.controls[key];
    return [(c.left + c.right) / 2, (c.top + c.bottom) / 2];
  };
  // Steering left takes two fingers: one rests on Fire while the other
  // slides from the right arrow onto the left one; the slide must let the
  // right arrow go and press the left, and lifting Fire (a shot) must leave
  // the left arrow held.
  const press = async (key) => {
    if (key !== 'ArrowLeft') {
      fingers[key] = await page.touchscreen.touchStart(...centre(key));
      return;
    }
    const fire = await page.touchscreen.touchStart(...centre('Space'));
    fingers[key] = await page.touchscreen.touchStart(...centre('ArrowRight'));
    await fingers[key].move(...centre('ArrowLeft'));
    await fire.end();
  };
  const release = async (key) => { await fingers[key].end(); delete fingers[key]; };
  await press('Space');
  await release('Space');
  await waitFor(`${where}: Fire to start play`, 10, () => playShown(page));
  await steerLeft(page, press, release, where);

  // The browser takes a finger on Fire back (pointercancel: the system
  // claimed the gesture): no shot for as long as one would fly. Then a
  // lift fires, seen the same way.
  const [fireX, fireY] = centre('Space');
  await waitFor(`${where}: no shot in the air`, 10, async () => {
    const s = await capture(page);
    return s && shotPixels(s) === 0;
  });
  const cdp = await page.createCDPSession();
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: fireX, y: fireY, id: 90 }] });
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchCancel', touchPoints: [] });
  let shotSeen = 0;
  for (let looks = 0, end = Date.now() + 1500; looks < 5 || Date.now() < end; looks++) {
    const s = await capture(page);
    if (s) shotSeen = Math.max(shotSeen, shotPixels(s));
  }
  if (shotSeen > 0) fail(`${where}: a touch on Fire the browser took back fired (${shotSeen} shot pixels)`);
  let tapped = 0;
  await waitFor(`${where}: a lift of Fire to fire`, 30, async () => {
    if (Date.now() - tapped > 2000) { await page.touchscreen.tap(fireX, fireY); tapped = Date.now(); }
    const s = await capture(page);
    return s && shotPixels(s) > 0;
  });

  // The system suspends the page's sound (a call, a locked screen): the
  // next tap brings it back (M, twice: the music off and on again).
  const sound = () => page.evaluate(() => {
    const audio = window.kestraneGame && window.kestraneGame.SDL2;
    return audio && audio.audioContext ? audio.audioContext.state : 'none';
  });
  await waitFor(`${where}: the sound to play`, 10, async () => (await sound()) === 'running');
  await page.evaluate(() => window.kestraneGame.SDL2.audioContext.suspend());
  await waitFor(`${where}: the sound suspended`, 10, async () => (await sound()) === 'suspended');
  await page.touchscreen.tap(...centre('KeyM'));
  await waitFor(`${where}: a tap to bring suspended sound back`, 10, async () => (await sound()) === 'running');
  await page.touchscreen.tap(...centre('KeyM'));

  await escapeToTitle(page, press, release);

  const view = await page.evaluate(() => ({
    scrollX, scrollY, scale: visualViewport.scale,
    scrollWidth: document.documentElement.scrollWidth, scrollHeight: document.documentElement.scrollHeight,
    width: innerWidth, height: innerHeight,
  }));
  if (view.scrollX !== 0 || view.scrollY !== 0 || view.scale !== 1 ||
      view.scrollWidth > view.width || view.scrollHeight > view.height)
    fail(`${where}: the page scrolled or zoomed: ${JSON.stringify(view)}`);
  await page.close();
}

// The page loaded, a key starts the game, Space starts play.
async function plays(page, where) {
  await waitFor(`${where}: the game's page`, 60, () => page.evaluate(() => {
    const prompt = document.getElementById('prompt');
    return prompt !== null && /to play/.test(prompt.textContent);
  }));
  await page.keyboard.press('Space');
  await waitFor(`${where}: the title picture`, 30, () => titleShown(page));
  await page.keyboard.press('Space');
  await waitFor(`${where}: Space to bring the status bar`, 10, () => playShown(page));
}

// Loads `url` (again, with `reload`) and plays, failing with where it was.
async function load(page, url, where, reload = false) {
  try {
    await (reload ? page.reload() : page.goto(url));
  } catch (error) {
    fail(`${where}: ${url} did not load: ${error.message}`);
  }
  await plays(page, where);
}

// A release B uploaded while A is open in a tab on the game's title, one in
// a game and one on the start cover, the last two frozen (the one in a game
// so that it cannot lose its four ships meanwhile): the title tab takes B at
// once, the playing tab only when its game ends, and offlinePass plays B.
async function updatePass() {
  const tabs = [await browser.newPage(), await browser.newPage(), await browser.newPage()];
  const [frozen, title, playing] = tabs;  // the last one opened is in view
  for (const tab of tabs) {
    watch(tab, 'update');
    await tab.goto(base + 'index.html');
    await tab.waitForFunction(() => navigator.serviceWorker.controller);
    await tab.evaluate(() => { window.oldRelease = true; });
  }
  // Only a tab out of view can freeze.
  const freeze = async (tab, state) => (await tab.createCDPSession()).send('Page.setWebLifecycleState', { state });
  await freeze(frozen, 'frozen');
  await plays(playing, 'playing tab');
  await title.bringToFront();
  await freeze(playing, 'frozen');
  await title.keyboard.press('Space');
  await waitFor('title tab: the title', 30, () => titleShown(title));
  const worker = path.join(site, 'sw.js');
  release.set(worker, fs.readFileSync(worker, 'utf8').replace(/version = '[^']+'/, "version = 'B'"));
  tabs.push(await browser.newPage());
  await tabs[3].goto(base + 'index.html');  // a visit finds B
  const taken = (tab) => tab.evaluate(() => !window.oldRelease).catch(() => false);
  await waitFor('the title tab to take release B', 60, () => taken(title));
  await freeze(playing, 'active');
  if (await taken(playing)) fail('release B cut a game short');
  await playing.bringToFront();
  await playing.keyboard.press('Escape');
  await waitFor('the playing tab to take release B after its game', 30, () => taken(playing));
  await freeze(frozen, 'active');
  await waitFor('the frozen tab to take release B', 30, () => taken(frozen));
  for (const tab of tabs) await tab.close();
}

// Too little room for the game: one note, and nothing fetched twice.
async function quotaPass() {
  const page = await browser.newPage();
  watch(page, 'tiny quota');
  const origin = `http://localhost:${server.address().port}`;
  await (await page.createCDPSession()).send('Storage.overrideQuotaForOrigin', { origin, quotaSize: 500000 });
  await load(page, origin + '/', 'tiny quota');
  await waitFor('one note of no room', 30, () => page.evaluate(() => document.body.innerText.split(/storage full/i).length === 2));
  // The browser itself fetches the icon as it likes (tab, manifest).
  const mine = requested.filter((r) => r.startsWith('localhost:') && !r.includes('/icons/'));
  if (new Set(mine).size !== mine.length) fail(`with too little room, fetched twice: ${mine.join(' ')}`);
  await page.close();
}

// After one visit the service worker holds every file: with the servers
// gone, the page loads again and a game starts. On the tidying host each
// copy is installed, then loaded again online (from its worker) before
// both servers go.
async function offlinePass() {
  const page = await browser.newPage();
  watch(page, 'offline');
  await page.goto(base + 'index.html');
  const caches = await page.evaluate(async () => {
    await navigator.serviceWorker.ready;
    return window.caches.keys();
  });
  if (caches.length !== 1 || !caches[0].endsWith(' B')) fail(`after one visit the caches are ${caches}, not B's alone`);
  for (const copy of copies) {
    const where = `${copy} on a redirecting host`;
    const other = await browser.newPage();
    watch(other, where);
    await load(other, tidyBase + copy + '/', where);
    await waitFor(`${where}: its worker active`, 30, () => other.evaluate(async () => {
      const registration = await navigator.serviceWorker.getRegistration();
      return registration && registration.active && registration.active.state === 'activated';
    }));
    await load(other, null, `${where}, loaded again`, true);
    await other.close();
  }
  for (const s of [server, tidy]) {
    s.closeAllConnections();
    await new Promise((resolve) => s.close(resolve));
  }
  await load(page, null, 'offline', true);
  for (const copy of copies) await load(page, tidyBase + copy + '/', `${copy} offline`);
  await page.close();
}

let exitCode = 0;
try {
  const page = await browser.newPage();
  watch(page, 'game');
  await page.setViewport({ width: 1000, height: 900 });
  // Records, for every game key the page sees, whether it was kept from the page.
  await page.evaluateOnNewDocument(() => {
    window.keysLetThrough = [];
    window.addEventListener('keydown', (e) => {
      if (e.key.startsWith('Arrow') || e.key === ' ') {
        if (!e.defaultPrevented) window.keysLetThrough.push(e.key);
      }
    });
  });
  await page.goto(base + 'index.html');
  await page.waitForFunction(
    () => /Click or press a key/.test(document.getElementById('prompt').textContent),
    { timeout: 60000 });

  async function tap(key) {
    await page.keyboard.down(key);
    await new Promise((r) => setTimeout(r, 120));
    await page.keyboard.up(key);
  }

  if (measureSeconds > 0) {
    await tap('Space');
    await waitFor('the title picture', 30, () => titleShown(page));
    await tap('Space');
    await waitFor('play', 10, () => playShown(page));
    await measure(page, measureSeconds);
  } else {
    // The game fills the window at a whole-number scale, centred, pixels sharp.
    const layout = await page.evaluate(() => {
      const r = document.getElementById('canvas').getBoundingClientRect();
      return { left: r.left, width: r.width, height: r.height,
               rendering: getComputedStyle(document.getElementById('canvas')).imageRendering };
    });
    if (layout.width !== 800 || layout.height !== 800 || layout.left !== 100 || layout.rendering !== 'pixelated')
      fail(`the game is not shown centred at twice its size, pixelated: ${JSON.stringify(layout)}`);
    // Keyboard players never see the touch controls.
    const controls = await page.evaluate(() =>
      [...document.querySelectorAll('[data-key]')].filter((e) => e.getClientRects().length > 0).length);
    if (controls > 0) fail(`${controls} touch controls shown to a keyboard player`);

    // The first key starts the game, and with it the sound.
    await tap('Space');
    await waitFor('the title picture', 30, () => titleShown(page));
    await waitFor('the sound to play', 10, () => page.evaluate(async () => {
      const audio = window.kestraneGame && window.kestraneGame.SDL2;
      if (!audio || !audio.audioContext || audio.audioContext.state !== 'running') return false;
      if (!window.tap) {
        window.tap = audio.audioContext.createAnalyser();
        audio.audio.scriptProcessorNode.connect(window.tap);
      }
      const samples = new Float32Array(window.tap.fftSize);
      window.tap.getFloatTimeDomainData(samples);
      return samples.some((v) => Math.abs(v) > 0.01);
    }));

    await tap('Space');
    await waitFor('Space to bring the status bar', 10, () => playShown(page));
    const keys = [(key) => page.keyboard.down(key), (key) => page.keyboard.up(key)];
    await steerLeft(page, ...keys, 'keyboard');
    await escapeToTitle(page, ...keys);

    // The link lights under the pointer; a click opens the game's page.
    const box = await page.evaluate(() => {
      const r = document.getElementById('canvas').getBoundingClientRect();
      return { left: r.left, top: r.top, scale: r.width / 400 };
    });
    await page.mouse.move(box.left + 200 * box.scale, box.top + 57 * box.scale);
    await waitFor('the link to light', 5, async () => {
      const s = await capture(page);
      return s && same(s, 132, 52, 141, 10, link, 0, 10);
    });
    const opened = browser.waitForTarget((t) => t.opener() === page.target(), { timeout: 10000 });
    await page.mouse.click(box.left + 200 * box.scale, box.top + 57 * box.scale);
    const target = await opened;
    if (target.url() !== base + 'page/index.html') fail(`the link opened ${target.url()}`);
    const about = await target.page();
    watch(about, 'game page');
    await about.waitForFunction(() => document.readyState === 'complete');
    const content = await about.evaluate(() => ({
      play: document.querySelector('a[href="../index.html"]') !== null,
      shots: [...document.images].every((i) => i.complete && i.naturalWidth === 400),
    }));
    if (!content.play || !content.shots) fail(`the game's page is incomplete: ${JSON.stringify(content)}`);
    await about.close();
    await page.bringToFront();
    // Off the link, so the next title shows the caption unlit.
    await page.mouse.move(1, 1);

    // Escape on the title ends the game; any key starts another.
    await tap('Escape');
    await page.waitForFunction(
      () => !document.getElementById('cover').hidden &&
            /press any key to play again/i.test(document.getElementById('prompt').textContent),
      { timeout: 10000 });
    await tap('KeyM');
    await waitFor('the title picture in the second game', 30, () => titleShown(page));

    const through = await page.evaluate(() => window.keysLetThrough);
    if (through.length > 0) fail(`game keys reached the page: ${through.join(', ')}`);
    await page.close();

    await touchPass(false);
    await touchPass(true);
    await updatePass();
    await quotaPass();
    await offlinePass();
  }
  if (problems.length > 0) fail(problems.join('\n'));
  if (measureSeconds === 0) console.log('browser end-to-end: all checks passed');
} catch (error) {
  console.error(`browser end-to-end: ${error.message}`);
  exitCode = 1;
} finally {
  await browser.close();
  server.close();
  tidy.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
process.exit(exitCode);

// Frame times from the page's own clock: every picture the game shows goes
// through putImageData. A frame tick scrolls the whole star field; explosion
// and banner steps change a few rows only, and are left out. Then the processor time of every browser process.
async function measure(page, seconds) {
  const cpu = () => {
    let ticks = 0;
    const walk = (pid) => {
      try {
        const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
        ticks += Number(stat[11]) + Number(stat[12]);
        const children = fs.readFileSync(`/proc/${pid}/task/${pid}/children`, 'utf8').trim();
        for (const c of children ? children.split(' ') : []) walk(c);
      } catch { /* gone meanwhile */ }
    };
    walk(browser.process().pid);
    return ticks / 100;
  };
  const session = await page.createCDPSession();
  await session.send('Performance.enable');
  const busy = async () => (await session.send('Performance.getMetrics')).metrics
    .find((m) => m.name === 'TaskDuration').value;
  await page.evaluate(() => {
    window.presents = [];
    let previous = null;
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
      const words = new Uint32Array(image.data.buffer.slice(0));
      let first = -1, last = -1;
      if (previous) {
        for (let i = 0; i < words.length; i++) {
          if (words[i] === previous[i]) continue;
          if (first < 0) first = i;
          last = i;
        }
      }
      previous = words;
      window.presents.push([performance.now(), first >= 0 && (last - first) / 400 > 300]);
      return put.call(this, image, ...rest);
    };
  });
  const [cpu0, busy0, wall0] = [cpu(), await busy(), Date.now()];
  await new Promise((r) => setTimeout(r, seconds * 1000));
  const [cpu1, busy1, wall1] = [cpu(), await busy(), Date.now()];
  const presents = await page.evaluate(() => window.presents);
  const gaps = [];
  for (let i = 1; i < presents.length; i++)
    if (presents[i][1] && presents[i - 1][1]) gaps.push(presents[i][0] - presents[i - 1][0]);
  gaps.sort((a, b) => a - b);
  const within = gaps.filter((g) => Math.abs(g - 50) <= 3).length;
  const mean = gaps.reduce((a, b) => a + b, 0) / gaps.length;
  const wall = (wall1 - wall0) / 1000;
  console.log(`frame ticks: ${gaps.length + 1} measured of ${presents.length} presents in ${seconds} s`);
  console.log(`frames per second ${(1000 / mean).toFixed(2)}; intervals (ms): min ${gaps[0].toFixed(1)}, ` +
    `median ${gaps[gaps.length >> 1].toFixed(1)}, max ${gaps[gaps.length - 1].toFixed(1)}; ` +
    `within 50 +- 3: ${within} of ${gaps.length}`);
  console.log(`CPU: game tab's main thread ${(100 * (busy1 - busy0) / wall).toFixed(1)} %, ` +
    `all browser processes ${(100 * (cpu1 - cpu0) / wall).toFixed(1)} % of one core`);
}
