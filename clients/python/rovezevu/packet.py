"""Data packets in their binary form (docs/packet-format.md, "Binary form,
version 1"): decoding the packets a server sends (datasets, error packets)
and encoding the deltas a client sends back.

A Packet holds its columns, its dataset attributes and its rows. Each row
has a status (ORIGINAL, DELETED, INSERTED, MODIFIED) and one value per
column: a Python value, None for null, or the marks NOT_FETCHED and
UNCHANGED. Values by field type:

    string, bin.hex Text        str (code page 936), or bytes when the bytes are
                                not code page 936 text that reads back the same
    string.uni, bin.hex WideText  str
    bin.hex (other)             bytes
    i1 .. ui4, i8               int
    boolean                     bool
    r8                          float
    fixed                       decimal.Decimal
    date, time, dateTime        OleDate (a float of the exact OLE DATE; datetime
                                values are taken when encoding)

decode_packet checks everything it reads, as the server does, and refuses
bad input with PacketError naming what is wrong; it never reads past its
input nor sizes anything by a count the input cannot hold. The XML form is
not read: ask for the binary form (AS_GetRecords Options without bits 4
and 8).
"""

import datetime as _dt
import decimal as _decimal
import math as _math
import struct as _struct

from .variant import OleDate, VariantError, _decimal_parts

MAGIC = b"RVZP"
VERSION = 1

# Field types by their code.
STRING, STRING_UNI, I1, I2, I4, I8, UI1, UI2, UI4, BOOLEAN, R8, FIXED, DATE, TIME, DATETIME, BIN_HEX = range(1, 17)
FIELD_TYPE_NAMES = {STRING: "string", STRING_UNI: "string.uni", I1: "i1", I2: "i2", I4: "i4", I8: "i8",
                    UI1: "ui1", UI2: "ui2", UI4: "ui4", BOOLEAN: "boolean", R8: "r8", FIXED: "fixed",
                    DATE: "date", TIME: "time", DATETIME: "dateTime", BIN_HEX: "bin.hex"}

# Row statuses.
ORIGINAL, DELETED, INSERTED, MODIFIED = 1, 2, 4, 8
_STATUSES = (ORIGINAL, DELETED, INSERTED, MODIFIED)

# Column attribute bits.
ATTR_HIDDEN, ATTR_READONLY, ATTR_REQUIRED = 1, 2, 4

# PROVFLAGS bits: the column is written by inserts and updates, locates rows
# in WHERE, is part of the key, is hidden from the client.
PF_IN_UPDATE, PF_IN_WHERE, PF_IN_KEY, PF_HIDDEN = 1, 2, 4, 8
PF_DEFAULT = PF_IN_UPDATE | PF_IN_WHERE

_HAS_PROVFLAGS, _HAS_WIDTH, _HAS_DECIMALS, _HAS_SUBTYPE = 1, 2, 4, 8
_HAS_ORIGIN, _HAS_SERVER_CALC, _HAS_MINVALUE, _HAS_MAXVALUE = 16, 32, 64, 128
_HAS_PRIMARY_KEY, _HAS_TABLE_NAME, _HAS_LCID, _IS_DELTA = 1, 2, 4, 8

_KNOWN_COLUMN_ATTRIBUTES = {"attrname", "fieldtype", "WIDTH", "DECIMALS", "SUBTYPE", "PROVFLAGS", "ORIGIN",
                            "SERVER_CALC", "MINVALUE", "MAXVALUE", "required", "readonly", "hidden", "tagname"}
_KNOWN_DATASET_ATTRIBUTES = {"PRIMARY_KEY", "TABLE_NAME", "LCID", "DATASET_DELTA"}
_SUBTYPE_FITS = {"Text": BIN_HEX, "WideText": BIN_HEX, "Binary": BIN_HEX, "Autoinc": I4, "FixedChar": STRING,
                 "Money": R8}

_INT_FORMATS = {I1: "<b", I2: "<h", I4: "<i", I8: "<q", UI1: "<B", UI2: "<H", UI4: "<I"}
_MAX_COLUMN_NAME = 31
# The OLE DATE range the server takes: 0100-01-01 to 9999-12-31.
_DATE_LOW, _DATE_HIGH = -657435.0, 2958466.0


class PacketError(ValueError):
    """Bytes that are no valid packet, or a packet that cannot be encoded."""


