# Run by scripts/test-blender inside Blender in background mode: installs the add-on from its
# zip, imports every file named, and compares what Blender holds with the glTF binary the
# tarvex program writes for the file, read here independently of Blender's importer.
#   blender -b --factory-startup --python-exit-code 1 --python import_test.py -- ZIP TARVEX FILE...
import json
import math
from collections import Counter
import os
import re
import struct
import subprocess
import sys
import tempfile

import bpy
import numpy as np

zip_path, program, *files = sys.argv[sys.argv.index("--") + 1:]
failures = []
failed_files = 0


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got}, want {want}")


def read_glb(path):
    with open(path, "rb") as f:
        data = f.read()
    length = struct.unpack_from("<I", data, 12)[0]
    asset = json.loads(data[20:20 + length])
    return asset, data[20 + length + 8:]


def positions(asset, binary, accessor_index):
    accessor = asset["accessors"][accessor_index]
    view = asset["bufferViews"][accessor["bufferView"]]
    start = view.get("byteOffset", 0) + accessor.get("byteOffset", 0)
    stride = view.get("byteStride", 12) // 4
    floats = np.frombuffer(binary, np.float32, accessor["count"] * stride, start)
    return floats.reshape(-1, stride)[:, :3].astype(np.float64)


def node_matrix(node):
    if "matrix" in node:
        return np.array(node["matrix"], np.float64).reshape(4, 4).T
    x, y, z, w = node.get("rotation", [0, 0, 0, 1])
    r = np.array([[1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
                  [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
                  [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)]])
    m = np.eye(4)
    m[:3, :3] = r * np.array(node.get("scale", [1, 1, 1]))
    m[:3, 3] = node.get("translation", [0, 0, 0])
    return m


def expected(path):
    """Counts and the world box of the glTF binary tarvex writes, in Blender's z-up axes."""
    with tempfile.TemporaryDirectory() as folder:
        glb = os.path.join(folder, "out.glb")
        subprocess.run([program, "--full", "--format=glb", path, glb], check=True,
                       capture_output=True)
        asset, binary = read_glb(glb)
    nodes = asset.get("nodes", [])
    placed, triangles, lo, hi, names = 0, 0, np.full(3, np.inf), np.full(3, -np.inf), []
    stack = [(i, np.eye(4)) for i in asset["scenes"][0].get("nodes", [])]
    while stack:
        index, parent = stack.pop()
        node = nodes[index]
        world = parent @ node_matrix(node)
        stack += [(child, world) for child in node.get("children", [])]
        names += [node["name"]] if "name" in node else []
        if "mesh" not in node:
            continue
        placed += 1
        for primitive in asset["meshes"][node["mesh"]]["primitives"]:
            p = positions(asset, binary, primitive["attributes"]["POSITION"])
            if primitive.get("mode", 4) == 4:
                count = asset["accessors"][primitive["indices"]]["count"] if "indices" in \
                    primitive else len(p)
                triangles += count // 3
            p = p @ world[:3, :3].T + world[:3, 3]
            lo, hi = np.minimum(lo, p.min(axis=0)), np.maximum(hi, p.max(axis=0))
    to_blender = lambda v: np.array([v[0], -v[2], v[1]])  # glTF's y up as Blender's z up
    box = np.sort(np.stack([to_blender(lo), to_blender(hi)]), axis=0) if placed else None
    lights = asset.get("extensions", {}).get("KHR_lights_punctual", {}).get("lights", [])
    watts = {"directional": 1, "point": 4 * math.pi, "spot": 4 * math.pi}
    return {
        "mesh objects": placed,
        "meshes": len(asset.get("meshes", [])),
        "triangles": triangles,
        "images": len(asset.get("images", [])),
        "cameras": sorted(c.get("name", "Camera") for c in asset.get("cameras", [])),
        # Blender's watts in the importer's unitless mode: lux as they are, candela times 4 pi.
        "lights": sorted((l["type"], f"{l['intensity'] * watts[l['type']]:.5g}") for l in lights),
        "materials": len(asset.get("materials", [])),
    }, box, Counter(names)


def clear():
    for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.materials, bpy.data.images,
                       bpy.data.cameras, bpy.data.lights):
        for item in list(collection):
            collection.remove(item)


def imported(path):
    clear()
    bpy.ops.import_scene.tarvex_3dmf(filepath=path)
    objects = bpy.data.objects
    mesh_objects = [o for o in objects if o.type == "MESH"]
    triangles, lo, hi = 0, np.full(3, np.inf), np.full(3, -np.inf)
    for o in mesh_objects:
        o.data.calc_loop_triangles()
        triangles += len(o.data.loop_triangles)
        if len(o.data.vertices):
            co = np.empty(len(o.data.vertices) * 3)
            o.data.vertices.foreach_get("co", co)
            m = np.array(o.matrix_world)
            p = co.reshape(-1, 3) @ m[:3, :3].T + m[:3, 3]
            lo, hi = np.minimum(lo, p.min(axis=0)), np.maximum(hi, p.max(axis=0))
    lights = [o.data for o in objects if o.type == "LIGHT" and o.name != "Headlight"]
    kinds = {"SUN": "directional", "POINT": "point", "SPOT": "spot"}
    return {
        "names": Counter(re.sub(r"\.\d{3}$", "", o.name) for o in objects),
        "mesh objects": len(mesh_objects),
        "meshes": len({o.data.name for o in mesh_objects}),
        "triangles": triangles,
        # Blender's importer makes a second material where a glTF one is also used with vertex
        # colours (counted as the one they stand for), and an image for a specular colour.
        "images": len([i for i in bpy.data.images if not i.name.startswith("Specular Tint")]),
        "cameras": sorted(c.name for c in bpy.data.cameras),
        "lights": sorted((kinds[l.type], f"{l.energy:.5g}") for l in lights),
        "materials": len({m.name.split(".")[0] for m in bpy.data.materials}),
    }, (np.stack([lo, hi]) if mesh_objects else None)


bpy.ops.preferences.addon_install(filepath=zip_path)
bpy.ops.preferences.addon_enable(module="tarvex_3dmf")

for path in files:
    before = len(failures)
    (want, want_box, names), (got, got_box) = expected(path), imported(path)
    for key in want:
        check(f"{path}: {key}", got[key], want[key])
    check(f"{path}: names missing", names - got["names"], Counter())
    if (want_box is None) != (got_box is None) or (
            want_box is not None and not np.allclose(got_box, want_box, rtol=1e-4, atol=1e-4)):
        failures.append(f"{path}: world box {got_box} against {want_box}")
    failed_files += len(failures) > before
    print(f"{path}: {'ok' if len(failures) == before else 'FAILED'} {got}")

# Input that is not 3DMF is refused with the program's message, not a traceback.
before = len(failures)
with tempfile.TemporaryDirectory() as folder:
    png = os.path.join(folder, "picture.3dmf")
    with open(png, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + bytes(32))
    try:
        bpy.ops.import_scene.tarvex_3dmf(filepath=png)
        failures.append("a PNG named .3dmf was imported")
    except RuntimeError as e:
        message = str(e)
        if "is not a 3DMF file (it looks like a PNG image)" not in message or \
                "Traceback" in message:
            failures.append(f"a PNG named .3dmf gave: {message}")

failed_files += len(failures) > before
for failure in failures:
    print("FAILED", failure)
print(f"{len(files) + 1 - failed_files} passed, {failed_files} failed")
sys.exit(1 if failures else 0)
