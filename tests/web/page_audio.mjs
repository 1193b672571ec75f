// The page's sound start, as a person meets it: where the audio context never
// starts playing, the show says so in the desktop's two lines and runs
// silently in real time instead of standing on its first frame; where the
// browser refuses sound without a gesture (?autoplay), Play is offered again
// with a line that says why, and a click plays; the page's one context
// plays every run, after Escape as after the end, without an error; and a
// context stopped under the page goes on at the next touch.
//
// Environment: WRITE_TEST_MODULE (the native writer of short modules),
// WEB_TEST_OUT (screenshots of each state).
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { expect, launchBrowser, openTab, PageDir, requirePage, runChecks, serve, waitForTitle } from './lib.mjs';

requirePage();
const out = process.env.WEB_TEST_OUT || mkdtempSync(join(tmpdir(), 'orvane-page-audio-'));
mkdirSync(out, { recursive: true });
const AudioStartWaitMs = 3000;  // web/page.js
const shortModule = join(mkdtempSync(join(tmpdir(), 'orvane-module-')), 'cud.mod');
execFileSync(process.env.WRITE_TEST_MODULE, [shortModule, '15']);  // 1.8 s

const server = await serve({ '/': PageDir });
const browser = await launchBrowser();
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
const frames = page => page.evaluate(() => window.orvaneFrames || []);
const lines = page => page.$eval('#output', e => e.textContent.split('\n'));

async function readyTab(within, query = '') {
  const page = await openTab(within, 1000, 900);
  return { page, open: () => page.goto(`${server.url}/index.html${query}`) };
}

// The music time of the frames shown from `from` on, against the page's time.
function paceOf(shown) {
  const first = shown[0], last = shown[shown.length - 1];
  return (last.sceneMs - first.sceneMs) / (last.at - first.at);
}

