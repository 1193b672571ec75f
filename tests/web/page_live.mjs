// The live show on the page, as a person uses it: Play draws frames and the
// title says "Orvane: playing"; the show's clock, sampled at every frame,
// never goes backwards and moves with the audio context; a short module of
// ours ends the show by itself ("Orvane: ended") within its length plus 1 s,
// and also in a hidden tab, which draws no frames;
// Escape ends it early and Play again starts a fresh show from 0; none of
// these runs puts an error or a warning on the console; ?autoplay starts
// without the button. (The page in windows of every shape, full screen and
// touch: page_view.mjs.)
//
// Environment: WRITE_TEST_MODULE (the native writer of short modules),
// WEB_TEST_OUT (screenshots of each state).
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import {
  PageDir, expect, launchBrowser, openTab, requirePage, runChecks, serve, waitForTitle,
} from './lib.mjs';

requirePage();
const out = process.env.WEB_TEST_OUT || mkdtempSync(join(tmpdir(), 'orvane-live-'));
mkdirSync(out, { recursive: true });
const files = mkdtempSync(join(tmpdir(), 'orvane-module-'));
const ShortModuleRows = 25;  // 120 ms a row: 3 s
const shortModule = join(files, 'cud.mod');
execFileSync(process.env.WRITE_TEST_MODULE, [shortModule, String(ShortModuleRows)]);

const server = await serve({ '/': PageDir });
const browser = await launchBrowser();

async function readyTab(width = 1000, height = 900, query = '') {
  const page = await openTab(browser, width, height);
  await page.goto(`${server.url}/index.html${query}`);
  if (!query.includes('autoplay')) await page.waitForFunction(() => !document.getElementById('play').disabled);
  return page;
}

const frames = page => page.evaluate(() => window.orvaneFrames || []);
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// Chooses our short module as the page's cud.mod, then presses Play;
// returns when it pressed it (Date.now()).
async function playShortModule(page) {
  const input = await page.$('#files');
  await input.uploadFile(shortModule);
  await page.waitForFunction(() => !document.getElementById('own').hidden);
  const pressed = Date.now();
  await page.click('#play');
  return pressed;
}

try {
  await runChecks('live show', [
    ['Play draws frames; the clock never goes backwards and moves with the audio context', async () => {
      const page = await readyTab();
      await page.screenshot({ path: join(out, 'ready.png') });
      expect(await page.title() === 'Orvane', `ready: "${await page.title()}"`);
      await page.click('#play');
      expect(await page.title() === 'Orvane: playing', await page.title());
      // The clock holds at 0 until the first sound is heard; the readings
      // start once it moves, so that the wait for the sound is not counted.
      await page.waitForFunction(() => {
        const p = window.orvaneProgram && window.orvaneProgram.orvaneSoundProbe();
        return p && p.contextTime !== undefined && p.clockMs > 0;
      }, { timeout: 10000 });
      const probe = () => page.evaluate(() => window.orvaneProgram.orvaneSoundProbe());
      const before = await probe();
      await sleep(3000);
      const after = await probe();
      const shown = await frames(page);
      await page.screenshot({ path: join(out, 'playing.png') });
      expect(shown.length >= 60, `only ${shown.length} frames in 3 s`);
      for (let i = 1; i < shown.length; ++i)
        expect(shown[i].sceneMs >= shown[i - 1].sceneMs, `the clock went back from ${shown[i - 1].sceneMs} to ${shown[i].sceneMs} ms`);
      const moving = shown.filter(frame => frame.sceneMs > 0);
      const first = moving[0], last = moving[moving.length - 1];
      const rate = (last.sceneMs - first.sceneMs) / (last.at - first.at);
      expect(Math.abs(rate - 1) < 0.05, `the show's clock ran at ${rate.toFixed(3)} times the page's`);
      // The music time follows the audio context's output, not the page's clock.
      const byContext = (after.clockMs - before.clockMs) / ((after.contextTime - before.contextTime) * 1000);
      expect(before.contextTime !== undefined && Math.abs(byContext - 1) < 0.05,
        `the show's clock ran at ${byContext.toFixed(3)} times the audio context's`);
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ['a short module ends the show by itself within its length plus 1 s', async () => {
      const page = await readyTab();
      const started = await playShortModule(page);
      const title = await waitForTitle(page, t => t !== 'Orvane: playing', 20000);
      const took = Date.now() - started;
      const length = ShortModuleRows * 120;
      await page.screenshot({ path: join(out, 'ended-with-music.png') });
      expect(title === 'Orvane: ended', `title "${title}"`);
      expect(took <= length + 1000, `ended ${took} ms after Play; the module lasts ${length} ms`);
      expect(took >= length - 100, `ended ${took} ms after Play, before the module's ${length} ms`);
      const said = await page.$eval('#status', e => e.textContent);
      expect(said.includes('with its music'), said);
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ['a hidden tab draws no frames, and the show still ends with its music', async () => {
      const page = await readyTab();
      const started = await playShortModule(page);
      await page.waitForFunction(() => window.orvaneFrames.length > 0, { timeout: 5000 });
      const other = await browser.newPage();
      await other.bringToFront();
      expect(await page.evaluate(() => document.visibilityState) === 'hidden', 'the tab is not hidden');
      const shown = (await frames(page)).length;
      const title = await waitForTitle(page, t => t !== 'Orvane: playing', 20000);
      const took = Date.now() - started;
      expect(title === 'Orvane: ended', `title "${title}"`);
      // A hidden tab's timers run about once a second.
      expect(took <= ShortModuleRows * 120 + 2500, `ended ${took} ms after Play`);
      expect((await frames(page)).length <= shown + 2, 'frames were drawn in the hidden tab');
      expect(page.messages.length === 0, page.messages.join('; '));
      await other.close();
      await page.close();
    }],
    ['Escape ends the show early; Play again starts a fresh one from 0', async () => {
      const page = await readyTab();
      await page.click('#play');
      await page.waitForFunction(() => window.orvaneFrames.length > 0, { timeout: 5000 });
      await sleep(1500);
      const pressed = Date.now();
      await page.keyboard.press('Escape');
      const title = await waitForTitle(page, t => t !== 'Orvane: playing', 5000);
      expect(title === 'Orvane: ended', `title "${title}"`);
      expect(Date.now() - pressed < 1000, `ended ${Date.now() - pressed} ms after Escape`);
      await page.screenshot({ path: join(out, 'ended-by-escape.png') });
      const said = await page.$eval('#status', e => e.textContent);
      expect(said.includes('Escape') && await page.$eval('#play', e => e.textContent) === 'Play again', said);
      const before = (await frames(page)).length;
      await sleep(300);
      expect((await frames(page)).length === before, 'frames still come after the end');

      await page.click('#play');
      await page.waitForFunction(() => window.orvaneFrames.length >= 10, { timeout: 5000 });
      const again = await frames(page);
      expect(await page.title() === 'Orvane: playing', await page.title());
      expect(again[0].sceneMs < 300, `the new show's first frame is at ${again[0].sceneMs} ms`);
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ['?autoplay starts the show without the button', async () => {
      const page = await readyTab(1000, 900, '?autoplay');
      await page.waitForFunction(() => (window.orvaneFrames || []).length >= 10, { timeout: 10000 });
      expect(await page.title() === 'Orvane: playing', await page.title());
      await page.close();
    }],
  ]);
} finally {
  await browser.close();
  server.close();
}
