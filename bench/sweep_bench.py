"""The sweep benchmark: build/kessan against curl over the sample data set served by nginx.

    scripts/bench [--runs N] [--work-dir DIR] [--no-build] [--kessan PATH] [--tidy-only]
                  [--terminal]

Builds the tool and the scanner benchmark, writes the sample data set, serves it with Debian's
nginx on a loopback port (its own configuration, stopped after), and times in alternation
(a) the full sweep of build/kessan and (b) curl fetching the same 8,700 URLs through the same
proxy into files in one process. Prints wall time, user + system CPU and peak RSS of each, their
medians and the ratio a/b, the tool's memory over the sweep, and the scanner benchmark. Then
times build/kessan-tidy over the sample sweep's output repeated many times (only that with
--tidy-only): MB/s and peak RSS. Standard library only.
"""

import argparse
import ctypes
import grp
import http.client
import json
import os
import pathlib
import platform
import pty
import pwd
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from kessan_testing import CODES, FIRST_CODE, LAST_CODE, sample
from kessan_testing.sample_sweep import sweep_output

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build"
RUN_TIMEOUT_S = 300
SAMPLE_EVERY_S = 0.05
WALL_TARGET = 1.10
TIDY_REPEAT = 100  # copies of the sample sweep's output, about 300 MB
TIDY_TARGET_MB_S = 50
NGINX = shutil.which("nginx") or "/usr/sbin/nginx"

NGINX_CONF = """\
worker_processes 1;
daemon off;
pid {tmp}/nginx.pid;
error_log {tmp}/error.log warn;
{user}
events {{ worker_connections 64; }}
http {{
  access_log off;
  client_body_temp_path {tmp}/client_body;
  proxy_temp_path {tmp}/proxy;
  fastcgi_temp_path {tmp}/fastcgi;
  uwsgi_temp_path {tmp}/uwsgi;
  scgi_temp_path {tmp}/scgi;
  types {{ text/html html; }}
  default_type application/octet-stream;
  charset EUC-JP;
  sendfile on;
  tcp_nodelay on;
  keepalive_timeout 60s;
  keepalive_requests 100000;
  server {{
    listen 127.0.0.1:{port};
    server_name _;
    location ^~ {path} {{ alias {pages}/; }}
    location / {{ return 404; }}
  }}
}}
"""


class BenchError(Exception):
    pass


def log(message):
    print(message, flush=True)


def run_checked(command, **kwargs):
    subprocess.run(command, check=True, **kwargs)


def base_url():
    cache = (BUILD / "CMakeCache.txt").read_text(encoding="utf-8", errors="replace")
    m = re.search(r"^KESSAN_PROFILE_BASE_URL:[A-Z]*=(.*)$", cache, re.M)
    if not m:
        raise BenchError("no KESSAN_PROFILE_BASE_URL in build/CMakeCache.txt")
    url = m.group(1).strip()
    m = re.fullmatch(r"http://([^/]+)(/.*)", url)
    if not m:
        raise BenchError("base URL %r is not http://HOST/PATH" % url)
    return url, m.group(1), m.group(2)


def die_with_parent():
    """In a child before exec: ends it when this script dies, even by SIGKILL (Linux)."""
    try:
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


# ---------------------------------------------------------------------------
# nginx


class Nginx:
    def __init__(self, tmp, pages, path):
        self.tmp, self.pages, self.path = tmp, pages, path
        self.process = None
        self.port = None

    def start(self):
        for _ in range(5):
            with socket.socket() as s:
                s.bind(("127.0.0.1", 0))
                port = s.getsockname()[1]
            user = ""
            if os.geteuid() == 0:  # the worker leaves root for nobody and nobody's own group
                nobody = pwd.getpwnam("nobody")
                user = "user nobody %s;" % grp.getgrgid(nobody.pw_gid).gr_name
            conf = self.tmp / "nginx.conf"
            conf.write_text(
                NGINX_CONF.format(
                    tmp=self.tmp, pages=self.pages, path=self.path, port=port, user=user
                )
            )
            self.process = subprocess.Popen(
                [NGINX, "-p", str(self.tmp), "-c", str(conf), "-e", str(self.tmp / "error.log")],
                stdin=subprocess.DEVNULL,
                preexec_fn=die_with_parent,
            )
            self.port = port
            if self.wait_ready():
                return
            self.stop()
        raise BenchError("nginx did not start: %s" % self.error_log())

    def wait_ready(self):
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return True
            except OSError:
                time.sleep(0.05)
        return False

    def get(self, url):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("GET", url)
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def error_log(self):
        try:
            return (self.tmp / "error.log").read_text(errors="replace")[-2000:]
        except OSError:
            return ""

    def stop(self):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None


