// One way to drive the page in each browser engine, chosen by name:
//   chromium  Debian's chromium through puppeteer-core, headless, WebGL on
//             SwiftShader (no display needed);
//   firefox   Firefox ESR through puppeteer-core over WebDriver BiDi, not
//             headless (headless it has no WebGL here) but on a private
//             Xvfb, WebGL on Mesa, a fresh profile;
//   webkit    WebKitGTK's MiniBrowser through WebKitWebDriver, on a private
//             Xvfb, driven by plain HTTP WebDriver from node's fetch.
//
//   const engine = await launchEngine(name, {autoplay, env});
//   const tab = await engine.openTab(width, height);
//   tab.addScript(source)   before goto: runs before the page's own scripts
//                           (the sound probes, sound_hooks.js, always do)
//   tab.goto(url), tab.title(), tab.evaluate(fn, ...args),
//   tab.waitFor(fn, {timeout}, ...args), tab.waitForTitle(test, timeout),
//   tab.click(selector)     a real click, which counts as a gesture
//   tab.press(key)          to the focused page: window's keydown listeners
//   tab.uploadFile(selector, path)   (tab.canUpload says whether it can)
//   tab.frame(x, y)         the 800x600 pixels at (x, y) of the view, exact
//   tab.screenshot(path), await tab.collectMessages() (the page's errors and
//   its console's errors and warnings so far), tab.close(); engine.close().
//
// env is added to the browser's environment (PULSE_SERVER for a private
// sound server). autoplay false leaves the engine's own rule, sound only
// after a gesture; true lets sound start without one where the engine has a
// switch for it (WebKitGTK has none: it always wants a gesture).
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { decodePng } from './png.mjs';

export const EngineNames = ['chromium', 'firefox', 'webkit'];
const Binaries = {
  chromium: '/usr/bin/chromium',
  firefox: '/usr/lib/firefox-esr/firefox-esr',
  webkit: '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
};
const WebDriverBinary = '/usr/bin/WebKitWebDriver';
const Packages = { chromium: 'chromium', firefox: 'firefox-esr', webkit: 'webkit2gtk-driver' };
const FrameWidth = 800, FrameHeight = 600;
// The private display: big enough for the largest tab the tests open.
const ScreenSize = '1600x1200x24';

const SoundHooks = readFileSync(new URL('./sound_hooks.js', import.meta.url), 'utf8');
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// What a test started outside node (servers, drivers) is ended when the
// test is stopped (CTest's timeout sends SIGTERM), not left running.
const leftOver = new Set();
export function endOnStop(end) {
  leftOver.add(end);
  return () => leftOver.delete(end);
}
for (const signal of ['SIGTERM', 'SIGINT']) {
  process.once(signal, () => {
    for (const end of leftOver) {
      try {
        end();
      } catch (error) {
        // ending what is gone already
      }
    }
    process.exit(1);
  });
}

// The engine named by ENGINE (default chromium); a test in an engine that is
// not installed says so and is skipped (exit code 77).
export function engineFromEnvironment() {
  const name = process.env.ENGINE || 'chromium';
  if (!EngineNames.includes(name)) {
    console.log(`ENGINE=${name}: not one of ${EngineNames.join(', ')}`);
    process.exit(2);
  }
  for (const binary of [Binaries[name], ...(name === 'webkit' ? [WebDriverBinary] : [])]) {
    if (!existsSync(binary)) {
      console.log(`${binary} is not installed (package ${Packages[name]}): the ${name} test is skipped`);
      process.exit(77);
    }
  }
  return name;
}

export async function launchEngine(name, { autoplay = true, env = {} } = {}) {
  if (name === 'chromium') return launchChromium(autoplay, env);
  if (name === 'firefox') return launchFirefox(autoplay, env);
  if (name === 'webkit') return launchWebKit(env);
  throw new Error(`no engine ${name}`);
}

// An Xvfb of our own on a free display (-displayfd lets the server pick
// one that nothing else holds), for the engines that need a display.
async function startXvfb() {
  const server = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', ScreenSize, '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
  let log = '';
  server.stderr.on('data', data => { log += data; });
  const display = await new Promise((resolve, reject) => {
    let text = '';
    server.stdio[3].on('data', data => {
      text += data;
      if (text.includes('\n')) resolve(`:${text.trim()}`);
    });
    server.on('exit', code => reject(new Error(`Xvfb ended (${code}): ${log}`)));
    setTimeout(() => reject(new Error(`Xvfb did not start in 20 s: ${log}`)), 20000);
  });
  const forget = endOnStop(() => server.kill());
  return {
    display,
    stop: async () => {
      forget();
      if (server.exitCode !== null) return;
      const gone = new Promise(resolve => server.on('exit', resolve));
      server.kill();
      await Promise.race([gone, sleep(5000)]);
    },
  };
}

