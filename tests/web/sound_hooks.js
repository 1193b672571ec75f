// The page's sound probes for tests and benches, which the shipped page does
// not carry: injected before the page's own scripts (sound_page.mjs and
// lib.mjs do it with evaluateOnNewDocument). They read the state object that
// the page's sound output exposes (Module.orvaneSoundOutput, see
// music/sound_output_web.js) and the library's own clock. Attached to a
// program's Module:
//   module.orvaneSoundProbe()      the clock and what it is measured against, now
//   module.orvaneSoundFigures(ms)  sampled for ms, summed up
//   module.orvaneSoundAhead(s)     how far ahead the next playback queues
// The sound harness (sound.html) attaches them to its Module itself; the
// page's program gets them when the page hands it out as window.orvaneProgram.
'use strict';
(() => {
  // What the engine says is heard: the context time, and the performance.now()
  // at which it is heard. The output timestamp where the browser gives one,
  // else the context's time less its latencies, now.
  function engineHeard(ctx) {
    const stamp = ctx.getOutputTimestamp ? ctx.getOutputTimestamp() : null;
    if (stamp && stamp.performanceTime > 0) return {seconds: stamp.contextTime, atMs: stamp.performanceTime};
    return {seconds: ctx.currentTime - (ctx.baseLatency || 0) - (ctx.outputLatency || 0), atMs: performance.now()};
  }

  function probe(module) {
    const s = module.orvaneSoundOutput;
    const began = performance.now();
    const result = {clockMs: module._orvane_sound_time(), finished: module._orvane_sound_finished() !== 0,
                    underruns: s.underruns, renderMs: s.renderMs, renderedFrames: s.renderedFrames,
                    rate: s.rate,
                    playToFirstSoundMs: s.firstSoundMs === null ? null : s.firstSoundMs - s.playCalledMs,
                    openToFirstSoundMs: s.firstSoundMs === null ? null : s.firstSoundMs - s.openCalledMs,
                    firstSoundMs: s.firstSoundMs};
    const ctx = s.ctx;
    if (!ctx || s.offset === null) return result;
    const now = performance.now();
    const heard = engineHeard(ctx);
    const rate = ctx.sampleRate;
    // What the output timestamp says is heard now, and what the context's
    // time less its latencies says; in music ms.
    result.heardMs = ((heard.seconds + (now - heard.atMs) / 1000) * rate - s.offset) / rate * 1000;
    result.stampAgeMs = now - heard.atMs;
    // Readings further apart than this are not of the same moment.
    result.spanMs = performance.now() - began;
    result.latencyMs = ((ctx.currentTime - (ctx.baseLatency || 0) - (ctx.outputLatency || 0)) * rate - s.offset) /
                       rate * 1000;
    result.contextTime = ctx.currentTime;
    result.baseLatencyMs = (ctx.baseLatency || 0) * 1000;
    result.outputLatencyMs = (ctx.outputLatency || 0) * 1000;
    result.aheadMs = (s.sent - s.written) / rate * 1000;
    result.songFrames = s.decoderDone ? s.sent : null;
    result.ended = s.ended;
    return result;
  }

  // Offsets are taken where the audio flowed and the readings were of one
  // moment: an output timestamp older than three times the typical age
  // means the audio thread was held up (the reference then runs on from a
  // stale timestamp while the clock stops at what was rendered), right
  // after that the clock holds until the audio catches up, and a probe
  // that took over half a millisecond was descheduled in between. Those
  // samples are counted apart.
  function sumUp(samples) {
    const ages = samples.map((sample) => sample.stampAgeMs).sort((a, b) => a - b);
    const heldUpAge = 3 * (ages[ages.length >> 1] || 0);
    const offsets = [];
    let notCompared = 0, steps = 0, backwards = 0, largestStep = 0;
    for (let i = 0; i < samples.length; ++i) {
      const sample = samples[i];
      const offset = sample.clockMs - sample.heardMs;
      const holding = i > 0 && sample.clockMs === samples[i - 1].clockMs;
      if (sample.stampAgeMs > heldUpAge || sample.spanMs > 0.5 || (holding && offset > 2)) notCompared++;
      else if (!sample.ended && sample.heardMs >= 0) offsets.push(offset);
      if (i === 0) continue;
      const step = sample.clockMs - samples[i - 1].clockMs;
      if (step > 0) steps++;
      if (step < 0) backwards++;
      largestStep = Math.max(largestStep, step);
    }
    const sizes = offsets.map(Math.abs).sort((a, b) => a - b);
    const last = samples[samples.length - 1] || {};
    return {samples: samples.length, compared: offsets.length,
            meanOffsetMs: offsets.reduce((sum, offset) => sum + offset, 0) / (offsets.length || 1),
            largestOffsetMs: sizes[sizes.length - 1] || 0, p99OffsetMs: sizes[Math.floor(sizes.length * 0.99)] || 0,
            notCompared: notCompared, largestStampAgeMs: ages[ages.length - 1] || 0,
            steps: steps, backwardSteps: backwards, largestStepMs: largestStep,
            underruns: last.underruns, aheadMs: last.aheadMs, playToFirstSoundMs: last.playToFirstSoundMs,
            openToFirstSoundMs: last.openToFirstSoundMs,
            renderMs: last.renderMs, renderedSeconds: last.rate ? (last.renderedFrames || 0) / last.rate : 0,
            outputLatencyMs: last.outputLatencyMs, baseLatencyMs: last.baseLatencyMs};
  }

  // Samples the probe every few ms (as often as timers run) for durationMs,
  // or until the song is finished, and sums up how the clock went against
  // the output timestamps.
  function figures(module, durationMs) {
    return new Promise((resolve) => {
      const samples = [];
      const until = performance.now() + durationMs;
      const tick = () => {
        const sample = probe(module);
        if (sample.heardMs !== undefined) samples.push(sample);
        if (performance.now() >= until || sample.finished) resolve(sumUp(samples));
        else setTimeout(tick, 1);
      };
      tick();
    });
  }

  function attach(module) {
    module.orvaneSoundProbe = () => probe(module);
    module.orvaneSoundFigures = (ms) => figures(module, ms);
    module.orvaneSoundAhead = (seconds) => { module.orvaneSoundOutput.aheadSeconds = seconds; };
    return module;
  }

  window.OrvaneSoundHooks = {attach};
  // The page hands each run's program out as window.orvaneProgram.
  let program = window.orvaneProgram;
  Object.defineProperty(window, 'orvaneProgram', {
    configurable: true,
    get: () => program,
    set: (module) => { program = module && attach(module); },
  });
})();
