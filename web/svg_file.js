// An SVG file's bytes as the page reads them and writes them back. A file
// may be gzip-compressed (.svgz, as Inkscape saves it) and may be in any
// encoding its byte-order mark or XML declaration names; opening remembers
// how it was stored, so that Export SVG writes the text back the same way:
// compressed if it was, in its own encoding, with its own byte-order mark.
// Bytes that are not text in the file's encoding are refused, as browsers
// refuse to draw such a file, rather than replaced, which would change the
// person's text on export.
import {MAX_TEXT_LENGTH, SvgImportError} from './svg_import.js';

const GZIP_MAGIC = [0x1f, 0x8b];
const BOMS = [
  {encoding: 'utf-8', bytes: [0xef, 0xbb, 0xbf]},
  {encoding: 'utf-16le', bytes: [0xff, 0xfe]},
  {encoding: 'utf-16be', bytes: [0xfe, 0xff]},
];
// The encoding's name in an XML declaration: `<?xml ... encoding="name"`.
const DECLARED = /^<\?xml\s[^>]*?\bencoding\s*=\s*(["'])([A-Za-z][A-Za-z0-9._-]*)\1/;

// Files of other kinds a designer may pick by mistake, known by their first
// bytes (which no SVG text begins with), so the refusal names what the
// file is instead of calling it broken text; a drawing in another format
// can be saved as SVG where it was made.
const OTHER_KINDS = [
  {bytes: [0x89, 0x50, 0x4e, 0x47], kind: 'a PNG image'},
  {bytes: [0xff, 0xd8, 0xff], kind: 'a JPEG image'},
  {bytes: [0x47, 0x49, 0x46, 0x38], kind: 'a GIF image'},
  {bytes: [0x25, 0x50, 0x44, 0x46], kind: "a PDF document (as Illustrator's .ai files are)", drawing: true},
  {bytes: [0x25, 0x21, 0x50, 0x53], kind: 'a PostScript (EPS) document', drawing: true},
  {bytes: [0x50, 0x4b, 0x03, 0x04], kind: 'a ZIP archive'},
];

// {text, format}: the file's text and how it was stored, {gzip, encoding,
// bom}. Throws an SvgImportError with one line for a file that is not text.
// maxBytes bounds the file and what it unpacks to.
export async function readSvgFile(blob, maxBytes = MAX_TEXT_LENGTH) {
  if (blob.size > maxBytes) throw new SvgImportError(`the file is larger than ${mebibytes(maxBytes)}`);
  const gzip = startsWith(new Uint8Array(await blob.slice(0, 2).arrayBuffer()), GZIP_MAGIC);
  const bytes = gzip ? await gunzip(blob, maxBytes) : new Uint8Array(await blob.arrayBuffer());
  const other = OTHER_KINDS.find((known) => startsWith(bytes, known.bytes));
  if (other) {
    const advice = other.drawing ? ': save it as SVG in the program that made it' : '';
    throw new SvgImportError(`the file is ${other.kind}, not an SVG drawing${advice}`);
  }
  const {text, encoding, bom} = decodeSvg(bytes);
  if (isScenario(text)) {
    throw new SvgImportError(
      'the file is a scenario (a session saved with Save scenario), not an SVG drawing: open it with Open scenario',
    );
  }
  return {text, format: {gzip, encoding, bom}};
}

// Whether a text is a scenario file, as the page's Save scenario writes one
// (a JSON object holding the world's paths or the events played), which no
// SVG text is.
function isScenario(text) {
  if (!/^\s*\{/.test(text)) return false;
  try {
    const value = JSON.parse(text);
    return value !== null && typeof value === 'object' && ('events' in value || 'paths' in value);
  } catch {
    return false;
  }
}

// {text, encoding, bom}: the text of uncompressed bytes, and the encoding
// and byte-order mark it was read by.
function decodeSvg(bytes) {
  const {encoding, bom} = storedEncoding(bytes);
  let decoder;
  try {
    decoder = new TextDecoder(encoding, {fatal: true, ignoreBOM: true});
  } catch {
    throw new SvgImportError(`the file's encoding "${encoding}" is not one this page reads`);
  }
  try {
    return {text: decoder.decode(bytes.subarray(bom ? bomOf(encoding).length : 0)), encoding, bom};
  } catch {
    throw new SvgImportError(`the file is not valid ${decoder.encoding} text`);
  }
}

// {bytes, encoding, rewritten}: the text as the file stored it. An encoding
// the browser can read but not write (Shift_JIS, GBK and the like) or one
// that cannot hold a character of the text is written as UTF-8 instead,
// its declaration saying so (rewritten names the encoding it replaced).
export async function encodeSvgFile(text, {gzip = false, encoding = 'utf-8', bom = false} = {}) {
  let stored = encodeText(text, encoding);
  let rewritten = null;
  if (stored === null) {
    rewritten = encoding;
    encoding = 'utf-8';
    text = text.replace(
      DECLARED,
      (declaration, quote, name) => declaration.slice(0, -name.length - 1) + 'UTF-8' + quote,
    );
    stored = new TextEncoder().encode(text);
  }
  let bytes = bom ? concat(Uint8Array.from(bomOf(encoding)), stored) : stored;
  if (gzip) bytes = await pipe(bytes, new CompressionStream('gzip'));
  return {bytes, encoding, rewritten};
}

// The encoding a file's bytes name: a byte-order mark, UTF-16's "<?" without
// one, the XML declaration, or UTF-8.
function storedEncoding(bytes) {
  for (const {encoding, bytes: mark} of BOMS) if (startsWith(bytes, mark)) return {encoding, bom: true};
  if (startsWith(bytes, [0x3c, 0x00, 0x3f, 0x00])) return {encoding: 'utf-16le', bom: false};
  if (startsWith(bytes, [0x00, 0x3c, 0x00, 0x3f])) return {encoding: 'utf-16be', bom: false};
  const head = new TextDecoder('latin1').decode(bytes.subarray(0, 1024));
  const declared = DECLARED.exec(head)?.[2].toLowerCase();
  // A declaration of UTF-16 on bytes read as ASCII is written in ASCII.
  return {encoding: declared === undefined || declared.startsWith('utf-16') ? 'utf-8' : declared, bom: false};
}

// The bytes of text in encoding, or null when the browser cannot write it so.
function encodeText(text, encoding) {
  const name = new TextDecoder(encoding).encoding;
  if (name === 'utf-8') return new TextEncoder().encode(text);
  if (name === 'utf-16le' || name === 'utf-16be') {
    const bytes = new Uint8Array(text.length * 2);
    const view = new DataView(bytes.buffer);
    for (let i = 0; i < text.length; i++) view.setUint16(2 * i, text.charCodeAt(i), name === 'utf-16le');
    return bytes;
  }
  // Every other encoding is written byte by byte where each of its bytes
  // alone reads as one character, and the result read back must be the text:
  // the multi-byte encodings fail that for anything beyond ASCII.
  const byteOf = new Map();
  const decoder = new TextDecoder(name);
  for (let byte = 0; byte < 256; byte++) {
    const char = decoder.decode(Uint8Array.of(byte));
    if (char.length === 1 && char !== '\ufffd' && !byteOf.has(char)) byteOf.set(char, byte);
  }
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) {
    const byte = byteOf.get(text[i]);
    if (byte === undefined) return null;
    bytes[i] = byte;
  }
  return decoder.decode(bytes) === text ? bytes : null;
}

async function gunzip(blob, maxBytes) {
  const reader = blob.stream().pipeThrough(new DecompressionStream('gzip')).getReader();
  const chunks = [];
  let length = 0;
  try {
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      length += value.length;
      if (length > maxBytes) {
        reader.cancel().catch(() => {});
        throw new SvgImportError(`the file unpacks to more than ${mebibytes(maxBytes)}`);
      }
      chunks.push(value);
    }
  } catch (error) {
    if (error instanceof SvgImportError) throw error;
    throw new SvgImportError('the file is gzip-compressed, but its compressed data is damaged');
  }
  return concat(...chunks);
}

async function pipe(bytes, transform) {
  return new Uint8Array(await new Response(new Blob([bytes]).stream().pipeThrough(transform)).arrayBuffer());
}

function bomOf(encoding) {
  return BOMS.find((mark) => mark.encoding === encoding).bytes;
}

function startsWith(bytes, prefix) {
  return prefix.every((byte, i) => bytes[i] === byte);
}

function concat(...parts) {
  const all = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) {
    all.set(part, at);
    at += part.length;
  }
  return all;
}

function mebibytes(bytes) {
  return bytes >= 1 << 20 ? `${bytes / 2 ** 20} MiB` : `${bytes} bytes`;
}
