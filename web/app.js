// The page's one place where DOM events become host actions: pointer and
// keyboard over the view go to the active tool, whose messages go to the
// plug-in through the engine; the file buttons, drag-and-drop, the About
// menu, pan and zoom all end here. The engine's document is the only
// document; after each change the page repaints what it holds, and while the
// plug-in's annotator is active each repaint first sends it the draw message.
import {importSvg} from './svg_import.js';
import {exportSvg} from './svg_export.js';
import {DocumentView, artworkBounds} from './view.js';
import {SelectionTool} from './tools/selection.js';
import {SlantWarperTool} from './tools/slantwarper.js';
import {AboutMenu} from './menu.js';
import {EditMenu, editCommandFor} from './edit_menu.js';
import {MessageLog} from './message_log.js';
import {SAMPLE_SVG} from './sample_art.js';

const PLUGIN_CURSOR_ID = 16001;
const HOST = {tools: ['Selection', 'pkTool2'], menuGroups: ['About'], iconType: 0};
const NICE_ZOOMS = [1 / 64, 1 / 32, 1 / 16, 1 / 8, 1 / 4, 1 / 2, 3 / 4, 1, 3 / 2, 2, 3, 4, 6, 8, 12, 16, 32, 64, 128, 256];
const MIN_ZOOM = 1 / 64;
const MAX_ZOOM = 256;
const INFO_SECONDS = 6;
const MAX_SCENARIO_BYTES = 16 << 20; // the largest scenario file slantwarper-host reads
const VIEW_COMMIT_DELAY = 250; // ms after the last wheel step before the host learns the new view
const $ = (id) => document.getElementById(id);

class App {
  constructor(engine, images) {
    this.engine = engine;
    this.images = images;
    this.view = new DocumentView($('document'));
    this.log = new MessageLog($('log-list'), $('log-count'));
    this.menu = new AboutMenu($('about-button'), $('about-panel'), (text) => this.chooseMenuItem(text));
    this.edit = new EditMenu($('edit-button'), $('edit-panel'), (command) => this.guard(() => this.editDocument(command)));
    this.styles = new Map();
    this.alertsSeen = 0;
    this.pendingView = null;
    this.viewTimer = 0;
    this.pan = null;
    this.spaceDown = false;
    this.pointerInside = false;
    this.lastClient = null;
    this.warnedOutside = false;
    this.repaintScheduled = false;
    const host = {
      send: (event) => this.send(event),
      hasSelection: () => this.engine.paths().some((path) => path.selected),
      notice: (text, kind) => this.notice(text, kind),
      paths: () => this.engine.paths(),
      select: (indices) => this.select(indices),
      view: this.view,
    };
    this.tools = {selection: new SelectionTool(host), slantWarper: new SlantWarperTool(host)};
    this.tool = this.tools.slantWarper;
    this.setUpPalette();
    this.setUpPointer();
    this.setUpKeyboard();
    this.setUpFiles();
    new ResizeObserver(() => this.scheduleRepaint()).observe($('document'));
  }

  // ---- host messages and repaint ----

  send(event) {
    this.commitView();
    const outcome = this.engine.send(event);
    this.log.add({...event, result: outcome.result, hostCalls: outcome.hostCalls});
    this.scheduleRepaint();
    return outcome;
  }

  scheduleRepaint() {
    if (this.repaintScheduled) return;
    this.repaintScheduled = true;
    requestAnimationFrame(() => {
      this.repaintScheduled = false;
      this.guard(() => this.repaint());
    });
  }

  repaint() {
    if (this.engine.annotatorActive()) {
      const outcome = this.engine.send({caller: 'AI Annotation', selector: 'AI Draw'});
      this.log.add({caller: 'AI Annotation', selector: 'AI Draw', ...outcome});
    }
    // The segment arrays stay valid only until the next call into the engine.
    const paths = this.engine.paths();
    this.view.render(paths, (name) => this.styles.get(name));
    this.updateStatus(paths);
    this.view.drawAnnotation(this.engine.annotatorActive() ? this.engine.drawing() : []);
    this.menu.update(this.engine.menu(), this.engine.menuGroups ? this.engine.menuGroups() : []);
    this.edit.update({undo: this.engine.canUndo(), redo: this.engine.canRedo()});
    this.showNewAlerts();
    this.updateCursor();
  }

  showNewAlerts() {
    const alerts = this.engine.alerts();
    if (alerts.length > this.alertsSeen) {
      $('alert-text').textContent = alerts[alerts.length - 1].replace(/\r\n?/g, '\n');
      const dialog = $('alert');
      if (!dialog.open) dialog.showModal();
    }
    this.alertsSeen = alerts.length;
  }

