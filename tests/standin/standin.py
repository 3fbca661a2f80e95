#!/usr/bin/env python3
"""Local stand-ins of every online service Ombrix talks to, for tests and the demo. Standard library only.

Each service listens on its own loopback port (0 = any free port):
  search         cloud search index, CloudSearch 2013-01-01 request and answer form (also serves the movie domain)
  queue          message queues, SQS 2009-02-01 "SendMessage"
  tvdb           TheTVDB XML API and its banners
  api            cloud REST API under /v1 (sign-up, sessions, Basic-auth look-ups); also its staging host
  opensubtitles  OpenSubtitles XML-RPC at /xml-rpc and zipped .srt downloads
  bucket         content bucket: posters, backdrops, previews, home backdrop lists, "trailers_en.ox"
  scrape         the popular-title lists
  control        what the stand-in saw, faults on demand (JSON over HTTP; the same commands on standard input)

On start it prints one JSON line on standard output: {"services": {name: base URL}, "env": {variable: base URL},
"control": URL, "record": path} (also written to --ports-file). Every request is recorded (in memory, and as JSON lines
in --record) before it is answered. Commands, as one JSON object per line on standard input or POSTed to
control /command, each answered by one JSON line:
  {"cmd": "fault", "service": "search"|"*", "kind": "stall"|"delay"|"500"|"garbage"|"close"|"answer"|"flood"|"cut",
   "count": n (-1 = until cleared), "path": "substring of the raw path", "seconds": stall or delay length, "status":
   n, "body": text, "contentType": t, "bytes": flood or cut length, "encoding": "gzip" or none, "base64": true when "body" is bytes in base64}
   ("delay" answers as usual once the seconds have passed or "clear" released it; "flood" answers `bytes` zero bytes
   made as they are sent, with their length declared, or gzip-compressed on the way with no length, so that a small
   transfer decodes to the full size; "cut" answers "body" as HTTP/1.0 with no length and closes the connection after
   `bytes` of it, which a client cannot tell from the whole answer)
  {"cmd": "clear"}   drop faults, records and added files, release stalled requests
  {"cmd": "requests", "service": name}   the recorded requests
  {"cmd": "addFile", "os_hash": h, "size": s, "imdb": code | "show"/"season"/"episode": numbers}
  {"cmd": "ping"}
"""
import argparse
import base64
import datetime
import email.parser
import email.policy
import hashlib
import http.server
import io
import json
import math
import os
import plistlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unicodedata
import urllib.parse
import wave
import xml.sax.saxutils
import xmlrpc.client
import xmlrpc.server
import zipfile
import zlib

SERVICES = ["search", "queue", "tvdb", "api", "opensubtitles", "bucket", "scrape"]
# Environment variable of each client-side base address, and the service that answers it.
ENV = {
    "OMBRIX_SEARCH_URL": "search",
    "OMBRIX_MOVIE_SEARCH_URL": "search",
    "OMBRIX_QUEUE_URL": "queue",
    "OMBRIX_TVDB_URL": "tvdb",
    "OMBRIX_API_URL": "api",
    "OMBRIX_API_STAGING_URL": "api",
    "OMBRIX_OPENSUBTITLES_URL": "opensubtitles",
    "OMBRIX_BUCKET_URL": "bucket",
    "OMBRIX_SCRAPE_URL": "scrape",
}
QUEUES = ("MovieHashes", "EpisodeHashes")
IMAGE_SIZES = {"w75": 75, "w500": 500, "w1920": 1920}


def fold(text):
    """Lower-case text without accents, for matching."""
    decomposed = unicodedata.normalize("NFKD", str(text))
    return "".join(c for c in decomposed if not unicodedata.combining(c)).lower()


def tokens(text):
    return re.findall(r"[0-9a-z_]+", fold(text))


class State:
    def __init__(self, catalogue, record_path):
        self.catalogue = catalogue
        self.lock = threading.Lock()
        self.records = []
        self.seq = 0
        self.record_path = record_path
        self.faults = []
        self.release = threading.Event()
        self.bases = {}
        self.sessions = {}  # token -> (email, expiry epoch)
        self.os_tokens = set()
        self.users = [dict(u) for u in catalogue.get("users", [])]
        self.files = list(catalogue.get("files", []))  # the catalogue's own, which "clear" goes back to
        self.cache = {}
        self.scratch = tempfile.mkdtemp(prefix="ombrix-standin.")

    def record(self, entry):
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            self.records.append(entry)
            if self.record_path:
                with open(self.record_path, "a", encoding="utf-8") as f:
                    f.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def take_fault(self, service, path):
        with self.lock:
            for fault in self.faults:
                if fault.get("service", "*") not in ("*", service):
                    continue
                if fault.get("path") and fault["path"] not in path:
                    continue
                if fault.get("count", -1) == 0:
                    continue
                if fault.get("count", -1) > 0:
                    fault["count"] -= 1
                return dict(fault)
        return None

    def command(self, cmd):
        kind = cmd.get("cmd")
        if kind == "ping":
            return {"ok": True}
        if kind == "fault":
            spec = {k: v for k, v in cmd.items() if k != "cmd"}
            if spec.get("kind") not in ("stall", "delay", "500", "garbage", "close", "answer", "flood", "cut"):
                return {"ok": False, "error": "unknown fault kind"}
            with self.lock:
                self.faults.append(spec)
            self.release.clear()
            return {"ok": True}
        if kind == "clear":
            with self.lock:
                self.faults.clear()
                self.records.clear()
                self.catalogue["files"] = list(self.files)
            self.release.set()
            return {"ok": True}
        if kind == "requests":
            with self.lock:
                seen = [r for r in self.records if not cmd.get("service") or r["service"] == cmd["service"]]
            return {"ok": True, "requests": seen}
        if kind == "addFile":
            entry = {k: v for k, v in cmd.items() if k != "cmd"}
            with self.lock:
                self.catalogue.setdefault("files", []).append(entry)
            return {"ok": True}
        return {"ok": False, "error": "unknown command"}


# ---------------------------------------------------------------------------------------------------------------------
# Generated media: plain PNG images, WAV tones, zipped subtitles, a short video when ffmpeg is there.