class _Mark:
    def __init__(self, name):
        self.name = name

    def __repr__(self):
        return self.name


NOT_FETCHED = _Mark("NOT_FETCHED")
"""A memo or blob left out of the packet."""
UNCHANGED = _Mark("UNCHANGED")
"""In a delta: the client did not change this column."""


class Column:
    """A column with its attributes; None means an optional attribute is absent."""

    def __init__(self, name, type, attrs=0, provflags=None, width=None, decimals=None, subtype=None, origin=None,
                 server_calc=None, min_value=None, max_value=None, extra=None):
        self.name = name
        self.type = type
        self.attrs = attrs
        self.provflags = provflags
        self.width = width
        self.decimals = decimals
        self.subtype = subtype
        self.origin = origin
        self.server_calc = server_calc
        self.min_value = min_value
        self.max_value = max_value
        self.extra = list(extra or [])  # (name, value) pairs

    @property
    def type_name(self):
        return FIELD_TYPE_NAMES.get(self.type, str(self.type))

    @property
    def flags(self):
        """The provider flags in effect: PROVFLAGS, or in update and in where."""
        return PF_DEFAULT if self.provflags is None else self.provflags

    def _wide(self):
        return self.type == STRING_UNI or (self.type == BIN_HEX and self.subtype == "WideText")

    def _narrow_text(self):
        return self.type == STRING or (self.type == BIN_HEX and self.subtype == "Text")

    def __eq__(self, other):
        return isinstance(other, Column) and vars(self) == vars(other)

    def __repr__(self):
        return f"Column({self.name!r}, {self.type_name})"


class Row:
    __slots__ = ("status", "values")

    def __init__(self, status, values):
        self.status = status
        self.values = list(values)

    def __eq__(self, other):
        return isinstance(other, Row) and (self.status, self.values) == (other.status, other.values)

    def __repr__(self):
        return f"Row({self.status}, {self.values!r})"


class Packet:
    def __init__(self, columns=None, rows=None, primary_key=None, table_name=None, lcid=None, delta=False,
                 extra=None):
        self.columns = list(columns or [])
        self.rows = list(rows or [])
        self.primary_key = list(primary_key or [])  # 1-based column positions
        self.table_name = table_name
        self.lcid = lcid
        self.delta = delta
        self.extra = list(extra or [])  # (name, value) pairs

    def column_index(self, name):
        """Position of the column of that name (letter case ignored); KeyError when none."""
        folded = name.casefold()
        for i, c in enumerate(self.columns):
            if c.name.casefold() == folded:
                return i
        raise KeyError(f"the packet has no column {name!r}")

    def records(self):
        """The rows as dictionaries by column name."""
        return [dict(zip((c.name for c in self.columns), r.values)) for r in self.rows]

    def __eq__(self, other):
        return isinstance(other, Packet) and vars(self) == vars(other)


# ---- decoding --------------------------------------------------------------

class _Cursor:
    def __init__(self, data):
        self.data = bytes(data)
        self.pos = 0

    def left(self):
        return len(self.data) - self.pos

    def need(self, n, what):
        if n > self.left():
            raise PacketError(f"truncated packet: {what} at offset {self.pos} needs {n} bytes, "
                              f"{self.left()} are left")
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def unpack(self, fmt, what):
        return _struct.unpack(fmt, self.need(_struct.calcsize(fmt), what))[0]

    def u8(self, what):
        return self.unpack("<B", what)

    def varint(self, what):
        value = 0
        for shift in range(0, 70, 7):
            b = self.u8(what)
            if shift == 63 and b > 1:
                raise PacketError(f"corrupt {what}: varint overflows 64 bits")
            value |= (b & 0x7F) << shift
            if not b & 0x80:
                return value
        raise PacketError(f"corrupt {what}: varint longer than 10 bytes")

    def length(self, what, unit=1):
        n = self.varint(what)
        if n > self.left() // unit:
            raise PacketError(f"{what} length {n} exceeds the {self.left()} bytes left")
        return n

    def text(self, what):
        raw = self.need(self.length(what), what)
        try:
            return raw.decode("utf-8")
        except UnicodeDecodeError:
            raise PacketError(f"{what} is not valid UTF-8") from None


def _extras(cur, what):
    return [(cur.text(what), cur.text(what)) for _ in range(cur.length(what, 2))]


