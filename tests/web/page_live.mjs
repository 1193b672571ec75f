// The live show on the page, as a person uses it, in the engine ENGINE names
// (tests/web/engines.mjs; chromium unless told), playing into a private
// PulseAudio null sink: Play draws frames and the title says
// "Orvane: playing"; the show's clock, sampled at every frame, never goes
// backwards and moves with the audio context; a short module of ours ends
// the show by itself ("Orvane: ended") within its length plus 1 s after its
// first sound, its clock having reached that length; Escape ends it early
// and Play again starts a fresh show from 0; none of these runs puts an
// error or a warning on the console; ?autoplay starts without the button
// where the engine can be told to allow it. With no sound server at all the
// show says so in the desktop's two lines and runs silently to its end; where
// the engine wants a gesture for sound (?autoplay, no autoplay switch) Play
// is offered again with a line and a click plays; an output timestamp that
// lies (from the future, then stalled) leaves the clock moving and
// monotonic.
//
// Chromium only: a hidden tab (puppeteer brings another to the front). The
// page in windows of every shape, full screen and touch: page_view.mjs.
//
// Environment: ENGINE, WRITE_TEST_MODULE (the native writer of short
// modules), WEB_TEST_OUT (screenshots of each state).
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { engineFromEnvironment, launchEngine } from './engines.mjs';
import { PageDir, expect, requirePage, runChecks, serve } from './lib.mjs';
import { NoSoundServer, startPulse } from './pulse.mjs';

requirePage();
const engineName = engineFromEnvironment();
const chromium = engineName === 'chromium';
const out = process.env.WEB_TEST_OUT || mkdtempSync(join(tmpdir(), 'orvane-live-'));
mkdirSync(out, { recursive: true });
const files = mkdtempSync(join(tmpdir(), 'orvane-module-'));
const ShortModuleRows = 25;  // 120 ms a row: 3 s
const ShortModuleMs = ShortModuleRows * 120;
const shortModule = join(files, 'cud.mod');
execFileSync(process.env.WRITE_TEST_MODULE, [shortModule, String(ShortModuleRows)]);
const AudioStartWaitMs = 3000;  // web/page.js

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
const frames = tab => tab.evaluate(() => window.orvaneFrames || []);
const probe = tab => tab.evaluate(() => window.orvaneProgram.orvaneSoundProbe());
const lines = tab => tab.evaluate(() => document.getElementById('output').textContent.split('\n'));
const status = tab => tab.evaluate(() => document.getElementById('status').textContent);
const figures = {};

const pulse = await startPulse();
const server = await serve({ '/': PageDir });
// The browser as people have it, with sound through the null sink; where
// a check needs sound to start without a gesture, one that allows it.
const engines = {};
async function engine(kind) {
  engines[kind] ||= await launchEngine(engineName, {
    autoplay: kind !== 'strict',
    env: { PULSE_SERVER: kind === 'no-server' ? NoSoundServer : pulse.server },
  });
  return engines[kind];
}

async function readyTab(kind = 'sound', query = '', width = 1000, height = 900, before = null) {
  const tab = await (await engine(kind)).openTab(width, height);
  if (before) tab.addScript(before);
  await tab.goto(`${server.url}/index.html${query}`);
  if (!query.includes('autoplay')) await tab.waitFor(() => !document.getElementById('play').disabled);
  return tab;
}

async function noMessages(tab, ignore = () => false) {
  const said = (await tab.collectMessages()).filter(message => !ignore(message));
  expect(said.length === 0, said.join('; '));
}

// Waits until the clock moves (the first sound is heard), so that the
// readings after it do not count the wait for it.
async function untilHeard(tab, timeout = 10000) {
  try {
    await tab.waitFor(() => {
      const p = window.orvaneProgram && window.orvaneProgram.orvaneSoundProbe();
      return p && p.contextTime !== undefined && p.clockMs > 0;
    }, { timeout });
  } catch (error) {
    const said = await tab.evaluate(() => [document.getElementById('status').textContent,
      document.getElementById('output').textContent]).catch(() => ['(no answer)', '']);
    throw new Error(`no sound heard within ${timeout} ms; the page says "${said[0]}", printed "${said[1]}"`);
  }
}

