// What the sound library's browser tests and its bench share: a static
// server on 127.0.0.1 for the harness and a work folder, Debian's chromium
// through puppeteer-core, and the harness page (sound.html) opened on it
// with the sound probes (sound_hooks.js).

import {createServer} from 'node:http';
import {readFileSync} from 'node:fs';
import {readFile} from 'node:fs/promises';
import {extname, join, normalize} from 'node:path';
import puppeteer from 'puppeteer-core';

export const SoundHooks = readFileSync(new URL('./sound_hooks.js', import.meta.url), 'utf8');

const types = {'.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.wasm': 'application/wasm'};

// Serves /harness/ from harnessDir and /work/ from workDir. Resolves to
// {base, close}.
export async function serve(harnessDir, workDir) {
  const roots = {harness: harnessDir, work: workDir};
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const [, top, ...rest] = path.split('/');
    const relative = normalize(rest.join('/'));
    if (!roots[top] || relative.startsWith('..')) {
      response.writeHead(404).end();
      return;
    }
    try {
      const body = await readFile(join(roots[top], relative));
      response.writeHead(200, {'Content-Type': types[extname(relative)] || 'application/octet-stream'}).end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {base: `http://127.0.0.1:${server.address().port}`, close: () => server.close()};
}

// Puppeteer keeps hidden pages' timers and animation frames running by
// default; with throttled set, a hidden page is throttled as in a browser
// a person uses.
export async function launch(userDataDir, {throttled = false} = {}) {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'],
    ignoreDefaultArgs: throttled ? ['--disable-background-timer-throttling', '--disable-renderer-backgrounding',
                                    '--disable-backgrounding-occluded-windows'] : [],
  });
}

// A fresh harness page with the query (see sound.html); resolves once its
// program's functions can be called.
export async function openHarness(browser, base, query = '') {
  const page = await browser.newPage();
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  await page.evaluateOnNewDocument(SoundHooks);
  await page.goto(`${base}/harness/sound.html${query}`);
  await page.evaluate(() => window.harnessReady);
  return page;
}