# ---------------------------------------------------------------------------
# Measured runs


class Sampler(threading.Thread):
    """VmRSS of the measured process every SAMPLE_EVERY_S, with the code whose local copy is
    open then. The process is the launcher's child once it has one."""

    def __init__(self, launcher_pid):
        super().__init__(daemon=True)
        self.launcher_pid = launcher_pid
        self.pid = None
        self.samples = []  # (seconds since start, code or None, VmRSS kB)
        self.done = threading.Event()

    def run(self):
        start = time.monotonic()
        # Quick polls until the sweep is past its first code, then one sample per period.
        while not self.done.wait(SAMPLE_EVERY_S if self.past_first_code() else 0.002):
            if self.pid is None:
                self.pid = self.child_of(self.launcher_pid)
                if self.pid is None:
                    continue
            try:
                status = pathlib.Path("/proc/%d/status" % self.pid).read_text()
            except OSError:
                return
            m = re.search(r"^VmRSS:\s+(\d+) kB", status, re.M)
            if not m:  # exited, not yet reaped
                return
            self.samples.append((time.monotonic() - start, self.open_code(), int(m.group(1))))

    def past_first_code(self):
        return any(code is not None and code > FIRST_CODE for _, code, _ in self.samples)

    @staticmethod
    def child_of(pid):
        try:
            children = pathlib.Path("/proc/%d/task/%d/children" % (pid, pid)).read_text().split()
        except OSError:
            return None
        return int(children[0]) if children else None

    def open_code(self):
        # Between two codes no copy is open; a few quick looks find the next one.
        for _ in range(5):
            code = self.open_code_now()
            if code is not None:
                return code
        return None

    def open_code_now(self):
        try:
            fds = os.listdir("/proc/%d/fd" % self.pid)
        except OSError:
            return None
        for fd in fds:
            try:
                m = re.search(r"/([0-9]{4})\.html$", os.readlink("/proc/%d/fd/%s" % (self.pid, fd)))
            except OSError:
                continue
            if m:
                return int(m.group(1))
        return None


class Measured:
    def __init__(self, wall, cpu, rss_kb, exit_code, samples):
        self.wall, self.cpu, self.rss_kb, self.exit_code, self.samples = (
            wall,
            cpu,
            rss_kb,
            exit_code,
            samples,
        )


# A launcher whose own footprint stays below the measured program's, since a child's peak RSS
# counts its memory before exec too: GNU time, else a small Python one.
GNU_TIME = "/usr/bin/time"
PY_LAUNCHER = """\
import os, resource, sys
pid = os.fork()
if pid == 0:
    os.execvp(sys.argv[2], sys.argv[2:])
_, status = os.waitpid(pid, 0)
u = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(sys.argv[1], "w") as f:
    f.write("%.2f %.2f %.2f %d\\n" % (0, u.ru_utime, u.ru_stime, u.ru_maxrss))
sys.exit(os.waitstatus_to_exitcode(status) & 0xFF)
"""


def launcher(report):
    if os.access(GNU_TIME, os.X_OK):
        return [GNU_TIME, "-f", "%e %U %S %M", "-o", str(report)]
    return [sys.executable, "-S", "-c", PY_LAUNCHER, str(report)]


def measure(command, cwd, env, stdout, stderr, report, sample=False):
    """Runs command to its end under the launcher: wall time, user + system CPU, peak RSS."""
    started = time.monotonic()
    # A group of its own: an interrupted run is ended with the program under the launcher.
    process = subprocess.Popen(
        launcher(report) + command,
        cwd=cwd,
        env=env,
        stdin=subprocess.DEVNULL,
        stdout=stdout,
        stderr=stderr,
        start_new_session=True,
        preexec_fn=die_with_parent,
    )
    sampler = None
    if sample:
        sampler = Sampler(process.pid)
        sampler.start()
    try:
        exit_code = process.wait(timeout=RUN_TIMEOUT_S)
    except BaseException as e:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        if isinstance(e, subprocess.TimeoutExpired):
            raise BenchError("%s did not end within %d s" % (command[0], RUN_TIMEOUT_S))
        raise
    wall = time.monotonic() - started
    if sampler is not None:
        sampler.done.set()
        sampler.join()
    fields = report.read_text().splitlines()[-1].split()  # after any "exited with" line
    report.unlink()
    user, system, rss_kb = float(fields[1]), float(fields[2]), int(fields[3])
    return Measured(wall, user + system, rss_kb, exit_code, sampler.samples if sampler else [])


