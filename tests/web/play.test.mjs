// Plays the browser build in headless Chromium, one step after another in one page: the menu
// shows and the canvas follows the page's size and its full screen; a key starts a round with its
// music; leaving the page stops the round and saves; the round pauses and resumes, ends, and after
// a reload of the page its score is still in the high-score strip (and the desktop's verifier passes
// the round's replay, taken out of the page); a touch starts a round and
// quitting ends the game. The browser reports no error on the way. Last, a browser without WebGL
// is told in the page that the game needs it.
//
// SPINDRIFT_PAGE names the built page's folder (build/web); the test serves it on loopback itself.
// SPINDRIFT_DESKTOP names the desktop program (build/release/bin/spindrift), whose verifier is used.
// SPINDRIFT_WEB_SHOTS, when set, names a folder for pictures: the menu, a round, its pause screen,
// and the menu after the round and after the reload.
// What one animation frame of the page costs (the game's updates and its render, timed around the
// browser's frame callback) is printed, never asserted.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {spawn, spawnSync} from 'node:child_process';
import {mkdirSync, mkdtempSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import puppeteer from 'puppeteer-core';
import {decodePng} from './png.mjs';

const pageDir = process.env.SPINDRIFT_PAGE;
const shotsDir = process.env.SPINDRIFT_WEB_SHOTS;
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
// Conditions are waited for this long at most: generous, so that a busy machine only slows the test.
const patience = 90_000;

// The game's virtual screen is 480 units high on a page wider than 4:3, so positions on it are
// fractions of the canvas's height from its middle.
const viewport = {width: 960, height: 640};
const menuBackground = [20, 80, 160];

let server, browser, page, origin;
const problems = [];
const frameCosts = {};

function serve(folder) {
  return new Promise((resolve, reject) => {
    server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '-d', folder],
                   {stdio: ['ignore', 'pipe', 'ignore']});
    server.on('error', reject);
    server.stdout.on('data', chunk => {
      const port = /port (\d+)/.exec(chunk.toString());
      if (port) resolve(`http://127.0.0.1:${port[1]}`);
    });
  });
}

async function until(what, condition) {
  const end = Date.now() + patience;
  for (;;) {
    const result = await condition();
    if (result) return result;
    if (Date.now() > end) throw new Error(`gave up waiting: ${what}`);
    await new Promise(resolve => setTimeout(resolve, 100));
  }
}

async function canvasPicture() {
  return decodePng(Buffer.from(await page.screenshot({type: 'png', clip: {x: 0, y: 0, ...viewport}})));
}

function pixel(picture, x, y) {
  const at = (Math.round(y) * picture.width + Math.round(x)) * 4;
  return [...picture.rgba.subarray(at, at + 3)];
}

const near = (colour, expected, tolerance) => colour.every((c, i) => Math.abs(c - expected[i]) <= tolerance);

// The share of a grid of points over the canvas that shows the menu's background colour.
function menuShare(picture) {
  let hits = 0, points = 0;
  for (let y = 0.05; y < 1; y += 0.1)
    for (let x = 0.05; x < 0.75; x += 0.05, ++points)
      if (near(pixel(picture, x * picture.width, y * picture.height), menuBackground, 6)) ++hits;
  return hits / points;
}

// Whether the pause screen's button `row` (0 Resume, 1 Quit) is the selected one: a blue bar
// behind its label, 70 + 40 x row units below the middle of the screen.
function buttonSelected(picture, row) {
  const y = picture.height * (0.5 + (70 + 40 * row) / 480);
  let blue = 0;
  for (const dx of [-110, -90, -70, 70, 90, 110]) {
    const [r, g, b] = pixel(picture, picture.width / 2 + dx, y);
    if (b > 120 && r < 60 && b > g + 40) ++blue;
  }
  return blue >= 4;
}

