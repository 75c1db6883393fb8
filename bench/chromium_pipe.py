"""Chromium driven over the DevTools protocol on --remote-debugging-pipe (bench/browser-judge)."""

import collections
import fcntl
import json
import os
import select
import signal
import subprocess
import time

# Chromium makes requests of its own (updates, safe browsing, sync) unless
# told not to; on a closed network they only fail, and they are no part of a
# page. A fresh profile keeps one run from seeing another's cache.
CHROMIUM_FLAGS = (
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--no-default-browser-check", "--mute-audio", "--remote-debugging-pipe",
)


class JudgeError(Exception):
    """The judging cannot go on: the browser is missing, quit or stopped answering."""


class ChromiumPipe:
    """Chromium driven over the DevTools protocol on --remote-debugging-pipe.

    Chromium reads NUL-terminated JSON commands from its fd 3 and writes
    answers and events to its fd 4.
    """

    def __init__(self, chromium, profile, log):
        command_read, self.commands = os.pipe()
        self.events, event_write = os.pipe()
        # The child's ends are moved above 10 first so that the shell's
        # redirections to 3 and 4 cannot overwrite one of them.
        child_read = fcntl.fcntl(command_read, fcntl.F_DUPFD_CLOEXEC, 10)
        child_write = fcntl.fcntl(event_write, fcntl.F_DUPFD_CLOEXEC, 10)
        os.close(command_read)
        os.close(event_write)
        script = (f'exec 3<&{child_read} 4>&{child_write} {child_read}<&- {child_write}>&-; '
                  'exec "$@"')
        argv = ["bash", "-c", script, "bash", chromium, *CHROMIUM_FLAGS,
                f"--user-data-dir={profile}", "about:blank"]
        try:
            self.process = subprocess.Popen(argv, pass_fds=(child_read, child_write),
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                            start_new_session=True)
        except OSError as error:
            os.close(self.commands)
            os.close(self.events)
            raise JudgeError(f"could not start {chromium}: {error}") from error
        finally:
            os.close(child_read)
            os.close(child_write)
        self.buffer = b""
        self.last_id = 0
        self.queued = collections.deque()

    def send(self, method, params=None, session=None):
        """Sends one command without waiting for its answer, and returns its id."""
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        try:
            os.write(self.commands, json.dumps(message).encode() + b"\0")
        except OSError as error:
            raise JudgeError(f"the browser stopped reading commands ({error})") from error
        return self.last_id

    def call(self, method, params=None, session=None, timeout=30):
        """Sends one command and returns its result; events that arrive meanwhile are kept."""
        wanted = self.send(method, params, session)
        deadline = time.monotonic() + timeout
        while True:
            message = self._read(deadline - time.monotonic())
            if message is None:
                raise JudgeError(f"no answer to {method} within {timeout} s")
            if message.get("id") == wanted:
                if "error" in message:
                    raise JudgeError(f"{method} failed: {message['error'].get('message')}")
                return message.get("result", {})
            if "method" in message:
                self.queued.append(message)

    def next_event(self, timeout):
        """Returns the next event, or None when none arrives within timeout seconds."""
        if self.queued:
            return self.queued.popleft()
        deadline = time.monotonic() + timeout
        while True:
            message = self._read(deadline - time.monotonic())
            if message is None or "method" in message:
                return message

    def _read(self, timeout):
        deadline = time.monotonic() + timeout
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.events], [], [], left)[0]:
                return None
            chunk = os.read(self.events, 1 << 16)
            if not chunk:
                raise JudgeError("the browser quit")
            self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        try:
            return json.loads(text)
        except ValueError as error:
            raise JudgeError(f"the browser sent a message that is not JSON ({error})") from error

    def close(self):
        """Asks the browser to quit, and ends its process group if it does not."""
        try:
            self.send("Browser.close")
            self.process.wait(timeout=10)
        except (JudgeError, subprocess.TimeoutExpired):
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(self.process.pid, sig)
                    self.process.wait(timeout=5)
                    break
                except (ProcessLookupError, subprocess.TimeoutExpired):
                    continue
        os.close(self.commands)
        os.close(self.events)
