// The page's figures in one or more browser engines (bench/web-bench runs
// it; tests/web/engines.mjs drives them; Chromium unless told):
// the sizes of its files, raw and gzipped; frames per second of a still's
// run of frames (its pre-roll) at a few moments; the time from Play to the
// first frame; and, over one whole run of the show with its sound, frames
// per second of music time over each effect's busiest stretch (the stretches
// of bench/show_bench.cpp, read from there) with the largest gap, and the
// clock against the audio context's output timestamps; and the main
// thread's time per frame (median and 99th percentile) in the busiest
// second of three windows of that run, from a trace of the renderer's main
// thread: every task it ran, each counted to the animation frame it followed
// (Chromium only: the others give no such trace). The sound plays into a
// private PulseAudio null sink.
//
//   node bench/web_bench.mjs [--no-show] [--engines=chromium,firefox,webkit]
// (without --engines, the one ENGINE names, else chromium)
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { EngineNames, launchEngine } from '../tests/web/engines.mjs';
import { PageDir, Root, serve } from '../tests/web/lib.mjs';
import { startPulse } from '../tests/web/pulse.mjs';

const wholeShow = !process.argv.includes('--no-show');
const enginesArg = process.argv.find(arg => arg.startsWith('--engines='));
const engineNames = enginesArg ? enginesArg.slice('--engines='.length).split(',') : [process.env.ENGINE || 'chromium'];
for (const name of engineNames)
  if (!EngineNames.includes(name)) throw new Error(`no engine ${name}: ${EngineNames.join(', ')}`);
const kib = bytes => `${(bytes / 1024).toFixed(1)} KiB`;

