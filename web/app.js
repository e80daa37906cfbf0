// The page's one place where DOM events become host actions: pointer and
// touch over the view (web/pointer_input.js) go to the active tool as
// pointer records, whose messages go to the plug-in through the engine; the
// About menu, the keyboard's commands (web/keyboard.js), pan and zoom
// (web/view_navigation.js) and the files (web/files.js) all end here. The
// engine's document is the only geometry; the opened file
// (web/svg_document.js) holds the rest of the drawing, and after each
// change the page repaints what the host holds, while the plug-in's
// annotator is active first sending it the draw message.
import {SvgDocument} from './svg_document.js';
import {inertMarkup} from './svg_source.js';
import {drawingOf} from './svg_sanitize.js';
import {exportDocument, exportSvg, holdsIllustratorCopy} from './svg_export.js';
import {DocumentView, FITTED_LIMIT, artworkBounds} from './view.js';
import {ViewNavigation} from './view_navigation.js';
import {SelectionTool} from './tools/selection.js';
import {SlantWarperTool} from './tools/slantwarper.js';
import {AboutMenu} from './menu.js';
import {EditMenu} from './edit_menu.js';
import {Keyboard} from './keyboard.js';
import {PointerInput} from './pointer_input.js';
import {pointerReadout} from './pointer_readout.js';
import {MessageLog} from './message_log.js';
import {Notices} from './notices.js';
import {Files} from './files.js';
import {UnsavedChanges, geometryMark} from './unsaved_changes.js';
import {SAMPLE_SVG} from './sample_art.js';

const PLUGIN_CURSOR_ID = 16001;
const HOST = {tools: ['Selection', 'pkTool2'], menuGroups: ['About'], iconType: 0};
const DEFAULT_FILE_NAME = 'slantwarper.svg';
const $ = (id) => document.getElementById(id);
const parseXml = (xml) => new DOMParser().parseFromString(inertMarkup(xml), 'image/svg+xml');

// Pixels left around a file's page when it opens.
const PAGE_MARGIN = 8;

class App {
  constructor(engine, images) {
    this.engine = engine;
    this.images = images;
    this.notices = new Notices($('notice'), $('notice-text'), $('notice-close'), {
      status: $('notice-status'),
      alert: $('notice-alert'),
    });
    this.view = new DocumentView($('document'), $('art'), $('paper'));
    this.navigation = new ViewNavigation(this.view, engine, () => this.scheduleRepaint());
    this.log = new MessageLog($('log-list'), $('log-count'));
    // The log starts shown where the screen keeps it beside the document
    // (page.css lays the page out for narrow screens below 901 pixels).
    $('log-shown').checked = matchMedia('(min-width: 901px)').matches;
    this.menu = new AboutMenu($('about-button'), $('about-panel'), (text) => this.chooseMenuItem(text));
    this.edit = new EditMenu($('edit-button'), $('edit-panel'), (command) =>
      this.guard(() => this.editDocument(command)),
    );
    this.unsaved = new UnsavedChanges($('unsaved'), () => geometryMark(this.engine.paths()));
    this.files = new Files(this, this.notices, this.unsaved);
    this.model = null; // the opened file, or null for a scenario's world
    this.alertsSeen = 0;
    this.shiftLatched = false; // the palette's Shift, for a screen with no keyboard
    this.afterPress = []; // what waits for a press or a pan to end (whenReleased)
    this.repaintScheduled = false;
    const host = {
      send: (event) => this.send(event),
      hasSelection: () => this.engine.paths().some((path) => path.selected),
      notice: (text, kind) => this.notice(text, kind),
      paths: () => this.engine.paths(),
      select: (places) => this.select(places),
      wholeElements: (places) => this.view.wholeElements(places, this.engine.paths()),
      view: this.view,
    };
    this.tools = {selection: new SelectionTool(host), slantWarper: new SlantWarperTool(host)};
    this.tool = this.tools.slantWarper;
    this.setUpPalette();
    this.pointer = new PointerInput($('document'), this.view, this.navigation, {
      tool: () => this.tool,
      paths: () => this.engine.paths(),
      shiftLatched: () => this.shiftLatched,
      spaceDown: () => this.keyboard.spaceDown,
      pointerMoved: (record) => this.showPointer(record),
      panChanged: () => this.updateCursor(),
      toolReleased: () => this.unsaved.showState(),
      released: () => this.pressEnded(),
      abortPress: () => this.abortPress(),
      notice: (text, kind) => this.notice(text, kind),
      guard: (fn) => this.guard(fn),
    });
    this.keyboard = new Keyboard(
      {
        shift: (down) => this.shiftChanged(down || this.shiftLatched),
        abortPress: () => this.abortPress(),
        // An undo or redo during a pan or a press waits for its release.
        edit: (command) => this.whenReleased(() => this.guard(() => this.editDocument(command))),
        select: (all) => this.editDocument(all ? 'selectAll' : 'deselect'),
        open: () => this.files.chooseSvg(),
        export: () => this.whenReleased(() => this.files.exportSvg()),
        // The view holds still under a press the tool works on, as under
        // the wheel: the art would move under the pointer.
        zoom: (factor) => {
          if (this.tool.busy) return;
          this.navigation.zoomAbout(null, factor);
          this.navigation.commit();
        },
        fit: () => {
          if (!this.tool.busy) this.fit();
        },
        // W picks the slantWarper tool only while its palette button can
        // be pressed.
        tool: (name) => {
          if (name !== 'slantWarper' || !$('tool-slantwarper').disabled) this.activate(name);
        },
        spaceChanged: () => this.updateCursor(),
      },
      (fn) => this.guard(fn),
    );
    this.windowSize = [innerWidth, innerHeight];
    new ResizeObserver(() => this.guard(() => this.viewResized())).observe($('document'));
  }

