"""The packages that scripts/release wrote into dist/, taken apart and run as users would: the
Debian package's files, fields, manual pages and programs (a whole sample sweep through the
stand-in), and the Windows zip's files, version resources, kessan-tidy.exe --version and the
start of kessan.exe under Wine.

    scripts/release && WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all \\
    ctest --test-dir build -C release -L release -V
"""

import gzip
import hashlib
import os
import pathlib
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile

from kessan_testing import CODES, ROOT, VERSION, sample_sweep


CMAKE = (ROOT / "CMakeLists.txt").read_text()
BASE_URL = os.environ.get(
    "KESSAN_BASE_URL", re.search(r'set\(KESSAN_PROFILE_BASE_URL "([^"]+)"', CMAKE)[1]
)
COPYRIGHT = re.search(r"^Copyright .*$", (ROOT / "LICENSE").read_text(), re.M)[0]
DIST = pathlib.Path(os.environ.get("KESSAN_DIST", ROOT / "dist"))
DEB = DIST / f"kessan_{VERSION}_amd64.deb"
ZIP = DIST / f"kessan-{VERSION}-windows-x64.zip"
TIMEOUT_S = 60
EXTRACTED = None


def setUpModule():
    global EXTRACTED
    EXTRACTED = tempfile.TemporaryDirectory(prefix="kessan-release-")
    subprocess.run(["dpkg-deb", "-x", str(DEB), EXTRACTED.name], check=True, timeout=TIMEOUT_S)


def tearDownModule():
    EXTRACTED.cleanup()


def run(*command, stdin=b""):
    return subprocess.run(command, input=stdin, capture_output=True, timeout=TIMEOUT_S)


class DebianPackage(unittest.TestCase):
    def test_lintian(self):
        done = run("lintian", "--fail-on", "error,warning", str(DEB))
        self.assertEqual((done.returncode, done.stdout.decode()), (0, ""))

    def test_files(self):
        listing = run("dpkg-deb", "-c", str(DEB)).stdout.decode().splitlines()
        files = [f.split()[5] for f in listing if not f.endswith("/")]
        self.assertEqual(
            files,
            [
                "./usr/bin/kessan",
                "./usr/bin/kessan-tidy",
                "./usr/share/bash-completion/completions/kessan-tidy",
                "./usr/share/doc/kessan/README.md.gz",
                "./usr/share/doc/kessan/changelog.gz",
                "./usr/share/doc/kessan/copyright",
                "./usr/share/man/man1/kessan-tidy.1.gz",
                "./usr/share/man/man1/kessan.1.gz",
            ],
        )

    def test_readme_is_the_users_and_changelog_this_versions(self):
        doc = pathlib.Path(EXTRACTED.name) / "usr/share/doc/kessan"
        readme = gzip.decompress((doc / "README.md.gz").read_bytes()).decode()
        self.assertNotIn("build/", readme)
        self.assertIn("man kessan", readme)
        changelog = gzip.decompress((doc / "changelog.gz").read_bytes()).decode()
        section = (ROOT / "CHANGELOG.md").read_text().split("\n## " + VERSION + "\n")[1]
        items = re.findall(r"^- (\S+ \S+)", section.split("\n## ")[0], re.M)
        self.assertEqual(
            re.findall(r"^  \* (\S+ \S+)", changelog, re.M), [i.replace("`", "") for i in items]
        )
        self.assertTrue(changelog.startswith("kessan (%s) " % VERSION))

    def test_control_fields(self):
        cases = [
            ("Package", r"kessan"),
            ("Version", re.escape(VERSION)),
            ("Architecture", r"amd64"),
            ("Installed-Size", r"[0-9]{3,5}"),
            (
                "Depends",
                r"libc6 \(>= [0-9.]+\), libcurl4 \(>= [0-9.]+\), libxlsxwriter4 \(>= [0-9.]+\), "
                r"zlib1g \(>= 1:[0-9.]+\)",
            ),
        ]
        for field, pattern in cases:
            value = run("dpkg-deb", "-f", str(DEB), field).stdout.decode().strip()
            self.assertRegex(value, "^" + pattern + "$", field)

    def test_copyright_holds_the_license(self):
        copyright = (pathlib.Path(EXTRACTED.name) / "usr/share/doc/kessan/copyright").read_text()
        license_lines = (ROOT / "LICENSE").read_text().split("\n\n", 2)[2].splitlines()
        self.assertIn(
            "License: Expat\n" + "".join(" %s\n" % (line or ".") for line in license_lines),
            copyright,
        )

    def test_manual_pages_render(self):
        sections = [
            "NAME",
            "SYNOPSIS",
            "DESCRIPTION",
            "FILES",
            "EXIT STATUS",
            "ENVIRONMENT",
            "EXAMPLES",
        ]
        cases = [
            (
                "kessan",
                [
                    "takes no arguments for a sweep",
                    "8,700 files into the current directory",
                    BASE_URL + "NNNN.html",
                ],
            ),
            ("kessan-tidy", ["--version", "64"]),
        ]
        for page, phrases in cases:
            path = pathlib.Path(EXTRACTED.name) / f"usr/share/man/man1/{page}.1.gz"
            done = subprocess.run(
                ["man", "--nh", "--nj", "--warnings", "-l", str(path)],
                capture_output=True,
                timeout=TIMEOUT_S,
                env=dict(os.environ, MANWIDTH="250", LC_ALL="C.UTF-8"),
            )
            self.assertEqual((done.returncode, done.stderr), (0, b""), page)
            text = re.sub(r"\s+", " ", done.stdout.decode())
            headings = re.findall(r"^([A-Z][A-Z ]+)$", done.stdout.decode(), re.M)
            self.assertEqual([h for h in headings if h in sections], sections, page)
            for phrase in phrases:
                self.assertIn(phrase, text, page)

    def test_kessan_tidy_version(self):
        done = run(str(pathlib.Path(EXTRACTED.name) / "usr/bin/kessan-tidy"), "--version")
        self.assertEqual(
            (done.returncode, done.stdout), (0, b"kessan-tidy %s\n" % VERSION.encode())
        )


