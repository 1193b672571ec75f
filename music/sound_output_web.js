// The page's audio output, for sound_output_web.cpp (an emscripten
// --js-library). An AudioContext at the song's rate; an AudioWorklet plays
// the 16-bit blocks that the main thread pulls from the core and posts to it
// over its MessagePort. The worklet answers every few render quanta with
// what it has written, and each answer tops the queue up again: message
// events still reach a hidden tab, whose timers and animation frames are
// throttled or stopped, so the music plays on while the show is not drawn.
//
// The context: the page's, when the page hands one over as
// Module.orvaneSound = {state: 'running', context} (web/page_audio.js made
// and started it inside a person's gesture); it is then shared by every run,
// gets the worklet's code once, and is never closed here. With
// Module.orvaneSound = {state: 'unavailable', reason} output fails to open,
// as a desktop without a sound device does. Without either (the sound
// harness, tests/web/sound.html) the output makes a context of its own and
// closes it again.
//
// Functions of this object must be written as "name: function() {}":
// emscripten copies the object into its output as text. The object is also
// the program's Module.orvaneSoundOutput, which the tests' and benches'
// hooks read (tests/web/sound_hooks.js); the shipped page carries no hooks.

mergeInto(LibraryManager.library, {
  $OrvaneSound: {
    ctx: null,           // the AudioContext while output is open
    ownContext: false,   // made here, and closed here
    resumeOnGesture: null,  // for a context of its own: resumes it at a person's first key or pointer
    rate: 0,             // its frames per second, the song's
    states: null,        // the playback states' values, by name, from sound_output_web.cpp
    ready: null,         // resolves once the worklet's code is loaded
    failedMs: null,      // performance.now() when the worklet's code failed to load
    node: null,          // the worklet playing the current song
    generation: 0,       // bumped by every start and stop: late promises see they are stale
    aheadSeconds: 0.5,   // how much is queued beyond what the worklet has written
    startWaitMs: 3000,   // a song not heard this long after Play runs silently instead
    startBy: 0,          // performance.now() by which its first frame must be written
    blockFrames: 4096,   // rendered per step (93 ms)
    sent: 0,             // music frames posted to the worklet
    decoderDone: false,  // the render step gave fewer frames than asked: the song ends
    // The worklet's last report.
    offset: null,        // context frame minus music frame, once music has been written
    written: 0,          // music frames written to the output
    underrun: false,     // the queue ran dry before the song's end: the music waits
    underruns: 0,
    ended: false,        // the song's last frame has been written
    // What is heard: the last output timestamp seen, which source the last
    // reading came from, and the correction that makes a change of source
    // continuous (it fades out over slewMs).
    lastStamp: null,
    lastStamped: null,   // null before the first reading of a song
    lastHeardS: 0,       // that reading, uncorrected: context seconds heard
    lastHeardMs: 0,      // at this performance.now()
    slewS: 0,
    fallbackTime: -1,    // the context's currentTime as last seen
    fallbackSeenMs: 0,   // when it was first seen at that value
    fallbackReachMs: 30, // it moves once a render callback: carried forward at most this long
    renderedS: 0,        // the context's time, carried forward: what it has rendered
    staleStampMs: 100,   // a timestamp older than this beyond the output latency is stale
    heardAheadS: 0.01,   // how far a stamp may say it is heard ahead of the context's time less its output latency
    slewMs: 300,
    largestSlewS: 0.25,  // a larger difference is a real change, not a source's error
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

    // Whether an output timestamp can be believed: not from the future, not
    // stale while the context plays, not about audio the context has not
    // rendered, not heard sooner than the context's own output latency
    // allows, and moving forward with the one before, both of its times
    // together. Engines get these wrong: one gives a performanceTime seconds
    // ahead of performance.now() that runs at its own pace, another stamps
    // what it has just rendered as heard.
    saneStamp: function(stamp, nowMs, ctx) {
      const s = OrvaneSound;
      const last = s.lastStamp;
      s.lastStamp = stamp ? {contextTime: stamp.contextTime, performanceTime: stamp.performanceTime} : null;
      if (!stamp || !(stamp.performanceTime > 0)) return false;
      const latencyMs = ((ctx.baseLatency || 0) + (ctx.outputLatency || 0)) * 1000;
      const ageMs = nowMs - stamp.performanceTime;
      const toleranceMs = 2;  // some engines give performance.now() in whole ms
      if (ageMs < -toleranceMs || stamp.contextTime > ctx.currentTime + toleranceMs / 1000) return false;
      // A context that was suspended or interrupted gives its last stamp
      // until it plays again: old, but not wrong, and the time holds anyway.
      // While it plays, a stamp must be fresh, and what it says is heard now
      // must lie at least the output latency behind the context's time
      // (Chromium's lie up to 1 ms ahead of it, Firefox's the whole latency).
      if (ctx.state === 'running' &&
          (ageMs > s.staleStampMs + latencyMs ||
           stamp.contextTime + ageMs / 1000 > ctx.currentTime - (ctx.outputLatency || 0) + s.heardAheadS))
        return false;
      if (last) {
        const ahead = stamp.contextTime - last.contextTime, later = stamp.performanceTime - last.performanceTime;
        if (ahead < 0 || later < 0 || (ahead > 0) !== (later > 0)) return false;
      }
      return true;
    },

    // The context time being heard at performance.now() atMs (now): from
    // the output timestamp while it is sane, else the context's time less
    // its latencies (a missing one counts as 0). The context's time moves
    // once a render callback (every 3 to 20 ms, engine by engine), so it is
    // carried forward from when it was first seen, by a callback at most
    // (s.renderedS, also the end of what counts as rendered). Where the
    // source changes, the difference between the two is carried and faded
    // out, so that the heard time neither jumps nor runs back.
    heardNow: function() {
      const s = OrvaneSound;
      const ctx = s.ctx;
      const nowMs = performance.now();
      if (ctx.currentTime !== s.fallbackTime) {
        s.fallbackTime = ctx.currentTime;
        s.fallbackSeenMs = nowMs;
      }
      const carriedMs = ctx.state === 'running' ? Math.min(nowMs - s.fallbackSeenMs, s.fallbackReachMs) : 0;
      s.renderedS = s.fallbackTime + carriedMs / 1000;
      const stamp = ctx.getOutputTimestamp ? ctx.getOutputTimestamp() : null;
      const stamped = OrvaneSound.saneStamp(stamp, nowMs, ctx);
      const heardS = stamped ? stamp.contextTime + (nowMs - stamp.performanceTime) / 1000
                             : s.renderedS - (ctx.baseLatency || 0) - (ctx.outputLatency || 0);
      if (s.lastStamped !== null) {
        s.slewS *= Math.exp(-(nowMs - s.lastHeardMs) / s.slewMs);
        if (stamped !== s.lastStamped) {
          // Before the song's first frame is heard the time reads 0 either
          // way: nothing to carry.
          const wasS = s.lastHeardS + (nowMs - s.lastHeardMs) / 1000 + s.slewS;
          const carry = s.offset !== null && wasS * ctx.sampleRate >= s.offset && Math.abs(wasS - heardS) < s.largestSlewS;
          s.slewS = carry ? wasS - heardS : 0;
        }
      }
      s.lastStamped = stamped;
      s.lastHeardS = heardS;
      s.lastHeardMs = nowMs;
      return {seconds: heardS + s.slewS, atMs: nowMs};
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
  $OrvaneSound__postset: 'Module["orvaneSoundOutput"] = OrvaneSound;',

  orvane_audio_open__deps: ['$OrvaneSound'],
  orvane_audio_open: function(sampleRate, waiting, playing, allWritten, failed) {
    const s = OrvaneSound;
    s.openCalledMs = performance.now();
    s.states = {waiting: waiting, playing: playing, allWritten: allWritten, failed: failed};
    const handed = Module['orvaneSound'];
    if (handed && handed.state === 'unavailable') return 0;
    if (typeof AudioContext === 'undefined' || typeof AudioWorkletNode === 'undefined') return 0;
    let ctx = handed && handed.context;
    s.ownContext = !ctx;
    if (s.ownContext) {
      try {
        ctx = new AudioContext({sampleRate: sampleRate});
      } catch (e) {
        return 0;
      }
    }
    if (ctx.sampleRate !== sampleRate || !ctx.audioWorklet) {
      if (s.ownContext) ctx.close();
      return 0;
    }
    s.ctx = ctx;
    s.rate = sampleRate;
    // The worklet's code, once for each context: a name registers only once.
    if (!ctx.orvaneSongPlayer) {
      const code = '(' + OrvaneSound.workletMain.toString() + ')();';
      const url = URL.createObjectURL(new Blob([code], {type: 'text/javascript'}));
      ctx.orvaneSongPlayer = ctx.audioWorklet.addModule(url).then(() => null, (error) => error);
    }
    s.failedMs = null;
    s.ready = ctx.orvaneSongPlayer.then((error) => {
      if (error === null) return true;
      if (s.ctx === ctx) {
        console.error(`Orvane: no sound: ${error.message}`);
        s.failedMs = performance.now();
      }
      return false;  // closed while loading, or it cannot play
    });
    if (s.ownContext) {
      // A context made without a person's gesture waits for one.
      s.resumeOnGesture = () => {
        if (ctx.state === 'suspended') ctx.resume();
      };
      ['pointerdown', 'keydown'].forEach((name) => document.addEventListener(name, s.resumeOnGesture, true));
      s.resumeOnGesture();
    }
    return 1;
  },

  orvane_audio_close__deps: ['$OrvaneSound'],
  orvane_audio_close: function() {
    const s = OrvaneSound;
    OrvaneSound.stopNode();
    if (s.resumeOnGesture)
      ['pointerdown', 'keydown'].forEach((name) => document.removeEventListener(name, s.resumeOnGesture, true));
    s.resumeOnGesture = null;
    if (s.ctx && s.ownContext) s.ctx.close();
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
    s.lastStamp = null;
    s.lastStamped = null;
    s.slewS = 0;
    s.fallbackTime = -1;
    s.playCalledMs = performance.now();
    s.startBy = s.playCalledMs + s.startWaitMs;
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
    if (s.ctx && s.failedMs === null && s.offset === null && performance.now() > s.startBy) {
      // The context never played it (no output device, an engine that
      // never starts): the show goes on without its sound.
      console.warn('Orvane: the sound did not start; the show goes on without it');
      s.failedMs = s.startBy;
      OrvaneSound.stopNode();
    }
    if (s.ctx && s.failedMs !== null) {
      HEAPF64[(facts >> 3) + 1] = Math.max(s.failedMs, s.playCalledMs);
      return s.states.failed;
    }
    if (!s.ctx || !s.node || s.offset === null) return s.states.waiting;
    const rate = s.ctx.sampleRate;
    const heard = OrvaneSound.heardNow();
    // Rendered: up to the context's own time, and never past what the
    // worklet was given (or, while it waits for more, what it wrote).
    let renderedEnd = Math.min(s.renderedS * rate - s.offset, s.underrun ? s.written : s.sent);
    if (s.ended) renderedEnd = s.written;
    HEAPF64[facts >> 3] = heard.seconds * rate - s.offset;
    HEAPF64[(facts >> 3) + 1] = heard.atMs;
    HEAPF64[(facts >> 3) + 2] = renderedEnd;
    return s.ended ? s.states.allWritten : s.states.playing;
  },
});
