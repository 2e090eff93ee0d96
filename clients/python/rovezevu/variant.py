"""The variant byte form of the RoVezevu wire protocol (docs/wire-protocol.md,
"Variant byte form"): every argument, result and out value of a call is one
variant, a little-endian u16 kind tag followed by the value.

Python values map to kinds as follows (encode_variant):

    None                     Null          EMPTY              Empty
    bool                     BOOL          int                I4, or I8 beyond 32 bits
    float                    R8            str                BSTR
    bytes, bytearray         UI1 array     list, tuple        variant array
    decimal.Decimal          DECIMAL       datetime, date     DATE
    OleDate                  DATE          Typed(kind, v)     that kind
    SafeArray                its element kind, bounds and dimensions

decode_variant gives the same values back (I1..UI4 and I8 as int, R4 as
float, CY as Decimal, DATE as OleDate, ERROR as Typed(VT_ERROR, n), a
one-dimensional UI1 array from 0 as bytes, a one-dimensional variant array
from 0 as a list, any other array as SafeArray) and refuses bad input with
VariantError, as the server does.
"""

import datetime as _dt
import decimal as _decimal
import struct as _struct

VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR = 0, 1, 2, 3, 4, 5, 6, 7, 8
VT_ERROR, VT_BOOL, VT_VARIANT, VT_DECIMAL = 10, 11, 12, 14
VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8 = 16, 17, 18, 19, 20
VT_ARRAY = 0x2000

MAX_DEPTH = 32
MAX_DIMENSIONS = 16

_FIXED = {  # kind: struct format of its value
    VT_I1: "<b", VT_UI1: "<B", VT_I2: "<h", VT_UI2: "<H", VT_I4: "<i", VT_UI4: "<I",
    VT_ERROR: "<i", VT_R4: "<f", VT_I8: "<q", VT_R8: "<d", VT_DATE: "<d", VT_CY: "<q",
}
# The least bytes one array element of a kind takes, which bounds counts by
# the input before anything is allocated.
_MIN_SIZE = {VT_I1: 1, VT_UI1: 1, VT_I2: 2, VT_UI2: 2, VT_BOOL: 2, VT_VARIANT: 2, VT_I4: 4, VT_UI4: 4,
             VT_ERROR: 4, VT_R4: 4, VT_BSTR: 4, VT_I8: 8, VT_R8: 8, VT_DATE: 8, VT_CY: 8, VT_DECIMAL: 14}


class VariantError(ValueError):
    """A value that has no variant form, or bytes that are no variant."""


class _EmptyType:
    _instance = None

    def __new__(cls):
        if cls._instance is None:
            cls._instance = super().__new__(cls)
        return cls._instance

    def __repr__(self):
        return "EMPTY"

    def __bool__(self):
        return False


EMPTY = _EmptyType()
"""The Empty variant: an out parameter's place, a value not given."""


class Typed:
    """A value with an explicit kind: Typed(VT_I2, 5), Typed(VT_CY, Decimal("1.5"))."""

    __slots__ = ("vt", "value")

    def __init__(self, vt, value):
        self.vt = vt
        self.value = value

    def __eq__(self, other):
        return isinstance(other, Typed) and (self.vt, self.value) == (other.vt, other.value)

    def __hash__(self):
        return hash((self.vt, self.value))

    def __repr__(self):
        return f"Typed({self.vt}, {self.value!r})"


_OLE_EPOCH = _dt.datetime(1899, 12, 30)
_MS_PER_DAY = 86_400_000


class OleDate(float):
    """An OLE DATE: days since 1899-12-30, the fraction the time of day (before
    the epoch the fraction counts forward from that day's midnight). Kept as
    the exact double, so a value read and sent back locates its row."""

    @classmethod
    def from_datetime(cls, value):
        if isinstance(value, _dt.datetime):
            if value.tzinfo is not None:
                raise VariantError("an OLE DATE has no time zone; give a naive datetime")
            day = (value.date() - _OLE_EPOCH.date()).days
            ms = ((value.hour * 60 + value.minute) * 60 + value.second) * 1000 + value.microsecond / 1000
        elif isinstance(value, _dt.date):
            day, ms = (value - _OLE_EPOCH.date()).days, 0
        elif isinstance(value, _dt.time):
            day = 0
            ms = ((value.hour * 60 + value.minute) * 60 + value.second) * 1000 + value.microsecond / 1000
        else:
            raise VariantError(f"cannot make an OLE DATE of {type(value).__name__}")
        frac = ms / _MS_PER_DAY
        return cls(day - frac if day < 0 and frac else day + frac)

    def to_datetime(self):
        """The date and time, to the microsecond."""
        whole = int(self)  # truncates toward zero
        us = round(abs(self - whole) * _MS_PER_DAY * 1000)
        return _OLE_EPOCH + _dt.timedelta(days=whole, microseconds=us)

    def __repr__(self):
        return f"OleDate({float(self)!r})"


