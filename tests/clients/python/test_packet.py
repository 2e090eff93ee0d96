"""Packets in the binary form: the documented example byte for byte, every
field type and value state both ways, deltas and error packets, and
refusal of bad input (truncated, corrupt, oversized counts)."""

import datetime
import decimal
import random
import unittest

from rovezevu import packet as pk
from rovezevu.packet import (NOT_FETCHED, UNCHANGED, Column, Delta, Packet, PacketError, Row, decode_packet,
                             encode_packet, read_error_packet)
from rovezevu.variant import OleDate

# docs/packet-format.md: one column ID (i4, PROVFLAGS 7), PRIMARY_KEY 1, one
# original row with value 5.
DOC_EXAMPLE = bytes.fromhex("52565A50 0100 0000 01 024944 05 00 01 07 00 01 0101 00 00 01000000 01 00 05000000"
                            .replace(" ", ""))


def every_type():
    cols = [Column("s", pk.STRING, width=20), Column("u", pk.STRING_UNI, width=40), Column("i1", pk.I1),
            Column("i2", pk.I2), Column("ID", pk.I4, subtype="Autoinc", provflags=7), Column("i8", pk.I8),
            Column("ui1", pk.UI1), Column("ui2", pk.UI2), Column("ui4", pk.UI4), Column("b", pk.BOOLEAN),
            Column("r", pk.R8, subtype="Money"), Column("f", pk.FIXED, width=10, decimals=2), Column("d", pk.DATE),
            Column("t", pk.TIME), Column("dt", pk.DATETIME), Column("memo", pk.BIN_HEX, subtype="Text"),
            Column("wmemo", pk.BIN_HEX, subtype="WideText"), Column("blob", pk.BIN_HEX, subtype="Binary",
                                                                    attrs=pk.ATTR_READONLY | pk.ATTR_REQUIRED),
            Column("x", pk.I4, origin="T.x", server_calc=False, min_value="0", max_value="1e3",
                   extra=[("note", "kept")])]
    row = ["张三", "李\U0001f600", -128, -32768, 5, -2**63, 255, 65535, 2**32 - 1, True, 0.1,
           decimal.Decimal("-12.50"), OleDate(39690.0), OleDate(0.5), OleDate(39690.25), "备注",
           "wide \udc00", b"\x00\xff", 7]
    return Packet(cols, [Row(pk.ORIGINAL, row), Row(pk.DELETED, [None] * 15 + [NOT_FETCHED] * 3 + [None]),
                         Row(pk.MODIFIED, [UNCHANGED] * 19)],
                  primary_key=[5], table_name="T", lcid=2052, delta=True, extra=[("MODE", "x")])


