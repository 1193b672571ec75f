// The page's audio output, for sound_output_web.cpp (an emscripten
// --js-library). One AudioContext at the song's rate; an AudioWorklet plays
// the 16-bit blocks that the main thread pulls from the core and posts to it
// over its MessagePort. The worklet answers every few render quanta with what it has
// written, and each answer tops the queue up again: message events still
// reach a hidden tab, whose timers and animation frames are throttled or
// stopped, so the music plays on while the show is not drawn.
//
// Functions of this object must be written as "name: function() {}":
// emscripten copies the object into its output as text. The object is also
// the program's Module.orvaneSound, which the tests' and benches' hooks read
// (tests/web/sound_hooks.js); the shipped page carries no hooks.

mergeInto(LibraryManager.library, {
  $OrvaneSound: {
    ctx: null,           // the AudioContext while output is open
    rate: 0,             // its frames per second, the song's
    states: null,        // the playback states' values, by name, from sound_output_web.cpp
    ready: null,         // resolves once the worklet's code is loaded
    failedMs: null,      // performance.now() when the worklet's code failed to load
    node: null,          // the worklet playing the current song
    generation: 0,       // bumped by every start and stop: late promises see they are stale
    aheadSeconds: 0.5,   // how much is queued beyond what the worklet has written
    blockFrames: 4096,   // rendered per step (93 ms)
    sent: 0,             // music frames posted to the worklet
    decoderDone: false,  // the render step gave fewer frames than asked: the song ends
    // The worklet's last report.
    offset: null,        // context frame minus music frame, once music has been written
    written: 0,          // music frames written to the output
    underrun: false,     // the queue ran dry before the song's end: the music waits
    underruns: 0,
    ended: false,        // the song's last frame has been written
    // For the hooks' figures.
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

    // Renders and posts blocks until aheadSeconds are queued beyond what the
    // worklet has written, or the song has no more.
    feed: function() {
      const s = OrvaneSound;
      const aheadFrames = Math.round(s.aheadSeconds * s.rate);
      while (s.node && !s.decoderDone && s.sent - s.written < aheadFrames) {
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
  },
  $OrvaneSound__postset: 'Module["orvaneSound"] = OrvaneSound;',

  orvane_audio_open__deps: ['$OrvaneSound'],
  orvane_audio_open: function(sampleRate, waiting, playing, allWritten, failed) {
    const s = OrvaneSound;
    s.openCalledMs = performance.now();
    s.states = {waiting: waiting, playing: playing, allWritten: allWritten, failed: failed};
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
    s.rate = sampleRate;
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

  // The playing song's state, one of s.states, and its facts (see
  // sound_output_web.cpp).
  orvane_audio_position__deps: ['$OrvaneSound'],
  orvane_audio_position: function(facts) {
    const s = OrvaneSound;
    if (s.ctx && s.failedMs !== null) {
      HEAPF64[(facts >> 3) + 1] = Math.max(s.failedMs, s.playCalledMs);
      return s.states.failed;
    }
    if (!s.ctx || !s.node || s.offset === null) return s.states.waiting;
    const rate = s.ctx.sampleRate;
    const heard = OrvaneSound.heardNow();
    // Rendered: up to the context's own time, and never past what the
    // worklet was given (or, while it waits for more, what it wrote).
    let renderedEnd = Math.min(s.ctx.currentTime * rate - s.offset, s.underrun ? s.written : s.sent);
    if (s.ended) renderedEnd = s.written;
    HEAPF64[facts >> 3] = heard.seconds * rate - s.offset;
    HEAPF64[(facts >> 3) + 1] = heard.atMs;
    HEAPF64[(facts >> 3) + 2] = renderedEnd;
    return s.ended ? s.states.allWritten : s.states.playing;
  },
});