def png(width, height, seed):
    digest = hashlib.md5(seed.encode()).digest()
    top, bottom = digest[:3], digest[3:6]
    rows = []
    for y in range(height):
        t = y / max(1, height - 1)
        colour = bytes(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
        rows.append(b"\x00" + colour * width)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) +
            chunk(b"IEND", b""))


def jpeg(width, height, seed):
    """The picture png() draws, as a baseline JPEG: each 8x8 block one colour (its DC term), so no DCT is needed."""
    digest = hashlib.md5(seed.encode()).digest()
    top, bottom = digest[:3], digest[3:6]
    dc_bits, dc_vals = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12))  # the standard luminance DC
    ac_bits, ac_vals = [1] + [0] * 15, [0]  # one code, end of block

    def codes(bits, vals):
        table, code, k = {}, 0, 0
        for length, count in enumerate(bits, 1):
            for _ in range(count):
                table[vals[k]] = (code, length)
                code, k = code + 1, k + 1
            code <<= 1
        return table

    dc, ac = codes(dc_bits, dc_vals), codes(ac_bits, ac_vals)
    bit = lambda code_length: format(code_length[0], "0%db" % code_length[1])
    eob = bit(ac[0])
    same = (bit(dc[0]) + eob) * 3  # a block like the one before it
    pred, rows = [0, 0, 0], []
    bw, bh = (width + 7) // 8, (height + 7) // 8
    for by in range(bh):
        t = min(1.0, (by * 8 + 3.5) / max(1, height - 1))
        r, g, b = (top[i] + (bottom[i] - top[i]) * t for i in range(3))
        ycc = (0.299 * r + 0.587 * g + 0.114 * b, -0.168736 * r - 0.331264 * g + 0.5 * b + 128,
               0.5 * r - 0.418688 * g - 0.081312 * b + 128)
        terms = [int(round(8 * (v - 128))) for v in ycc]  # quantiser 1: DC = 8 x the block's mean, level-shifted
        first = ""
        for c in range(3):
            diff, pred[c] = terms[c] - pred[c], terms[c]
            size = abs(diff).bit_length()
            first += bit(dc[size]) + (bit((diff if diff > 0 else diff + (1 << size) - 1, size)) if size else "") + eob
        rows.append(first + same * (bw - 1))
    bits = "".join(rows)
    bits += "1" * (-len(bits) % 8)
    out = int(bits, 2).to_bytes(len(bits) // 8, "big").replace(b"\xff", b"\xff\x00") if bits else b""

    def segment(marker, body):
        return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body

    components = b"".join(struct.pack(">BBB", i, 0x11, 0) for i in (1, 2, 3))
    return (b"\xff\xd8" + segment(0xDB, b"\x00" + b"\x01" * 64) +
            segment(0xC0, struct.pack(">BHHB", 8, height, width, 3) + components) +
            segment(0xC4, b"\x00" + bytes(dc_bits) + bytes(dc_vals) + b"\x10" + bytes(ac_bits) + bytes(ac_vals)) +
            segment(0xDA, b"\x03" + b"".join(struct.pack(">BB", i, 0) for i in (1, 2, 3)) + b"\x00\x3f\x00") +
            bytes(out) + b"\xff\xd9")


def wav(seed, seconds=2.0, rate=8000):
    freq = 220 + int(hashlib.md5(seed.encode()).hexdigest()[:4], 16) % 440
    frames = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * freq * i / rate)))
                      for i in range(int(seconds * rate)))
    out = io.BytesIO()
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames)
    return out.getvalue()


def srt(title, language):
    return ("1\n00:00:01,000 --> 00:00:04,000\n%s (%s)\n\n2\n00:00:05,000 --> 00:00:08,000\n"
            "An invented line of dialogue.\n" % (title, language)).encode("utf-8")


def keyed_archive(root_key, value):
    """A keyed archive in the platform's standard layout, holding plain arrays, dictionaries, texts and numbers."""
    objects = ["$null"]
    classes = {}

    def class_uid(name):
        if name not in classes:
            objects.append({"$classname": name, "$classes": [name, "NSObject"]})
            classes[name] = plistlib.UID(len(objects) - 1)
        return classes[name]

    def encode(v):
        if v is None:
            return plistlib.UID(0)
        index = len(objects)
        objects.append(None)
        if isinstance(v, (str, int, float, bool)):
            objects[index] = v
        elif isinstance(v, list):
            refs = [encode(x) for x in v]
            objects[index] = {"NS.objects": refs, "$class": class_uid("NSArray")}
        elif isinstance(v, dict):
            keys = [encode(k) for k in v]
            vals = [encode(x) for x in v.values()]
            objects[index] = {"NS.keys": keys, "NS.objects": vals, "$class": class_uid("NSDictionary")}
        else:
            raise TypeError(type(v))
        return plistlib.UID(index)

    top = {root_key: encode(value)}
    return plistlib.dumps({"$version": 100000, "$archiver": "NSKeyedArchiver", "$top": top, "$objects": objects},
                          fmt=plistlib.FMT_BINARY, sort_keys=False)


# ---------------------------------------------------------------------------------------------------------------------
# The catalogue seen through each service.

