// Files in and out: Open SVG and Open scenario (buttons, Ctrl+O, or a file
// dropped on the page), Export SVG and Save scenario as downloads. Opening
// reads the file and hands its text to the app, which refuses a bad one
// with the document as it was; the person is told either way. An SVG file
// is exported stored as it was opened (web/svg_file.js).
import {encodeSvgFile, readSvgFile} from './svg_file.js';

const MAX_SCENARIO_BYTES = 16 << 20; // the largest scenario file slantwarper-host reads
const $ = (id) => document.getElementById(id);

export class Files {
  // app: {openSvg(text, fileName, format), loadScenario(text), exportSvg() ->
  // {text, fileName, format, notice, kind}, scenario()}; notices: web/notices.js.
  constructor(app, notices) {
    this.app = app;
    this.notices = notices;
    $('open-svg').addEventListener('click', () => this.chooseSvg());
    $('open-scenario').addEventListener('click', () => $('open-scenario-input').click());
    $('open-svg-input').addEventListener('change', (event) => this.openFrom(event.target, 'svg'));
    $('open-scenario-input').addEventListener('change', (event) => this.openFrom(event.target, 'scenario'));
    $('export-svg').addEventListener('click', () => notices.guard(() => this.exportSvg()));
    $('save-scenario').addEventListener('click', () => notices.guard(() => this.saveScenario()));
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
  }

  async exportSvg() {
    const {text, fileName, format, notice, kind} = this.app.exportSvg();
    const {bytes, rewritten} = await encodeSvgFile(text, format);
    download(fileName, new Blob([bytes], {type: format?.gzip ? 'application/gzip' : 'image/svg+xml'}));
    if (rewritten) {
      this.notices.show(
        `${notice} Written in UTF-8: this page cannot write the file's encoding, ${rewritten}.`,
        'warning',
      );
    } else {
      this.notices.show(notice, kind);
    }
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
