import os
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

# Tests run against the module built in the CMake build tree when it is there
# (make test), else against an installed inkra.
_build = os.environ.get("INKRA_BUILD_DIR")
if _build:
    sys.path.insert(0, _build)

ROOT = HERE.parent.parent
CORPUS = ROOT.parent / "shared" / "corpus"
