// Runs the Khronos glTF-Validator over each .glb or .gltf named; prints each file's counts and
// every warning or error code with how often it came. Exit 1 when any file has an error, 77 (a
// ctest skip) when the validator is not installed (npm ci in this folder installs it).
import fs from "node:fs";
import path from "node:path";

let validator;
try {
  validator = await import("gltf-validator");
} catch {
  console.log("gltf-validator is not installed: run npm ci in tests/tools/node");
  process.exit(77);
}
const validate = validator.validateBytes ?? validator.default.validateBytes;

let failed = 0;
const codes = new Map();
for (const file of process.argv.slice(2)) {
  const report = await validate(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: () => Promise.reject(new Error("no external resources")),
  });
  const { numErrors, numWarnings, numInfos, messages } = report.issues;
  console.log(`${path.basename(file)}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos`);
  for (const m of messages) {
    if (m.severity > 1) continue;  // infos and hints are not counted
    const key = `${m.severity === 0 ? "error" : "warning"} ${m.code}`;
    codes.set(key, (codes.get(key) ?? 0) + 1);
    if (m.severity === 0) console.log(`  ${m.code} ${m.pointer ?? ""}: ${m.message}`);
  }
  if (numErrors > 0) failed++;
}
for (const [key, count] of [...codes].sort()) console.log(`${key}: ${count}`);
console.log(`${process.argv.length - 2} files, ${failed} with errors`);
process.exit(failed > 0 ? 1 : 0);