// The high-score strip on the menu's right.
function stripOf(picture) {
  const x0 = Math.round(0.8 * picture.width), y0 = Math.round(0.12 * picture.height);
  const width = picture.width - x0, height = Math.round(0.82 * picture.height) - y0;
  const rgba = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; ++y)
    picture.rgba.copy(rgba, y * width * 4, ((y0 + y) * picture.width + x0) * 4, ((y0 + y + 1) * picture.width) * 4);
  return {width, height, rgba};
}

const differs = (a, b, i, j) => [0, 1, 2].some(c => Math.abs(a[i + c] - b[j + c]) > 8);

// Pixels of one strip that do not match the other's.
function stripDifference(a, b) {
  let count = 0;
  for (let i = 0; i < a.rgba.length; i += 4) if (differs(a.rgba, b.rgba, i, i)) ++count;
  return count;
}

const differingBytes = (a, b) => a.reduce((count, byte, i) => count + (Math.abs(byte - b[i]) > 8 ? 1 : 0), 0);

// The strip once two pictures a second apart agree (the menu eases into place).
async function steadyStrip() {
  let last = stripOf(await canvasPicture());
  return until('a steady high-score strip', async () => {
    await new Promise(resolve => setTimeout(resolve, 1000));
    const now = stripOf(await canvasPicture());
    const steady = stripDifference(now, last) === 0;
    last = now;
    return steady && now;
  });
}

async function press(key) {
  // Held for a few frames, as a player's finger is.
  await page.keyboard.press(key, {delay: 120});
}

async function shoot(name) {
  if (!shotsDir) return;
  mkdirSync(shotsDir, {recursive: true});
  writeFileSync(join(shotsDir, name), await page.screenshot({type: 'png'}));
}

// The page's frames from now on are timed afresh.
const measureFrom = () => page.evaluate(() => { window.spindriftFrameCosts.length = 0; });

// Keeps the costs of the frames timed since measureFrom, once there are two seconds' worth.
async function keepCosts(label) {
  await until('two seconds of frames', () => page.evaluate(() => window.spindriftFrameCosts.length >= 120));
  frameCosts[label] = await page.evaluate(() => window.spindriftFrameCosts.splice(0));
}

// The state file as the game wrote it and as IndexedDB holds it, once both agree.
function keptState() {
  return page.evaluate(() => new Promise(resolve => {
    const path = '/saves/.cobaltstate';
    if (!FS.analyzePath(path).exists) return resolve(null);
    const written = FS.readFile(path, {encoding: 'utf8'});
    const open = indexedDB.open('/saves');
    open.onerror = () => resolve(null);
    open.onsuccess = () => {
      const get = open.result.transaction('FILE_DATA').objectStore('FILE_DATA').get(path);
      get.onerror = () => resolve(null);
      get.onsuccess = () => {
        const kept = get.result && new TextDecoder().decode(get.result.contents);
        resolve(kept === written ? kept : null);
      };
    };
  }));
}

async function openGame() {
  await page.goto(origin, {waitUntil: 'load'});
  await page.focus('#canvas');
  await until('the menu', async () => menuShare(await canvasPicture()) > 0.5);
}

const launch = (...flags) => puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', ...flags],
});

before(async () => {
  assert.ok(pageDir, 'SPINDRIFT_PAGE names the page folder');
  origin = await serve(pageDir);
  browser = await launch();
  page = await browser.newPage();
  await page.setViewport(viewport);
  page.on('console', message => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
    // WebGL reports a refused call as a warning, and draws nothing for it.
    if (/INVALID_(ENUM|VALUE|OPERATION)/.test(message.text())) problems.push(`WebGL: ${message.text()}`);
  });
  page.on('pageerror', error => problems.push(`page: ${error?.message ?? error}`));
  page.on('requestfailed', request => problems.push(`request: ${request.url()}`));
  page.on('response', response => {
    if (response.status() >= 400) problems.push(`${response.status()}: ${response.url()}`);
  });
  // Times every animation frame the page asks for: the game's frame is one of them.
  await page.evaluateOnNewDocument(() => {
    window.spindriftFrameCosts = [];
    const request = window.requestAnimationFrame.bind(window);
    window.requestAnimationFrame = callback => request(time => {
      const start = performance.now();
      try {
        callback(time);
      } finally {
        window.spindriftFrameCosts.push(performance.now() - start);
      }
    });
  });
});

