import pytest

import skylark
from skylark import virtual


@pytest.fixture(scope="session")
def sk():
    """The library under test: SKYLARK_LIBRARY, else libskylark.so on the search path."""
    return skylark.Skylark()


@pytest.fixture
def m_clock(sk):
    with virtual.VirtualClock(sk, virtual.KIND_M) as clock:
        yield clock
