#!/usr/bin/env python3
"""Checks that bench/browser-judge counts what a copy misses, in a real Chromium.

  browser_judge_test.py BROWSER_JUDGE

Two pages: the first shows a local image, a missing one and links the second;
the second shows an image from a loopback server. Judged from the first page
with --links 1, that is 2 pages, 1 failed load and 1 network request, which
the server's log confirms. Exits 77 (skipped) where Chromium is not installed.
"""

import functools
import http.server
import shutil
import subprocess
import sys
import tempfile
import threading
from pathlib import Path

GIF = bytes.fromhex("47494638396101000100800000ffffff00000021f90401000000002c00000000"
                    "010001000002024401003b")
EXPECTED = "totals: 2 pages, 1 failed loads, 1 network requests"


class LoggingHandler(http.server.SimpleHTTPRequestHandler):
    """Serves a folder and appends each request line to a log, as a web server would."""

    def log_message(self, format, *args):
        with open(self.server.log_path, "a") as log:
            log.write(format % args + "\n")


def main(judge):
    if not shutil.which("chromium"):
        print("chromium is not installed: skipped")
        return 77
    with tempfile.TemporaryDirectory(prefix="kivo-judge-test-") as work:
        root = Path(work)
        (root / "served").mkdir()
        (root / "served" / "served.gif").write_bytes(GIF)
        (root / "copy").mkdir()
        (root / "copy" / "shown.gif").write_bytes(GIF)
        handler = functools.partial(LoggingHandler, directory=root / "served")
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        server.log_path = root / "server.log"
        server.log_path.touch()
        port = server.server_address[1]
        (root / "copy" / "first.html").write_text(
            '<img src="shown.gif"><img src="missing.gif"><a href="second.html#top">next</a>')
        (root / "copy" / "second.html").write_text(
            f'<img src="http://127.0.0.1:{port}/served.gif">')
        threading.Thread(target=server.serve_forever, daemon=True).start()
        try:
            # One failed load is allowed, the network request is not: exit 1.
            result = subprocess.run(
                [sys.executable, judge, "--links", "1", "--max-failed", "1",
                 "--server-log", str(server.log_path), str(root / "copy" / "first.html")],
                capture_output=True, text=True, timeout=300)
        finally:
            server.shutdown()
        print(result.stdout, result.stderr, sep="")
        served = server.log_path.read_text()
        faults = []
        if result.returncode != 1:
            faults.append(f"exit status {result.returncode}, expected 1")
        if EXPECTED not in result.stdout.splitlines():
            faults.append(f"expected the line '{EXPECTED}'")
        if "GET /served.gif" not in served:
            faults.append(f"the server did not log the image: {served!r}")
        for fault in faults:
            print("FAILED:", fault)
        return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
