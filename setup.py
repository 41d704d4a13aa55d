"""The Python package's build: CMake builds the module target for the Python that runs
pip, and the wheel takes the module beside the package's files and type stubs."""
import os
import re
import subprocess
import sys
import sysconfig
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def version():
    """CMakeLists' version in pip's spelling: 1.0.0 with beta1 is 1.0.0b1."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    number = re.search(r"project\(rotorwerk VERSION ([0-9.]+)", text).group(1)
    prerelease = re.search(r"set\(ROTORWERK_PRERELEASE (alpha|beta|rc)([0-9]+)\)", text)
    if not prerelease:
        return number
    return number + {"alpha": "a", "beta": "b", "rc": "rc"}[prerelease.group(1)] + prerelease.group(2)


class CMakeBuild(build_ext):
    """Builds only the module's target in a build folder of its own, then copies the
    module to where setuptools packs it."""

    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DBUILD_TESTING=OFF", f"-DPython3_EXECUTABLE={sys.executable}"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(build), "--target", "rotorwerk_python",
                        "-j", jobs], check=True)
        built = next((build / "python" / "rotorwerk").glob("_native*" + suffix()), None)
        if built is None:
            raise RuntimeError("CMake built no Python module: are pybind11 and Python's "
                               "headers installed (pybind11-dev, python3-dev)?")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(target))


def suffix():
    return sysconfig.get_config_var("EXT_SUFFIX")


# setuptools' own folders apart from the CMake build folders a developer has in build/.
setup(version=version(), ext_modules=[Extension("rotorwerk._native", sources=[])],
      cmdclass={"build_ext": CMakeBuild},
      options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}})
