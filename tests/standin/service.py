#!/usr/bin/env python3
"""Loopback stand-in for the company-profile web service, reached as an HTTP proxy.

Serves DIR/<code>.html for /biz/independent/<code>.html with per-code response
modes (framing and faults) read from a modes file. Standard library only.
"""

import argparse
import json
import os
import re
import signal
import socket
import struct
import sys
import threading
import time
import traceback

PAGE_PATH = re.compile(r"/biz/independent/([0-9]{1,5})\.html", re.ASCII)
MOVED_PATH = re.compile(r"/biz/independent/moved/([0-9]{1,5})\.html", re.ASCII)
HTTP_VERSION = re.compile(r"HTTP/([0-9])\.([0-9])", re.ASCII)
TOKEN = re.compile(r"[!#$%&'*+.^_`|~0-9A-Za-z-]+", re.ASCII)

PAGE_TYPE = "text/html; charset=EUC-JP"
NOT_FOUND_BODY = b"<html><head><title>404 Not Found</title></head><body>Not Found</body></html>\n"
BAD_REQUEST_BODY = (
    b"<html><head><title>400 Bad Request</title></head><body>Bad Request</body></html>\n"
)
MOVED_BODY = b"<html><head><title>302 Found</title></head><body>Moved</body></html>\n"

MAX_LINE = 16 * 1024
MAX_HEADER_BYTES = 64 * 1024
MAX_HEADER_LINES = 200
RECV_SIZE = 64 * 1024
LINGER_ON_CLOSE_S = 2.0

# fmt: off
REASONS = {200: "OK", 300: "Multiple Choices", 301: "Moved Permanently", 302: "Found",
           303: "See Other", 304: "Not Modified", 305: "Use Proxy", 307: "Temporary Redirect",
           308: "Permanent Redirect", 400: "Bad Request", 404: "Not Found",
           500: "Internal Server Error"}
# fmt: on


class BadRequest(Exception):
    """The request cannot be parsed; answer 400 and close."""


class PeerGone(Exception):
    """The client closed or reset the connection."""


class Request:
    """One parsed request; `status` is 200 when the page file exists, else 404."""

    def __init__(self):
        self.method = None
        self.target = None
        self.version = (1, 1)
        self.headers = {}
        self.host = None
        self.path = None  # origin form of the target: path and query
        self.code = None  # int for a page or moved path, else None
        self.moved = False
        self.hop = 0  # value of ?hop=N on a moved path, 0 when absent
        self.keep_alive = True
        self.status = 404


# ---------------------------------------------------------------------------
# Connection and request parsing


class Connection:
    def __init__(self, sock, serial, service):
        self.sock = sock
        self.serial = serial
        self.service = service
        self.buf = bytearray()
        self.eof = False
        self.served = 0  # responses sent on this connection

    def _fill(self):
        if self.eof:
            return False
        try:
            data = self.sock.recv(RECV_SIZE)
        except (ConnectionError, OSError):
            data = b""
        if not data:
            self.eof = True
            return False
        self.buf += data
        return True

    def read_line(self, limit=MAX_LINE):
        """Returns one line without its CRLF or LF; None at EOF before any byte."""
        start = 0
        while True:
            i = self.buf.find(b"\n", start)
            if i >= 0:
                line = bytes(self.buf[:i])
                del self.buf[: i + 1]
                return line[:-1] if line.endswith(b"\r") else line
            if len(self.buf) > limit:
                raise BadRequest("line too long")
            start = len(self.buf)
            if not self._fill():
                if self.buf:
                    raise PeerGone()
                return None

    def read_exact(self, n):
        while len(self.buf) < n:
            if not self._fill():
                raise PeerGone()
        data = bytes(self.buf[:n])
        del self.buf[:n]
        return data

    def send(self, data):
        self.sock.sendall(data)

    def close_gracefully(self):
        """Half-closes, waits briefly for the client to close, then closes.

        Closing with unread input would make the kernel send an RST that can
        destroy the response before the client reads it.
        """
        try:
            self.sock.shutdown(socket.SHUT_WR)
            self.sock.settimeout(LINGER_ON_CLOSE_S)
            deadline = time.monotonic() + LINGER_ON_CLOSE_S
            while time.monotonic() < deadline and self.sock.recv(RECV_SIZE):
                pass
        except OSError:
            pass
        self.sock.close()

    def close_with_reset(self):
        try:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        self.sock.close()


