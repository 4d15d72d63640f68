# The Python module as a wheel, built offline with Debian's setuptools, wheel and pybind11:
#   python3 -m pip wheel --no-build-isolation .
# Its native part is built by CMake, as the rest of the project is.
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

root = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(root, "CMakeLists.txt")) as f:
    version = re.search(r"project\(tarvex VERSION ([0-9.]+)", f.read()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        subprocess.check_call(["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                               "-DTARVEX_BUILD_TESTS=OFF", "-DTARVEX_BUILD_BENCH=OFF",
                               "-DTARVEX_BUILD_GUI=OFF", f"-DPython3_EXECUTABLE={sys.executable}"])
        subprocess.check_call(["cmake", "--build", build, "--target", "_tarvex", "-j",
                               str(os.cpu_count() or 2)])
        built = os.path.join(build, "python", "tarvex", os.path.basename(self.get_ext_filename(
            ext.name)))
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


setup(
    name="tarvex",
    version=version,
    description="QuickDraw 3D metafiles (3DMF) as VRML 97, X3D, glTF, or NumPy arrays",
    packages=["tarvex"],
    package_dir={"": "python"},
    ext_modules=[Extension("tarvex._tarvex", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    install_requires=["numpy"],
    python_requires=">=3.9",
    zip_safe=False,
)
