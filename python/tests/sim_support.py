"""The virtual controller line the end-to-end tests run against."""

import os
import subprocess
import unittest

import zarvoac

SIM = os.environ.get("ZARVO_SIM")
LIBRARY = os.environ.get("ZARVOAC_LIBRARY")

needs_sim = unittest.skipUnless(
    SIM and LIBRARY,
    "end-to-end tests need ZARVO_SIM (the zarvo-sim program) and ZARVOAC_LIBRARY (the built "
    "library) in the environment; ctest sets both",
)


class VirtualLine:
    """A zarvo-sim process serving controllers at addresses 1 and 2 on a pseudo-terminal."""

    def __init__(self, *extra_args):
        self.process = subprocess.Popen(
            [SIM, "--address", "1", "--address", "2", *extra_args],
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
            text=True,
        )
        self.device = self.process.stdout.readline().strip()
        if not self.device:
            self.stop()
            raise RuntimeError(f"{SIM} printed no device name")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stdout.close()


@needs_sim
class LineTestCase(unittest.TestCase):
    """A test case with its own virtual line and a Port open on it for the whole class."""

    sim_args = ()

    @classmethod
    def setUpClass(cls):
        cls.line = VirtualLine(*cls.sim_args)
        try:
            cls.port = zarvoac.Port(cls.line.device)
        except BaseException:
            cls.line.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.port.close()
        cls.line.stop()

    def assertFails(self, error_class, code, name, call, *args):
        """Asserts that call(*args) raises `error_class` carrying `code` and `name`."""
        with self.assertRaises(error_class) as caught:
            call(*args)
        self.assertEqual((caught.exception.code, caught.exception.name), (code, name))
        return caught.exception
