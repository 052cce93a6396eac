"""Build backend of the zarvoac package: standard library, CMake and a C++20 compiler only.

`python3 -m pip install ./python` builds the ZarvoAC shared library with
CMake and puts it inside the package, so an installed `import zarvoac`
needs neither an environment variable nor a separate install. The wheel is
written here with zipfile: no `wheel` or `setuptools` is needed, and with
no build requirements pip installs offline.

The C++ sources are found in `native/` (an unpacked source archive) or, in
a checkout, in the folder above this one. ZARVOAC_CMAKE_ARGS adds
arguments to the CMake configure step.
"""

import base64
import hashlib
import io
import os
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import zipfile

NAME = "zarvoac"
SUMMARY = "Python interface to ZarvoAC, the library for door access controllers on a serial line"
REQUIRES_PYTHON = ">=3.8"

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE_DIR = os.path.join(HERE, NAME)

# What the CMake project needs to configure and build the library target.
NATIVE_PARTS = ("CMakeLists.txt", "cmake", "include", "src", "sim", "tools", "bench",
                os.path.join("tests", "support"))
LIBRARY_NAMES = ("libzarvoac.so", "libzarvoac.dylib", "ZarvoAC.dll")


def _native_root():
    for root in (os.path.join(HERE, "native"), os.path.dirname(HERE)):
        if os.path.isfile(os.path.join(root, "src", "CMakeLists.txt")):
            return root
    raise RuntimeError(f"the ZarvoAC C++ sources are neither in {HERE}/native nor above {HERE}")


def _version():
    with open(os.path.join(_native_root(), "CMakeLists.txt"), encoding="utf-8") as cmake:
        match = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", cmake.read())
    if not match:
        raise RuntimeError("no project VERSION in CMakeLists.txt")
    return match.group(1)


def _dist_info():
    return f"{NAME}-{_version()}.dist-info"


def _metadata():
    with open(os.path.join(HERE, "README.md"), encoding="utf-8") as readme:
        description = readme.read()
    return (
        "Metadata-Version: 2.1\n"
        f"Name: {NAME}\n"
        f"Version: {_version()}\n"
        f"Summary: {SUMMARY}\n"
        f"Requires-Python: {REQUIRES_PYTHON}\n"
        "Description-Content-Type: text/markdown\n"
        "\n" + description
    )


def _platform_tag():
    return re.sub(r"[-.]", "_", sysconfig.get_platform())


def _run(command, **kwargs):
    print("+", shlex.join(command), file=sys.stderr, flush=True)
    try:
        subprocess.run(command, check=True, stdout=sys.stderr, **kwargs)
    except FileNotFoundError:
        raise RuntimeError(
            f"{command[0]} not found: building zarvoac needs CMake 3.20 or newer "
            "and a C++20 compiler"
        ) from None


def _build_library(build_dir):
    """Builds the shared library alone and returns the path of the real file."""
    configure = ["cmake", "-S", _native_root(), "-B", build_dir,
                 "-DCMAKE_BUILD_TYPE=Release", "-DZARVO_BUILD_TESTS=OFF",
                 "-DZARVO_BUILD_WINDOWS=OFF", "-DZARVO_WERROR=OFF"]
    if shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    configure += shlex.split(os.environ.get("ZARVOAC_CMAKE_ARGS", ""))
    _run(configure)
    _run(["cmake", "--build", build_dir, "--target", "zarvoac", "--parallel",
          str(os.cpu_count() or 1)])
    for folder, _, files in os.walk(build_dir):
        for name in LIBRARY_NAMES:
            if name in files:
                return name, os.path.realpath(os.path.join(folder, name))
    raise RuntimeError(f"the build left no {' or '.join(LIBRARY_NAMES)} in {build_dir}")


class _WheelWriter:
    """A wheel archive and the RECORD of what went into it."""

    def __init__(self, path):
        self.zip = zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED)
        self.record = []

    def add(self, name, data, mode=0o644):
        info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
        info.external_attr = (0o100000 | mode) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        self.zip.writestr(info, data)
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
        self.record.append(f"{name},sha256={digest.decode()},{len(data)}")

    def close(self, record_name):
        lines = self.record + [f"{record_name},,"]
        self.zip.writestr(zipfile.ZipInfo(record_name, date_time=(1980, 1, 1, 0, 0, 0)),
                          "\n".join(lines) + "\n")
        self.zip.close()


def _read(path):
    with open(path, "rb") as source:
        return source.read()


def _package_sources():
    for name in sorted(os.listdir(PACKAGE_DIR)):
        if name.endswith(".py"):
            yield name, _read(os.path.join(PACKAGE_DIR, name))


def _write_metadata(directory):
    info = os.path.join(directory, _dist_info())
    os.makedirs(info, exist_ok=True)
    with open(os.path.join(info, "METADATA"), "w", encoding="utf-8") as metadata:
        metadata.write(_metadata())
    return _dist_info()


# ---- PEP 517 hooks -------------------------------------------------------


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    return _write_metadata(metadata_directory)


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    tag = f"py3-none-{_platform_tag()}"
    wheel_name = f"{NAME}-{_version()}-{tag}.whl"
    with tempfile.TemporaryDirectory(prefix="zarvoac-build-") as build_dir:
        library_name, library_path = _build_library(build_dir)
        wheel = _WheelWriter(os.path.join(wheel_directory, wheel_name))
        for name, data in _package_sources():
            wheel.add(f"{NAME}/{name}", data)
        wheel.add(f"{NAME}/{library_name}", _read(library_path), 0o755)
    info = _dist_info()
    wheel.add(f"{info}/METADATA", _metadata().encode("utf-8"))
    wheel.add(f"{info}/WHEEL", (
        "Wheel-Version: 1.0\n"
        f"Generator: {NAME} build backend\n"
        "Root-Is-Purelib: false\n"
        f"Tag: {tag}\n").encode("ascii"))
    wheel.add(f"{info}/top_level.txt", f"{NAME}\n".encode("ascii"))
    wheel.close(f"{info}/RECORD")
    return wheel_name


def build_sdist(sdist_directory, config_settings=None):
    """The package and, under native/, the C++ sources its wheel is built from."""
    base = f"{NAME}-{_version()}"
    sdist_name = f"{base}.tar.gz"

    def skip(info):
        return None if "__pycache__" in info.name or info.name.endswith(".pyc") else info

    path = os.path.join(sdist_directory, sdist_name)
    with tarfile.open(path, "w:gz", format=tarfile.PAX_FORMAT) as sdist:
        for name in ("pyproject.toml", "_build_backend.py", "README.md", NAME):
            sdist.add(os.path.join(HERE, name), f"{base}/{name}", filter=skip)
        for part in NATIVE_PARTS:
            sdist.add(os.path.join(_native_root(), part), f"{base}/native/{part}", filter=skip)
        pkg_info = _metadata().encode("utf-8")
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        info.size = len(pkg_info)
        sdist.addfile(info, io.BytesIO(pkg_info))
    return sdist_name
