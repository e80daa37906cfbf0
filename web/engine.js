// The engine: the WebAssembly build of the plug-in and the substitute host
// (build/web/out/slantwarper.js), wrapped for the page. This is the only
// module that touches the WebAssembly memory; everything it hands out is
// plain JavaScript, except the segment arrays of paths(), which are views
// of that memory, valid until the next call into the engine.
//
// A session plays messages exactly as slantwarper-host plays a scenario file
// and records them, so report() is byte-identical to the native runner's
// `--json` output on scenario().
//
// Each new world runs in a fresh instance of the whole module, made from the
// one compiled module, and the previous instance is dropped with everything
// it held (its memory, the plug-in's side modules, the session), so that a
// long session of many files stays as small as its latest world.

const MODULE_URL = '/build/slantwarper.js';

// Floats per segment in paths(): anchor, in-handle, out-handle.
export const SEGMENT_FLOATS = 6;

// moduleUrl: where slantwarper.js is; moduleOptions: passed to the
// emscripten module factory (node-side checks give locateFile).
export async function createEngine({moduleUrl = MODULE_URL, moduleOptions = {}} = {}) {
  const {default: createModule} = await import(moduleUrl);
  const wasmUrl = moduleOptions.locateFile
    ? moduleOptions.locateFile('slantwarper.wasm', '')
    : new URL('slantwarper.wasm', new URL(moduleUrl, import.meta.url)).href;
  const compiled = await WebAssembly.compileStreaming(fetch(wasmUrl));
  // A fresh instance, ready when the factory returns: instantiating a
  // compiled module is synchronous, and so is everything the runtime then
  // does before it resolves. While it starts, the runtime attaches a
  // listener to the window (the "message" listener of its setImmediate
  // stand-in) that would keep the instance, and all its memory, alive once
  // dropped: what it attaches is noted, and detach() takes it off again.
  const spawn = () => {
    const attached = [];
    const module = {
      ...moduleOptions,
      instantiateWasm(imports, receive) {
        const instance = new WebAssembly.Instance(compiled, imports);
        receive(instance, compiled);
        return instance.exports;
      },
      detach() {
        for (const listener of attached.splice(0)) globalThis.removeEventListener(...listener);
      },
    };
    const addEventListener = globalThis.addEventListener;
    globalThis.addEventListener = (...listener) => {
      attached.push(listener);
      return addEventListener.apply(globalThis, listener);
    };
    try {
      createModule(module).catch(() => {}); // a failure shows below, at once
    } finally {
      delete globalThis.addEventListener; // the window's own again
    }
    if (!module.calledRun) {
      module.detach();
      throw new Error('the WebAssembly module could not start');
    }
    return module;
  };
  return new Engine(spawn);
}

class Engine {
  constructor(spawn) {
    this._spawn = spawn;
    this._m = spawn();
    this._state = null; // sw_state(), read once per change
    this._names = new Map(); // path id -> name; ids are never reused within a world
  }

  // A new world from a scenario file's text, its events played. Throws an
  // Error with the runner's one-line message ("NAME: PLACE: WHAT"); on error
  // nothing changes.
  loadScenario(text, name = 'scenario') {
    this._inFreshModule((m) =>
      this._withStrings(
        [text, name],
        ([textPtr, namePtr], [textLength]) => this._check(m._sw_load_scenario(textPtr, textLength, namePtr), m),
        m,
      ),
    );
  }

  // A new world from {view, host, paths, faults}: a scenario without events.
  // A path is {name, selected, closed, segments}, segments a Float32Array of
  // six floats per segment or an array of [x, y] / [ax, ay, ix, iy, ox, oy];
  // numbers are rounded to float32. Throws an Error with a clear message;
  // nothing changes on error.
  newWorld(world) {
    if (world === null || typeof world !== 'object') throw new Error('world: expected an object');
    if ('events' in world) throw new Error('world: a world has no events');
    const {paths = [], ...rest} = world;
    if (!Array.isArray(paths)) throw new Error('world: paths: expected an array');
    const packed = paths.map((path, index) => packPath(path, index));
    this._inFreshModule((m) => {
      this._withStrings([JSON.stringify(rest)], ([ptr], [length]) => this._check(m._sw_world_begin(ptr, length), m), m);
      for (const {name, selected, closed, floats} of packed) {
        const bytes = floats.length * 4;
        const floatsPtr = m._malloc(Math.max(bytes, 4));
        if (floatsPtr === 0) throw new Error('out of memory');
        try {
          m.HEAPF32.set(floats, floatsPtr >> 2);
          this._withStrings(
            [name],
            ([namePtr]) =>
              this._check(
                m._sw_world_add_path(
                  namePtr,
                  selected ? 1 : 0,
                  closed ? 1 : 0,
                  floatsPtr,
                  floats.length / SEGMENT_FLOATS,
                ),
                m,
              ),
            m,
          );
        } finally {
          m._free(floatsPtr);
        }
      }
      this._check(m._sw_world_commit(), m);
    });
  }