def copies_in(folder):
    return sum(1 for name in os.listdir(folder) if re.fullmatch(r"[0-9]{4}\.html", name))


def sweep_env(port):
    env = {
        k: v
        for k, v in os.environ.items()
        if k.lower() not in ("http_proxy", "https_proxy", "all_proxy", "no_proxy")
    }
    env["http_proxy"] = "http://127.0.0.1:%d" % port
    return env


def drain(fd):
    """Reads a pseudo-terminal's main side until its other side is closed."""
    try:
        while os.read(fd, 65536):
            pass
    except OSError:
        pass
    os.close(fd)


def run_kessan(kessan, work, index, port, expected_companies, terminal=False):
    folder = pathlib.Path(tempfile.mkdtemp(prefix="a%d-" % index, dir=work))
    out_path, err_path = work / ("a%d.csv" % index), work / ("a%d.err" % index)
    try:
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            if terminal:  # standard error on a terminal: the status line is drawn
                main, err = pty.openpty()
                reader = threading.Thread(target=drain, args=(main,))
                reader.start()
            m = measure(
                [str(kessan)],
                folder,
                sweep_env(port),
                out,
                err,
                work / ("a%d.time" % index),
                sample=True,
            )
            if terminal:
                os.close(err)
                reader.join()
        found = sum(
            1 for line in out_path.read_bytes().split(b"\n") if re.match(rb"[0-9]{4},", line)
        )
        copies = copies_in(folder)
        if m.exit_code != 0 or found != expected_companies or copies != len(CODES):
            raise BenchError(
                "kessan run %d: exit %d, %d companies (want %d), %d copies: %s"
                % (
                    index,
                    m.exit_code,
                    found,
                    expected_companies,
                    copies,
                    err_path.read_bytes()[-300:].decode("cp932", "replace"),
                )
            )
        return m
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        for path in (out_path, err_path):
            path.unlink(missing_ok=True)


def run_curl(work, index, port, host, path, reference):
    folder = pathlib.Path(tempfile.mkdtemp(prefix="b%d-" % index, dir=work))
    url = "http://%s%s[%d-%d].html" % (host, path, FIRST_CODE, LAST_CODE)
    try:
        m = measure(
            ["curl", "-s", "-x", "http://127.0.0.1:%d" % port, url, "-o", "#1.html"],
            folder,
            sweep_env(port),
            subprocess.DEVNULL,
            subprocess.DEVNULL,
            work / ("b%d.time" % index),
        )
        copies = copies_in(folder)
        code, page = reference
        same = (folder / ("%d.html" % code)).read_bytes() == page if copies else False
        if m.exit_code != 0 or copies != len(CODES) or not same:
            raise BenchError(
                "curl run %d: exit %d, %d files, reference page %s"
                % (index, m.exit_code, copies, "equal" if same else "different")
            )
        return m
    finally:
        shutil.rmtree(folder, ignore_errors=True)


# ---------------------------------------------------------------------------
# Report


def machine():
    model = "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
        mem_kb = int(re.search(r"MemTotal:\s+(\d+)", open("/proc/meminfo").read()).group(1))
    except (OSError, AttributeError):
        mem_kb = 0
    distro = ""
    try:
        distro = re.search(r'^PRETTY_NAME="?([^"\n]*)', open("/etc/os-release").read(), re.M).group(
            1
        )
    except (OSError, AttributeError):
        pass
    return "%s, %d cores, %.0f GiB RAM, %s, Linux %s" % (
        model,
        os.cpu_count() or 0,
        mem_kb / 2**20,
        distro,
        platform.release(),
    )


def version(command):
    done = subprocess.run(command, capture_output=True, text=True)
    return (done.stdout + done.stderr).strip().splitlines()[0]


def filesystem_of(folder):
    best, kind = "", "?"
    for line in open("/proc/mounts"):
        fields = line.split()
        inside = str(folder) == fields[1] or str(folder).startswith(fields[1].rstrip("/") + "/")
        if len(fields) >= 3 and inside and len(fields[1]) >= len(best):
            best, kind = fields[1], fields[2]
    return kind


