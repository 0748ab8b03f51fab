"""Runs the tool against the stand-in service in a fresh working folder."""

import http.client
import json
import os
import pathlib
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

TESTS = pathlib.Path(__file__).resolve().parent.parent
SERVICE = TESTS / "standin" / "service.py"
SWEEP_SECONDS = 600


class BindError(Exception):
    """The stand-in could not listen on the address asked for."""


class StandIn:
    """The stand-in service on loopback, serving the pages of one folder."""

    def __init__(self, pages, modes=None, host="127.0.0.1", port=0):
        self.host = host
        self.dir = tempfile.TemporaryDirectory(prefix="kessan-standin-")
        self.log_path = pathlib.Path(self.dir.name) / "requests.log"
        command = [
            sys.executable,
            str(SERVICE),
            "--pages",
            str(pages),
            "--host",
            host,
            "--port",
            str(port),
            "--log",
            str(self.log_path),
            "--exit-on-stdin-eof",
        ]
        if modes is not None:
            modes_path = pathlib.Path(self.dir.name) / "modes"
            modes_path.write_text("".join(f"{code} {mode}\n" for code, mode in modes.items()))
            command += ["--modes", str(modes_path)]
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        line = self.process.stdout.readline()
        if not line:
            self.close()
            raise BindError(f"the stand-in service cannot listen on {host}:{port}")
        self.port = int(line)

    def requests(self):
        if not self.log_path.exists():
            return []
        return [json.loads(line) for line in self.log_path.read_text().splitlines() if line]

    def get(self, url):
        """The body the service answers for url, fetched directly through it as a proxy."""
        connection = http.client.HTTPConnection(self.host, self.port, timeout=10)
        try:
            connection.request("GET", url)
            return connection.getresponse().read()
        finally:
            connection.close()

    def close(self):
        self.process.stdin.close()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.dir.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Tinyproxy:
    """Debian's tinyproxy on a free loopback port, in the foreground, forwarding every request to
    the stand-in as its upstream proxy."""

    def __init__(self, upstream_port):
        self.dir = tempfile.TemporaryDirectory(prefix="kessan-tinyproxy-")
        for attempt in range(3):
            with socket.socket() as probe:
                probe.bind(("127.0.0.1", 0))
                self.port = probe.getsockname()[1]
            config = pathlib.Path(self.dir.name) / "tinyproxy.conf"
            # As root it drops its privileges, and needs no file after that.
            user = "User nobody\nGroup nogroup\n" if os.geteuid() == 0 else ""
            config.write_text(
                f"Port {self.port}\nListen 127.0.0.1\nAllow 127.0.0.1\n{user}"
                f"Timeout 60\nMaxClients 50\nLogLevel Error\n"
                f"Upstream http 127.0.0.1:{upstream_port}\n"
            )
            self.process = subprocess.Popen(
                ["tinyproxy", "-d", "-c", str(config)],
                stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
            )
            deadline = time.monotonic() + 5
            while self.process.poll() is None and time.monotonic() < deadline:
                try:
                    socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                    return
                except OSError:
                    time.sleep(0.05)
            self.stop()
        raise RuntimeError("tinyproxy did not start")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def close(self):
        self.stop()
        self.dir.cleanup()