  // Delivers one message as the runner does and records it in scenario().
  // event = {caller, selector, point?: [x, y], shift?: boolean, item?: string}.
  // Returns {result, hostCalls}; result is null once an exception escaped the
  // plug-in, after which nothing more is delivered (as in the runner).
  send({caller, selector, point, shift, item}) {
    if (typeof caller !== 'string' || typeof selector !== 'string') {
      throw new Error('a message needs a caller and a selector');
    }
    const hasPoint = point !== undefined && point !== null;
    if (hasPoint && !(Array.isArray(point) && point.length === 2)) throw new Error('point: expected [x, y]');
    const strings = [caller, selector];
    if (item !== undefined && item !== null) strings.push(String(item));
    this._withStrings(strings, ([callerPtr, selectorPtr, itemPtr = 0]) =>
      this._check(
        this._m._sw_send(
          callerPtr,
          selectorPtr,
          hasPoint ? 1 : 0,
          hasPoint ? Math.fround(point[0]) : 0,
          hasPoint ? Math.fround(point[1]) : 0,
          shift === undefined || shift === null ? -1 : shift ? 1 : 0,
          itemPtr,
        ),
      ),
    );
    this._changed(false);
    const delivered = this._m._sw_sent_delivered() !== 0;
    return {result: delivered ? this._m._sw_sent_result() : null, hostCalls: this._m._sw_sent_calls()};
  }

  // The report of the session, byte-identical to `slantwarper-host --json`
  // on scenario().
  report() {
    return this._m.UTF8ToString(this._m._sw_report());
  }

  // The session as a scenario file: the world as loaded, then every message
  // and host action since, with exact float32 points and Shift states.
  scenario() {
    return this._m.UTF8ToString(this._m._sw_scenario());
  }

  // Selects exactly the paths at these places in paint order (a host action,
  // recorded in scenario()).
  setSelected(indices) {
    const places = Uint32Array.from(indices, (i) => {
      if (!Number.isInteger(i) || i < 0) throw new Error(`select: ${i} is not a place in paint order`);
      return i;
    });
    const ptr = this._m._malloc(Math.max(places.length * 4, 4));
    try {
      this._m.HEAPU32.set(places, ptr >> 2);
      this._check(this._m._sw_select(ptr, places.length));
    } finally {
      this._m._free(ptr);
    }
    this._changed(false);
  }

  // View 0 shows artwork point origin at pixel (0, 0), zoom pixels per unit
  // (a host action, recorded in scenario()). Numbers are rounded to float32.
  setView(origin, zoom) {
    this._check(this._m._sw_set_view(Math.fround(origin[0]), Math.fround(origin[1]), Math.fround(zoom)));
    this._changed(false);
  }

  // The document in paint order: [{id, name, selected, closed, segments}],
  // segments a Float32Array of six floats per segment (ax, ay, ix, iy, ox,
  // oy) viewing the engine's memory until the next call into the engine.
  paths() {
    const m = this._m;
    const count = m._sw_pack_paths();
    const table = new Int32Array(m.HEAP32.buffer, m._sw_packed_table(), count * 4);
    const floatsPtr = m._sw_packed_floats();
    const floats = m.HEAPF32;
    const result = new Array(count);
    for (let i = 0; i < count; i++) {
      const id = table[4 * i];
      const first = table[4 * i + 1];
      const segments = table[4 * i + 2];
      const flags = table[4 * i + 3];
      let name = this._names.get(id);
      if (name === undefined) {
        name = m.UTF8ToString(m._sw_path_name(id));
        this._names.set(id, name);
      }
      const start = (floatsPtr >> 2) + first;
      result[i] = {
        id,
        name,
        selected: (flags & 1) !== 0,
        closed: (flags & 2) !== 0,
        segments: floats.subarray(start, start + segments * SEGMENT_FLOATS),
      };
    }
    return result;
  }

  // Undoes the latest step of the host's document, or what the press under
  // way did so far (a host action, recorded in scenario()); with nothing to
  // undo it changes nothing.
  undo() {
    this._check(this._m._sw_undo());
    this._changed(false);
  }

  // Redoes the step undone last (a host action, recorded in scenario()); with
  // nothing to redo it changes nothing.
  redo() {
    this._check(this._m._sw_redo());
    this._changed(false);
  }

  // Whether undo() and redo() would change the document now.
  canUndo() {
    return this._hostState().history.undo;
  }

