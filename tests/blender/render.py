# Renders a 3DMF file as the add-on imports it, for the pictures in docs/ (not a test):
#   blender -b --factory-startup --python render.py -- ZIP FILE OUT.png
# Cycles on the processor with few samples; the Standard view transform, so that colours come
# out as tarvexw shows them rather than through Filmic's tone curve.
import sys

import bpy

zip_path, path, out = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.preferences.addon_install(filepath=zip_path)
bpy.ops.preferences.addon_enable(module="tarvex_3dmf")
for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.lights, bpy.data.cameras):
    for item in list(collection):
        collection.remove(item)
scene = bpy.context.scene
scene.camera = None
bpy.ops.import_scene.tarvex_3dmf(filepath=path)
scene.render.engine = "CYCLES"
scene.cycles.device = "CPU"
scene.cycles.samples = 64
scene.cycles.use_denoising = False  # Debian's Blender has no denoiser
# Direct light only, as tarvexw lights a scene: surfaces do not light each other.
scene.cycles.max_bounces = 0
scene.render.resolution_x, scene.render.resolution_y = 320, 240
scene.render.resolution_percentage = 100
scene.view_settings.view_transform = "Standard"
scene.render.image_settings.file_format = "PNG"
scene.render.image_settings.color_mode = "RGB"
scene.render.image_settings.compression = 100
scene.render.filepath = out
bpy.ops.render.render(write_still=True)
