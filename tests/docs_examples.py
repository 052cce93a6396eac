#!/usr/bin/env python3
"""Runs the shell examples of the documentation, so that they cannot drift.

Usage: docs_examples.py BUILD_DIR SOURCE_DIR FILE.md...

A fenced block runs only when an HTML comment right before it marks it
(GitHub shows neither the comment nor anything of the marking):

  <!-- example -->                   run the block with bash; it must exit 0
  <!-- example: exits N -->           ... and it must exit N
  <!-- example: prints TEXT -->       ... and print TEXT
  <!-- example: file NAME -->         the block is a file: write it as NAME
  <!-- example: service ... -->       run the block in the background until
                                      the file's last example has run, then
                                      stop it as Ctrl-C does; it is ready
                                      when "TEXT" is printed,
                                      when port N listens,
                                      or at once

Each Markdown file runs in a fresh directory, which is also TMPDIR, holding
`build` (the build tree) and a copy of `daemon/examples`, as a clone's root
would, with the built programs on PATH. Port 1883 is replaced by a free port
throughout a file's examples, so that they never meet a broker already running there.
A file whose examples need a program that is not installed (mosquitto and
its clients) is skipped; when only skipped files remain the exit status is
77.
"""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

BLOCK_SECONDS = 30      # a plain block that takes longer has hung
READY_SECONDS = 20      # a service not ready by then will not be
STOP_SECONDS = 10       # a service still running this long after Ctrl-C is stuck
MQTT_PORT = "1883"
OPTIONAL_PROGRAMS = ["mosquitto_sub", "mosquitto_pub", "mosquitto_rr", "mosquitto"]

MARKER = re.compile(r"^\s*<!--\s*example(?::\s*(.*?))?\s*-->\s*$")
FENCE = re.compile(r"^(\s*)(```+)")


class Example:
    def __init__(self, path, line, options, body):
        self.where = f"{path}:{line}"
        self.options = options
        self.body = body

    def kind(self):
        if self.options.startswith("file "):
            return "file"
        if self.options.startswith("service"):
            return "service"
        if self.options.startswith(("exits ", "prints ")):
            return "run"
        if self.options:
            raise ValueError(f"{self.where}: unknown example marking '{self.options}'")
        return "run"


def examples_of(path):
    """The marked blocks of a Markdown file, in order."""
    lines = open(path, encoding="utf-8").read().split("\n")
    found = []
    for i, text in enumerate(lines):
        marker = MARKER.match(text)
        if not marker:
            continue
        if i + 1 >= len(lines) or not FENCE.match(lines[i + 1]):
            raise ValueError(f"{path}:{i + 1}: an example marking must come right before a fence")
        indent, ticks = FENCE.match(lines[i + 1]).groups()
        body = []
        for inner in lines[i + 2:]:
            if inner.strip() == ticks:
                break
            body.append(inner[len(indent):] if inner.startswith(indent) else inner)
        else:
            raise ValueError(f"{path}:{i + 2}: the fence is never closed")
        found.append(Example(path, i + 3, marker.group(1) or "", "\n".join(body) + "\n"))
    return found


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return str(s.getsockname()[1])


def port_listens(port):
    try:
        with socket.create_connection(("127.0.0.1", int(port)), timeout=1):
            return True
    except OSError:
        return False


