// Loads each .glb or .gltf named with three.js's GLTFLoader under Node, as a web page would, and
// prints what it made: meshes (Mesh, Line and Points objects), materials, cameras and lights,
// with the scene's triangle count. Exit 1 when a file does not load. Not run by ctest (the
// validator is); a check by hand:
//   tarvex --format=glb in.3dmf out.glb && node tests/tools/node/three-load.mjs out.glb
import fs from "node:fs";
import path from "node:path";
import * as THREE from "three";
import { GLTFLoader } from "three/examples/jsm/loaders/GLTFLoader.js";

// Textures are decoded by the browser's image machinery, which Node has not: a stand-in that
// keeps the image undecoded is enough to build the scene.
globalThis.self ??= globalThis;
globalThis.createImageBitmap ??= async () => ({ width: 1, height: 1, close() {} });
if (!globalThis.document)
  globalThis.document = { createElementNS: () => ({ style: {}, addEventListener() {}, removeEventListener() {} }) };

let failed = 0;
const loader = new GLTFLoader();
for (const file of process.argv.slice(2)) {
  const bytes = fs.readFileSync(file);
  const data = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
  try {
    const gltf = await loader.parseAsync(data, "");
    const counts = { meshes: 0, lines: 0, points: 0, triangles: 0, lights: 0 };
    const materials = new Set();
    gltf.scene.traverse((object) => {
      if (object.isLight) counts.lights++;
      if (!object.geometry) return;
      const material = Array.isArray(object.material) ? object.material : [object.material];
      material.forEach((m) => materials.add(m));
      if (object.isMesh) {
        counts.meshes++;
        const g = object.geometry;
        counts.triangles += (g.index ? g.index.count : g.attributes.position.count) / 3;
      } else if (object.isLineSegments || object.isLine) {
        counts.lines++;
      } else if (object.isPoints) {
        counts.points++;
      }
    });
    console.log(
      `${path.basename(file)}: ${counts.meshes} meshes, ${counts.lines} line sets, ${counts.points} point sets, ` +
        `${materials.size} materials, ${gltf.cameras.length} cameras, ${counts.lights} lights, ` +
        `${counts.triangles} triangles`,
    );
  } catch (error) {
    console.log(`${path.basename(file)}: failed: ${error && error.message ? error.message : error}`);
    failed++;
  }
}
process.exit(failed > 0 ? 1 : 0);
