# File > Import > 3DMF: the tarvex program converts the file to glTF binary in full mode and
# Blender's own glTF importer brings that in. The program rather than the Python module, so that
# the add-on does not depend on the Python that a given Blender embeds.
import json
import math
import os
import shutil
import struct
import subprocess
import tempfile

import bpy
from bpy.props import StringProperty
from bpy_extras.io_utils import ImportHelper

bl_info = {
    "name": "3DMF format (tarvex)",
    "description": "Import QuickDraw 3D metafiles (3DMF, text and binary) with tarvex",
    "author": "tarvex",
    "version": (1, 0, 3),
    "blender": (3, 4, 0),
    "location": "File > Import > 3DMF (.3dmf)",
    "category": "Import-Export",
}

# A VRML material's ambient intensity when the file gives none: how much of an ambient light a
# surface shows, which Blender's world light cannot vary by material.
AMBIENT_SHARE = 0.2


class TarvexPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    program: StringProperty(
        name="tarvex program",
        description="The tarvex program to convert with; empty: the one beside the add-on, "
        "else the one on PATH",
        subtype="FILE_PATH",
        default="",
    )

    def draw(self, context):
        self.layout.prop(self, "program")


def find_program(context):
    prefs = context.preferences.addons.get(__package__)
    chosen = prefs.preferences.program if prefs else ""
    if chosen:
        chosen = bpy.path.abspath(chosen)
        return chosen if os.path.isfile(chosen) else None
    here = os.path.join(os.path.dirname(__file__), "bin")
    for name in ("tarvex.exe", "tarvex") if os.name == "nt" else ("tarvex",):
        path = os.path.join(here, name)
        if os.path.isfile(path):
            # Blender unpacks the add-on's zip without the program's executable bit.
            if not os.access(path, os.X_OK):
                os.chmod(path, os.stat(path).st_mode | 0o755)
            return path
    return shutil.which("tarvex")


def glb_json(path):
    """The JSON chunk of a glTF binary file."""
    with open(path, "rb") as f:
        header = f.read(20)
        if len(header) < 20 or header[:4] != b"glTF":
            return {}
        length, kind = struct.unpack_from("<II", header, 12)
        if kind != 0x4E4F534A:  # "JSON"
            return {}
        return json.loads(f.read(length))


class glTFImportWorkarounds:
    """Blender 3.4's glTF importer asks for numpy.bool, which NumPy 1.24 removed; the name is
    given back for the import only."""

    def __enter__(self):
        import numpy

        self.added = "bool" not in numpy.__dict__
        if self.added:
            numpy.bool = bool
        return self

    def __exit__(self, *exc):
        import numpy

        if self.added:
            del numpy.bool
        return False


def gltf_options():
    # Unitless lighting keeps glTF's lux and candela as Blender's watts a square metre and
    # watts over 4 pi: the scene then renders as bright as tarvex shows it. Standard mode would
    # divide by 683.
    props = bpy.ops.import_scene.gltf.get_rna_type().properties
    options = {"import_shading": "NORMALS"}
    if "convert_lighting_mode" in props:
        options["convert_lighting_mode"] = "COMPAT"
    return {k: v for k, v in options.items() if k in props}


def add_world(context, asset):
    """The file's ambient light lights the scene from all around, and its background colour is
    what the camera sees behind it (black when it has none, as in tarvexw)."""
    extras = asset.get("scenes", [{}])[0].get("extras", {})
    if "ambient" not in extras and "background" not in extras:
        return
    clamp = lambda c: min(max(float(c), 0.0), 1e6)
    ambient = [clamp(c) * AMBIENT_SHARE for c in extras.get("ambient", [0, 0, 0])[:3]]
    background = [clamp(c) for c in extras.get("background", [0, 0, 0])[:3]]
    world = bpy.data.worlds.new("World")
    world.color = ambient
    world.use_nodes = True
    nodes, links = world.node_tree.nodes, world.node_tree.links
    nodes.clear()
    lit, seen = nodes.new("ShaderNodeBackground"), nodes.new("ShaderNodeBackground")
    lit.inputs["Color"].default_value = (*ambient, 1)
    seen.inputs["Color"].default_value = (*background, 1)
    path, mix = nodes.new("ShaderNodeLightPath"), nodes.new("ShaderNodeMixShader")
    links.new(path.outputs["Is Camera Ray"], mix.inputs[0])
    links.new(lit.outputs[0], mix.inputs[1])
    links.new(seen.outputs[0], mix.inputs[2])
    links.new(mix.outputs[0], nodes.new("ShaderNodeOutputWorld").inputs["Surface"])
    context.scene.world = world


