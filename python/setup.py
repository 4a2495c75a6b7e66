"""Builds the extension module ambrel._ambrel with CMake, from the C++ rooms
of the repository this folder lies in (pkcore, drugmodels, sheet), with the
same compiler flags as the add-ins: the numbers are theirs bit for bit.

CMake and the C++ compiler come from Debian (cmake, g++, ninja-build), and so
does pybind11 (pybind11-dev); nothing is fetched.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


def version():
    """The product's version: the first line of VERSION, or the CMake project's."""
    file = ROOT / "VERSION"
    if file.is_file():
        return file.read_text().splitlines()[0].strip()
    match = re.search(r"project\(\w+ VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    return match.group(1) if match else "0"


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        if not (ROOT / "pkcore").is_dir():
            sys.exit(f"{HERE} has to lie in the Ambrel source tree: the C++ core is built from {ROOT}")
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        build = Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(HERE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     f"-DPYTHON_EXECUTABLE={sys.executable}", f"-DAMBREL_PYTHON_OUTPUT_DIR={target.parent}"]
        if shutil.which("ninja") and not (build / "CMakeCache.txt").exists():
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        # Two jobs unless told otherwise: a build must not take the machine.
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "_ambrel", "--parallel", jobs], check=True)


setup(
    version=version(),
    ext_modules=[CMakeExtension("ambrel._ambrel")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