// ---- Chromium and Firefox: puppeteer-core ----

// A puppeteer page as a tab: what the tests use, and the page itself
// (tab.page) for the checks that only Chromium can make.
async function puppeteerTab(browser, width, height) {
  const page = await browser.newPage();
  const messages = [];
  page.on('pageerror', error => messages.push(`page error: ${error.message}`));
  page.on('console', message => {
    if (['error', 'warn', 'warning'].includes(message.type()))
      messages.push(`console ${message.type()}: ${message.text()}`);
  });
  await page.evaluateOnNewDocument(SoundHooks);
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  return {
    page,
    messages,
    canUpload: true,
    addScript: source => page.evaluateOnNewDocument(source),
    goto: url => page.goto(url),
    title: () => page.title(),
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    waitFor: (fn, { timeout = 30000 } = {}, ...args) => page.waitForFunction(fn, { timeout, polling: 50 }, ...args),
    waitForTitle: async (test, timeout = 60000) => {
      await page.waitForFunction(`(${test.toString()})(document.title)`, { timeout, polling: 50 });
      return page.title();
    },
    click: selector => page.click(selector),
    press: key => page.keyboard.press(key),
    uploadFile: async (selector, path) => (await page.$(selector)).uploadFile(path),
    frame: async (x = 0, y = 0) =>
      decodePng(Buffer.from(await page.screenshot({ clip: { x, y, width: FrameWidth, height: FrameHeight } }))),
    screenshot: path => page.screenshot({ path }),
    collectMessages: async () => messages,
    close: () => page.close(),
  };
}

async function launchChromium(autoplay, env) {
  const browser = await puppeteer.launch({
    executablePath: Binaries.chromium,
    headless: true,
    env: { ...process.env, ...env },
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      ...(autoplay ? ['--autoplay-policy=no-user-gesture-required'] : [])],
  });
  return {
    name: 'chromium', browser,
    openTab: (width = FrameWidth, height = FrameHeight) => puppeteerTab(browser, width, height),
    close: () => browser.close(),
  };
}

async function launchFirefox(autoplay, env) {
  const xvfb = await startXvfb();
  let browser;
  try {
    browser = await puppeteer.launch({
      browser: 'firefox',
      executablePath: Binaries.firefox,
      headless: false,
      // Without its content sandbox: with it (here: root, Xvfb, a private
      // PulseAudio) a tab playing sound hung within some 20 s, and then the
      // whole browser went (exit code 1), one content process or several.
      env: { ...process.env, ...env, DISPLAY: xvfb.display, MOZ_DISABLE_CONTENT_SANDBOX: '1' },
      args: ['--width=1400', '--height=1100'],
      dumpio: !!process.env.ENGINE_DUMPIO,
      extraPrefsFirefox: {
        // One CSS pixel a device pixel whatever the display says.
        'layout.css.devPixelsPerPx': '1.0',
        // One content process for all tabs, none started ahead: with more,
        // even without the sandbox, the third or fourth tab that played
        // sound hung in its content process and took the browser down.
        'dom.ipc.processCount': 1,
        'dom.ipc.processPrelaunch.enabled': false,
        ...(autoplay ? { 'media.autoplay.default': 0, 'media.autoplay.blocking_policy': 0,
                         'media.autoplay.block-webaudio': false } : {}),
      },
    });
  } catch (error) {
    await xvfb.stop();
    throw error;
  }
  return {
    name: 'firefox', browser,
    openTab: (width = FrameWidth, height = FrameHeight) => puppeteerTab(browser, width, height),
    close: async () => {
      await browser.close().catch(() => {});
      await xvfb.stop();
    },
  };
}

// ---- WebKitGTK: WebDriver over HTTP ----

async function freePort() {
  const server = net.createServer();
  await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise(resolve => server.close(resolve));
  return port;
}

const ElementKey = 'element-6066-11e4-a52e-4f735466cecf';
const Keys = { Escape: '\uE00C', Enter: '\uE007' };

