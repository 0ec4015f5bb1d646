"""Runs nginx from Debian as a real content server on loopback.

As a module: NginxServer(root, port=0).start() / .stop() (or a context manager).
As a command: python3 scripts/nginx_server.py --root DIR [--port N] [--location /client/]
serves DIR under the location until interrupted.

The configuration, pid file, temp folders and logs live in a private folder;
nothing of the system's nginx configuration is used.
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

CONFIG = """
worker_processes {workers};
daemon off;
pid {work}/nginx.pid;
error_log {work}/error.log warn;
events {{ worker_connections 256; }}
http {{
    {log_format}
    access_log {work}/access.log{log_name};
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    types {{ }}
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 100000;
    server {{
        listen 127.0.0.1:{port};
        location {location} {{
            alias {root}/;
        }}
{extra_locations}
    }}
}}
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def nginx_binary():
    for candidate in ("/usr/sbin/nginx", shutil.which("nginx")):
        if candidate and os.path.exists(candidate):
            return candidate
    raise RuntimeError("nginx is not installed (scripts/setup-machine installs it)")


class NginxServer:
    """nginx serving `root` under `location`.

    log_format: an nginx log_format body for the access log (default: nginx's own).
    extra_locations: further location blocks for the server, with {root} standing
    for the served folder. work: the folder for configuration and logs, kept after
    stop (default: a temporary folder, removed at stop).
    """

    def __init__(self, root, port=0, location="/", log_format=None, extra_locations="", work=None, workers=2):
        self.root = os.path.abspath(root)
        self.port = port or free_port()
        self.location = location
        self.log_format = log_format
        self.extra_locations = extra_locations
        self.workers = workers
        self.keep_work = work is not None
        self.work = work
        self.process = None

    def start(self):
        if self.keep_work:
            os.makedirs(self.work, exist_ok=True)
        else:
            self.work = tempfile.mkdtemp(prefix="zentav-nginx-")
        config = os.path.join(self.work, "nginx.conf")
        with open(config, "w") as f:
            f.write(CONFIG.format(
                work=self.work, port=self.port, location=self.location, root=self.root, workers=self.workers,
                log_format="log_format custom '%s';" % self.log_format if self.log_format else "",
                log_name=" custom" if self.log_format else "",
                extra_locations=self.extra_locations.replace("{root}", self.root)))
        self.process = subprocess.Popen([nginx_binary(), "-c", config, "-p", self.work],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.time() + 10
        while time.time() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("nginx did not start: " + self.process.stderr.read().decode(errors="replace"))
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.5):
                    return self
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError("nginx did not listen on 127.0.0.1:%d within 10 s" % self.port)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGQUIT)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.process and self.process.stderr:
            self.process.stderr.close()
        self.process = None
        if self.work and not self.keep_work:
            shutil.rmtree(self.work, ignore_errors=True)
            self.work = None

    @property
    def url(self):
        return "http://127.0.0.1:%d%s" % (self.port, self.location)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--location", default="/")
    args = parser.parse_args()
    server = NginxServer(args.root, args.port, args.location).start()
    print("serving %s at %s" % (server.root, server.url), flush=True)
    # Stopping happens outside the handler: the handler interrupts the wait below,
    # and stopping inside it would wait for nginx while that wait holds its lock.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        server.process.wait()
    except KeyboardInterrupt:
        pass
    finally:
        server.stop()


if __name__ == "__main__":
    main()
