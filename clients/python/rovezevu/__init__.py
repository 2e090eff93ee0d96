"""A Python client of the RoVezevu server: sessions and late-bound calls
(session), the variant byte form (variant) and data packets with deltas
(packet). The gRPC stubs (rovezevu.remoting.v1) are generated from
proto/rovezevu/remoting/v1/remoting.proto at build time, possibly into
another folder on sys.path; extend_path lets this package span both."""

from pkgutil import extend_path

__path__ = extend_path(__path__, __name__)

from .variant import EMPTY, OleDate, SafeArray, Typed, VariantError, decode_variant, encode_variant  # noqa: E402
from .packet import (Column, Delta, NOT_FETCHED, Packet, PacketError, Row, UNCHANGED,  # noqa: E402
                     decode_packet, encode_packet, read_error_packet, row_packet)

__all__ = ["EMPTY", "OleDate", "SafeArray", "Typed", "VariantError", "decode_variant", "encode_variant", "Column",
           "Delta", "NOT_FETCHED", "Packet", "PacketError", "Row", "UNCHANGED", "decode_packet", "encode_packet",
           "read_error_packet", "row_packet", "Session", "RemoteObject", "ComError", "Reply"]


def __getattr__(name):
    # The session needs grpcio and the generated stubs; the codecs do not.
    if name in ("Session", "RemoteObject", "ComError", "Reply"):
        from . import session
        return getattr(session, name)
    raise AttributeError(name)