// The frames shown: never back, and music time against the page's time.
function clockOf(shown) {
  for (let i = 1; i < shown.length; ++i)
    expect(shown[i].sceneMs >= shown[i - 1].sceneMs, `the clock went back from ${shown[i - 1].sceneMs} to ${shown[i].sceneMs} ms`);
  const moving = shown.filter(frame => frame.sceneMs > 0);
  const first = moving[0], last = moving[moving.length - 1];
  return { rate: (last.sceneMs - first.sceneMs) / (last.at - first.at), fps: (moving.length - 1) / ((last.at - first.at) / 1000) };
}

// Chooses our short module as the page's cud.mod, then presses Play;
// returns when it pressed it (Date.now()).
async function playShortModule(tab) {
  await tab.uploadFile('#files', shortModule);
  await tab.waitFor(() => !document.getElementById('own').hidden);
  const pressed = Date.now();
  await tab.click('#play');
  return pressed;
}

const checks = [
  ['Play draws frames; the clock never goes backwards and moves with the audio context', async () => {
    const tab = await readyTab();
    await tab.screenshot(join(out, 'ready.png'));
    expect(await tab.title() === 'Orvane', `ready: "${await tab.title()}"`);
    await tab.click('#play');
    expect(await tab.title() === 'Orvane: playing', await tab.title());
    await untilHeard(tab);
    const before = await probe(tab);
    await sleep(3000);
    const after = await probe(tab);
    const shown = await frames(tab);
    await tab.screenshot(join(out, 'playing.png'));
    expect(shown.length >= 60, `only ${shown.length} frames in 3 s`);
    const { rate, fps } = clockOf(shown);
    expect(Math.abs(rate - 1) < 0.05, `the show's clock ran at ${rate.toFixed(3)} times the page's`);
    // The music time follows the audio context's output, not the page's clock.
    const byContext = (after.clockMs - before.clockMs) / ((after.contextTime - before.contextTime) * 1000);
    Object.assign(figures, { fps, byContext, playToFirstSoundMs: after.playToFirstSoundMs });
    console.log(`  ${fps.toFixed(1)} frames a second; clock ${byContext.toFixed(4)} times the audio context's, ` +
      `${rate.toFixed(4)} the page's; first sound ${after.playToFirstSoundMs?.toFixed(0)} ms after Play`);
    expect(before.contextTime !== undefined && Math.abs(byContext - 1) < 0.05,
      `the show's clock ran at ${byContext.toFixed(3)} times the audio context's`);
    await noMessages(tab);
    await tab.close();
  }],
  ['a short module ends the show by itself within its length plus 1 s, its clock at that length', async () => {
    const tab = await readyTab();
    await playShortModule(tab);
    await untilHeard(tab);
    const { firstSoundMs } = await probe(tab);
    const title = await tab.waitForTitle(t => t !== 'Orvane: playing', 20000);
    // From the first sound (the context may take seconds to start), on the
    // page's own clock.
    const took = await tab.evaluate(() => performance.now()) - firstSoundMs;
    await tab.screenshot(join(out, 'ended-with-music.png'));
    expect(title === 'Orvane: ended', `title "${title}"`);
    expect(took <= ShortModuleMs + 1000, `ended ${took} ms after the first sound; the module lasts ${ShortModuleMs} ms`);
    expect(took >= ShortModuleMs - 100, `ended ${took} ms after the first sound, before the module's ${ShortModuleMs} ms`);
    const shown = await frames(tab);
    clockOf(shown);
    const reached = shown[shown.length - 1].sceneMs;
    expect(reached >= ShortModuleMs - 100 && reached <= ShortModuleMs + 100,
      `the last frame shown was at ${reached} ms of the module's ${ShortModuleMs} ms`);
    const said = await status(tab);
    expect(said.includes('with its music'), said);
    await noMessages(tab);
    await tab.close();
  }],
  ...(chromium ? [['a hidden tab draws no frames, and the show still ends with its music', async () => {
    const tab = await readyTab();
    const started = await playShortModule(tab);
    await tab.waitFor(() => window.orvaneFrames.length > 0, { timeout: 5000 });
    const other = await engines.sound.browser.newPage();
    await other.bringToFront();
    expect(await tab.evaluate(() => document.visibilityState) === 'hidden', 'the tab is not hidden');
    const shown = (await frames(tab)).length;
    const title = await tab.waitForTitle(t => t !== 'Orvane: playing', 20000);
    const took = Date.now() - started;
    expect(title === 'Orvane: ended', `title "${title}"`);
    // A hidden tab's timers run about once a second.
    expect(took <= ShortModuleMs + 2500, `ended ${took} ms after Play`);
    expect((await frames(tab)).length <= shown + 2, 'frames were drawn in the hidden tab');
    await noMessages(tab);
    await other.close();
    await tab.close();
  }]] : []),
  ['Escape ends the show early; Play again starts a fresh one from 0', async () => {
    const tab = await readyTab();
    await tab.click('#play');
    await tab.waitFor(() => window.orvaneFrames.length > 0, { timeout: 5000 });
    await sleep(1500);
    const pressed = Date.now();
    await tab.press('Escape');
    const title = await tab.waitForTitle(t => t !== 'Orvane: playing', 5000);
    expect(title === 'Orvane: ended', `title "${title}"`);
    expect(Date.now() - pressed < 1000, `ended ${Date.now() - pressed} ms after Escape`);
    await tab.screenshot(join(out, 'ended-by-escape.png'));
    const said = await status(tab);
    const button = await tab.evaluate(() => document.getElementById('play').textContent);
    expect(said.includes('Escape') && button === 'Play again', `"${said}", button "${button}"`);
    const before = (await frames(tab)).length;
    await sleep(300);
    expect((await frames(tab)).length === before, 'frames still come after the end');

    await tab.click('#play');
    await tab.waitFor(() => window.orvaneFrames.length >= 10, { timeout: 5000 });
    const again = await frames(tab);
    expect(await tab.title() === 'Orvane: playing', await tab.title());
    expect(again[0].sceneMs < 300, `the new show's first frame is at ${again[0].sceneMs} ms`);
    await untilHeard(tab);
    await noMessages(tab);
    await tab.close();
  }],
  // WebKitGTK has no switch that lets sound start without a gesture: there,
  // ?autoplay is the check below, where it is refused.
  ...(engineName !== 'webkit' ? [['?autoplay starts the show without the button', async () => {
    const tab = await readyTab('sound', '?autoplay');
    await tab.waitFor(() => (window.orvaneFrames || []).length >= 10, { timeout: 10000 });
    expect(await tab.title() === 'Orvane: playing', await tab.title());
    await tab.close();
  }]] : []),
  ['autoplay refused: Play is offered with the reason, and a click plays with sound', async () => {
    const tab = await readyTab('strict', '?autoplay');
    await tab.waitForTitle(t => t === 'Orvane', AudioStartWaitMs + 5000);
    await tab.waitFor(() => !document.getElementById('play').disabled, { timeout: 5000 });
    const said = await status(tab);
    await tab.screenshot(join(out, 'autoplay-refused.png'));
    expect(said.includes('only when you ask') && said.includes('Play'), `the page says "${said}"`);
    expect((await frames(tab)).length === 0, 'frames were drawn without sound');
    await tab.click('#play');
    await tab.waitFor(() => window.orvaneFrames.length >= 30, { timeout: 10000 });
    await untilHeard(tab);
    const heard = await probe(tab);
    const printed = (await lines(tab)).join('');
    expect(heard.contextTime > 0 && printed === '', `after the click: context time ${heard.contextTime}, printed "${printed}"`);
    // The engine's own word that it refused, which is what is tested here.
    await noMessages(tab, message => /AudioContext was not allowed to start|AudioContext was prevented from starting/.test(message));
    await tab.close();
  }],
  ['no sound server: the two lines, then the silent show, which ends', async () => {
    const tab = await readyTab('no-server');
    const clicked = Date.now();
    await tab.click('#play');
    await tab.waitFor(() => window.orvaneFrames.length >= 30, { timeout: AudioStartWaitMs + 10000 });
    const waited = Date.now() - clicked;
    await sleep(1500);
    const shown = await frames(tab);
    await tab.screenshot(join(out, 'no-sound-server.png'));
    const printed = await lines(tab);
    const { rate } = clockOf(shown);
    console.log(`  first frames ${waited} ms after Play; the silent show ran at ${rate.toFixed(3)} times the page's time`);
    if (engineName !== 'firefox') {
      // Chromium and WebKitGTK have no such state: where no sound server
      // answers they play into an output of their own, whose clock moves
      // (page_audio.mjs makes the context that never plays, in Chromium).
      const heard = await probe(tab);
      expect(printed.join('') === '' && heard.contextTime > 0,
        `printed ${JSON.stringify(printed)}, context time ${heard.contextTime}`);
    } else {
      expect(printed[0] === 'Error: Failed Initializing...' && printed[1] === 'Error initializing output device.',
        `printed ${JSON.stringify(printed)}`);
    }
    expect(await tab.title() === 'Orvane: playing', await tab.title());
    expect(Math.abs(rate - 1) < 0.05, `the silent show ran at ${rate.toFixed(3)} times the page's time`);
    await tab.press('Escape');
    expect(await tab.waitForTitle(t => t !== 'Orvane: playing', 5000) === 'Orvane: ended', await tab.title());
    await noMessages(tab);
    await tab.close();
  }],
  ['an output timestamp from the future, then a stalled one: the clock keeps moving and never goes back', async () => {
    // Before the page's scripts: for its first second the stamps say what is
    // heard 5 s from now; after that the same stamp again and again.
    const tab = await readyTab('sound', '', 1000, 900, () => {
      const real = AudioContext.prototype.getOutputTimestamp;
      let first = null, stalled = null;
      AudioContext.prototype.getOutputTimestamp = function () {
        const stamp = real.call(this);
        const now = performance.now();
        if (first === null) first = now;
        if (now - first < 1000) return { contextTime: stamp.contextTime + 5, performanceTime: now + 5000 };
        if (stalled === null) stalled = { contextTime: stamp.contextTime, performanceTime: stamp.performanceTime };
        return stalled;
      };
    });
    await tab.click('#play');
    await untilHeard(tab);
    const before = await probe(tab);
    await sleep(3000);
    const after = await probe(tab);
    const shown = await frames(tab);
    const { rate } = clockOf(shown);
    const byContext = (after.clockMs - before.clockMs) / ((after.contextTime - before.contextTime) * 1000);
    console.log(`  lying stamps: clock ${byContext.toFixed(4)} times the audio context's, ${rate.toFixed(4)} the page's`);
    expect(Math.abs(byContext - 1) < 0.05, `the show's clock ran at ${byContext.toFixed(3)} times the audio context's`);
    expect(Math.abs(rate - 1) < 0.05, `the show's clock ran at ${rate.toFixed(3)} times the page's`);
    await noMessages(tab);
    await tab.close();
  }],
];

const began = Date.now();
try {
  // Firefox stops answering after a few tabs that played sound, one browser
  // and all: there each check gets a browser of its own.
  const run = engineName !== 'firefox' ? checks : checks.map(([what, check]) => [what, async () => {
    try {
      await check();
    } finally {
      for (const [kind, each] of Object.entries(engines)) {
        delete engines[kind];
        await each.close().catch(() => {});
      }
    }
  }]);
  await runChecks(`live show in ${engineName}`, run);
  console.log(`${engineName}: ${JSON.stringify(figures)}; ${((Date.now() - began) / 1000).toFixed(0)} s`);
} finally {
  for (const each of Object.values(engines)) await each.close().catch(() => {});
  server.close();
  await pulse.stop();
}
