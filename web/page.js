'use strict';
// The page around the show. Each run (Play, Play again, a still) is a fresh
// instance of the program from orvane.js, on a fresh canvas: the effects keep
// private cursors that only move forward, so a show cannot be rewound, only
// started anew. The program's end comes through its exit code
// (Module.onProgramEnd); what it prints appears on the page.
//
// The title tells the page's state: "Orvane" (ready), "Orvane: playing",
// "Orvane: ended", "Orvane: error", and "Orvane: frame MS" once ?at=MS has
// drawn its still.

const page = {
  stage: document.getElementById('stage'),
  cover: document.getElementById('cover'),
  play: document.getElementById('play'),
  status: document.getElementById('status'),
  fullscreen: document.getElementById('fullscreen'),
  bar: document.getElementById('bar'),
  end: document.getElementById('end'),
  barFullscreen: document.getElementById('bar-fullscreen'),
  how: document.getElementById('how'),
  files: document.getElementById('files'),
  forget: document.getElementById('forget'),
  own: document.getElementById('own'),
  output: document.getElementById('output'),
};
const query = new URLSearchParams(location.search);
const EscapeKey = 'Escape';

// The page's words name what the device has: keys and a mouse, or a touch
// screen only (a phone, a tablet).
const touchOnly = matchMedia('(hover: none) and (pointer: coarse)').matches;
const Words = touchOnly ? {
  press: 'Tap',
  how: 'Tap Play to start it; while it plays, tap the picture for End and Full screen.',
  endedByEnd: 'The show ended: you tapped End.',
  ownFiles: 'Choose your own',
} : {
  press: 'Press',
  how: 'Play starts it; Escape ends it; F or the button shows it full screen.',
  endedByEnd: 'The show ended: you chose End.',
  ownFiles: 'Drop or choose your own',
};

function setTitle(state) {
  document.title = state ? `Orvane: ${state}` : 'Orvane';
}

function say(text) {
  page.status.textContent = text;
}

function showOutput(lines) {
  page.output.textContent = lines.join('\n');
  page.output.hidden = lines.length === 0;
}

function hasWebGL() {
  try {
    return !!document.createElement('canvas').getContext('webgl');
  } catch (e) {
    return false;
  }
}

// The program's code, compiled once, and our soundtrack and pictures,
// fetched once: every run instantiates and copies them.
const compiledProgram = WebAssembly.compileStreaming(fetch('orvane.wasm'));
const showData = fetch('orvane.data').then(response => {
  if (!response.ok) throw new Error(`orvane.data: ${response.status} ${response.statusText}`);
  return response.arrayBuffer();
});

// A person's own files, by the name of the show's file each replaces: the
// bytes, or null for a file the browser could not read (the program then
// finds it unreadable, as the desktop's would).
const ownFiles = new Map();

// The run now going, if any.
let current = null;

// The page's sound start (web/page_audio.js): prepare() inside the gesture
// that starts a run, then whenPlaying(ms) says whether sound plays. Three
// seconds cover the slowest start measured (Firefox through a sound server
// whose sink was idle: 1.9 s; Chromium and WebKitGTK: about 0.1 s).
const AudioStartWaitMs = 3000;

// Starts the program with `args` on a fresh canvas. handlers: onFrame(ms)
// for every frame shown, onEnd(exitCode, printedLines) once. sound: what the
// page's sound start gave (none for a still).
async function startProgram(args, handlers, sound = null) {
  const [program, data] = await Promise.all([compiledProgram, showData]);
  const old = document.getElementById('canvas');
  const canvas = old.cloneNode(false);
  old.replaceWith(canvas);
  const printed = [];
  const run = { ended: false, printed };
  const end = code => {
    if (run.ended) return;
    run.ended = true;
    if (current === run) current = null;
    handlers.onEnd(code, printed);
  };
  current = run;
  const module = {
    canvas,
    arguments: args,
    orvaneSound: sound,
    print: line => { printed.push(line); if (handlers.onPrint) handlers.onPrint(printed); },
    printErr: line => console.warn(line),
    instantiateWasm: (imports, receive) => {
      WebAssembly.instantiate(program, imports).then(instance => receive(instance, program));
      return {};
    },
    getPreloadedPackage: () => data.slice(0),
    onRuntimeInitialized: () => {
      for (const [name, bytes] of ownFiles) {
        module.FS.writeFile(name, bytes || new Uint8Array(0));
        if (!bytes) module.FS.chmod(name, 0);
      }
      // The tests' way to take a picture away before the program starts.
      if (typeof window.orvaneBeforeMain === 'function') window.orvaneBeforeMain(module.FS);
    },
    onFrameShown: ms => { if (!run.ended && handlers.onFrame) handlers.onFrame(ms); },
    onStillDrawn: (frames, ms) => { window.orvaneStill = { frames, ms }; },
    onProgramEnd: end,
    onAbort: what => { printed.push(`The program failed: ${what}`); end(1); },
  };
  run.module = module;
  window.orvaneProgram = module;  // the tests' and the bench's way in (its sound probe)
  OrvaneShow(module).catch(error => { printed.push(String(error)); end(1); });
  return run;
}

