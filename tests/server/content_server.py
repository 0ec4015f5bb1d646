"""A loopback HTTP/1.1 content server for the tests, which can be told to misbehave.

It serves the files under --root with byte ranges, over keep-alive connections,
several connections at once. A test replaces its set of fault rules and reads the
log of every request it received through JSON requests under /__control/ (see
README.md beside this file). Standard library only.

    python3 content_server.py --root DIR [--port 0] [--host 127.0.0.1]
                              [--port-file FILE] [--log FILE]
"""
import argparse
import email.utils
import io
import ipaddress
import json
import os
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

CONTROL_PREFIX = "/__control/"
MAX_LINE = 8192            # longest request or header line we accept
MAX_HEADERS = 100
MAX_CONTROL_BODY = 1 << 20
MAX_STALL_SECONDS = 120.0  # a stall never holds a connection longer than this
IDLE_TIMEOUT_SECONDS = 60.0
CHUNK = 64 * 1024
FILL_BYTE = b"\xee"        # the bytes that long_body appends

REASONS = {200: "OK", 206: "Partial Content", 400: "Bad Request", 404: "Not Found",
           405: "Method Not Allowed", 416: "Range Not Satisfiable", 431: "Request Header Fields Too Large",
           500: "Internal Server Error", 501: "Not Implemented", 503: "Service Unavailable"}


def reason_of(code):
    return REASONS.get(code, "Status %d" % code)


# --- requests -------------------------------------------------------------------------

class Request:
    """One parsed request with its raw lines as they arrived."""

    def __init__(self, request_line, header_lines, raw):
        self.raw = raw  # the request head exactly as it arrived, blank line included
        self.request_line = request_line
        self.header_lines = header_lines
        self.headers = []
        for line in header_lines:
            name, _, value = line.partition(":")
            self.headers.append([name, value.strip(" \t")])
        parts = request_line.split(" ")
        self.valid = len(parts) == 3 and parts[2].startswith("HTTP/1.") and all(
            ":" in line and line[0] not in " \t" for line in header_lines)
        self.method, self.target, self.version = (parts + ["", "", ""])[:3]
        target = self.target
        if target.startswith(("http://", "https://")):
            target = urllib.parse.urlsplit(target).path or "/"
        self.path = urllib.parse.unquote(target.split("?", 1)[0])
        self.query = urllib.parse.parse_qs(urllib.parse.urlsplit(target).query)

    def header(self, name):
        """The last value of header `name` (any case), or None."""
        found = None
        for key, value in self.headers:
            if key.lower() == name.lower():
                found = value
        return found

    def wants_close(self):
        tokens = [t.strip().lower() for t in (self.header("Connection") or "").split(",")]
        if self.version == "HTTP/1.0":
            return "keep-alive" not in tokens
        return "close" in tokens


def read_line(stream, raw):
    """One line without its line end, appended to `raw` as it arrived; None at the end
    of the stream or on an error, False when the line is too long."""
    try:
        line = stream.readline(MAX_LINE + 1)
    except OSError:
        return None
    if not line:
        return None
    if len(line) > MAX_LINE or not line.endswith(b"\n"):
        return False
    raw.append(line)
    return line.rstrip(b"\r\n").decode("latin-1")


def read_request(stream):
    """A Request, None when the connection ended, or an int status for a request
    too malformed to answer normally."""
    raw = []
    line = read_line(stream, raw)
    while line == "":  # blank lines before a request are allowed
        raw.clear()
        line = read_line(stream, raw)
    if line is None:
        return None
    if line is False:
        return 400
    header_lines = []
    while True:
        header = read_line(stream, raw)
        if header is None:
            return None
        if header is False or len(header_lines) >= MAX_HEADERS:
            return 431
        if header == "":
            break
        header_lines.append(header)
    return Request(line, header_lines, b"".join(raw).decode("latin-1"))


# --- replies --------------------------------------------------------------------------

