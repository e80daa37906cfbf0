// Files in and out: Open SVG and Open scenario (buttons, Ctrl+O, or a file
// dropped on the page), Export SVG and Save scenario as downloads. Opening
// reads the file and hands its text to the app, which refuses a bad one
// with the document as it was; the person is told either way. An SVG file
// is exported stored as it was opened (web/svg_file.js). Opening over a
// person's file with changes no export holds asks first
// (web/unsaved_changes.js).
import {encodeSvgFile, readSvgFile} from './svg_file.js';
import {messageOf} from './notices.js';

const MAX_SCENARIO_BYTES = 16 << 20; // the largest scenario file slantwarper-host reads
// A file this large takes the page a second or more to open (an 11 MB deck
// of cards about five), all of it without a paint: the person is told first.
const SLOW_OPEN_BYTES = 1 << 20;
const $ = (id) => document.getElementById(id);

export class Files {
  // app: {openSvg(text, fileName, format), loadScenario(text), exportSvg() ->
  // {text, fileName, format, notice, kind}, scenario(), whenReleased(fn):
  // fn now or at the end of the tool's press under way}; notices:
  // web/notices.js; unsaved: web/unsaved_changes.js.
  constructor(app, notices, unsaved) {
    this.app = app;
    this.notices = notices;
    this.unsaved = unsaved;
    $('open-svg').addEventListener('click', () => this.chooseSvg());
    $('open-scenario').addEventListener('click', () => $('open-scenario-input').click());
    $('open-svg-input').addEventListener('change', (event) => this.openFrom(event.target, 'svg'));
    $('open-scenario-input').addEventListener('change', (event) => this.openFrom(event.target, 'scenario'));
    $('export-svg').addEventListener('click', () => app.whenReleased(() => this.exportSvg()));
    $('save-scenario').addEventListener('click', () => notices.guard(() => this.saveScenario()));
    // A file dropped anywhere on the page opens in it: left to the browser,
    // a drop on the menu bar or the status bar would open the file in the
    // page's place.
    const main = $('workspace');
    window.addEventListener('dragover', (event) => {
      event.preventDefault();
      main.classList.add('dropping');
    });
    window.addEventListener('dragleave', (event) => {
      if (event.relatedTarget === null) main.classList.remove('dropping');
    });
    window.addEventListener('drop', (event) => {
      event.preventDefault();
      main.classList.remove('dropping');
      // While the page asks something, the answer comes first.
      if (document.querySelector('dialog[open]')) return;
      const file = event.dataTransfer.files[0];
      if (!file) {
        notices.show('Drop an SVG file (or a scenario .json) here to open it.', 'warning');
        return;
      }
      this.open(file, /\.json$/i.test(file.name) ? 'scenario' : 'svg');
    });
  }

  chooseSvg() {
    $('open-svg-input').click();
  }

  openFrom(input, kind) {
    const file = input.files[0];
    input.value = '';
    if (file) this.open(file, kind);
  }

  async open(file, kind) {
    let text, format;
    try {
      ({text, format} = kind === 'svg' ? await readSvgFile(file) : {text: await file.text()});
    } catch (error) {
      const refused = error.name === 'SvgImportError';
      this.notices.show(
        refused
          ? `${file.name} was not opened, the document is as it was: ${error.message}`
          : `${file.name} could not be read: ${error.message}`,
        'error',
      );
      return;
    }
    const exported = await this.mayReplace(file.name);
    if (exported === false) return;
    if (file.size >= SLOW_OPEN_BYTES) {
      this.notices.show(`Opening ${file.name} (${(file.size / 2 ** 20).toFixed(1)} MiB)\u2026`, 'progress');
      await painted();
    }
    try {
      if (kind === 'svg') {
        this.app.openSvg(text, file.name, format);
      } else {
        this.app.loadScenario(text);
        this.notices.show(`Opened ${file.name}.`, 'info');
      }
    } catch (error) {
      this.notices.show(`${file.name} was not opened, the document is as it was: ${error.message}`, 'error');
    }
    if (exported) this.notices.prepend(exported.text, exported.kind);
  }

  // Whether the document may give way to the file `name`: at once unless the
  // person's file has changes no export holds, else as the person chooses,
  // exporting first if they ask. False when it may not (a refusal is told),
  // else the notice of the export made first, or null.
  async mayReplace(name) {
    if (!this.unsaved.pending()) return null;
    const choice = await this.unsaved.ask(name);
    if (choice === 'discard') return null;
    const exported = choice === 'export' ? await this.exportSvg() : null;
    if (exported) return exported;
    this.notices.show(
      `${name} was not opened; your changes to ${this.unsaved.fileName} are kept` +
        (choice === 'export' ? ', and were not exported.' : '.'),
      choice === 'export' ? 'error' : 'info',
    );
    return false;
  }

  // Export SVG: downloads the document; its notice ({text, kind}) once the
  // download is handed to the browser, null (with the failure told)
  // otherwise.
  async exportSvg() {
    try {
      return await this.download();
    } catch (error) {
      this.notices.show(`The export did not work, nothing was lost: ${messageOf(error)}`, 'error');
      return null;
    }
  }

  async download() {
    const {text, fileName, format, notice, kind} = this.app.exportSvg();
    // The geometry just written, marked before anything can change it.
    const mark = this.unsaved.mark();
    const {bytes, rewritten} = await encodeSvgFile(text, format);
    download(fileName, new Blob([bytes], {type: format?.gzip ? 'application/gzip' : 'image/svg+xml'}));
    this.unsaved.exported(mark);
    const told = rewritten
      ? {text: `${notice} Written in UTF-8: this page cannot write the file's encoding, ${rewritten}.`, kind: 'warning'}
      : {text: notice, kind};
    this.notices.show(told.text, told.kind);
    return told;
  }

  saveScenario() {
    const file = new Blob([this.app.scenario()], {type: 'application/json'});
    download('slantwarper-session.json', file);
    if (file.size > MAX_SCENARIO_BYTES) {
      this.notices.show(
        `Saved the session as a scenario file of ${(file.size / 2 ** 20).toFixed(1)} MiB; ` +
          `slantwarper-host reads files of at most ${MAX_SCENARIO_BYTES / 2 ** 20} MiB, so it cannot replay this one.`,
        'warning',
      );
    } else {
      this.notices.show('Saved the session as a scenario file.', 'info');
    }
  }
}

// Resolves once the page has painted what it shows now.
function painted() {
  return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
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
