// Fuzzes the page's SVG importer (web/svg_import.js) under node, with
// @xmldom/xmldom as the XML parser: SVG text generated from a grammar of every
// shape, path command, transform and paint the importer reads, with huge,
// tiny, non-finite and garbage numbers, and text mutated from the committed
// corpus (tests/fuzz/svg_corpus). Every input must end in one of two ways:
//  - an SvgImportError with a clear message: one line, not empty, not the
//    importer's catch-all for an error it did not expect;
//  - a canvas of four finite numbers, its width and height not negative,
//    and paths (none for a file with no path art), each named, with
//    1..32767 segments of six finite float32 numbers, paint as strings and
//    a finite float32 stroke width;
// never another exception, and never more than --timeout seconds (the input
// runs in a worker thread that is stopped when its time is up). A failing
// input is written to the artifacts directory and printed; the run goes on.
// The slowest input of the run is written there too (slowest.svg), so that
// a slow import can be looked at, not guessed.
//
//   node tests/fuzz/fuzz_svg_import.mjs [--seconds S | --runs N] [--timeout S]
//        [--seed N] [--artifacts DIR] [--module PATH] [--kinds] [FILE...]
//
// With files, replays just those. --module imports another importer than
// ../../web/svg_import.js; the XML parser is resolved from where the
// importer lives. --kinds lists the commonest refusals (numbers, names and
// quoted text shown as _). Exits 1 if any input failed.
import {Worker, isMainThread, parentPort, workerData} from 'node:worker_threads';
import {createRequire} from 'node:module';
import {fileURLToPath, pathToFileURL} from 'node:url';
import fs from 'node:fs';
import path from 'node:path';
import crypto from 'node:crypto';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const DEFAULT_MODULE = path.join(HERE, '..', '..', 'web', 'svg_import.js');
const CATCH_ALL = 'cannot read this SVG file:';
const MAX_SEGMENTS = 32767;
const MAX_MESSAGE = 1000;

// --- the worker: imports one input at a time and checks the outcome --------

async function serve() {
  const modulePath = workerData.module;
  const {importSvg, SvgImportError} = await import(pathToFileURL(modulePath).href);
  const {DOMParser} = createRequire(modulePath)('@xmldom/xmldom');
  const svgpath = createRequire(modulePath)('svgpath');
  // As the node tests pass it: errors are thrown, warnings are not.
  const strict = (text) =>
    new DOMParser({
      onError: (level, message) => {
        if (level !== 'warning') throw new Error(message);
      },
    }).parseFromString(text, 'image/svg+xml');
  // As a parser that recovers what it can, like a browser's DOMParser.
  const lenient = (text) => new DOMParser({onError: () => {}}).parseFromString(text, 'image/svg+xml');
  parentPort.on('message', ({text, parser}) => {
    parentPort.postMessage(outcome(importSvg, SvgImportError, svgpath, text, parser === 'strict' ? strict : lenient));
  });
  parentPort.postMessage({ready: true});
}