const NoWebGL = 'This browser has no WebGL, which the show needs to draw.';

// ?at=MS: the frame the show draws at music time MS, alone at the top left.
function showStill(at) {
  document.body.classList.add('still');
  if (!hasWebGL()) {
    showOutput([NoWebGL]);
    setTitle('error');
    return;
  }
  if (!/^\d{1,10}$/.test(at)) {
    showOutput([`?at= wants a music time in whole milliseconds, not "${at}"`]);
    setTitle('error');
    return;
  }
  startProgram(['--at', at], {
    onEnd: (code, printed) => {
      showOutput(printed);
      setTitle(code === 0 ? `frame ${at}` : 'error');
    },
  });
}

// The live show. Frames shown are kept in window.orvaneFrames as
// {sceneMs, at} (performance.now()) for the tests and the bench.
let escapePressedAt = -Infinity;
let starting = false;  // between Play and the program's start

async function play() {
  if (current || starting) return;
  starting = true;
  PageAudio.prepare();  // inside the gesture: browsers start sound only there
  window.orvaneFrames = [];
  page.play.disabled = true;
  setTitle('playing');
  say('Starting the sound…');
  const sound = await PageAudio.whenPlaying(AudioStartWaitMs);
  starting = false;
  if (sound.state === 'refused') {
    setTitle('');
    page.play.disabled = false;
    say(`${sound.reason} ${Words.press} Play to start the show with its sound.`);
    return;
  }
  showOutput([]);
  page.cover.hidden = true;
  keepScreenAwake(true);
  startProgram([], {
    onFrame: ms => window.orvaneFrames.push({ sceneMs: ms, at: performance.now() }),
    onPrint: printed => showOutput(printed),
    onEnd: (code, printed) => {
      keepScreenAwake(false);
      hideBar();
      fillPage(false);  // a phone has no Escape to leave that view by
      showOutput(printed);
      page.play.textContent = 'Play again';
      page.play.disabled = false;
      page.cover.hidden = false;
      if (code === 0) {
        const now = performance.now();
        if (now - endChosenAt < 1000) say(Words.endedByEnd);
        else if (now - escapePressedAt < 1000) say('The show ended: you pressed Escape.');
        else say('The show ended with its music.');
        setTitle('ended');
      } else {
        say(`The show stopped with an error (exit code ${code}):`);
        setTitle('error');
      }
    },
  }, sound);
}

// The screen is kept awake while the show plays, where the browser can
// (the Screen Wake Lock API). The browser lets the lock go when the tab is
// hidden; it is asked for again when the tab comes back.
let wakeLock = null;
let wantAwake = false;

function keepScreenAwake(awake) {
  wantAwake = awake;
  if (!awake) {
    if (wakeLock) wakeLock.release().catch(() => {});
    wakeLock = null;
    return;
  }
  if (wakeLock || !navigator.wakeLock || document.visibilityState !== 'visible') return;
  navigator.wakeLock.request('screen').then(lock => {
    if (!wantAwake) {
      lock.release().catch(() => {});
      return;
    }
    wakeLock = lock;
    lock.addEventListener('release', () => { if (wakeLock === lock) wakeLock = null; });
  }, () => {
    // Refused (battery saver, a policy): the show plays as it would have.
  });
}

document.addEventListener('visibilitychange', () => { if (wantAwake) keepScreenAwake(true); });

// Full screen: the browser's own where it has one for the page's elements;
// otherwise (iPhone) a view of the picture that fills the page, left by the
// same control or by Escape.
const fullscreenElement = () => document.fullscreenElement || document.webkitFullscreenElement || null;
const canRequestFullscreen = () =>
  (document.fullscreenEnabled || document.webkitFullscreenEnabled) &&
  (page.stage.requestFullscreen || page.stage.webkitRequestFullscreen);

function fillPage(filling) {
  document.body.classList.toggle('filling', filling);
}

