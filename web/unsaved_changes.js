// A person's own file, changed and not exported since, is work the page
// never drops without asking: leaving the page has the browser ask first,
// and opening another file or scenario over it asks whether to export it.
// The document counts as changed when its host geometry differs from what
// was opened or last exported, so a drag undone again needs no export. The
// sample art and a scenario's world are nobody's file: nothing is asked.
// The page's title names the person's file, marked while it has such changes.

const PAGE_TITLE = 'slantWarper';

export class UnsavedChanges {
  // dialog: a <dialog> holding #unsaved-text and a form whose buttons'
  // values are 'export', 'discard' and 'cancel'; mark(): the document's
  // geometryMark now.
  constructor(dialog, mark) {
    this.dialog = dialog;
    this.text = dialog.querySelector('#unsaved-text');
    this.mark = mark;
    this.fileName = null; // the person's file, or null when there is none
    this.savedMark = '';
    window.addEventListener('beforeunload', (event) => {
      if (this.pending()) event.preventDefault();
    });
  }

  // The document is now the person's file `fileName` as it was read.
  track(fileName) {
    this.fileName = fileName;
    this.savedMark = this.mark();
    this.showState();
  }

  // The document is nobody's file.
  forget() {
    this.fileName = null;
    this.showState();
  }

  // The person's file was written with the geometry whose mark this is.
  exported(mark) {
    this.savedMark = mark;
    this.showState();
  }

  // Puts the file's name and state in the page's title. The check reads
  // every segment, so it is asked for when a gesture or an edit ends, not
  // at every drag event.
  showState() {
    document.title =
      this.fileName === null ? PAGE_TITLE : `${this.pending() ? '\u25cf ' : ''}${this.fileName} \u2013 ${PAGE_TITLE}`;
  }

  // Whether the person's file has changes no export holds; when the
  // document cannot be read (the engine failed), it is taken to have some.
  pending() {
    if (this.fileName === null) return false;
    try {
      return this.mark() !== this.savedMark;
    } catch {
      return true;
    }
  }

  // Asks what to do before `other` replaces the changed document: resolves to
  // 'export' (export it, then open), 'discard' or 'cancel' (Escape too).
  ask(other) {
    this.text.textContent = `${this.fileName} has changes that are not exported. Opening ${other} replaces the drawing.`;
    this.dialog.returnValue = '';
    this.dialog.showModal();
    return new Promise((resolve) => {
      this.dialog.addEventListener('close', () => resolve(this.dialog.returnValue || 'cancel'), {once: true});
    });
  }
}

// A fingerprint of what an export writes: every path's name, closedness and
// segment bits, in paint order (64 bits from two independent hashes, as hex).
export function geometryMark(paths) {
  let a = 0x811c9dc5;
  let b = 0x9747b28c;
  const mix = (word) => {
    a = Math.imul(a ^ word, 0x01000193);
    b = Math.imul(b ^ word, 0x5bd1e995);
    b ^= b >>> 13;
  };
  mix(paths.length);
  for (const {name, closed, segments} of paths) {
    mix(name.length);
    for (let i = 0; i < name.length; i++) mix(name.charCodeAt(i));
    mix(closed ? 1 : 0);
    mix(segments.length);
    const bits = new Uint32Array(segments.buffer, segments.byteOffset, segments.length);
    for (let i = 0; i < bits.length; i++) mix(bits[i]);
  }
  return (a >>> 0).toString(16).padStart(8, '0') + (b >>> 0).toString(16).padStart(8, '0');
}
