"""The package's one build step beyond pyproject.toml: a wheel that bundles
the native libraries in skylark/_native (scripts/test-packages.sh puts them
there) is tagged for the platform they were built for, and for any Python 3
(ctypes, no extension module): py3-none-linux_x86_64, py3-none-win_amd64,
py3-none-win32. SKYLARK_WHEEL_PLATFORM names the platform (the DLLs are
cross-built); without bundled libraries the wheel stays py3-none-any."""
import os

from setuptools import setup

try:
    from wheel.bdist_wheel import bdist_wheel
except ImportError:  # building an sdist or installing from the tree without wheel
    bdist_wheel = None

NATIVE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "skylark", "_native")


def bundles_libraries():
    return os.path.isdir(NATIVE) and any(not n.startswith(".") for n in os.listdir(NATIVE))


commands = {}
if bdist_wheel is not None:
    class PlatformWheel(bdist_wheel):
        # The package itself stays at the wheel's root (no extension module
        # to put under platlib); only the tag names the platform.
        def get_tag(self):
            if not bundles_libraries():
                return super().get_tag()
            return "py3", "none", os.environ.get("SKYLARK_WHEEL_PLATFORM", "linux_x86_64")

    commands["bdist_wheel"] = PlatformWheel

setup(cmdclass=commands)
