// The page as a static site: one folder holding every file the page asks
// for, under the addresses it asks for them by, so that any static file
// server serves it as it is and nothing is made at request time.
//
//   /                the page's own files: everything in web/ but the node
//                    tools (*.mjs) and the WebAssembly glue's sources (wasm/)
//   /build/          the WebAssembly build: slantwarper.js and slantwarper.wasm
//   /resources/      the plug-in's icon and cursor pixel maps (icon.txt, cursor.txt)
//   /vendor/...      each npm package the import map in index.html sends to
//                    /vendor/, bundled by esbuild into the one ES module file
//                    the map names
//
// The import map is the one list of the page's packages: a package added
// there (and to package.json) reaches the site, the browser tests and the
// release with no other change. Where index.html carries a
// Content-Security-Policy, its script policy must let the import map run
// (an inline script), so the build refuses a policy that lacks the map's
// hash and names the hash to add.
//
// The output depends only on the files' contents: a folder built from two
// checkouts of one commit holds the same bytes.
//
//   node web/site.mjs [--out DIR] [--wasm DIR]   (defaults: build/web/site, build/web/out)
import {createHash} from 'node:crypto';
import {copyFile, mkdir, readdir, readFile, rm, writeFile} from 'node:fs/promises';
import {dirname, join, relative, resolve, sep} from 'node:path';
import {fileURLToPath} from 'node:url';
import * as esbuild from 'esbuild';

export const REPO_ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '..');
export const SITE_DIR = join(REPO_ROOT, 'build', 'web', 'site');
export const WASM_DIR = join(REPO_ROOT, 'build', 'web', 'out');

const WASM_FILES = ['slantwarper.js', 'slantwarper.wasm'];
const PIXEL_MAPS = ['icon.txt', 'cursor.txt'];
const VENDOR = '/vendor/';

export class SiteError extends Error {}

