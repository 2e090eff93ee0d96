"""A client session with a RoVezevu server over gRPC (docs/wire-protocol.md):
the session and its stream, objects created by ProgID, calls by name or
dispatch id with their arguments in the variant byte form, and releases.

    with Session() as s:                      # RVZ_ENDPOINT, RVZ_TOKEN, RVZ_TLS_CA
        d = s.create("Quib.datas")
        d.invoke("ConnectAct", 0, "", "Sample", "", "")
        reply = d.invoke("AS_GetRecords", "pKh", -1, EMPTY, 0, "", None, EMPTY)
        packet = decode_packet(reply.result)
        d.release()

A failed call raises ComError with the server's HRESULT, source and text;
the session and the object stay usable.
"""

import os
import threading

import grpc

from .remoting.v1 import remoting_pb2 as pb
from .remoting.v1 import remoting_pb2_grpc as pb_grpc
from .variant import decode_variant, encode_variant, VariantError

DEFAULT_ENDPOINT = "127.0.0.1:7211"
RPC_E_INVALID_DATA = 0x8001010F
RPC_E_DISCONNECTED = 0x80010108

# How a call that failed on the way (not in the server) is reported, as the
# C++ client library does.
_STATUS_HRESULTS = {
    grpc.StatusCode.UNAUTHENTICATED: 0x80070005,
    grpc.StatusCode.PERMISSION_DENIED: 0x80070005,
    grpc.StatusCode.RESOURCE_EXHAUSTED: 0x800706B9,
    grpc.StatusCode.UNAVAILABLE: 0x800706BA,
    grpc.StatusCode.DEADLINE_EXCEEDED: 0x8001011F,
    grpc.StatusCode.CANCELLED: 0x80010002,
}
_CALL_FAILED = 0x800706BE


class ComError(Exception):
    """A failure status with its error information. arg_error is the
    position (from 0) of the argument a conversion refused, or -1."""

    def __init__(self, hresult, description, source="", arg_error=-1):
        super().__init__(f"0x{hresult:08X} {description}" + (f" ({source})" if source else ""))
        self.hresult = hresult
        self.description = description
        self.source = source
        self.arg_error = arg_error


def _check(failure):
    if failure.hresult >= 0x80000000:
        raise ComError(failure.hresult, failure.description, failure.source, failure.arg_error)


class Reply:
    """What a call returns: result, and out maps the position of every out
    and in-out parameter to its value after the call."""

    __slots__ = ("result", "out")

    def __init__(self, result, out):
        self.result = result
        self.out = out

    def __repr__(self):
        return f"Reply({self.result!r}, out={self.out!r})"


class RemoteObject:
    """An object of the server held by one reference of its session."""

    def __init__(self, session, reply):
        self.session = session
        self.object_id = reply.object_id
        self.class_id = reply.class_id
        self.prog_id = reply.prog_id
        self.interface_name = reply.interface_name
        self._released = False

    def ids_of_names(self, member, *params):
        """Dispatch id of a member and the positions of the named parameters
        (GetIDsOfNames; letter case ignored)."""
        req = pb.GetIDsOfNamesRequest(session_id=self.session.session_id, object_id=self.object_id,
                                      names=[member, *params])
        reply = self.session._call("GetIDsOfNames", req)
        _check(reply.error)
        return list(reply.ids)

    def invoke(self, member, *args, timeout=None):
        """Calls a member, named or by dispatch id (int), with every parameter
        except the return value, in order; an out parameter's place takes
        EMPTY. Returns a Reply."""
        try:
            encoded = [encode_variant(a) for a in args]
        except VariantError as e:
            raise ComError(RPC_E_INVALID_DATA, f"an argument of {member} has no variant form: {e}") from None
        req = pb.InvokeRequest(session_id=self.session.session_id, object_id=self.object_id, args=encoded)
        if isinstance(member, int):
            req.dispid = member
        else:
            req.name = member
        reply = self.session._call("Invoke", req, timeout)
        _check(reply.error)
        try:
            result = decode_variant(reply.result)
            out = {pos: decode_variant(v) for pos, v in zip(reply.out_positions, reply.out_args)}
        except VariantError as e:
            raise ComError(RPC_E_INVALID_DATA, f"the reply of {member} does not decode: {e}") from None
        return Reply(result, out)

    def type_info(self):
        """The object's interface from the type library (a GetTypeInfoReply)."""
        reply = self.session._call("GetTypeInfo",
                                   pb.GetTypeInfoRequest(session_id=self.session.session_id,
                                                         object_id=self.object_id))
        _check(reply.error)
        return reply

    def release(self):
        """Gives back the session's reference; the object ends on the server
        when the last one goes. Releasing twice does nothing."""
        if self._released:
            return 0
        reply = self.session._call("Release", pb.RefRequest(session_id=self.session.session_id,
                                                            object_id=self.object_id))
        _check(reply.error)
        self._released = True
        return reply.ref_count

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()


