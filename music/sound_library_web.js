// The page's audio output, for sound_library_web.cpp (an emscripten
// --js-library). One AudioContext at the song's rate; an AudioWorklet plays
// the 16-bit blocks that the main thread renders and posts to it over its
// MessagePort. The worklet answers every few render quanta with what it has
// written, and each answer tops the queue up again: message events still
// reach a hidden tab, whose timers and animation frames are throttled or
// stopped, so the music plays on while the show is not drawn.
//
// Functions of this object must be written as "name: function() {}":
// emscripten copies the object into its output as text.

mergeInto(LibraryManager.library, {
  $OrvaneSound: {
    ctx: null,           // the AudioContext while output is open
    ready: null,         // resolves once the worklet's code is loaded
    failedMs: null,      // performance.now() when the worklet's code failed to load
    node: null,          // the worklet playing the current song
    generation: 0,       // bumped by every start and stop: late promises see they are stale
    aheadFrames: 22050,  // how much is queued beyond what the worklet has written (0.5 s)
    blockFrames: 4096,   // rendered per step (93 ms)
    sent: 0,             // music frames posted to the worklet
    decoderDone: false,  // the render step gave fewer frames than asked: the song ends
    // The worklet's last report.
    offset: null,        // context frame minus music frame, once music has been written
    written: 0,          // music frames written to the output
    underrun: false,     // the queue ran dry before the song's end: the music waits
    underruns: 0,
    ended: false,        // the song's last frame has been written
    // Figures.
    openCalledMs: 0,     // performance.now() when output was opened
    playCalledMs: 0,     // performance.now() when playback was asked for
    firstSoundMs: null,  // performance.now() when music frame 0 was heard
    renderMs: 0,         // main-thread time spent rendering
    renderedFrames: 0,

    // The AudioWorkletGlobalScope's code. Runs as the text of this function.
    workletMain: function() {
      class OrvaneSongPlayer extends AudioWorkletProcessor {
        constructor() {
          super();
          this.blocks = [];     // Int16Array, interleaved stereo
          this.at = 0;          // frames of blocks[0] already written
          this.written = 0;
          this.offset = null;
          this.last = false;    // no block comes after the queued ones
          this.underrun = false;
          this.underruns = 0;
          this.ended = false;
          this.stopped = false;
          this.quanta = 0;
          this.port.onmessage = (event) => {
            const message = event.data;
            if (message.block) this.blocks.push(message.block);
            if (message.last) this.last = true;
            if (message.stop) this.stopped = true;
          };
        }

        process(inputs, outputs) {
          const left = outputs[0][0];
          const right = outputs[0][1] || left;
          const frames = left.length;
          let i = 0;
          let changed = false;
          while (i < frames && this.blocks.length > 0) {
            if (this.offset === null || this.underrun) {
              // Music starts, or starts again, at this frame of the context.
              this.offset = currentFrame + i - this.written;
              this.underrun = false;
              changed = true;
            }
            const block = this.blocks[0];
            const n = Math.min(frames - i, block.length / 2 - this.at);
            for (let k = 0; k < n; ++k) {
              left[i + k] = block[2 * (this.at + k)] / 32768;
              right[i + k] = block[2 * (this.at + k) + 1] / 32768;
            }
            i += n;
            this.at += n;
            this.written += n;
            if (this.at * 2 >= block.length) {
              this.blocks.shift();
              this.at = 0;
            }
          }
          for (; i < frames; ++i) {
            left[i] = 0;
            right[i] = 0;
          }
          if (this.blocks.length === 0 && !this.ended) {
            if (this.last) {
              if (this.offset === null) this.offset = currentFrame;  // a song without a frame
              this.ended = true;
              changed = true;
            } else if (this.offset !== null && !this.underrun) {
              this.underrun = true;
              this.underruns++;
              changed = true;
            }
          }
          // About every 12 ms, and at once when something changed.
          if (changed || ++this.quanta % 4 === 0) {
            this.port.postMessage({offset: this.offset, written: this.written, underrun: this.underrun,
                                   underruns: this.underruns, ended: this.ended});
          }
          return !this.stopped;
        }
      }
      registerProcessor('orvane-song-player', OrvaneSongPlayer);
    },

    // Renders and posts blocks until aheadFrames are queued beyond what the
    // worklet has written, or the song has no more.
    feed: function() {
      const s = OrvaneSound;
      while (s.node && !s.decoderDone && s.sent - s.written < s.aheadFrames) {
        const started = performance.now();
        const frames = _orvane_sound_render(s.blockFrames);
        s.renderMs += performance.now() - started;
        s.renderedFrames += frames;
        if (frames > 0) {
          const first = _orvane_sound_block() >> 1;
          const block = HEAP16.slice(first, first + 2 * frames);
          s.node.port.postMessage({block: block}, [block.buffer]);
          s.sent += frames;
        }
        if (frames < s.blockFrames) {
          s.decoderDone = true;
          s.node.port.postMessage({last: true});
        }
      }
    },

    report: function(event) {
      const s = OrvaneSound;
      const report = event.data;
      const starting = s.offset === null && report.offset !== null;
      s.offset = report.offset;
      s.written = report.written;
      s.underrun = report.underrun;
      s.underruns = report.underruns;
      s.ended = report.ended;
      if (starting) {
        // Music frame 0 is heard when the context's output reaches its frame.
        const heard = OrvaneSound.heardNow();
        s.firstSoundMs = heard.atMs + (s.offset / s.ctx.sampleRate - heard.seconds) * 1000;
      }
      OrvaneSound.feed();
    },

    // The context time being heard, and the performance.now() at which it
    // is heard: the output timestamp where the browser gives one, else the
    // context's time less its latencies, now.
    heardNow: function() {
      const ctx = OrvaneSound.ctx;
      const stamp = ctx.getOutputTimestamp ? ctx.getOutputTimestamp() : null;
      if (stamp && stamp.performanceTime > 0)
        return {seconds: stamp.contextTime, atMs: stamp.performanceTime};
      return {seconds: ctx.currentTime - (ctx.baseLatency || 0) - (ctx.outputLatency || 0), atMs: performance.now()};
    },

    stopNode: function() {
      const s = OrvaneSound;
      s.generation++;
      if (s.node) {
        s.node.port.onmessage = null;
        s.node.port.postMessage({stop: true});
        s.node.disconnect();
        s.node = null;
      }
    },

    // Bench and test hook: the clock and what it is measured against, now.
    probe: function() {
      const s = OrvaneSound;
      const began = performance.now();
      const probe = {clockMs: _orvane_sound_time(), finished: _orvane_sound_finished() !== 0,
                     underruns: s.underruns, renderMs: s.renderMs, renderedFrames: s.renderedFrames,
                     playToFirstSoundMs: s.firstSoundMs === null ? null : s.firstSoundMs - s.playCalledMs,
                     openToFirstSoundMs: s.firstSoundMs === null ? null : s.firstSoundMs - s.openCalledMs,
                     firstSoundMs: s.firstSoundMs};
      const ctx = s.ctx;
      if (!ctx || s.offset === null) return probe;
      const now = performance.now();
      const heard = OrvaneSound.heardNow();
      const rate = ctx.sampleRate;
      // What the output timestamp says is heard now, and what the context's
      // time less its latencies says; in music ms.
      probe.heardMs = ((heard.seconds + (now - heard.atMs) / 1000) * rate - s.offset) / rate * 1000;
      probe.stampAgeMs = now - heard.atMs;
      // Readings further apart than this are not of the same moment.
      probe.spanMs = performance.now() - began;
      probe.latencyMs = ((ctx.currentTime - (ctx.baseLatency || 0) - (ctx.outputLatency || 0)) * rate - s.offset) /
                        rate * 1000;
      probe.contextTime = ctx.currentTime;
      probe.baseLatencyMs = (ctx.baseLatency || 0) * 1000;
      probe.outputLatencyMs = (ctx.outputLatency || 0) * 1000;
      probe.aheadMs = (s.sent - s.written) / rate * 1000;
      probe.songFrames = s.decoderDone ? s.sent : null;
      probe.ended = s.ended;
      return probe;
    },

    // Bench hook: samples the probe every few ms (as often as timers run)
    // for durationMs, or until the song is finished, and sums up how the
    // clock went against the output timestamps.
    figures: function(durationMs) {
      return new Promise((resolve) => {
        const samples = [];
        const until = performance.now() + durationMs;
        const tick = () => {
          const sample = OrvaneSound.probe();
          if (sample.heardMs !== undefined) samples.push(sample);
          if (performance.now() >= until || sample.finished) resolve(OrvaneSound.sumUp(samples));
          else setTimeout(tick, 1);
        };
        tick();
      });
    },

    // Offsets are taken where the audio flowed and the readings were of one
    // moment: an output timestamp older than three times the typical age
    // means the audio thread was held up (the reference then runs on from a
    // stale timestamp while the clock stops at what was rendered), right
    // after that the clock holds until the audio catches up, and a probe
    // that took over half a millisecond was descheduled in between. Those
    // samples are counted apart.
    sumUp: function(samples) {
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
              renderMs: last.renderMs, renderedSeconds: (last.renderedFrames || 0) / 44100,
              outputLatencyMs: last.outputLatencyMs, baseLatencyMs: last.baseLatencyMs};
    },
  },
  // Module.orvaneSoundProbe(), Module.orvaneSoundFigures(ms) for benches;
  // Module.orvaneSoundAhead(seconds) sets how far ahead the next playback
  // queues, to measure what it costs.
  $OrvaneSound__postset: 'Module["orvaneSoundProbe"] = function() { return OrvaneSound.probe(); };\n' +
                         'Module["orvaneSoundFigures"] = function(ms) { return OrvaneSound.figures(ms); };\n' +
                         'Module["orvaneSoundAhead"] = function(seconds) {\n' +
                         '  OrvaneSound.aheadFrames = Math.round(seconds * 44100);\n' +
                         '};',

  orvane_audio_open__deps: ['$OrvaneSound'],
  orvane_audio_open: function(sampleRate) {
    const s = OrvaneSound;
    s.openCalledMs = performance.now();
    if (typeof AudioContext === 'undefined' || typeof AudioWorkletNode === 'undefined') return 0;
    try {
      s.ctx = new AudioContext({sampleRate: sampleRate});
    } catch (e) {
      return 0;
    }
    if (s.ctx.sampleRate !== sampleRate || !s.ctx.audioWorklet) {
      s.ctx.close();
      s.ctx = null;
      return 0;
    }
    const ctx = s.ctx;
    const code = '(' + OrvaneSound.workletMain.toString() + ')();';
    const url = URL.createObjectURL(new Blob([code], {type: 'text/javascript'}));
    s.failedMs = null;
    s.ready = s.ctx.audioWorklet.addModule(url).then(() => true, (error) => {
      if (s.ctx === ctx) {
        console.error(`Orvane: no sound: ${error.message}`);
        s.failedMs = performance.now();
      }
      return false;  // closed while loading, or it cannot play
    });
    // A context made without a user's gesture waits for one.
    const resume = () => {
      if (ctx.state === 'suspended') ctx.resume();
    };
    ['pointerdown', 'keydown'].forEach((name) => document.addEventListener(name, resume, {once: true, capture: true}));
    resume();
    return 1;
  },

  orvane_audio_close__deps: ['$OrvaneSound'],
  orvane_audio_close: function() {
    const s = OrvaneSound;
    OrvaneSound.stopNode();
    if (s.ctx) s.ctx.close();
    s.ctx = null;
  },

  // Starts the playing song from its first frame once the worklet is loaded.
  orvane_audio_play__deps: ['$OrvaneSound'],
  orvane_audio_play: function() {
    const s = OrvaneSound;
    OrvaneSound.stopNode();
    const generation = s.generation;
    s.sent = 0;
    s.decoderDone = false;
    s.offset = null;
    s.written = 0;
    s.underrun = false;
    s.underruns = 0;
    s.ended = false;
    s.playCalledMs = performance.now();
    s.firstSoundMs = null;
    s.ready.then((loaded) => {
      if (!loaded || generation !== s.generation || !s.ctx) return;
      s.node = new AudioWorkletNode(s.ctx, 'orvane-song-player', {numberOfInputs: 0, outputChannelCount: [2]});
      s.node.port.onmessage = OrvaneSound.report;
      OrvaneSound.feed();
      s.node.connect(s.ctx.destination);
    });
  },

  orvane_audio_stop__deps: ['$OrvaneSound'],
  orvane_audio_stop: function() {
    OrvaneSound.stopNode();
  },

  // Fills facts[0..2] with the music frame being heard, the performance.now()
  // in ms at which it is heard, and the end of what the context has rendered
  // (in music frames). 0: no music written yet, nothing filled; 1: playing;
  // 2: the song's last frame has been written; 3: the worklet could not be
  // loaded, and facts[1] is when playback was asked for or the load failed,
  // whichever came later.
  orvane_audio_position__deps: ['$OrvaneSound'],
  orvane_audio_position: function(facts) {
    const s = OrvaneSound;
    if (s.ctx && s.failedMs !== null) {
      HEAPF64[(facts >> 3) + 1] = Math.max(s.failedMs, s.playCalledMs);
      return 3;
    }
    if (!s.ctx || !s.node || s.offset === null) return 0;
    const rate = s.ctx.sampleRate;
    const heard = OrvaneSound.heardNow();
    // Rendered: up to the context's own time, and never past what the
    // worklet was given (or, while it waits for more, what it wrote).
    let renderedEnd = Math.min(s.ctx.currentTime * rate - s.offset, s.underrun ? s.written : s.sent);
    if (s.ended) renderedEnd = s.written;
    HEAPF64[facts >> 3] = heard.seconds * rate - s.offset;
    HEAPF64[(facts >> 3) + 1] = heard.atMs;
    HEAPF64[(facts >> 3) + 2] = renderedEnd;
    return s.ended ? 2 : 1;
  },
});