function toggleFullscreen() {
  if (document.body.classList.contains('filling')) {
    fillPage(false);
  } else if (fullscreenElement()) {
    (document.exitFullscreen || document.webkitExitFullscreen).call(document);
  } else if (canRequestFullscreen()) {
    const request = page.stage.requestFullscreen || page.stage.webkitRequestFullscreen;
    // Refused (no gesture, a policy): the page-filling view instead.
    Promise.resolve(request.call(page.stage)).catch(() => fillPage(true));
  } else {
    fillPage(true);
  }
}

// While the show plays, a tap on the picture shows the bar with End and
// Full screen, which fades again after BarShownMs.
const BarShownMs = 3000;
let barTimer = 0;

function showBar() {
  page.bar.classList.add('shown');
  clearTimeout(barTimer);
  barTimer = setTimeout(hideBar, BarShownMs);
}

function hideBar() {
  clearTimeout(barTimer);
  page.bar.classList.remove('shown');
}

// End ends the show as Escape does: by the same key, to the program.
let endChosenAt = -Infinity;

function endShow() {
  if (!current) return;
  endChosenAt = performance.now();
  fillPage(false);  // else Escape would only leave that view
  for (const type of ['keydown', 'keyup'])
    window.dispatchEvent(new KeyboardEvent(type, { key: EscapeKey, code: EscapeKey, keyCode: 27, bubbles: true }));
}

// Before the program's own key handler (GLUT's, registered later on the same
// target), so that the page knows an end came from Escape. In the view that
// fills the page, Escape leaves that view only, as it leaves the browser's
// full screen.
window.addEventListener('keydown', event => {
  if (event.key === EscapeKey && document.body.classList.contains('filling')) {
    fillPage(false);
    event.stopImmediatePropagation();
    return;
  }
  if (event.key === EscapeKey && current) escapePressedAt = performance.now();
  if ((event.key === 'f' || event.key === 'F') && !event.ctrlKey && !event.altKey && !event.metaKey)
    toggleFullscreen();
}, true);

// A person's own files: the show's names only (case aside); read now, used
// from the next Play on.
async function takeFiles(fileList) {
  const notOurs = [];
  for (const file of fileList) {
    const name = ShowFiles.find(n => n.toLowerCase() === file.name.toLowerCase());
    if (!name) {
      notOurs.push(file.name);
      continue;
    }
    try {
      ownFiles.set(name, new Uint8Array(await file.arrayBuffer()));
    } catch (e) {
      ownFiles.set(name, null);
    }
  }
  describeOwnFiles(notOurs);
}

function describeOwnFiles(notOurs = []) {
  const lines = [];
  if (ownFiles.size > 0) {
    const names = [...ownFiles].map(([name, bytes]) => bytes ? name : `${name} (unreadable)`);
    lines.push(`Your files replace ours from the next Play on: ${names.join(', ')}.`);
  }
  if (notOurs.length > 0)
    lines.push(`Not used (the show reads only ${ShowFiles.join(', ')}): ${notOurs.join(', ')}.`);
  page.own.textContent = lines.join(' ');
  page.own.hidden = lines.length === 0;
  page.forget.hidden = ownFiles.size === 0;
}

function setUpLivePage() {
  setTitle('');
  page.how.textContent = Words.how;
  document.getElementById('own-how').textContent = Words.ownFiles;
  if (!touchOnly) page.fullscreen.title = 'Full screen (F)';
  if (!hasWebGL()) {
    say(NoWebGL);
    setTitle('error');
    return;
  }
  page.play.addEventListener('click', play);
  page.fullscreen.addEventListener('click', toggleFullscreen);
  page.barFullscreen.addEventListener('click', () => { toggleFullscreen(); showBar(); });
  page.end.addEventListener('click', () => { hideBar(); endShow(); });
  page.stage.addEventListener('click', event => {
    if (current && page.cover.hidden && !page.bar.contains(event.target)) showBar();
  });
  page.files.addEventListener('change', () => takeFiles(page.files.files));
  page.forget.addEventListener('click', () => { ownFiles.clear(); describeOwnFiles(); });
  document.addEventListener('dragover', event => { event.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', event => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    takeFiles(event.dataTransfer.files);
  });
  Promise.all([compiledProgram, showData]).then(() => {
    page.play.disabled = false;
    say(`${Words.press} Play to start the show.`);
    if (query.has('autoplay')) play();
  }, error => {
    say(`The show could not be loaded: ${error.message}`);
    setTitle('error');
  });
}

if (query.has('at')) showStill(query.get('at'));
else setUpLivePage();