  // The view changed size. A window resized keeps what is at the view's
  // centre; the page's own layout changing (a status line wrapping as the
  // pointer moves, the log folding) keeps its top left corner, and so does
  // anything during a gesture, so the art never jumps under the pointer.
  viewResized() {
    const before = this.view.mappedSize ?? [0, 0];
    const now = this.view.size();
    const windowResized = innerWidth !== this.windowSize[0] || innerHeight !== this.windowSize[1];
    this.windowSize = [innerWidth, innerHeight];
    const gesture = this.pointer.gestureUnderway;
    const changed = now[0] !== before[0] || now[1] !== before[1];
    if (windowResized && !gesture && changed && Math.min(...before, ...now) >= 1) {
      this.navigation.resized(before, now);
    } else {
      this.view.setMapping(this.view.origin, this.view.zoom);
    }
    this.scheduleRepaint();
  }

  // ---- host messages and repaint ----

  send(event) {
    this.navigation.commit();
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
    this.view.render(paths);
    this.updateStatus(paths);
    this.view.drawAnnotation(this.engine.annotatorActive() ? this.engine.drawing() : []);
    this.menu.update(this.engine.menu(), this.engine.menuGroups ? this.engine.menuGroups() : []);
    this.edit.update({
      undo: this.engine.canUndo(),
      redo: this.engine.canRedo(),
      selectAll: paths.some((path) => !path.selected && this.selectable(path)),
      deselect: paths.some((path) => path.selected),
    });
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
    const cursor =
      warping && this.engine.cursor() === PLUGIN_CURSOR_ID ? this.images.cursor : warping ? 'crosshair' : 'default';
    $('document').style.cursor = this.navigation.panning || this.keyboard.spaceDown ? 'grab' : cursor;
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
    const uncopied = this.view.uncopiedCount();
    $('status-document').textContent =
      `${paths.length} path${paths.length === 1 ? '' : 's'}, ${segments} segments, ${selected} selected` +
      (undrawable > 0 ? `, ${undrawable} with points that cannot be drawn` : '') +
      (uncopied > 0
        ? `, ${uncopied} use${uncopied === 1 ? '' : 's'} too large to copy drawn as the file has ${uncopied === 1 ? 'it' : 'them'}`
        : '');
    $('status-zoom').textContent = `${formatZoom(this.view.zoom)}`;
    $('status-tool').textContent = this.tool.name;
  }