class PackagedSweep(sample_sweep.Sweep):
    """The whole sample sweep by the packaged kessan, through the stand-in, which serves the
    default base URL's path."""

    @classmethod
    def setUpClass(cls):
        os.environ["KESSAN_COMMAND"] = str(pathlib.Path(EXTRACTED.name) / "usr/bin/kessan")
        super().setUpClass()


def version_resource(data):
    """The version resource of an executable's bytes: its fixed file version and its strings."""
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    most, least = struct.unpack_from("<II", data, fixed + 8)
    strings = {"file version": (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)}
    for key in (
        "Comments",
        "FileDescription",
        "FileVersion",
        "LegalCopyright",
        "ProductName",
        "ProductVersion",
    ):
        at = data.find(key.encode("utf-16-le") + b"\0\0")
        if at < 0:
            continue
        at += len(key) * 2 + 2
        at += -at % 4  # a value starts on a 32-bit boundary
        end = at
        while data[end : end + 2] != b"\0\0":
            end += 2
        strings[key] = data[at:end].decode("utf-16-le")
    return strings


class WindowsZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        folder = ZIP.stem + "/"
        with zipfile.ZipFile(ZIP) as archive:
            cls.names = archive.namelist()
            cls.files = {n[len(folder) :]: archive.read(n) for n in cls.names if n != folder}

    def test_files_in_one_folder_and_line_ends(self):
        self.assertEqual(
            sorted(self.names),
            [
                ZIP.stem + "/" + name
                for name in (
                    "",
                    "CHANGELOG.txt",
                    "LICENSE.txt",
                    "README.txt",
                    "kessan-tidy.exe",
                    "kessan.exe",
                )
            ],
        )
        for name in ("CHANGELOG.txt", "LICENSE.txt", "README.txt"):
            text = self.files[name]
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
        readme = self.files["README.txt"].decode("utf-8-sig")
        self.assertLess(readme.index("【日本語】"), readme.index("[English]"))
        self.assertNotIn("@", readme.replace("@example", ""))

    def test_version_resources(self):
        numbers = tuple(int(n) for n in VERSION.split(".")) + (0,)
        for exe, description in (("kessan.exe", "kessan: "), ("kessan-tidy.exe", "kessan-tidy: ")):
            strings = version_resource(self.files[exe])
            self.assertEqual(strings["file version"], numbers, exe)
            self.assertEqual(
                (
                    strings.get("FileVersion"),
                    strings.get("ProductVersion"),
                    strings.get("ProductName"),
                ),
                (VERSION, VERSION, "kessan"),
                exe,
            )
            self.assertTrue(strings.get("FileDescription", "").startswith(description), exe)
            self.assertEqual(strings.get("Comments"), "Service base URL: " + BASE_URL, exe)
            self.assertEqual(strings.get("LegalCopyright"), COPYRIGHT, exe)

    def test_kessan_exe_under_wine_requests_nothing_where_it_cannot_write(self):
        # Every copy's name taken by a folder: no request is made, so no network is needed.
        # In memory where there is a tmpfs: removing 8,700 folders from a disk takes seconds.
        if shutil.which("wine") is None:
            self.skipTest("wine is not installed")
        memory = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
        with tempfile.TemporaryDirectory(prefix="kessan-zip-", dir=memory) as folder:
            exe = pathlib.Path(folder) / "kessan.exe"
            exe.write_bytes(self.files["kessan.exe"])
            sweep = pathlib.Path(folder) / "sweep"
            for code in CODES:
                (sweep / f"{code}.html").mkdir(parents=True)
            done = subprocess.run(
                ["wine", str(exe)], cwd=sweep, capture_output=True, timeout=TIMEOUT_S
            )
            self.assertEqual((done.returncode, done.stdout), (3, b""))
            self.assertTrue(done.stderr.endswith(b": 1300-9999\r\n"), done.stderr)

    def test_kessan_tidy_exe_under_wine(self):
        # Its output against the native build's is checked by tidy.windows.same_output.
        if shutil.which("wine") is None:
            self.skipTest("wine is not installed")
        with tempfile.TemporaryDirectory(prefix="kessan-zip-") as folder:
            exe = pathlib.Path(folder) / "kessan-tidy.exe"
            exe.write_bytes(self.files["kessan-tidy.exe"])
            done = run("wine", str(exe), "--version")
            self.assertEqual(
                (done.returncode, done.stdout), (0, b"kessan-tidy %s\n" % VERSION.encode())
            )


class Checksums(unittest.TestCase):
    def test_sha256sums(self):
        lines = (DIST / "SHA256SUMS").read_text().splitlines()
        self.assertEqual(
            lines,
            ["%s  %s" % (hashlib.sha256(p.read_bytes()).hexdigest(), p.name) for p in (DEB, ZIP)],
        )


if __name__ == "__main__":
    unittest.main()