class Forms(unittest.TestCase):
    def test_documented_example(self):
        p = decode_packet(DOC_EXAMPLE)
        self.assertEqual([(c.name, c.type, c.provflags) for c in p.columns], [("ID", pk.I4, 7)])
        self.assertEqual(p.primary_key, [1])
        self.assertEqual(p.rows, [Row(pk.ORIGINAL, [5])])
        self.assertEqual(encode_packet(p), DOC_EXAMPLE)

    def test_every_type_and_state_round_trips(self):
        p = every_type()
        data = encode_packet(p)
        back = decode_packet(data)
        self.assertEqual(back, p)
        self.assertEqual(encode_packet(back), data)
        self.assertEqual(back.records()[0]["s"], "张三")

    def test_wide_text_lies_at_even_offsets(self):
        for name in ("a", "ab"):  # shifts the value by one byte
            data = encode_packet(Packet([Column(name, pk.STRING_UNI)], [Row(pk.ORIGINAL, ["xy"])]))
            at = data.index("xy".encode("utf-16-le"))
            self.assertEqual(at % 2, 0, data.hex())

    def test_narrow_bytes_that_are_no_text_stay_bytes(self):
        p = Packet([Column("s", pk.STRING)], [Row(pk.ORIGINAL, [b"\xff\x01"])])
        self.assertEqual(decode_packet(encode_packet(p)).rows[0].values, [b"\xff\x01"])

    def test_dates_from_datetime(self):
        p = Packet([Column("d", pk.DATETIME)], [Row(pk.ORIGINAL, [datetime.datetime(2008, 8, 30, 6)])])
        self.assertEqual(decode_packet(encode_packet(p)).rows[0].values, [39690.25])

    def test_values_that_do_not_fit_are_refused(self):
        cases = [(Column("c", pk.I2), 40000), (Column("c", pk.UI1), -1), (Column("c", pk.I4), "1"),
                 (Column("c", pk.DATE), OleDate(1.5)), (Column("c", pk.TIME), OleDate(1.5)),
                 (Column("c", pk.DATETIME), float("nan")), (Column("c", pk.FIXED), decimal.Decimal("1e40")),
                 (Column("c", pk.STRING), "\U0001f600"), (Column("c", pk.BIN_HEX), "text"),
                 (Column("c", pk.STRING_UNI), b"bytes")]
        for col, v in cases:
            with self.subTest(type=col.type_name, value=v):
                with self.assertRaisesRegex(PacketError, "row 1 column 'c'"):
                    encode_packet(Packet([col], [Row(pk.ORIGINAL, [v])]))
        for bad, why in [(Packet([Column("a", pk.I4), Column("a", pk.I4)]), "occurs twice"),
                         (Packet([Column("x" * 32, pk.I4)]), "longer than 31"),
                         (Packet([Column("a", pk.I2, subtype="Autoinc")]), "does not fit"),
                         (Packet([Column("a", pk.I4)], primary_key=[2]), "out of range"),
                         (Packet([Column("a", pk.I4, extra=[("WIDTH", "1")])]), "duplicates a known"),
                         (Packet([Column("a", pk.I4)], [Row(3, [1])]), "bad row status"),
                         (Packet([Column("a", pk.I4)], [Row(1, [1, 2])]), "2 values for 1 columns")]:
            with self.subTest(why=why):
                with self.assertRaisesRegex(PacketError, why):
                    encode_packet(bad)


class Deltas(unittest.TestCase):
    def test_modify_insert_delete(self):
        src = Packet([Column("ID", pk.I4, provflags=7), Column("MC", pk.STRING, width=20), Column("note", pk.I4)],
                     [Row(pk.ORIGINAL, [1, "甲", None]), Row(pk.ORIGINAL, [2, "乙", 5])], primary_key=[1])
        d = Delta(src)
        self.assertEqual(d.modify(0, {"mc": "丙"}), 1)
        self.assertEqual(d.insert({"ID": 3, "MC": "丁"}), 3)
        self.assertEqual(d.delete(1), 4)
        p = decode_packet(d.encode())
        self.assertTrue(p.delta)
        self.assertEqual(p.columns, src.columns)
        self.assertEqual([(r.status, r.values) for r in p.rows],
                         [(pk.ORIGINAL, [1, "甲", None]), (pk.MODIFIED, [UNCHANGED, "丙", UNCHANGED]),
                          (pk.INSERTED, [3, "丁", None]), (pk.DELETED, [2, "乙", 5])])
        with self.assertRaises(KeyError):
            d.insert({"nope": 1})

    def test_error_packet(self):
        cols = [Column("ERROR_RECORDNO", pk.I4), Column("ERROR_RESPONSE", pk.I4),
                Column("ERROR_MESSAGE", pk.STRING_UNI, width=2048), Column("ERROR_CONTEXT", pk.STRING_UNI, width=2048),
                Column("ERROR_CATEGORY", pk.I4), Column("ERROR_ERRORCODE", pk.I4), Column("ID", pk.I4)]
        data = encode_packet(Packet(cols, [Row(pk.ORIGINAL, [3, 1, "Record not found or changed by another user", "",
                                                             1, 1, 9])]))
        [e] = read_error_packet(data)
        self.assertEqual((e.record_no, e.response, e.message, e.category, e.error_code, e.values),
                         (3, pk.RESPONSE_SKIPPED, "Record not found or changed by another user", 1, 1, [9]))
        with self.assertRaisesRegex(PacketError, "not an error packet"):
            read_error_packet(DOC_EXAMPLE)


