# The Python module against the program and the scene measure: run by ctest with the module on
# PYTHONPATH and TARVEX_EXE, MEASURE_WORLD and TARVEX_SOURCE_DIR set.
import json
import os
import subprocess
import tempfile
import unittest
import warnings

import numpy as np

import tarvex

SOURCE = os.environ["TARVEX_SOURCE_DIR"]
# Our own files: a texture, references, a camera and lights; lines and points; a default-mode
# file with its messages.
FILES = [os.path.join(SOURCE, "tests", "data", name) for name in (
    "courtyard.3dmf", "shapes/mesh_lines_points.3dmf", "shapes/far_lights.3dmf",
    "shapes/grids_and_patch.3dmf", "three_objects.3dmf", "messages.3dmf")]


def program(*args):
    return subprocess.run([os.environ["TARVEX_EXE"], *args], capture_output=True)


class Module(unittest.TestCase):
    def test_convert_gives_the_programs_bytes(self):
        with tempfile.TemporaryDirectory() as folder:
            for path in FILES:
                for format, full in (("vrml", False), ("vrml", True), ("x3d", True),
                                     ("glb", True)):
                    with self.subTest(path=path, format=format, full=full):
                        out = os.path.join(folder, "out." + format)
                        program(*(["--full"] if full else []), "--format=" + format, path, out)
                        with open(out, "rb") as f:
                            want = f.read()
                        with open(path, "rb") as f:
                            data = f.read()
                        with warnings.catch_warnings():
                            warnings.simplefilter("ignore")
                            self.assertEqual(tarvex.convert(path, format=format, full=full), want)
                            self.assertEqual(tarvex.convert(data, format=format, full=full), want)
                            written = os.path.join(folder, "written." + format)
                            self.assertIsNone(tarvex.convert(data, written, full=full))
                        with open(written, "rb") as f:
                            self.assertEqual(f.read(), want)

    def test_read_gives_the_measures_triangles_and_box(self):
        with tempfile.TemporaryDirectory() as folder:
            for path in FILES:
                with self.subTest(path=path):
                    world = os.path.join(folder, "out.wrl")
                    program("--full", path, world)
                    measured = json.loads(subprocess.run(
                        [os.environ["MEASURE_WORLD"], world], capture_output=True,
                        check=True).stdout)
                    with warnings.catch_warnings():
                        warnings.simplefilter("ignore")
                        scene = tarvex.read(path)
                    triangles, corners = 0, []
                    for node in scene.nodes:
                        if node.mesh is None:
                            continue
                        mesh = scene.meshes[node.mesh]
                        if mesh.primitive == "triangles":
                            triangles += len(mesh.indices)
                        used = mesh.positions[np.unique(mesh.indices)]
                        m = node.world_transform
                        corners.append(used @ m[:3, :3].T + m[:3, 3])
                    self.assertEqual(triangles, measured["triangles"])
                    corners = np.concatenate(corners)
                    np.testing.assert_allclose([corners.min(axis=0), corners.max(axis=0)],
                                               measured["box"], rtol=1e-5, atol=1e-5)

    def test_scene_arrays_and_warnings(self):
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            scene = tarvex.read(os.path.join(SOURCE, "tests", "data", "courtyard.3dmf"))
        self.assertEqual(seen, [])
        (texture,) = scene.textures
        self.assertEqual(texture.rgba.shape, (4, 4, 4))
        self.assertEqual([l.kind for l in scene.lights], ["ambient", "point"])
        self.assertEqual(len(scene.cameras), 1)
        # One post's mesh drawn in three places.
        posts = [n.mesh for n in scene.nodes if n.mesh is not None and
                 scene.meshes[n.mesh].positions.shape[0] == 24]
        self.assertEqual(len(posts), 3)
        with self.assertWarns(tarvex.Warning) as caught:
            tarvex.read(os.path.join(SOURCE, "tests", "data", "messages.3dmf"))
        self.assertIn("Frobnicator", " ".join(str(w.message) for w in caught.warnings))

    def test_bad_input_raises_error(self):
        cases = [(b"\x89PNG\r\n\x1a\n" + bytes(16), "not_3dmf", "looks like a PNG image"),
                 ("/nonexistent/scene.3dmf", "cant_open", "/nonexistent/scene.3dmf"),
                 (b"3DMetafile ( 1 6 Normal toc> )\nTriMesh ( 1 0 0 0 3 0 0 1", "incomplete",
                  "")]
        for src, status, words in cases:
            for call in (tarvex.read, tarvex.convert):
                with self.subTest(src=src, call=call.__name__):
                    with warnings.catch_warnings():
                        warnings.simplefilter("ignore")
                        with self.assertRaises(tarvex.Error) as raised:
                            call(src)
                    self.assertEqual(raised.exception.status, status)
                    self.assertIn(words, str(raised.exception))
        with self.assertRaises(ValueError):
            tarvex.convert(b"", format="obj")


if __name__ == "__main__":
    unittest.main()
