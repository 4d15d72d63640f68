"""tarvex: QuickDraw 3D metafiles (3DMF, text and binary) as VRML 97, X3D or glTF, or as a
scene of NumPy arrays.

    import tarvex
    glb = tarvex.convert("scene.3dmf", format="glb")      # bytes
    tarvex.convert(open("scene.3dmf", "rb").read(), "scene.x3d")
    scene = tarvex.read("scene.3dmf")
    for node in scene.nodes:
        if node.mesh is not None:
            mesh = scene.meshes[node.mesh]
            print(node.name, mesh.positions.shape, node.world_transform)

Failures raise tarvex.Error; what was mended or left out comes as tarvex.Warning through
Python's warnings module.
"""
import os
import warnings
from dataclasses import dataclass, field
from typing import List, Optional, Tuple

import numpy as np

from . import _tarvex

__all__ = ["convert", "read", "Error", "Warning", "Scene", "Node", "Mesh", "Material",
           "Texture", "Camera", "Light", "version"]
__version__ = _tarvex.version()


class Error(Exception):
    """A conversion or read that failed. `status` names the failure: incomplete, cant_open,
    not_3dmf, write_failed, format_unavailable or out_of_memory."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


class Warning(UserWarning):  # noqa: A001 - the module's own kind, tarvex.Warning
    """Something the input held that was mended or left out."""


def version():
    """The version of the converter library."""
    return _tarvex.version()


def _source(src):
    if isinstance(src, (bytes, bytearray, memoryview)):
        return bytes(src)
    return os.fsdecode(os.fspath(src))


def _check(result):
    status, message, notes = result
    for note in notes:
        warnings.warn(note, Warning, stacklevel=3)
    if status != "ok":
        raise Error(status, message)


def convert(src, dst=None, format=None, full=True, max_output=0, verbose=False):
    """Converts a 3DMF scene, a path or bytes, into VRML 97 ("vrml"), X3D ("x3d") or glTF 2.0
    ("gltf", or binary "glb"). Returns the output's bytes when `dst` is None; otherwise writes
    the file at `dst`, replaced only once written whole. `format` defaults to the one dst's
    extension names, else VRML 97. `full=False` reads a text file in the default mode, which
    keeps the classic converter's output byte for byte. The bytes are those the tarvex program
    writes for the same input and options."""
    if dst is not None:
        dst = os.fsdecode(os.fspath(dst))
    if format is None:
        extension = os.path.splitext(dst)[1].lower() if dst is not None else ""
        format = {".x3d": "x3d", ".gltf": "gltf", ".glb": "glb"}.get(extension, "vrml")
    result, output = _tarvex.convert(_source(src), dst, format, full, max_output, verbose)
    _check(result)
    return output


@dataclass
class Node:
    name: str
    parent: Optional[int]
    children: List[int]
    transform: np.ndarray  # 4 x 4, relative to the parent: p' = transform @ p
    mesh: Optional[int]
    world_transform: np.ndarray = None  # 4 x 4, from the node's coordinates to the world's


@dataclass
class Mesh:
    primitive: str  # "triangles", "lines" or "points"
    positions: np.ndarray  # float32, n x 3
    normals: np.ndarray  # float32, n x 3, or 0 x 3: shade each facet flat
    uvs: np.ndarray  # float32, n x 2, or 0 x 2; (0, 0) at the texture's first pixel
    colors: np.ndarray  # float32, n x 3, or 0 x 3: the material's diffuse colour
    indices: np.ndarray  # uint32, one row a triangle (3), segment (2) or point (1)
    material: int
    double_sided: bool


@dataclass
class Material:  # the VRML 97 material model
    diffuse: Tuple[float, float, float]
    specular: Tuple[float, float, float]
    emissive: Tuple[float, float, float]
    ambient_intensity: float
    shininess: float
    transparency: float
    texture: Optional[int]


@dataclass
class Texture:
    width: int
    height: int
    rgba: np.ndarray  # uint8, height x width x 4, rows from the bottom up
    repeat_s: bool
    repeat_t: bool


@dataclass
class Camera:  # in world coordinates, looking down its own -z with +y up
    name: str
    position: Tuple[float, float, float]
    orientation: Tuple[float, float, float, float]  # unit quaternion x y z w
    field_of_view: float  # radians, across the view's smaller side


@dataclass
class Light:  # in world coordinates, as VRML 97 lights
    kind: str  # "ambient", "directional", "point" or "spot"
    name: str
    on: bool
    intensity: float
    color: Tuple[float, float, float]
    location: Tuple[float, float, float]
    direction: Tuple[float, float, float]
    attenuation: Tuple[float, float, float]
    beam_width: float
    cut_off_angle: float
    radius: float


@dataclass
class Scene:
    nodes: List[Node] = field(default_factory=list)  # nodes[0] is the root
    meshes: List[Mesh] = field(default_factory=list)
    materials: List[Material] = field(default_factory=list)
    textures: List[Texture] = field(default_factory=list)
    cameras: List[Camera] = field(default_factory=list)
    lights: List[Light] = field(default_factory=list)
    background: Optional[Tuple[float, float, float]] = None


def read(src, max_output=0, verbose=False):
    """Reads a 3DMF scene, a path or bytes, in full mode into a Scene of NumPy arrays. A node
    the file places more than once appears once per place, sharing its mesh."""
    result, raw = _tarvex.read(_source(src), max_output, verbose)
    _check(result)
    scene = Scene(nodes=[Node(**n) for n in raw["nodes"]],
                  meshes=[Mesh(**m) for m in raw["meshes"]],
                  materials=[Material(**m) for m in raw["materials"]],
                  textures=[Texture(**t) for t in raw["textures"]],
                  cameras=[Camera(**c) for c in raw["cameras"]],
                  lights=[Light(**l) for l in raw["lights"]],
                  background=raw["background"])
    stack = [(0, np.eye(4, dtype=np.float32))] if scene.nodes else []
    while stack:
        index, parent = stack.pop()
        node = scene.nodes[index]
        node.world_transform = parent @ node.transform
        stack += [(child, node.world_transform) for child in node.children]
    return scene
