"""The main job of ./run: a demo client published on loopback nginx at the
program's built-in base URL, and the downloader started under Wine.

    python3 scripts/demo.py [--interactive] [--keep]

With --interactive (./run passes it when there is a display) the downloader is
left to the person at the screen. Otherwise the demo drives it as a person would:
start, wait for the end, launch; it prints progress while it waits, checks every
downloaded file against the served one, saves screenshots and ends with a summary.
Each run starts from an empty download folder unless --keep is given, so a run
stopped half-way (--keep) shows the download resuming.
"""
import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from nginx_server import NginxServer  # noqa: E402
from downloader_drive import LAUNCH_BUTTON, START_BUTTON, Downloader, manifest_files, present_bytes  # noqa: E402


def log(text):
    print("[demo] " + text, flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--interactive", action="store_true")
    parser.add_argument("--keep", action="store_true")
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--publisher", required=True)
    parser.add_argument("--base-url", required=True)
    args = parser.parse_args()

    os.environ["ZENTAV_BUILD_DIR"] = args.build_dir
    import driver  # noqa: E402  (its paths follow ZENTAV_BUILD_DIR, read when used)

    demo = os.path.join(ROOT, "build", "demo")
    client = os.path.join(demo, "client")
    # Where a Windows user would put it: C:\Games\ZENTAV\ in the Wine prefix's drive C.
    download = os.path.join(os.environ["WINEPREFIX"], "drive_c", "Games", "ZENTAV")
    download_windows = "C:\\Games\\ZENTAV\\"
    shots = os.path.join(demo, "screenshots")
    os.makedirs(shots, exist_ok=True)

    log("preparing the demo client (the first time takes a few seconds)")
    subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make_demo_client.py"), client,
                    os.path.join(args.build_dir, "tools", "demo-client", "zentav-demo-client.exe")], check=True)
    subprocess.run([args.publisher, "--version", "1", client, args.base_url], check=True)
    files = manifest_files(os.path.join(client, "file.json"))
    total = sum(size for _, size in files)
    if not args.keep:
        shutil.rmtree(download, ignore_errors=True)
    os.makedirs(download, exist_ok=True)

    port = int(args.base_url.split(":")[2].split("/")[0])
    location = "/" + args.base_url.split("/", 3)[3]
    summary = []
    with NginxServer(client, port=port, location=location) as server, driver.Session("demo") as session:
        log("content server: nginx at %s serving %d files, %.1f MiB" % (server.url, len(files), total / 1048576))
        downloader = Downloader(session, download_windows)
        downloader.start()
        log("downloader window shown; download folder %s (%s)" % (download_windows, download))

        if args.interactive:
            log("the downloader is yours now: press start, wait, then launch (or close it)")
            while session.running():
                time.sleep(0.5)
        else:
            downloader.wait_manifest()
            time.sleep(1.0)
            session.screenshot("demo-1-ready")
            downloader.press(START_BUTTON)
            log("pressed start")
            started = time.monotonic()
            last_print = 0.0
            shot_taken = False
            while True:
                present = present_bytes(download, files)
                now = time.monotonic()
                if now - last_print >= 2.0:
                    log("%6.1f%%  %8.1f of %.1f MiB" % (100.0 * present / max(total, 1), present / 1048576,
                                                        total / 1048576))
                    last_print = now
                if not shot_taken and present > total * 0.3:
                    session.screenshot("demo-2-running")
                    shot_taken = True
                if present == total:
                    break
                if now - started > 1800:
                    raise driver.DriverError("the download did not end within 30 minutes")
                if not session.running():
                    raise driver.DriverError("the downloader ended during the download")
                time.sleep(0.5)
            elapsed = time.monotonic() - started
            summary.append("download: %d files, %.1f MiB in %.1f s" % (len(files), total / 1048576, elapsed))
            # The run reports its end (launch enabled) once its last worker is joined.
            time.sleep(1.5)
            session.screenshot("demo-3-complete")
            downloader.press(LAUNCH_BUTTON)
            log("pressed launch")
            code = session.wait_exit(timeout=60)
            summary.append("downloader ended with exit code %d" % code)
            # The client is a process of its own, started by the downloader.
            client_window = driver.wait_until(
                lambda: [w for w in driver.top_level_windows() if w.title == "ZENTAV client" and w.visible],
                60, "the client's window")
            time.sleep(1.0)
            session.screenshot("demo-4-client")
            started_file = os.path.join(download, "client-started.txt")
            launched = os.path.exists(started_file)
            summary.append("client executable started: %s" % ("yes" if launched and client_window else "NO"))

        mismatched = [name for name, _ in files
                      if not os.path.exists(os.path.join(download, name))
                      or not filecmp.cmp(os.path.join(client, name), os.path.join(download, name), shallow=False)]
        summary.append("files byte-identical to the served ones: %d of %d" % (len(files) - len(mismatched), len(files)))
        for name in mismatched[:10]:
            summary.append("  differs or missing: " + name)
        for name in os.listdir(session.artifacts_dir):
            if name.endswith(".png"):
                shutil.copy(os.path.join(session.artifacts_dir, name), shots)

    print()
    print("Summary")
    for line in summary:
        print("  " + line)
    print("  screenshots: %s" % shots)
    ok = not mismatched and (args.interactive or all("NO" not in line for line in summary))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
