// The page's conversion time against the native program's, for the files named:
//   node bench/web_bench.mjs NATIVE_TARVEX BUILD_WEB_DIR FILE...
// Each file is converted ROUNDS times (3 unless set) to .glb in full mode and to .wrl in the
// default mode, and the fastest round of each kind is printed:
// - wall-clock: picked on the page in headless Chromium (as the browser test drives it), the
//   time the page shows (the worker's: input copied into the module, converted, output copied
//   out) and, in brackets, the time around the call as the page waits for it; the native program
//   run whole;
// - CPU: the page's module run in this Node (the V8 engine Chromium runs it in), against the
//   native program's user and system time (through /usr/bin/time, Debian's time). On a busy
//   machine these are the steadier figures.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { openPage } from '../tests/web/page_driver.mjs';

const [native, site, ...inputs] = process.argv.slice(2).map((a) => path.resolve(a));
const rounds = Number(process.env.ROUNDS ?? 3);
const cases = [['glb', true], ['wrl', false]];
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-web-bench-'));

// [wall, CPU] seconds of one native run.
function nativeRun(input, format, full) {
  const output = path.join(work, 'out.' + format);
  const started = process.hrtime.bigint();
  const run = spawnSync('/usr/bin/time', ['-f', '%U %S', native, ...(full ? ['--full'] : []), '--', input,
                                          output], { stdio: ['ignore', 'ignore', 'pipe'] });
  const wall = Number(process.hrtime.bigint() - started) / 1e9;
  const [user, system] = run.stderr.toString().trim().split('\n').pop().split(' ').map(Number);
  return [wall, user + system];
}

// The module as the worker uses it, in this process; the wasm handed over, as Node 20's fetch
// cannot load it from a file.
const createTarvex = createRequire(import.meta.url)(path.join(site, 'tarvex.js'));
const module = await createTarvex({ wasmBinary: fs.readFileSync(path.join(site, 'tarvex.wasm')),
                                    print: () => {}, printErr: () => {} });
function moduleCpu(bytes, format, full) {
  const before = process.cpuUsage();
  const input = module._malloc(bytes.length);
  module.HEAPU8.set(bytes, input);
  const status = module.ccall('tarvex_web_convert', 'number',
    ['number', 'number', 'string', 'string', 'string', 'number'],
    [input, bytes.length, 'input', 'output', format, full ? 1 : 0]);
  module._free(input);
  const at = module._tarvex_web_output();
  module.HEAPU8.slice(at, at + (module._tarvex_web_output_size() >>> 0));
  const used = process.cpuUsage(before);
  if (status > 1) throw new Error(`status ${status} for ${format}`);
  return (used.user + used.system) / 1e6;
}

const { page, close } = await openPage(site);
// /usr/bin/time counts in hundredths: below that, no CPU ratio.
const ratio = (a, b, floor = 0) => (b < floor || b === 0 ? '-' : (a / b).toFixed(2) + 'x');
console.log('file, output: wall native s, page s (around the call), ratio; CPU native s, module s, ratio');
for (const [index, input] of inputs.entries()) {
  const bytes = fs.readFileSync(input);
  await page.setInputFiles('#pick', input);
  await page.evaluate(() => window.tarvexPage.ready);
  for (const [format, full] of cases) {
    await page.evaluate((full) => {
      document.querySelector(`input[name=mode][value=${full ? 'full' : 'default'}]`).checked = true;
    }, full);
    const best = { wall: Infinity, cpu: Infinity, page: Infinity, around: Infinity, module: Infinity };
    for (let round = 0; round < rounds; round++) {
      const [wall, cpu] = nativeRun(input, format, full);
      const [seconds, around] = await page.evaluate(async ([i, f]) => {
        const started = performance.now();
        const { seconds } = await window.tarvexPage.output(i, f);
        return [seconds, (performance.now() - started) / 1000];
      }, [index, format]);
      const module = moduleCpu(bytes, format, full);
      for (const [key, value] of Object.entries({ wall, cpu, page: seconds, around, module }))
        best[key] = Math.min(best[key], value);
    }
    console.log(`${path.basename(input)}, .${format}${full ? ' full' : ' default'}: ` +
                `${best.wall.toFixed(3)}, ${best.page.toFixed(3)} (${best.around.toFixed(3)}), ` +
                `${ratio(best.page, best.wall)}; ${best.cpu.toFixed(3)}, ${best.module.toFixed(3)}, ` +
                `${ratio(best.module, best.cpu, 0.01)}`);
  }
}
await close();
fs.rmSync(work, { recursive: true, force: true });
