"""Builds the extension with the project's own CMake build (model, solver and batch layers, no Qt).

Install from the source tree with the system's build tools, nothing downloaded:

    pip install --no-build-isolation ./python
"""

import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent


def project_version():
    """The one version number: the project version of the top CMakeLists.txt."""
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Orbench VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
             "-DORBENCH_BUILD_TESTS=OFF", "-DORBENCH_BUILD_BENCH=OFF", "-DORBENCH_BUILD_GUI=OFF",
             f"-DPython3_EXECUTABLE={sys.executable}"],
            check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "orbench_python"], check=True)
        built = next((build / "python" / "orbench").glob("_orbench*.so"))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=project_version(),
    packages=["orbench"],
    package_data={"orbench": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("orbench._orbench", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
