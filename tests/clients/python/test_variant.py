"""The variant byte form: every kind both ways, byte for byte as
docs/wire-protocol.md gives it, and refusal of bad input."""

import datetime
import decimal
import random
import unittest

from rovezevu.variant import (EMPTY, VT_CY, VT_DECIMAL, VT_ERROR, VT_I2, VT_I4, VT_R4, VT_UI1, OleDate, SafeArray,
                              Typed, VariantError, decode_variant, encode_variant)


class ByteForm(unittest.TestCase):
    def test_kinds_byte_for_byte(self):
        cases = [
            (EMPTY, "0000"),
            (None, "0100"),
            (Typed(VT_I2, -2), "0200feff"),
            (7, "030007000000"),
            (1 << 40, "14000000000000010000"),
            (-(1 << 31), "030000000080"),
            (1 << 31, "14000000008000000000"),
            (1.5, "0500000000000000f83f"),
            (True, "0b00ffff"),
            (False, "0b000000"),
            ("a\u4e2d", "080002000000" + "61002d4e"),
            (decimal.Decimal("-12.345"), "0e00" "03" "01" "00000000" "3930000000000000"),
            (Typed(VT_CY, decimal.Decimal("1.5")), "0600983a000000000000"),
            (OleDate(39690.5), "0700000000005061e340"),
            (b"\x01\x02", "1120" "0100" "00000000" "02000000" "0102"),
            ([1, None], "0c20" "0100" "00000000" "02000000" "030001000000" "0100"),
        ]
        for value, hexed in cases:
            with self.subTest(value=value):
                self.assertEqual(encode_variant(value).hex(), hexed)

    def test_values_come_back(self):
        values = [EMPTY, None, 0, -1, 2**31 - 1, 2**63 - 1, -2**63, 0.1, float("inf"), True, "", "\U0001f600",
                  "lone \udc00 surrogate", b"", bytes(range(256)), [], [[["deep"]], b"x", EMPTY],
                  decimal.Decimal("79228162514264337593543950335"), decimal.Decimal("-0.0000000000000000000000000001"),
                  OleDate(-1.25), Typed(VT_ERROR, -2147352572), SafeArray(VT_I4, [(1, 2), (-3, 2)], [1, 2, 3, 4])]
        for v in values:
            with self.subTest(value=v):
                self.assertEqual(decode_variant(encode_variant(v)), v)
        self.assertEqual(decode_variant(encode_variant(Typed(VT_R4, 0.5))), 0.5)
        # A DECIMAL keeps its scale: 1.50 is not sent as 1.5.
        self.assertEqual(str(decode_variant(encode_variant(decimal.Decimal("1.50")))), "1.50")

    def test_dates(self):
        d = OleDate.from_datetime(datetime.datetime(2008, 8, 30, 14, 25, 7, 9000))
        self.assertEqual(d.to_datetime(), datetime.datetime(2008, 8, 30, 14, 25, 7, 9000))
        self.assertEqual(OleDate.from_datetime(datetime.date(1899, 12, 30)), 0.0)
        # Before the epoch the fraction counts forward from the day's midnight.
        self.assertEqual(OleDate.from_datetime(datetime.datetime(1899, 12, 29, 6)), -1.25)
        self.assertEqual(OleDate(-1.25).to_datetime(), datetime.datetime(1899, 12, 29, 6))
        self.assertEqual(decode_variant(encode_variant(datetime.date(2008, 8, 30))), 39690.0)

    def test_values_without_a_variant_form_are_refused(self):
        for bad in [object(), {1: 2}, decimal.Decimal("NaN"), decimal.Decimal("1e40"),
                    decimal.Decimal("0." + "1" * 40), Typed(VT_I2, 1 << 20), Typed(VT_CY, decimal.Decimal("0.00001")),
                    Typed(99, 1), SafeArray(VT_I4, [(0, 3)], [1, 2]), SafeArray(VT_DECIMAL + 100, [(0, 1)], [1]),
                    datetime.datetime(2008, 1, 1, tzinfo=datetime.timezone.utc)]:
            with self.subTest(value=bad):
                with self.assertRaises(VariantError):
                    encode_variant(bad)
        nested = []
        for _ in range(40):
            nested = [nested]
        with self.assertRaisesRegex(VariantError, "nested deeper than 32"):
            encode_variant(nested)


class BadInput(unittest.TestCase):
    def test_refused_with_the_reason(self):
        cases = [
            ("", "truncated kind"),
            ("03000100", "truncated I4"),
            ("0300010000000000", "2 bytes after the variant"),
            ("0b000100", "BOOL must be -1 or 0"),
            ("0800ffffff7f", "BSTR length 2147483647 exceeds the data"),
            ("0e001d00" + "00" * 12, "DECIMAL scale above 28"),
            ("0e000002" + "00" * 12, "DECIMAL sign must be 0 or 1"),
            ("6300", "unknown variant kind 99"),
            ("0c00", "bare VT_VARIANT"),
            ("1120" "0000", "bad array dimension count 0"),
            ("1120" "1100" + "00" * 136, "bad array dimension count 17"),
            ("1120" "0100" "00000000" "ffffffff", "exceeds the data"),
            ("0320" "0100" "00000000" "02000000" "01000000", "exceeds the data"),
            ("1120" "0100" "ffffff7f" "02000000" "0000", "bounds out of range"),
            ("0020" "0100" "00000000" "01000000", "cannot hold elements of kind 0"),
            ("0c20" "0100" "00000000" "01000000" * 1 + "6300", "unknown variant kind 99"),
        ]
        for hexed, why in cases:
            with self.subTest(input=hexed):
                with self.assertRaisesRegex(VariantError, why):
                    decode_variant(bytes.fromhex(hexed))
        deep = b""
        for _ in range(33):
            deep += bytes.fromhex("0c20" "0100" "00000000" "01000000")
        with self.assertRaisesRegex(VariantError, "nested deeper than 32"):
            decode_variant(deep + bytes.fromhex("0000"))

    def test_every_truncation_and_mutation_is_refused_cleanly(self):
        good = encode_variant([1, "text", b"\x00\x01", decimal.Decimal("1.25"), [None, EMPTY, True, 2.5],
                               SafeArray(VT_UI1, [(2, 2), (0, 1)], b"ab"), Typed(VT_CY, 3), OleDate(1.5)])
        for n in range(len(good)):
            with self.assertRaises(VariantError):
                decode_variant(good[:n])
        rng = random.Random(19)
        for _ in range(3000):
            b = bytearray(good)
            for _ in range(rng.randint(1, 4)):
                b[rng.randrange(len(b))] = rng.randrange(256)
            try:
                decode_variant(bytes(b))
            except VariantError:
                pass


if __name__ == "__main__":
    unittest.main()