class Reply:
    """What the server would send without a fault: status, headers, and a body of
    `length` bytes read from `body` (a file object positioned at its first byte)."""

    def __init__(self, status, headers, body=None, length=0):
        self.status, self.headers, self.body, self.length = status, headers, body, length
        self.size = None    # size of the served file, when there is one
        self.first = 0      # first byte of the file that the body holds

    @staticmethod
    def text(status, message, extra_headers=()):
        data = message.encode("utf-8")
        reply = Reply(status, [("Content-Type", "text/plain; charset=utf-8")] + list(extra_headers),
                      io.BytesIO(data), len(data))
        return reply

    def close_body(self):
        if self.body is not None:
            self.body.close()


def parse_range(value, size):
    """(first, last) for a single "bytes=" range of a file of `size` bytes, "unsatisfiable",
    or None when the header is to be ignored (absent, malformed or several ranges)."""
    if value is None or not value.startswith("bytes=") or "," in value:
        return None
    first_text, dash, last_text = value[len("bytes="):].strip().partition("-")
    first_text, last_text = first_text.strip(), last_text.strip()
    if not dash or not (first_text.isdigit() or first_text == "") or not (last_text.isdigit() or last_text == ""):
        return None
    if first_text == "":  # suffix: the last N bytes
        if last_text == "" or int(last_text) == 0:
            return "unsatisfiable"
        return max(0, size - int(last_text)), size - 1
    first = int(first_text)
    last = size - 1 if last_text == "" else min(int(last_text), size - 1)
    if first >= size or (last_text != "" and int(last_text) < first):
        return "unsatisfiable"
    return first, last


def resolve(root, path):
    """The file under `root` that `path` names, or None (outside the root, not a file)."""
    if not path.startswith("/") or "\0" in path:
        return None
    candidate = os.path.realpath(os.path.join(root, path.lstrip("/")))
    if os.path.commonpath([root, candidate]) != root or not os.path.isfile(candidate):
        return None
    return candidate


def plan_reply(root, request):
    """The reply to a GET or HEAD of a content path, as a well-behaved server gives it."""
    if request.method not in ("GET", "HEAD"):
        return Reply.text(405, "method not allowed\n", [("Allow", "GET, HEAD")])
    filename = resolve(root, request.path)
    if filename is None:
        return Reply.text(404, "not found: %s\n" % request.path)
    try:
        body = open(filename, "rb")
    except OSError:
        return Reply.text(404, "not readable: %s\n" % request.path)
    size = os.fstat(body.fileno()).st_size
    octets = [("Content-Type", "application/octet-stream"), ("Accept-Ranges", "bytes")]
    # An empty file has no satisfiable range; like common servers, send it whole.
    wanted = parse_range(request.header("Range"), size) if size > 0 else None
    if wanted == "unsatisfiable":
        body.close()
        return Reply.text(416, "range not satisfiable\n", [("Content-Range", "bytes */%d" % size)])
    if wanted is None:
        reply = Reply(200, octets, body, size)
    else:
        first, last = wanted
        body.seek(first)
        reply = Reply(206, octets + [("Content-Range", "bytes %d-%d/%d" % (first, last, size))],
                      body, last - first + 1)
        reply.first = first
    reply.size = size
    return reply


# --- faults ---------------------------------------------------------------------------
# Each fault is a handler that sends a reply its own way, and the parameters it takes:
# name -> (type, default); a default of REQUIRED must be given in the rule.

REQUIRED = object()


def fault_drop_after(sender, reply, p):
    sender.send_head(reply)
    sender.send_body(reply, limit=p["bytes"])
    return False


def fault_stall(sender, reply, p):
    if p["before_headers"]:
        sender.pause(p["seconds"])
    else:
        sender.send_head(reply)
        sender.send_body(reply, limit=p["after_bytes"])
        sender.pause(p["seconds"])
    if p["then"] == "close":
        return False
    if p["before_headers"]:
        sender.send_head(reply)
    sender.send_body(reply)
    return True


def fault_ignore_range(sender, reply, p):
    if reply.size is not None:
        reply.body.seek(0)
        reply.status, reply.length, reply.first = 200, reply.size, 0
        reply.headers = [h for h in reply.headers if h[0] != "Content-Range"]
    sender.send_head(reply)
    sender.send_body(reply)
    return True