  // ---- worlds: sample art, SVG files, scenarios ----

  // A new world from an SVG file: its paths and shapes as host paths, all
  // selected, the plug-in started, the file drawn as it draws. Throws
  // (SvgImportError or the engine's Error) with nothing changed. A file
  // name makes the notice say it was opened; what was left out of the
  // drawing for safety is told either way. format is how the file was
  // stored (web/svg_file.js), for the export to store it so again.
  openSvg(text, fileName, format) {
    const model = new SvgDocument(text, fileName ?? DEFAULT_FILE_NAME, parseXml);
    model.format = format;
    const drawing = drawingOf(model.doc, model.drawnPathData);
    const paths = model.worldPaths();
    const world = {
      view: this.firstView(model, paths),
      host: HOST,
      paths,
      faults: [],
    };
    this.engine.newWorld(world);
    this.model = model;
    this.view.showFile(model, drawing);
    this.worldChanged();
    this.send({caller: 'SP Interface', selector: 'Startup'});
    if (fileName !== undefined) this.unsaved.track(fileName);
    else this.unsaved.forget();
    this.activate('slantWarper');
    this.repaint();
    const opened = fileName !== undefined ? `Opened ${fileName}.` : '';
    const omitted = drawing.omitted ? ` Left out for safety: ${drawing.omitted}.` : '';
    const flawed = [...model.flawedPaths.values()].map((path) => path.error);
    const drawnUpTo =
      flawed.length === 0
        ? ''
        : flawed.length === 1
          ? ` Drawn up to an error in its path data, as browsers draw it: ${flawed[0]}.`
          : ` ${flawed.length} paths drawn up to an error in their path data, as browsers draw them; the first: ${flawed[0]}.`;
    const moved = model.placedByCss.size;
    const nothing =
      paths.length === 0 && moved === 0
        ? ' It has no paths or shapes, so the slantWarper tool has nothing to stretch; all of it is drawn and kept.'
        : '';
    // Art CSS may move where the page cannot follow is no host path.
    const cssPlaced =
      moved > 0
        ? ` ${moved === 1 ? '1 path or shape is' : `${moved} paths and shapes are`} placed by CSS in a way the slantWarper tool cannot follow exactly, so ${moved === 1 ? 'it is' : 'they are'} drawn and kept but not stretched.`
        : '';
    // A clip path that cannot follow the art it clips may cut it off.
    const kept = model.clipsKept;
    const clipsKept =
      kept > 0
        ? ` ${kept === 1 ? '1 clip path stays' : `${kept} clip paths stay`} as the file has ${kept === 1 ? 'it' : 'them'}, so art ${kept === 1 ? 'it clips' : 'they clip'} may be cut off when stretched.`
        : '';
    // Locked art is never selected, so never stretched.
    const lockedCount = model.lockedCount;
    const locked =
      lockedCount > 0
        ? ` ${lockedCount === 1 ? '1 path or shape is' : `${lockedCount} paths and shapes are`} locked (or on a locked layer) and ${lockedCount === 1 ? 'is' : 'are'} left as ${lockedCount === 1 ? 'it is' : 'they are'}: never selected.`
        : '';
    // A selection that seems to be the whole picture stretches only its paths.
    const other = ['text', 'image'].filter((name) => model.unstretched.has(name));
    const unstretched =
      paths.length > 0 && other.length > 0
        ? ` The slantWarper tool stretches its paths and shapes, not its ${other.join(' or ').replace('image', 'images')}.`
        : '';
    // A notice about the document that was open before is no longer true.
    this.notice(
      `${opened}${nothing}${omitted}${drawnUpTo}${cssPlaced}${clipsKept}${locked}${unstretched}`.trim(),
      nothing || omitted || drawnUpTo || cssPlaced || clipsKept ? 'warning' : 'info',
    );
    return world;
  }

  // A scenario file's world and events, played. Throws with nothing changed.
  loadScenario(text) {
    this.engine.loadScenario(text);
    this.model = null;
    this.unsaved.forget();
    this.view.showFile(null, null);
    this.worldChanged();
    this.activate('slantWarper');
    this.repaint();
  }

