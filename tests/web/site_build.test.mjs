// The static site's build (web/site.mjs), under node: the files the page
// asks for, each package of the import map bundled into a module that works
// as the package does, the import map's Content-Security-Policy check, and
// the folders the build refuses to empty.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {createHash} from 'node:crypto';
import {mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import {join} from 'node:path';
import {pathToFileURL} from 'node:url';
import {
  REPO_ROOT,
  SiteError,
  WASM_DIR,
  buildSite,
  bundlePackage,
  checkImportMapPolicy,
  readImportMap,
} from '../../web/site.mjs';

const require = createRequire(import.meta.url);
const scratch = join(REPO_ROOT, 'build', 'web', 'sites');

function scratchFolder() {
  mkdirSync(scratch, {recursive: true});
  return mkdtempSync(join(scratch, 'build-test-'));
}

const page = (policy, map = '{"imports": {"svgpath": "/vendor/svgpath.js"}}') =>
  `<!doctype html><html><head>${policy === null ? '' : `<meta http-equiv="Content-Security-Policy" content="${policy}">`}` +
  `<script type="importmap">${map}</script></head></html>`;
const hashOf = (text) => `'sha256-${createHash('sha256').update(text).digest('base64')}'`;

test('the site holds the page, the WebAssembly build, the pixel maps and the bundled packages, and no node tool', async () => {
  const out = scratchFolder();
  try {
    const files = await buildSite({out});
    for (const needed of [
      'index.html',
      'main.js',
      'engine.js',
      'page.css',
      'tools/slantwarper.js',
      'build/slantwarper.js',
      'build/slantwarper.wasm',
      'resources/icon.txt',
      'resources/cursor.txt',
    ]) {
      assert.ok(files.includes(needed), needed);
    }
    const {imports} = readImportMap(readFileSync(join(REPO_ROOT, 'web', 'index.html'), 'utf8'));
    for (const address of Object.values(imports)) assert.ok(files.includes(address.slice(1)), address);
    assert.deepEqual(
      files.filter((file) => file.endsWith('.mjs') || file.startsWith('wasm/') || file === 'resources/CMakeLists.txt'),
      [],
    );
    assert.deepEqual(readFileSync(join(out, 'index.html')), readFileSync(join(REPO_ROOT, 'web', 'index.html')));
  } finally {
    rmSync(out, {recursive: true, force: true});
  }
});

// Exceptions kept by JavaScript would send every call that may throw, each
// host call of a drag among them, through a JavaScript trampoline: a drag
// over many paths then costs several times the plug-in's own work.
test('the WebAssembly modules keep their exceptions in WebAssembly: none imports a JavaScript trampoline', () => {
  for (const file of ['slantwarper.wasm', 'slantWarper-plugin.wasm']) {
    const module = new WebAssembly.Module(readFileSync(join(WASM_DIR, file)));
    const trampolines = WebAssembly.Module.imports(module).filter(({name}) => name.startsWith('invoke_'));
    assert.deepEqual(
      trampolines.map(({name}) => name),
      [],
      file,
    );
  }
});

test('a bundled package works as the package itself, CommonJS or not, whatever its name', async () => {
  const out = scratchFolder();
  try {
    const load = async (specifier) => {
      const file = join(out, `${specifier.replace('/', '_')}.js`);
      writeFileSync(file, await bundlePackage(specifier));
      return import(pathToFileURL(file).href);
    };
    const {default: svgpath} = await load('svgpath');
    const data = 'M10 10 C 20 0, 40 0, 50 10 S 80 20, 90 10 A 5 5 0 0 1 100 20 Z';
    assert.equal(
      svgpath(data).abs().unshort().unarc().scale(2, 3).toString(),
      require('svgpath')(data).abs().unshort().unarc().scale(2, 3).toString(),
    );
    // Another package, with a scope, bundled by the same code: what the
    // import map brings in later needs no change here.
    const {default: xmldom} = await load('@xmldom/xmldom');
    const documentNode = new xmldom.DOMParser().parseFromString('<svg><path d="M0 0"/></svg>', 'image/svg+xml');
    assert.equal(documentNode.getElementsByTagName('path')[0].getAttribute('d'), 'M0 0');
    await assert.rejects(bundlePackage('no-such-package-here'), SiteError);
  } finally {
    rmSync(out, {recursive: true, force: true});
  }
});

test('a Content-Security-Policy must let the import map run, and a refusal names the hash to add', () => {
  const map = '{"imports": {"svgpath": "/vendor/svgpath.js"}}';
  assert.doesNotThrow(() => checkImportMapPolicy(page(null, map)));
  assert.doesNotThrow(() => checkImportMapPolicy(page('img-src data:', map)));
  let refusal;
  try {
    checkImportMapPolicy(page("default-src 'self'; script-src 'self' 'wasm-unsafe-eval'", map));
  } catch (error) {
    refusal = error;
  }
  assert.ok(refusal instanceof SiteError, 'a policy without the hash is refused');
  assert.ok(refusal.message.includes(hashOf(map)), refusal.message);
  assert.doesNotThrow(() => checkImportMapPolicy(page(`script-src 'self' ${hashOf(map)}`, map)));
  // script-src-elem rules script elements over script-src, which rules over
  // default-src; 'unsafe-inline' counts only in a list with no hash or nonce.
  assert.throws(() => checkImportMapPolicy(page(`script-src ${hashOf(map)}; script-src-elem 'self'`, map)), SiteError);
  assert.throws(() => checkImportMapPolicy(page("default-src 'self'", map)), SiteError);
  assert.doesNotThrow(() => checkImportMapPolicy(page("script-src 'self' 'unsafe-inline'", map)));
  assert.throws(() => checkImportMapPolicy(page(`script-src 'unsafe-inline' ${hashOf('other')}`, map)), SiteError);
  // The hash is over the map's text exactly as the page carries it.
  assert.throws(() => checkImportMapPolicy(page(`script-src ${hashOf(map)}`, `\n  ${map}\n`)), SiteError);
});

test('the build empties only a folder that holds nothing or an earlier site', async () => {
  const out = scratchFolder();
  try {
    await assert.rejects(buildSite({out: REPO_ROOT}), SiteError);
    await assert.rejects(buildSite({out: join(REPO_ROOT, 'web')}), SiteError);
    await assert.rejects(buildSite({out: join(REPO_ROOT, '..')}), SiteError);
    writeFileSync(join(out, 'notes.txt'), 'mine');
    await assert.rejects(buildSite({out}), /holds files but no index.html/);
    assert.equal(readFileSync(join(out, 'notes.txt'), 'utf8'), 'mine');
    rmSync(join(out, 'notes.txt'));
    await buildSite({out});
    writeFileSync(join(out, 'stale.js'), 'left from an earlier build');
    const files = await buildSite({out});
    assert.ok(!files.includes('stale.js'));
    assert.throws(() => readFileSync(join(out, 'stale.js')), {code: 'ENOENT'});
  } finally {
    rmSync(out, {recursive: true, force: true});
  }
});

test('a missing WebAssembly build is named, with how to make it', async () => {
  const out = scratchFolder();
  try {
    await assert.rejects(
      buildSite({out, wasm: join(out, 'nowhere')}),
      /slantwarper\.js is missing: build the web preset/,
    );
  } finally {
    rmSync(out, {recursive: true, force: true});
  }
});