def fault_status(sender, reply, p):
    replacement = Reply.text(p["code"], p["body"] if p["body"] is not None else "%d %s\n" % (
        p["code"], reason_of(p["code"])), sorted(p["headers"].items()))
    reply.close_body()
    sender.send_head(replacement)
    sender.send_body(replacement)
    replacement.close_body()
    return True


def fault_no_length(sender, reply, p):
    sender.send_head(reply, length=None)
    sender.send_body(reply, chunked=True)
    return True


def fault_wrong_content_range(sender, reply, p):
    if reply.size is not None:
        first = reply.first + p["offset"]
        last = first + reply.length - 1
        reply.status = 206
        reply.headers = [h for h in reply.headers if h[0] != "Content-Range"] + [
            ("Content-Range", "bytes %d-%d/%d" % (first, last, reply.size))]
    sender.send_head(reply)
    sender.send_body(reply)
    return True


def fault_long_body(sender, reply, p):
    sender.send_head(reply)
    sender.send_body(reply)
    sender.send_raw(FILL_BYTE * p["extra"])
    return False


def fault_short_body(sender, reply, p):
    sender.send_head(reply)
    sender.send_body(reply, limit=max(0, reply.length - p["missing"]))
    return False


def fault_reset_before_headers(sender, reply, p):
    sender.reset()
    return False


def fault_zero_length(sender, reply, p):
    reply.status, reply.length = 200, 0
    reply.headers = [h for h in reply.headers if h[0] != "Content-Range"]
    sender.send_head(reply)
    return True


def fault_slow(sender, reply, p):
    sender.send_head(reply)
    sender.send_body(reply, rate=p["bytes_per_sec"])
    return True


FAULTS = {
    "drop_after": (fault_drop_after, {"bytes": (int, REQUIRED)}),
    "stall": (fault_stall, {"seconds": (float, REQUIRED), "after_bytes": (int, 0), "before_headers": (bool, False),
                            "then": (str, "close")}),
    "ignore_range": (fault_ignore_range, {}),
    "status": (fault_status, {"code": (int, REQUIRED), "body": (str, None), "headers": (dict, {})}),
    "no_length": (fault_no_length, {}),
    "wrong_content_range": (fault_wrong_content_range, {"offset": (int, REQUIRED)}),
    "long_body": (fault_long_body, {"extra": (int, REQUIRED)}),
    "short_body": (fault_short_body, {"missing": (int, REQUIRED)}),
    "reset_before_headers": (fault_reset_before_headers, {}),
    "zero_length": (fault_zero_length, {}),
    "slow": (fault_slow, {"bytes_per_sec": (int, REQUIRED)}),
}
RULE_KEYS = {"path", "fault", "times", "on_request"}


def check_rule(rule):
    """The rule with its parameters completed, or an error text."""
    if not isinstance(rule, dict):
        return "a rule must be an object"
    path, name = rule.get("path"), rule.get("fault")
    if not isinstance(path, str) or not (path.startswith("/") or path == "*"):
        return "rule needs a path that starts with / (or *)"
    if name not in FAULTS:
        return "unknown fault %r; known: %s" % (name, ", ".join(sorted(FAULTS)))
    parameters = FAULTS[name][1]
    unknown = set(rule) - RULE_KEYS - set(parameters)
    if unknown:
        return "fault %s takes no %s" % (name, ", ".join(sorted(unknown)))
    checked = {"path": path, "fault": name, "params": {}}
    for key in ("times", "on_request"):
        value = rule.get(key)
        if value is not None and (type(value) is not int or value < 1):
            return "%s must be a positive integer" % key
        checked[key] = value
    for key, (kind, default) in parameters.items():
        value = rule.get(key, default)
        if value is REQUIRED:
            return "fault %s needs %s" % (name, key)
        if kind is float and type(value) is int:
            value = float(value)
        if value is not None and type(value) is not kind:
            return "%s of fault %s must be %s" % (key, name, kind.__name__)
        if kind in (int, float) and value < 0:
            return "%s of fault %s must not be negative" % (key, name)
        checked["params"][key] = value
    if name == "stall" and checked["params"]["seconds"] > MAX_STALL_SECONDS:
        return "a stall lasts at most %g seconds" % MAX_STALL_SECONDS
    if name == "stall" and checked["params"]["then"] not in ("close", "continue"):
        return "then of fault stall must be close or continue"
    if name == "slow" and checked["params"]["bytes_per_sec"] < 1:
        return "bytes_per_sec must be at least 1"
    if name == "status" and not 100 <= checked["params"]["code"] <= 999:
        return "code must have three digits"
    # A rule with on_request applies to that one request unless times says more;
    # without it, to every request (or the first `times`).
    checked["first"] = checked["on_request"] or 1
    checked["remaining"] = checked["times"] or (1 if checked["on_request"] else None)
    checked["applied"] = 0
    return checked


