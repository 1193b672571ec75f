// The page's sound library in headless Chromium, through its harness page
// (sound.html): the same sound as the desktop's offline render, the clock
// during playback, a hidden tab, a context that stops, the still mode, and
// the failures. Prints one line per case; exits non-zero if any fails.
//
// Environment: HARNESS_DIR (the emscripten build of the harness), and the
// native helpers WEB_SOUND_REFERENCE, WRITE_TEST_MODULE, MAKE_STANDINS.

import {execFileSync} from 'node:child_process';
import {existsSync, mkdtempSync, rmSync, writeFileSync, mkdirSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {serve, launch, openHarness} from './sound_page.mjs';

const env = (name) => {
  if (!process.env[name]) throw new Error(`${name} is not set`);
  return process.env[name];
};
// The harness is built by scripts/build-web; without it CTest counts this
// test as skipped (exit code 77).
if (!existsSync(join(env('HARNESS_DIR'), 'sound_harness.wasm'))) {
  console.log(`${env('HARNESS_DIR')}/sound_harness.wasm is not built: run scripts/build-web first`);
  process.exit(77);
}
const work = mkdtempSync(join(tmpdir(), 'orvane-web-sound-'));
const RowMs = 120;  // tools/make_standins/tiny_module.h
const failures = [];

function check(ok, what) {
  if (!ok) failures.push(what);
  return ok;
}

async function runCase(name, body) {
  const before = failures.length;
  const started = Date.now();
  try {
    await body();
  } catch (error) {
    failures.push(`${error.stack || error}`);
  }
  const mine = failures.slice(before);
  console.log(`${mine.length ? 'FAIL' : 'PASS'} ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
  for (const line of mine) console.log(`  ${line}`);
}

// Samples the library's probe (its clock, end check and references), then
// the show's scene time and end check, in the page every few ms, from
// harness_start until stopAfterMs or, with untilFinished, the first sample
// after the show sees the song finished.
function samplePlayback(page, stopAfterMs, untilFinished) {
  return page.evaluate(async (stopAfterMs, untilFinished) => {
    const started = Module._harness_start();
    const samples = [];
    const t0 = performance.now();
    while (performance.now() - t0 < stopAfterMs) {
      const probe = Module.orvaneSoundProbe();
      samples.push({...probe, at: performance.now(), scene: Module._harness_time(),
                    showFinished: Module._harness_finished() !== 0});
      if (untilFinished && samples[samples.length - 1].showFinished) break;
      await new Promise((resolve) => setTimeout(resolve, 1));
    }
    return {started, samples};
  }, stopAfterMs, untilFinished);
}

// Never backwards; the clock against what the output timestamps say is
// heard (within 2 ms: whole ms, rounded down) and against the context's time
// less its latencies, which moves in steps of one audio callback. Not
// compared, only counted: samples whose readings were not of one moment (the
// page's thread was descheduled between them); samples where the audio
// thread was held up (an output timestamp older than one callback and a
// half), where the reference runs on from the last timestamp while the clock
// rightly stops at what was rendered; and, once the audio goes on, samples
// where the clock holds until it catches up.
function checkClock(samples, what, previousClock) {
  let backwards = 0, worstHeard = 0, worstAt = null, lowLatency = Infinity, highLatency = -Infinity;
  let contextStep = 0, stale = 0;
  for (let i = 0; i < samples.length; ++i) {
    const s = samples[i];
    const holding = s.clockMs === (i > 0 ? samples[i - 1].clockMs : previousClock);
    if (i > 0) {
      if (s.scene < samples[i - 1].scene || s.clockMs < samples[i - 1].clockMs) backwards++;
      if (s.contextTime !== undefined && samples[i - 1].contextTime !== undefined)
        contextStep = Math.max(contextStep, (s.contextTime - samples[i - 1].contextTime) * 1000);
    }
    if (s.heardMs === undefined || s.heardMs < 0 || s.ended) continue;
    if (s.spanMs > 0.5 || s.stampAgeMs > 15 || (holding && s.clockMs > s.heardMs + 2)) {
      stale++;
      continue;
    }
    if (Math.abs(s.clockMs - s.heardMs) > worstHeard) {
      worstHeard = Math.abs(s.clockMs - s.heardMs);
      worstAt = i;
    }
    lowLatency = Math.min(lowLatency, s.clockMs - s.latencyMs);
    highLatency = Math.max(highLatency, s.clockMs - s.latencyMs);
  }
  const around = (i) => samples.slice(Math.max(0, i - 2), i + 2).map((s) =>
    `${s.clockMs} ms against ${s.heardMs.toFixed(2)} (timestamp ${s.stampAgeMs.toFixed(1)} ms old)`).join(', ');
  check(backwards === 0, `${what}: the clock went backwards ${backwards} times`);
  check(worstHeard <= 2, `${what}: the clock was ${worstHeard.toFixed(2)} ms off the output timestamps: ` +
        (worstAt === null ? '' : around(worstAt)));
  check(lowLatency >= -3 && highLatency <= Math.min(contextStep, 25) + 3,
        `${what}: the clock was ${lowLatency.toFixed(1)} to ${highLatency.toFixed(1)} ms ahead of the context's ` +
        `time less its latencies, which moves in steps of up to ${contextStep.toFixed(1)} ms`);
  check(stale < samples.length / 10, `${what}: ${stale} of ${samples.length} samples could not be compared`);
  return {worstHeard, lowLatency, highLatency, stale};
}

const reference = env('WEB_SOUND_REFERENCE');
const writeModule = (name, rows) => execFileSync(env('WRITE_TEST_MODULE'), [join(work, name), String(rows)]);
execFileSync(env('MAKE_STANDINS'), [work], {stdio: 'ignore'});
writeModule('tiny10.mod', 10);
writeModule('tiny40.mod', 40);
writeModule('tiny100.mod', 100);
writeFileSync(join(work, 'garbage.mod'), Buffer.from(Array.from({length: 4000}, (_, i) => (i * 7919) & 0xff)));

const server = await serve(env('HARNESS_DIR'), work);
const browser = await launch(join(work, 'chromium'));
try {
  await runCase('the same sound as the desktop, sample for sample', async () => {
    // Our soundtrack, whole: every instrument and effect it uses.
    execFileSync(reference, [join(work, 'cud.mod'), join(work, 'cud.raw')]);
    const page = await openHarness(browser, server.base, '?module=/work/cud.mod');
    const result = await page.evaluate(async () => {
      const desktop = new Int16Array(await (await fetch('/work/cud.raw')).arrayBuffer());
      if (!Module._harness_open_pcm()) return {opened: false};
      const differences = [];
      let frames = 0, largest = 0;
      for (;;) {
        // The block size the feed asks for.
        const got = Module._harness_render_pcm(4096);
        const first = Module._harness_pcm() >> 1;
        for (let i = 0; i < 2 * got; ++i) {
          const difference = Module.HEAP16[first + i] - desktop[2 * frames + i];
          if (difference === 0 || !(2 * frames + i < desktop.length)) continue;
          largest = Math.max(largest, Math.abs(difference));
          differences.push([frames + (i >> 1), i & 1, difference]);
        }
        frames += got;
        if (got < 4096) break;
      }
      return {opened: true, frames, desktopFrames: desktop.length / 2, largest,
              differing: differences.length, first: differences.slice(0, 10)};
    });
    await page.close();
    if (!check(result.opened, 'the page could not load our soundtrack')) return;
    check(result.frames === result.desktopFrames,
          `the page rendered ${result.frames} frames, the desktop ${result.desktopFrames}`);
    check(result.largest <= 1, `${result.differing} samples differ, by up to ${result.largest} ` +
          `(frame, channel, difference: ${JSON.stringify(result.first)})`);
    console.log(`  ${result.frames} frames; ${result.differing} samples differ` +
                (result.differing ? `, by up to ${result.largest}: ${JSON.stringify(result.first)}` : ''));
  });

  await runCase('the clock during playback, to the end heard', async () => {
    const lengthMs = 40 * RowMs;
    const page = await openHarness(browser, server.base, '?module=/work/tiny40.mod');
    const {started, samples} = await samplePlayback(page, lengthMs + 3000, true);
    await page.close();
    if (!check(started, 'the song did not start')) return;
    const last = samples[samples.length - 1];
    check(samples.length > 300, `only ${samples.length} samples`);
    const {worstHeard, lowLatency, highLatency, stale} = checkClock(samples, 'playing');
    check(last.showFinished, `not finished ${lengthMs + 3000} ms after the start`);
    // Finished exactly when the last sample has been heard (the two readings
    // of a sample are a few microseconds apart), which is the song's length
    // after the first sound.
    const fresh = samples.filter((s) => s.heardMs !== undefined && s.stampAgeMs <= 15 && s.spanMs <= 0.5);
    const early = fresh.find((s) => s.finished && s.heardMs < lengthMs - 1);
    const late = fresh.find((s) => !s.finished && s.heardMs > lengthMs + 1);
    check(!early, `finished when ${early && early.heardMs.toFixed(1)} ms of the song's ${lengthMs} had been heard`);
    check(!late, `not finished when ${late && late.heardMs.toFixed(1)} ms of the song's ${lengthMs} had been heard`);
    check(samples.every((s) => s.showFinished || s.scene <= lengthMs), 'the clock ran past the song before its end');
    const endMs = last.at - last.firstSoundMs;
    check(endMs >= lengthMs - 2 && endMs <= lengthMs + 250, `finished ${endMs.toFixed(0)} ms after the first sound`);
    check(last.underruns === 0, `the worklet ran dry ${last.underruns} times`);
    console.log(`  ${samples.length} samples (${stale} not compared); off the output ` +
                `timestamps by up to ${worstHeard.toFixed(2)} ms, ` +
                `${lowLatency.toFixed(1)} to ${highLatency.toFixed(1)} ms ahead of the context's time less ` +
                `latencies; finished ${endMs.toFixed(1)} ms after the first sound; Play to first sound ` +
                `${last.playToFirstSoundMs.toFixed(1)} ms`);
  });

  await runCase('a context that stops holds the clock, and it goes on where the music does', async () => {
    const page = await openHarness(browser, server.base, '?module=/work/tiny100.mod');
    const result = await page.evaluate(async () => {
      const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
      Module._harness_start();
      await wait(1500);
      await window.lastContext.suspend();
      const held = Module._harness_time();
      await wait(1000);
      const stillHeld = Module._harness_time();
      await window.lastContext.resume();
      const samples = [];
      const resumed = performance.now();
      while (performance.now() - resumed < 600) {
        samples.push({...Module.orvaneSoundProbe(), scene: Module._harness_time()});
        await wait(1);
      }
      return {held, stillHeld, samples};
    });
    await page.close();
    // What the context had rendered before it stopped, not yet heard, may
    // still count: its latencies and one callback.
    const last = result.samples[result.samples.length - 1];
    const allowedMs = last.baseLatencyMs + last.outputLatencyMs + 12;
    check(result.stillHeld - result.held <= allowedMs, `the clock ran ${result.stillHeld - result.held} ms while ` +
          `the context was stopped for 1000 ms (allowed: ${allowedMs} ms)`);
    checkClock(result.samples, 'after the context went on', result.stillHeld);
    check(last.scene - result.stillHeld >= 300, `the clock went from ${result.stillHeld} to only ${last.scene} ms ` +
          'in the 600 ms after the context went on');
  });

  await runCase('played again it starts over; stopped, the audio closes at once', async () => {
    const page = await openHarness(browser, server.base, '?module=/work/tiny100.mod');
    const result = await page.evaluate(async () => {
      const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
      const untilHeard = async (ms) => {
        while (Module._harness_time() < ms) await wait(1);
      };
      Module._harness_start();
      await untilHeard(600);
      Module._harness_replay();
      const again = Module._harness_time();
      await untilHeard(300);
      const probe = Module.orvaneSoundProbe();
      Module._harness_stop();
      return {again, probe, state: window.lastContext.state, printed: window.printed};
    });
    await page.close();
    check(result.again === 0, `played again, the clock read ${result.again} ms`);
    const fresh = result.probe.spanMs <= 0.5 && result.probe.stampAgeMs <= 15;  // see checkClock
    check((!fresh || Math.abs(result.probe.clockMs - result.probe.heardMs) <= 2) && result.probe.underruns === 0,
          `played again, the clock read ${result.probe.clockMs} ms, the music ${result.probe.heardMs.toFixed(1)} ms`);
    check(result.state === 'closed' && result.printed.length === 0,
          `stopped, the audio context is ${result.state}; printed ${JSON.stringify(result.printed)}`);
  });

  await runCase('a hidden tab: the music plays on, and the clock neither stops nor jumps', async () => {
    // This browser throttles hidden pages as one a person uses does.
    const throttled = await launch(join(work, 'chromium-throttled'), {throttled: true});
    try {
      const page = await openHarness(throttled, server.base, '?module=/work/tiny100.mod');
      await page.evaluate(() => {
        window.clockTicks = [];
        Module._harness_start();
        // What the show does: read the clock from animation frames.
        const frame = () => {
          window.clockTicks.push([performance.now(), Module._harness_time()]);
          requestAnimationFrame(frame);
        };
        requestAnimationFrame(frame);
      });
      await new Promise((resolve) => setTimeout(resolve, 1500));
      const before = await page.evaluate(() => ({visibility: document.visibilityState, ticks: clockTicks.length,
                                                 probe: Module.orvaneSoundProbe()}));
      const other = await throttled.newPage();
      await other.bringToFront();
      const hidden = await page.evaluate(() => document.visibilityState);
      const ticksHidden = await page.evaluate(() => clockTicks.length);
      await new Promise((resolve) => setTimeout(resolve, 5000));
      const during = await page.evaluate(() => ({ticks: clockTicks.length, probe: Module.orvaneSoundProbe()}));
      await page.bringToFront();
      const after = await page.evaluate(async () => {
        const shown = {visibility: document.visibilityState, ticks: clockTicks.length, samples: []};
        const since = performance.now();
        while (performance.now() - since < 500) {
          shown.samples.push({...Module.orvaneSoundProbe(), scene: Module._harness_time()});
          await new Promise((resolve) => setTimeout(resolve, 1));
        }
        return {...shown, ticksLater: clockTicks.length};
      });
      check(before.visibility === 'visible' && hidden === 'hidden' && after.visibility === 'visible',
            `visibility ${before.visibility}, ${hidden}, ${after.visibility}`);
      check(during.ticks - ticksHidden <= 2, `${during.ticks - ticksHidden} animation frames ran while hidden: ` +
            'the page was not throttled, so this proves nothing');
      // The music went on in the background at its own pace, without a gap.
      const playedMs = during.probe.heardMs - before.probe.heardMs;
      const shownLast = after.samples[after.samples.length - 1];
      check(during.probe.underruns === 0 && shownLast.underruns === 0,
            `the worklet ran dry ${shownLast.underruns} times`);
      check(during.probe.aheadMs > 200, `only ${during.probe.aheadMs.toFixed(0)} ms queued while hidden`);
      check(playedMs > 4500, `only ${playedMs.toFixed(0)} ms of music were heard in 5 s hidden`);
      // Shown again, frames come and read the music's time: no freeze, no jump.
      check(after.ticksLater - after.ticks > 10, `${after.ticksLater - after.ticks} frames in 500 ms after showing`);
      const {worstHeard} = checkClock(after.samples, 'shown again', during.probe.clockMs);
      check(after.samples[0].clockMs >= during.probe.heardMs, `shown again, the clock read ` +
            `${after.samples[0].clockMs} ms, behind the ${during.probe.heardMs.toFixed(0)} ms heard while hidden`);
      console.log(`  hidden for 5 s: ${during.ticks - ticksHidden} frames drawn, ${playedMs.toFixed(0)} ms of ` +
                  `music heard, ${during.probe.aheadMs.toFixed(0)} ms queued; shown again the clock is at most ` +
                  `${worstHeard.toFixed(1)} ms off the music`);
    } finally {
      await throttled.close();
    }
  });

  await runCase('failures: the two lines, and the silent clock', async () => {
    const cases = [
      {query: '?module=/work/garbage.mod', lines: ['Error: Failed Song Loading...', 'Unknown file format.']},
      {query: '', lines: ['Error: Failed Song Loading...', 'File not found.']},
      {query: '?folder', lines: ['Error: Failed Song Loading...', 'Error loading file.']},
      {query: '?module=/work/tiny40.mod&noaudio',
       lines: ['Error: Failed Initializing...', 'Error initializing output device.']},
      {query: '?module=/work/tiny40.mod&unavailable',
       lines: ['Error: Failed Initializing...', 'Error initializing output device.']},
    ];
    for (const c of cases) {
      const page = await openHarness(browser, server.base, c.query);
      const result = await page.evaluate(async () => {
        const started = Module._harness_start();
        const first = Module._harness_time();
        const since = performance.now();
        await new Promise((resolve) => setTimeout(resolve, 400));
        return {started, first, later: Module._harness_time(), elapsed: performance.now() - since,
                finished: Module._harness_finished(), printed: window.printed,
                context: window.lastContext ? window.lastContext.state : 'none'};
      });
      await page.close();
      const what = c.query || 'no cud.mod';
      check(JSON.stringify(result.printed) === JSON.stringify(c.lines),
            `${what}: printed ${JSON.stringify(result.printed)}`);
      // The silent show's clock: from 0, in real time, far from its end.
      check(!result.started && result.first < 50 && Math.abs(result.later - result.first - result.elapsed) <= 5 &&
            !result.finished, `${what}: the silent clock read ${result.first} then ${result.later} ms ` +
            `${result.elapsed.toFixed(0)} ms later, finished ${result.finished}`);
      check(result.context !== 'running', `${what}: the audio context is left ${result.context}`);
    }
  });

  await runCase('a worklet that cannot load: the song runs silently in real time and ends', async () => {
    const lengthMs = 10 * RowMs;
    const page = await openHarness(browser, server.base, '?module=/work/tiny10.mod&noworklet');
    const {started, samples} = await samplePlayback(page, lengthMs + 2000, true);
    const printed = await page.evaluate(() => window.printed);
    await page.close();
    check(started && printed.length === 0, `started ${started}, printed ${JSON.stringify(printed)}`);
    check(samples[samples.length - 1].showFinished, `not finished ${lengthMs + 2000} ms after the start`);
    // From the start, in real time, finished at the song's length (the
    // worklet's failure comes within a few ms of the start).
    const t0 = samples[0].at;
    const off = samples.find((s, i) => Math.abs(s.scene - (s.at - t0)) > 15 || (i > 0 && s.scene < samples[i - 1].scene) ||
                                     s.showFinished !== (s.scene >= lengthMs));
    check(!off, `at ${off && (off.at - t0).toFixed(0)} ms the clock read ${off && off.scene} ms, ` +
          `finished ${off && off.showFinished}`);
  });

  await runCase('output timestamps that lie (from the future, then stalled) leave the clock moving, monotonic ' +
                'and back on the music', async () => {
    const page = await openHarness(browser, server.base, '?module=/work/tiny100.mod');
    const phases = await page.evaluate(async () => {
      const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
      Module._harness_start();
      while (Module._harness_time() < 300) await wait(1);
      const ctx = window.lastContext;
      const real = ctx.getOutputTimestamp.bind(ctx);
      let lie = null;
      ctx.getOutputTimestamp = () => (lie ? lie() : real());
      const sample = async (name, ms) => {
        const samples = [];
        const since = performance.now();
        while (performance.now() - since < ms) {
          samples.push({...Module.orvaneSoundProbe(), at: performance.now(), scene: Module._harness_time()});
          await wait(1);
        }
        return {name, samples};
      };
      const result = [await sample('true', 500)];
      // One engine's: seconds ahead of performance.now(), at a pace of its own.
      const liedAt = performance.now();
      lie = () => ({contextTime: real().contextTime, performanceTime: 10000 + liedAt + 2 * (performance.now() - liedAt)});
      result.push(await sample('from the future', 1000));
      const frozen = real();
      lie = () => frozen;
      result.push(await sample('stalled', 1000));
      lie = null;
      result.push(await sample('true again', 1000));
      return result;
    });
    await page.close();
    let previous = null;
    const reports = [];
    for (const {name, samples} of phases) {
      const first = samples[0], last = samples[samples.length - 1];
      let jump = 0, backwards = 0;
      for (const sample of samples) {
        if (previous) {
          if (sample.scene < previous.scene) backwards++;
          jump = Math.max(jump, (sample.scene - previous.scene) - (sample.at - previous.at));
        }
        previous = sample;
      }
      const rate = (last.scene - first.scene) / (last.at - first.at);
      check(backwards === 0, `${name}: the clock went backwards ${backwards} times`);
      check(jump <= 10, `${name}: the clock jumped ${jump.toFixed(1)} ms ahead of the page's time`);
      check(Math.abs(rate - 1) < 0.1, `${name}: the clock ran at ${rate.toFixed(3)} times the page's time`);
      reports.push(`${name}: rate ${rate.toFixed(3)}, largest jump ${jump.toFixed(1)} ms`);
    }
    // Back on the true timestamps, the difference left from the lies has
    // faded out (to a tenth in 0.7 s).
    const again = phases[3].samples;
    const settled = again.filter((s) => s.at - again[0].at >= 700);
    const {worstHeard} = checkClock(settled, 'true again, after 0.7 s', settled[0].clockMs);
    console.log(`  ${reports.join('; ')}; then at most ${worstHeard.toFixed(2)} ms off the music`);
  });

  await runCase('the page\'s context: played into by every run, never closed, its worklet added once', async () => {
    const page = await openHarness(browser, server.base, '?module=/work/tiny100.mod&handed');
    const messages = [];
    page.on('console', (message) => {
      if (message.type() === 'error' && !message.text().includes('404')) messages.push(message.text());
    });
    const result = await page.evaluate(async () => {
      const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
      const runs = [];
      for (let run = 0; run < 2; ++run) {
        const started = Module._harness_start();
        const since = performance.now();
        while (Module._harness_time() < 500 && performance.now() - since < 3000) await wait(1);
        const probe = Module.orvaneSoundProbe();
        Module._harness_stop();  // as the show's end does
        runs.push({started, clockMs: probe.clockMs, heardMs: probe.heardMs, state: window.pageContext.state});
      }
      return {runs, contexts: window.contextsMade, printed: window.printed};
    });
    await page.close();
    for (const [i, run] of result.runs.entries()) {
      check(run.started && run.clockMs >= 500 && Math.abs(run.clockMs - run.heardMs) <= 3,
            `run ${i + 1}: started ${run.started}, clock ${run.clockMs} ms, music ${run.heardMs} ms`);
      check(run.state === 'running', `run ${i + 1}: the page's context is ${run.state} after it`);
    }
    check(result.contexts === 1 && result.printed.length === 0 && messages.length === 0,
          `${result.contexts} contexts, printed ${JSON.stringify(result.printed)}, errors ${JSON.stringify(messages)}`);
  });

  await runCase('a context that never plays: the song runs silently in real time after the start wait, and ends',
                async () => {
    const lengthMs = 10 * RowMs, waitMs = 3000;
    const page = await openHarness(browser, server.base, '?module=/work/tiny10.mod&neverplays');
    const {started, samples} = await samplePlayback(page, waitMs + lengthMs + 1500, true);
    await page.close();
    check(started, 'the song did not start');
    const t0 = samples[0].at;
    const last = samples[samples.length - 1];
    const early = samples.find((s) => s.at - t0 < waitMs - 50 && s.scene !== 0);
    const off = samples.find((s) => s.at - t0 > waitMs + 50 && !s.showFinished &&
                                    Math.abs(s.scene - (s.at - t0 - waitMs)) > 20);
    check(!early, `the clock read ${early && early.scene} ms ${early && (early.at - t0).toFixed(0)} ms after the start`);
    check(!off, `${off && (off.at - t0).toFixed(0)} ms after the start the clock read ${off && off.scene} ms`);
    check(last.showFinished && Math.abs(last.at - t0 - waitMs - lengthMs) <= 50,
          `finished ${last.showFinished} ${(last.at - t0).toFixed(0)} ms after the start`);
  });

  await runCase('still mode: the page sets the time, no audio opens', async () => {
    const page = await openHarness(browser, server.base, '?module=/work/tiny40.mod');
    const result = await page.evaluate(() => {
      Module._harness_start_still();
      const times = [];
      for (const ms of [0, 2345, 4799, 4800]) {
        Module._harness_set_still_time(ms);
        times.push([Module._harness_time(), Module._harness_finished()]);
      }
      return {times, length: Module._harness_show_length(), contexts: window.contextsMade, printed: window.printed};
    });
    await page.close();
    check(JSON.stringify(result.times) === JSON.stringify([[0, 0], [2345, 0], [4799, 0], [4800, 1]]),
          `times and ends ${JSON.stringify(result.times)}`);
    check(result.length === 40 * RowMs, `show length ${result.length}`);
    check(result.contexts === 0 && result.printed.length === 0,
          `${result.contexts} audio contexts, printed ${JSON.stringify(result.printed)}`);
  });
} finally {
  await browser.close();
  server.close();
  rmSync(work, {recursive: true, force: true});
}

console.log(failures.length ? `web sound: ${failures.length} failures` : 'web sound: all passed');
process.exit(failures.length ? 1 : 0);
