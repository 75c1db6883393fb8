#!/usr/bin/env python3
"""Checks the files that install Kivo on a desktop.

  packaging_checks.py CHECK --cli KIVO_CLI --source PACKAGING_DIR --generated BUILD_DIR

CHECK is one of: validators, cli-docs, completion, patrol-units. Each check
prints what is wrong and exits 1, or exits 0 when everything holds.
"""

import argparse
import fcntl
import os
import re
import shutil
import subprocess
import sys
import tempfile

APP_ID = "com.ostrel.Kivo"
MAN_PAGES = ("kivo.1", "kivo-cli.1")


class Checks:
    def __init__(self, args):
        self.cli = args.cli
        self.source = args.source
        self.generated = args.generated
        self.faults = []
        self.work = tempfile.mkdtemp(prefix="kivo-packaging-")
        # A private program folder and settings, so that no user's list is touched.
        self.env = dict(os.environ, KIVO_HOME=os.path.join(self.work, "home"),
                        XDG_CONFIG_HOME=os.path.join(self.work, "config"), LC_ALL="C.UTF-8")
        os.makedirs(self.env["KIVO_HOME"])

    def fault(self, text):
        self.faults.append(text)

    def run(self, command, **kwargs):
        return subprocess.run(command, env=self.env, capture_output=True, text=True, **kwargs)

    def need_tool(self, tool):
        if shutil.which(tool) is None:
            self.fault(f"{tool} is not installed (scripts/setup installs it)")
            return False
        return True

    # -- validators ---------------------------------------------------------

    def validators(self):
        """Every desktop file validator is satisfied, warnings included."""
        desktop = os.path.join(self.source, APP_ID + ".desktop")
        metainfo = os.path.join(self.generated, APP_ID + ".metainfo.xml")
        commands = [["desktop-file-validate", desktop],
                    ["appstreamcli", "validate", "--no-net", "--explain", metainfo]]
        commands += [["man", "--warnings", "-l", os.path.join(self.generated, page)]
                     for page in MAN_PAGES]
        for command in commands:
            if not self.need_tool(command[0]):
                continue
            result = self.run(command)
            print("$ " + " ".join(command))
            print(result.stdout if command[0] == "appstreamcli" else "", end="")
            print(result.stderr, end="")
            # man and desktop-file-validate report warnings on stderr with
            # status 0; they count as faults all the same.
            noisy = result.stderr.strip() if command[0] != "appstreamcli" else ""
            if result.returncode != 0 or noisy:
                self.fault(f"{command[0]} does not accept {os.path.basename(command[-1])}")

    # -- the command line's documentation -------------------------------------

    def help_entries(self):
        """Returns the commands, options and exit statuses that --help names."""
        text = self.run([self.cli, "--help"]).stdout
        commands = re.findall(r"^  (\S+)", text, re.M)
        options = sorted(set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", text)))
        exit_text = text[text.index("Exit status:"):].split("\n\n")[0]
        statuses = re.findall(r"(?:Exit status:|,)\s+(\d+)\s", exit_text)
        return commands, options, statuses

    def setting_names(self):
        output = self.run([self.cli, "get"]).stdout
        return [line.split("=", 1)[0] for line in output.splitlines()]

    def man_sections(self, page):
        """Renders a man page as plain text and splits it into its sections."""
        env = dict(self.env, MANWIDTH="100")
        text = subprocess.run(["man", "-l", os.path.join(self.generated, page)], env=env,
                              capture_output=True, text=True).stdout
        text = re.sub("[\u2010\u2011\u2212]", "-", text)
        sections = {}
        name = ""
        for line in text.splitlines():
            if re.match(r"^[A-Z][A-Z ]+$", line):
                name = line
            sections[name] = sections.get(name, "") + line + "\n"
        return sections

    def expect_tags(self, sections, section, words, what):
        body = sections.get(section, "")
        for word in words:
            if not re.search(r"^\s+" + re.escape(word) + r"(\s|,|$)", body, re.M):
                self.fault(f"kivo-cli(1) does not describe {what} {word} under {section}")

    def cli_docs(self):
        """kivo-cli(1) and the bash completion name everything --help names."""
        if not self.need_tool("man"):
            return
        commands, options, statuses = self.help_entries()
        settings = self.setting_names()
        if not commands or not options or not statuses or len(settings) < 16:
            self.fault(f"could not read --help or the settings: {commands} {options} "
                       f"{statuses} {settings}")
        sections = self.man_sections("kivo-cli.1")
        self.expect_tags(sections, "COMMANDS", commands + options, "the command or option")
        self.expect_tags(sections, "EXIT STATUS", statuses, "the exit status")
        self.expect_tags(sections, "SETTINGS", settings, "the setting")
        with open(os.path.join(self.source, "kivo-cli.bash-completion")) as file:
            completion = file.read()
        for word in commands + options + settings:
            if not re.search(r"(?<![\w-])" + re.escape(word) + r"(?![\w-])", completion):
                self.fault(f"the bash completion does not offer {word}")

    # -- bash completion --------------------------------------------------------

    def complete(self, words):
        script = (f"source {self.source}/kivo-cli.bash-completion\n"
                  "complete -p kivo-cli >/dev/null || exit 3\n"
                  "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1))\n"
                  "_kivo_cli; printf '%s\\n' \"${COMPREPLY[@]}\"\n")
        result = self.run(["bash", "-c", script, "bash"] + words)
        if result.returncode != 0:
            self.fault(f"completing {words} failed: {result.stderr}")
        return sorted(line for line in result.stdout.splitlines() if line)

    def completion(self):
        """Tab offers what fits where the cursor is."""
        for url in ("http://127.0.0.1:9/a.html", "http://127.0.0.1:9/b.html"):
            self.run([self.cli, "add", url])
        all_commands = sorted(
            "list add remove reset patrol history diff log get set --help --version".split())
        cases = [
            ("every command first", [""], all_commands),
            ("a command by its start", ["pa"], ["patrol"]),
            ("an option of add", ["add", "http://x/", "--l"], ["--level"]),
            ("nothing for a title", ["add", "--title", ""], []),
            ("settings to set", ["set", "Conne"], ["ConnectTimeout", "Connections"]),
            ("settings to get", ["get", "Dialup"], ["DialupConnect", "DialupEntry"]),
            ("a switch's values", ["set", "UseProxy", ""], ["0", "1"]),
            ("the change tests", ["set", "ChangeTest", ""], ["0", "1", "2"]),
            ("the list's rows", ["patrol", ""], ["1", "2"]),
            ("an entry's history", ["history", ""], ["1", "2"]),
            ("the options of diff", ["diff", "1", "--"], ["--from", "--to"]),
            ("nothing for a copy number", ["diff", "1", "--from", ""], []),
            ("rows after a row", ["remove", "1", ""], ["1", "2"]),
        ]
        for name, words, expected in cases:
            got = self.complete([self.cli] + words)
            if got != expected:
                self.fault(f"completion, {name}: {words} offers {got}, expected {expected}")

    # -- scheduled patrols ------------------------------------------------------

    def unit_settings(self, path):
        with open(path) as file:
            return dict(re.findall(r"^(\w+)=(.*)$", file.read(), re.M))

    def patrol_units(self):
        """The units are valid, patrol, and end quietly when the list is held."""
        service = os.path.join(self.generated, "kivo-patrol.service")
        timer = os.path.join(self.source, "kivo-patrol.timer")
        settings = self.unit_settings(service)
        exec_start = settings["ExecStart"].split()
        # Options may follow (--scheduled tells the history who started it,
        # --notify tells the desktop); rows may not.
        if (not exec_start[0].endswith("/kivo-cli") or exec_start[1:2] != ["patrol"] or
                not all(word.startswith("--") for word in exec_start[2:]) or
                "--notify" not in exec_start):
            self.fault(f"the service runs {exec_start}, not kivo-cli patrol --notify of every entry")
        success = {int(status) for status in settings.get("SuccessExitStatus", "").split()}
        # A oneshot service is bounded only by its start time-out, which is off by default.
        if settings.get("Type") == "oneshot" and settings.get("TimeoutStartSec", "infinity") in (
                "infinity", "0"):
            self.fault("the service sets no TimeoutStartSec, so a held patrol runs for ever")
        command = [self.cli] + exec_start[1:]

        if self.run(command).returncode != 0:
            self.fault("a scheduled patrol of an empty list fails")
        with open(os.path.join(self.env["KIVO_HOME"], "Kivo.lock"), "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            refused = self.run(command).returncode
        if refused == 0 or success != {refused}:
            self.fault(f"a patrol refused for the lock exits {refused}; the service counts "
                       f"{sorted(success)} as success besides 0")

        if not self.need_tool("systemd-analyze"):
            return
        # The service is checked as installed, but with the kivo-cli of this build.
        units = os.path.join(self.work, "units")
        os.makedirs(units)
        with open(service) as file:
            text = file.read().replace(exec_start[0], os.path.abspath(self.cli))
        with open(os.path.join(units, "kivo-patrol.service"), "w") as file:
            file.write(text)
        shutil.copy(timer, units)
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(runtime, mode=0o700)
        result = subprocess.run(
            ["systemd-analyze", "verify", "--user", "--man=no",
             os.path.join(units, "kivo-patrol.service"), os.path.join(units, "kivo-patrol.timer")],
            env=dict(self.env, XDG_RUNTIME_DIR=runtime), capture_output=True, text=True)
        if result.returncode != 0 or result.stderr.strip():
            self.fault("systemd-analyze verify: " + result.stderr)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=["validators", "cli-docs", "completion", "patrol-units"])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--generated", required=True)
    args = parser.parse_args()
    checks = Checks(args)
    try:
        getattr(checks, args.check.replace("-", "_"))()
    finally:
        shutil.rmtree(checks.work, ignore_errors=True)
    for fault in checks.faults:
        print("FAULT: " + fault)
    return 1 if checks.faults else 0


if __name__ == "__main__":
    sys.exit(main())
