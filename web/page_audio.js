'use strict';
// The page's sound start, for web/page.js. The page owns one AudioContext
// for all its runs: made and started inside the gesture that starts a run,
// which is where every browser lets sound start (iOS and WebKit only there),
// and never closed, so that a run after Escape or after the end starts as
// cleanly as the first. Each run's program plays into it with a worklet node
// of its own (music/sound_output_web.js) and stops that node at its end.
//
//   PageAudio.prepare()          synchronously inside the click or tap
//                                handler that starts a run (or, for
//                                ?autoplay, where the page starts one).
//   PageAudio.whenPlaying(ms)    resolves within about ms to one of
//     {state: 'running', context}      the context plays: hand it to the
//                                      program as Module.orvaneSound;
//     {state: 'refused', reason}       the browser wants a gesture first
//                                      (prepare was called without one):
//                                      offer Play again with the reason;
//     {state: 'unavailable', reason}   sound cannot play here (no Web Audio
//                                      worklets, no output device, a context
//                                      whose time never moves): hand it to
//                                      the program, whose sound output then
//                                      fails as a desktop's without a sound
//                                      device does (two lines, the silent
//                                      show).
//
// The context runs at the show's sample rate, which the build writes in from
// SoundRate (music/sound_library.h): the program's output refuses any other.
// Where navigator.audioSession exists the page asks for 'playback', so that
// iOS's silent switch does not mute the show. A context that the system
// interrupted (a call, a locked screen) or suspended is resumed at the next
// key, pointer or touch; the music, and with it the show's clock, go on from
// what was heard.
const PageAudio = (() => {
  const SongRate = Number('@ORVANE_SOUND_RATE@');
  const PollMs = 10;
  let context = null;
  let madeError = null;  // why the context could not be made
  let gestured = true;   // the last prepare came inside a person's gesture

  const supported = () => typeof AudioContext !== 'undefined' && typeof AudioWorkletNode !== 'undefined';
  const waiting = () => context && (context.state === 'suspended' || context.state === 'interrupted');

  function resume() {
    if (waiting()) context.resume().catch(() => {});
  }

  function prepare() {
    // Without the activation API (older engines) a call counts as a gesture's.
    gestured = navigator.userActivation ? navigator.userActivation.isActive : true;
    if (navigator.audioSession) {
      try {
        navigator.audioSession.type = 'playback';
      } catch (e) {
        // An engine that cannot change it plays as it would have.
      }
    }
    if (!supported() || (context && context.state !== 'closed')) {
      resume();
      return;
    }
    try {
      context = new AudioContext({sampleRate: SongRate});
      madeError = null;
    } catch (error) {
      context = null;
      madeError = error;
      return;
    }
    resume();
  }

  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

  // Playing: running, and its time moves (an engine without an output device
  // may say running and stand still, or stay suspended after a gesture).
  async function whenPlaying(timeoutMs) {
    if (!supported()) return {state: 'unavailable', reason: 'This browser has no Web Audio worklets.'};
    if (!context) {
      return {state: 'unavailable',
              reason: `This browser could not open sound at ${SongRate} Hz: ${madeError && madeError.message}`};
    }
    const since = performance.now();
    const from = context.currentTime;
    while (performance.now() - since < timeoutMs) {
      if (context.state === 'running' && context.currentTime > from) return {state: 'running', context};
      await sleep(PollMs);
    }
    if (waiting() && !gestured)
      return {state: 'refused', reason: 'The browser lets the show\'s sound start only when you ask for it.'};
    return {state: 'unavailable', reason: `The sound did not start within ${timeoutMs / 1000} s.`};
  }

  ['pointerdown', 'touchend', 'keydown'].forEach((name) => document.addEventListener(name, resume, true));
  return {prepare, whenPlaying};
})();