class BadInput(unittest.TestCase):
    def test_refused_with_the_reason(self):
        head = "52565A50" "0100" "0000"
        one_i4 = head + "01" "024944" "05" "00" "00" "00" "00" "00"
        cases = [
            ("", "empty packet"),
            ("3c3f786d6c", "XML form"),
            ("efbbbf203c44", "XML form"),
            ("00010203", "not a packet"),
            ("52565A50" "0200" "0000", "version 2 is not supported"),
            ("52565A50" "0100" "0100", "unknown flags 1"),
            (head + "ff", "truncated packet: column count"),
            (head + "ffffffffffffffffffff01", "varint"),
            (head + "05", "column count length 5 exceeds"),
            (head + "01" "024944" "11" + "00" * 8, "unknown field type 17"),
            (head + "01" "024944" "05" "08" "00" "00" "00" "00" + "00000000", "unknown attribute bits 8"),
            (head + "01" "02ff44" "05" "00" "00" "00" "00" "00" + "00000000", "not valid UTF-8"),
            (head + "02" "0141" "05" "00" "00" "00" "0141" "05" "00" "00" "00" "00" "00" "00000000", "occurs twice"),
            (head + "01" "024944" "05" "00" "20" "02" "00" "00" "00" "00000000", "bad SERVER_CALC byte 2"),
            (head + "01" "024944" "05" "00" "00" "00" "10" "00", "unknown dataset attribute bits 16"),
            (head + "01" "024944" "05" "00" "00" "00" "01" "00" "00", "PRIMARY_KEY is present but empty"),
            (head + "01" "024944" "05" "00" "00" "00" "01" "01" "0200" "00" "00000000", "PRIMARY_KEY position 2"),
            (one_i4 + "ffffffff", "row count 4294967295 exceeds"),
            (one_i4 + "01000000" "03" "0005000000", "bad row status 3"),
            (one_i4 + "01000000" "01" "04", "bad value mark 4"),
            (one_i4 + "01000000" "01" "000500", "truncated packet: value"),
            (one_i4 + "01000000" "01" "0005000000" "00", "1 trailing bytes"),
            (head + "01" "0142" "0a" "00" "00" "00" "00" "00" "01000000" "01" "0002", "bad boolean byte 2"),
            (head + "01" "0144" "0d" "00" "00" "00" "00" "00" "01000000" "01" "00" "000000000000f83f",
             "bad date value 1.5"),
            (head + "01" "0146" "0c" "00" "00" "00" "00" "00" "01000000" "01" "00" "1d00" + "00" * 12, "bad decimal"),
            (head + "01" "025555" "02" "00" "00" "00" "00" "00" "01000000" "01" "00" "01" "01" "6100",
             "non-zero padding byte"),
            (head + "01" "0155" "02" "00" "00" "00" "00" "00" "01000000" "01" "00" "7f" "00", "wide value length 127"),
        ]
        for hexed, why in cases:
            with self.subTest(why=why):
                with self.assertRaisesRegex(PacketError, why):
                    decode_packet(bytes.fromhex(hexed))

    def test_every_truncation_and_mutation_is_refused_cleanly(self):
        good = encode_packet(every_type())
        for n in range(len(good)):
            with self.assertRaises(PacketError, msg=f"cut at {n}"):
                decode_packet(good[:n])
        # Random damage must end in PacketError or a packet, never in another
        # exception (an index, struct or Unicode error escaping).
        rng = random.Random(19)
        for _ in range(2000):
            b = bytearray(good)
            for _ in range(rng.randint(1, 3)):
                b[rng.randrange(len(b))] = rng.randrange(256)
            try:
                decode_packet(bytes(b))
            except PacketError:
                pass


if __name__ == "__main__":
    unittest.main()
