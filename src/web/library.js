// The page script's side of the context: the emulation of fixed-function GL installs itself
// when a context is made through Browser.createContext, not through the HTML5 context API.
mergeInto(LibraryManager.library, {
  roses_web_create_context__deps: ['$Browser', '$GL'],
  roses_web_create_context: function (keepPictures) {
    var attributes = {
      alpha: false,
      depth: true,
      antialias: false,
      // The check mode leaves its last frame for a screenshot to read.
      preserveDrawingBuffer: !!keepPictures,
      majorVersion: 1,
      minorVersion: 0,
    };
    var context = Browser.createContext(Module['canvas'], true, true, attributes);
    return context ? 1 : 0;
  },
});
