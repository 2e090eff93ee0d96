"""The Python client against a real server: a sample home built by quib
init, the server started on it with its own port, then fetches, deltas,
error packets, call failures and the rows-written metric, as a client
writer would meet them. Skipped when python3-grpcio is missing."""

import io
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

try:
    import grpc  # noqa: F401
    HAVE_GRPC = True
except ImportError:
    HAVE_GRPC = False

from rovezevu import EMPTY, Delta, decode_packet, encode_packet, read_error_packet
from rovezevu import packet as pk

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "..", "clients", "python", "examples"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@unittest.skipUnless(HAVE_GRPC, "python3-grpcio is missing")
class AgainstTheServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from rovezevu.session import ComError, Session
        cls.Session, cls.ComError = Session, ComError
        server, quib = os.environ["RVZ_HOST_EXE"], os.environ["RVZ_QUIB_EXE"]
        cls.root = tempfile.mkdtemp(prefix="rvz-python-")
        home = os.path.join(cls.root, "home")
        cls.endpoint = f"127.0.0.1:{free_port()}"
        cls.metrics = f"127.0.0.1:{free_port()}"
        cls.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "RVZ_HOME": home, "RVZ_ENDPOINT": cls.endpoint,
                   "RVZ_REGISTRY": os.path.join(home, "registry.hive"), "RVZ_SCREEN_TIMEOUT": "3",
                   "RVZ_DRIVE_D": os.path.join(home, "drives", "d"), "RVZ_METRICS": cls.metrics}
        subprocess.run([quib, "init", home], env=cls.env, check=True, timeout=120, stdout=subprocess.DEVNULL)
        cls.log = open(os.path.join(cls.root, "server.log"), "wb")
        cls.server = subprocess.Popen([server], env=cls.env, stdout=cls.log, stderr=cls.log)
        deadline = time.monotonic() + 30
        while True:
            try:
                cls.Session(cls.endpoint, token="", connect_timeout=1).close()
                break
            except ComError:
                if cls.server.poll() is not None or time.monotonic() > deadline:
                    cls.tearDownClass()
                    raise
                time.sleep(0.1)

    @classmethod
    def tearDownClass(cls):
        if cls.server.poll() is None:
            cls.server.terminate()
            try:
                cls.server.wait(20)
            except subprocess.TimeoutExpired:
                cls.server.kill()
                cls.server.wait()
        cls.log.close()
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.session = self.Session(self.endpoint, token="")
        self.addCleanup(self.session.close)
        self.datas = self.session.create("Quib.datas")
        self.assertEqual(self.datas.invoke("ConnectAct", 0, "", "Sample", "", "").result, 0)

    def fetch(self, provider="pKh"):
        reply = self.datas.invoke("AS_GetRecords", provider, -1, EMPTY, 1, "", EMPTY, EMPTY)
        packet = decode_packet(reply.result)
        self.assertEqual(reply.out[2], len(packet.rows))  # RecsOut
        return packet

    def apply(self, delta, max_errors):
        reply = self.datas.invoke("AS_ApplyUpdates", "pKh", delta.encode(), max_errors, EMPTY, "owner")
        self.assertEqual(reply.out[4], "owner")  # OwnerData comes back as sent
        errors = [] if reply.result is None else read_error_packet(reply.result)
        self.assertEqual(reply.out[3], len(errors))  # ErrorCount
        return errors

    def test_the_example_changes_a_phone_number(self):
        from fetch_and_apply import change_phone
        out = io.StringIO()
        self.assertEqual(change_phone(self.session, "Sample", "010-12345678", out), "010-12345678")
        self.assertIn("now has phone 010-12345678", out.getvalue())

    def test_packets_of_the_server_decode_and_describe_their_columns(self):
        p = self.fetch()
        self.assertGreater(len(p.rows), 0)
        cols = {c.name: c for c in p.columns}
        self.assertEqual(cols["ID"].flags, pk.PF_IN_UPDATE | pk.PF_IN_WHERE)
        self.assertEqual(cols["DH"].provflags, pk.PF_IN_UPDATE)
        self.assertEqual(cols["aDQMC"].provflags, 0)
        self.assertEqual(cols["BZ"].type, pk.STRING_UNI)
        self.assertTrue(all(isinstance(r["MC"], str) and r["MC"] for r in p.records()))
        # A packet goes back to the server unchanged: the server reads what
        # this codec writes (a row request without bits gives it back).
        delta = Delta(p)
        delta.modify(0, {})
        back = self.datas.invoke("AS_RowRequest", "pKh", delta.encode(), 0, EMPTY).result
        self.assertEqual(decode_packet(back).rows, delta.packet.rows)

    def test_every_dataset_decodes_and_encodes_to_the_bytes_the_server_wrote(self):
        names = self.datas.invoke("AS_GetProviderNames").result
        self.assertIn("pKh", names)
        decoded = 0
        for name in names:
            try:
                reply = self.datas.invoke("AS_GetRecords", name, -1, EMPTY, 1, "", EMPTY, EMPTY)
            except self.ComError as e:
                self.assertIn("Missing SQL property", e.description)  # the free-SQL datasets
                continue
            with self.subTest(provider=name):
                self.assertEqual(encode_packet(decode_packet(reply.result)), reply.result)
                decoded += 1
        self.assertGreater(decoded, 150)

    def test_row_requests_fill_in_memos_and_whole_records(self):
        p = self.fetch("pAppSelect")
        memo = p.column_index("DATASELECT")
        self.assertIs(p.rows[0].values[memo], pk.NOT_FETCHED)
        row = pk.row_packet(p, 0)
        blobs = decode_packet(self.datas.invoke("AS_RowRequest", "pAppSelect", encode_packet(row), 2, EMPTY).result)
        self.assertIsInstance(blobs.rows[0].values[memo], str)
        self.assertEqual(blobs.rows[0].values[:memo], p.rows[0].values[:memo])
        # The record bit locates by the key columns and fills in every column.
        row.rows[0].values = [v if c.flags & pk.PF_IN_KEY else None for c, v in zip(p.columns, p.rows[0].values)]
        whole = decode_packet(self.datas.invoke("AS_RowRequest", "pAppSelect", encode_packet(row), 1, EMPTY).result)
        self.assertEqual(whole.rows[0].values[memo], blobs.rows[0].values[memo])
        self.assertEqual(whole.rows[0].values[:memo], p.rows[0].values[:memo])

    def test_insert_and_a_failed_delete_are_reported_by_record_number(self):
        p = self.fetch()
        delta = Delta(p)
        missing = pk.Row(pk.ORIGINAL, list(p.rows[0].values))
        missing.values[p.column_index("ID")] = 424242
        self.assertEqual(delta.modify(0, {"QC": "改过的全称"}), 1)
        self.assertEqual(delta.delete(missing), 3)
        self.assertEqual(delta.insert({"ID": 9001, "BH": "KH9001", "MC": "新客户", "QCJE": 1.5}), 4)
        [e] = self.apply(delta, -1)
        self.assertEqual((e.record_no, e.response, e.message, e.category),
                         (3, pk.RESPONSE_SKIPPED, "Record not found or changed by another user", 1))
        after = {r["ID"]: r for r in self.fetch().records()}
        self.assertEqual(after[9001]["MC"], "新客户")
        self.assertEqual(after[p.records()[0]["ID"]]["QC"], "改过的全称")

        cleanup = Delta(self.fetch())
        cleanup.delete(next(i for i, r in enumerate(cleanup.source.records()) if r["ID"] == 9001))
        self.assertEqual(self.apply(cleanup, 0), [])
        self.assertNotIn(9001, {r["ID"] for r in self.fetch().records()})

    def test_max_errors_zero_keeps_nothing_of_a_failed_call(self):
        p = self.fetch()
        name = p.records()[1]["MC"]
        delta = Delta(p)
        delta.modify(1, {"MC": "不会留下"})
        delta.insert({"ID": p.records()[0]["ID"], "BH": "dup", "MC": "重复的键"})  # the key exists
        [e] = self.apply(delta, 0)
        self.assertEqual((e.record_no, e.response), (3, pk.RESPONSE_ABORTED))
        self.assertNotEqual(e.error_code, 1)  # the database's own number
        self.assertEqual(self.fetch().records()[1]["MC"], name)

    def test_failed_calls_name_the_argument_and_leave_the_object_usable(self):
        cases = [(("AS_GetRecords", "pKh"), 0x8002000E, -1, "takes 7, the call gave 1"),
                 (("AS_GetRecords", "pKh", "many", EMPTY, 1, "", EMPTY, EMPTY), 0x80020005, 1, "(Count)"),
                 (("AS_GetRecords", "pNone", -1, EMPTY, 1, "", EMPTY, EMPTY), 0x80004005, -1,
                  "Provider not exported: pNone"),
                 (("NoSuchMember",), 0x80020006, -1, "NoSuchMember")]
        for args, hresult, arg_error, text in cases:
            with self.subTest(args=args[:2]):
                with self.assertRaises(self.ComError) as caught:
                    self.datas.invoke(*args)
                e = caught.exception
                self.assertEqual((e.hresult, e.arg_error), (hresult, arg_error))
                self.assertIn(text, e.description)
        self.assertEqual(self.datas.ids_of_names("as_getrecords", "COUNT"), [20000001, 1])
        self.assertGreater(len(self.fetch().rows), 0)

    def test_a_closed_session_and_a_missing_server_fail_in_bounded_time(self):
        s = self.Session(self.endpoint, token="")
        d = s.create("Quib.DatasBb")
        s.close()
        with self.assertRaises(self.ComError) as caught:
            d.invoke("AS_GetProviderNames")
        self.assertEqual(caught.exception.hresult, 0x80010108)
        with self.assertRaises(self.ComError) as caught:
            self.Session(f"127.0.0.1:{free_port()}", token="", connect_timeout=0.5)
        self.assertEqual(caught.exception.hresult, 0x800706BA)

    def test_reflection_lists_the_service_and_serves_its_file(self):
        # Raw reflection requests (grpc.reflection.v1alpha), so that no
        # reflection package is needed: field 7 list_services, field 4
        # file_containing_symbol.
        with grpc.insecure_channel(self.endpoint) as channel:
            info = channel.stream_stream("/grpc.reflection.v1alpha.ServerReflection/ServerReflectionInfo")
            symbol = b"rvz.remoting.v1.ObjectService"
            replies = list(info(iter([b"\x3a\x00", b"\x22" + bytes([len(symbol)]) + symbol]), timeout=10))
        self.assertEqual(len(replies), 2)
        self.assertIn(symbol, replies[0])
        self.assertIn(b"grpc.health.v1.Health", replies[0])
        self.assertIn(b"rovezevu/remoting/v1/remoting.proto", replies[1])

    def test_rows_written_reach_the_metrics(self):
        def written():
            with urllib.request.urlopen(f"http://{self.metrics}/metrics", timeout=10) as r:
                text = r.read().decode()
            return {kind: int(line.rsplit(" ", 1)[1]) for line in text.splitlines()
                    for kind in ("inserted", "updated", "deleted")
                    if line.startswith(f'rvz_rows_written_total{{kind="{kind}"}} ')}
        before = written()
        p = self.fetch()
        delta = Delta(p)
        delta.modify(2, {"LXR": "王五"})
        self.assertEqual(self.apply(delta, 0), [])
        after = written()
        self.assertEqual(after["updated"], before["updated"] + 1)
        self.assertEqual((after["inserted"], after["deleted"]), (before["inserted"], before["deleted"]))


if __name__ == "__main__":
    unittest.main()