class SafeArray:
    """An array with its element kind and bounds: bounds is a list of
    (lower bound, count) pairs, the first dimension first; items are the
    elements with the first index varying fastest."""

    __slots__ = ("vt", "bounds", "items")

    def __init__(self, vt, bounds, items):
        self.vt = vt
        self.bounds = [(int(lb), int(n)) for lb, n in bounds]
        self.items = list(items)

    def __eq__(self, other):
        return isinstance(other, SafeArray) and (self.vt, self.bounds, self.items) == (
            other.vt, other.bounds, other.items)

    def __repr__(self):
        return f"SafeArray({self.vt}, {self.bounds}, {self.items!r})"


# ---- encoding --------------------------------------------------------------

def _decimal_parts(value):
    """(scale, negative, hi32, lo64) of a Decimal, or VariantError."""
    if not value.is_finite():
        raise VariantError(f"DECIMAL cannot hold {value}")
    sign, digits, exp = value.as_tuple()
    mantissa = int("".join(map(str, digits)) or "0")
    scale = -exp
    if scale < 0:
        mantissa *= 10 ** -scale
        scale = 0
    while scale > 28 or mantissa >= 1 << 96:
        if scale == 0:
            raise VariantError(f"{value} is out of DECIMAL's range")
        mantissa, rest = divmod(mantissa, 10)
        if rest:
            raise VariantError(f"{value} has more digits than DECIMAL keeps")
        scale -= 1
    return scale, bool(sign), mantissa >> 64, mantissa & ((1 << 64) - 1)


def _scalar_kind(value):
    if value is None:
        return VT_NULL
    if value is EMPTY:
        return VT_EMPTY
    if isinstance(value, bool):
        return VT_BOOL
    if isinstance(value, int):
        return VT_I4 if -(1 << 31) <= value < (1 << 31) else VT_I8
    if isinstance(value, OleDate):
        return VT_DATE
    if isinstance(value, float):
        return VT_R8
    if isinstance(value, str):
        return VT_BSTR
    if isinstance(value, _decimal.Decimal):
        return VT_DECIMAL
    if isinstance(value, (_dt.datetime, _dt.date)):
        return VT_DATE
    raise VariantError(f"no variant kind for a {type(value).__name__}")