def _check_layout(columns, pk, extra):
    if len(columns) > 0xFFFF:
        raise PacketError(f"packet has {len(columns)} columns; at most 65535 fit")
    seen = set()
    for i, c in enumerate(columns, 1):
        if not c.name:
            raise PacketError(f"column {i} has no name")
        if len(c.name.encode("utf-16-le", "surrogatepass")) // 2 > _MAX_COLUMN_NAME:
            raise PacketError(f"column name {c.name!r} is longer than 31 characters")
        if c.name in seen:
            raise PacketError(f"column name {c.name!r} occurs twice")
        seen.add(c.name)
        if c.type not in FIELD_TYPE_NAMES:
            raise PacketError(f"column {c.name!r} has unknown field type {c.type}")
        if c.attrs & ~7:
            raise PacketError(f"column {c.name!r} has unknown attribute bits {c.attrs & ~7}")
        if c.subtype in _SUBTYPE_FITS and _SUBTYPE_FITS[c.subtype] != c.type:
            raise PacketError(f"column {c.name!r}: SUBTYPE {c.subtype} does not fit fieldtype {c.type_name}")
        for label, v in (("MINVALUE", c.min_value), ("MAXVALUE", c.max_value)):
            if v is not None:
                try:
                    float(v)
                except ValueError:
                    raise PacketError(f"column {c.name!r} has bad {label} {v!r}") from None
        _check_extras(c.extra, _KNOWN_COLUMN_ATTRIBUTES, f"column {c.name!r}")
    used = set()
    for k in pk:
        if not 1 <= k <= len(columns):
            raise PacketError(f"PRIMARY_KEY position {k} is out of range 1..{len(columns)}")
        if k in used:
            raise PacketError(f"PRIMARY_KEY names position {k} twice")
        used.add(k)
    _check_extras(extra, _KNOWN_DATASET_ATTRIBUTES, "dataset")


def _check_extras(extras, known, owner):
    names = set()
    for name, _ in extras:
        if not name:
            raise PacketError(f"{owner} has an attribute without a name")
        if name in known:
            raise PacketError(f"{owner} extra attribute {name!r} duplicates a known attribute")
        if name in names:
            raise PacketError(f"{owner} has attribute {name!r} twice")
        names.add(name)


def _date_fits(t, d):
    if not (_math.isfinite(d) and _DATE_LOW < d < _DATE_HIGH):
        return False
    if t == DATE:
        return d == _math.trunc(d)
    if t == TIME:
        return 0 <= d < 1
    return True


def _narrow_value(raw):
    try:
        text = raw.decode("gbk")
    except UnicodeDecodeError:
        return raw
    return text if text.encode("gbk") == raw else raw


def _read_value(cur, col, where):
    t = col.type
    if t in _INT_FORMATS:
        return cur.unpack(_INT_FORMATS[t], "value")
    if t == BOOLEAN:
        b = cur.u8("boolean value")
        if b > 1:
            raise PacketError(f"{where} has bad boolean byte {b}")
        return b == 1
    if t == R8:
        return cur.unpack("<d", "value")
    if t in (DATE, TIME, DATETIME):
        d = cur.unpack("<d", "date value")
        if not _date_fits(t, d):
            raise PacketError(f"{where} has bad {col.type_name} value {d!r}")
        return OleDate(d)
    if t == FIXED:
        scale, sign, hi, lo = _struct.unpack("<BBIQ", cur.need(14, "decimal value"))
        if scale > 28 or sign > 1:
            raise PacketError(f"{where} has a bad decimal (scale {scale}, sign {sign})")
        return _decimal.Decimal((sign, tuple(map(int, str((hi << 64) | lo))), -scale))
    if col._wide():
        n = cur.length("wide value", 2)
        if cur.pos & 1 and cur.u8("wide value padding") != 0:
            raise PacketError(f"{where} has a non-zero padding byte")
        return cur.need(2 * n, "wide value").decode("utf-16-le", "surrogatepass")
    raw = cur.need(cur.length("narrow value"), "narrow value")
    return _narrow_value(raw) if col._narrow_text() else raw


_MARKS = (None, None, NOT_FETCHED, UNCHANGED)