// Classic WebDriver has no scripts that run before a page's own: the tabs
// load the page through this proxy, which puts a tab's scripts at the top of
// every HTML document it passes on. /TAB/HOST:PORT/PATH is
// http://HOST:PORT/PATH with tab TAB's scripts.
async function startInjectingProxy(scriptsOf) {
  const server = http.createServer(async (request, response) => {
    const [, tab, host, ...rest] = request.url.split('/');
    try {
      const upstream = await fetch(`http://${host}/${rest.join('/')}`);
      const type = upstream.headers.get('content-type') || 'application/octet-stream';
      let body = Buffer.from(await upstream.arrayBuffer());
      if (type.startsWith('text/html')) {
        const scripts = (scriptsOf(tab) || []).map(source => `<script>${source}</script>`).join('\n');
        const html = body.toString('utf8');
        const at = html.search(/<head[^>]*>/i);
        const insertAt = at < 0 ? 0 : at + html.match(/<head[^>]*>/i)[0].length;
        body = Buffer.from(html.slice(0, insertAt) + scripts + html.slice(insertAt));
      }
      response.writeHead(upstream.status, { 'Content-Type': type });
      response.end(body);
    } catch (error) {
      response.writeHead(502);
      response.end(String(error));
    }
  });
  await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

// The page's errors and console errors and warnings, kept in the page for
// collectMessages (WebDriver classic does not pass the console on).
const MessageHooks = `(() => {
  const kept = window.__orvaneMessages = [];
  for (const [kind, name] of [['error', 'error'], ['warn', 'warn']]) {
    const original = console[kind].bind(console);
    console[kind] = (...args) => { kept.push('console ' + name + ': ' + args.map(String).join(' ')); original(...args); };
  }
  window.addEventListener('error', e => kept.push('page error: ' + e.message));
  window.addEventListener('unhandledrejection', e => kept.push('page error: ' + (e.reason && e.reason.message || e.reason)));
})();`;

async function launchWebKit(env) {
  const xvfb = await startXvfb();
  const port = await freePort();
  const driver = spawn(WebDriverBinary, [`--port=${port}`],
    { env: { ...process.env, ...env, DISPLAY: xvfb.display }, stdio: ['ignore', 'pipe', 'pipe'] });
  const forgetDriver = endOnStop(() => driver.kill());
  let driverLog = '';
  driver.stdout.on('data', data => { driverLog += data; });
  driver.stderr.on('data', data => { driverLog += data; });
  const base = `http://127.0.0.1:${port}`;
  const stopAll = async () => {
    forgetDriver();
    if (driver.exitCode === null) {
      const gone = new Promise(resolve => driver.on('exit', resolve));
      driver.kill();
      await Promise.race([gone, sleep(5000)]);
    }
    await xvfb.stop();
  };

  async function command(method, path, body) {
    const response = await fetch(`${base}${path}`, {
      method, headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const reply = await response.json();
    if (!response.ok) throw new Error(`WebDriver ${method} ${path}: ${reply.value?.error}: ${reply.value?.message}`);
    return reply.value;
  }

  let session, proxy;
  try {
    for (let tries = 0; ; ++tries) {
      try {
        await command('GET', '/status');
        break;
      } catch (error) {
        if (tries > 100) throw new Error(`WebKitWebDriver did not answer: ${driverLog}`);
        await sleep(100);
      }
    }
    session = (await command('POST', '/session', {
      capabilities: {
        alwaysMatch: {
          'webkitgtk:browserOptions': { binary: Binaries.webkit, args: ['--automation'] },
          timeouts: { script: 300000, pageLoad: 120000, implicit: 0 },
        },
      },
    })).sessionId;
  } catch (error) {
    await stopAll();
    throw error;
  }
  const s = (method, path, body) => command(method, `/session/${session}${path}`, body);
  const firstWindow = await s('GET', '/window');
  const scripts = new Map();
  proxy = await startInjectingProxy(tab => scripts.get(tab));
  let tabs = 0;

  async function openTab(width = FrameWidth, height = FrameHeight) {
    const id = `t${++tabs}`;
    scripts.set(id, [MessageHooks, SoundHooks]);
    // The first tab is the session's own window (closing that would end
    // the session); later ones get windows of their own.
    let handle = firstWindow;
    if (tabs > 1) {
      handle = (await s('POST', '/window/new', { type: 'window' })).handle;
      await s('POST', '/window', { handle });
    }
    const messages = [];
    const evaluate = async (fn, ...args) => {
      const script = `const done = arguments[arguments.length - 1];
        Promise.resolve().then(() => (${fn.toString()}).apply(null, Array.prototype.slice.call(arguments, 0, -1)))
          .then(value => done({value: value === undefined ? null : value}),
                error => done({error: String(error) + (error && error.stack ? "\\n" + error.stack : "")}));`;
      const result = await s('POST', '/execute/async', { script, args });
      if (result.error) throw new Error(`in the page: ${result.error}`);
      return result.value;
    };
    const element = async selector =>
      (await s('POST', '/element', { using: 'css selector', value: selector }))[ElementKey];
    const waitFor = async (fn, { timeout = 30000 } = {}, ...args) => {
      const until = Date.now() + timeout;
      for (;;) {
        const value = await evaluate(fn, ...args);
        if (value) return value;
        if (Date.now() > until) throw new Error(`waiting for ${fn.toString().slice(0, 200)} failed: ${timeout} ms passed`);
        await sleep(50);
      }
    };
    const collect = async () => {
      try {
        messages.push(...await evaluate(() => (window.__orvaneMessages || []).splice(0)));
      } catch (error) {
        // A page on its way out keeps what it had.
      }
      return messages;
    };
    // The view is the window less MiniBrowser's bars: size the window so
    // that the view is width x height.
    let rect = { x: 0, y: 0, width, height };
    for (let tries = 0; tries < 3; ++tries) {
      await s('POST', '/window/rect', rect);
      const inner = await evaluate(() => [innerWidth, innerHeight]);
      if (inner[0] === width && inner[1] === height) break;
      rect = { x: 0, y: 0, width: rect.width + width - inner[0], height: rect.height + height - inner[1] };
    }
    const select = async () => s('POST', '/window', { handle });
    return {
      messages,
      canUpload: true,
      addScript: source => scripts.get(id).push(typeof source === 'function' ? `(${source})();` : source),
      goto: async url => {
        await collect();
        const target = new URL(url);
        await s('POST', '/url', { url: `${proxy.url}/${id}/${target.host}${target.pathname}${target.search}` });
      },
      title: () => s('GET', '/title'),
      evaluate,
      waitFor,
      waitForTitle: async (test, timeout = 60000) => {
        const until = Date.now() + timeout;
        for (;;) {
          const title = await s('GET', '/title');
          if (test(title)) return title;
          if (Date.now() > until) throw new Error(`the title stayed "${title}" for ${timeout} ms`);
          await sleep(50);
        }
      },
      click: async selector => s('POST', `/element/${await element(selector)}/click`, {}),
      press: async key => {
        const value = Keys[key] || key;
        await s('POST', '/actions', {
          actions: [{ type: 'key', id: 'keyboard', actions: [{ type: 'keyDown', value }, { type: 'keyUp', value }] }],
        });
        await s('DELETE', '/actions');
      },
      uploadFile: async (selector, path) => s('POST', `/element/${await element(selector)}/value`, { text: path }),
      // The view's screenshot, taken once two more animation frames have
      // been drawn, cut to the frame.
      frame: async (x = 0, y = 0) => {
        await evaluate(() => new Promise(resolve => requestAnimationFrame(() => requestAnimationFrame(resolve))));
        const shot = decodePng(Buffer.from(await s('GET', '/screenshot'), 'base64'));
        return crop(shot, x, y, FrameWidth, FrameHeight);
      },
      screenshot: async path => writeFileSync(path, Buffer.from(await s('GET', '/screenshot'), 'base64')),
      collectMessages: collect,
      close: async () => {
        await collect();
        if (handle !== firstWindow) {
          await s('DELETE', '/window');
          await s('POST', '/window', { handle: firstWindow });
        } else {
          await s('POST', '/url', { url: 'about:blank' });
        }
      },
      select,
    };
  }

  return {
    name: 'webkit',
    openTab,
    close: async () => {
      await s('DELETE', '').catch(() => {});
      proxy.close();
      await stopAll();
    },
  };
}

function crop(image, x, y, width, height) {
  if (image.width < x + width || image.height < y + height)
    throw new Error(`a screenshot of ${image.width}x${image.height} has no ${width}x${height} at (${x}, ${y})`);
  const rgb = Buffer.alloc(width * height * 3);
  for (let row = 0; row < height; ++row)
    image.rgb.copy(rgb, row * width * 3, ((y + row) * image.width + x) * 3, ((y + row) * image.width + x + width) * 3);
  return { width, height, rgb };
}