  updateCursor() {
    const warping = this.tool === this.tools.slantWarper;
    const cursor = warping && this.engine.cursor() === PLUGIN_CURSOR_ID ? this.images.cursor : warping ? 'crosshair' : 'default';
    $('document').style.cursor = this.pan || this.spaceDown ? 'grab' : cursor;
    const toolButton = $('tool-slantwarper');
    toolButton.disabled = !this.engine.toolActive();
    if (toolButton.disabled && warping) this.activate('selection');
  }

  updateStatus(paths) {
    let segments = 0;
    let selected = 0;
    for (const path of paths) {
      segments += path.segments.length / 6;
      if (path.selected) selected++;
    }
    const undrawable = this.view.undrawableCount();
    $('status-document').textContent =
      `${paths.length} path${paths.length === 1 ? '' : 's'}, ${segments} segments, ${selected} selected` +
      (undrawable > 0 ? `, ${undrawable} with points that cannot be drawn` : '');
    $('status-zoom').textContent = `${formatZoom(this.view.zoom)}`;
    $('status-tool').textContent = this.tool.name;
  }

  // ---- worlds: sample art, SVG files, scenarios ----

  // A new world from SVG text, every path selected, the plug-in started.
  // Throws (SvgImportError or the engine's Error) with nothing changed.
  openSvg(text) {
    const {paths} = importSvg(text, (xml) => new DOMParser().parseFromString(xml, 'image/svg+xml'));
    const names = uniqueNames(paths.map((path) => path.name));
    const world = {
      view: this.fittedView(artworkBounds(paths.map((path) => ({segments: path.segments.flat()})))),
      host: HOST,
      paths: paths.map((path, i) => ({name: names[i], selected: true, closed: path.closed, segments: path.segments})),
      faults: [],
    };
    this.engine.newWorld(world);
    this.styles = new Map(paths.map((path, i) => [names[i], {fill: path.fill, stroke: path.stroke, strokeWidth: path.strokeWidth}]));
    this.worldChanged();
    this.send({caller: 'SP Interface', selector: 'Startup'});
    this.activate('slantWarper');
    this.repaint();
    return world;
  }

  // A scenario file's world and events, played. Throws with nothing changed.
  loadScenario(text) {
    this.engine.loadScenario(text);
    this.styles = new Map();
    this.worldChanged();
    this.activate('slantWarper');
    this.repaint();
  }

  startSample() {
    this.openSvg(SAMPLE_SVG);
  }

  worldChanged() {
    // A gesture under way belonged to the world that is gone.
    for (const tool of Object.values(this.tools)) tool.forget();
    this.edit.forget();
    this.pan = null;
    this.alertsSeen = this.engine.alerts().length;
    this.pendingView = null;
    const {origin, zoom} = this.engine.view();
    this.view.setMapping(origin, zoom);
    this.log.clear();
  }

  // The nicest zoom at which the art fits the view, centred.
  fittedView(bounds) {
    const [width, height] = this.view.size();
    if (!bounds || width < 1 || height < 1) return {origin: [0, 0], zoom: 1};
    const [left, bottom, right, top] = bounds;
    const fit = Math.min((width * 0.9) / Math.max(right - left, 1e-3), (height * 0.9) / Math.max(top - bottom, 1e-3));
    const zoom = NICE_ZOOMS.filter((z) => z <= fit).pop() ?? MIN_ZOOM;
    const origin = [Math.round((left + right) / 2 - width / 2 / zoom), Math.round((bottom + top) / 2 + height / 2 / zoom)];
    return {origin, zoom};
  }

  // ---- pan and zoom: the page follows at once, the host at the gesture's end ----

  setViewLocally(origin, zoom) {
    const mapping = {origin: [Math.fround(origin[0]), Math.fround(origin[1])], zoom: Math.fround(zoom)};
    if (!mapping.origin.every(Number.isFinite)) return;
    this.pendingView = mapping;
    this.view.setMapping(mapping.origin, mapping.zoom);
    this.scheduleRepaint();
  }

  commitView() {
    clearTimeout(this.viewTimer);
    if (!this.pendingView) return;
    const {origin, zoom} = this.pendingView;
    this.pendingView = null;
    this.engine.setView(origin, zoom);
  }