def split_target(target):
    """Returns (host or None, origin-form path) of a request target."""
    lower = target[:8].lower()
    for scheme in ("http://", "https://"):
        if lower.startswith(scheme):
            rest = target[len(scheme) :]
            slash = rest.find("/")
            if slash < 0:
                return rest, "/"
            return rest[:slash], rest[slash:]
    return None, target


def read_request(conn):
    """Reads one request and discards its body; None when the client is done."""
    line = conn.read_line()
    while line == b"":  # stray CRLF between requests
        line = conn.read_line()
    if line is None:
        return None
    parts = line.decode("latin-1").split()
    if len(parts) != 3 or not TOKEN.fullmatch(parts[0]):
        raise BadRequest("request line")
    version = HTTP_VERSION.fullmatch(parts[2])
    if not version:
        raise BadRequest("version")
    req = Request()
    req.method, req.target = parts[0], parts[1]
    req.version = (int(version.group(1)), int(version.group(2)))

    total = 0
    last = None
    while True:
        line = conn.read_line()
        if line is None:
            raise PeerGone()
        if line == b"":
            break
        total += len(line)
        if total > MAX_HEADER_BYTES or len(req.headers) > MAX_HEADER_LINES:
            raise BadRequest("headers too large")
        text = line.decode("latin-1")
        if text[0] in " \t" and last is not None:  # obsolete line folding
            req.headers[last] += " " + text.strip()
            continue
        name, sep, value = text.partition(":")
        if not sep or not TOKEN.fullmatch(name):
            raise BadRequest("header line")
        last = name.lower()
        value = value.strip()
        req.headers[last] = req.headers[last] + ", " + value if last in req.headers else value

    discard_body(conn, req)

    connection = {t.strip().lower() for t in req.headers.get("connection", "").split(",")}
    if req.version >= (1, 1):
        req.keep_alive = "close" not in connection
    else:
        req.keep_alive = "keep-alive" in connection

    req.host, req.path = split_target(req.target)
    if req.host is None:
        req.host = req.headers.get("host")
    path, _, query = req.path.partition("?")
    m = PAGE_PATH.fullmatch(path)
    if m:
        req.code = int(m.group(1))
    else:
        m = MOVED_PATH.fullmatch(path)
        if m:
            req.code = int(m.group(1))
            req.moved = True
            for item in query.split("&"):
                key, _, value = item.partition("=")
                if key == "hop" and value.isdigit() and value.isascii():
                    req.hop = int(value)
    return req


def discard_body(conn, req):
    encoding = req.headers.get("transfer-encoding")
    if encoding is not None:
        if encoding.strip().lower() != "chunked":
            raise BadRequest("transfer-encoding")
        while True:
            size_line = conn.read_line()
            if size_line is None:
                raise PeerGone()
            try:
                size = int(size_line.split(b";")[0].strip(), 16)
            except ValueError:
                raise BadRequest("chunk size")
            if size == 0:
                break
            conn.read_exact(size)
            if conn.read_line() != b"":
                raise BadRequest("chunk end")
        while True:  # trailers
            line = conn.read_line()
            if line is None:
                raise PeerGone()
            if line == b"":
                return
    length = req.headers.get("content-length")
    if length is not None:
        length = length.strip()
        if not (length.isdigit() and length.isascii()):
            raise BadRequest("content-length")
        remaining = int(length)
        while remaining > 0:
            remaining -= len(conn.read_exact(min(remaining, RECV_SIZE)))


# ---------------------------------------------------------------------------
# Response modes: each takes (conn, req, body, arg) and returns True to keep
# the connection open for the next request. `arg` is the raw ARG text or None.


def int_arg(arg, default):
    try:
        value = int(arg)
    except (TypeError, ValueError):
        return default
    return value if value > 0 else default


def head(req, status, fields, keep_alive):
    lines = ["HTTP/1.1 %d %s" % (status, REASONS.get(status, "Status"))]
    lines += ["%s: %s" % f for f in fields]
    if not keep_alive:
        lines.append("Connection: close")
    elif req.version < (1, 1):
        lines.append("Connection: keep-alive")
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def payload(req, body):
    return b"" if req.method == "HEAD" else body


