"""Runs the engine's HTTP tests (engine_http_tests.exe, under Wine) against two
servers on loopback that it starts first and stops afterwards:

- the project's fault-injecting test server (tests/server), which the tests tell
  per path how to misbehave and whose request log they read, both through its
  control interface over HTTP;
- nginx from Debian, with a temporary configuration whose access log records
  each request's Range header and agent string.

Both serve one temporary folder; the tests write the files to serve into it
(through Wine's Z: drive) and compare what the engine downloaded with them.
Arguments after the script are passed on to the test program (--gtest_filter=...).
See README.md beside this file.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZENTAV_SOURCE_DIR") or os.path.dirname(os.path.dirname(HERE))
BUILD_DIR = os.environ.get("ZENTAV_BUILD_DIR") or os.path.join(SOURCE_DIR, "build", "x86_64")
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "server"))

sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))
from nginx_server import NginxServer  # noqa: E402

# Each request's time, duration, Range header and agent string, for the tests to read.
NGINX_LOG_FORMAT = '$msec $request_time "$request" $status "$http_range" "$http_user_agent" $body_bytes_sent'
# Files under /rate-4m/ and /rate-1m/ arrive at that many bytes per second and
# connection (after the first second's worth, which nginx sends at once), so that a
# test can stop a run in the middle of a file or see files overlap. (It also keeps
# Wine's WinINet from reading the whole rest of a body when a request is closed
# early, which it does for as long as data keeps arriving.)
NGINX_PACED_LOCATIONS = """
        location /rate-4m/ {
            alias {root}/rate-4m/;
            limit_rate 4m;
        }
        location /rate-1m/ {
            alias {root}/rate-1m/;
            limit_rate 1m;
        }
"""


def windows_path(path):
    """The name Wine gives a Linux path: drive Z: is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def start_display(env):
    """A private Xvfb when there is no X display (message boxes and windows need one)."""
    if env.get("DISPLAY"):
        return None
    for number in range(200, 260):
        if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
            continue
        process = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and process.poll() is None:
            if os.path.exists("/tmp/.X11-unix/X%d" % number):
                env["DISPLAY"] = ":%d" % number
                return process
            time.sleep(0.05)
        process.kill()
        process.wait()
    raise RuntimeError("could not start Xvfb")


def main():
    program = os.path.join(BUILD_DIR, "tests", "engine", "engine_http_tests.exe")
    temp = tempfile.mkdtemp(prefix="zentav-engine-")
    root = os.path.join(temp, "root")
    os.makedirs(root)
    # nginx's workers may run as another user: they must be able to read the files.
    os.chmod(temp, 0o755)
    os.chmod(root, 0o755)
    env = dict(os.environ)
    servers = []
    display = None
    result = 1
    try:
        from server_fixture import ContentServer  # tests/server
        content = ContentServer(root, log=os.path.join(temp, "content-server.log"))
        content.start()
        servers.append(content)
        nginx = NginxServer(root, log_format=NGINX_LOG_FORMAT, extra_locations=NGINX_PACED_LOCATIONS,
                            work=os.path.join(temp, "nginx"), workers=1).start()
        servers.append(nginx)
        display = start_display(env)
        env.update({
            "ZENTAV_CONTENT_PORT": str(content.port),
            "ZENTAV_NGINX_PORT": str(nginx.port),
            "ZENTAV_CONTENT_ROOT": windows_path(root),
            "ZENTAV_NGINX_LOG": windows_path(os.path.join(nginx.work, "access.log")),
        })
        command = [os.path.join(SOURCE_DIR, "scripts", "wine-run"), program, "--gtest_color=no"] + sys.argv[1:]
        result = subprocess.call(command, env=env)
    finally:
        for server in reversed(servers):
            server.stop()
        if display:
            # SIGTERM lets Xvfb remove its socket and lock file.
            display.terminate()
            try:
                display.wait(timeout=10)
            except subprocess.TimeoutExpired:
                display.kill()
                display.wait()
        # The served files go; on a failure the servers' logs stay for a look.
        shutil.rmtree(root, ignore_errors=True)
        if result == 0:
            shutil.rmtree(temp, ignore_errors=True)
        else:
            print("the servers' logs are kept in %s" % temp, flush=True)
    return result


if __name__ == "__main__":
    sys.exit(main())
