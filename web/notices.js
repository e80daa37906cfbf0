// The page's notices, in one place: the line at the top of the page that
// tells the person what happened. Information fades after a few seconds;
// warnings and errors stay until closed or replaced. Anything the page's
// own code throws, and any failure it did not catch, becomes a notice too,
// never a console error. A screen reader is told each notice through live
// regions that are always on the page (one that appears with its words is
// often not announced): information politely, warnings and errors at once.
const INFO_SECONDS = 6;
const GRAVITY = ['info', 'progress', 'warning', 'error'];

export class Notices {
  // box: the notice element; text: where its words go; close: its button;
  // spoken: {status, alert}, the live regions (role status and alert).
  constructor(box, text, close, spoken) {
    this.box = box;
    this.text = text;
    this.spoken = spoken;
    this.timer = 0;
    close.addEventListener('click', () => this.show(''));
    window.addEventListener('error', (event) => this.unexpected(event, event.error ?? event.message));
    window.addEventListener('unhandledrejection', (event) => this.unexpected(event, event.reason));
  }

  // kind: 'info', 'progress' (stays until replaced), 'warning' or 'error';
  // '' hides the notice.
  show(text, kind = 'info') {
    this.text.textContent = text;
    this.box.dataset.kind = kind;
    this.box.hidden = text === '';
    // Emptied as the notice goes (which is not read out), so the same
    // words told again are a change again.
    const urgent = kind === 'warning' || kind === 'error';
    this.spoken.alert.textContent = urgent ? text : '';
    this.spoken.status.textContent = urgent ? '' : text;
    clearTimeout(this.timer);
    if (kind === 'info' && text !== '') this.timer = setTimeout(() => this.show(''), INFO_SECONDS * 1000);
  }

  // Tells `text` (of `kind`) before what the notice says now, as the graver
  // of the two kinds: when one action does two things, both stay told.
  prepend(text, kind = 'info') {
    const now = this.box.hidden ? {text: '', kind: 'info'} : {text: this.text.textContent, kind: this.box.dataset.kind};
    this.show(`${text} ${now.text}`.trim(), GRAVITY.indexOf(kind) > GRAVITY.indexOf(now.kind) ? kind : now.kind);
  }

  // Runs fn; anything it throws, or its promise rejects with, becomes a notice.
  guard(fn) {
    const failed = (error) => {
      this.show(`That did not work, nothing was lost: ${messageOf(error)}`, 'error');
      return undefined;
    };
    try {
      const result = fn();
      return result instanceof Promise ? result.catch(failed) : result;
    } catch (error) {
      return failed(error);
    }
  }

  unexpected(event, error) {
    event.preventDefault();
    this.show(`Something went wrong: ${messageOf(error)}`, 'error');
  }
}

export function messageOf(error) {
  return error && error.message ? error.message : String(error);
}
