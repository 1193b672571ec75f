// What the page's browser tests share: a static server on 127.0.0.1,
// Debian's chromium through puppeteer-core (headless, WebGL on SwiftShader),
// stills of the page, frame comparison, and a small runner of named checks
// that prints each result and sets the exit code.
import http from 'node:http';
import { createReadStream, existsSync, readFileSync, statSync } from 'node:fs';
import { extname, join, normalize } from 'node:path';
import puppeteer from 'puppeteer-core';
import { decodePng } from './png.mjs';

export const Root = new URL('../..', import.meta.url).pathname;
// The page's emscripten build (scripts/build-web), and the page in it.
export const WebBuild = process.env.ORVANE_WEB_BUILD || join(Root, 'build-web');
export const PageDir = process.env.ORVANE_WEB_PAGE || join(WebBuild, 'page');
export const FrameWidth = 800;
export const FrameHeight = 600;

// What a test opens must be built first; CTest counts exit code 77 as
// skipped, and the message says why.
export function requireBuilt(...paths) {
  for (const path of paths) {
    if (!existsSync(path)) {
      console.log(`${path} is not built: run scripts/build-web first`);
      process.exit(77);
    }
  }
}

export function requirePage() {
  requireBuilt(join(PageDir, 'index.html'));
}

const Types = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png',
};

// Serves `folders` (URL prefix to folder) on a free port of 127.0.0.1.
export async function serve(folders) {
  const server = http.createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    for (const [prefix, folder] of Object.entries(folders)) {
      if (!path.startsWith(prefix)) continue;
      const file = normalize(join(folder, path.slice(prefix.length) || 'index.html'));
      if (file.startsWith(folder) && existsSync(file) && statSync(file).isFile()) {
        response.writeHead(200, { 'Content-Type': Types[extname(file)] || 'application/octet-stream' });
        createReadStream(file).pipe(response);
        return;
      }
    }
    response.writeHead(404);
    response.end();
  });
  await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

export async function launchBrowser(extraArgs = []) {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--autoplay-policy=no-user-gesture-required', ...extraArgs],
  });
}

// The sound probes that each run's program gets (window.orvaneProgram's
// orvaneSoundProbe and orvaneSoundFigures): the shipped page has none.
const SoundHooks = readFileSync(new URL('./sound_hooks.js', import.meta.url), 'utf8');

// A tab of width x height CSS pixels at one device pixel each, with the sound
// probes; the page's errors, and the errors and warnings on its console (its
// own and the browser's, WebGL's among them), are kept in page.messages.
export async function openTab(browser, width = FrameWidth, height = FrameHeight) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(SoundHooks);
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  page.messages = [];
  page.on('pageerror', error => page.messages.push(`page error: ${error.message}`));
  page.on('console', message => {
    if (['error', 'warn', 'warning'].includes(message.type()))
      page.messages.push(`console ${message.type()}: ${message.text()}`);
  });
  return page;
}

export async function waitForTitle(page, test, timeout = 60000) {
  await page.waitForFunction(`(${test.toString()})(document.title)`, { timeout, polling: 50 });
  return page.title();
}

// The canvas at the top left as {width, height, rgb}.
export async function screenshotFrame(page, x = 0, y = 0) {
  const png = await page.screenshot({ clip: { x, y, width: FrameWidth, height: FrameHeight } });
  return decodePng(Buffer.from(png));
}

// The page's still at music time ms (?at=MS): its frame, its title and how
// long it took from loading the page.
export async function pageStill(page, url, ms) {
  const started = Date.now();
  await page.goto(`${url}/index.html?at=${ms}`);
  const title = await waitForTitle(page, t => t.startsWith('Orvane: '), 120000);
  return { title, frame: await screenshotFrame(page), seconds: (Date.now() - started) / 1000 };
}

// Pixels that differ by more than `tolerance` levels in any channel.
export function compareFrames(a, b, tolerance = 4) {
  const outliers = [];
  for (let i = 0; i < a.width * a.height; ++i) {
    let worst = 0;
    for (let c = 0; c < 3; ++c) worst = Math.max(worst, Math.abs(a.rgb[i * 3 + c] - b.rgb[i * 3 + c]));
    if (worst > tolerance) outliers.push({ x: i % a.width, y: Math.floor(i / a.width), by: worst });
  }
  return { within: 1 - outliers.length / (a.width * a.height), outliers };
}

export function describeOutliers(outliers, limit = 12) {
  const shown = outliers.slice(0, limit).map(o => `(${o.x}, ${o.y}) by ${o.by}`).join(', ');
  return outliers.length > limit ? `${shown} and ${outliers.length - limit} more` : shown;
}

// Named checks, run in order; a failure is printed and counted, the rest
// still run. The process then ends with 1 if any failed.
export async function runChecks(name, checks) {
  let failed = 0;
  for (const [what, check] of checks) {
    try {
      await check();
      console.log(`ok: ${what}`);
    } catch (error) {
      failed += 1;
      console.log(`FAILED: ${what}\n  ${error.message.split('\n').join('\n  ')}`);
    }
  }
  console.log(`${name}: ${checks.length - failed} of ${checks.length} passed`);
  if (failed > 0) process.exitCode = 1;
}

export function expect(condition, message) {
  if (!condition) throw new Error(message);
}
