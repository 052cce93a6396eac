"""Where the binding looks for the shared library."""

import os
import sys
import tempfile
import unittest
from unittest import mock

import zarvoac
from zarvoac import _native


@unittest.skipIf(sys.platform == "win32", "the names below are those of POSIX systems")
class LibrarySearchTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.package = folder.name
        patcher = mock.patch.object(_native, "_PACKAGE_DIR", self.package)
        patcher.start()
        self.addCleanup(patcher.stop)

    def candidates(self, **environment):
        with mock.patch.dict(os.environ, environment):
            if not environment:
                os.environ.pop(_native.LIBRARY_ENV, None)
            return _native._candidates()

    def test_environment_variable_wins_over_the_installed_copy(self):
        open(os.path.join(self.package, "libzarvoac.so"), "wb").close()
        self.assertEqual(self.candidates(ZARVOAC_LIBRARY="/opt/z/libzarvoac.so"),
                         ["/opt/z/libzarvoac.so"])

    def test_installed_copy_comes_before_the_system_loader(self):
        self.assertEqual(self.candidates()[0], "libzarvoac.so.0", "no copy installed")
        bundled = os.path.join(self.package, "libzarvoac.so")
        open(bundled, "wb").close()
        found = self.candidates()
        self.assertEqual(found[0], bundled)
        self.assertIn("libzarvoac.so.0", found[1:])


class VersionTest(unittest.TestCase):
    def test_version_is_the_one_the_package_is_built_with(self):
        import _build_backend

        self.assertEqual(zarvoac.__version__, _build_backend._version())


class LibraryVersionTest(unittest.TestCase):
    def test_the_loaded_library_names_its_version(self):
        import zarvoac
        self.assertRegex(zarvoac.library_version(), r"^\d+\.\d+\.\d+$")


if __name__ == "__main__":
    unittest.main()