  canRedo() {
    return this._hostState().history.redo;
  }

  // The bytes of WebAssembly memory the current world's instance holds.
  memoryBytes() {
    return this._m.HEAP8.buffer.byteLength;
  }

  // View 0's mapping: {origin: [x, y], zoom}.
  view() {
    const {origin, zoom} = this._hostState().view;
    return {origin: [...origin], zoom};
  }

  // What the latest "AI Draw" drew: [{color: [r, g, b] (0..65535), dash,
  // from: [vx, vy], to: [vx, vy]}] in view pixels.
  drawing() {
    return structuredClone(this._hostState().drawing);
  }

  // Whether the host draws the plug-in's annotator at each repaint: it is
  // active and the plug-in is running (started, loaded, not shut down).
  annotatorActive() {
    return this._hostState().annotatorActive;
  }

  // The menu items the host holds: [{group, text}].
  menu() {
    return structuredClone(this._hostState().menu);
  }

  // The menu groups the host holds: [{name, parent}], parent the text of the
  // item a submenu group hangs from, or null.
  menuGroups() {
    return structuredClone(this._hostState().menuGroups);
  }

  // The texts the plug-in showed with the alert, in order.
  alerts() {
    return [...this._hostState().alerts];
  }

  // The cursor id the plug-in last set, or null.
  cursor() {
    return this._hostState().cursor;
  }

  // Whether the slantWarper tool exists (the plug-in added it).
  toolActive() {
    return this._hostState().toolActive;
  }

  // The number of messages the session has delivered.
  messageCount() {
    return this._hostState().messages;
  }

  _hostState() {
    if (this._state === null) {
      this._state = JSON.parse(this._m.UTF8ToString(this._m._sw_state()));
      if (this._state === null) throw new Error('no session: load a scenario or a world first');
    }
    return this._state;
  }

  _changed(newWorld) {
    this._state = null;
    if (newWorld) this._names.clear();
  }

  _check(status, m = this._m) {
    if (status !== 0) throw new Error(m.UTF8ToString(m._sw_error()));
  }

  // Runs work(module) on a fresh instance; if it succeeds the instance holds
  // the new world and the old one is dropped, else nothing changes.
  _inFreshModule(work) {
    const fresh = this._spawn();
    try {
      work(fresh);
    } catch (error) {
      fresh.detach();
      throw error;
    }
    this._m.detach();
    this._m = fresh;
    this._changed(true);
  }

  // Calls work(pointers, byteLengths) with each string copied into the
  // module's memory as NUL-terminated UTF-8, freed afterwards.
  _withStrings(strings, work, m = this._m) {
    const pointers = [];
    const lengths = [];
    try {
      for (const text of strings) {
        const length = m.lengthBytesUTF8(text);
        const ptr = m._malloc(length + 1);
        if (ptr === 0) throw new Error('out of memory');
        m.stringToUTF8(text, ptr, length + 1);
        pointers.push(ptr);
        lengths.push(length);
      }
      return work(pointers, lengths);
    } finally {
      for (const ptr of pointers) m._free(ptr);
    }
  }
}

// A path of newWorld as {name, selected, closed, floats}; throws an Error
// naming the path for anything that is not one.
function packPath(path, index) {
  const at = `world: paths[${index}]`;
  if (path === null || typeof path !== 'object') throw new Error(`${at}: expected an object`);
  const {name = '', selected = false, closed = false, segments = []} = path;
  if (typeof name !== 'string' || name.includes('\0')) throw new Error(`${at}.name: expected a string without NUL`);
  if (typeof selected !== 'boolean') throw new Error(`${at}.selected: expected true or false`);
  if (typeof closed !== 'boolean') throw new Error(`${at}.closed: expected true or false`);
  if (segments instanceof Float32Array) {
    if (segments.length % SEGMENT_FLOATS !== 0) {
      throw new Error(`${at}.segments: expected six floats per segment`);
    }
    return {name, selected, closed, floats: segments};
  }
  if (!Array.isArray(segments)) throw new Error(`${at}.segments: expected an array or a Float32Array`);
  const floats = new Float32Array(segments.length * SEGMENT_FLOATS);
  segments.forEach((segment, i) => {
    const place = `${at}.segments[${i}]`;
    if (!Array.isArray(segment) || (segment.length !== 2 && segment.length !== 6)) {
      throw new Error(`${place}: expected [x, y] or [ax, ay, ix, iy, ox, oy]`);
    }
    if (!segment.every((v) => typeof v === 'number')) throw new Error(`${place}: expected numbers`);
    const c = segment.length === 2 ? [...segment, ...segment, ...segment] : segment;
    floats.set(c, i * SEGMENT_FLOATS);
  });
  return {name, selected, closed, floats};
}
