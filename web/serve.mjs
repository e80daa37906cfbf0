// A plain static file server for the page's site (web/site.mjs builds it),
// node built-ins only: the files of one folder, / being its index.html, with
// the types a browser needs for ES modules and WebAssembly, and nothing
// cached, so a rebuilt site shows at the next reload. It makes nothing at
// request time: any other static server serves the same folder as well.
//
//   node web/serve.mjs [--root DIR] [--port N] [--host H]
//   (defaults: build/web/site, $PORT or 8080, 127.0.0.1)
import {createServer} from 'node:http';
import {readFile, stat} from 'node:fs/promises';
import {dirname, extname, join, normalize, resolve, sep} from 'node:path';
import {fileURLToPath} from 'node:url';

export const REPO_ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '..');
export const DEFAULT_ROOT = join(REPO_ROOT, 'build', 'web', 'site');

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

// Starts serving `root`; resolves to the running server once it listens.
// Port 0 picks a free port (server.address().port tells which).
export function startServer({root = DEFAULT_ROOT, port = 0, host = '127.0.0.1'} = {}) {
  const base = resolve(root);
  const server = createServer((request, response) => {
    answer(request, base).then(
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

async function answer(request, base) {
  if (request.method !== 'GET' && request.method !== 'HEAD') return plain(405, 'only GET and HEAD');
  let path;
  try {
    path = decodeURIComponent(new URL(request.url, 'http://page').pathname);
  } catch {
    return plain(400, 'bad address');
  }
  if (path.endsWith('/')) path += 'index.html';
  const file = normalize(join(base, path));
  if (!file.startsWith(base + sep) || path.includes('\0')) return plain(404, 'not found');
  try {
    if (!(await stat(file)).isFile()) return plain(404, 'not found');
    return {status: 200, type: TYPES[extname(file)] ?? 'application/octet-stream', body: await readFile(file)};
  } catch {
    return plain(404, 'not found');
  }
}

function plain(status, text) {
  return {status, type: 'text/plain; charset=utf-8', body: `${text}\n`};
}

function parsePort(text) {
  const port = Number(text);
  if (!Number.isInteger(port) || port < 0 || port > 65535) throw new Error(`not a port: ${text}`);
  return port;
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const args = process.argv.slice(2);
  let root = DEFAULT_ROOT;
  let port = process.env.PORT ?? '8080';
  let host = '127.0.0.1';
  for (let i = 0; i < args.length; i += 2) {
    if (args[i] === '--root' && i + 1 < args.length) root = resolve(args[i + 1]);
    else if (args[i] === '--port' && i + 1 < args.length) port = args[i + 1];
    else if (args[i] === '--host' && i + 1 < args.length) host = args[i + 1];
    else {
      console.error('usage: node web/serve.mjs [--root DIR] [--port N] [--host H]');
      process.exit(2);
    }
  }
  try {
    if (!(await stat(join(root, 'index.html'))).isFile()) throw new Error(`${root} holds no index.html`);
  } catch (error) {
    console.error(
      `cannot serve the page: ${error.code === 'ENOENT' ? `${root} holds no site (node web/site.mjs builds it)` : error.message}`,
    );
    process.exit(1);
  }
  try {
    const server = await startServer({root, port: parsePort(port), host});
    const address = server.address();
    console.log(`slantWarper page: http://${address.address}:${address.port}/`);
  } catch (error) {
    console.error(`cannot serve the page: ${error.message}`);
    process.exit(1);
  }
}
