// window.slantWarper: the hooks tests and tools drive the page with.
//
//   ready              a promise, resolved (to true) once the module is loaded
//                      and the plug-in started with the sample art
//   load(text)         a scenario file's world and events, played; a bad file
//                      throws an Error with the runner's one-line message and
//                      changes nothing; afterwards the slantWarper tool is active
//   report()           the report since the last load or openSvg, byte-identical
//                      to `slantwarper-host --json` on scenario()
//   scenario()         the world as loaded plus every message and host action
//                      since, with exact float32 points and Shift states
//   clientPoint(x, y)  {x, y}: the client pixel showing artwork point (x, y)
//   openSvg(text)      a new world from an SVG file, its paths all selected and
//                      the plug-in started; a bad file throws with a clear
//                      message and changes nothing
//   exportSvg()        the exact text Export SVG saves
//   memory()           {wasmBytes}: the WebAssembly memory the current world
//                      holds (benchmarks watch it)
//
// The app supplies the pieces: installHooks({started}), `started` a promise
// of an object with `engine` (web/engine.js), `view.clientPoint(x, y)`,
// `loadScenario(text)`, `openSvg(text)` and `exportSvg()` ({text}).

export function installHooks({started}) {
  let app = null;
  const ready = Promise.resolve(started).then((value) => {
    app = value;
    return true;
  });
  // A rejected start is the page's to show; the promise stays rejected for
  // whoever awaits ready, without an unhandled-rejection report.
  ready.catch(() => {});

  const current = () => {
    if (app === null) throw new Error('slantWarper is not ready yet: await window.slantWarper.ready first');
    return app;
  };
  const text = (value, what) => {
    if (typeof value !== 'string') throw new Error(`${what} takes the file's text as a string`);
    return value;
  };

  const hooks = {
    ready,
    load(scenarioText) {
      current().loadScenario(text(scenarioText, 'load'));
    },
    report() {
      return current().engine.report();
    },
    scenario() {
      return current().engine.scenario();
    },
    clientPoint(x, y) {
      const {x: clientX, y: clientY} = current().view.clientPoint(Number(x), Number(y));
      return {x: clientX, y: clientY};
    },
    openSvg(svgText) {
      current().openSvg(text(svgText, 'openSvg'));
    },
    exportSvg() {
      return current().exportSvg().text;
    },
    memory() {
      return {wasmBytes: current().engine.memoryBytes()};
    },
  };
  Object.defineProperty(window, 'slantWarper', {value: Object.freeze(hooks), configurable: true});
  return hooks;
}
