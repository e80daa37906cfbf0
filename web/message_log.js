// The message log: each message the page sent the plug-in, its result and
// how many host calls it made. Entries are drawn once per frame, and only the
// latest ones are kept on the page, so a long drag costs the log no more
// than a few elements.

const KEPT = 200;

export class MessageLog {
  constructor(list, counter) {
    this.list = list;
    this.counter = counter;
    this.pending = [];
    this.total = 0;
    this.scheduled = false;
  }

  // entry: {caller, selector, point?, shift?, item?, result, hostCalls}
  add(entry) {
    this.pending.push(entry);
    this.total++;
    if (this.pending.length > KEPT) this.pending.splice(0, this.pending.length - KEPT);
    if (!this.scheduled) {
      this.scheduled = true;
      requestAnimationFrame(() => this.flush());
    }
  }

  clear() {
    this.pending = [];
    this.total = 0;
    this.list.replaceChildren();
    this.counter.textContent = '0';
  }

  flush() {
    this.scheduled = false;
    const rows = this.pending.map(row);
    this.pending = [];
    this.list.append(...rows);
    while (this.list.childElementCount > KEPT) this.list.firstElementChild.remove();
    this.counter.textContent = String(this.total);
    this.list.scrollTop = this.list.scrollHeight;
  }
}

function row(entry) {
  const item = document.createElement('li');
  item.className = entry.result === 0 ? 'ok' : 'failed';
  const what = [`${entry.caller} / ${entry.selector}`];
  if (entry.point) what.push(`(${entry.point.map((v) => round(v)).join(', ')})`);
  if (entry.shift) what.push('Shift');
  if (entry.item !== undefined) what.push(`"${entry.item}"`);
  const message = document.createElement('span');
  message.className = 'message';
  message.textContent = what.join(' ');
  const result = document.createElement('span');
  result.className = 'result';
  result.textContent = `${resultText(entry.result)} · ${entry.hostCalls} call${entry.hostCalls === 1 ? '' : 's'}`;
  item.append(message, result);
  return item;
}

function round(value) {
  return Number.isFinite(value) ? String(Math.round(value * 100) / 100) : String(value);
}

// 0, or the code as a number with its four characters when it spells some,
// as the plug-in's own codes do ('!ini', '!mem').
export function resultText(code) {
  if (code === 0) return '0';
  const chars = [24, 16, 8, 0].map((shift) => (code >>> shift) & 0xff);
  const printable = chars.every((c) => c >= 0x20 && c < 0x7f);
  return printable ? `${code} '${String.fromCharCode(...chars)}'` : String(code);
}