def send_with_length(conn, req, status, body, content_type=PAGE_TYPE, extra=()):
    fields = [("Content-Type", content_type), ("Content-Length", str(len(body)))]
    fields += list(extra)
    conn.send(head(req, status, fields, req.keep_alive) + payload(req, body))
    return req.keep_alive


def mode_plain(conn, req, body, arg):
    return send_with_length(conn, req, req.status, body)


def mode_status500(conn, req, body, arg):
    return send_with_length(conn, req, 500, body)


def mode_chunked(conn, req, body, arg):
    size = int_arg(arg, 100)
    out = [
        head(
            req,
            req.status,
            [("Content-Type", PAGE_TYPE), ("Transfer-Encoding", "chunked")],
            req.keep_alive,
        )
    ]
    if req.method != "HEAD":
        for i in range(0, len(body), size):
            piece = body[i : i + size]
            out += [b"%x\r\n" % len(piece), piece, b"\r\n"]
        out.append(b"0\r\n\r\n")
    conn.send(b"".join(out))
    return req.keep_alive


def mode_close(conn, req, body, arg):
    conn.send(head(req, req.status, [("Content-Type", PAGE_TYPE)], False) + payload(req, body))
    return False


def mode_drip(conn, req, body, arg):
    size = int_arg(arg, 64)
    fields = [("Content-Type", PAGE_TYPE), ("Content-Length", str(len(body)))]
    conn.send(head(req, req.status, fields, req.keep_alive))
    body = payload(req, body)
    for i in range(0, len(body), size):
        if i:
            time.sleep(0.002)
        conn.send(body[i : i + size])
    return req.keep_alive


def moved_location(conn, req, hop=0):
    """The absolute URL of the request's moved page, hop N of a chain when N > 0."""
    host = req.host or "127.0.0.1:%d" % conn.service.port
    return "http://%s/biz/independent/moved/%d.html%s" % (
        host,
        req.code,
        "?hop=%d" % hop if hop else "",
    )


def mode_redirect(conn, req, body, arg):
    """Redirect number req.hop+1 of a chain of ARG; the last one leads to the plain page."""
    nxt = req.hop + 1
    location = moved_location(conn, req, nxt if nxt < int_arg(arg, 1) else 0)
    return send_with_length(conn, req, 302, MOVED_BODY, "text/html", [("Location", location)])


def mode_reset(conn, req, body, arg):
    conn.close_with_reset()
    return False


def mode_status(conn, req, body, arg):
    """Status ARG (default 302) with a Location to the moved page and the small moved body; the
    page itself for a 304, which has no body."""
    status = int_arg(arg, 302)
    location = moved_location(conn, req)
    if status == 304:
        conn.send(head(req, 304, [("Location", location)], req.keep_alive))
        return req.keep_alive
    return send_with_length(conn, req, status, MOVED_BODY, "text/html", [("Location", location)])


def stalled_redirect(conn, req, length, hold):
    """A 302 to the moved page, the first 10 bytes of its body, then silence or close."""
    location = moved_location(conn, req)
    fields = [("Content-Type", "text/html"), ("Location", location)]
    if length:
        fields.append(("Content-Length", "1000"))
    conn.send(head(req, 302, fields, True) + MOVED_BODY[:10])
    if hold:
        while conn._fill():  # until the client or the idle timeout closes it
            pass
    return False


def mode_redirectstall(conn, req, body, arg):
    """302 with Content-Length 1000, 10 bytes of it, silence with the connection open."""
    return stalled_redirect(conn, req, True, True)


def mode_redirectopen(conn, req, body, arg):
    """302 without a length, 10 bytes of body, silence with the connection open."""
    return stalled_redirect(conn, req, False, True)


def mode_redirectshort(conn, req, body, arg):
    """302 with Content-Length 1000, 10 bytes of it, then close."""
    return stalled_redirect(conn, req, True, False)