class Session:
    """A session: everything created through it belongs to it, and the server
    releases all of it when the session ends (close, or the process's end).

    endpoint, token and root_certificates (PEM bytes; turns TLS on) default
    to RVZ_ENDPOINT, RVZ_TOKEN and the file RVZ_TLS_CA names. timeout bounds
    every call (seconds), connect_timeout the wait for the connection."""

    def __init__(self, endpoint=None, token=None, root_certificates=None, client_name="rovezevu-python",
                 timeout=30, connect_timeout=10, max_message=64 << 20):
        self.endpoint = endpoint or os.environ.get("RVZ_ENDPOINT") or DEFAULT_ENDPOINT
        token = token if token is not None else os.environ.get("RVZ_TOKEN", "")
        self._metadata = (("authorization", "Bearer " + token),) if token else ()
        self.timeout = timeout
        if root_certificates is None and os.environ.get("RVZ_TLS_CA"):
            with open(os.environ["RVZ_TLS_CA"], "rb") as f:
                root_certificates = f.read()
        options = [("grpc.max_receive_message_length", max_message), ("grpc.max_send_message_length", max_message),
                   # Pings after 10 silent seconds show a server that went
                   # away; the server accepts them without data.
                   ("grpc.keepalive_time_ms", 10000), ("grpc.keepalive_timeout_ms", 10000),
                   ("grpc.keepalive_permit_without_calls", 1), ("grpc.http2.max_pings_without_data", 0),
                   # A connection of its own, so that this session's end is
                   # not tied to another's.
                   ("grpc.use_local_subchannel_pool", 1)]
        if root_certificates is not None or os.environ.get("RVZ_TLS") == "1":
            creds = grpc.ssl_channel_credentials(root_certificates)
            self._channel = grpc.secure_channel(self.endpoint, creds, options)
        else:
            self._channel = grpc.insecure_channel(self.endpoint, options)
        self._stub = pb_grpc.ObjectServiceStub(self._channel)
        self._closed = False
        try:
            # The session stream has no deadline: wait for the connection first,
            # so that a server that is not there fails in bounded time.
            grpc.channel_ready_future(self._channel).result(timeout=connect_timeout)
        except grpc.FutureTimeoutError:
            self._channel.close()
            self._closed = True
            raise ComError(_STATUS_HRESULTS[grpc.StatusCode.UNAVAILABLE],
                           f"Cannot open a session with {self.endpoint}: no connection within "
                           f"{connect_timeout} seconds") from None
        self._stream = self._stub.OpenSession(pb.OpenSessionRequest(client_name=client_name),
                                              metadata=self._metadata)
        try:
            first = next(self._stream)
        except grpc.RpcError as e:
            self._channel.close()
            self._closed = True
            raise ComError(_STATUS_HRESULTS.get(e.code(), _CALL_FAILED),
                           f"Cannot open a session with {self.endpoint}: {e.details()}") from None
        except StopIteration:
            self._channel.close()
            self._closed = True
            raise ComError(_CALL_FAILED, f"Cannot open a session with {self.endpoint}: the stream ended") from None
        self.session_id = first.session_id
        # A read stays pending on the stream for the session's life, so that
        # the connection is polled and answers the server's pings while the
        # client makes no call.
        self._watch = threading.Thread(target=self._drain, name="rovezevu-session", daemon=True)
        self._watch.start()

    def _drain(self):
        try:
            for _ in self._stream:
                pass
        except grpc.RpcError:
            pass  # the session ended: cancelled by close, or the server went

    def _call(self, method, request, timeout=None):
        if self._closed:
            raise ComError(RPC_E_DISCONNECTED, f"the session with {self.endpoint} is closed")
        try:
            return getattr(self._stub, method)(request, timeout=timeout or self.timeout, metadata=self._metadata)
        except grpc.RpcError as e:
            raise ComError(_STATUS_HRESULTS.get(e.code(), _CALL_FAILED),
                           f"{method} on {self.endpoint} failed: {e.code().name} {e.details()}") from None

    def create(self, class_name):
        """A new object of a class by ProgID ("Quib.datas") or class GUID."""
        reply = self._call("CreateObject", pb.CreateObjectRequest(session_id=self.session_id, class_name=class_name))
        _check(reply.error)
        return RemoteObject(self, reply)

    def close(self):
        """Ends the session; the server releases what it still holds."""
        if self._closed:
            return
        try:
            self._stub.CloseSession(pb.CloseSessionRequest(session_id=self.session_id), timeout=5,
                                    metadata=self._metadata)
        except grpc.RpcError:
            pass  # the stream's end releases all the same
        self._closed = True
        self._stream.cancel()
        self._watch.join()
        self._channel.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
