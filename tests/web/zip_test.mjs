// The page's zip writer, its archive read back by Python's zipfile (CRCs tested): the names,
// UTF-8 ones among them, and every entry's bytes must come back as given.
//   node tests/web/zip_test.mjs
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { makeZip } from '../../web/zip.js';

const entries = [
  { name: 'scene.glb', bytes: Uint8Array.from({ length: 70000 }, (_, i) => (i * 7919) >>> 3) },
  { name: 'empty.wrl', bytes: new Uint8Array() },
  { name: 'Café à l\u2019ombre.x3d', bytes: Uint8Array.from({ length: 256 }, (_, i) => i) },
  { name: 'scene-2.glb', bytes: new TextEncoder().encode('#VRML V2.0 utf8\n') },
];
const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-zip-')), 'all.zip');
fs.writeFileSync(file, Buffer.from(await makeZip(entries).arrayBuffer()));
const failures = [];
let read = { bad: null, entries: [] };
try {
  read = JSON.parse(execFileSync('/usr/bin/python3', ['-c', `
import json, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    bad = z.testzip()
    print(json.dumps({"bad": bad, "entries": [[i.filename, z.read(i).hex()] for i in z.infolist()]}))
`, file], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] }));
} catch (e) {
  failures.push('zipfile cannot read the archive: ' + String(e.stderr).trim().split('\n').pop());
}
fs.rmSync(path.dirname(file), { recursive: true });

const expected = entries.map((e) => [e.name, Buffer.from(e.bytes).toString('hex')]);
if (read.bad !== null) failures.push(`the CRC of ${read.bad} is wrong`);
if (read.entries.length !== expected.length) failures.push(`${read.entries.length} entries read, ${expected.length} written`);
for (const [i, [name, hex]] of expected.entries()) {
  const [gotName, gotHex] = read.entries[i] ?? [];
  if (gotName !== name) failures.push(`entry ${i} is named ${JSON.stringify(gotName)}, not ${JSON.stringify(name)}`);
  else if (gotHex !== hex) failures.push(`${name}: other bytes`);
}
for (const failure of failures) console.log('FAIL ' + failure);
console.log(`zip: ${entries.length} entries read back, ${failures.length} failures`);
process.exit(failures.length ? 1 : 0);
