#!/usr/bin/env bash
# Installs the package into a fresh virtual environment without a package
# index, then probes a virtual controller through the installed copy alone:
# no ZARVOAC_LIBRARY, no PYTHONPATH, run from outside the source tree.
# Usage: install_test.sh PATH/TO/zarvo-sim [PYTHON]
set -euo pipefail
sim=$(realpath "${1:?usage: install_test.sh PATH/TO/zarvo-sim [PYTHON]}")
python=${2:-python3}
package=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$python" -m venv "$work/venv"
"$work/venv/bin/python" -m pip install --no-index --quiet "$package"

cd "$work"
env -u ZARVOAC_LIBRARY -u PYTHONPATH "$work/venv/bin/python" - "$sim" <<'PROBE'
import os
import subprocess
import sys

import zarvoac
from zarvoac import _native

package = os.path.dirname(zarvoac.__file__)
assert package.startswith(sys.prefix), f"zarvoac imported from {package}, not the venv"
sim = subprocess.Popen([sys.argv[1], "--address", "1"], stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, text=True)
try:
    device = sim.stdout.readline().strip()
    with zarvoac.Port(device) as port:
        assert port.probe(1), "no controller answered at address 1"
        version = port.version(1)
    library = _native.load_library()._name
    assert os.path.dirname(library) == package, f"library loaded from {library}"
    from importlib import metadata
    assert zarvoac.__version__ == metadata.version("zarvoac"), zarvoac.__version__
    print(f"installed zarvoac {zarvoac.__version__} {package}: {version!r} from {device} through {library}")
finally:
    sim.terminate()
    sim.wait(timeout=10)
PROBE