def add_headlight(context, asset, camera):
    """A file without lights is seen by the light of the viewer's head, as in VRML."""
    if asset.get("extensions", {}).get("KHR_lights_punctual", {}).get("lights") or \
            "ambient" in asset.get("scenes", [{}])[0].get("extras", {}):
        return
    sun = bpy.data.lights.new("Headlight", "SUN")
    sun.energy = math.pi  # lux, as tarvex writes a light of intensity 1
    headlight = bpy.data.objects.new("Headlight", sun)
    context.collection.objects.link(headlight)
    if camera:
        headlight.parent = camera
    else:  # the default view, from +z towards -z in the file's axes
        headlight.rotation_euler = (math.pi / 2, 0, 0)


class Import3DMF(bpy.types.Operator, ImportHelper):
    """Load a QuickDraw 3D metafile (3DMF)"""

    bl_idname = "import_scene.tarvex_3dmf"
    bl_label = "Import 3DMF"
    bl_options = {"REGISTER", "UNDO"}

    filename_ext = ".3dmf"
    filter_glob: StringProperty(default="*.3dmf;*.3dm;*.b3d", options={"HIDDEN"})

    def execute(self, context):
        program = find_program(context)
        if not program:
            self.report({"ERROR"}, "The tarvex program was not found: set its path in the "
                        "add-on's preferences, or put tarvex on PATH")
            return {"CANCELLED"}
        with tempfile.TemporaryDirectory(prefix="tarvex-") as folder:
            glb = os.path.join(folder, "scene.glb")
            try:
                run = subprocess.run([program, "--full", "--format=glb", "--", self.filepath, glb],
                                     capture_output=True, text=True, errors="replace")
            except OSError as e:
                self.report({"ERROR"}, f"Could not run {program}: {e.strerror}")
                return {"CANCELLED"}
            lines = [line for line in run.stderr.splitlines() if line.strip()]
            if run.returncode != 0 or not os.path.isfile(glb):
                self.report({"ERROR"}, "\n".join(lines) or f"tarvex failed ({run.returncode})")
                return {"CANCELLED"}
            for line in lines:
                # The world takes the ambient light that glTF cannot carry.
                if not line.endswith("left out: glTF has no ambient light"):
                    self.report({"WARNING"}, line.replace(glb, os.path.basename(self.filepath)))
            asset = glb_json(glb)
            before = set(bpy.data.objects)
            try:
                with glTFImportWorkarounds():
                    result = bpy.ops.import_scene.gltf(filepath=glb, **gltf_options())
            except RuntimeError as e:
                result = {str(e)}
            if "FINISHED" not in result:
                self.report({"ERROR"}, "Blender's glTF importer could not read tarvex's output: "
                            + ", ".join(result))
                return {"CANCELLED"}
            imported = [o for o in bpy.data.objects if o not in before]
            # A shape's mesh takes the name of the first object showing it, for glTF's has none.
            for o in sorted(imported, key=lambda o: o.name):
                if o.type == "MESH" and o.data.name.startswith("Mesh_"):
                    o.data.name = o.name
            # The importer makes the first root active: the file's first camera, if any.
            camera = context.view_layer.objects.active
            camera = camera if camera in imported and camera.type == "CAMERA" else None
            add_world(context, asset)
            add_headlight(context, asset, camera)
            if camera and context.scene.camera is None:
                context.scene.camera = camera
        return {"FINISHED"}


def menu_import(self, context):
    self.layout.operator(Import3DMF.bl_idname, text="3DMF (.3dmf)")


def register():
    bpy.utils.register_class(TarvexPreferences)
    bpy.utils.register_class(Import3DMF)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    bpy.utils.unregister_class(Import3DMF)
    bpy.utils.unregister_class(TarvexPreferences)
