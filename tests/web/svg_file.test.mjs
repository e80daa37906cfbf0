// An SVG file's bytes read and written back under node: each way a file may
// be stored reads as its text and writes back as the same bytes, and bytes
// that are not text in the file's own encoding are refused, not replaced.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {gzipSync, gunzipSync} from 'node:zlib';
import {encodeSvgFile, readSvgFile} from '../../web/svg_file.js';

const svg = (declaration, title) =>
  `${declaration}<svg xmlns="http://www.w3.org/2000/svg"><title>${title}</title><path d="M0 0 L9 9"/></svg>`;
const utf16 = (text, littleEndian) => {
  const bytes = Buffer.alloc(text.length * 2);
  for (let i = 0; i < text.length; i++)
    bytes[littleEndian ? 'writeUInt16LE' : 'writeUInt16BE'](text.charCodeAt(i), 2 * i);
  return bytes;
};
const read = (bytes, maxBytes) => readSvgFile(new Blob([bytes]), maxBytes);

test('each way of storing a file reads as its text and writes back as its bytes', async () => {
  const title = 'Café – 2€ ünd ß';
  const plain = svg('<?xml version="1.0" encoding="UTF-8"?>\n', title);
  const latin = svg(`<?xml version='1.0' encoding='ISO-8859-1'?>\n`, 'Café ünd ß');
  const sixteen = svg('<?xml version="1.0" encoding="UTF-16"?>\n', title);
  const stored = [
    ['UTF-8', Buffer.from(plain), plain],
    ['UTF-8 with its mark', Buffer.concat([Buffer.of(0xef, 0xbb, 0xbf), Buffer.from(plain)]), plain],
    ['ISO-8859-1', Buffer.from(latin, 'latin1'), latin],
    ['UTF-16LE with its mark', Buffer.concat([Buffer.of(0xff, 0xfe), utf16(sixteen, true)]), sixteen],
    ['UTF-16BE with its mark', Buffer.concat([Buffer.of(0xfe, 0xff), utf16(sixteen, false)]), sixteen],
    ['UTF-16LE with no mark', utf16(sixteen, true), sixteen],
  ];
  for (const [how, bytes, text] of stored) {
    for (const gzip of [false, true]) {
      const file = gzip ? gzipSync(bytes) : bytes;
      const opened = await read(file);
      assert.equal(opened.text, text, how);
      assert.equal(opened.format.gzip, gzip, how);
      const written = await encodeSvgFile(opened.text, opened.format);
      assert.equal(written.rewritten, null, how);
      assert.deepEqual(Buffer.from(gzip ? gunzipSync(written.bytes) : written.bytes), bytes, `${how}, gzip ${gzip}`);
    }
  }
});

test('an encoding the page reads but cannot write, or that cannot hold the text, is written as UTF-8 and declared so', async () => {
  const text = svg('<?xml version="1.0" encoding="Shift_JIS" standalone="no"?>', '猫の絵');
  const bytes = new Uint8Array([...Buffer.from(text.slice(0, text.indexOf('猫')))]);
  const opened = await read(
    Buffer.concat([
      Buffer.from(bytes),
      Buffer.of(0x94, 0x4c, 0x82, 0xcc, 0x8a, 0x47),
      Buffer.from(text.slice(text.indexOf('の絵') + 2)),
    ]),
  );
  assert.equal(opened.text, text);
  const written = await encodeSvgFile(opened.text, opened.format);
  assert.equal(written.rewritten, 'shift_jis');
  assert.equal(Buffer.from(written.bytes).toString('utf8'), text.replace('Shift_JIS', 'UTF-8'));
  // A character added that the file's own encoding lacks.
  const latin = await encodeSvgFile(svg('<?xml version="1.0" encoding="iso-8859-1"?>', 'Ω'), {encoding: 'iso-8859-1'});
  assert.equal(latin.rewritten, 'iso-8859-1');
  assert.match(Buffer.from(latin.bytes).toString('utf8'), /^<\?xml version="1.0" encoding="UTF-8"\?>.*Ω/);
});

test('bytes that are not the text they claim to be are refused with one line', async () => {
  const refusals = [
    [
      Buffer.from([...Buffer.from('<svg><title>'), 0xc3, 0x28, ...Buffer.from('</title></svg>')]),
      /not valid utf-8 text/,
    ],
    [
      Buffer.from('<?xml version="1.0" encoding="x-klingon"?><svg/>'),
      /encoding "x-klingon" is not one this page reads/,
    ],
    [
      gzipSync(Buffer.from(svg('', 'cut short'))).subarray(0, 30),
      /gzip-compressed, but its compressed data is damaged/,
    ],
    [Buffer.of(0x1f, 0x8b, 0x08, 0, 0, 0, 0, 0, 0, 3, 0xff, 0xff), /compressed data is damaged/],
    [gzipSync(Buffer.alloc(5000, 0x20)), /unpacks to more than 4096 bytes/],
    [Buffer.alloc(4097, 0x20), /larger than 4096 bytes/],
    // What a designer opens by mistake is named, not taken for broken text.
    [Buffer.from('\x89PNG\r\n\x1a\n\0\0\0\rIHDR', 'latin1'), /file is a PNG image, not an SVG drawing/],
    [Buffer.from('%PDF-1.5\n%\xe2\xe3\xcf\xd3\n', 'latin1'), /a PDF document \(as Illustrator's \.ai files are\)/],
    [Buffer.from('%!PS-Adobe-3.0 EPSF-3.0\n', 'latin1'), /PostScript \(EPS\) document/],
    [Buffer.from('\xff\xd8\xff\xe0\0\x10JFIF\0', 'latin1'), /JPEG image/],
    [
      Buffer.from(' {"view": {"origin": [0, 0], "zoom": 1}, "paths": [], "events": []}\n'),
      /a scenario .* Open scenario/,
    ],
  ];
  for (const [bytes, message] of refusals) {
    await assert.rejects(read(bytes, 4096), (error) => {
      assert.equal(error.name, 'SvgImportError');
      assert.match(error.message, message);
      assert.doesNotMatch(error.message, /\n/);
      return true;
    });
  }
});