function outcome(importSvg, SvgImportError, svgpath, text, parseXml) {
  let result;
  try {
    result = importSvg(text, parseXml);
  } catch (error) {
    if (!(error instanceof SvgImportError)) {
      return {failure: `threw ${error?.constructor?.name ?? typeof error}: ${String(error?.message ?? error)}`};
    }
    const message = error.message;
    if (typeof message !== 'string' || message.trim() === '') return {failure: 'refused without a message'};
    if (/[\r\n]/.test(message)) return {failure: `refused with more than one line: ${JSON.stringify(message)}`};
    if (message.length > MAX_MESSAGE) return {failure: `refused with a message of ${message.length} characters`};
    if (message.startsWith(CATCH_ALL)) return {failure: `an unexpected error behind the refusal: ${message}`};
    return {refused: message.replace(/"[^"]*"|<[^>]*>|-?\d[\d.e+-]*/g, '_')};
  }
  const problem = checkPaths(result) ?? checkFlawed(result, svgpath);
  if (problem) return {failure: problem};
  return {paths: result.paths.length, segments: result.paths.reduce((n, p) => n + p.segments.length, 0)};
}

function isFloat32(value) {
  return typeof value === 'number' && Number.isFinite(value) && Math.fround(value) === value;
}

function checkPaths(result) {
  if (!result || !Array.isArray(result.paths)) return 'no paths array in the result';
  const canvas = result.canvas;
  if (!Array.isArray(canvas) || canvas.length !== 4 || !canvas.every(Number.isFinite)) {
    return `a canvas that is not four finite numbers: ${JSON.stringify(canvas)}`;
  }
  if (canvas[2] < 0 || canvas[3] < 0) return `a canvas of negative size: ${JSON.stringify(canvas)}`;
  for (const [index, p] of result.paths.entries()) {
    const where = `path ${index}`;
    if (typeof p.name !== 'string') return `${where}: the name is not a string`;
    if (typeof p.closed !== 'boolean') return `${where}: closed is not a boolean`;
    if (!Array.isArray(p.segments) || p.segments.length < 1 || p.segments.length > MAX_SEGMENTS) {
      return `${where}: ${p.segments?.length} segments`;
    }
    for (const [i, segment] of p.segments.entries()) {
      if (!Array.isArray(segment) || segment.length !== 6 || !segment.every(isFloat32)) {
        return `${where}, segment ${i}: not six finite float32 numbers: ${JSON.stringify(segment)}`;
      }
    }
    if (typeof p.fill !== 'string' || typeof p.stroke !== 'string') return `${where}: paint is not a string`;
    if (!isFloat32(p.strokeWidth)) return `${where}: stroke width ${p.strokeWidth}`;
  }
  return null;
}

// Each path whose data has an error is named in one line, and what is drawn
// of it is path data without an error or a number ending in its point,
// which a browser draws without a warning.
function checkFlawed(result, svgpath) {
  const drawable = (data) =>
    typeof data === 'string' && (data === '' || (!svgpath(data).err && !/\d\.(?!\d)/.test(data)));
  for (const {error, drawn} of (result.flawedPaths ?? new Map()).values()) {
    if (typeof error !== 'string' || error === '' || /[\r\n]/.test(error)) {
      return `a path data error named as ${JSON.stringify(error)}`;
    }
    if (!drawable(drawn)) return `drawn path data with an error of its own: ${JSON.stringify(drawn).slice(0, 200)}`;
  }
  return null;
}

// --- the main thread: inputs, time limits, figures ---------------------------

function options(argv) {
  const o = {
    seconds: 0,
    runs: 0,
    timeout: 5,
    seed: Date.now() % 2 ** 31,
    artifacts: '',
    module: DEFAULT_MODULE,
    files: [],
  };
  for (let i = 0; i < argv.length; ++i) {
    const flag = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${flag} needs a value`);
      return argv[++i];
    };
    if (flag === '--seconds') o.seconds = Number(value());
    else if (flag === '--runs') o.runs = Number(value());
    else if (flag === '--timeout') o.timeout = Number(value());
    else if (flag === '--seed') o.seed = Number(value());
    else if (flag === '--artifacts') o.artifacts = value();
    else if (flag === '--module') o.module = path.resolve(value());
    else if (flag === '--kinds') o.kinds = true;
    else if (flag.startsWith('--')) throw new Error(`unknown option ${flag}`);
    else o.files.push(flag);
  }
  if (!o.files.length && !o.seconds && !o.runs) o.seconds = 60;
  return o;
}

// One worker, restarted when an input outlives its time.
class Runner {
  constructor(modulePath, timeoutSeconds) {
    this.modulePath = modulePath;
    this.timeoutMs = timeoutSeconds * 1000;
  }

  async start() {
    this.worker = new Worker(fileURLToPath(import.meta.url), {workerData: {module: this.modulePath}});
    await new Promise((resolve, reject) => {
      this.worker.once('message', resolve);
      this.worker.once('error', reject);
    });
  }

  async run(text, parser) {
    const started = process.hrtime.bigint();
    const answer = await new Promise((resolve) => {
      const timer = setTimeout(() => resolve({timedOut: true}), this.timeoutMs);
      const done = (value) => {
        clearTimeout(timer);
        this.worker.off('message', onMessage);
        this.worker.off('error', onError);
        resolve(value);
      };
      const onMessage = (value) => done(value);
      const onError = (error) => done({failure: `the worker died: ${error?.message ?? error}`, died: true});
      this.worker.on('message', onMessage);
      this.worker.on('error', onError);
      this.worker.postMessage({text, parser});
    });
    const ms = Number(process.hrtime.bigint() - started) / 1e6;
    if (answer.timedOut || answer.died) {
      await this.worker.terminate();
      await this.start();
      if (answer.timedOut) return {failure: `took more than ${this.timeoutMs / 1000} s`, ms};
    }
    return {...answer, ms};
  }

  stop() {
    return this.worker.terminate();
  }
}

async function main() {
  let o;
  try {
    o = options(process.argv.slice(2));
  } catch (error) {
    console.error(`fuzz_svg_import: ${error.message}`);
    process.exit(2);
  }
  const runner = new Runner(o.module, o.timeout);
  await runner.start();
  const corpusDir = path.join(HERE, 'svg_corpus');
  const corpus = fs
    .readdirSync(corpusDir)
    .sort()
    .map((name) => fs.readFileSync(path.join(corpusDir, name), 'utf8'));
  const random = generator(o.seed);
  const tally = {runs: 0, accepted: 0, refused: 0, failures: 0, slowestMs: 0, kinds: new Map(), segments: 0};
  let slowest = '';

  const check = async (text, parser, label) => {
    const result = await runner.run(text, parser);
    ++tally.runs;
    if (result.ms > tally.slowestMs) {
      tally.slowestMs = result.ms;
      slowest = text;
    }
    if (result.failure) {
      ++tally.failures;
      const name = `svg-${crypto.createHash('sha1').update(text).digest('hex').slice(0, 16)}.svg`;
      if (o.artifacts) {
        fs.mkdirSync(o.artifacts, {recursive: true});
        fs.writeFileSync(path.join(o.artifacts, name), text);
      }
      console.log(`FAILURE (${label}, ${parser} parser): ${result.failure.slice(0, 400)}`);
      console.log(`  input ${name} (${text.length} characters): ${JSON.stringify(text.slice(0, 300))}`);
    } else if (result.refused !== undefined) {
      ++tally.refused;
      tally.kinds.set(result.refused, (tally.kinds.get(result.refused) ?? 0) + 1);
    } else {
      ++tally.accepted;
      tally.segments += result.segments;
    }
  };

  const started = Date.now();
  if (o.files.length) {
    for (const file of o.files) {
      const text = fs.readFileSync(file, 'utf8');
      for (const parser of ['strict', 'lenient']) await check(text, parser, file);
    }
  } else {
    for (const [i, text] of corpus.entries()) {
      for (const parser of ['strict', 'lenient']) await check(text, parser, `corpus ${i}`);
    }
    const deadline = started + o.seconds * 1000;
    while (o.runs ? tally.runs < o.runs : Date.now() < deadline) {
      const fresh = random.chance(0.5);
      const text = fresh ? generate(random) : mutate(random, corpus);
      await check(text, random.below(2) ? 'strict' : 'lenient', fresh ? 'generated' : 'mutated');
    }
  }
  await runner.stop();
  if (o.artifacts && tally.runs) {
    fs.mkdirSync(o.artifacts, {recursive: true});
    fs.writeFileSync(path.join(o.artifacts, 'slowest.svg'), slowest);
  }
  const seconds = ((Date.now() - started) / 1000).toFixed(0);
  console.log(
    `svg_import: ${tally.runs} executions in ${seconds} s (seed ${o.seed}): ${tally.accepted} imported ` +
      `(${tally.segments} segments), ${tally.refused} refused (${tally.kinds.size} kinds of refusal), ` +
      `slowest input ${(tally.slowestMs / 1000).toFixed(2)} s, ${tally.failures} failures`,
  );
  if (o.kinds) {
    const common = [...tally.kinds].sort((a, b) => b[1] - a[1]).slice(0, 20);
    for (const [kind, count] of common) console.log(`${String(count).padStart(8)}  ${kind}`);
  }
  process.exit(tally.failures ? 1 : 0);
}

// --- inputs ------------------------------------------------------------------

// A small deterministic generator (mulberry32), so a seed replays a run.
function generator(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
  };
  const below = (n) => Math.floor(next() * n);
  return {next, below, pick: (list) => list[below(list.length)], chance: (p) => next() < p};
}

const HUGE = ['1e39', '-1e39', '3.4028235e38', '3.40282357e38', '-3.5e38', '1e308', '1.8e308', '1e400', '9'.repeat(60)];
const TINY = ['1e-46', '-1e-320', '0.0000001', '-0', '+0', '.0', '0.', '1e-400'];
const GARBAGE = [
  'NaN',
  'nan',
  'Infinity',
  '-Infinity',
  'inf',
  '1e',
  '1e+',
  '--1',
  '+-2',
  '.',
  '..5',
  '1.2.3',
  '0x1F',
  '1,,2',
  '١٢',
  '1_000',
  '',
  ' ',
  '1e9999999999',
  'e5',
  '5%',
  '2em',
  '-.e-',
  '\u00a0',
];

// Mostly plain numbers; within an input, awkward ones at the input's rate
// (r.awkward), so that some inputs get through and others do not.
function number(r) {
  if (r.chance(r.awkward ?? 0.05)) {
    const roll = r.below(4);
    if (roll === 0) return r.pick(HUGE);
    if (roll === 1) return r.pick(TINY);
    if (roll === 2) return r.pick(GARBAGE);
    return (r.next() * 2e6 - 1e6).toExponential(r.below(8));
  }
  if (r.chance(0.4)) return String(r.below(400) - 200);
  return (r.next() * 400 - 200).toFixed(r.below(5));
}

function numbers(r, n, separator = () => r.pick([' ', ',', ', ', '\n', '  ', ''])) {
  let out = '';
  for (let i = 0; i < n; ++i) out += (i ? separator() : '') + number(r);
  return out;
}

// Arguments per path command; arcs take flags, which may be packed.
const COMMANDS = {M: 2, L: 2, H: 1, V: 1, C: 6, S: 4, Q: 4, T: 2, A: 7, Z: 0};

function pathData(r) {
  let d = '';
  const count = r.chance(0.02) ? 2000 + r.below(40000) : 1 + r.below(16);
  for (let i = 0; i < count; ++i) {
    let letter = r.chance(0.9) ? r.pick(Object.keys(COMMANDS)) : r.pick(['B', 'x', '#', '', '-', 'e']);
    const arity = COMMANDS[letter.toUpperCase()] ?? r.below(4);
    if (r.chance(0.5)) letter = letter.toLowerCase();
    const sets = r.chance(0.1) ? 2 + r.below(3) : 1;
    let args = '';
    for (let s = 0; s < sets; ++s) {
      if (letter.toUpperCase() === 'A' && r.chance(0.8)) {
        args += ` ${numbers(r, 3)} ${r.pick(['0', '1', '2', '01', '11', '0 0', '1,1'])} ${r.pick(['0', '1', ''])} ${numbers(r, 2)}`;
      } else {
        const n = r.chance(0.9) ? arity : r.below(8);
        args += ` ${numbers(r, n)}`;
      }
    }
    d += letter + (r.chance(0.5) ? args.trim() : args);
  }
  return d;
}

function transform(r) {
  const one = () => {
    switch (r.below(8)) {
      case 0:
        return `matrix(${numbers(r, 6)})`;
      case 1:
        return `translate(${numbers(r, 1 + r.below(2))})`;
      case 2:
        return `scale(${numbers(r, 1 + r.below(2))})`;
      case 3:
        return `rotate(${numbers(r, r.chance(0.5) ? 1 : 3)})`;
      case 4:
        return `skewX(${number(r)})`;
      case 5:
        return `skewY(${number(r)})`;
      case 6:
        return r.pick([
          'matrix(1 0 0 1)',
          'scale()',
          'rotate(',
          'translate 5 5',
          'skewZ(3)',
          'none',
          'scale(1e38)',
          'scale(0)',
        ]);
      default:
        return `scale(${r.pick(HUGE)} ${r.pick(TINY)})`;
    }
  };
  const parts = [];
  for (let n = 1 + r.below(3); n > 0; --n) parts.push(one());
  return parts.join(r.pick([' ', ',', '']));
}

function length(r) {
  return number(r) + (r.chance(0.2) ? r.pick(['px', 'pt', 'pc', 'mm', 'cm', 'in', '%', 'em', 'PX', ' px']) : '');
}

function paint(r) {
  const attributes = [];
  if (r.chance(0.3))
    attributes.push(
      `fill="${r.pick(['red', '#0f0', '#00ff0080', 'none', 'currentColor', 'url(#g)', 'rgb(1,2,3)', 'hsla(10, 50%, 50%, .5)', 'inherit', '', '#ggg'])}"`,
    );
  if (r.chance(0.3))
    attributes.push(`stroke="${r.pick(['blue', 'none', 'currentColor', 'rgba(0 0 0 / 50%)', 'x'.repeat(80)])}"`);
  if (r.chance(0.2)) attributes.push(`stroke-width="${length(r)}"`);
  if (r.chance(0.1)) attributes.push(`display="${r.pick(['none', 'inline', 'block', 'inherit'])}"`);
  if (r.chance(0.15))
    attributes.push(
      `style="fill:${r.pick(['red', 'none'])};stroke-width:${length(r)} !important;display:${r.pick(['none', 'inline'])}"`,
    );
  if (r.chance(0.1)) attributes.push(`color="${r.pick(['green', 'bad colour', '#123'])}"`);
  if (r.chance(0.1)) attributes.push(`style="${cssPlacement(r)}"`);
  if (r.chance(0.1))
    attributes.push(r.pick(['clip-path="url(#c)"', 'style=\'clip-path: url("#c")\'', 'clip-path="url(#a)"']));
  if (r.chance(0.1)) attributes.push(`class="${r.pick(['k', 'c', 'k c', ''])}"`);
  return attributes;
}

// CSS that may place an element: transforms with every unit, well formed or
// not, and the other properties that may move it.
function cssPlacement(r) {
  const unit = () => r.pick(['', 'px', 'mm', 'Q', 'in', 'deg', 'rad', 'turn', 'grad', '%', 'em', 'PX']);
  const argument = () => number(r) + unit();
  const one = () =>
    r.chance(0.8)
      ? `${r.pick(['matrix', 'translate', 'translateX', 'scale', 'scaleY', 'rotate', 'skew', 'skewX', 'rotate3d', 'var'])}(${Array.from({length: r.below(7)}, argument).join(r.pick([',', ', ', ' ']))})`
      : r.pick(['none', 'inherit', 'rotate(', ')', '/*x*/', '\\74 ransform', "'a;b'", '{', '}']);
  const value = Array.from({length: 1 + r.below(3)}, one).join(r.pick([' ', '']));
  const name = r.pick([
    'transform',
    'transform',
    'TRANSFORM',
    'transform-origin',
    'rotate',
    'offset-path',
    'animation',
    'fill',
  ]);
  return `${name}:${value}${r.chance(0.2) ? ' !important' : ''}${r.chance(0.3) ? ';fill:red' : ''}`;
}

// A clip path a style sheet gives, in the forms a sheet may write one.
function cssClip(r) {
  const name = r.pick(['clip-path', 'clip-path', 'CLIP-PATH', '-webkit-clip-path', 'all']);
  const value = r.pick(['url(#c)', 'url("#a")', 'url( #c )', 'none', 'inherit', 'unset', 'var(--x)', 'url(#c', '']);
  return `${name}:${value}${r.chance(0.2) ? ' !important' : ''}${r.chance(0.3) ? `;clip-path:url(#${r.pick(['a', 'c'])})` : ''}`;
}

function shape(r) {
  const name = r.pick(['path', 'rect', 'circle', 'ellipse', 'line', 'polyline', 'polygon']);
  const attributes = paint(r);
  const set = (keys) => {
    for (const key of keys) if (r.chance(0.9)) attributes.push(`${key}="${length(r)}"`);
  };
  switch (name) {
    case 'path':
      attributes.push(`d="${pathData(r)}"`);
      break;
    case 'rect':
      set(['x', 'y', 'width', 'height']);
      if (r.chance(0.4)) set(['rx']);
      if (r.chance(0.4)) set(['ry']);
      break;
    case 'circle':
      set(['cx', 'cy', 'r']);
      break;
    case 'ellipse':
      set(['cx', 'cy', 'rx', 'ry']);
      break;
    case 'line':
      set(['x1', 'y1', 'x2', 'y2']);
      break;
    default: {
      const n = r.chance(0.02) ? 30000 + r.below(20000) : r.below(20);
      attributes.push(`points="${numbers(r, n)}"`);
    }
  }
  if (r.chance(0.3)) attributes.push(`transform="${transform(r)}"`);
  if (r.chance(0.2))
    attributes.push(`id="${r.pick(['a', 'shape "quoted"', 'tab\tand\u0001control', 'x'.repeat(200), '&lt;&amp;'])}"`);
  return `<${name} ${attributes.join(' ')}/>`;
}

function element(r, depth) {
  if (depth > 3 || r.chance(0.6)) return shape(r);
  const name = r.pick([
    'g',
    'g',
    'svg',
    'a',
    'switch',
    'defs',
    'symbol',
    'text',
    'use',
    'foreignObject',
    'svg:g',
    'G',
    'clipPath',
  ]);
  const attributes = paint(r);
  if (name === 'clipPath') attributes.push(r.pick(['id="c"', 'id="c" clipPathUnits="objectBoundingBox"', 'id="a"']));
  if (name === 'use') attributes.push(`href="#${r.pick(['a', 'c', 'x'])}"`);
  if (r.chance(0.4)) attributes.push(`transform="${transform(r)}"`);
  if (name === 'svg' && r.chance(0.5)) attributes.push(`x="${length(r)}" y="${length(r)}"`);
  let body = '';
  for (let n = r.below(4); n > 0; --n) body += element(r, depth + 1);
  return `<${name} ${attributes.join(' ')}>${body}</${name}>`;
}

function generate(r) {
  r.awkward = r.pick([0, 0, 0, 0.002, 0.01, 0.05]);
  let body = '';
  for (let n = 1 + r.below(5); n > 0; --n) body += element(r, 0);
  if (r.chance(0.03)) {
    // Deep nesting, around the importer's depth limit.
    const depth = 150 + r.below(150);
    body = '<g>'.repeat(depth) + body + '</g>'.repeat(depth);
  }
  const root = r.pick([
    '<svg xmlns="http://www.w3.org/2000/svg"',
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100" width="10cm"',
    '<svg',
    '<svg xmlns="http://example.com/other"',
    '<svg:svg xmlns:svg="http://www.w3.org/2000/svg"',
  ]);
  const rootName = root.startsWith('<svg:svg') ? 'svg:svg' : 'svg';
  const transformAttribute = r.chance(0.1) ? ` transform="${transform(r)}"` : '';
  if (r.chance(0.1)) {
    const selector = r.pick([
      'rect',
      '#a',
      '.c',
      'g > path',
      '*',
      '@media print',
      '@supports (x: y)',
      '',
      '.k',
      '.k, .c',
      'g.k',
    ]);
    const blocks = r.chance(0.05) ? 1 + r.below(5000) : 1;
    const declarations = r.chance(0.5) ? cssClip(r) : cssPlacement(r);
    const rule = `${selector}${'{'.repeat(blocks)}${declarations}${'}'.repeat(r.chance(0.9) ? blocks : r.below(blocks))}`;
    body = `<style>${r.chance(0.5) ? `<![CDATA[${rule}]]>` : rule.replace(/[<&>]/g, '')}</style>${body}`;
  }
  let text = `${root}${transformAttribute}>${body}</${rootName}>`;
  if (r.chance(0.1)) text = `<?xml version="1.0" encoding="UTF-8"?>\n${text}`;
  if (r.chance(0.05))
    text = `<!DOCTYPE svg [<!ENTITY a "${'&#x41;'.repeat(50)}"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]>${text.replace('/>', ` id="&b;"/>`)}`;
  if (r.chance(0.03)) text = `\ufeff${text}`;
  return text;
}

const TOKENS = [
  '<',
  '>',
  '/>',
  '</g>',
  '<g transform="',
  '"',
  "'",
  '&amp;',
  '&#0;',
  '&#xFFFF;',
  '&#x1F600;',
  '&undefined;',
  '<![CDATA[',
  ']]>',
  '<!--',
  '-->',
  '<?pi?>',
  'xmlns="http://www.w3.org/2000/svg"',
  ' d="',
  ' points="',
  'M',
  'z',
  'A',
  'e',
  '-',
  '.',
  ',',
  '\u0000',
  '\ud800',
  '\u2028',
];

function mutate(r, corpus) {
  r.awkward = r.pick([0, 0.01, 0.05]);
  let text = r.pick(corpus);
  for (let n = 1 + r.below(5); n > 0; --n) {
    const at = r.below(text.length + 1);
    const span = r.below(Math.min(64, text.length - at) + 1);
    switch (r.below(7)) {
      case 0:
        text = text.slice(0, at) + text.slice(at + span);
        break;
      case 1:
        text =
          text.slice(0, at) +
          text.slice(at, at + span).repeat(1 + r.below(r.chance(0.05) ? 3000 : 8)) +
          text.slice(at + span);
        break;
      case 2:
        text = text.slice(0, at) + r.pick(TOKENS) + text.slice(at);
        break;
      case 3: {
        // Replace one number with an awkward one.
        const found = [...text.matchAll(/-?\d+(\.\d+)?(e-?\d+)?/g)];
        if (found.length) {
          const match = r.pick(found);
          const replacement = r.pick([...HUGE, ...TINY, ...GARBAGE]);
          text = text.slice(0, match.index) + replacement + text.slice(match.index + match[0].length);
        }
        break;
      }
      case 4: {
        const other = r.pick(corpus);
        const from = r.below(other.length);
        text = text.slice(0, at) + other.slice(from, from + r.below(200)) + text.slice(at);
        break;
      }
      case 5: {
        // A new shape after some tag's end.
        const end = text.indexOf('>', at);
        if (end >= 0) text = text.slice(0, end + 1) + shape(r) + text.slice(end + 1);
        break;
      }
      default:
        text = text.slice(0, at) + String.fromCharCode(r.below(0x3000)) + text.slice(at + 1);
    }
  }
  return text;
}

// Last, so that every class and constant above is initialised.
if (isMainThread) {
  await main();
} else {
  await serve();
}