class Catalogue:
    def __init__(self, state):
        self.s = state
        self.c = state.catalogue

    def bucket(self, path):
        return self.s.bases["bucket"] + path

    def movie_urls(self, m):
        return {"poster": self.bucket("/images/original/poster_%s.png" % m["imdb"]),
                "image": self.bucket("/images/original/backdrop_%s.png" % m["imdb"]),
                "soundtrack": self.bucket("/previews/%s.wav" % m["imdb"])}

    def show_urls(self, s):
        key = "s%d" % s["tvdb"]
        return {"poster": self.bucket("/images/original/poster_%s.png" % key),
                "image": self.bucket("/images/original/backdrop_%s.png" % key),
                "soundtrack": self.bucket("/previews/%s.wav" % key)}

    def home_backdrop(self, key):
        # The home slideshow's pictures are JPEG files, as the content bucket's are.
        return self.bucket("/images/original/backdrop_%s.jpg" % key)

    def show(self, tvdb):
        return next((s for s in self.c["shows"] if s["tvdb"] == tvdb), None)

    def movie(self, imdb):
        return next((m for m in self.c["movies"] if m["imdb"] == imdb), None)

    def episode_thumb(self, e):
        return self.s.bases["tvdb"] + "/banners/_cache/" + e["filename"] if e.get("filename") else None

    def documents(self):
        """Search documents with every field value as text (lists of texts for multi-valued fields)."""
        docs = []
        for m in self.c["movies"]:
            f = {"type": "m", "title": m["title"], "year": str(m["year"]), "runtime": str(m["runtime"]),
                 "genre": list(m["genre"]), "rating": str(m["rating"]), "extpopularity": str(m["extpopularity"]),
                 "imdb": m["imdb"], "overview": m["overview"], "releaseDate": "%d-01-01" % m["year"]}
            f.update(self.movie_urls(m))
            if m.get("trailer"):
                f["trailers"] = [self.bucket("/trailers/%s.mp4" % m["imdb"])]
            f["data"] = json.dumps({"title": m["title"], "year": m["year"]})
            docs.append((m["imdb"], f))
        for s in self.c["shows"]:
            f = {"type": "s", "title": s["title"], "year": str(s["year"]), "runtime": str(s["runtime"]),
                 "genre": list(s["genre"]), "rating": str(s["rating"]), "extpopularity": str(s["extpopularity"]),
                 "imdb": s["imdb"], "showid": str(s["tvdb"]), "overview": s["overview"]}
            f.update(self.show_urls(s))
            docs.append(("s_%d" % s["tvdb"], f))
        for e in self.c["episodes"]:
            f = {"type": "e", "title": e["title"], "showid": str(e["show"]), "season": str(e["season"]),
                 "episode": str(e["episode"]), "episodeid": str(e["id"]),
                 "code": "%d_%d_%d" % (e["show"], e["season"], e["episode"])}
            if e.get("firstAired"):
                f["year"] = e["firstAired"][:4]
            thumb = self.episode_thumb(e)
            if thumb:
                f["image"] = thumb
            docs.append(("e_%d" % e["id"], f))
        return docs

    def rest_movie(self, m):
        out = {"id": m["imdb"], "imdb": m["imdb"], "title": m["title"], "year": m["year"], "runtime": m["runtime"],
               "genre": m["genre"], "rating": m["rating"], "extpopularity": m["extpopularity"],
               "releaseDate": "%d-01-01T00:00:00.000Z" % m["year"], "akaTitles": m.get("akaTitles", {}),
               "overview": m["overview"], "tagline": None}
        out.update(self.movie_urls(m))
        return out

    def rest_show(self, s):
        out = {"id": s["tvdb"], "tvdb": s["tvdb"], "imdb": s["imdb"], "title": s["title"], "year": s["year"],
               "runtime": s["runtime"], "genre": s["genre"], "rating": s["rating"],
               "extpopularity": s["extpopularity"], "releaseDate": "%d-01-01" % s["year"],
               "akaTitles": s.get("akaTitles", {}), "overview": s["overview"], "network": None}
        out.update(self.show_urls(s))
        return out

    def rest_episode(self, e):
        return {"id": e["id"], "showid": e["show"], "season": e["season"], "episode": e["episode"],
                "title": e["title"], "firstAired": e.get("firstAired") or None, "image": self.episode_thumb(e)}


