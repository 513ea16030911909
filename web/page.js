// The page's side of the host, run before the program starts.

// The working directory holds the saves (the state file and the replays) and lives in the
// browser's IndexedDB: it is read back before the game starts, so the game finds its scores and
// settings where it left them.
Module['preRun'] = [].concat(Module['preRun'] || [], function() {
  FS.mkdir('/saves');
  FS.mount(IDBFS, {}, '/saves');
  FS.chdir('/saves');
  addRunDependency('saves');
  FS.syncfs(true, function(error) {
    if (error) console.warn('Spindrift: no saved games could be read (' + error + ')');
    removeRunDependency('saves');
  });
});

// Copies the working directory to IndexedDB after a save; a save made while a copy is on its way
// is copied once that one ends.
var savesCopying = false;
var savesChanged = false;
Module['syncSaves'] = function() {
  if (savesCopying) {
    savesChanged = true;
    return;
  }
  savesCopying = true;
  FS.syncfs(false, function(error) {
    if (error) console.warn('Spindrift: the game could not be saved (' + error + ')');
    savesCopying = false;
    if (savesChanged) {
      savesChanged = false;
      Module['syncSaves']();
    }
  });
};

// The full-screen key shows the canvas alone on the screen, or the page again. It switches from
// what the page shows: the player may have left full screen with the browser's own key, which the
// game does not see. The browser allows it only just after a key, click or touch, which the key
// always is.
Module['switchFullscreen'] = function() {
  var canvas = Module['canvas'];
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(function() {});
  } else if (canvas.requestFullscreen) {
    canvas.requestFullscreen().catch(function() {});
  }
};

// Quitting (the menu's quit, F4, or a runtime error's end) stops the game's frames and its sound,
// and the page says how to play again. The game's own frames keep the runtime alive, so it would
// otherwise go on.
Module['quit'] = function(status, toThrow) {
  Module['pauseMainLoop']();
  if (typeof AL != 'undefined' && AL.currentCtx) AL.currentCtx.audioCtx.suspend();
  if (Module['onExit']) Module['onExit'](status);
  throw toThrow;
};

// A page has no standard input: the runtime-error stop reads its end at once, as a program run
// without a debugger does, instead of asking the player in a dialog.
Module['stdin'] = function() { return null; };