after(async () => {
  await browser?.close();
  server?.kill();
  for (const [label, costs] of Object.entries(frameCosts)) {
    const sorted = costs.sort((a, b) => a - b);
    const at = share => sorted[Math.min(sorted.length - 1, Math.floor(share * sorted.length))].toFixed(2);
    const mean = (sorted.reduce((a, b) => a + b, 0) / sorted.length).toFixed(2);
    console.log(`frame cost, ${label}: ${sorted.length} frames, median ${at(0.5)} ms, ` +
                `95th percentile ${at(0.95)} ms, mean ${mean} ms`);
  }
});

let freshStrip;

const canvasSize = () => page.evaluate(() => [canvas.width, canvas.height]);

test('the page shows the menu with its empty high-score strip', async () => {
  await openGame();
  freshStrip = await steadyStrip();
  await shoot('menu.png');
  await measureFrom();
  await keepCosts('menu');
});

test('the canvas follows the page\'s size', async () => {
  await page.setViewport({width: 720, height: 540});
  await until('the canvas at the new size', async () => String(await canvasSize()) === '720,540');
  await until('the menu at the new size', async () => menuShare(await canvasPicture()) > 0.5);
  await page.setViewport(viewport);
  await until('the canvas at the old size', async () => String(await canvasSize()) === '960,640');
});

test('F11 shows the canvas full screen and leaves it again', async () => {
  const fullScreen = () => page.evaluate(() => document.fullscreenElement?.id ?? 'none');
  await press('F11');
  await until('the canvas full screen', async () => (await fullScreen()) === 'canvas');
  await press('F11');
  await until('the page again', async () => (await fullScreen()) === 'none');
});

// The playing OpenAL sources: their sound's length in seconds, and the audio context's state.
const sound = () => page.evaluate(() => ({
  state: AL.currentCtx.audioCtx.state,
  playing: Object.values(AL.currentCtx.sources).filter(source => source.state === 0x1012 /* AL_PLAYING */)
             .map(source => source.bufQueue[0].audioBuf?.duration ?? 0),
}));

test('a key starts a round', async () => {
  await press('Enter');
  await until('the round', async () => menuShare(await canvasPicture()) < 0.1);
  // The key let the audio context start; the round's music, decoded from Ogg, plays on a loop.
  await until('the music', async () => {
    const {state, playing} = await sound();
    return state === 'running' && playing.some(seconds => seconds > 5);
  });
  // Added rows score points.
  await measureFrom();
  for (let i = 0; i < 4; ++i) await press('KeyC');
  await keepCosts('round');
  await shoot('round.png');
});

// The shaft scrolls all through a round: a picture that stays the same means the game stopped.
async function stillFor(milliseconds) {
  const before = (await canvasPicture()).rgba;
  await new Promise(resolve => setTimeout(resolve, milliseconds));
  return differingBytes((await canvasPicture()).rgba, before) === 0;
}

test('the game stops while the page is away and is paused when it comes back', async () => {
  await page.evaluate(() => window.dispatchEvent(new FocusEvent('blur')));
  // Leaving saves the game, as on the desktop.
  await until('the saves in IndexedDB', keptState);
  await until('the round to stop', () => stillFor(500));
  await page.evaluate(() => window.dispatchEvent(new FocusEvent('focus')));
  await until('the pause screen', async () => buttonSelected(await canvasPicture(), 0));
  await press('Escape');
  await until('the pause screen to go', async () => !buttonSelected(await canvasPicture(), 0));
});

test('the round pauses and resumes', async () => {
  await press('Escape');
  await until('the pause screen', async () => buttonSelected(await canvasPicture(), 0));
  await shoot('pause.png');
  await press('Escape');
  await until('the pause screen to go', async () => !buttonSelected(await canvasPicture(), 0));
  // Play goes on: the shaft keeps scrolling.
  const before = (await canvasPicture()).rgba;
  await until('the round to move', async () => differingBytes((await canvasPicture()).rgba, before) > 1000);
});