try {
  await runChecks('page audio', [
    ['a context that never plays: the two lines, then the silent show in real time', async () => {
      const { page, open } = await readyTab(browser);
      // An engine without a sound device: the context is made and stays suspended.
      await page.evaluateOnNewDocument(() => {
        const Made = window.AudioContext;
        window.AudioContext = class extends Made {
          constructor(options) {
            super(options);
            super.suspend();
          }
          resume() { return new Promise(() => {}); }
          get state() { return 'suspended'; }
        };
      });
      await open();
      await page.waitForFunction(() => !document.getElementById('play').disabled);
      const clicked = Date.now();
      await page.click('#play');
      await page.waitForFunction(() => window.orvaneFrames.length >= 60, { timeout: AudioStartWaitMs + 10000 });
      const waited = Date.now() - clicked;
      await sleep(1000);
      const shown = await frames(page);
      await page.screenshot({ path: join(out, 'no-sound.png') });
      const printed = await lines(page);
      expect(printed[0] === 'Error: Failed Initializing...' && printed[1] === 'Error initializing output device.',
        `printed ${JSON.stringify(printed)}`);
      expect(await page.title() === 'Orvane: playing', await page.title());
      expect(waited >= AudioStartWaitMs - 100 && waited <= AudioStartWaitMs + 3000,
        `the first frames came ${waited} ms after Play`);
      const pace = paceOf(shown);
      expect(Math.abs(pace - 1) < 0.05, `the silent show ran at ${pace.toFixed(3)} times the page's time`);
      await page.keyboard.press('Escape');
      expect(await waitForTitle(page, t => t !== 'Orvane: playing', 5000) === 'Orvane: ended', await page.title());
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ['autoplay refused: Play is offered with the reason, and a click plays with sound', async () => {
      // A browser as people have it: sound only after a gesture.
      const strict = await puppeteer.launch({
        executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
      });
      try {
        const { page, open } = await readyTab(strict, '?autoplay');
        // The browser's own word that it refused, which is what is tested here.
        page.on('console', message => {
          const at = page.messages.indexOf(`console ${message.type()}: ${message.text()}`);
          if (message.text().startsWith('The AudioContext was not allowed to start') && at >= 0)
            page.messages.splice(at, 1);
        });
        await open();
        await waitForTitle(page, t => t === 'Orvane', AudioStartWaitMs + 5000);
        await page.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 5000 });
        const said = await page.$eval('#status', e => e.textContent);
        await page.screenshot({ path: join(out, 'autoplay-refused.png') });
        expect(said.includes('only when you ask') && said.includes('Play'), `the page says "${said}"`);
        expect((await frames(page)).length === 0, 'frames were drawn without sound');
        await page.click('#play');
        await page.waitForFunction(() => window.orvaneFrames.length >= 30, { timeout: 5000 });
        const probe = await page.evaluate(() => window.orvaneProgram.orvaneSoundProbe());
        expect(probe.contextTime > 0 && (await lines(page)).join('') === '',
          `after the click: context time ${probe.contextTime}, printed ${JSON.stringify(await lines(page))}`);
        expect(page.messages.length === 0, page.messages.join('; '));
        await page.close();
      } finally {
        await strict.close();
      }
    }],
    ['the page\'s one context plays every run: Play again after Escape, and after the end', async () => {
      const { page, open } = await readyTab(browser);
      await open();
      await page.waitForFunction(() => !document.getElementById('play').disabled);
      const runs = [];
      for (let run = 0; run < 3; ++run) {
        if (run === 2) {  // this one ends with its music
          await (await page.$('#files')).uploadFile(shortModule);
          await page.waitForFunction(() => !document.getElementById('own').hidden);
        }
        await page.click('#play');
        await page.waitForFunction(() => (window.orvaneFrames || []).length >= 20, { timeout: 5000 });
        const before = await page.evaluate(() => window.orvaneProgram.orvaneSoundProbe());
        await sleep(1000);
        const after = await page.evaluate(() => window.orvaneProgram.orvaneSoundProbe());
        runs.push(await page.evaluate((run) => {
          const context = window.orvaneProgram.orvaneSound.context;
          if (run === 0) window.firstContext = context;
          return { same: context === window.firstContext, state: context.state };
        }, run));
        runs[run].byContext = (after.clockMs - before.clockMs) / ((after.contextTime - before.contextTime) * 1000);
        if (run < 2) await page.keyboard.press('Escape');
        await waitForTitle(page, t => t === 'Orvane: ended', 5000);
      }
      for (const [i, run] of runs.entries()) {
        expect(run.same && run.state === 'running', `run ${i + 1}: ${run.same ? 'the' : 'another'} context, ${run.state}`);
        expect(Math.abs(run.byContext - 1) < 0.05, `run ${i + 1}: the clock ran at ${run.byContext.toFixed(3)} ` +
          'times the audio context\'s');
      }
      expect(await page.evaluate(() => window.firstContext.state) === 'running', 'the context was closed at the end');
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ['a context the system stops (a call, a locked phone) plays again at the next touch, from what was heard',
      async () => {
        const { page, open } = await readyTab(browser);
        await open();
        await page.waitForFunction(() => !document.getElementById('play').disabled);
        await page.click('#play');
        await page.waitForFunction(() => (window.orvaneFrames || []).length >= 30, { timeout: 5000 });
        const probe = () => page.evaluate(() => window.orvaneProgram.orvaneSoundProbe());
        await page.evaluate(() => window.orvaneProgram.orvaneSound.context.suspend());
        const held = await probe();
        await sleep(1000);
        const stillHeld = await probe();
        await page.mouse.click(500, 800);  // anywhere on the page
        await page.waitForFunction(() => window.orvaneProgram.orvaneSound.context.state === 'running', { timeout: 3000 });
        await sleep(1000);
        const after = await probe();
        // What the context had rendered but not yet played may still count.
        expect(stillHeld.clockMs - held.clockMs <= held.baseLatencyMs + held.outputLatencyMs + 30,
          `the clock ran from ${held.clockMs} to ${stillHeld.clockMs} ms while the context was stopped`);
        const byContext = (after.clockMs - stillHeld.clockMs) / ((after.contextTime - stillHeld.contextTime) * 1000);
        expect(after.clockMs > stillHeld.clockMs + 800 && Math.abs(byContext - 1) < 0.1,
          `after the touch the clock went from ${stillHeld.clockMs} to ${after.clockMs} ms, ` +
          `${byContext.toFixed(3)} times the audio context's pace`);
        expect(page.messages.length === 0, page.messages.join('; '));
        await page.close();
      }],
  ]);
} finally {
  await browser.close();
  server.close();
}