# ---------------------------------------------------------------------------------------------------------------------

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # headers and body go out as separate writes
    service = "?"
    state = None
    verbose = False

    def log_message(self, fmt, *args):
        if self.verbose:
            sys.stderr.write("standin %s: %s\n" % (self.service, fmt % args))

    def do_GET(self):
        self.handle_any()

    do_POST = do_PUT = do_DELETE = do_HEAD = do_PATCH = do_GET

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.body = self.rfile.read(length) if length > 0 else b""
        split = urllib.parse.urlsplit(self.path)
        self.route = split.path
        self.query = urllib.parse.parse_qsl(split.query, keep_blank_values=True)
        self.q = dict(self.query)
        self.form = {}
        ctype = self.headers.get("Content-Type", "")
        if ctype.startswith("application/x-www-form-urlencoded"):
            self.form = dict(urllib.parse.parse_qsl(self.body.decode("utf-8", "replace"), keep_blank_values=True))
        elif ctype.startswith("multipart/form-data"):
            self.form = parse_multipart(ctype, self.body)
        entry = {"service": self.service, "method": self.command, "path": self.path, "route": self.route,
                 "query": [list(p) for p in self.query], "headers": {k.lower(): v for k, v in self.headers.items()},
                 "body": self.body.decode("utf-8", "replace"), "form": self.form, "time": time.time()}
        if self.service == "opensubtitles" and self.command == "POST":
            try:
                params, method = xmlrpc.client.loads(self.body, use_builtin_types=True)
                entry["rpc"] = {"method": method, "params": json.loads(json.dumps(params, default=str))}
            except Exception:
                entry["rpc"] = None
        if self.service == "queue":
            entry["queue"] = self.route.strip("/").split("/")[-1]
            entry["message"] = self.q.get("MessageBody")
        self.state.record(entry)
        fault = self.state.take_fault(self.service, self.path)
        if fault:
            return self.apply_fault(fault)
        try:
            ROUTES[self.service](self)
        except BrokenPipeError:
            pass
        except Exception as error:  # a fault of the stand-in itself: say so, do not hang the client
            self.send(500, ("stand-in error: %r" % error).encode(), "text/plain")

    def apply_fault(self, fault):
        kind = fault["kind"]
        if kind == "stall":
            self.state.release.wait(float(fault.get("seconds", 3600)))
            self.close_connection = True
        elif kind == "delay":
            self.state.release.wait(float(fault.get("seconds", 3600)))
            ROUTES[self.service](self)
        elif kind == "close":
            self.close_connection = True
        elif kind == "500":
            self.send(500, b"Internal Server Error", "text/plain")
        elif kind == "garbage":
            self.send(200, b"\x89\xfe\x00{<garbage \xff\xfe]]>&&", fault.get("contentType", "application/json"))
        elif kind == "answer":
            body = fault.get("body", "")
            body = base64.b64decode(body) if fault.get("base64") else str(body).encode("utf-8")
            self.send(int(fault.get("status", 200)), body, fault.get("contentType", "application/json"))
        elif kind == "flood":
            self.flood(int(fault.get("bytes", 2 << 30)), fault.get("encoding") == "gzip")
        elif kind == "cut":
            body = fault.get("body", "")
            body = base64.b64decode(body) if fault.get("base64") else str(body).encode("utf-8")
            self.protocol_version = "HTTP/1.0"
            self.close_connection = True
            self.send_response(int(fault.get("status", 200)))
            self.send_header("Content-Type", fault.get("contentType", "application/octet-stream"))
            self.end_headers()
            self.wfile.write(body[:int(fault.get("bytes", len(body) // 2))])

    def flood(self, size, gzip):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if gzip:
            self.send_header("Content-Encoding", "gzip")
        else:
            self.send_header("Content-Length", str(size))
        self.send_header("Connection", "close")
        self.close_connection = True
        self.end_headers()
        zeros = bytes(1 << 20)
        packer = zlib.compressobj(9, zlib.DEFLATED, 31) if gzip else None
        try:
            for start in range(0, size, len(zeros)):
                block = zeros[:min(len(zeros), size - start)]
                # Flushed block by block, so a client that has hung up is noticed at once, not after the whole size.
                self.wfile.write(packer.compress(block) + packer.flush(zlib.Z_SYNC_FLUSH) if packer else block)
            if packer:
                self.wfile.write(packer.flush())
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client stopped reading, as it should

    def send(self, status, body, ctype, headers=None):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in (headers or {}).items():
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def json(self, status, value, headers=None):
        self.send(status, json.dumps(value, ensure_ascii=False).encode("utf-8"), "application/json", headers)

    def xml(self, status, text):
        self.send(status, ('<?xml version="1.0" encoding="UTF-8" ?>\n' + text).encode("utf-8"), "text/xml")

    def not_found(self):
        self.send(404, b"Not Found", "text/plain")


def parse_multipart(ctype, body):
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
        b"Content-Type: " + ctype.encode() + b"\r\n\r\n" + body)
    form = {}
    if message.is_multipart():
        for part in message.iter_parts():
            name = part.get_param("name", header="content-disposition")
            if name:
                form[name] = part.get_payload(decode=True).decode("utf-8", "replace")
    return form


# ---------------------------------------------------------------------------------------------------------------------
# Cloud search (CloudSearch 2013-01-01)

STOP_WORDS = {"a", "an", "the", "of", "and"}


def search_error(h, message):
    h.json(400, {"error": {"rid": "standin", "message": message}, "message": message})


def field_clause(text):
    m = re.fullmatch(r"\s*([A-Za-z_]+):'((?:[^'\\]|\\.)*)'\s*", text)
    return (m.group(1), m.group(2).replace("\\'", "'")) if m else None


def route_search(h):
    if h.route != "/2013-01-01/search" or h.command != "GET":
        return h.not_found()
    q = h.q.get("q")
    if not q:
        return search_error(h, "q is required")
    docs = Catalogue(h.state).documents()
    if "fq" in h.q:
        clause = field_clause(h.q["fq"])
        if not clause:
            return search_error(h, "Syntax error in fq: " + h.q["fq"])
        docs = [d for d in docs if d[1].get(clause[0]) == clause[1]]
    scored = []
    if h.q.get("q.parser") == "structured":
        clause = field_clause(q)
        if not clause:
            return search_error(h, "Syntax error in query: " + q)
        for doc_id, f in docs:
            value = doc_id if clause[0] == "_id" else f.get(clause[0])
            if value == clause[1] or (isinstance(value, list) and clause[1] in value):
                scored.append((doc_id, f, 1.0))
    elif h.q.get("q.parser", "simple") == "simple":
        terms = tokens(q)
        # As the index's analysis drops stop words, a query of nothing else is as empty as no query.
        if not [t for t in terms if t not in STOP_WORDS]:
            return search_error(h, "Syntax error in query: " + q)
        for doc_id, f in docs:
            words = tokens(f.get("title", "")) + [f.get("code", "")]
            if all(t in words for t in terms):
                scored.append((doc_id, f, round(10.0 * len(terms) / max(1, len(words) - 1), 5)))
    else:
        return search_error(h, "unknown q.parser")
    sort = h.q.get("sort", "_score desc").split()
    if len(sort) != 2 or sort[1] not in ("asc", "desc"):
        return search_error(h, "Invalid sort: " + h.q.get("sort", ""))

    def key(hit):
        if sort[0] == "_score":
            return hit[2]
        value = hit[1].get(sort[0], "")
        try:
            return float(value)
        except (TypeError, ValueError):
            return 0.0
    scored.sort(key=key, reverse=sort[1] == "desc")
    try:
        size, start = int(h.q.get("size", 10)), int(h.q.get("start", 0))
    except ValueError:
        return search_error(h, "size and start must be numbers")
    wanted = h.q.get("return", "_all_fields").split(",")
    hits = []
    for doc_id, f, score in scored[start:start + size]:
        fields = {}
        for name, value in f.items():
            if "_all_fields" in wanted or name in wanted:
                fields[name] = value
        if "_score" in wanted:
            fields["_score"] = str(score)
        hit = {"id": doc_id}
        if "_no_fields" not in wanted:
            hit["fields"] = fields
        hits.append(hit)
    h.json(200, {"status": {"rid": "standin-%d" % h.state.seq, "time-ms": 1},
                 "hits": {"found": len(scored), "start": start, "hit": hits}})


# ---------------------------------------------------------------------------------------------------------------------
# Message queues (SQS 2009-02-01)

def route_queue(h):
    parts = h.route.strip("/").split("/")
    if len(parts) != 2 or not parts[0].isdigit() or parts[1] not in QUEUES:
        return h.xml(400, "<ErrorResponse><Error><Type>Sender</Type><Code>AWS.SimpleQueueService.NonExistentQueue"
                          "</Code><Message>The specified queue does not exist.</Message></Error></ErrorResponse>")
    if h.q.get("Action") != "SendMessage" or h.q.get("Version") != "2009-02-01" or "MessageBody" not in h.q:
        return h.xml(400, "<ErrorResponse><Error><Type>Sender</Type><Code>InvalidParameterValue</Code>"
                          "<Message>Action, Version and MessageBody are required.</Message></Error></ErrorResponse>")
    md5 = hashlib.md5(h.q["MessageBody"].encode("utf-8")).hexdigest()
    h.xml(200, "<SendMessageResponse><SendMessageResult><MD5OfMessageBody>%s</MD5OfMessageBody><MessageId>"
               "standin-%d</MessageId></SendMessageResult></SendMessageResponse>" % (md5, h.state.seq))


# ---------------------------------------------------------------------------------------------------------------------
# TheTVDB XML API

def xml_elements(pairs):
    return "".join("<%s>%s</%s>" % (k, xml.sax.saxutils.escape(str(v)), k) for k, v in pairs)


def piped(names):
    return "|" + "|".join(names) + "|" if names else ""


def tvdb_series(s, full=True):
    pairs = [("id", s["tvdb"]), ("Actors", piped(s["actors"])), ("Airs_DayOfWeek", s["airDay"]),
             ("Airs_Time", s["airTime"]), ("ContentRating", s["contentRating"]),
             ("FirstAired", "%d-09-01" % s["year"]), ("Genre", piped(s["genre"])), ("IMDB_ID", s["imdb"]),
             ("Language", "en"), ("Network", s["network"]), ("NetworkID", ""), ("Overview", s["overview"]),
             ("Rating", s["rating"]), ("RatingCount", "17"), ("Runtime", s["runtime"]), ("SeriesID", ""),
             ("SeriesName", s["title"]), ("Status", s["status"]), ("banner", "graphical/%d-g.jpg" % s["tvdb"]),
             ("fanart", "fanart/original/%d-1.jpg" % s["tvdb"]), ("lastupdated", "1262304000"),
             ("poster", "posters/%d-1.jpg" % s["tvdb"]), ("zap2it_id", "")]
    if not full:
        pairs = [("seriesid", s["tvdb"]), ("language", "en"), ("SeriesName", s["title"]),
                 ("banner", "graphical/%d-g.jpg" % s["tvdb"]), ("Overview", s["overview"]),
                 ("FirstAired", "%d-09-01" % s["year"]), ("IMDB_ID", s["imdb"]), ("id", s["tvdb"])]
    return "<Series>%s</Series>" % xml_elements(pairs)


def tvdb_episode(e):
    pairs = [("id", e["id"]), ("Combined_episodenumber", e["episode"]), ("Combined_season", e["season"]),
             ("DVD_chapter", ""), ("DVD_discid", ""), ("Director", piped(e["director"])),
             ("EpImgFlag", e["imgFlag"]), ("EpisodeName", e["title"]),
             ("EpisodeNumber", e["episode"]), ("FirstAired", e.get("firstAired", "")),
             ("GuestStars", piped(e["guestStars"])), ("IMDB_ID", e["imdb"]), ("Language", "en"),
             ("Overview", e["overview"]), ("ProductionCode", ""), ("Rating", e["rating"]), ("RatingCount", "9"),
             ("SeasonNumber", e["season"]), ("Writer", piped(e["writer"])), ("absolute_number", ""),
             ("filename", e.get("filename", "")), ("lastupdated", "1262304000"),
             ("seasonid", e["show"] * 10 + e["season"]), ("seriesid", e["show"])]
    return "<Episode>%s</Episode>" % xml_elements(pairs)


TVDB_NOT_FOUND = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>"


def route_tvdb(h):
    c = h.state.catalogue
    path = h.route
    if path.startswith("/banners/"):
        name = path[len("/banners/"):]
        small = name.startswith("_cache/")
        return h.send(200, cached(h.state, "tvdb" + path, lambda: png(300 if small else 758, 168 if small else 424,
                                                                          name.replace("_cache/", ""))), "image/png")
    m = re.fullmatch(r"/api/+(GetSeries\.php|Updates\.php)", path)
    if m and m.group(1) == "GetSeries.php":
        wanted = tokens(h.q.get("seriesname", ""))
        found = [s for s in c["shows"] if wanted and all(t in tokens(s["title"]) for t in wanted)]
        return h.xml(200, "<Data>%s</Data>" % "".join(tvdb_series(s, False) for s in found))
    if m:
        kind = h.q.get("type", "none")
        items = "<Time>1262304000</Time>"
        if kind in ("all", "series"):
            items += "".join("<Series>%d</Series>" % s["tvdb"] for s in c["shows"][:3])
        if kind in ("all", "episode"):
            items += "".join("<Episode>%d</Episode>" % e["id"] for e in c["episodes"][:5])
        return h.xml(200, "<Items>%s</Items>" % items)
    m = re.fullmatch(r"/api/([^/]+)/(series|episodes)/(\d+)(/.*)?", path)
    if not m:
        return h.xml(404, TVDB_NOT_FOUND)
    if m.group(1) != c["tvdbApiKey"]:
        return h.xml(401, "<html><head><title>Invalid API key</title></head><body>Invalid API key</body></html>")
    number, rest = int(m.group(3)), (m.group(4) or "").rstrip("/")
    if m.group(2) == "episodes":
        found = [e for e in c["episodes"] if e["id"] == number]
    else:
        show = Catalogue(h.state).show(number)
        if not show:
            return h.xml(404, TVDB_NOT_FOUND)
        if rest in ("", "/en.xml"):
            return h.xml(200, "<Data>%s</Data>" % tvdb_series(show))
        if rest in ("/all", "/all/en.xml"):
            eps = [e for e in c["episodes"] if e["show"] == number]
            return h.xml(200, "<Data>%s%s</Data>" % (tvdb_series(show), "".join(tvdb_episode(e) for e in eps)))
        sm = re.fullmatch(r"/default/(\d+)/(\d+)(/en\.xml)?", rest)
        if not sm:
            return h.xml(404, TVDB_NOT_FOUND)
        found = [e for e in c["episodes"]
                 if e["show"] == number and e["season"] == int(sm.group(1)) and e["episode"] == int(sm.group(2))]
    if not found:
        return h.xml(404, TVDB_NOT_FOUND)
    h.xml(200, "<Data>%s</Data>" % tvdb_episode(found[0]))


# ---------------------------------------------------------------------------------------------------------------------
# Cloud REST API (/v1)

def expire_text(epoch):
    zone = datetime.timezone(datetime.timedelta(hours=1))
    return datetime.datetime.fromtimestamp(int(epoch), zone).strftime("%Y-%m-%dT%H:%M:%S+01:00")


def authorised(h):
    """The e-mail of a valid Basic session (or the developer account), else None."""
    header = h.headers.get("Authorization", "")
    if not header.startswith("Basic "):
        return None
    try:
        user, _, secret = base64.b64decode(header[6:]).decode("utf-8").partition(":")
    except Exception:
        return None
    if secret == h.state.catalogue.get("developerPassword"):
        return user
    with h.state.lock:
        session = h.state.sessions.get(secret)
    if session and session[0] == user and session[1] >= time.time():
        return user
    return None


def challenge(h):
    h.json(401, {"error": "authentication required"}, {"WWW-Authenticate": 'Basic realm="Ombrix API"'})


def route_api(h):
    st, c = h.state, h.state.catalogue
    cat = Catalogue(st)
    path = h.route
    if path == "/v1/users" and h.command == "POST":
        email, nick, password = h.form.get("email"), h.form.get("nickname"), h.form.get("password")
        if not email or not password:
            return h.json(422, {"error": "email and password are required"})
        with st.lock:
            if any(u["email"].lower() == email.lower() for u in st.users):
                return h.json(409, {"error": "email already registered"})
            user = {"id": 500 + len(st.users) + 1, "email": email, "nickname": nick or email, "password": password}
            st.users.append(user)
        return h.json(201, {"id": user["id"], "email": email, "nickname": user["nickname"]})
    if path == "/v1/users/me/sessions" and h.command == "POST":
        with st.lock:
            user = next((u for u in st.users
                         if u["email"] == h.form.get("user") and u["password"] == h.form.get("password")), None)
        if not user:
            return h.json(401, {"error": "invalid credentials"})
        token = hashlib.sha1(("%s-%f" % (user["email"], time.time())).encode()).hexdigest()
        expiry = time.time() + float(c.get("tokenLifetimeSeconds", 3600))
        with st.lock:
            st.sessions[token] = (user["email"], expiry)
        return h.json(201, {"id": user["id"], "token": token, "expireAt": expire_text(expiry), "email": user["email"]})
    if not path.startswith("/v1/"):
        return h.not_found()
    if not authorised(h):
        return challenge(h)
    if path == "/v1/users/reset-password" and h.command == "POST":
        return h.json(200, {"status": "sent", "user": h.form.get("user")})
    if path == "/v1/hashes/manual-match" and h.command == "POST":
        return h.json(200, {"status": "matched"})
    if path == "/v1/hashes/search":
        return h.json(200, hash_search(st, h.query))
    m = re.fullmatch(r"/v1/(movies|tvshows)(?:/([^/]+))?(?:/seasons/(\d+)/episodes/(\d+))?", path)
    if not m or h.command != "GET":
        return h.json(404, {"error": "not found"})
    kind, ident = m.group(1), m.group(2)
    if m.group(3):
        found = [e for e in c["episodes"] if str(e["show"]) == ident and e["season"] == int(m.group(3))
                 and e["episode"] == int(m.group(4))]
        return h.json(200, cat.rest_episode(found[0])) if found else h.json(404, {"error": "not found"})
    if ident:
        if kind == "movies":
            item = cat.movie(ident)
            return h.json(200, cat.rest_movie(item)) if item else h.json(404, {"error": "not found"})
        item = cat.show(int(ident)) if ident.isdigit() else None
        return h.json(200, cat.rest_show(item)) if item else h.json(404, {"error": "not found"})
    items = c["movies"] if kind == "movies" else c["shows"]
    render = cat.rest_movie if kind == "movies" else cat.rest_show
    if "imdb_set" in h.q:
        codes = h.q["imdb_set"].split(",")
        found = [i for i in items if i["imdb"] in codes]
    else:
        text = h.q.get("query_any") or h.q.get("query") or h.q.get("tags") or ""
        words = [w for w in tokens(text.replace(",", " "))]
        every = "query" in h.q and "query_any" not in h.q
        found = [i for i in items
                 if words and (all if every else any)(w in tokens(i["title"]) for w in words)]
    try:
        skip, limit = int(h.q.get("skip", 0)), int(h.q.get("limit", 0))
    except ValueError:
        return h.json(400, {"error": "limit and skip must be numbers"})
    found = found[skip:skip + limit] if limit else found[skip:]
    h.json(200, [render(i) for i in found])


def hash_search(st, query):
    files = st.catalogue.get("files", [])
    wanted = []
    pairs = dict(query)
    if "movie_hash" in pairs:
        wanted.append((pairs.get("movie_hash"), pairs.get("file_byte_size")))
    current = {}
    for key, value in query:
        m = re.fullmatch(r"movies\[\]\[(\w+)\]", key)
        if m:
            if m.group(1) in current:
                wanted.append((current.get("os_hash"), current.get("file_byte_size")))
                current = {}
            current[m.group(1)] = value
    if current:
        wanted.append((current.get("os_hash"), current.get("file_byte_size")))
    results = []
    for os_hash, size in wanted:
        match = next((f for f in files if f["os_hash"] == os_hash and (not size or f["size"] == size)), None)
        results.append({"os_hash": os_hash, "file_byte_size": size,
                        "imdb": match.get("imdb") if match else None,
                        "tvdb": match.get("show") if match else None})
    return {"movies": results}


# ---------------------------------------------------------------------------------------------------------------------
# OpenSubtitles XML-RPC

class OpenSubtitles:
    def __init__(self, h):
        self.h = h
        self.st = h.state

    def LogIn(self, user, password, language, agent):
        if agent != self.st.catalogue.get("openSubtitlesUserAgent"):
            return {"status": "414 Unknown User Agent", "seconds": 0.001}
        token = hashlib.md5(("%f" % time.time()).encode()).hexdigest()[:26]
        with self.st.lock:
            self.st.os_tokens.add(token)
        return {"token": token, "status": "200 OK", "seconds": 0.001}

    def LogOut(self, token):
        with self.st.lock:
            known = token in self.st.os_tokens
            self.st.os_tokens.discard(token)
        return {"status": "200 OK" if known else "406 No session", "seconds": 0.001}

    def _session(self, token):
        with self.st.lock:
            return token in self.st.os_tokens

    def SearchSubtitles(self, token, queries, limit=None):
        if not self._session(token):
            return {"status": "406 No session", "seconds": 0.001}
        c = self.st.catalogue
        cat = Catalogue(self.st)
        data = []
        for query in queries if isinstance(queries, list) else []:
            languages = [x for x in str(query.get("sublanguageid", "")).split(",") if x and x != "all"]
            subs = [s for s in c["subtitles"] if not languages or s["languageId"] in languages]
            if query.get("moviehash") and query.get("moviebytesize"):
                f = next((f for f in c.get("files", []) if f["os_hash"] == query["moviehash"]
                          and str(f["size"]) == str(query["moviebytesize"])), None)
                subs = [s for s in subs if f and (s.get("imdb") == f.get("imdb") if f.get("imdb") else
                                                  (s.get("show"), s.get("season"), s.get("episode")) ==
                                                  (f.get("show"), f.get("season"), f.get("episode")))]
            elif query.get("imdbid"):
                code = str(query["imdbid"]).lower().lstrip("t").lstrip("0")
                subs = [s for s in subs if s.get("imdb") and s["imdb"][2:].lstrip("0") == code]
            elif query.get("query"):
                words = tokens(query["query"])
                titles = {s["tvdb"]: s["title"] for s in c["shows"]}
                titles.update({m["imdb"]: m["title"] for m in c["movies"]})

                def title_of(s):
                    return titles.get(s.get("imdb") or s.get("show"), "")
                subs = [s for s in subs if words and all(w in tokens(title_of(s)) for w in words)]
                if query.get("season"):
                    subs = [s for s in subs if str(s.get("season")) == str(query["season"])]
                if query.get("episode"):
                    subs = [s for s in subs if str(s.get("episode")) == str(query["episode"])]
            else:
                subs = []
            for s in subs:
                data.append(self._hit(cat, s))
        return {"status": "200 OK", "data": data[:int(limit)] if limit else data or False, "seconds": 0.01}

    def _hit(self, cat, s):
        base = self.st.bases["opensubtitles"]
        if s.get("imdb"):
            title, imdb = cat.movie(s["imdb"])["title"], s["imdb"][2:]
        else:
            title, imdb = cat.show(s["show"])["title"], ""
        return {"IDSubtitleFile": str(s["id"]), "SubFileName": "%s.%s.srt" % (re.sub(r"\W+", ".", fold(title)),
                                                                             s["languageId"]),
                "SubLanguageID": s["languageId"], "LanguageName": s["language"], "SubFormat": "srt",
                "IDMovieImdb": imdb, "MovieName": title, "SeriesSeason": str(s.get("season", 0)),
                "SeriesEpisode": str(s.get("episode", 0)),
                "ZipDownloadLink": "%s/download/subtitle/%d.zip" % (base, s["id"]),
                "SubDownloadLink": "%s/download/file/%d.gz" % (base, s["id"])}

    def CheckMovieHash(self, token, hashes):
        if not self._session(token):
            return {"status": "406 No session", "seconds": 0.001}
        cat = Catalogue(self.st)
        data = {}
        for value in hashes if isinstance(hashes, list) else []:
            f = next((f for f in self.st.catalogue.get("files", []) if f["os_hash"] == value), None)
            if f and f.get("imdb"):
                data[value] = {"MovieHash": value, "MovieImdbID": f["imdb"][2:], "MovieName": cat.movie(f["imdb"])[
                    "title"], "MovieKind": "movie"}
            else:
                data[value] = []
        return {"status": "200 OK", "data": data, "seconds": 0.001}


def route_opensubtitles(h):
    st = h.state
    m = re.fullmatch(r"/download/(subtitle|file)/(\d+)\.(zip|gz)", h.route)
    if m:
        sub = next((s for s in st.catalogue["subtitles"] if s["id"] == int(m.group(2))), None)
        if not sub:
            return h.not_found()
        hit = OpenSubtitles(h)._hit(Catalogue(st), sub)
        text = srt(hit["MovieName"], sub["language"])
        if m.group(3) == "gz":
            import gzip
            return h.send(200, gzip.compress(text), "application/x-gzip")
        out = io.BytesIO()
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr(hit["SubFileName"], text)
            z.writestr("readme.nfo", "Downloaded from the stand-in.\n")
        return h.send(200, out.getvalue(), "application/zip")
    if h.route != "/xml-rpc" or h.command != "POST":
        return h.not_found()
    dispatcher = xmlrpc.server.SimpleXMLRPCDispatcher(allow_none=False, encoding="utf-8", use_builtin_types=True)
    dispatcher.register_instance(OpenSubtitles(h))
    h.send(200, dispatcher._marshaled_dispatch(h.body), "text/xml")


# ---------------------------------------------------------------------------------------------------------------------
# Content bucket

def cached(state, key, make):
    with state.lock:
        if key in state.cache:
            return state.cache[key]
    value = make()
    with state.lock:
        state.cache[key] = value
    return value


def trailer_video(state, name):
    """A two-second test pattern, when ffmpeg is there."""
    ffmpeg = shutil.which("ffmpeg")
    if not ffmpeg:
        return None
    target = os.path.join(state.scratch, "trailer.mp4")
    if not os.path.exists(target):
        subprocess.run([ffmpeg, "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x180:rate=25",
                        "-f", "lavfi", "-i", "sine=frequency=440", "-t", "2", "-pix_fmt", "yuv420p", "-shortest",
                        target + ".part.mp4"], check=False, timeout=60)
        if os.path.exists(target + ".part.mp4"):
            os.replace(target + ".part.mp4", target)
    return open(target, "rb").read() if os.path.exists(target) else None


def route_bucket(h):
    st, c = h.state, h.state.catalogue
    cat = Catalogue(st)
    path = h.route
    if path == "/trailers_en.ox":
        docs = dict(cat.documents())
        hits = [{"id": m["imdb"], "fields": {k: v for k, v in docs[m["imdb"]].items() if k != "data"}}
                for m in c["movies"] if m.get("trailer")]
        return h.send(200, keyed_archive("listS3", hits), "application/octet-stream")
    if path in ("/homeBackdropsMovies.txt", "/homeBackdropsShows.txt"):
        urls = ([cat.home_backdrop(m["imdb"]) for m in c["movies"][:10]] if "Movies" in path
                else [cat.home_backdrop("s%d" % s["tvdb"]) for s in c["shows"]])
        return h.send(200, ",".join(urls).encode(), "text/plain; charset=utf-8")
    m = re.fullmatch(r"/images/(original|w75|w500|w1920)/(poster|backdrop)_([A-Za-z0-9]+)\.(png|jpg)", path, re.I)
    if m:
        poster = m.group(2) == "poster"
        full = 1000 if poster else 1920
        width = min(full, IMAGE_SIZES.get(m.group(1).lower(), full))
        height = width * 3 // 2 if poster else width * 9 // 16
        draw, kind = (jpeg, "image/jpeg") if m.group(4).lower() == "jpg" else (png, "image/png")
        return h.send(200, cached(st, path.lower(), lambda: draw(width, height, m.group(2) + m.group(3))), kind)
    m = re.fullmatch(r"/previews/([A-Za-z0-9]+)\.wav", path)
    if m:
        return h.send(200, cached(st, path, lambda: wav(m.group(1))), "audio/wav")
    m = re.fullmatch(r"/trailers/(tt\d+)\.mp4", path)
    if m and cat.movie(m.group(1)):
        video = trailer_video(st, m.group(1))
        return h.send(200, video, "video/mp4") if video else h.not_found()
    h.send(404, b"<?xml version=\"1.0\"?><Error><Code>NoSuchKey</Code></Error>", "application/xml")


# ---------------------------------------------------------------------------------------------------------------------
# Popular-title lists

def route_scrape(h):
    c = h.state.catalogue
    lists = {"/api/673xrasg": ("movies", "movies"), "/api/2j4r3kdw": ("shows", "content")}
    if h.route not in lists:
        return h.not_found()
    if h.q.get("apikey") != c.get("scrapeApiKey"):
        return h.json(401, {"error": "invalid apikey"})
    kind, key = lists[h.route]
    rows = [{key: {"href": "http://www.imdb.com/title/%s/" % code, "text": code}} for code in c["popular"][kind]]
    h.json(200, {"name": kind, "results": {"collection1": rows}})


# ---------------------------------------------------------------------------------------------------------------------
# Control

def route_control(h):
    if h.route == "/requests":
        return h.json(200, h.state.command({"cmd": "requests", "service": h.q.get("service")}))
    if h.route == "/command" and h.command == "POST":
        try:
            cmd = json.loads(h.body or b"{}")
        except ValueError:
            return h.json(400, {"ok": False, "error": "not JSON"})
        return h.json(200, h.state.command(cmd))
    h.not_found()


ROUTES = {"search": route_search, "queue": route_queue, "tvdb": route_tvdb, "api": route_api,
          "opensubtitles": route_opensubtitles, "bucket": route_bucket, "scrape": route_scrape,
          "control": route_control}


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Local stand-ins of Ombrix's online services (loopback only).")
    parser.add_argument("--catalogue", default=os.path.join(here, "catalogue.json"))
    parser.add_argument("--port-base", type=int, default=0,
                        help="first of eight consecutive ports (search, queue, tvdb, api, opensubtitles, bucket, "
                             "scrape, control); 0 picks free ports")
    parser.add_argument("--ports-file", help="also write the start-up JSON here")
    parser.add_argument("--record", help="append every request here as one JSON line")
    parser.add_argument("--exit-on-eof", action="store_true", help="stop when standard input closes")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()

    with open(args.catalogue, encoding="utf-8") as f:
        state = State(json.load(f), args.record)
    Handler.state = state
    Handler.verbose = args.verbose
    servers = {}
    for i, name in enumerate(SERVICES + ["control"]):
        handler = type("Handler_" + name, (Handler,), {"service": name})
        port = args.port_base + i if args.port_base else 0
        server = Server(("127.0.0.1", port), handler)
        servers[name] = server
        state.bases[name] = "http://127.0.0.1:%d" % server.server_address[1]
        threading.Thread(target=server.serve_forever, daemon=True).start()

    ready = {"services": {n: state.bases[n] for n in SERVICES},
             "env": {var: state.bases[svc] for var, svc in ENV.items()},
             "control": state.bases["control"], "record": args.record, "pid": os.getpid()}
    line = json.dumps(ready)
    if args.ports_file:
        with open(args.ports_file + ".part", "w") as f:
            f.write(line + "\n")
        os.replace(args.ports_file + ".part", args.ports_file)
    print(line, flush=True)

    stop = threading.Event()

    def read_commands():
        for raw in sys.stdin:
            raw = raw.strip()
            if not raw:
                continue
            try:
                answer = state.command(json.loads(raw))
            except ValueError:
                answer = {"ok": False, "error": "not JSON"}
            print(json.dumps(answer, ensure_ascii=False), flush=True)
        if args.exit_on_eof:
            stop.set()

    threading.Thread(target=read_commands, daemon=True).start()
    try:
        while not stop.wait(0.5):
            pass
    except KeyboardInterrupt:
        pass
    # The servers' threads are daemons: leaving main ends them without waiting for their polling loops.
    state.release.set()
    shutil.rmtree(state.scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