  startSample() {
    this.openSvg(SAMPLE_SVG);
  }

  worldChanged() {
    $('status-pointer').textContent = '';
    // A gesture under way belonged to the world that is gone.
    for (const tool of Object.values(this.tools)) tool.forget();
    this.afterPress = [];
    this.alertsSeen = this.engine.alerts().length;
    this.navigation.reset(this.engine.view());
    this.log.clear();
  }

  // What Export SVG saves: the opened file written back with the host's
  // geometry, or for a scenario's world its paths as a new file.
  // {text, fileName, format, notice, kind}.
  exportSvg() {
    const paths = this.engine.paths();
    if (!this.model) {
      const {text, written, skipped} = exportSvg(paths, () => undefined);
      return {
        text,
        fileName: DEFAULT_FILE_NAME,
        kind: skipped > 0 ? 'warning' : 'info',
        notice:
          `Exported ${written} path${written === 1 ? '' : 's'}` +
          (skipped > 0 ? `; ${skipped} with points that are not finite numbers were left out.` : '.'),
      };
    }
    // The drawing brought up to date first: a shape drawn as a path, and art
    // whose neighbours changed, carry the paint they showed
    // (web/shape_style.js), which the export writes.
    this.view.render(paths);
    const {text, written, skipped} = exportDocument(
      this.model,
      paths,
      (index) => this.view.art.carriedStyle(index),
      (serial) => this.view.art.keptStyle(serial),
    );
    const name = this.model.fileName;
    const unseen = written > 0 && holdsIllustratorCopy(this.model);
    return {
      text,
      fileName: name,
      format: this.model.format,
      kind: skipped > 0 || unseen ? 'warning' : 'info',
      notice:
        `Exported ${name}: ${written} element${written === 1 ? '' : 's'} with new geometry, everything else as the file has it` +
        (skipped > 0 ? `; ${skipped} whose points cannot be written keep the file's geometry.` : '.') +
        (unseen
          ? ' Illustrator reopens this file from its own copy of the drawing, saved in it with its editing' +
            ' capabilities, so it will not show the change; browsers and other programs will.'
          : ''),
    };
  }

  scenario() {
    return this.engine.scenario();
  }

  // A file's first view: its canvas, where the file states one, and all its
  // path art, as a drawing program opens a file on its page (a page that
  // holds all the art may fill the view but for a margin in which its edge
  // shows); else the path art alone, or with none the canvas.
  firstView(model, paths) {
    const art = artworkBounds(paths);
    const canvas = canvasBounds(model);
    if (art && model.canvasStated && canvas.every((v) => Math.abs(v) <= FITTED_LIMIT)) {
      const both = [0, 1]
        .map((i) => Math.min(art[i], canvas[i]))
        .concat([2, 3].map((i) => Math.max(art[i], canvas[i])));
      const onPage = both.every((v, i) => v === canvas[i]);
      return this.navigation.fitted(both, onPage ? {share: 1, margin: PAGE_MARGIN} : {});
    }
    return this.navigation.fitted(art ?? canvas);
  }

  // Fits the selection, or all paths, or with none the file's canvas.
  fit() {
    this.navigation.fit(this.engine.paths(), this.model && canvasBounds(this.model));
  }

  // ---- selection and tools ----

  // Selects the host paths at `places`, but locked art, which is never
  // selected.
  select(places) {
    const paths = this.engine.paths();
    const open = [...places].filter((place) => this.selectable(paths[place]));
    this.engine.setSelected(open.sort((a, b) => a - b));
    this.scheduleRepaint();
  }

  selectable(path) {
    return !this.model?.lockedPath(path.name);
  }

  activate(name) {
    if (this.tool.name === name) return;
    this.tool.cancel();
    this.tool = this.tools[name];
    for (const button of document.querySelectorAll('.tool')) {
      button.setAttribute('aria-pressed', String(button.dataset.tool === name));
    }
    const hovering = this.pointer.hovering;
    if (name === 'slantWarper' && hovering) this.tool.trackCursor(this.view.artworkPoint(hovering.x, hovering.y));
    this.scheduleRepaint();
  }