class Service:
    def __init__(self, example, folder, env):
        self.example = example
        self.log_path = os.path.join(folder, f".service-{id(self)}.log")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(["bash", "-e", "-o", "pipefail", "-c", example.body],
                                        cwd=folder, env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT, start_new_session=True)

    def output(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_ready(self):
        printed = re.search(r'ready when "([^"]+)" is printed', self.example.options)
        listens = re.search(r"ready when port (\d+) listens", self.example.options)
        deadline = time.monotonic() + READY_SECONDS
        while True:
            if self.process.poll() is not None:
                return f"ended before it was ready (status {self.process.returncode})"
            if printed and printed.group(1) in self.output():
                return None
            if listens and port_listens(listens.group(1)):
                return None
            if not printed and not listens:
                return None
            if time.monotonic() > deadline:
                return f"not ready after {READY_SECONDS} s"
            # The service's output is a file: nothing to block on but time.
            time.sleep(0.05)

    def stop(self):
        """Ctrl-C to the service's process group; an error text, or None."""
        if self.process.poll() is not None:
            return f"ended while the examples after it ran (status {self.process.returncode})"
        os.killpg(self.process.pid, signal.SIGINT)
        try:
            self.process.wait(timeout=STOP_SECONDS)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
            return f"still running {STOP_SECONDS} s after Ctrl-C"
        finally:
            self.log.close()
        return None


def missing_programs(examples):
    text = "".join(e.body for e in examples if e.kind() != "file")
    return [p for p in OPTIONAL_PROGRAMS
            if re.search(rf"(^|[\s;&|(]){p}\b", text, re.M) and shutil.which(p) is None]


def prepare_folder(folder, build, source):
    os.symlink(build, os.path.join(folder, "build"))
    shutil.copytree(os.path.join(source, "daemon", "examples"),
                    os.path.join(folder, "daemon", "examples"))


def run_file(path, build, source, env):
    """Runs one file's examples; returns (failures, skipped reason or None, count)."""
    examples = examples_of(path)
    missing = missing_programs(examples)
    if missing:
        return [], f"needs {', '.join(missing)}", 0
    port = free_port()
    for e in examples:
        e.body = e.body.replace(MQTT_PORT, port)
        e.options = e.options.replace(MQTT_PORT, port)
    failures = []
    services = []
    with tempfile.TemporaryDirectory(prefix="zarvo-docs-") as folder:
        prepare_folder(folder, build, source)
        env = dict(env, TMPDIR=folder)
        try:
            for e in examples:
                failure = run_example(e, folder, env, services)
                if failure:
                    failures.append(failure)
                    break
        finally:
            for service in reversed(services):
                why = service.stop()
                if why and not failures:
                    failures.append(f"{service.example.where}: service {why}\n"
                                    f"{service.example.body}--- its output:\n{service.output()}")
    return failures, None, len(examples)


def run_example(e, folder, env, services):
    if e.kind() == "file":
        name = e.options[len("file "):].strip()
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(e.body)
        return None
    if e.kind() == "service":
        service = Service(e, folder, env)
        services.append(service)
        why = service.wait_ready()
        if why:
            services.pop()
            service.stop()
            return f"{e.where}: service {why}\n{e.body}--- its output:\n{service.output()}"
        return None
    try:
        done = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", e.body], cwd=folder, env=env,
                              capture_output=True, text=True, timeout=BLOCK_SECONDS,
                              start_new_session=True)
    except subprocess.TimeoutExpired as t:
        return f"{e.where}: still running after {BLOCK_SECONDS} s\n{e.body}--- output:\n{t.output}"
    expected = int(e.options[len("exits "):]) if e.options.startswith("exits ") else 0
    if done.returncode != expected:
        return (f"{e.where}: exit status {done.returncode}, not {expected}\n{e.body}--- output:\n"
                f"{done.stdout}{done.stderr}")
    if e.options.startswith("prints ") and e.options[len("prints "):] not in done.stdout:
        return (f"{e.where}: printed no '{e.options[len('prints '):]}'\n{e.body}--- output:\n"
                f"{done.stdout}{done.stderr}")
    return None


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    build, source = (os.path.abspath(p) for p in sys.argv[1:3])
    env = dict(os.environ)
    env["PATH"] = os.pathsep.join([os.path.join(build, "daemon"), os.path.join(build, "tools"),
                                   env.get("PATH", "")])
    env.pop("ZARVO_PORT", None)
    failed = ran = skipped = 0
    for path in sys.argv[3:]:
        started = time.monotonic()
        failures, skip, count = run_file(path, build, source, env)
        if skip:
            print(f"{path}: skipped, {skip}")
            skipped += 1
            continue
        ran += 1
        print(f"{path}: {count} examples, {time.monotonic() - started:.1f} s")
        for failure in failures:
            print(f"FAILED {failure}")
            failed += 1
    if failed:
        return 1
    return 77 if skipped and not ran else 0


if __name__ == "__main__":
    sys.exit(main())