class Faults:
    """The rule set and the count of requests per path; shared by all connections."""

    def __init__(self):
        self.lock = threading.Lock()
        self.rules = []
        self.counts = {}

    def replace(self, rules):
        """Replaces the rules and restarts the per-path counts; an error text or None."""
        if not isinstance(rules, list):
            return "expected a list of rules"
        checked = []
        for rule in rules:
            result = check_rule(rule)
            if isinstance(result, str):
                return result
            checked.append(result)
        with self.lock:
            self.rules, self.counts = checked, {}
        return None

    def take(self, path):
        """Counts a request for `path`; the (rule, number) that applies to it, rule None if none."""
        with self.lock:
            number = self.counts.get(path, 0) + 1
            self.counts[path] = number
            for rule in self.rules:
                if rule["path"] not in (path, "*") or number < rule["first"]:
                    continue
                if rule["remaining"] is not None:
                    if rule["remaining"] == 0:
                        continue
                    rule["remaining"] -= 1
                rule["applied"] += 1
                return rule, number
            return None, number

    def describe(self):
        with self.lock:
            return [dict({k: r[k] for k in ("path", "fault", "times", "on_request", "remaining", "applied")}, **r["params"])
                    for r in self.rules]


# --- the connection -------------------------------------------------------------------

class Sender:
    """Writes one reply to the connection and counts the body bytes that left."""

    def __init__(self, connection, stopping, head_only):
        self.connection, self.stopping, self.head_only = connection, stopping, head_only
        self.body_bytes = 0
        self.status = None
        self.chunked = False
        self.was_reset = False

    def send_raw(self, data):
        if data:
            self.connection.sendall(data)

    def send_head(self, reply, length="auto"):
        length = reply.length if length == "auto" else length
        lines = ["HTTP/1.1 %d %s" % (reply.status, reason_of(reply.status)),
                 "Date: " + email.utils.formatdate(usegmt=True), "Server: zentav-test-content"]
        lines += ["%s: %s" % header for header in reply.headers]
        if length is None:
            self.chunked = True
            lines.append("Transfer-Encoding: chunked")
        else:
            lines.append("Content-Length: %d" % length)
        self.status = reply.status
        self.send_raw(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def send_body(self, reply, limit=None, rate=None, chunked=False):
        """Sends the rest of the body (at most `limit` more bytes), at `rate` bytes per second if given."""
        if self.head_only or reply.body is None:
            return
        todo = reply.length - self.body_bytes
        if limit is not None:
            todo = min(todo, limit)
        step = max(1, min(CHUNK, rate // 20)) if rate else CHUNK
        started, sent = time.monotonic(), 0
        while todo > 0 and not self.stopping.is_set():
            data = reply.body.read(min(step, todo))
            if not data:
                break
            if rate:
                delay = started + (sent + len(data)) / rate - time.monotonic()
                if delay > 0 and self.stopping.wait(delay):
                    break
            self.send_raw(b"%x\r\n%s\r\n" % (len(data), data) if chunked else data)
            self.body_bytes += len(data)
            sent += len(data)
            todo -= len(data)
        if chunked and todo == 0:
            self.send_raw(b"0\r\n\r\n")

    def pause(self, seconds):
        self.stopping.wait(min(seconds, MAX_STALL_SECONDS))

    def reset(self):
        """Closes with a reset instead of an orderly end (SO_LINGER with a zero time-out)."""
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.was_reset = True


class Connection(socketserver.StreamRequestHandler):
    """Serves the requests of one connection, one after the other."""

    def handle(self):
        server = self.server
        self.connection.settimeout(IDLE_TIMEOUT_SECONDS)
        connection_id = server.next_connection_id()
        while not server.stopping.is_set():
            request = read_request(self.rfile)
            if request is None:
                return
            if isinstance(request, int) or not request.valid:
                self.answer_plain(request if isinstance(request, int) else 400)
                return
            try:
                if request.path.startswith(CONTROL_PREFIX):
                    keep = self.control(request)
                else:
                    keep = self.content(request, connection_id)
            except OSError:
                return  # the client went away or timed out
            if not keep or request.wants_close():
                return

    def answer_plain(self, status):
        try:
            self.connection.sendall(("HTTP/1.1 %d %s\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
                                     % (status, reason_of(status))).encode("latin-1"))
        except OSError:
            pass

    def read_body(self, request):
        """The request's body (Content-Length only), or None when it cannot be read."""
        if request.header("Transfer-Encoding"):
            return None
        length = request.header("Content-Length") or "0"
        if not length.isdigit() or int(length) > MAX_CONTROL_BODY:
            return None
        return self.rfile.read(int(length))

    def content(self, request, connection_id):
        server = self.server
        body = self.read_body(request)
        record = server.log.begin(request, connection_id)
        if body is None:
            self.answer_plain(400)
            server.log.finish(record, 400, None, 0, "closed")
            return False
        rule, number = server.faults.take(request.path)
        record["request_number"] = number
        reply = plan_reply(server.root, request)
        if request.wants_close():
            reply.headers.append(("Connection", "close"))
        sender = Sender(self.connection, server.stopping, request.method == "HEAD")
        keep, outcome = False, "client_gone"  # unless the reply gets through
        try:
            if rule is None:
                sender.send_head(reply)
                sender.send_body(reply)
                keep = sender.body_bytes == reply.length or sender.head_only
            else:
                keep = FAULTS[rule["fault"]][0](sender, reply, rule["params"])
            if sender.was_reset:
                outcome = "reset"
            elif server.stopping.is_set():
                outcome, keep = "stopped", False
            else:
                outcome = "complete" if keep else "closed"
        finally:
            reply.close_body()
            server.log.finish(record, sender.status, rule and rule["fault"], sender.body_bytes, outcome)
        return keep

    def control(self, request):
        server = self.server
        body = self.read_body(request)
        action = request.path[len(CONTROL_PREFIX):]
        status, result, records = 200, {"ok": True}, None
        if body is None:
            status, result = 400, {"error": "unreadable body"}
        elif request.method == "POST" and action == "faults":
            server.log.note("control: faults %s" % body.decode("utf-8", "replace").strip())
            try:
                rules = json.loads(body.decode("utf-8") or "null")
            except ValueError as error:
                rules = None
                status, result = 400, {"error": "not JSON: %s" % error}
            if status == 200:
                if isinstance(rules, dict):
                    rules = rules.get("rules")
                error = server.faults.replace(rules)
                if error:
                    status, result = 400, {"error": error}
                    server.log.note("control: refused: %s" % error)
        elif request.method == "GET" and action == "faults":
            result = server.faults.describe()
        elif request.method == "POST" and action == "reset":
            server.faults.replace([])
            server.log.clear()
            server.log.note("control: reset")
        elif request.method == "GET" and action == "requests":
            paths = request.query.get("path")
            records = [r for r in server.log.snapshot() if not paths or r["path"] in paths]
        else:
            status, result = 404, {"error": "no control %s %s" % (request.method, action)}
        if records is not None:
            # One request a line, so that a test can read the log without a JSON parser.
            text = "[\n" + ",\n".join(json.dumps(r) for r in records) + ("\n]\n" if records else "]\n")
        else:
            text = json.dumps(result, indent=1) + "\n"
        data = text.encode("utf-8")
        reply = Reply(status, [("Content-Type", "application/json")], io.BytesIO(data), len(data))
        sender = Sender(self.connection, threading.Event(), request.method == "HEAD")
        sender.send_head(reply)
        sender.send_body(reply)
        return True


# --- the request log ------------------------------------------------------------------

class RequestLog:
    """Every content request with what the server did about it; also written to --log.

    outcome: complete (the whole reply went out), closed (the server closed the
    connection, as a fault does), reset, client_gone (sending failed), stopped (the
    server was stopping); null while the reply is still going out."""

    def __init__(self, log_path):
        self.lock = threading.Lock()
        self.records = []
        self.next_id = 1
        self.file = open(log_path, "a", encoding="utf-8") if log_path else None

    def begin(self, request, connection_id):
        record = {
            "method": request.method, "path": request.path, "target": request.target,
            "version": request.version, "request_line": request.request_line,
            "raw": request.raw, "headers": request.headers,
            "user_agent": request.header("User-Agent"), "range": request.header("Range"),
            "connection": connection_id, "time": time.time(), "end": None,
            "request_number": None, "status": None, "fault": None, "body_bytes": 0, "outcome": None,
        }
        with self.lock:
            record["id"] = self.next_id
            self.next_id += 1
            self.records.append(record)
        return record

    def finish(self, record, status, fault, body_bytes, outcome):
        with self.lock:
            record.update(status=status, fault=fault, body_bytes=body_bytes, end=time.time(), outcome=outcome)
        self.note("#%d c%d \"%s\" range=%s agent=%s -> %s fault=%s body=%d %s" % (
            record["id"], record["connection"], record["request_line"], record["range"],
            record["user_agent"], status, fault, body_bytes, outcome))

    def note(self, text):
        """One line in the log file, led by the time."""
        with self.lock:
            if self.file:
                self.file.write("%s %s\n" % (time.strftime("%H:%M:%S"), text))
                self.file.flush()

    def clear(self):
        with self.lock:
            self.records = []

    def snapshot(self):
        with self.lock:
            return [dict(record) for record in self.records]

    def close(self):
        with self.lock:
            if self.file:
                self.file.close()
                self.file = None


# --- the server -----------------------------------------------------------------------

class ContentServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, root, host, port, log_path):
        self.root = os.path.realpath(root)
        self.faults = Faults()
        self.log = RequestLog(log_path)
        self.stopping = threading.Event()
        self.connection_lock = threading.Lock()
        self.connections = 0
        super().__init__((host, port), Connection)

    def next_connection_id(self):
        with self.connection_lock:
            self.connections += 1
            return self.connections


def write_port_file(path, port):
    """Writes the port under a temporary name and renames it, so a reader never sees half of it."""
    temporary = "%s.%d.tmp" % (path, os.getpid())
    with open(temporary, "w") as f:
        f.write("%d\n" % port)
    os.replace(temporary, path)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Loopback content server with fault injection for the tests.")
    parser.add_argument("--root", required=True, help="folder to serve")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--host", default="127.0.0.1", help="an address in 127.0.0.0/8")
    parser.add_argument("--port-file", help="written (atomically) with the port once listening")
    parser.add_argument("--log", help="append one line per request to this file")
    args = parser.parse_args(argv)
    try:
        loopback = ipaddress.ip_address(args.host) in ipaddress.ip_network("127.0.0.0/8")
    except ValueError:
        loopback = False
    if not loopback:
        print("content_server: refusing host %s: only 127.0.0.0/8 is served" % args.host, file=sys.stderr)
        return 2
    if not os.path.isdir(args.root):
        print("content_server: no folder %s" % args.root, file=sys.stderr)
        return 2
    server = ContentServer(args.root, args.host, args.port, args.log)
    stop = threading.Event()
    for signal_number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signal_number, lambda *_: stop.set())
    serving = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    serving.start()
    port = server.server_address[1]
    if args.port_file:
        write_port_file(args.port_file, port)
    server.log.note("listening on %s:%d, root %s" % (args.host, port, server.root))
    print("content_server: serving %s on http://%s:%d/" % (args.root, args.host, port), flush=True)
    while not stop.wait(0.5):
        pass
    server.stopping.set()   # ends stalls and slow bodies
    server.shutdown()
    server.server_close()
    server.log.note("stopped")
    server.log.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
