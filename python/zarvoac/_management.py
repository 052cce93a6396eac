"""Controller management: probe, address, version, clock, speed, reset, device values."""

import ctypes

from . import _checks
from ._base import CommandBase
from ._native import VERSION_BYTES
from .errors import NoReply


class ManagementCommands(CommandBase):
    """Finding controllers and managing them as a whole."""

    def probe(self, address):
        """True when a controller answers at `address` (0: any controller).

        A controller that does not answer costs the 200 ms of silence the
        probe waits for; that gives False. Other failures raise ZarvoError.
        """
        try:
            self._call("probe", "SearchAR", address)
        except NoReply:
            return False
        return True

    def find_controllers(self, addresses=range(1, 256)):
        """The addresses among `addresses` at which a controller answers.

        Each address where nothing answers costs 200 ms, so a full scan of
        1 to 255 takes about 50 s when the line is empty.
        """
        return [address for address in addresses if self.probe(address)]

    def change_address(self, address, new_address):
        """Moves the controller at `address` to `new_address` (1 to 255).

        Later calls must name the new address.
        """
        new_address = _checks.integer(new_address, "new address", 1, 255)
        self._call("change_address", "ChangeAR", address, new_address)

    def version(self, address, raw=False):
        """The controller's version text (up to 32 bytes).

        With raw=True the bytes as the controller sent them, without the
        trailing zero bytes.
        """
        buffer = ctypes.create_string_buffer(VERSION_BYTES)
        self._call("version", "Ver", address, buffer)
        data = buffer.raw.rstrip(b"\0")
        return data if raw else data.decode("latin-1")

    def set_time(self, address):
        """Sets the controller's clock to this computer's local date and time."""
        self._call("set_time", "Time", address)

    def change_baud(self, address, baud):
        """Changes the controller's line speed to `baud` bit/s.

        The speeds are 4800, 9600, 19200, 38400 and 57600; any other raises
        InvalidArgument. This Port keeps its own speed: open a new Port at
        the new speed to go on talking to the controller.
        """
        baud = _checks.integer(baud, "baud")
        self._call("change_baud", "ChangeBaud", address, baud)

    def initialise(self, address):
        """Resets the controller to its factory settings.

        This Port's line keeps copies of the last time table and holiday
        list it read and answers later reads of the same table from them;
        after a reset those copies no longer match the controller until
        another table is read or a new Port is opened.
        """
        self._call("initialise", "Init", address)

    def device_info(self, address):
        """The controller's six device values, each 0 to 65535, as a tuple."""
        values = (ctypes.c_int32 * 6)()
        self._call("device_info", "DeviceInformation", address, values)
        return tuple(values)
