"""Starts content_server.py as a child process for a Python test and always stops it.

    with ContentServer(root) as server:          # or: server = ContentServer(); port = server.start(root)
        server.set_faults([{"path": "/a.bin", "fault": "drop_after", "bytes": 1000}])
        ... fetch server.url("a.bin") ...
        for request in server.requests(): ...

The server's request log goes to `log` when given (keep it beside the test's other
output so that a failure can point at it); otherwise to a private folder that stop()
removes.
"""
import atexit
import http.client
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse

SERVER_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "content_server.py")
START_TIMEOUT_SECONDS = 10
STOP_TIMEOUT_SECONDS = 10


class ContentServer:
    def __init__(self, root=None, log=None):
        self.root = root
        self.log = log
        self.log_path = None  # where the running server logs
        self.port = None
        self.process = None
        self.work = None  # private folder: port file, the server's output, the log unless given
        self.exit_code = None

    def start(self, root=None):
        """Starts the server on a free loopback port and returns the port."""
        if self.process:
            raise RuntimeError("the content server is already running")
        self.root = root or self.root
        if not self.root:
            raise ValueError("ContentServer needs a root folder")
        self.work = tempfile.mkdtemp(prefix="content-server-")
        self.log_path = self.log or os.path.join(self.work, "requests.log")
        port_file = os.path.join(self.work, "port")
        self.output = open(os.path.join(self.work, "output.txt"), "w+")
        self.process = subprocess.Popen(
            [sys.executable, SERVER_SCRIPT, "--root", self.root, "--port", "0",
             "--port-file", port_file, "--log", self.log_path],
            stdout=self.output, stderr=subprocess.STDOUT)
        atexit.register(self.stop)
        deadline = time.monotonic() + START_TIMEOUT_SECONDS
        while time.monotonic() < deadline:
            if os.path.exists(port_file):
                with open(port_file) as f:
                    self.port = int(f.read())
                return self.port
            if self.process.poll() is not None:
                break
            time.sleep(0.02)
        output = self.server_output()
        self.stop()
        raise RuntimeError("the content server did not start within %d s:\n%s" % (START_TIMEOUT_SECONDS, output))

    def stop(self):
        """Stops the server (SIGTERM, then SIGKILL after 10 s); exit_code keeps how it ended."""
        if self.process:
            if self.process.poll() is None:
                self.process.send_signal(signal.SIGTERM)
                try:
                    self.process.wait(timeout=STOP_TIMEOUT_SECONDS)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()
            self.exit_code = self.process.returncode
            self.process = None
            self.output.close()
            atexit.unregister(self.stop)
        if self.work:
            shutil.rmtree(self.work, ignore_errors=True)
            self.work = None
        self.port = None

    def url(self, path=""):
        return "http://127.0.0.1:%d/%s" % (self.port, path.lstrip("/"))

    def set_faults(self, rules):
        """Replaces the server's fault rules (a list of dicts, see README.md)."""
        return self.control("POST", "faults", rules)

    def reset(self):
        """Clears the rules and the request log."""
        return self.control("POST", "reset")

    def requests(self, path=None):
        """Every request received since the last reset, oldest first (optionally of one path)."""
        query = "?path=" + urllib.parse.quote(path) if path else ""
        return self.control("GET", "requests" + query)

    def faults(self):
        """The rules in force, each with how often it has been applied."""
        return self.control("GET", "faults")

    def control(self, method, name, value=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            body = json.dumps(value) if value is not None else None
            connection.request(method, "/__control/" + name, body=body,
                               headers={"Content-Type": "application/json"})
            response = connection.getresponse()
            answer = json.loads(response.read().decode("utf-8"))
        finally:
            connection.close()
        if response.status != 200:
            raise RuntimeError("/__control/%s: %s" % (name, answer.get("error", answer)))
        return answer

    def server_output(self):
        if not self.work:
            return ""
        with open(os.path.join(self.work, "output.txt"), errors="replace") as f:
            return f.read()

    def __enter__(self):
        if not self.process:
            self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
