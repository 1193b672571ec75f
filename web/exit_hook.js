// Inside the program's module factory (--pre-js). The program ends through
// exit() whichever way it ends: Quit (Escape, the music's end), the run-time
// error report's exit code, or the end of a still. A page has no process to
// end, so this hook of the toolchain's does what the end of one would: stops
// the callbacks GLUT still has waiting (ABORT is the factory's own flag for
// that) and its key and mouse listeners, tells the page the exit code, and
// unwinds the program's stack as exit() does. (Plain ES5: the toolchain's
// optimizer reads this file.)
Module['quit'] = function (status, toThrow) {
  ABORT = true;
  if (typeof GLUT != 'undefined') {
    var listeners = {
      keydown: GLUT.onKeydown, keyup: GLUT.onKeyup, mousemove: GLUT.onMousemove,
      mousedown: GLUT.onMouseButtonDown, mouseup: GLUT.onMouseButtonUp,
      mousewheel: GLUT.onMouseWheel, DOMMouseScroll: GLUT.onMouseWheel
    };
    for (var event in listeners) window.removeEventListener(event, listeners[event], true);
  }
  if (Module['onProgramEnd']) Module['onProgramEnd'](status);
  throw toThrow;
};

// GLUT calls the keyboard callback straight from the browser's key listener,
// not through the toolchain's callback wrapper: an exit there (Escape) would
// leave its unwinding as an uncaught error on the page.
Module['preRun'] = [].concat(Module['preRun'] || [], function () {
  var onKeydown = GLUT.onKeydown;
  GLUT.onKeydown = function (event) {
    try {
      onKeydown(event);
    } catch (e) {
      if (!(e instanceof ExitStatus)) throw e;
    }
  };
});