  // Shift (the key's or the palette's) pressed or released during a
  // slantWarper drag stretches the other way at once, and the status bar
  // says so.
  shiftChanged(shift) {
    if (this.tool !== this.tools.slantWarper) return;
    this.tool.shiftChanged(shift);
    if (this.tool.dragging) this.showPointer({point: this.tool.last, shift});
  }

  // The status bar's readout of the pointer (web/pointer_readout.js), with
  // the stretch during a slantWarper drag.
  showPointer({point, shift}) {
    const tool = this.tool;
    const dragStart = tool === this.tools.slantWarper && tool.dragging ? tool.start : null;
    $('status-pointer').textContent = pointerReadout(point, {
      toFile: this.model?.fileFromArtwork ?? null,
      dragStart,
      shift,
    });
  }

  // Escape, or a second finger that makes a pinch, during a press of the
  // tool: a slantWarper drag ends where it began, which the plug-in takes as
  // a click and undoes, so the art is as it was and no step is left; a
  // click or marquee of the selection tool ends selecting nothing. The rest
  // of the pointer's moves and its release do nothing. What waited for the
  // press's end is done now.
  abortPress() {
    if (!this.tool.busy) return;
    this.tool.abort();
    this.pressEnded();
  }

  // Runs fn now or, while a press of the tool or a pan is under way, at its
  // end, in the order asked: an undo in the middle of a drag would split
  // the press, its drag and its release into more than one step, and an
  // export would write the plug-in's copies of the art, made for the drag,
  // beside the art.
  whenReleased(fn) {
    if (this.tool.busy || this.navigation.panning) this.afterPress.push(fn);
    else fn();
  }

  // A press or a pan ended: what waited for it (an undo, an export) is done.
  pressEnded() {
    const waiting = this.afterPress;
    this.afterPress = [];
    for (const fn of waiting) fn();
  }

  chooseMenuItem(text) {
    this.send({caller: 'AI Menu', selector: 'AI Go', item: text});
  }

  // An Edit command: undo or redo a step of the host's document (a host
  // action), or select every path or none.
  editDocument(command) {
    if (command === 'selectAll' || command === 'deselect') {
      this.select(command === 'deselect' ? [] : this.engine.paths().map((_, index) => index));
      return;
    }
    if (!(command === 'undo' ? this.engine.canUndo() : this.engine.canRedo())) {
      this.notice(`Nothing to ${command}.`, 'info');
      return;
    }
    this.navigation.commit();
    if (command === 'undo') this.engine.undo();
    else this.engine.redo();
    this.unsaved.showState();
    this.scheduleRepaint();
  }

  // ---- the palette ----

  setUpPalette() {
    $('tool-slantwarper-icon').src = this.images.icon;
    for (const button of document.querySelectorAll('.tool')) {
      button.addEventListener('click', () => this.guard(() => this.activate(button.dataset.tool)));
    }
    $('zoom-in').addEventListener('click', () => this.guard(() => this.navigation.zoomAbout(null, 1.25)));
    $('zoom-out').addEventListener('click', () => this.guard(() => this.navigation.zoomAbout(null, 0.8)));
    $('zoom-fit').addEventListener('click', () => this.guard(() => this.fit()));
    $('shift-latch').addEventListener('click', () => this.guard(() => this.latchShift(!this.shiftLatched)));
    $('alert-ok').addEventListener('click', () => $('alert').close());
  }

  // The palette's Shift on or off; a drag under way follows at once, as it
  // follows the Shift key.
  latchShift(on) {
    this.shiftLatched = on;
    $('shift-latch').setAttribute('aria-pressed', String(on));
    this.shiftChanged(on);
  }

  // ---- messages to the person ----

  notice(text, kind = 'info') {
    this.notices.show(text, kind);
  }

  guard(fn) {
    return this.notices.guard(fn);
  }
}

// The file's canvas as an artwork rectangle [left, bottom, right, top].
function canvasBounds(model) {
  const [x, y, width, height] = model.canvas;
  return [x, -(y + height), x + width, -y];
}

function formatZoom(zoom) {
  return `${Math.round(zoom * 1000) / 10} %`;
}

export {App};