  zoomAbout(client, factor) {
    const zoom = Math.min(MAX_ZOOM, Math.max(MIN_ZOOM, this.view.zoom * factor));
    const box = $('document').getBoundingClientRect();
    const at = client ?? {x: box.left + box.width / 2, y: box.top + box.height / 2};
    const [x, y] = this.view.artworkPoint(at.x, at.y);
    this.setViewLocally([x - (at.x - box.left) / zoom, y + (at.y - box.top) / zoom], zoom);
  }

  fitArt() {
    const paths = this.engine.paths();
    const bounds = artworkBounds(paths, true) ?? artworkBounds(paths);
    const {origin, zoom} = this.fittedView(bounds);
    this.setViewLocally(origin, zoom);
    this.commitView();
  }

  // ---- selection and tools ----

  select(indices) {
    this.engine.setSelected([...indices].sort((a, b) => a - b));
    this.scheduleRepaint();
  }

  activate(name) {
    if (this.tool.name === name) return;
    this.tool.cancel();
    this.tool = this.tools[name];
    for (const button of document.querySelectorAll('.tool')) {
      button.setAttribute('aria-pressed', String(button.dataset.tool === name));
    }
    if (name === 'slantWarper' && this.pointerInside && this.lastClient) {
      this.tool.trackCursor(this.view.artworkPoint(this.lastClient.x, this.lastClient.y));
    }
    this.scheduleRepaint();
  }

  chooseMenuItem(text) {
    this.send({caller: 'AI Menu', selector: 'AI Go', item: text});
  }

  // Undo or redo a step of the host's document (a host action).
  editDocument(command) {
    if (!(command === 'undo' ? this.engine.canUndo() : this.engine.canRedo())) {
      this.notice(`Nothing to ${command}.`, 'info');
      return;
    }
    this.commitView();
    if (command === 'undo') this.engine.undo();
    else this.engine.redo();
    this.scheduleRepaint();
  }

  // ---- DOM wiring ----

  setUpPalette() {
    $('tool-slantwarper-icon').src = this.images.icon;
    for (const button of document.querySelectorAll('.tool')) {
      button.addEventListener('click', () => this.guard(() => this.activate(button.dataset.tool)));
    }
    $('zoom-in').addEventListener('click', () => this.guard(() => this.zoomAbout(null, 1.25)));
    $('zoom-out').addEventListener('click', () => this.guard(() => this.zoomAbout(null, 0.8)));
    $('zoom-fit').addEventListener('click', () => this.guard(() => this.fitArt()));
    $('alert-ok').addEventListener('click', () => $('alert').close());
    $('notice-close').addEventListener('click', () => this.notice(''));
  }

  setUpPointer() {
    const svg = $('document');
    svg.addEventListener('pointerdown', (event) => this.guard(() => this.pointerDown(event)));
    svg.addEventListener('pointermove', (event) => this.guard(() => this.pointerMove(event)));
    svg.addEventListener('pointerup', (event) => this.guard(() => this.pointerUp(event)));
    svg.addEventListener('lostpointercapture', () => this.guard(() => this.pointerLost()));
    svg.addEventListener('pointercancel', () => this.guard(() => this.pointerLost()));
    svg.addEventListener('pointerenter', (event) => this.guard(() => this.pointerEnter(event)));
    svg.addEventListener('pointerleave', () => {
      this.pointerInside = false;
    });
    svg.addEventListener('wheel', (event) => this.guard(() => this.wheel(event)), {passive: false});
    svg.addEventListener('contextmenu', (event) => event.preventDefault());
  }

  pointerEnter(event) {
    this.pointerInside = true;
    this.lastClient = {x: event.clientX, y: event.clientY};
    if (this.tool === this.tools.slantWarper && !this.pan) {
      this.tool.trackCursor(this.view.artworkPoint(event.clientX, event.clientY));
    }
  }

  pointerDown(event) {
    const svg = $('document');
    const client = {x: event.clientX, y: event.clientY};
    if (this.pan || this.tool.dragging || this.tool.press) return;
    if (event.button === 1 || (event.button === 0 && this.spaceDown)) {
      event.preventDefault();
      svg.setPointerCapture(event.pointerId);
      this.pan = {client, origin: [...this.view.origin]};
      this.updateCursor();
      return;
    }
    if (event.button !== 0) return;
    svg.setPointerCapture(event.pointerId);
    this.warnedOutside = false;
    if (this.tool === this.tools.slantWarper) {
      this.tool.down(this.view.artworkPoint(client.x, client.y), event.shiftKey);
    } else {
      this.tool.down(client, this.view.pathNear(client), event.shiftKey);
    }
  }