def shown_path(path):
    try:
        return str(path.relative_to(ROOT))
    except ValueError:
        return str(path)


def spread(values, fmt):
    return (fmt % statistics.median(values), fmt % min(values), fmt % max(values))


def report_table(a, b):
    rows = [("(a) kessan", a), ("(b) curl", b)]
    lines = [
        "%-18s %21s %21s %21s" % ("", "wall s", "user+sys CPU s", "peak RSS MiB"),
        "%-18s %21s %21s %21s" % ("", "median (min-max)", "median (min-max)", "median (min-max)"),
    ]
    for label, runs in rows:
        cells = []
        for values, fmt in (
            ([r.wall for r in runs], "%.3f"),
            ([r.cpu for r in runs], "%.3f"),
            ([r.rss_kb / 1024 for r in runs], "%.1f"),
        ):
            med, lo, hi = spread(values, fmt)
            cells.append("%s (%s-%s)" % (med, lo, hi))
        lines.append("%-18s %21s %21s %21s" % ((label,) + tuple(cells)))
    ratios = [
        statistics.median([getattr(r, f) for r in a])
        / statistics.median([getattr(r, f) for r in b])
        for f in ("wall", "cpu", "rss_kb")
    ]
    lines.append("%-18s %21.3f %21.3f %21.3f" % (("ratio a/b (medians)",) + tuple(ratios)))
    return lines, ratios