def _put_value(out, vt, value):
    """Appends value as a value of kind vt, without the tag."""
    try:
        if vt in (VT_EMPTY, VT_NULL):
            return
        if vt == VT_BOOL:
            out += _struct.pack("<h", -1 if value else 0)
        elif vt == VT_BSTR:
            if not isinstance(value, str):
                raise VariantError(f"BSTR needs a str, not {type(value).__name__}")
            units = value.encode("utf-16-le", "surrogatepass")
            out += _struct.pack("<I", len(units) // 2) + units
        elif vt == VT_DECIMAL:
            scale, negative, hi, lo = _decimal_parts(_decimal.Decimal(value))
            out += _struct.pack("<BBIQ", scale, negative, hi, lo)
        elif vt == VT_CY:
            scaled = _decimal.Decimal(value) * 10000
            if scaled != scaled.to_integral_value():
                raise VariantError(f"CY keeps four decimals; {value} has more")
            out += _struct.pack("<q", int(scaled))
        elif vt == VT_DATE:
            if not isinstance(value, (float, int)) or isinstance(value, bool):
                value = OleDate.from_datetime(value)
            out += _struct.pack("<d", float(value))
        elif vt in (VT_R4, VT_R8):
            out += _struct.pack(_FIXED[vt], float(value))
        elif vt in _FIXED:
            out += _struct.pack(_FIXED[vt], int(value))
        else:
            raise VariantError(f"unknown variant kind {vt}")
    except _struct.error as e:
        raise VariantError(f"{value!r} does not fit kind {vt}: {e}") from None


def _put_array(out, vt, bounds, items, depth):
    if depth >= MAX_DEPTH:
        raise VariantError(f"arrays nested deeper than {MAX_DEPTH}")
    if vt not in _MIN_SIZE:
        raise VariantError(f"arrays cannot hold elements of kind {vt}")
    if not 1 <= len(bounds) <= MAX_DIMENSIONS:
        raise VariantError(f"bad array dimension count {len(bounds)}")
    total = 1
    for _, n in bounds:
        total *= n
    if total != len(items):
        raise VariantError(f"array bounds give {total} elements but {len(items)} are given")
    out += _struct.pack("<H", len(bounds))
    for lb, n in bounds:
        out += _struct.pack("<iI", lb, n)
    if vt == VT_UI1 and isinstance(items, (bytes, bytearray)):
        out += items
    elif vt == VT_VARIANT:
        for item in items:
            _put_variant(out, item, depth + 1)
    else:
        for item in items:
            _put_value(out, vt, item)


def _put_variant(out, value, depth):
    if isinstance(value, Typed):
        if value.vt & VT_ARRAY or value.vt == VT_VARIANT:
            raise VariantError("give arrays as SafeArray, lists or bytes, not Typed")
        out += _struct.pack("<H", value.vt)
        _put_value(out, value.vt, value.value)
    elif isinstance(value, (bytes, bytearray)):
        out += _struct.pack("<H", VT_ARRAY | VT_UI1)
        _put_array(out, VT_UI1, [(0, len(value))], bytes(value), depth)
    elif isinstance(value, (list, tuple)):
        out += _struct.pack("<H", VT_ARRAY | VT_VARIANT)
        _put_array(out, VT_VARIANT, [(0, len(value))], value, depth)
    elif isinstance(value, SafeArray):
        out += _struct.pack("<H", VT_ARRAY | value.vt)
        _put_array(out, value.vt, value.bounds, value.items, depth)
    else:
        vt = _scalar_kind(value)
        out += _struct.pack("<H", vt)
        _put_value(out, vt, value)


def encode_variant(value):
    """The byte form of a Python value (see the module's table)."""
    out = bytearray()
    _put_variant(out, value, 0)
    return bytes(out)


# ---- decoding --------------------------------------------------------------

class _Reader:
    def __init__(self, data):
        self.data = memoryview(data)
        self.pos = 0

    def left(self):
        return len(self.data) - self.pos

    def fail(self, why):
        raise VariantError(f"invalid variant data at byte {self.pos}: {why}")

    def take(self, n, what):
        if self.left() < n:
            self.fail(f"truncated {what}")
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def get(self, fmt, what):
        return _struct.unpack(fmt, self.take(_struct.calcsize(fmt), what))[0]

    def variant(self, depth):
        vt = self.get("<H", "kind")
        if vt & VT_ARRAY:
            return self.array(vt & ~VT_ARRAY, depth)
        if vt == VT_VARIANT:
            self.fail("a variant cannot hold a bare VT_VARIANT")
        return self.scalar(vt)

    def scalar(self, vt):
        if vt == VT_EMPTY:
            return EMPTY
        if vt == VT_NULL:
            return None
        if vt == VT_BOOL:
            b = self.get("<h", "BOOL")
            if b not in (0, -1):
                self.fail("BOOL must be -1 or 0")
            return b == -1
        if vt == VT_BSTR:
            n = self.get("<I", "BSTR length")
            if n > self.left() // 2:
                self.fail(f"BSTR length {n} exceeds the data")
            return bytes(self.take(2 * n, "BSTR")).decode("utf-16-le", "surrogatepass")
        if vt == VT_DECIMAL:
            scale, sign, hi, lo = _struct.unpack("<BBIQ", self.take(14, "DECIMAL"))
            if scale > 28:
                self.fail("DECIMAL scale above 28")
            if sign > 1:
                self.fail("DECIMAL sign must be 0 or 1")
            return _decimal.Decimal((sign, tuple(map(int, str((hi << 64) | lo))), -scale))
        if vt == VT_CY:
            return _decimal.Decimal(self.get("<q", "CY")).scaleb(-4)
        if vt == VT_DATE:
            return OleDate(self.get("<d", "DATE"))
        if vt == VT_ERROR:
            return Typed(VT_ERROR, self.get("<i", "ERROR"))
        if vt in _FIXED:
            return self.get(_FIXED[vt], _KIND_NAMES.get(vt, "value"))
        self.fail(f"unknown variant kind {vt}")

    def array(self, elem, depth):
        if depth >= MAX_DEPTH:
            self.fail(f"arrays nested deeper than {MAX_DEPTH}")
        esize = _MIN_SIZE.get(elem)
        if not esize:
            self.fail(f"arrays cannot hold elements of kind {elem}")
        dims = self.get("<H", "array dimensions")
        if dims == 0 or dims > MAX_DIMENSIONS:
            self.fail(f"bad array dimension count {dims}")
        bounds, total = [], 1
        for _ in range(dims):
            lb = self.get("<i", "array bound")
            n = self.get("<I", "array count")
            total *= n
            if total > self.left():
                self.fail(f"array of {total} elements exceeds the data")
            if n and lb + n - 1 > 0x7FFFFFFF:
                self.fail("array bounds out of range")
            bounds.append((lb, n))
        if total * esize > self.left():
            self.fail(f"array of {total} elements exceeds the data")
        if elem == VT_UI1:
            items = bytes(self.take(total, "UI1 array"))
        elif elem == VT_VARIANT:
            items = [self.variant(depth + 1) for _ in range(total)]
        else:
            items = [self.scalar(elem) for _ in range(total)]
        if dims == 1 and bounds[0][0] == 0 and elem in (VT_UI1, VT_VARIANT):
            return items
        return SafeArray(elem, bounds, items)


_KIND_NAMES = {VT_I1: "I1", VT_UI1: "UI1", VT_I2: "I2", VT_UI2: "UI2", VT_I4: "I4", VT_UI4: "UI4",
               VT_R4: "R4", VT_I8: "I8", VT_R8: "R8"}


def decode_variant(data):
    """The Python value of one variant filling the whole of data."""
    r = _Reader(data)
    value = r.variant(0)
    if r.left():
        r.fail(f"{r.left()} bytes after the variant")
    return value
