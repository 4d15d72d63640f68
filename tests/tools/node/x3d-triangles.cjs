// Loads each VRML or X3D file named in X_ITE, an X3D browser, under Node and prints
// "<file> <triangles> <shapes>": the triangles its face sets make, counted once per Shape drawn
// (USE included). Exit 1 when a file does not load, 77 (a ctest skip) when X_ITE is not
// installed (npm ci in this folder installs it).
"use strict";

// X_ITE draws nothing here, so the canvas library's native part, fetched from outside the npm
// registry at install time, is not needed: a stand-in takes its place when it is missing.
const Module = require("module");
try {
  require("skia-canvas");
} catch {
  try {
    const where = require.resolve("skia-canvas");
    const inert = new Proxy(function () {}, {
      get: (target, key) => (key === Symbol.toPrimitive ? () => 0 : inert),
      apply: () => inert,
      construct: () => inert,
    });
    class Canvas {
      constructor(width = 300, height = 150) {
        this.width = width;
        this.height = height;
      }
      getContext() {
        return inert;
      }
    }
    const stand = new Module(where);
    stand.filename = where;
    stand.loaded = true;
    stand.exports = { Canvas };
    require.cache[where] = stand;
  } catch {}
}
// Node 20 lacks Float16Array, which X_ITE only names for glTF half floats.
if (typeof Float16Array === "undefined") globalThis.Float16Array = class extends Float32Array {};

let X3D;
try {
  X3D = require("x_ite-node");
} catch (error) {
  console.log("x_ite-node is not installed: run npm ci in tests/tools/node (" + error.message + ")");
  process.exit(77);
}
const fs = require("fs");
const url = require("url");

function count(node, totals) {
  if (!node) return;
  const type = node.getNodeTypeName();
  if (type === "Shape") {
    totals.shapes++;
    const geometry = node.geometry;
    if (geometry && geometry.getNodeTypeName() === "IndexedFaceSet") {
      // Vertices are four floats each, three a triangle.
      totals.triangles += geometry.getValue().getVertices().length / 12;
    }
    return;
  }
  if (node.children) for (const child of node.children) count(child, totals);
}

(async () => {
  const browser = X3D.createBrowser().browser;
  let failed = 0;
  for (const file of process.argv.slice(2)) {
    try {
      const scene = await browser.createX3DFromURL(new X3D.MFString(url.pathToFileURL(fs.realpathSync(file)).href));
      const totals = { triangles: 0, shapes: 0 };
      for (const node of scene.rootNodes) count(node, totals);
      console.log(`${file} ${totals.triangles} ${totals.shapes}`);
    } catch (error) {
      console.log(`${file} failed: ${error && error.message ? error.message : error}`);
      failed++;
    }
  }
  browser.dispose();
  process.exit(failed > 0 ? 1 : 0);
})();