def decode_packet(data):
    """The Packet in data (bytes in the binary form); PacketError when it is not one."""
    if isinstance(data, Packet):
        return data
    data = bytes(data)
    if not data:
        raise PacketError("empty packet")
    if data[:4] != MAGIC:
        head = data.lstrip(b"\xef\xbb\xbf \t\r\n")
        if head[:1] == b"<" or data[:2] in (b"\xff\xfe", b"\xfe\xff"):
            raise PacketError("the packet is in the XML form, which this client does not read; ask for the "
                              "binary form (AS_GetRecords Options without bits 4 and 8)")
        raise PacketError(f"not a packet: it starts neither with the binary magic nor with XML "
                          f"(first bytes {data[:8]!r})")
    if len(data) > 0xFFFFFFFF:
        raise PacketError("packet larger than 4 GiB")
    cur = _Cursor(data)
    cur.need(4, "magic")
    version = cur.unpack("<H", "version")
    if version != VERSION:
        raise PacketError(f"binary packet version {version} is not supported (expected 1)")
    flags = cur.unpack("<H", "flags")
    if flags:
        raise PacketError(f"binary packet has unknown flags {flags}")
    columns = []
    for _ in range(cur.length("column count", 5)):
        name = cur.text("column name")
        t = cur.u8("field type")
        if t not in FIELD_TYPE_NAMES:
            raise PacketError(f"column {name!r} has unknown field type {t}")
        c = Column(name, t, cur.u8("column attributes"))
        has = cur.u8("column attribute mask")
        if has & _HAS_PROVFLAGS:
            c.provflags = cur.u8("PROVFLAGS")
        if has & _HAS_WIDTH:
            c.width = cur.unpack("<i", "WIDTH")
        if has & _HAS_DECIMALS:
            c.decimals = cur.unpack("<i", "DECIMALS")
        if has & _HAS_SUBTYPE:
            c.subtype = cur.text("SUBTYPE")
        if has & _HAS_ORIGIN:
            c.origin = cur.text("ORIGIN")
        if has & _HAS_SERVER_CALC:
            b = cur.u8("SERVER_CALC")
            if b > 1:
                raise PacketError(f"column {name!r} has bad SERVER_CALC byte {b}")
            c.server_calc = b == 1
        if has & _HAS_MINVALUE:
            c.min_value = cur.text("MINVALUE")
        if has & _HAS_MAXVALUE:
            c.max_value = cur.text("MAXVALUE")
        c.extra = _extras(cur, "column attribute")
        columns.append(c)
    p = Packet(columns)
    has = cur.u8("dataset attribute mask")
    if has & ~0x0F:
        raise PacketError(f"binary packet has unknown dataset attribute bits {has}")
    if has & _HAS_PRIMARY_KEY:
        n = cur.length("PRIMARY_KEY", 2)
        if n == 0:
            raise PacketError("PRIMARY_KEY is present but empty")
        p.primary_key = [cur.unpack("<H", "PRIMARY_KEY") for _ in range(n)]
    if has & _HAS_TABLE_NAME:
        p.table_name = cur.text("TABLE_NAME")
    if has & _HAS_LCID:
        p.lcid = cur.unpack("<i", "LCID")
    p.delta = bool(has & _IS_DELTA)
    p.extra = _extras(cur, "dataset attribute")
    _check_layout(columns, p.primary_key, p.extra)
    nrows = cur.unpack("<I", "row count")
    if nrows > cur.left() or nrows * len(columns) > cur.left():
        raise PacketError(f"row count {nrows} exceeds what the {cur.left()} bytes left can hold")
    for r in range(1, nrows + 1):
        status = cur.u8("row status")
        if status not in _STATUSES:
            raise PacketError(f"row {r} has bad row status {status}")
        values = []
        for c in columns:
            mark = cur.u8("value mark")
            if mark == 0:
                values.append(_read_value(cur, c, f"row {r} column {c.name!r}"))
            elif mark <= 3:
                values.append(_MARKS[mark])
            else:
                raise PacketError(f"row {r} column {c.name!r} has bad value mark {mark}")
        p.rows.append(Row(status, values))
    if cur.left():
        raise PacketError(f"packet has {cur.left()} trailing bytes after its {nrows} rows")
    return p


# ---- encoding --------------------------------------------------------------

def _put_varint(out, n):
    while True:
        b = n & 0x7F
        n >>= 7
        out.append(b | 0x80 if n else b)
        if not n:
            return


def _put_text(out, s):
    b = s.encode("utf-8")
    _put_varint(out, len(b))
    out += b