class Run:
    """One sweep of the tool: its exit code, its output and the folder of local copies.
    With wait=False it runs on until finish(); with merged=True standard error goes into
    standard output (2>&1)."""

    def __init__(self, command, service, extra_env=None, proxy=True, wait=True, merged=False):
        self.dir = tempfile.TemporaryDirectory(prefix="kessan-run-")
        self.path = pathlib.Path(self.dir.name)
        env = dict(os.environ)
        for name in ("HTTP_PROXY", "http_proxy", "no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"):
            env.pop(name, None)
        if proxy:
            env["http_proxy"] = f"http://127.0.0.1:{service.port}"
        env.update(extra_env or {})
        self.output = [tempfile.TemporaryFile(), tempfile.TemporaryFile()]
        self.process = subprocess.Popen(
            command,
            cwd=self.path,
            env=env,
            stdin=subprocess.DEVNULL,
            stdout=self.output[0],
            stderr=subprocess.STDOUT if merged else self.output[1],
        )
        self.started = time.monotonic()
        if wait:
            self.finish()

    def finish(self):
        try:
            left = SWEEP_SECONDS - (time.monotonic() - self.started)
            self.returncode = self.process.wait(timeout=max(left, 1))
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise
        finally:
            for f in self.output:
                f.seek(0)
            self.stdout, self.stderr = (text_mode_output(f.read()) for f in self.output)
            for f in self.output:
                f.close()

    def copy(self, code):
        return (self.path / f"{code}.html").read_bytes()

    def copies(self):
        return sorted(p.name for p in self.path.iterdir())

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.dir.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class SweepTestCase(unittest.TestCase):
    """Test cases over one sweep of the tool, through the stand-in serving PAGES ({code: bytes})
    with MODES ({code: mode}), the tool given ARGS; the sweep, the service and its request log
    are class fields.
    DIRECT: the test build whose base URL is the stand-in's address, run without a proxy."""

    PAGES = {}
    MODES = None
    ARGS = []
    DIRECT = False
    TINYPROXY = False
    proxy = None

    @classmethod
    def start_sweep(cls):
        """Starts the service and the sweep, so that sweeps of several classes can run at once."""
        cls.skip_reason = None
        if cls.TINYPROXY and shutil.which("tinyproxy") is None:
            cls.skip_reason = "tinyproxy is not installed (scripts/install-deps installs it)"
            return
        if cls.TINYPROXY and windows_text_mode() and os.environ.get("KESSAN_WINE_TINYPROXY") != "1":
            cls.skip_reason = (
                "under Wine a third sweep adds a third to the Windows tests; "
                "KESSAN_WINE_TINYPROXY=1 runs it"
            )
            return
        cls.pages = tempfile.TemporaryDirectory(prefix="kessan-pages-")
        for code, page in cls.PAGES.items():
            (pathlib.Path(cls.pages.name) / f"{code}.html").write_bytes(page)
        if cls.TINYPROXY:
            cls.service = StandIn(cls.pages.name, cls.MODES)
            cls.proxy = Tinyproxy(cls.service.port)
            cls.sweep = Run(
                tool_command() + cls.ARGS,
                cls.service,
                wait=False,
                extra_env={"http_proxy": f"http://127.0.0.1:{cls.proxy.port}"},
            )
            return
        if not cls.DIRECT:
            cls.service = StandIn(cls.pages.name, cls.MODES)
            cls.sweep = Run(tool_command() + cls.ARGS, cls.service, wait=False)
            return
        host, port = direct_address()
        try:
            cls.service = StandIn(cls.pages.name, cls.MODES, host, port)
        except BindError as e:
            cls.pages.cleanup()
            cls.skip_reason = f"{e} (another run of this build folder's tests?)"
            return
        cls.sweep = Run(
            shlex.split(os.environ["KESSAN_DIRECT_COMMAND"]) + cls.ARGS,
            cls.service,
            proxy=False,
            wait=False,
        )

    @classmethod
    def setUpClass(cls):
        if "pages" not in cls.__dict__:
            cls.start_sweep()
        if cls.skip_reason is not None:
            raise unittest.SkipTest(cls.skip_reason)
        cls.sweep.finish()
        cls.requests = cls.service.requests()

    @classmethod
    def tearDownClass(cls):
        cls.sweep.close()
        if cls.proxy is not None:
            cls.proxy.close()
        cls.service.close()
        cls.pages.cleanup()


def command(variable, built):
    """The command that the environment variable names (split like a shell), or the build's."""
    if variable in os.environ:
        return shlex.split(os.environ[variable])
    return [str(TESTS.parent / "build" / built)]


def tool_command():
    return command("KESSAN_COMMAND", "kessan")


def tidy_command():
    return command("KESSAN_TIDY_COMMAND", "kessan-tidy")


def direct_address():
    """The address (host, port) that the direct test build's base URL names."""
    return os.environ["KESSAN_DIRECT_HOST"], int(os.environ["KESSAN_DIRECT_PORT"])


def windows_text_mode():
    """True when the tool under test is the Windows build, whose console streams end lines
    with CR LF."""
    return os.environ.get("KESSAN_CRLF_LINE_ENDS") == "1"


def text_mode_output(data):
    """The output with the C library's text-mode line ends turned back into LF. On Windows
    every LF must come as CR LF; the translation is the only difference allowed."""
    if not windows_text_mode():
        return data
    bare = data.replace(b"\r\n", b"").count(b"\n")
    if bare:
        raise AssertionError(f"{bare} line ends without CR in Windows text-mode output")
    return data.replace(b"\r\n", b"\n")


def base_url():
    """The service base URL the tool was built with."""
    return os.environ["KESSAN_BASE_URL"]


def without_line_ends(data):
    return data.replace(b"\r", b"").replace(b"\n", b"")


def without_default_port(url):
    """url without an explicit :80, which WinINet writes into a proxy request's target."""
    scheme, _, rest = url.partition("://")
    host, slash, path = rest.partition("/")
    if host.endswith(":80"):
        host = host[:-3]
    return f"{scheme}://{host}{slash}{path}"
