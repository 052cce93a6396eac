"""The card list, end to end against the virtual controller."""

import datetime
import unittest

import zarvoac

from .sim_support import LineTestCase

EXPIRY = datetime.date(2031, 12, 31)


class CardTest(LineTestCase):
    def test_card_round_trip(self):
        for card, flagged in [
            (zarvoac.Card(4000000000, EXPIRY, "12ab56", 0x80000005, 3, 250), False),
            (zarvoac.Card(123, datetime.date(2000, 1, 1), flags=1), True),
        ]:
            with self.subTest(card=card):
                self.port.put_card(1, card, flagged=flagged)
                read = self.port.get_card(1, card.number)
                self.assertEqual(read.pin, card.pin.upper())
                read.pin = card.pin
                self.assertEqual(read, card)
                self.assertIsInstance(self.port.last_exchange_ms, int)

    def test_put_replaces_and_delete_removes(self):
        self.port.put_card(1, zarvoac.Card(555, EXPIRY, value1=1))
        self.port.put_card(1, zarvoac.Card(555, EXPIRY, value1=2))
        self.assertEqual(self.port.get_card(1, 555).value1, 2)
        self.port.delete_card(1, 555)
        self.assertFails(zarvoac.Refused, -1, "REFUSED", self.port.get_card, 1, 555)
        self.assertFails(zarvoac.Refused, -1, "REFUSED", self.port.delete_card, 1, 555)

    def test_cards_belong_to_their_controller(self):
        self.port.put_card(1, zarvoac.Card(999, EXPIRY))
        self.assertFails(zarvoac.Refused, -1, "REFUSED", self.port.get_card, 2, 999)

    def test_double_card_round_trip_and_delete(self):
        card = zarvoac.DoubleCard(1001, 1002, EXPIRY, flags=0b110, value=9)
        self.port.put_double_card(2, card)
        self.assertEqual(self.port.get_double_card(2, 1001, 1002), card)
        self.port.delete_double_card(2, 1001, 1002)
        self.assertFails(zarvoac.Refused, -1, "REFUSED", self.port.get_double_card, 2, 1001, 1002)

    def test_card_number_out_of_range_is_refused_before_sending(self):
        # Sent through the library, 2**32 + 7 would name card 7.
        self.port.put_card(1, zarvoac.Card(7, EXPIRY))
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                         self.port.delete_card, 1, 2**32 + 7)
        self.assertEqual(self.port.get_card(1, 7).number, 7)

    def test_wrong_record_kind_is_refused(self):
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG", self.port.put_card, 1,
                         zarvoac.DoubleCard(1, 2, EXPIRY))


if __name__ == "__main__":
    unittest.main()