def mode_stale(conn, req, body, arg):
    """On a connection that has served a request: close it without a reply (ARG reset: with an
    RST; ARG partial: a status line and one header, then an RST), as when a server drops an
    idle kept-alive connection. On a new one: as plain."""
    if conn.served == 0:
        return mode_plain(conn, req, body, arg)
    if arg == "partial":
        conn.send(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n")
        conn.close_with_reset()
    elif arg == "reset":
        conn.close_with_reset()
    else:
        conn.sock.close()
    return False


def mode_slowheaders(conn, req, body, arg):
    """As plain, with one header line sent a byte every ARG ms (default 200)."""
    fields = [("Content-Type", PAGE_TYPE), ("Content-Length", str(len(body)))]
    whole = head(req, req.status, fields, req.keep_alive)
    slow = b"X-Slow: 01234\r\n"
    split = whole.index(b"\r\n") + 2
    conn.send(whole[:split])
    for i in range(len(slow)):
        time.sleep(int_arg(arg, 200) / 1000)
        conn.send(slow[i : i + 1])
    conn.send(whole[split:] + payload(req, body))
    return req.keep_alive


# Fault modes. A page part of ARG bytes defaults to half the page.


def part_arg(arg, body):
    return min(int_arg(arg, len(body) // 2), len(body))


def mode_resetmid(conn, req, body, arg):
    """Full Content-Length, ARG bytes of the body, a pause for the client to read them, RST."""
    fields = [("Content-Type", PAGE_TYPE), ("Content-Length", str(len(body)))]
    conn.send(head(req, req.status, fields, True) + payload(req, body)[: part_arg(arg, body)])
    time.sleep(0.2)
    conn.close_with_reset()
    return False


def mode_shortbody(conn, req, body, arg):
    """A Content-Length ARG bytes (default 1000) longer than the body, the body, then close."""
    fields = [("Content-Type", PAGE_TYPE), ("Content-Length", str(len(body) + int_arg(arg, 1000)))]
    conn.send(head(req, req.status, fields, True) + payload(req, body))
    return False


def mode_badchunk(conn, req, body, arg):
    """ARG bytes (default half) in well-formed 100-byte chunks, then a chunk size that is no
    hexadecimal number, then close."""
    out = [
        head(req, req.status, [("Content-Type", PAGE_TYPE), ("Transfer-Encoding", "chunked")], True)
    ]
    part = payload(req, body)[: part_arg(arg, body)]
    for i in range(0, len(part), 100):
        piece = part[i : i + 100]
        out += [b"%x\r\n" % len(piece), piece, b"\r\n"]
    out.append(b"zz\r\nnot a chunk\r\n")
    conn.send(b"".join(out))
    return False


def mode_stall(conn, req, body, arg):
    """Content-Length, half the body, silence for ARG seconds (default 3), the rest, close."""
    fields = [("Content-Type", PAGE_TYPE), ("Content-Length", str(len(body)))]
    body = payload(req, body)
    conn.send(head(req, req.status, fields, True) + body[: len(body) // 2])
    time.sleep(float(int_arg(arg, 3)))
    conn.send(body[len(body) // 2 :])
    return False


def mode_bytewise(conn, req, body, arg):
    """Content-Length, then the body one byte per write."""
    fields = [("Content-Type", PAGE_TYPE), ("Content-Length", str(len(body)))]
    conn.send(head(req, req.status, fields, req.keep_alive))
    for i in range(len(payload(req, body))):
        conn.send(body[i : i + 1])
    return req.keep_alive


def mode_redirectloop(conn, req, body, arg):
    """A 302 whose Location is the request's own URL, every time."""
    host = req.host or "127.0.0.1:%d" % conn.service.port
    return send_with_length(
        conn, req, 302, MOVED_BODY, "text/html", [("Location", "http://%s%s" % (host, req.path))]
    )


def mode_cookie(conn, req, body, arg):
    """The page for a request that carries the cookie; else a 302 to its own URL that sets it."""
    if "kessan-session=1" in req.headers.get("cookie", ""):
        return mode_plain(conn, req, body, arg)
    host = req.host or "127.0.0.1:%d" % conn.service.port
    fields = [
        ("Set-Cookie", "kessan-session=1; Path=/"),
        ("Location", "http://%s%s" % (host, req.path)),
    ]
    return send_with_length(conn, req, 302, MOVED_BODY, "text/html", fields)


def mode_huge(conn, req, body, arg):
    """Comment lines (one in eight of 3000 bytes) up to ARG MB (default 10), then the page;
    Content-Length, written in 64 KB pieces."""
    target = int_arg(arg, 10) * 1024 * 1024
    filler = bytearray()
    n = 0
    while len(filler) < target - len(body):
        n += 1
        filler += b"<!-- " + (b"x" * 2990 if n % 8 == 0 else b"%08d" % n) + b" -->\n"
    whole = bytes(filler) + body
    fields = [("Content-Type", PAGE_TYPE), ("Content-Length", str(len(whole)))]
    conn.send(head(req, req.status, fields, req.keep_alive))
    whole = payload(req, whole)
    for i in range(0, len(whole), 65536):
        conn.send(whole[i : i + 65536])
    return req.keep_alive


def mode_bigheaders(conn, req, body, arg):
    """As plain, with ARG KB (default 100) of extra header lines of 1000 bytes each."""
    lines = max(1, int_arg(arg, 100) * 1024 // 1000)
    extra = [("X-Filler-%d" % i, "f" * 985) for i in range(lines)]
    return send_with_length(conn, req, req.status, body, PAGE_TYPE, extra)


def mode_garbage(conn, req, body, arg):
    """ARG bytes (default 4096) of pseudo-random bytes, no HTTP at all, then close."""
    size = int_arg(arg, 4096)
    x = (req.code or 0) * 2654435761 % 2**32 + 1
    out = bytearray()
    while len(out) < size:
        x = (x * 1664525 + 1013904223) % 2**32
        out.append(x >> 24)
    conn.send(bytes(out))
    return False


MODES = {
    "plain": mode_plain,
    "chunked": mode_chunked,
    "close": mode_close,
    "drip": mode_drip,
    "redirect": mode_redirect,
    "reset": mode_reset,
    "status500": mode_status500,
    "resetmid": mode_resetmid,
    "shortbody": mode_shortbody,
    "badchunk": mode_badchunk,
    "stall": mode_stall,
    "bytewise": mode_bytewise,
    "redirectloop": mode_redirectloop,
    "cookie": mode_cookie,
    "huge": mode_huge,
    "bigheaders": mode_bigheaders,
    "garbage": mode_garbage,
    "status": mode_status,
    "redirectstall": mode_redirectstall,
    "redirectopen": mode_redirectopen,
    "redirectshort": mode_redirectshort,
    "stale": mode_stale,
    "slowheaders": mode_slowheaders,
}


# ---------------------------------------------------------------------------
# Configuration files and log


class ModeTable:
    """Per-code modes from a text file, re-read whenever the file changes."""

    def __init__(self, path, default):
        self.path = path
        self.default = (default, None)
        self.lock = threading.Lock()
        self.stamp = None
        self.table = {}

    def lookup(self, code):
        if self.path is None or code is None:
            return self.default
        try:
            st = os.stat(self.path)
            stamp = (st.st_mtime_ns, st.st_size, st.st_ino)
        except OSError:
            stamp = None
        with self.lock:
            if stamp != self.stamp:
                self.table = self._load() if stamp is not None else {}
                self.stamp = stamp
            return self.table.get(code, self.default)

    def _load(self):
        table = {}
        try:
            with open(self.path, encoding="utf-8", errors="replace") as f:
                lines = f.readlines()
        except OSError as e:
            warn("cannot read modes file: %s" % e)
            return table
        for number, raw in enumerate(lines, 1):
            fields = raw.split("#", 1)[0].split()
            if not fields:
                continue
            if (
                len(fields) > 3
                or not fields[0].isdigit()
                or fields[1:2] == []
                or fields[1] not in MODES
            ):
                warn("%s:%d: ignored line: %s" % (self.path, number, raw.strip()))
                continue
            table[int(fields[0])] = (fields[1], fields[2] if len(fields) == 3 else None)
        return table


class RequestLog:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8") if path else None

    def write(self, entry):
        if self.file is None:
            return
        line = json.dumps(entry, ensure_ascii=True) + "\n"
        with self.lock:
            self.file.write(line)
            self.file.flush()


def warn(message):
    sys.stderr.write("service.py: %s\n" % message)
    sys.stderr.flush()


# ---------------------------------------------------------------------------
# Server


class Service:
    def __init__(self, args):
        self.pages = args.pages
        self.modes = ModeTable(args.modes, args.default_mode)
        self.log = RequestLog(args.log)
        self.port = None

    def page(self, code):
        """Returns (status, body) for a code: the page file, or the 404 body."""
        if code is None:
            return 404, NOT_FOUND_BODY
        try:
            with open(os.path.join(self.pages, "%d.html" % code), "rb") as f:
                return 200, f.read()
        except OSError:
            return 404, NOT_FOUND_BODY

    def choose_mode(self, req):
        mode, arg = self.modes.lookup(req.code)
        if req.moved:
            # Only the hops of a redirect chain stay redirects; its target is plain.
            if req.hop > 0 and mode == "redirect":
                return mode, arg
            return "plain", None
        return mode, arg

    def serve(self, sock, serial):
        conn = Connection(sock, serial, self)
        keep = False
        try:
            while True:
                try:
                    req = read_request(conn)
                except BadRequest:
                    conn.send(
                        head(
                            Request(),
                            400,
                            [
                                ("Content-Type", "text/html"),
                                ("Content-Length", str(len(BAD_REQUEST_BODY))),
                            ],
                            False,
                        )
                        + BAD_REQUEST_BODY
                    )
                    break
                if req is None:
                    break
                mode, arg = self.choose_mode(req)
                self.log.write(
                    {
                        "conn": serial,
                        "method": req.method,
                        "target": req.target,
                        "path": req.path,
                        "code": req.code,
                        "headers": req.headers,
                        "mode": mode,
                    }
                )
                req.status, body = self.page(req.code)
                keep = MODES[mode](conn, req, body, arg)
                conn.served += 1
                if not keep:
                    break
        except (PeerGone, OSError):
            keep = False
        except Exception:
            warn("connection %d: %s" % (serial, traceback.format_exc().rstrip()))
        if sock.fileno() >= 0:
            conn.close_gracefully()


def parse_args(argv):
    p = argparse.ArgumentParser(
        description="Loopback stand-in for the company-profile web service."
    )
    p.add_argument("--pages", required=True, metavar="DIR", help="directory of NNNN.html pages")
    p.add_argument(
        "--modes", metavar="FILE", help="lines 'NNNN MODE [ARG]'; re-read when it changes"
    )
    p.add_argument("--log", metavar="FILE", help="append one JSON object per request")
    p.add_argument(
        "--host",
        default="127.0.0.1",
        metavar="ADDRESS",
        help="address to listen on (default 127.0.0.1)",
    )
    p.add_argument(
        "--port", type=int, default=0, metavar="N", help="port to listen on (0: ephemeral)"
    )
    p.add_argument(
        "--default-mode",
        default="plain",
        choices=sorted(MODES),
        metavar="MODE",
        help="mode of codes not in the modes file (%s)" % ", ".join(sorted(MODES)),
    )
    p.add_argument(
        "--idle-timeout",
        type=float,
        default=5.0,
        metavar="SECONDS",
        help="close a connection silent for this long (default 5)",
    )
    p.add_argument("--exit-on-stdin-eof", action="store_true", help="exit when stdin reaches EOF")
    return p.parse_args(argv)


def main(argv):
    args = parse_args(argv)
    service = Service(args)
    stop = threading.Event()

    def on_signal(signum, frame):
        stop.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        listener.bind((args.host, args.port))
    except OSError as e:
        warn("cannot bind %s:%d: %s" % (args.host, args.port, e))
        return 1
    listener.listen(128)
    listener.settimeout(0.1)  # lets the loop see `stop` promptly
    service.port = listener.getsockname()[1]
    print(service.port, flush=True)

    if args.exit_on_stdin_eof:

        def watch_stdin():
            try:
                while sys.stdin.buffer.read1(4096):
                    pass
            except (OSError, ValueError):
                pass
            stop.set()

        threading.Thread(target=watch_stdin, daemon=True).start()

    serial = 0
    while not stop.is_set():
        try:
            sock, _ = listener.accept()
        except socket.timeout:
            continue
        except OSError as e:  # e.g. out of descriptors: back off, keep serving
            warn("accept: %s" % e)
            time.sleep(0.05)
            continue
        # A connection that stays silent this long is closed, as servers do with idle
        # keep-alive connections (some clients keep every connection open and never reuse one).
        sock.settimeout(args.idle_timeout)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        serial += 1
        threading.Thread(target=service.serve, args=(sock, serial), daemon=True).start()

    listener.close()
    # Hold the log lock so that no line is cut short, then leave without
    # waiting for connection threads.
    service.log.lock.acquire()
    sys.stdout.flush()
    sys.stderr.flush()
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