def memory_report(runs):
    """The tool's RSS over each sweep: first, last and largest sample, and the pace per code."""
    lines = []
    flat = True
    for index, run in enumerate(runs, 1):
        # From the first sample after the first request: its allocations are the baseline.
        after = [i for i, s in enumerate(run.samples) if s[1] is not None and s[1] > FIRST_CODE]
        window = run.samples[after[0] :] if after else []
        coded = [s for s in window if s[1] is not None]
        if len(coded) < 3:
            lines.append("  run %d: %d samples, too few to judge" % (index, len(window)))
            flat = False
            continue
        first, last = coded[0], coded[-1]
        largest = max(s[2] for s in window)
        flat = flat and largest - first[2] <= 256 and window[-1][2] - first[2] <= 256
        # Pace: codes per second over the first and the second half of the sweep's samples.
        mid = coded[len(coded) // 2]
        pace1 = (mid[1] - first[1]) / max(mid[0] - first[0], 1e-9)
        pace2 = (last[1] - mid[1]) / max(last[0] - mid[0], 1e-9)
        lines.append(
            "  run %d: %2d samples; VmRSS %.2f MiB at code %d, %.2f MiB at code %d, "
            "largest %.2f MiB; %.0f codes/s up to code %d, %.0f after"
            % (
                index,
                len(window),
                first[2] / 1024,
                first[1],
                last[2] / 1024,
                last[1],
                largest / 1024,
                pace1,
                mid[1],
                pace2,
            )
        )
    return lines, flat


def scanner_bench(pages):
    binary = BUILD / "bench" / "scanner_bench"
    if not binary.exists():
        return ["scanner benchmark not built (libbenchmark-dev missing?)"]
    done = subprocess.run(
        [str(binary), "--benchmark_format=json", str(pages)],
        capture_output=True,
        text=True,
        timeout=600,
    )
    if done.returncode != 0:
        return ["scanner benchmark failed: %s" % done.stderr.strip()[-500:]]
    result = json.loads(done.stdout)
    lines = [done.stderr.strip().splitlines()[0]]
    for b in result["benchmarks"]:
        lines.append(
            "  %-12s %8.1f MB/s  %8.0f pages/s  (%.1f ms CPU a pass, %d passes)"
            % (b["name"], b["bytes_per_second"] / 1e6, b["pages"], b["cpu_time"], b["iterations"])
        )
    return lines


def tidy_bench(tidy, work, companies, runs):
    """kessan-tidy over the sample sweep's output repeated TIDY_REPEAT times, into a file beside
    it: the report's lines and the median MB/s."""
    reported = sample.with_figures(companies)
    base = sweep_output(reported)  # the sweep's output, as the sample test holds
    big, out = work / "sweep.csv", work / "tidy.csv"
    with open(big, "wb") as f:
        for _ in range(TIDY_REPEAT):
            f.write(base)
    size = big.stat().st_size
    rows = TIDY_REPEAT * sum(len(c["periods"]) for c in reported)
    lines = [
        "== %s over the sample sweep's output repeated %d times (%.1f MB, %d rows, on %s)"
        % (shown_path(tidy), TIDY_REPEAT, size / 1e6, rows, filesystem_of(work))
    ]
    measured = []
    try:
        for index in range(1, runs + 1):
            with open(work / "tidy.err", "wb") as err:
                m = measure(
                    [str(tidy), "-o", str(out), str(big)],
                    work,
                    dict(os.environ),
                    subprocess.DEVNULL,
                    err,
                    work / "tidy.time",
                )
            if m.exit_code != 0:
                raise BenchError(
                    "kessan-tidy run %d: exit %d: %s"
                    % (index, m.exit_code, (work / "tidy.err").read_bytes()[-300:].decode())
                )
            if index == 1:
                with open(out, "rb") as f:
                    chunks = iter(lambda: f.read(1 << 20), b"")
                    written = sum(chunk.count(b"\n") for chunk in chunks)
                if written != rows + 1:
                    raise BenchError("kessan-tidy wrote %d lines, want %d" % (written, rows + 1))
            measured.append(m)
            lines.append(
                "  run %d: wall %.3f s, CPU %.3f s, peak RSS %.1f MiB, %.0f MB/s"
                % (index, m.wall, m.cpu, m.rss_kb / 1024, size / 1e6 / m.wall)
            )
    finally:
        for path in (big, out):
            path.unlink(missing_ok=True)
    speeds = [size / 1e6 / m.wall for m in measured]
    med, lo, hi = spread(speeds, "%.0f")
    rss = spread([m.rss_kb / 1024 for m in measured], "%.1f")
    lines.append("  median %s MB/s (%s-%s), peak RSS %s MiB (%s-%s)" % ((med, lo, hi) + rss))
    return lines, statistics.median(speeds)


def tidy_target(mb_s):
    return "  kessan-tidy %.0f MB/s >= %d: %s" % (
        mb_s,
        TIDY_TARGET_MB_S,
        "met" if mb_s >= TIDY_TARGET_MB_S else "MISSED",
    )


# ---------------------------------------------------------------------------


def main(argv):
    parser = argparse.ArgumentParser(prog="bench", description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5, help="runs of each, at least 5 (5)")
    parser.add_argument(
        "--work-dir",
        type=pathlib.Path,
        help="where the runs write their 8,700 files, in a temporary folder "
        "(default: /dev/shm when it is a tmpfs, else the temporary folder)",
    )
    parser.add_argument("--no-build", action="store_true", help="use build/ as it is")
    parser.add_argument(
        "--kessan",
        type=pathlib.Path,
        default=BUILD / "kessan",
        help="the tool to time (default: build/kessan)",
    )
    parser.add_argument(
        "--kessan-tidy",
        type=pathlib.Path,
        default=BUILD / "kessan-tidy",
        help="the converter to time (default: build/kessan-tidy)",
    )
    parser.add_argument("--tidy-only", action="store_true", help="time only kessan-tidy")
    parser.add_argument(
        "--terminal",
        action="store_true",
        help="give kessan's standard error a pseudo-terminal, so that it draws its status line",
    )
    args = parser.parse_args(argv)
    args.kessan = args.kessan.resolve()
    args.kessan_tidy = args.kessan_tidy.resolve()
    if args.runs < 5:
        parser.error("--runs must be at least 5")

    def on_term(signum, frame):
        raise SystemExit(128 + signum)

    signal.signal(signal.SIGTERM, on_term)

    if not args.no_build:
        run_checked([str(ROOT / "scripts" / "install-deps")])
        run_checked(["cmake", "--preset", "default"], cwd=ROOT, stdout=subprocess.DEVNULL)
        run_checked(
            [
                "cmake",
                "--build",
                "build",
                "-j2",
                "--target",
                "kessan",
                "scanner_bench",
                "kessan-tidy",
            ],
            cwd=ROOT,
        )
    url, host, path = base_url()

    tmp = pathlib.Path(tempfile.mkdtemp(prefix="kessan-bench-"))
    work_dirs = []
    nginx = None
    try:
        os.chmod(tmp, 0o755)  # nginx's worker may run as another user
        pages = tmp / "pages"
        companies, size = sample.write(pages)
        expected = len(sample.with_figures(companies))
        log(
            "sample data set: %d pages (%d with figures), %.1f MB"
            % (len(companies), expected, size / 1e6)
        )

        if args.work_dir is not None:
            args.work_dir.mkdir(parents=True, exist_ok=True)
            work = pathlib.Path(tempfile.mkdtemp(prefix="kessan-bench-", dir=args.work_dir))
        elif os.access("/dev/shm", os.W_OK) and filesystem_of("/dev/shm") == "tmpfs":
            # Memory-backed, so that other programs' disk traffic does not time the runs.
            work = pathlib.Path(tempfile.mkdtemp(prefix="kessan-bench-", dir="/dev/shm"))
        else:
            work = tmp / "runs"
            work.mkdir()
        work = work.resolve()
        work_dirs.append(work)
        if args.tidy_only:
            lines, mb_s = tidy_bench(args.kessan_tidy, work, companies, args.runs)
            for line in lines + ["", "== targets", tidy_target(mb_s)]:
                log(line)
            return 0

        nginx = Nginx(tmp, pages, path)
        nginx.start()
        first = companies[0]["code"]
        reference = (first, (pages / ("%d.html" % first)).read_bytes())
        status, body = nginx.get("%s%d.html" % (url, first))
        missing = next(c for c in CODES if not (pages / ("%d.html" % c)).exists())
        status_missing, _ = nginx.get("%s%d.html" % (url, missing))
        if status != 200 or body != reference[1] or status_missing != 404:
            raise BenchError("nginx answers %d/%d instead of 200/404" % (status, status_missing))

        log(
            "nginx on 127.0.0.1:%d serves %s; runs write into %s (%s)"
            % (nginx.port, url, work, filesystem_of(work))
        )

        a, b = [], []
        for index in range(1, args.runs + 1):
            # Alternating, and each round the other one first: a b, b a, a b, ...
            order = ("a", "b") if index % 2 else ("b", "a")
            for which in order:
                if which == "a":
                    a.append(
                        run_kessan(args.kessan, work, index, nginx.port, expected, args.terminal)
                    )
                    m = a[-1]
                else:
                    b.append(run_curl(work, index, nginx.port, host, path, reference))
                    m = b[-1]
                log(
                    "  run %d %s: wall %.3f s, CPU %.3f s, peak RSS %.1f MiB"
                    % (index, which, m.wall, m.cpu, m.rss_kb / 1024)
                )
        load = os.getloadavg()
        nginx.stop()
        nginx = None

        table, ratios = report_table(a, b)
        memory, flat = memory_report(a)
        log("")
        log(
            "== sweep of %d codes through nginx, %d runs each, alternating; (a) is %s"
            % (len(CODES), args.runs, shown_path(args.kessan))
        )
        log("machine: %s" % machine())
        log(
            "%s; %s; %s"
            % (
                version([NGINX, "-v"]),
                version(["curl", "--version"]).split(" (")[0],
                "working folders on %s" % filesystem_of(work),
            )
        )
        log("load average after the runs: %.2f %.2f %.2f" % load)
        for line in table:
            log(line)
        log("")
        log(
            "== %s memory during the sweep (VmRSS every %.2f s)"
            % (shown_path(args.kessan), SAMPLE_EVERY_S)
        )
        for line in memory:
            log(line)
        log("")
        log("== scanner benchmark (Google Benchmark, page bytes up to the end of the scan)")
        for line in scanner_bench(pages):
            log(line)
        log("")
        lines, mb_s = tidy_bench(args.kessan_tidy, work, companies, args.runs)
        for line in lines:
            log(line)
        log("")
        log("== targets")
        log(
            "  wall a/b %.3f <= %.2f: %s"
            % (ratios[0], WALL_TARGET, "met" if ratios[0] <= WALL_TARGET else "MISSED")
        )
        log("  peak RSS a/b %.3f <= 1: %s" % (ratios[2], "met" if ratios[2] <= 1 else "MISSED"))
        log(
            "  memory flat (no run's VmRSS grows over 256 KiB past its first sample): %s"
            % ("met" if flat else "MISSED")
        )
        log(tidy_target(mb_s))
        return 0
    except BenchError as e:
        print("bench: %s" % e, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("bench: interrupted", file=sys.stderr)
        return 130
    finally:
        if nginx is not None:
            nginx.stop()
        for folder in work_dirs + [tmp]:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
