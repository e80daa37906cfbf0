// The page's static server, node built-ins only. From the repository root it
// serves / from web/, /build/ from build/web/out/ (the WebAssembly build),
// /resources/ and /scenarios/ as they are, and /vendor/NAME.js: the npm
// package NAME as one ES module (its own ES-module build where it ships one,
// else its CommonJS files wrapped), so the page imports it by its bare name
// through the import map in index.html.
//
//   node web/serve.mjs [--port N] [--host H]     (defaults: $PORT or 8080, 127.0.0.1)
import {createServer} from 'node:http';
import {readFile, stat} from 'node:fs/promises';
import {dirname, extname, join, normalize, relative, resolve, sep} from 'node:path';
import {fileURLToPath} from 'node:url';

export const REPO_ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '..');

const MOUNTS = [
  ['/build/', 'build/web/out'],
  ['/resources/', 'resources'],
  ['/scenarios/', 'scenarios'],
  ['/', 'web'],
];
const VENDORED = new Set(['svgpath']);
// Packages that ship an ES-module build: served as that file.
const VENDORED_ES_MODULES = new Map([['dompurify', 'dist/purify.es.mjs']]);
const HIDDEN = new Set(['web/serve.mjs']);
const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json; charset=utf-8',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.txt': 'text/plain; charset=utf-8',
  '.ico': 'image/x-icon',
};

// Starts serving; resolves to the running server once it listens. Port 0
// picks a free port (server.address().port tells which).
export function startServer({port = 0, host = '127.0.0.1', root = REPO_ROOT} = {}) {
  const server = createServer((request, response) => {
    answer(request, root).then(
      ({status, type, body}) => {
        response.writeHead(status, {'content-type': type, 'cache-control': 'no-store'});
        response.end(request.method === 'HEAD' ? undefined : body);
      },
      () => {
        response.writeHead(500, {'content-type': 'text/plain'});
        response.end('server error\n');
      },
    );
  });
  return new Promise((resolvePromise, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => resolvePromise(server));
  });
}

async function answer(request, root) {
  if (request.method !== 'GET' && request.method !== 'HEAD') return notFound(405, 'only GET and HEAD');
  let path;
  try {
    path = decodeURIComponent(new URL(request.url, 'http://page').pathname);
  } catch {
    return notFound(400, 'bad address');
  }
  if (path === '/') path = '/index.html';
  const vendored = /^\/vendor\/([a-z0-9-]+)\.js$/.exec(path);
  if (vendored && VENDORED_ES_MODULES.has(vendored[1])) {
    const file = join(root, 'node_modules', vendored[1], VENDORED_ES_MODULES.get(vendored[1]));
    return {status: 200, type: TYPES['.js'], body: await readFile(file)};
  }
  if (vendored && VENDORED.has(vendored[1])) {
    return {status: 200, type: TYPES['.js'], body: await wrapCommonJs(join(root, 'node_modules', vendored[1]))};
  }
  const [prefix, folder] = MOUNTS.find(([mount]) => path.startsWith(mount));
  const base = join(root, folder);
  const file = normalize(join(base, path.slice(prefix.length)));
  if (!(file === base || file.startsWith(base + sep)) || HIDDEN.has(relative(root, file).split(sep).join('/'))) {
    return notFound(404, 'not found');
  }
  try {
    if (!(await stat(file)).isFile()) return notFound(404, 'not found');
    return {status: 200, type: TYPES[extname(file)] ?? 'application/octet-stream', body: await readFile(file)};
  } catch {
    return notFound(404, 'not found');
  }
}

function notFound(status, text) {
  return {status, type: 'text/plain; charset=utf-8', body: `${text}\n`};
}

// One ES module holding every .js file of a CommonJS package, each run once
// on its first require, the package's main file exported as the default.
async function wrapCommonJs(packageDir) {
  const manifest = JSON.parse(await readFile(join(packageDir, 'package.json'), 'utf8'));
  const main = normalize(manifest.main ?? 'index.js').replace(/\.js$/, '') + '.js';
  const files = new Map();
  const pending = [main];
  while (pending.length > 0) {
    const name = pending.pop();
    if (files.has(name)) continue;
    const source = await readFile(join(packageDir, name), 'utf8');
    files.set(name, source);
    for (const [, target] of source.matchAll(/require\(\s*'(\.[^']+)'\s*\)/g)) {
      pending.push(requiredFile(name, target));
    }
  }
  const table = [...files]
    .map(([name, source]) => `${JSON.stringify(name)}: function (module, exports, require) {\n${source}\n}`)
    .join(',\n');
  return `// ${manifest.name} ${manifest.version}, wrapped for the page by web/serve.mjs
const sources = {
${table}
};
const cache = {};
${requiredFile.toString()}
function requireFrom(from) {
  return (target) => load(requiredFile(from, target));
}
function load(name) {
  if (!cache[name]) {
    const module = {exports: {}};
    cache[name] = module;
    sources[name](module, module.exports, requireFrom(name));
  }
  return cache[name].exports;
}
export default load(${JSON.stringify(main)});
`;
}

// The package file a relative require names, from the file requiring it.
function requiredFile(from, target) {
  const parts = from.split('/').slice(0, -1);
  for (const part of target.split('/')) {
    if (part === '..') parts.pop();
    else if (part !== '.') parts.push(part);
  }
  const joined = parts.join('/');
  return joined.endsWith('.js') ? joined : `${joined}.js`;
}

function parsePort(text) {
  const port = Number(text);
  if (!Number.isInteger(port) || port < 0 || port > 65535) throw new Error(`not a port: ${text}`);
  return port;
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const args = process.argv.slice(2);
  let port = process.env.PORT ?? '8080';
  let host = '127.0.0.1';
  for (let i = 0; i < args.length; i += 2) {
    if (args[i] === '--port') port = args[i + 1];
    else if (args[i] === '--host') host = args[i + 1];
    else {
      console.error(`usage: node web/serve.mjs [--port N] [--host H]`);
      process.exit(2);
    }
  }
  try {
    const server = await startServer({port: parsePort(port), host});
    const address = server.address();
    console.log(`slantWarper page: http://${address.address}:${address.port}/`);
  } catch (error) {
    console.error(`cannot serve the page: ${error.message}`);
    process.exit(1);
  }
}
