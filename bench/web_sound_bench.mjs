// The browser half of bench/web-sound-bench: HARNESS_DIR holds the sound
// harness, WORK_DIR our stand-in soundtrack (cud.mod).

import {join} from 'node:path';
import {serve, launch, openHarness} from '../tests/web/sound_page.mjs';

const harnessDir = process.env.HARNESS_DIR;
const workDir = process.env.WORK_DIR;
const server = await serve(harnessDir, workDir);
const browser = await launch(join(workDir, 'chromium'));
const fixed = (value, digits = 1) => (value === null || value === undefined ? '-' : value.toFixed(digits));
const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

try {
  console.log('== Queued ahead, and Play to the first sound heard (median of 5 fresh pages)');
  console.log('   ahead   play->sound  open->sound  rendered before it');
  for (const ahead of [0.1, 0.25, 0.5, 1, 2]) {
    const runs = [];
    for (let i = 0; i < 5; ++i) {
      const page = await openHarness(browser, server.base, '?module=/work/cud.mod');
      runs.push(await page.evaluate(async (ahead) => {
        Module.orvaneSoundAhead(ahead);
        Module._harness_start();
        for (;;) {
          const probe = Module.orvaneSoundProbe();
          if (probe.playToFirstSoundMs !== null) return probe;
          await new Promise((resolve) => setTimeout(resolve, 1));
        }
      }, ahead));
      await page.close();
    }
    console.log(`   ${fixed(ahead, 2).padStart(5)} s  ${fixed(median(runs.map((r) => r.playToFirstSoundMs))).padStart(8)} ms` +
                `  ${fixed(median(runs.map((r) => r.openToFirstSoundMs))).padStart(8)} ms` +
                `  ${fixed(median(runs.map((r) => r.renderMs)))} ms for ${fixed(median(runs.map((r) => r.renderedFrames)) / 44.1, 0)} ms of music`);
  }

  console.log('== The clock over a minute of our soundtrack (0.5 s queued), sampled every few ms');
  const page = await openHarness(browser, server.base, '?module=/work/cud.mod');
  const figures = await page.evaluate(async () => {
    Module._harness_start();
    return Module.orvaneSoundFigures(60000);
  });
  await page.close();
  console.log(`   ${figures.samples} samples: clock minus output timestamps ${fixed(figures.meanOffsetMs, 2)} ms on ` +
              `average, ${fixed(figures.p99OffsetMs, 2)} ms or less at 99 %, ${fixed(figures.largestOffsetMs, 2)} ms ` +
              `at most (${figures.compared} compared)`);
  console.log(`   not compared: ${figures.notCompared} samples taken while the audio or the page's thread was ` +
              `held up (output timestamps up to ${fixed(figures.largestStampAgeMs)} ms old)`);
  console.log(`   ${figures.steps} steps forward (largest ${figures.largestStepMs} ms), ${figures.backwardSteps} backward; ` +
              `${figures.underruns} times the worklet ran dry; ${fixed(figures.aheadMs, 0)} ms queued at the end`);
  console.log(`   output latency ${figures.outputLatencyMs} ms, base latency ${figures.baseLatencyMs} ms; ` +
              `Play to first sound ${fixed(figures.playToFirstSoundMs)} ms`);
  console.log(`   main thread: ${fixed(figures.renderMs)} ms rendering ${fixed(figures.renderedSeconds)} s of music ` +
              `(${fixed(figures.renderMs / figures.renderedSeconds / 10, 2)} % of the time)`);

  console.log('== Render speed of the page\'s render step (the whole soundtrack, 4096-frame blocks, dither off)');
  const render = await (await openHarness(browser, server.base, '?module=/work/cud.mod')).evaluate(() => {
    Module._harness_open_pcm();
    const started = performance.now();
    let frames = 0, got;
    do {
      got = Module._harness_render_pcm(4096);
      frames += got;
    } while (got === 4096);
    return {frames, ms: performance.now() - started};
  });
  console.log(`   ${fixed(render.frames / 44100)} s of music in ${fixed(render.ms, 0)} ms: ` +
              `${fixed(render.frames / 44.1 / render.ms, 0)} times real time`);
} finally {
  await browser.close();
  server.close();
}
