// Draws a .glb or .gltf with three.js in headless Chromium, as a web page shows it with nothing
// added (the file's first camera, its own lights), and saves the picture. For the README's
// pictures, by hand; not run by ctest:
//   node tests/tools/node/three-picture.mjs scene.glb scene.png [WIDTH HEIGHT]
// Needs Debian's chromium; Chromium draws WebGL in software (SwiftShader) without a display.
import { execFile } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import { fileURLToPath } from "node:url";

const [input, output, width = "480", height = "320"] = process.argv.slice(2);
if (!input || !output) {
  console.error("usage: node three-picture.mjs SCENE.glb OUT.png [WIDTH HEIGHT]");
  process.exit(2);
}
const three = path.join(path.dirname(fileURLToPath(import.meta.url)), "node_modules", "three");
const page = `<!doctype html><body style="margin:0;background:#202020">
<script type="importmap">{"imports":{"three":"/three/build/three.module.js",
"three/addons/":"/three/examples/jsm/"}}</script>
<script type="module">
import * as THREE from "three";
import { GLTFLoader } from "three/addons/loaders/GLTFLoader.js";
const renderer = new THREE.WebGLRenderer({ antialias: true });
renderer.setSize(${width}, ${height});
renderer.setClearColor(0x202020);
document.body.appendChild(renderer.domElement);
const gltf = await new GLTFLoader().loadAsync("/scene");
let camera = gltf.cameras[0];
if (!camera) {
  camera = new THREE.PerspectiveCamera(45, 1, 0.01, 1000);
  const box = new THREE.Box3().setFromObject(gltf.scene);
  camera.position.copy(box.getCenter(new THREE.Vector3())).add(new THREE.Vector3(0, 0, box.getSize(new THREE.Vector3()).length()));
}
camera.aspect = ${width} / ${height};
camera.updateProjectionMatrix();
renderer.render(gltf.scene, camera);
</script>`;

const server = http.createServer((request, response) => {
  const url = decodeURIComponent(request.url);
  let file = null, type = "text/javascript";
  if (url === "/") (response.setHeader("Content-Type", "text/html"), response.end(page));
  else if (url === "/scene") file = input, type = "application/octet-stream";
  else if (url.startsWith("/three/") && !url.includes("..")) file = path.join(three, url.slice(7));
  if (url === "/") return;
  if (!file || !fs.existsSync(file)) return (response.statusCode = 404), response.end();
  response.setHeader("Content-Type", type);
  response.end(fs.readFileSync(file));
});
server.listen(0, "127.0.0.1", () => {
  const { port } = server.address();
  // Asynchronous: this process serves the page while Chromium loads it.
  {
    execFile("chromium", ["--headless", "--no-sandbox", "--disable-gpu-sandbox",
      "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--hide-scrollbars",
      `--window-size=${width},${height}`, "--virtual-time-budget=10000",
      `--screenshot=${path.resolve(output)}`, `http://127.0.0.1:${port}/`],
      (error, stdout, stderr) => {
        server.close();
        if (error) {
          console.error(stderr);
          process.exit(1);
        }
        console.log(`wrote ${output}`);
      });
  }
});