// The stretches, from their one home.
function busiestStretches() {
  const source = readFileSync(join(Root, 'bench/show_bench.cpp'), 'utf8');
  const table = source.slice(source.indexOf('BusiestStretches[]'), source.indexOf('};', source.indexOf('BusiestStretches[]')));
  const stretches = [...table.matchAll(/\{"([^"]+)",\s*(\d+),\s*(\d+)\}/g)].map(m => ({ effect: m[1], start: +m[2], end: +m[3] }));
  if (stretches.length === 0) throw new Error('no BusiestStretches table in bench/show_bench.cpp');
  return stretches;
}

// The main thread's time per frame over `seconds` from music time startMs
// of the run in `page`: every task of the tab's main thread from one
// animation frame to the next counts to the first. Of each whole second
// from Settle ms on, the busiest (the most time in all) is kept: its
// frames' median and 99th percentile, in ms, and those of the animation
// frame callbacks alone (where the show draws; most of the rest is the
// sound library's rendering). The trace's first moments are left out:
// starting it holds the page up.
const Settle = 300;
async function mainThreadPerFrame(page, startMs, seconds) {
  await page.waitForFunction(ms => window.orvaneFrames.length > 0 &&
    window.orvaneFrames[window.orvaneFrames.length - 1].sceneMs >= ms, { timeout: 300000, polling: 20 }, startMs);
  await page.tracing.start({ categories: ['toplevel', 'devtools.timeline'] });
  await new Promise(resolve => setTimeout(resolve, seconds * 1000 + Settle + 100));
  const trace = JSON.parse(Buffer.from(await page.tracing.stop()).toString('utf8'));
  const events = trace.traceEvents || trace;
  // The tab's main thread: the one that ran its animation frames.
  const frameEvents = events.filter(e => e.name === 'FireAnimationFrame' && e.ph === 'X');
  if (frameEvents.length < 2) return null;
  const thread = `${frameEvents[0].pid}:${frameEvents[0].tid}`;
  const onThread = e => `${e.pid}:${e.tid}` === thread;
  const frameRuns = frameEvents.filter(onThread).sort((a, b) => a.ts - b.ts);
  const frames = frameRuns.map(e => e.ts);
  const tasks = events.filter(e => onThread(e) && e.ph === 'X' && e.name === 'ThreadControllerImpl::RunTask');
  const perFrame = frames.slice(0, -1).map(() => 0);
  for (const task of tasks) {
    let i = frames.findIndex((ts, k) => k + 1 < frames.length && task.ts >= ts && task.ts < frames[k + 1]);
    if (i >= 0) perFrame[i] += task.dur / 1000;
  }
  let best = null;
  for (let second = 0; second < seconds; ++second) {
    const from = frames[0] + (Settle + second * 1000) * 1000, to = from + 1e6;
    const inSecond = (_, i) => i < perFrame.length && frames[i] >= from && frames[i] < to;
    const times = perFrame.filter(inSecond).sort((a, b) => a - b);
    if (times.length === 0) continue;
    const callbacks = frameRuns.filter(inSecond).map(e => e.dur / 1000).sort((a, b) => a - b);
    const total = times.reduce((a, b) => a + b, 0);
    const median = list => list[Math.floor(list.length / 2)];
    const p99 = list => list[Math.min(list.length - 1, Math.ceil(list.length * 0.99) - 1)];
    if (!best || total > best.total)
      best = { second, total, frames: times.length, median: median(times), p99: p99(times),
        callbackMedian: median(callbacks), callbackP99: p99(callbacks) };
  }
  return best;
}

// Where the main thread's time is measured: a window of each, in music ms.
const TracedWindows = [
  ['ring pulses and flashes', 89000, 3],
  ['picture zooms', 172480, 3],
  ['closing scene', 195000, 3],
];

console.log('web-bench: the page in', PageDir);
let raw = 0, zipped = 0;
// The page's files, the licences in licenses/ among them.
const pageFiles = dir => readdirSync(dir, { withFileTypes: true }).flatMap(entry =>
  entry.isDirectory() ? pageFiles(join(dir, entry.name)).map(name => join(entry.name, name)) : [entry.name]);
for (const name of pageFiles(PageDir).sort()) {
  const bytes = readFileSync(join(PageDir, name));
  const gz = gzipSync(bytes, { level: 9 }).length;
  raw += statSync(join(PageDir, name)).size;
  zipped += gz;
  console.log(`  ${name.padEnd(24)} ${kib(bytes.length).padStart(11)} raw ${kib(gz).padStart(11)} gzipped`);
}
console.log(`  ${'all'.padEnd(24)} ${kib(raw).padStart(11)} raw ${kib(zipped).padStart(11)} gzipped (target: under 2048 KiB gzipped)`);

const server = await serve({ '/': PageDir });
const pulse = await startPulse();
try {
  for (const name of engineNames) await benchEngine(name);
} finally {
  server.close();
  await pulse.stop();
}

async function benchEngine(name) {
  console.log(`${name}:`);
  const engine = await launchEngine(name, { env: { PULSE_SERVER: pulse.server } });
  try {
    await benchIn(engine);
  } finally {
    await engine.close();
  }
}

async function benchIn(engine) {
  const page = await engine.openTab(1000, 900);
  page.addScript('window.orvaneStill = null;');
  console.log('stills (?at=MS), the run of frames from 0 ms at 60 per second:');
  for (const ms of [20000, 100000, 200000]) {
    const started = Date.now();
    await page.goto(`${server.url}/index.html?at=${ms}`);
    await page.waitForTitle(t => t.startsWith('Orvane: '), 300000);
    const whole = (Date.now() - started) / 1000;
    const still = await page.evaluate(() => window.orvaneStill);
    console.log(`  ${String(ms).padStart(6)} ms: ${still.frames} frames in ${(still.ms / 1000).toFixed(2)} s, ` +
      `${Math.round(still.frames / still.ms * 1000)} frames per second; the page took ${whole.toFixed(1)} s`);
  }

  console.log('Play to the first frame (page loaded, program compiled and data fetched beforehand):');
  await page.goto(`${server.url}/index.html`);
  await page.waitFor(() => !document.getElementById('play').disabled);
  for (let run = 1; run <= 3; ++run) {
    // A real click: WebKitGTK starts sound only in a person's gesture.
    await page.evaluate(() => {
      window.addEventListener('click', () => { window.orvaneClicked = performance.now(); }, { capture: true, once: true });
    });
    await page.click('#play');
    await page.waitFor(() => window.orvaneFrames.length > 0, { timeout: 30000 });
    const [clicked, first] = await page.evaluate(() => [window.orvaneClicked, window.orvaneFrames[0].at]);
    console.log(`  run ${run}: ${(first - clicked).toFixed(0)} ms (target: 500 ms)`);
    await new Promise(resolve => setTimeout(resolve, 500));
    await page.press('Escape');
    await page.waitForTitle(t => t === 'Orvane: ended');
  }

  if (wholeShow) {
    console.log('the whole show with its sound (about three and a half minutes):');
    await page.click('#play');
    await page.waitFor(() => window.orvaneFrames.length > 0, { timeout: 30000 });
    const sound = await page.evaluate(() => window.orvaneProgram.orvaneSoundFigures(60000));
    const mainThread = [];
    if (engine.name === 'chromium') {
      for (const [effect, startMs, seconds] of TracedWindows)
        mainThread.push([effect, startMs, seconds, await mainThreadPerFrame(page.page, startMs, seconds)]);
    }
    await page.waitForTitle(t => t !== 'Orvane: playing', 300000);
    const frames = await page.evaluate(() => window.orvaneFrames);
    console.log(`  ${frames.length} frames; the show ended with "${await page.title()}"`);
    let gap = 0, gapAt = 0;
    for (let i = 1; i < frames.length; ++i) {
      const step = frames[i].sceneMs - frames[i - 1].sceneMs;
      if (step > gap) [gap, gapAt] = [step, frames[i].sceneMs];
    }
    console.log(`  largest gap between frames: ${gap} ms of music time, ending at ${gapAt} ms (target: 34 ms)`);
    console.log('  frames per second of music time (target: 60):');
    for (const { effect, start, end } of busiestStretches()) {
      const inside = frames.filter(f => f.sceneMs >= start && f.sceneMs < end);
      let largest = 0;
      for (let i = 1; i < inside.length; ++i) largest = Math.max(largest, inside[i].sceneMs - inside[i - 1].sceneMs);
      console.log(`    ${effect.padEnd(30)} ${String(start).padStart(6)}-${String(end).padStart(6)} ms: ` +
        `${(inside.length * 1000 / (end - start)).toFixed(1).padStart(5)} fps, largest gap ${largest} ms`);
    }
    if (mainThread.length) console.log('  main-thread time per frame, the busiest second of each window (a trace of the tab\'s main thread):');
    for (const [effect, startMs, seconds, best] of mainThread)
      console.log(`    ${effect.padEnd(30)} ${String(startMs).padStart(6)} ms + ${seconds} s: ` + (best === null ? 'no frames traced' :
        `second ${best.second + 1}, ${best.frames} frames, median ${best.median.toFixed(2)} ms, ` +
        `99th percentile ${best.p99.toFixed(2)} ms, ${best.total.toFixed(0)} ms in all; the animation frame ` +
        `callbacks alone (the show's frame) median ${best.callbackMedian.toFixed(2)} ms, ` +
        `99th percentile ${best.callbackP99.toFixed(2)} ms`));
    console.log('  the clock against the audio context\'s output timestamps, over the first minute:');
    console.log(`    ${sound.compared} of ${sound.samples} readings compared: mean ${sound.meanOffsetMs.toFixed(2)} ms, ` +
      `99th percentile ${sound.p99OffsetMs.toFixed(2)} ms, largest ${sound.largestOffsetMs.toFixed(2)} ms; ` +
      `${sound.notCompared} taken while audio or page was held up; ${sound.backwardSteps} backward steps; ` +
      `Play to first sound ${sound.playToFirstSoundMs === null ? '-' : sound.playToFirstSoundMs.toFixed(0) + ' ms'}`);
  }
  // The stills' and the runs' console, the browser's own messages included
  // (in WebKitGTK the page's only).
  const messages = await page.collectMessages();
  console.log(`the page's console: ${messages.length} errors or warnings` +
    (messages.length ? `, the first: ${messages[0]}` : ''));
}