  pointerMove(event) {
    const client = {x: event.clientX, y: event.clientY};
    this.lastClient = client;
    const [x, y] = this.view.artworkPoint(client.x, client.y);
    $('status-pointer').textContent = `x ${x.toFixed(1)}, y ${y.toFixed(1)}`;
    if (this.pan) {
      const zoom = this.view.zoom;
      this.setViewLocally([this.pan.origin[0] - (client.x - this.pan.client.x) / zoom,
        this.pan.origin[1] + (client.y - this.pan.client.y) / zoom], zoom);
      return;
    }
    const dragging = this.tool.dragging || this.tool.press;
    if (dragging && !this.view.contains(client.x, client.y) && !this.warnedOutside) {
      this.warnedOutside = true;
      this.notice('The pointer is outside the view: the drag goes on until you release the button.', 'info');
    }
    if (this.tool === this.tools.slantWarper) this.tool.move([x, y], event.shiftKey);
    else this.tool.move(client);
  }

  pointerUp(event) {
    const client = {x: event.clientX, y: event.clientY};
    if (this.pan) {
      this.pan = null;
      this.commitView();
      this.updateCursor();
      this.edit.released();
      return;
    }
    if (this.tool === this.tools.slantWarper) this.tool.up(this.view.artworkPoint(client.x, client.y), event.shiftKey);
    else this.tool.up(client);
    this.edit.released();
  }

  // Capture ended without a release the page saw: the gesture ends where the
  // pointer was last seen, so the host never keeps a drag open.
  pointerLost() {
    if (this.pan) {
      this.pan = null;
      this.commitView();
    }
    if (this.tool.dragging) {
      this.tool.cancel();
      this.notice('The drag ended where the pointer was last seen in the page.', 'info');
    } else {
      this.tool.cancel();
    }
    this.edit.released();
  }

  wheel(event) {
    event.preventDefault();
    if (this.tool.dragging) return;
    const client = {x: event.clientX, y: event.clientY};
    if (event.ctrlKey || event.metaKey) {
      this.zoomAbout(client, Math.exp(-event.deltaY / 300));
    } else {
      const zoom = this.view.zoom;
      const dx = event.shiftKey && event.deltaX === 0 ? event.deltaY : event.deltaX;
      const dy = event.shiftKey && event.deltaX === 0 ? 0 : event.deltaY;
      this.setViewLocally([this.view.origin[0] + dx / zoom, this.view.origin[1] - dy / zoom], zoom);
    }
    clearTimeout(this.viewTimer);
    this.viewTimer = setTimeout(() => this.guard(() => this.commitView()), VIEW_COMMIT_DELAY);
  }

  setUpKeyboard() {
    window.addEventListener('keydown', (event) => this.guard(() => this.keyDown(event)));
    window.addEventListener('keyup', (event) => this.guard(() => this.keyUp(event)));
    window.addEventListener('blur', () => {
      this.spaceDown = false;
    });
  }

  keyDown(event) {
    if (event.target instanceof HTMLInputElement || $('alert').open) return;
    if (event.key === 'Shift') {
      if (this.tool === this.tools.slantWarper) this.tool.shiftChanged(true);
      return;
    }
    const edit = editCommandFor(event);
    if (edit) {
      event.preventDefault();
      this.edit.request(edit, Boolean(this.pan || this.tool.dragging || this.tool.press));
      return;
    }
    const command = event.ctrlKey || event.metaKey;
    if (command && event.key.toLowerCase() === 'a') {
      event.preventDefault();
      this.select(this.engine.paths().map((_, index) => index));
    } else if (command && event.key.toLowerCase() === 'o') {
      event.preventDefault();
      $('open-svg-input').click();
    } else if (event.key === ' ') {
      // Space pans; it must not also press the button last clicked.
      event.preventDefault();
      if (document.activeElement instanceof HTMLButtonElement) document.activeElement.blur();
      if (!this.spaceDown) {
        this.spaceDown = true;
        this.updateCursor();
      }
    } else if (command || event.altKey) {
      return;
    } else if (event.key === 'v' || event.key === 'V') {
      this.activate('selection');
    } else if (event.key === 'w' || event.key === 'W') {
      if (!$('tool-slantwarper').disabled) this.activate('slantWarper');
    } else if (event.key === '+' || event.key === '=') {
      this.zoomAbout(null, 1.25);
      this.commitView();
    } else if (event.key === '-') {
      this.zoomAbout(null, 0.8);
      this.commitView();
    } else if (event.key === '0') {
      this.fitArt();
    }
  }

  keyUp(event) {
    if (event.key === 'Shift' && this.tool === this.tools.slantWarper) this.tool.shiftChanged(false);
    if (event.key === ' ') {
      this.spaceDown = false;
      this.updateCursor();
    }
  }