def _put_extras(out, extras):
    _put_varint(out, len(extras))
    for name, value in extras:
        _put_text(out, name)
        _put_text(out, value)


def _put_value(out, col, v, where):
    t = col.type
    try:
        if t in _INT_FORMATS:
            if isinstance(v, bool) or not isinstance(v, int):
                raise PacketError(f"{where} needs an integer, not {type(v).__name__}")
            out += _struct.pack(_INT_FORMATS[t], v)
        elif t == BOOLEAN:
            out.append(1 if v else 0)
        elif t == R8:
            out += _struct.pack("<d", float(v))
        elif t in (DATE, TIME, DATETIME):
            if isinstance(v, (_dt.date, _dt.time)):
                v = OleDate.from_datetime(v)
            d = float(v)
            if not _date_fits(t, d):
                raise PacketError(f"{where}: {v!r} is no {col.type_name} value")
            out += _struct.pack("<d", d)
        elif t == FIXED:
            scale, negative, hi, lo = _decimal_parts(_decimal.Decimal(v))
            out += _struct.pack("<BBIQ", scale, negative, hi, lo)
        elif col._wide():
            if not isinstance(v, str):
                raise PacketError(f"{where} needs a str, not {type(v).__name__}")
            units = v.encode("utf-16-le", "surrogatepass")
            _put_varint(out, len(units) // 2)
            if len(out) & 1:
                out.append(0)
            out += units
        else:
            if isinstance(v, str):
                if not col._narrow_text():
                    raise PacketError(f"{where} holds bytes; give bytes, not str")
                try:
                    v = v.encode("gbk")
                except UnicodeEncodeError as e:
                    raise PacketError(f"{where}: {v!r} has a character code page 936 lacks "
                                      f"({v[e.start]!r})") from None
            if not isinstance(v, (bytes, bytearray)):
                raise PacketError(f"{where} needs text or bytes, not {type(v).__name__}")
            _put_varint(out, len(v))
            out += v
    except (_struct.error, VariantError, _decimal.InvalidOperation, TypeError, ValueError) as e:
        if isinstance(e, PacketError):
            raise
        raise PacketError(f"{where}: {v!r} does not fit {col.type_name}: {e}") from None


def encode_packet(packet):
    """The binary form of a Packet; PacketError naming the first value or
    attribute that does not fit."""
    _check_layout(packet.columns, packet.primary_key, packet.extra)
    out = bytearray(MAGIC)
    out += _struct.pack("<HH", VERSION, 0)
    _put_varint(out, len(packet.columns))
    for c in packet.columns:
        _put_text(out, c.name)
        out += bytes((c.type, c.attrs))
        opt = ((c.provflags, _HAS_PROVFLAGS), (c.width, _HAS_WIDTH), (c.decimals, _HAS_DECIMALS),
               (c.subtype, _HAS_SUBTYPE), (c.origin, _HAS_ORIGIN), (c.server_calc, _HAS_SERVER_CALC),
               (c.min_value, _HAS_MINVALUE), (c.max_value, _HAS_MAXVALUE))
        out.append(sum(bit for v, bit in opt if v is not None))
        try:
            if c.provflags is not None:
                out += _struct.pack("<B", c.provflags)
            if c.width is not None:
                out += _struct.pack("<i", c.width)
            if c.decimals is not None:
                out += _struct.pack("<i", c.decimals)
        except _struct.error as e:
            raise PacketError(f"column {c.name!r} has an attribute out of range: {e}") from None
        for v in (c.subtype, c.origin):
            if v is not None:
                _put_text(out, v)
        if c.server_calc is not None:
            out.append(1 if c.server_calc else 0)
        for v in (c.min_value, c.max_value):
            if v is not None:
                _put_text(out, v)
        _put_extras(out, c.extra)
    out.append((_HAS_PRIMARY_KEY if packet.primary_key else 0) | (_HAS_TABLE_NAME if packet.table_name is not None
               else 0) | (_HAS_LCID if packet.lcid is not None else 0) | (_IS_DELTA if packet.delta else 0))
    if packet.primary_key:
        _put_varint(out, len(packet.primary_key))
        for k in packet.primary_key:
            out += _struct.pack("<H", k)
    if packet.table_name is not None:
        _put_text(out, packet.table_name)
    if packet.lcid is not None:
        out += _struct.pack("<i", packet.lcid)
    _put_extras(out, packet.extra)
    out += _struct.pack("<I", len(packet.rows))
    for r, row in enumerate(packet.rows, 1):
        if row.status not in _STATUSES:
            raise PacketError(f"row {r} has bad row status {row.status}")
        if len(row.values) != len(packet.columns):
            raise PacketError(f"row {r} has {len(row.values)} values for {len(packet.columns)} columns")
        out.append(row.status)
        for c, v in zip(packet.columns, row.values):
            if v is None:
                out.append(1)
            elif v is NOT_FETCHED:
                out.append(2)
            elif v is UNCHANGED:
                out.append(3)
            else:
                out.append(0)
                _put_value(out, c, v, f"row {r} column {c.name!r}")
    if len(out) > 0xFFFFFFFF:
        raise PacketError("packet larger than 4 GiB")
    return bytes(out)


# ---- deltas and error packets ----------------------------------------------

class Delta:
    """A delta for AS_ApplyUpdates, built against the packet the rows were
    read from: it carries that packet's columns with their attributes
    (PROVFLAGS, ORIGIN, read-only bits: what the server writes and locates
    by), the delta mark, and the change records in the order given."""

    def __init__(self, source, table_name=None):
        self.source = source
        self.packet = Packet([Column(**vars(c)) for c in source.columns], [], list(source.primary_key),
                             table_name if table_name is not None else source.table_name, source.lcid, True)
        self._record = 0

    def _values(self, changes, fill):
        values = [fill] * len(self.packet.columns)
        for name, v in changes.items():
            values[self.source.column_index(name)] = v
        return values

    def insert(self, values):
        """An inserted record; columns not named are null. Returns its record number."""
        return self._add(Row(INSERTED, self._values(values, None)))

    def modify(self, row, changes):
        """The row as read followed by a modified record holding only the changed
        columns (the others UNCHANGED). Returns the record number, the one an
        error packet gives for it."""
        original = self._as_read(row)
        n = self._add(Row(ORIGINAL, original.values))
        self.packet.rows.append(Row(MODIFIED, self._values(changes, UNCHANGED)))
        return n

    def delete(self, row):
        """A deleted record: the row as read. Returns its record number."""
        return self._add(Row(DELETED, self._as_read(row).values))

    def _as_read(self, row):
        if isinstance(row, int):
            row = self.source.rows[row]
        if any(v is UNCHANGED for v in row.values):
            raise PacketError("a row as read cannot hold UNCHANGED values")
        return row

    def _add(self, row):
        self.packet.rows.append(row)
        return len(self.packet.rows)

    def encode(self):
        return encode_packet(self.packet)


def row_packet(source, row):
    """A row packet for AS_RowRequest: the columns of the packet the row was
    read from and the row as read (a Row or its index in source)."""
    d = Delta(source)
    d.packet.rows.append(Row(ORIGINAL, d._as_read(row).values))
    return d.packet


class ErrorRecord:
    """One failed record of an error packet: record_no is the position of the
    record's first row in the delta, from 1; response 1 skipped, 2 aborted;
    values holds the database's current values of the delta's columns where
    they differ from what the delta expected (None elsewhere)."""

    __slots__ = ("record_no", "response", "message", "context", "category", "error_code", "values")

    def __init__(self, record_no, response, message, context, category, error_code, values):
        self.record_no, self.response, self.message = record_no, response, message
        self.context, self.category, self.error_code, self.values = context, category, error_code, values

    def __repr__(self):
        return f"ErrorRecord({self.record_no}, {self.response}, {self.message!r})"


ERROR_COLUMNS = ("ERROR_RECORDNO", "ERROR_RESPONSE", "ERROR_MESSAGE", "ERROR_CONTEXT", "ERROR_CATEGORY",
                 "ERROR_ERRORCODE")
RESPONSE_SKIPPED, RESPONSE_ABORTED = 1, 2


def read_error_packet(data):
    """The failed records of an error packet (bytes or a decoded Packet)."""
    p = decode_packet(data)
    if tuple(c.name for c in p.columns[:6]) != ERROR_COLUMNS:
        raise PacketError("not an error packet: its first columns are not " + ", ".join(ERROR_COLUMNS))
    out = []
    for row in p.rows:
        v = row.values
        current = [None if x in (NOT_FETCHED, UNCHANGED) else x for x in v[6:]]
        out.append(ErrorRecord(v[0], v[1], v[2], v[3], v[4], v[5], current))
    return out
