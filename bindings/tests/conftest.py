import json
import sys
from pathlib import Path

import pytest

BINDINGS = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(BINDINGS))


@pytest.fixture(scope="session")
def exports():
    return json.loads((BINDINGS.parent / "api" / "exports.json").read_text())["exports"]