let savedState;

test('quitting the round from the pause screen files its score', async () => {
  await press('Escape');
  await until('the pause screen', async () => buttonSelected(await canvasPicture(), 0));
  await press('ArrowDown');
  await until('Quit to be selected', async () => buttonSelected(await canvasPicture(), 1));
  await press('Enter');
  await until('the menu again', async () => menuShare(await canvasPicture()) > 0.5);
  await shoot('played.png');
  savedState = await until('the saves in IndexedDB', keptState);
});

// A replay is only worth keeping if any build can check it: the round just played in the page
// verifies with the desktop's verifier.
test('the round played in the page verifies on the desktop', async () => {
  const bytes = await until('the round\'s replay', () => page.evaluate(() => {
    try {
      return Array.from(FS.readFile('/saves/replays/last.replay'));
    } catch (error) {
      return null;
    }
  }));
  const file = join(mkdtempSync(join(tmpdir(), 'spindrift-')), 'page.replay');
  writeFileSync(file, Buffer.from(bytes));
  const env = {...process.env};
  delete env.DISPLAY;
  const run = spawnSync(process.env.SPINDRIFT_DESKTOP, ['--verify-replay', file], {encoding: 'utf8', env});
  assert.equal(run.status, 0, run.stdout + run.stderr);
  assert.match(run.stdout, /^score \d+\n$/);
});

test('the score is still in the high-score strip after a reload', async () => {
  const loaded = new Promise(resolve => page.on('console', message => {
    if (message.text() === 'Highscores Loaded') resolve();
  }));
  await openGame();
  await loaded;
  assert.equal(await page.evaluate(() => FS.readFile('/saves/.cobaltstate', {encoding: 'utf8'})), savedState);
  const strip = await steadyStrip();
  await shoot('reloaded.png');
  // The page lays the menu out as on its first opening, so only the filed score differs.
  assert.ok(stripDifference(strip, freshStrip) > 20, 'the strip shows the score');
});

test('a touch on the menu\'s start arrow starts a round', async () => {
  await page.setViewport({...viewport, hasTouch: true});
  // The arrow sits at the bottom of the side panel.
  await page.touchscreen.tap(0.9 * viewport.width, 0.88 * viewport.height);
  await until('the round', async () => menuShare(await canvasPicture()) < 0.1);
});

test('quitting ends the game in the page, and its sound', async () => {
  await press('ArrowDown');
  await until('the sound to start', async () => (await sound()).state === 'running');
  await press('F4');
  await until('the end', () => page.evaluate(() => document.getElementById('loading').style.display === 'flex'));
  assert.match(await page.$eval('#message', message => message.textContent), /has ended/);
  await until('the sound to stop', async () => (await sound()).state === 'suspended');
});

test('the browser reported no errors', () => {
  assert.deepEqual(problems, []);
});

test('a browser without WebGL is told in the page that the game needs it', async () => {
  const plain = await launch('--disable-webgl', '--disable-3d-apis');
  try {
    const tab = await plain.newPage();
    const errors = [];
    tab.on('pageerror', error => errors.push(`page: ${error?.message ?? error}`));
    tab.on('console', message => {
      if (message.type() === 'error') errors.push(`console: ${message.text()}`);
    });
    // Every script the page would run has run by then.
    await tab.goto(origin, {waitUntil: 'networkidle0'});
    assert.equal(await tab.evaluate(() => !!document.createElement('canvas').getContext('webgl')), false,
                 'this browser has no WebGL');
    assert.ok(await tab.$eval('#loading', loading => getComputedStyle(loading).display !== 'none'));
    assert.match(await tab.$eval('#message', message => message.textContent), /needs WebGL/);
    assert.deepEqual(errors, []);
  } finally {
    await plain.close();
  }
});
