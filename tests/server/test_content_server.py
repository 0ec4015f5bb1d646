"""Self-test of the fault-injecting content server, through its fixture, on loopback.

    python3 tests/server/test_content_server.py      (exit code 0 when all pass)

Replies are read from raw sockets so that what the server does wrong (a short body,
a reset, bytes after the end) is seen as it is, not as a client library repairs it.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_fixture import ContentServer, SERVER_SCRIPT  # noqa: E402

DATA = bytes((i * 7 + i // 256) % 256 for i in range(1000))


class Exchange:
    """One raw request and everything the server sent until it closed (or reset)."""

    def __init__(self, port, path, headers=(), method="GET", timeout=10):
        lines = ["%s %s HTTP/1.1" % (method, path), "Host: 127.0.0.1:%d" % port] + list(headers)
        self.raw, self.arrivals, self.reset = b"", [], False
        with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
            self.sent_at = time.monotonic()
            s.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
            try:
                while True:
                    data = s.recv(65536)
                    if not data:
                        break
                    self.raw += data
                    self.arrivals.append((time.monotonic() - self.sent_at, len(self.raw)))
            except ConnectionResetError:
                self.reset = True
            self.ended = time.monotonic() - self.sent_at
        head, _, self.body = self.raw.partition(b"\r\n\r\n")
        self.head_length = len(head) + 4
        lines = head.decode("latin-1").split("\r\n")
        self.status = int(lines[0].split(" ")[1]) if self.raw else None
        self.headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            self.headers[name.strip().lower()] = value.strip()

    def header(self, name):
        return self.headers.get(name.lower())

    def seconds_until_body(self, count):
        """When the body's first `count` bytes had arrived, in seconds after the request."""
        return next(t for t, total in self.arrivals if total - self.head_length >= count)

    def dechunked(self):
        body, rest = b"", self.body
        while rest:
            size_line, _, rest = rest.partition(b"\r\n")
            size = int(size_line, 16)
            if size == 0:
                break
            body, rest = body + rest[:size], rest[size + 2:]
        return body


class ContentServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="content-server-test-")
        os.makedirs(os.path.join(cls.root, "dir"))
        with open(os.path.join(cls.root, "dir", "f.bin"), "wb") as f:
            f.write(DATA)
        open(os.path.join(cls.root, "empty.bin"), "wb").close()
        with open(os.path.join(os.path.dirname(cls.root), os.path.basename(cls.root) + "-secret"), "wb") as f:
            f.write(b"outside the root")
        cls.server = ContentServer(cls.root)
        cls.port = cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.root, ignore_errors=True)
        os.remove(cls.root + "-secret")

    def setUp(self):
        self.server.reset()

    def get(self, path, *headers, **options):
        return Exchange(self.port, path, list(headers) + ["Connection: close"], **options)

    def test_whole_file_head_and_missing(self):
        reply = self.get("/dir/f.bin")
        self.assertEqual((reply.status, reply.body), (200, DATA))
        self.assertEqual(reply.header("Content-Length"), "1000")
        self.assertEqual(reply.header("Content-Type"), "application/octet-stream")
        self.assertEqual(reply.header("Accept-Ranges"), "bytes")
        self.assertIsNone(reply.header("Content-Range"))
        head = self.get("/dir/f.bin", "Range: bytes=10-", method="HEAD")
        self.assertEqual((head.status, head.header("Content-Length"), head.body), (206, "990", b""))
        empty = self.get("/empty.bin", "Range: bytes=0-")
        self.assertEqual((empty.status, empty.header("Content-Length"), empty.body), (200, "0", b""))
        secret = "/%s-secret" % os.path.basename(self.root)
        for path in ["/nothing.bin", "/dir", "/.." + secret, "/dir/../.." + secret, "/%2e%2e" + secret]:
            reply = self.get(path)
            self.assertEqual(reply.status, 404, path)
            self.assertEqual(reply.header("Content-Length"), str(len(reply.body)), path)
            self.assertNotIn(b"outside", reply.body, path)

    def test_ranges(self):
        for range_value, status, content_range, body in [
            ("bytes=0-", 206, "bytes 0-999/1000", DATA),
            ("bytes=100-", 206, "bytes 100-999/1000", DATA[100:]),
            ("bytes=100-199", 206, "bytes 100-199/1000", DATA[100:200]),
            ("bytes=999-5000", 206, "bytes 999-999/1000", DATA[999:]),
            ("bytes=-10", 206, "bytes 990-999/1000", DATA[990:]),
            ("bytes=1000-", 416, "bytes */1000", None),
            ("bytes=5000-", 416, "bytes */1000", None),
            ("bytes=0-1,5-6", 200, None, DATA),   # several ranges: served whole
        ]:
            reply = self.get("/dir/f.bin", "Range: " + range_value)
            self.assertEqual((reply.status, reply.header("Content-Range")), (status, content_range), range_value)
            self.assertEqual(reply.header("Content-Length"), str(len(reply.body)), range_value)
            if body is not None:
                self.assertEqual(reply.body, body, range_value)

    def test_request_log_keeps_headers_as_sent(self):
        sent = ["Accept-Encoding:*", "Accept-Ranges:bytes", "Range:bytes=100-", "user-agent: cFileDownloader",
                "X-Mixed-CASE:  two  spaces "]
        reply = Exchange(self.port, "/dir/f.bin?x=1", sent + ["Connection: close"])
        self.assertEqual(reply.status, 206)
        self.get("/missing.bin")
        first, second = self.server.requests()
        self.assertEqual(first["request_line"], "GET /dir/f.bin?x=1 HTTP/1.1")
        self.assertEqual(first["raw"], "\r\n".join(["GET /dir/f.bin?x=1 HTTP/1.1", "Host: 127.0.0.1:%d" % self.port]
                                                   + sent + ["Connection: close", "", ""]))
        self.assertEqual([name for name, _ in first["headers"]][1:6],
                         ["Accept-Encoding", "Accept-Ranges", "Range", "user-agent", "X-Mixed-CASE"])
        self.assertEqual(first["headers"][5][1], "two  spaces")
        self.assertEqual((first["path"], first["user_agent"], first["range"]),
                         ("/dir/f.bin", "cFileDownloader", "bytes=100-"))
        self.assertEqual((first["status"], first["fault"], first["body_bytes"], first["outcome"]),
                         (206, None, 900, "complete"))
        self.assertEqual((second["path"], second["status"]), ("/missing.bin", 404))
        self.assertNotEqual(first["connection"], second["connection"])
        self.assertEqual([r["path"] for r in self.server.requests("/missing.bin")], ["/missing.bin"])

    def test_keep_alive_and_parallel_connections(self):
        self.server.set_faults([{"path": "/empty.bin", "fault": "stall", "seconds": 5, "before_headers": True,
                                 "then": "continue"}])
        stalled = threading.Thread(target=self.get, args=("/empty.bin",), daemon=True)
        stalled.start()
        request = b"GET /dir/f.bin HTTP/1.1\r\nHost: x\r\n\r\n"
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            reader = s.makefile("rb")
            for _ in range(2):  # two replies on one connection while the other one stalls
                s.sendall(request)
                self.assertTrue(reader.readline().startswith(b"HTTP/1.1 200"))
                while reader.readline() != b"\r\n":
                    pass
                self.assertEqual(reader.read(len(DATA)), DATA)
        self.assertTrue(stalled.is_alive(), "the stalled request should still be waiting")
        served = [r for r in self.server.requests() if r["path"] == "/dir/f.bin"]
        self.assertEqual([r["status"] for r in served], [200, 200])
        self.assertEqual(served[0]["connection"], served[1]["connection"])
        self.assertEqual([r["request_number"] for r in served], [1, 2])
        stalled.join(15)

    def test_faults(self):
        # Rule parameters and Range header, then what the client must see: status,
        # Content-Length, Content-Range, body (de-chunked), whether the connection was
        # reset; and in the log: body bytes sent, outcome (the client asks for Connection:
        # close, so a reply that goes through whole is "complete" and then closed).
        for fault, params, range_value, status, length, content_range, body, reset, logged, outcome in [
            ("drop_after", {"bytes": 100}, None, 200, "1000", None, DATA[:100], False, 100, "closed"),
            ("stall", {"seconds": 1.5, "after_bytes": 300}, None, 200, "1000", None, DATA[:300], False, 300, "closed"),
            ("stall", {"seconds": 1.5, "after_bytes": 300, "then": "continue"}, None, 200, "1000", None, DATA, False,
             1000, "complete"),
            ("ignore_range", {}, "bytes=100-", 200, "1000", None, DATA, False, 1000, "complete"),
            ("status", {"code": 503}, "bytes=100-", 503, "24", None, b"503 Service Unavailable\n", False, 24,
             "complete"),
            ("no_length", {}, "bytes=100-", 206, None, "bytes 100-999/1000", DATA[100:], False, 900, "complete"),
            ("wrong_content_range", {"offset": 7}, "bytes=100-", 206, "900", "bytes 107-1006/1000", DATA[100:],
             False, 900, "complete"),
            ("long_body", {"extra": 5}, None, 200, "1000", None, DATA + b"\xee" * 5, False, 1000, "closed"),
            ("short_body", {"missing": 10}, "bytes=0-", 206, "1000", "bytes 0-999/1000", DATA[:990], False, 990,
             "closed"),
            ("reset_before_headers", {}, None, None, None, None, b"", True, 0, "reset"),
            ("zero_length", {}, "bytes=100-", 200, "0", None, b"", False, 0, "complete"),
            ("slow", {"bytes_per_sec": 2000}, None, 200, "1000", None, DATA, False, 1000, "complete"),
        ]:
            with self.subTest(fault=fault, **params):
                self.server.reset()
                self.server.set_faults([dict({"path": "/dir/f.bin", "fault": fault}, **params)])
                reply = self.get("/dir/f.bin", *(["Range: " + range_value] if range_value else []))
                self.assertEqual(reply.status, status)
                self.assertEqual(reply.header("Content-Length"), length)
                self.assertEqual(reply.header("Content-Range"), content_range)
                chunked = reply.header("Transfer-Encoding") == "chunked"
                self.assertEqual(chunked, fault == "no_length")
                self.assertEqual(reply.dechunked() if chunked else reply.body, body)
                self.assertEqual(reply.reset, reset)
                (record,) = self.server.requests()
                self.assertEqual((record["fault"], record["status"], record["body_bytes"], record["outcome"]),
                                 (fault, status, logged, outcome))
                if fault == "stall":  # 300 bytes, then a pause, then the rest or the end
                    after_pause = reply.seconds_until_body(301) if "then" in params else reply.ended
                    self.assertGreaterEqual(after_pause - reply.seconds_until_body(300), 1.2)
                if fault == "slow":  # 1000 bytes at 2000 per second take at least 0.4 s
                    self.assertGreaterEqual(reply.seconds_until_body(1000) - reply.seconds_until_body(1), 0.4)

    def test_rule_selection(self):
        self.server.set_faults([
            {"path": "/dir/f.bin", "fault": "status", "code": 500, "on_request": 2},
            {"path": "/dir/f.bin", "fault": "status", "code": 503, "on_request": 4, "times": 2},
            {"path": "/empty.bin", "fault": "status", "code": 502, "times": 1},
            {"path": "*", "fault": "status", "code": 501, "on_request": 3},
        ])
        statuses = [self.get("/dir/f.bin").status for _ in range(7)]
        self.assertEqual(statuses, [200, 500, 501, 503, 503, 200, 200])
        self.assertEqual([self.get("/empty.bin").status for _ in range(3)], [502, 200, 200])
        applied = [rule["applied"] for rule in self.server.faults()]
        self.assertEqual(applied, [1, 2, 1, 1], "times counts over every path that a rule matches")
        for bad in [[{"path": "/a", "fault": "nonsense"}], [{"path": "/a", "fault": "drop_after"}],
                    [{"path": "/a", "fault": "stall", "seconds": 1000}], [{"path": "a", "fault": "zero_length"}],
                    [{"path": "/a", "fault": "slow", "bytes_per_sec": 10, "typo": 1}], {"path": "/a"}]:
            with self.assertRaises(RuntimeError, msg=str(bad)):
                self.server.set_faults(bad)
        self.assertEqual(len(self.server.faults()), 4, "a refused rule set leaves the rules as they were")

    def test_refuses_other_hosts_and_stops_on_sigterm(self):
        for host in ["0.0.0.0", "192.168.1.1", "localhost"]:
            result = subprocess.run([sys.executable, SERVER_SCRIPT, "--root", self.root, "--host", host],
                                    capture_output=True, timeout=30)
            self.assertEqual(result.returncode, 2, host)
        server = ContentServer(self.root)
        self.assertTrue(server.start() > 0)
        self.assertEqual(Exchange(server.port, "/dir/f.bin", ["Connection: close"]).body, DATA)
        server.stop()
        self.assertEqual(server.exit_code, 0)


if __name__ == "__main__":
    sys.exit(not unittest.main(exit=False).result.wasSuccessful())