  setUpFiles() {
    $('open-svg').addEventListener('click', () => $('open-svg-input').click());
    $('open-scenario').addEventListener('click', () => $('open-scenario-input').click());
    $('open-svg-input').addEventListener('change', (event) => this.openFileFrom(event.target, 'svg'));
    $('open-scenario-input').addEventListener('change', (event) => this.openFileFrom(event.target, 'scenario'));
    $('export-svg').addEventListener('click', () => this.guard(() => this.exportSvgFile()));
    $('save-scenario').addEventListener('click', () => this.guard(() => this.saveScenarioFile()));
    const main = $('workspace');
    main.addEventListener('dragover', (event) => {
      event.preventDefault();
      main.classList.add('dropping');
    });
    main.addEventListener('dragleave', () => main.classList.remove('dropping'));
    main.addEventListener('drop', (event) => {
      event.preventDefault();
      main.classList.remove('dropping');
      const file = event.dataTransfer.files[0];
      if (!file) {
        this.notice('Drop an SVG file (or a scenario .json) here to open it.', 'warning');
        return;
      }
      this.openFile(file, /\.json$/i.test(file.name) ? 'scenario' : 'svg');
    });
  }

  openFileFrom(input, kind) {
    const file = input.files[0];
    input.value = '';
    if (file) this.openFile(file, kind);
  }

  async openFile(file, kind) {
    let text;
    try {
      text = await file.text();
    } catch (error) {
      this.notice(`${file.name} could not be read: ${error.message}`, 'error');
      return;
    }
    try {
      if (kind === 'svg') this.openSvg(text);
      else this.loadScenario(text);
      this.notice(`Opened ${file.name}.`, 'info');
    } catch (error) {
      this.notice(`${file.name} was not opened, the document is as it was: ${error.message}`, 'error');
    }
  }

  exportSvgFile() {
    const {text, written, skipped} = exportSvg(this.engine.paths(), (name) => this.styles.get(name));
    download('slantwarper.svg', new Blob([text], {type: 'image/svg+xml'}));
    this.notice(`Exported ${written} path${written === 1 ? '' : 's'}` +
      (skipped > 0 ? `; ${skipped} with points that are not finite numbers were left out.` : '.'), skipped > 0 ? 'warning' : 'info');
  }

  saveScenarioFile() {
    const file = new Blob([this.engine.scenario()], {type: 'application/json'});
    download('slantwarper-session.json', file);
    if (file.size > MAX_SCENARIO_BYTES) {
      this.notice(`Saved the session as a scenario file of ${(file.size / 2 ** 20).toFixed(1)} MiB; ` +
        `slantwarper-host reads files of at most ${MAX_SCENARIO_BYTES / 2 ** 20} MiB, so it cannot replay this one.`, 'warning');
    } else {
      this.notice('Saved the session as a scenario file.', 'info');
    }
  }

  // ---- messages to the person ----

  // Information fades after a few seconds; warnings and errors stay until
  // closed or replaced.
  notice(text, kind = 'info') {
    const notice = $('notice');
    $('notice-text').textContent = text;
    notice.dataset.kind = kind;
    notice.hidden = text === '';
    clearTimeout(this.noticeTimer);
    if (kind === 'info' && text !== '') this.noticeTimer = setTimeout(() => this.notice(''), INFO_SECONDS * 1000);
  }

  // Runs fn; anything it throws becomes a message in the page, never a
  // console error.
  guard(fn) {
    try {
      return fn();
    } catch (error) {
      this.notice(`That did not work, nothing was lost: ${error && error.message ? error.message : error}`, 'error');
      return undefined;
    }
  }
}

function uniqueNames(names) {
  const seen = new Map();
  return names.map((name) => {
    const count = (seen.get(name) ?? 0) + 1;
    seen.set(name, count);
    return count === 1 ? name : `${name} (${count})`;
  });
}

function formatZoom(zoom) {
  return `${Math.round(zoom * 1000) / 10} %`;
}

function download(name, file) {
  const url = URL.createObjectURL(file);
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// Page-level failures become messages too.
function reportUnexpected(event, error) {
  event.preventDefault();
  const notice = $('notice');
  $('notice-text').textContent = `Something went wrong: ${error && error.message ? error.message : error}`;
  notice.dataset.kind = 'error';
  notice.hidden = false;
}
window.addEventListener('error', (event) => reportUnexpected(event, event.error ?? event.message));
window.addEventListener('unhandledrejection', (event) => reportUnexpected(event, event.reason));

export {App};