// Builds the site into `out` (emptied first); resolves to the sorted list of
// the site's files, relative to `out` with '/' between folders.
export async function buildSite({out = SITE_DIR, wasm = WASM_DIR} = {}) {
  const html = await readFile(join(REPO_ROOT, 'web', 'index.html'), 'utf8');
  const {imports} = readImportMap(html);
  checkImportMapPolicy(html);

  const files = new Map(); // site path -> {from} or {text}
  for (const file of await filesUnder(join(REPO_ROOT, 'web'))) {
    if (file.endsWith('.mjs') || file.startsWith('wasm/')) continue;
    files.set(file, {from: join(REPO_ROOT, 'web', file)});
  }
  for (const name of WASM_FILES) {
    files.set(`build/${name}`, {from: join(wasm, name)});
  }
  for (const name of PIXEL_MAPS) {
    files.set(`resources/${name}`, {from: join(REPO_ROOT, 'resources', name)});
  }
  for (const [specifier, address] of Object.entries(imports)) {
    if (!address.startsWith(VENDOR)) continue;
    files.set(address.slice(1), {text: await bundlePackage(specifier)});
  }

  // Every address of the site that index.html names must be one of its files.
  const named = [...Object.values(imports), ...[...html.matchAll(/\s(?:src|href)="([^"]*)"/g)].map((m) => m[1])];
  for (const address of named.filter((a) => !/^[a-z][a-z0-9+.-]*:/i.test(a))) {
    if (!files.has(new URL(address, 'http://site/').pathname.slice(1))) {
      throw new SiteError(`web/index.html names ${address}, which the site does not hold`);
    }
  }

  await emptyForSite(resolve(out));
  for (const [path, source] of [...files].sort(([a], [b]) => (a < b ? -1 : 1))) {
    const target = join(out, ...path.split('/'));
    await mkdir(dirname(target), {recursive: true});
    if (source.text !== undefined) {
      await writeFile(target, source.text);
    } else {
      try {
        await copyFile(source.from, target);
      } catch (error) {
        if (error.code !== 'ENOENT') throw error;
        throw new SiteError(
          `${relative(REPO_ROOT, source.from)} is missing` +
            (path.startsWith('build/') ? ': build the web preset first (cmake --build --preset web)' : ''),
        );
      }
    }
  }
  return [...files.keys()].sort();
}

// The import map of index.html: {text, imports}, text exactly as the page
// carries it (what a policy's hash is taken over).
export function readImportMap(html) {
  const found = /<script type="importmap">([\s\S]*?)<\/script>/.exec(html);
  if (!found) throw new SiteError('web/index.html has no import map (<script type="importmap">)');
  let map;
  try {
    map = JSON.parse(found[1]);
  } catch (error) {
    throw new SiteError(`web/index.html: the import map is not JSON: ${error.message}`);
  }
  return {text: found[1], imports: map.imports ?? {}};
}

// Throws a SiteError unless the page's Content-Security-Policy (if any) lets
// its inline import map run: the policy for script elements (script-src-elem,
// else script-src, else default-src) holds the map's hash, or allows every
// inline script ('unsafe-inline', which a hash or nonce in the same list
// switches off).
export function checkImportMapPolicy(html) {
  const meta = [...html.matchAll(/<meta\s[^>]*>/gi)].find((m) =>
    /http-equiv\s*=\s*["']content-security-policy["']/i.test(m[0]),
  );
  if (!meta) return;
  const content = /\scontent\s*=\s*"([^"]*)"/i.exec(meta[0]);
  if (!content) throw new SiteError('web/index.html: the Content-Security-Policy meta tag has no content');
  const directives = new Map();
  for (const part of content[1].split(';')) {
    const [name, ...sources] = part.trim().split(/\s+/);
    if (name && !directives.has(name.toLowerCase())) directives.set(name.toLowerCase(), sources);
  }
  const sources = directives.get('script-src-elem') ?? directives.get('script-src') ?? directives.get('default-src');
  if (!sources) return;
  const {text} = readImportMap(html);
  const hashes = ['sha256', 'sha384', 'sha512'].map(
    (kind) => `'${kind}-${createHash(kind).update(text, 'utf8').digest('base64')}'`,
  );
  if (hashes.some((hash) => sources.includes(hash))) return;
  const listsHashOrNonce = sources.some((source) => /^'(sha256|sha384|sha512|nonce)-/.test(source));
  if (sources.includes("'unsafe-inline'") && !listsHashOrNonce) return;
  throw new SiteError(
    `web/index.html: the Content-Security-Policy does not let the import map run; ` +
      `add ${hashes[0]} to its script-src`,
  );
}

// The npm package `specifier` as one ES module, its main file's exports
// kept (a CommonJS package's module.exports as the default export). Paths in
// esbuild's comments are relative to the checkout.
export async function bundlePackage(specifier) {
  let result;
  try {
    result = await esbuild.build({
      entryPoints: [specifier],
      absWorkingDir: REPO_ROOT,
      bundle: true,
      format: 'esm',
      platform: 'browser',
      target: 'es2022',
      write: false,
      logLevel: 'silent',
    });
  } catch (error) {
    throw new SiteError(`the import map's package ${specifier} cannot be bundled: ${error.message}`);
  }
  const name = specifier
    .split('/')
    .slice(0, specifier.startsWith('@') ? 2 : 1)
    .join('/');
  const manifest = JSON.parse(
    await readFile(join(REPO_ROOT, 'node_modules', ...name.split('/'), 'package.json'), 'utf8'),
  );
  return (
    `// ${manifest.name} ${manifest.version} (npm), bundled as one ES module for the page by web/site.mjs\n` +
    result.outputFiles[0].text
  );
}

// Removes `out` to build the site afresh there, refusing where that would
// remove anything but an earlier site: the checkout or a folder holding it,
// a folder of the page's sources, or a folder that holds files but no
// index.html.
async function emptyForSite(out) {
  const inside = (folder) => out === folder || out.startsWith(folder + sep);
  if (
    inside(join(REPO_ROOT, 'web')) ||
    inside(join(REPO_ROOT, 'resources')) ||
    REPO_ROOT === out ||
    REPO_ROOT.startsWith(out + sep)
  ) {
    throw new SiteError(`will not build the site into ${out}: it would replace sources`);
  }
  let entries;
  try {
    entries = await readdir(out);
  } catch (error) {
    if (error.code === 'ENOENT') return;
    throw error;
  }
  if (entries.length > 0 && !entries.includes('index.html')) {
    throw new SiteError(`will not empty ${out} for the site: it holds files but no index.html`);
  }
  await rm(out, {recursive: true, force: true});
}

// Every file under `folder`, relative to it with '/' between folders.
async function filesUnder(folder) {
  const entries = await readdir(folder, {recursive: true, withFileTypes: true});
  return entries
    .filter((entry) => entry.isFile())
    .map((entry) =>
      relative(folder, join(entry.parentPath ?? entry.path, entry.name))
        .split(sep)
        .join('/'),
    );
}

function usage() {
  console.error('usage: node web/site.mjs [--out DIR] [--wasm DIR]');
  process.exit(2);
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const args = process.argv.slice(2);
  const options = {};
  for (let i = 0; i < args.length; i += 2) {
    if (i + 1 >= args.length) usage();
    if (args[i] === '--out') options.out = resolve(args[i + 1]);
    else if (args[i] === '--wasm') options.wasm = resolve(args[i + 1]);
    else usage();
  }
  try {
    const files = await buildSite(options);
    console.log(
      `The page as a static site: ${files.length} files in ${relative(process.cwd(), options.out ?? SITE_DIR) || '.'}`,
    );
  } catch (error) {
    if (!(error instanceof SiteError)) throw error;
    console.error(`cannot build the site: ${error.message}`);
    process.exit(1);
  }
}
