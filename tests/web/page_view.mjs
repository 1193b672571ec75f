// The page in any window, and on a phone, in Chromium: the picture fits the
// window both ways, 4:3 and whole, from 320 by 240 up to a wide desktop, with
// Play and the line about flashing light on it; full screen by the browser's
// API keeps the picture 4:3 between black bars, and where there is no such
// API (iPhone) a view that fills the page does, left by the same control or
// by Escape; on a touch screen the words name taps, a tap on the picture
// shows a bar with End and Full screen that fades again, and End ends the
// show as Escape does; the screen is kept awake while the show plays.
//
// Environment: WEB_TEST_OUT (screenshots of each state).
import { mkdirSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { KnownDevices } from 'puppeteer-core';
import { PageDir, expect, launchBrowser, openTab, requirePage, runChecks, serve, waitForTitle } from './lib.mjs';
import { decodePng } from './png.mjs';

requirePage();
const out = process.env.WEB_TEST_OUT || mkdtempSync(join(tmpdir(), 'orvane-view-'));
mkdirSync(out, { recursive: true });

const server = await serve({ '/': PageDir });
const browser = await launchBrowser();
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// What the page's stylesheet gives the picture: the page's width less its
// margin (none in windows up to 600 either way), at most 800, and no taller
// than the window less the margin.
function expectedWidth(width, height) {
  const pad = width <= 600 || height <= 600 ? 0 : 12;
  return Math.min(800, width - 2 * pad, (height - 2 * pad) * 4 / 3);
}

// A tab whose page is ready for Play; `before` runs in it before the page's
// scripts (to take an API away, or to watch one).
async function readyTab({ width = 1000, height = 900, device = null, before = null } = {}) {
  const page = await openTab(browser, width, height);
  if (device) await page.emulate(device);
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(`${server.url}/index.html`);
  await page.waitForFunction(() => !document.getElementById('play').disabled);
  return page;
}

const box = (page, selector) => page.$eval(selector, element => {
  const r = element.getBoundingClientRect();
  return { left: r.left, top: r.top, width: r.width, height: r.height,
           right: innerWidth - r.right, bottom: innerHeight - r.bottom };
});
const inside = (inner, outer) => inner.left >= outer.left - 0.5 && inner.top >= outer.top - 0.5 &&
  inner.left + inner.width <= outer.left + outer.width + 0.5 && inner.top + inner.height <= outer.top + outer.height + 0.5;
const describe = b => `${b.width.toFixed(1)} by ${b.height.toFixed(1)} at (${b.left.toFixed(1)}, ${b.top.toFixed(1)})`;

function expectWholeAndCentred(canvas, what) {
  expect(Math.abs(canvas.width / canvas.height - 4 / 3) < 0.01, `${what}: canvas ${describe(canvas)}, not 4:3`);
  expect(canvas.left >= -0.5 && canvas.top >= -0.5 && canvas.right >= -0.5 && canvas.bottom >= -0.5,
    `${what}: canvas ${describe(canvas)} is not all in the window`);
  expect(Math.abs(canvas.left - canvas.right) <= 1, `${what}: canvas ${describe(canvas)} is not centred`);
}

// Every pixel of the window outside the canvas is black.
async function expectBlackBars(page, canvas, name) {
  const shot = decodePng(Buffer.from(await page.screenshot({ path: join(out, `${name}.png`) })));
  let lit = 0;
  for (let y = 0; y < shot.height; ++y) {
    for (let x = 0; x < shot.width; ++x) {
      const onCanvas = x >= canvas.left - 1 && x < canvas.left + canvas.width + 1 &&
        y >= canvas.top - 1 && y < canvas.top + canvas.height + 1;
      const i = (y * shot.width + x) * 3;
      if (!onCanvas && shot.rgb[i] + shot.rgb[i + 1] + shot.rgb[i + 2] > 0) lit += 1;
    }
  }
  expect(lit === 0, `${name}: ${lit} pixels around the picture are not black`);
}

async function startShow(page, tap = false) {
  if (tap) await page.tap('#play');
  else await page.click('#play');
  await page.waitForFunction(() => (window.orvaneFrames || []).length > 0, { timeout: 8000 });
}

const barShown = page => page.$eval('#bar', bar => getComputedStyle(bar).visibility === 'visible');

// A phone's two ways round.
const Phones = [
  ['portrait', KnownDevices['iPhone 13']],
  ['landscape', KnownDevices['iPhone 13 landscape']],
];

// Takes the Fullscreen API away, as iPhone Safari has none for the page's
// elements.
const NoFullscreenApi = () => {
  delete Element.prototype.requestFullscreen;
  delete Element.prototype.webkitRequestFullscreen;
  Object.defineProperty(Document.prototype, 'fullscreenEnabled', { get: () => false });
};

// Keeps a record of the page's wake locks in window.wakeLocks.
const WatchWakeLock = () => {
  window.wakeLocks = [];
  Object.defineProperty(navigator, 'wakeLock', { value: { request: async type => {
    const lock = new EventTarget();
    const record = { type, released: false };
    lock.release = async () => { record.released = true; lock.dispatchEvent(new Event('release')); };
    window.wakeLocks.push(record);
    return lock;
  } } });
};

try {
  await runChecks('page view', [
    ['the picture fits every window both ways, 4:3 and whole, with Play and the flashing-light line on it', async () => {
      const windows = [[320, 240], [480, 320], [520, 600], [600, 800], [1000, 900], [1280, 620], [1920, 1080]];
      for (const [width, height] of windows) {
        const page = await readyTab({ width, height });
        const canvas = await box(page, '#canvas');
        const what = `${width}x${height}`;
        expectWholeAndCentred(canvas, what);
        const want = expectedWidth(width, height);
        expect(Math.abs(canvas.width - want) <= 1, `${what}: canvas ${canvas.width} wide, wanted ${want}`);
        for (const selector of ['#play', '#status', '#flashing'])
          expect(inside(await box(page, selector), canvas), `${what}: ${selector} is not on the picture`);
        expect(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth),
          `${what}: the page scrolls sideways`);
        expect((await page.$eval('#flashing', e => e.textContent)) === 'The show contains flashing light.',
          `${what}: no line about flashing light`);
        if (width === 320) await page.screenshot({ path: join(out, 'window-320x240.png') });
        expect(page.messages.length === 0, page.messages.join('; '));
        await page.close();
      }
    }],
    ['full screen, from the button and the F key, keeps the picture 4:3 between black bars', async () => {
      const page = await readyTab();
      await startShow(page);
      await page.click('#fullscreen');
      await page.waitForFunction(() => document.fullscreenElement?.id === 'stage', { timeout: 3000 });
      await sleep(200);
      const canvas = await box(page, '#canvas');
      expectWholeAndCentred(canvas, 'full screen');
      expect(Math.abs(canvas.top - canvas.bottom) <= 1, `full screen: not centred: ${describe(canvas)}`);
      await expectBlackBars(page, canvas, 'full-screen');
      await page.keyboard.press('f');
      await page.waitForFunction(() => document.fullscreenElement === null, { timeout: 3000 });
      expect(await page.title() === 'Orvane: playing', 'F ended the show');
      await page.keyboard.press('F');
      await page.waitForFunction(() => document.fullscreenElement?.id === 'stage', { timeout: 3000 });
      await page.close();
    }],
    ['without the Fullscreen API, full screen fills the page; Escape or the control leaves it, and the show plays on', async () => {
      const page = await readyTab({ width: 844, height: 390, before: NoFullscreenApi });
      await startShow(page);
      await page.click('#fullscreen');
      await page.waitForFunction(() => document.body.classList.contains('filling'), { timeout: 2000 });
      await sleep(200);
      const canvas = await box(page, '#canvas');
      expectWholeAndCentred(canvas, 'filling view');
      expect(Math.abs(canvas.height - 390) <= 1, `filling view: canvas ${describe(canvas)} in a view 390 high`);
      await expectBlackBars(page, canvas, 'filling-view');
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => !document.body.classList.contains('filling'), { timeout: 2000 });
      await sleep(300);
      expect(await page.title() === 'Orvane: playing', 'Escape in the filling view ended the show');
      await page.click('#fullscreen');
      await page.click('#canvas');
      await page.waitForFunction(() => getComputedStyle(document.getElementById('bar')).opacity === '1');
      await page.click('#bar-fullscreen');
      await page.waitForFunction(() => !document.body.classList.contains('filling'), { timeout: 2000 });
      expect(await page.title() === 'Orvane: playing', await page.title());
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ...Phones.map(([way, device]) => [`on a phone, ${way}: words for taps; a tap shows End and Full screen, which fade; End ends the show`, async () => {
      const page = await readyTab({ device, before: NoFullscreenApi });
      const { width, height } = device.viewport;
      const canvas = await box(page, '#canvas');
      expectWholeAndCentred(canvas, `${way} phone`);
      expect(Math.abs(canvas.width - expectedWidth(width, height)) <= 1, `${way} phone: canvas ${describe(canvas)}`);
      const said = await page.$eval('#status', e => e.textContent);
      const how = await page.$eval('#how', e => e.textContent);
      expect(said.startsWith('Tap Play') && how.includes('tap the picture') && !how.includes('Escape'),
        `${way} phone: "${said}" / "${how}"`);
      await page.screenshot({ path: join(out, `phone-${way}-ready.png`) });
      await startShow(page, true);
      expect(!await barShown(page), 'the bar shows before a tap');
      await page.tap('#canvas');
      await page.waitForFunction(() => getComputedStyle(document.getElementById('bar')).opacity === '1');
      for (const selector of ['#end', '#bar-fullscreen'])
        expect(inside(await box(page, selector), canvas), `${way} phone: ${selector} is not on the picture`);
      await page.screenshot({ path: join(out, `phone-${way}-bar.png`) });
      await sleep(3800);
      expect(!await barShown(page), 'the bar did not fade');
      await page.tap('#canvas');
      await page.waitForFunction(() => getComputedStyle(document.getElementById('bar')).opacity === '1');
      await page.tap('#bar-fullscreen');
      await page.waitForFunction(() => document.body.classList.contains('filling'), { timeout: 2000 });
      await page.tap('#end');
      const title = await waitForTitle(page, t => t !== 'Orvane: playing', 3000);
      const ended = await page.$eval('#status', e => e.textContent);
      expect(title === 'Orvane: ended' && ended === 'The show ended: you tapped End.', `${title}: "${ended}"`);
      expect(!await page.evaluate(() => document.body.classList.contains('filling')), 'the filling view outlived the show');
      await page.screenshot({ path: join(out, `phone-${way}-ended.png`) });
      await startShow(page, true);
      expect(await page.title() === 'Orvane: playing', `Play again: ${await page.title()}`);
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }]),
    ['with keys and a mouse, the words name keys', async () => {
      const page = await readyTab();
      const said = await page.$eval('#status', e => e.textContent);
      const how = await page.$eval('#how', e => e.textContent);
      expect(said === 'Press Play to start the show.' && how.includes('Escape ends it'), `"${said}" / "${how}"`);
      await page.close();
    }],
    ['the screen is kept awake while the show plays, and let go at its end', async () => {
      const page = await readyTab({ before: WatchWakeLock });
      await startShow(page);
      await sleep(200);
      const playing = await page.evaluate(() => window.wakeLocks);
      expect(playing.length === 1 && playing[0].type === 'screen' && !playing[0].released,
        `while playing: ${JSON.stringify(playing)}`);
      await page.keyboard.press('Escape');
      await waitForTitle(page, t => t === 'Orvane: ended', 3000);
      const ended = await page.evaluate(() => window.wakeLocks);
      expect(ended.length === 1 && ended[0].released, `after the end: ${JSON.stringify(ended)}`);
      await page.close();
    }],
  ]);
} finally {
  await browser.close();
  server.close();
}
