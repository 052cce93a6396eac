"""The package's own version: in a source tree, the project's version from its CMakeLists.txt
(where the build backend takes it from too), else the installed package's metadata."""

import os
import re

_SOURCE_TREE_CMAKE = os.path.join(
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "CMakeLists.txt")


def package_version():
    # The source tree first: an installed copy's metadata may be of another version than the
    # code imported from here.
    if os.path.isfile(_SOURCE_TREE_CMAKE):
        with open(_SOURCE_TREE_CMAKE, encoding="utf-8") as cmake:
            match = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", cmake.read())
        if match:
            return match.group(1)
    from importlib import metadata

    try:
        return metadata.version("zarvoac")
    except metadata.PackageNotFoundError:
        return "0+unknown"
