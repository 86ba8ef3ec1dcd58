// The page script's side of the context: the emulation of fixed-function GL installs itself
// when a context is made through Browser.createContext, not through the HTML5 context API.
mergeInto(LibraryManager.library, {
  roses_web_create_context__deps: ['$Browser', '$GL'],
  roses_web_create_context: function (keepPictures, antialias) {
    var attributes = {
      alpha: false,
      depth: true,
      // Multisampled, the wide lines' triangles included, as many samples as the browser takes.
      antialias: !!antialias,
      // The check mode leaves its last frame for a screenshot to read.
      preserveDrawingBuffer: !!keepPictures,
      majorVersion: 1,
      minorVersion: 0,
    };
    var context = Browser.createContext(Module['canvas'], true, true, attributes);
    return context ? 1 : 0;
  },

  // A restored context is the same object with none of its programs and buffers. Made anew
  // through Browser.createContext (which hands back the one it has while Module.ctx is set),
  // the emulation sets itself up on it as on a new context: an empty cache of programs and new
  // buffers. What it had bound is looked up again at each draw, since the core enables and
  // disables its client arrays around every strip.
  roses_web_restore_context__deps: ['roses_web_create_context'],
  roses_web_restore_context: function (antialias) {
    var restored = Module['ctx'];
    if (!restored || restored.isContextLost()) return 0;
    Module['ctx'] = null;
    if (_roses_web_create_context(0, antialias)) return 1;
    // Kept for the page's next try, which asks it whether it is lost.
    Module['ctx'] = restored;
    return 0;
  },
});
