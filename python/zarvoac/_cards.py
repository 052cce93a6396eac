"""The controller's card list: single cards and double-card entries."""

import ctypes

from ._base import CommandBase
from ._native import CardRecord
from .errors import invalid
from .records import Card, DoubleCard, card_number_text, double_card_key

_READ, _WRITE, _DELETE = 0, 1, 2


def _card_key(number):
    record = CardRecord()
    record.cardNumber = card_number_text(number)
    return record


class CardCommands(CommandBase):
    """Registering, reading back and deleting cards.

    A card command waits up to 10 s for the controller's reply. After each
    one, `last_exchange_ms` holds how long its exchange with the controller
    took, whether it succeeded or not.
    """

    last_exchange_ms = None

    def _registry(self, operation, function, address, record, *mode_args):
        ticks = ctypes.c_uint32()
        try:
            result = self._invoke(operation, function, address, ctypes.byref(record),
                                  ctypes.byref(ticks), *mode_args)
        finally:
            self.last_exchange_ms = ticks.value
        self._check(result, operation, address)

    def get_card(self, address, number):
        """The single card `number` as the controller holds it.

        Raises Refused when the controller refuses the request, for instance
        when it holds no such card.
        """
        record = _card_key(number)
        self._registry("get_card", "Registry", address, record, _READ, 0)
        return Card.from_record(record)

    def put_card(self, address, card, flagged=False):
        """Registers `card` (a Card), replacing any entry of the same number.

        flagged=True registers it with the controller's second registration
        command, which carries the same entry; what it means is the
        controller's business.
        """
        if not isinstance(card, Card):
            raise invalid("put_card", f"card must be a Card, not {card!r}")
        record = card.to_record()
        self._registry("put_card", "Registry", address, record, _WRITE, int(bool(flagged)))

    def delete_card(self, address, number):
        """Deletes the single card `number`; Refused when the controller refuses."""
        record = _card_key(number)
        self._registry("delete_card", "Registry", address, record, _DELETE, 0)

    def get_double_card(self, address, number1, number2):
        """The double-card entry of `number1` and `number2`.

        Raises Refused when the controller refuses the request, for instance
        when it holds no such entry.
        """
        record = double_card_key(number1, number2)
        self._registry("get_double_card", "RegistryDouble", address, record, _READ)
        return DoubleCard.from_record(record)

    def put_double_card(self, address, card):
        """Registers `card` (a DoubleCard), replacing any entry of the same two numbers."""
        if not isinstance(card, DoubleCard):
            raise invalid("put_double_card", f"card must be a DoubleCard, not {card!r}")
        record = card.to_record()
        self._registry("put_double_card", "RegistryDouble", address, record, _WRITE)

    def delete_double_card(self, address, number1, number2):
        """Deletes the double-card entry of `number1` and `number2`.

        Raises Refused when the controller refuses the request.
        """
        record = double_card_key(number1, number2)
        self._registry("delete_double_card", "RegistryDouble", address, record, _DELETE)
