// The 3D view: a glTF asset the converter wrote, shown with three.js, orbiting around it.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

export class View {
  constructor(canvas) {
    this.renderer = new THREE.WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
    this.renderer.setPixelRatio(window.devicePixelRatio);
    this.camera = new THREE.PerspectiveCamera(45, 1, 0.01, 1000);
    this.controls = new OrbitControls(this.camera, canvas);
    this.controls.addEventListener('change', () => this.draw());
    this.scene = new THREE.Scene();
    this.scene.background = new THREE.Color(0x333333);
    // Lit from the viewer and the sky whatever lights the file has, so that nothing is black.
    this.headlight = new THREE.DirectionalLight(0xffffff, 1.5);
    this.camera.add(this.headlight);
    this.scene.add(this.camera, new THREE.HemisphereLight(0xffffff, 0x444444, 1.2));
    this.content = null;
    this.cameras = [];
    new ResizeObserver(() => this.resize()).observe(canvas);
  }

  resize() {
    const canvas = this.renderer.domElement;
    this.renderer.setSize(canvas.clientWidth, canvas.clientHeight, false);
    this.camera.aspect = canvas.clientWidth / Math.max(1, canvas.clientHeight);
    this.camera.updateProjectionMatrix();
    this.draw();
  }

  draw() {
    this.renderer.render(this.scene, this.camera);
  }

  clear() {
    if (this.content) this.scene.remove(this.content);
    this.content = null;
    this.cameras = [];
    this.draw();
  }

  // Shows the glTF (glb) bytes; resolves to {triangles, outline, cameras}.
  async show(glb) {
    const gltf = await new GLTFLoader().parseAsync(glb, '');
    this.clear();
    this.content = gltf.scene;
    this.scene.add(this.content);
    this.content.updateMatrixWorld(true);
    this.cameras = gltf.cameras;
    this.fit();
    return { triangles: countTriangles(this.content), outline: outline(this.content),
             cameras: this.cameras.map((c, i) => c.name || c.parent?.name || 'Camera ' + (i + 1)) };
  }

  fit() {
    const box = new THREE.Box3().setFromObject(this.content ?? new THREE.Object3D());
    if (box.isEmpty()) {
      this.controls.target.set(0, 0, 0);
      this.camera.position.set(0, 0, 5);
    } else {
      const center = box.getCenter(new THREE.Vector3());
      const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-6);
      const distance = radius / Math.sin(THREE.MathUtils.degToRad(this.camera.fov / 2));
      this.controls.target.copy(center);
      this.camera.position.copy(center).add(new THREE.Vector3(0.4, 0.3, 1).normalize().multiplyScalar(distance));
      this.camera.near = distance / 1000;
      this.camera.far = distance * 10;
    }
    this.camera.updateProjectionMatrix();
    this.controls.update();
    this.draw();
  }

  // Looks through the file's camera `index`: its place, direction and field of view.
  useCamera(index) {
    const source = this.cameras[index];
    if (!source) return this.fit();
    source.updateMatrixWorld(true);
    const position = new THREE.Vector3(), quaternion = new THREE.Quaternion();
    source.matrixWorld.decompose(position, quaternion, new THREE.Vector3());
    this.camera.position.copy(position);
    this.camera.quaternion.copy(quaternion);
    if (source.isPerspectiveCamera) this.camera.fov = source.fov;
    const ahead = new THREE.Vector3(0, 0, -1).applyQuaternion(quaternion);
    const box = new THREE.Box3().setFromObject(this.content);
    const depth = box.isEmpty() ? 10 : Math.max(box.distanceToPoint(position), box.getSize(new THREE.Vector3()).length());
    this.controls.target.copy(position).add(ahead.multiplyScalar(Math.max(depth, 1e-3)));
    this.camera.near = source.near ?? depth / 1000;
    this.camera.far = Math.max(source.far ?? 0, depth * 10);
    this.camera.updateProjectionMatrix();
    this.controls.update();
    this.draw();
  }
}

// The triangles the meshes of `root` draw: every mesh drawn as triangles, each place it is shown.
export function countTriangles(root) {
  let triangles = 0;
  root.traverse((object) => {
    if (!object.isMesh || object.isLine || object.isPoints) return;
    const geometry = object.geometry;
    const count = geometry.index ? geometry.index.count : geometry.attributes.position.count;
    triangles += Math.floor(count / 3) * (object.isInstancedMesh ? object.count : 1);
  });
  return triangles;
}

// The node tree as lines: depth, name and what each node draws.
function outline(root) {
  const lines = [];
  const walk = (object, depth) => {
    const what = [];
    if (object.isMesh) what.push(countTriangles(object) + ' triangles');
    else if (object.isLineSegments || object.isLine) what.push('lines');
    else if (object.isPoints) what.push('points');
    else if (object.isCamera) what.push('camera');
    else if (object.isLight) what.push('light');
    const label = object.name || (object.isMesh ? 'mesh' : object.type.toLowerCase());
    lines.push({ depth, label, what: what.join(', ') });
    for (const child of object.children) walk(child, depth + 1);
  };
  for (const child of root.children) walk(child, 0);
  return lines;
}
