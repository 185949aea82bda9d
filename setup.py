"""Builds the q6fdmgr module with CMake for pip.

The extension and the shared libraries it links are built by the project's
own CMake build (tests off; CMAKE_BUILD_TYPE from the environment, Release by
default) in build-python/ and installed with its install rules: the module
at the top of the wheel, its Python submodules (q6fdmgr.dbapi) in the folder
q6fdmgr/ beside it, the libraries in q6fdmgr.libs/, found through a RUNPATH
relative to the module. The version is the CMake project's.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*q6fd\s+VERSION\s+([0-9.]+)", text)
    if not found:
        sys.exit("setup.py: no project VERSION in CMakeLists.txt")
    return found.group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        out = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        # A tree beside build/, at the same depth, so that with ccache the
        # objects of an earlier build of the same type are reused.
        tree = ROOT / "build-python"
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        build_type = os.environ.get("CMAKE_BUILD_TYPE", "Release")
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(tree),
            f"-DCMAKE_BUILD_TYPE={build_type}",
            "-DBUILD_TESTING=OFF",
            "-DQ6_INSTALL=ON",
            f"-DPython3_EXECUTABLE={sys.executable}",
            "-DCMAKE_INSTALL_LIBDIR=q6fdmgr.libs",
            "-DQ6_PYTHON_INSTALL_DIR=.",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", str(tree), "-j", jobs, "--target", "q6fdmgr_py"])
        for component in ("runtime", "python"):
            subprocess.check_call(["cmake", "--install", str(tree), "--prefix", str(out),
                                   "--component", component])
        # A wheel holds no symbolic links: keep each library once, under the
        # name the module and the runtime load it by (its SONAME).
        for link in list((out / "q6fdmgr.libs").glob("*.so*")):
            if link.is_symlink():
                target = link.resolve()
                link.unlink()
                if target.exists():
                    target.rename(link)
        for leftover in list((out / "q6fdmgr.libs").glob("*.so.*.*")):
            leftover.unlink()
        if not Path(self.get_ext_fullpath(ext.name)).exists():
            sys.exit("setup.py: CMake did not build the module (is pybind11-dev installed?)")


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("q6fdmgr")],
    # The Python submodules come with the module from CMake's install rules;
    # left to itself, setuptools would also take src/python/ for packages.
    packages=[],
    py_modules=[],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build-python/setuptools"}},
    zip_safe=False,
)
