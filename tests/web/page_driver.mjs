// The page served from its build folder and opened in Debian's Chromium (headless, software
// WebGL) through playwright-core: shared by the browser test and the page's benchmark.
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const require = createRequire(import.meta.url);
export const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const { chromium } = require(path.join(root, 'web/node_modules/playwright-core'));

function serve(dir) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
  const server = http.createServer((request, response) => {
    const file = path.join(dir, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (!file.startsWith(dir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      const index = path.join(file, 'index.html');
      if (!fs.existsSync(index)) { response.writeHead(404); response.end(); return; }
      response.writeHead(200, { 'Content-Type': 'text/html' });
      response.end(fs.readFileSync(index));
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream' });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Resolves to {page, pageErrors, close}.
export async function openPage(site) {
  const server = await serve(site);
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run', '--use-angle=swiftshader',
           '--enable-unsafe-swiftshader'],
  });
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
  const pageErrors = [];
  page.on('pageerror', (e) => pageErrors.push(String(e)));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  return { page, pageErrors, close: async () => { await browser.close(); server.close(); } };
}
