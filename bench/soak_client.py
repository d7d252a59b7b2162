#!/usr/bin/env python3
"""The soak's material and its guest crowd: short tagged tracks, lists and a settings file
("prepare"), then about 20 requests a second on loopback while the program plays, with a
per-minute record of its memory, descriptors, threads, answers and hand-overs ("run"). Two
phases can join the night: a flood (wrk on 20 connections from one address) and slow clients
(bodies trickled a byte at a time, big files read a kilobyte at a time), each measured by a
prober whose selects come from other addresses."""
import argparse
import concurrent.futures
import json
import math
import os
import shutil
import subprocess
import random
import re
import socket
import struct
import sys
import threading
import time
import urllib.parse
import wave
import zlib

RATE = 22050
FADE = 3  # seconds of fadeover in the settings file
BIG = 1 << 20  # bytes of the file the slow readers ask for
# Each address of 127/8 is this machine: the crowd's requests come from many of them, as guests'
# phones would; the flood comes from 127.0.0.1 (wrk takes no source address) and the slow
# clients from one address of their own.
SLOWPOKE = "127.0.0.9"


def guest_address(rnd):
    return f"127.0.{rnd.randint(1, 200)}.{rnd.randint(10, 250)}"


# ---------------------------------------------------------------- prepare

def id3v1(title, artist, album):
    def field(text, size):
        return text.encode("latin-1")[:size].ljust(size, b"\0")
    return b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + b"2026" + field("", 30) + b"\xff"


def write_track(path, seconds, freq, title, artist, album):
    # A whole number of hertz repeats every second, so one second is computed and repeated.
    step = 2 * math.pi * freq / RATE
    second = struct.pack(f"<{RATE}h", *(int(8000 * math.sin(step * i)) for i in range(RATE)))
    frames = second * seconds
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))
    # An ID3v1 tag after the RIFF data gives each row its own title, as a tagged MP3 would.
    with open(path, "ab") as f:
        f.write(id3v1(title, artist, album))


def write_list(path, rows):
    with open(path, "w", encoding="utf-8") as f:
        for i, (title, artist, seconds, file_name) in enumerate(rows):
            f.write(f"[{i}]\nStatus=ready\nTitle={title}\nArtist={artist}\nAlbum=Soak\nYear=2026\n"
                    f"Time=0:{seconds:02d}\nSrc=DJ\nFileName={file_name}\n")


def png_pixel():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + b"\xe0\x36\x7a" * 16 for _ in range(16))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def prepare(args):
    rnd = random.Random(7)
    work = os.path.abspath(args.work)
    music = os.path.join(work, "music")
    os.makedirs(music, exist_ok=True)
    lists = {}
    for kind, count in (("queue", args.queue), ("pool", args.pool), ("preset", args.presets)):
        rows = []
        for n in range(1, count + 1):
            seconds = rnd.randint(10, 20)
            # The length travels in the title, so the watcher knows when the next hand-over is due.
            title = f"{kind} {n:03d} {seconds}s"
            path = os.path.join(music, f"{kind}_{n:03d}.wav")
            if not os.path.exists(path):
                write_track(path, seconds, 220 + 7 * n, title, f"Soak {kind}", "Soak")
            rows.append((title, f"Soak {kind}", seconds, path))
        lists[kind] = rows
        write_list(os.path.join(work, f"{kind}.lst"), rows)
    web = os.path.join(work, "web")
    here = os.path.dirname(os.path.abspath(__file__))
    resources = os.path.join(here, "..", "resources")
    for part in ("basics", "htdocs", "htdocs/tool"):
        os.makedirs(os.path.join(web, part), exist_ok=True)
    for part in ("basics", "htdocs", "htdocs/tool"):
        src = os.path.join(resources, part)
        for name in os.listdir(src):
            if os.path.isfile(os.path.join(src, name)):
                with open(os.path.join(src, name), "rb") as a, open(os.path.join(web, part, name), "wb") as b:
                    b.write(a.read())
    with open(os.path.join(web, "htdocs", "soak.png"), "wb") as f:
        f.write(png_pixel())
    with open(os.path.join(web, "htdocs", "big.htm"), "wb") as f:
        f.write(b"<p>" + b"x" * (BIG - 8) + b"</p>\n")
    settings = {
        "fade": FADE, "ffsec": 6, "playfile": os.path.join(work, "queue.lst"),
        "webfile": os.path.join(work, "pool.lst"), "preselectfile": os.path.join(work, "preset.lst"),
        "htmlpath": web, "doBlock": 1, "blocknumber": 4, "rb_finish": 0, "rb_repeat": 1,
        "webselect": 1, "rb_web_first": 0, "rb_web_mix_preselect": 1, "preselect": 1,
        "rb_preset_1by1": 0, "rb_preset_random": 1,
    }
    with open(os.path.join(work, "soak.stg"), "w", encoding="utf-8") as f:
        f.write("[standard]\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    with open(os.path.join(work, "pool.json"), "w") as f:
        json.dump([row[3] for row in lists["pool"]], f)


# ---------------------------------------------------------------- run

class Counters:
    def __init__(self):
        self.lock = threading.Lock()
        self.now = {}
        self.total = {}

    def add(self, key, n=1):
        with self.lock:
            self.now[key] = self.now.get(key, 0) + n
            self.total[key] = self.total.get(key, 0) + n

    def take(self):
        with self.lock:
            minute, self.now = self.now, {}
            return minute, dict(self.total)


def exchange(port, data, timeout, trickle=None, half_close=False, source="127.0.0.1"):
    """Sends data (or trickles the pieces of `trickle`, one a second) and reads to the end.
    Returns (answer bytes, seconds until the server closed); answer None when the server never
    closed within the timeout."""
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout, source_address=(source, 0)) as s:
        try:
            if trickle:
                for piece in trickle:
                    s.sendall(piece)
                    time.sleep(1)
            else:
                s.sendall(data)
            if half_close:
                s.shutdown(socket.SHUT_WR)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the server cut us off while we were still sending
        chunks = []
        s.settimeout(max(0.1, timeout - (time.monotonic() - start)))
        try:
            while True:
                got = s.recv(65536)
                if not got:
                    break
                chunks.append(got)
        except ConnectionResetError:
            pass
        except socket.timeout:
            return None, time.monotonic() - start
    return b"".join(chunks), time.monotonic() - start


def get(path):
    return f"GET {path} HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: soak\r\n\r\n".encode()


class Crowd:
    def __init__(self, args, counters):
        self.args = args
        self.c = counters
        self.rnd = random.Random(11)
        with open(os.path.join(args.work, "pool.json")) as f:
            self.pool = json.load(f)
        self.pages = []
        self.problems = []

    def note(self, text):
        if len(self.problems) < 50:
            self.problems.append(f"{time.strftime('%H:%M:%S')} {text}")

    def refresh_pages(self):
        try:
            with open(os.path.join(self.args.work, "web", "htdocs", "tool", "guestpool.html"), "rb") as f:
                text = f.read().decode("utf-8", "replace")
            self.pages = re.findall(r'href="(/[^"]+\.htm)"', text) or self.pages
        except OSError:
            pass

    def classify(self, kind, answer, seconds):
        if answer is None:
            self.c.add("unanswered")
            self.note(f"{kind}: no answer and no close within {seconds:.1f} s")
            return
        if not answer:
            self.c.add("closed")  # closed without an answer
            if kind not in ("slow", "malformed", "oversized"):
                self.note(f"{kind}: closed without an answer")
            if kind == "slow":
                self.c.add("slow_cut_s", int(round(seconds)))
            return
        head = answer.split(b"\r\n", 1)[0]
        if head.startswith(b"HTTP/1.0 200"):
            self.c.add("ok200")
        elif head.startswith(b"HTTP/1.0 404"):
            self.c.add("nf404")
        else:
            self.c.add("other")
            self.note(f"{kind}: answer {head[:60]!r}")
        if b"root:" in answer:
            self.c.add("leak")
            self.note(f"{kind}: a file outside the document folder was served")
        if kind == "select" and head.startswith(b"HTTP/1.0 200"):
            words = re.findall(rb"<TR><TD>([^<]*)</TD></TR>", answer)
            word = words[-1].decode("utf-8", "replace") if words else "?"
            self.c.add("sel_" + (word if word in ("ready", "chosen", "blocked", "error") else "other"))
        if kind in ("page", "image") and not head.startswith(b"HTTP/1.0 200"):
            self.note(f"{kind}: {head[:40]!r}")

    def one(self, kind):
        port, rnd = self.args.port, self.rnd
        timeout = 20
        trickle = None
        if kind == "page":
            choice = rnd.random()
            if choice < 0.35 or not self.pages:
                data = get("/index.html")
            elif choice < 0.55:
                data = get("/tool/guestpool.html")
            else:
                data = get(rnd.choice(self.pages))
        elif kind == "image":
            data = get("/soak.png")
        elif kind == "select":
            path = rnd.choice(self.pool)
            data = get("/tool/select.htm/?" + urllib.parse.quote(path, safe="/"))
        elif kind == "missing":
            data = get(f"/nothing-{rnd.randint(1, 10**6)}.htm")
        elif kind == "malformed":
            data = rnd.choice([
                b"garbage without any protocol\r\n\r\n",
                b"\x00\xff\xfe\x80binary\r\n\r\n",
                get("/../../../../etc/passwd"),
                get("/%2e%2e/%2e%2e/%2e%2e/etc/passwd"),
                get("/tool/select.htm/?/../../etc/passwd"),
                b"GET /index.html HTTP/1.0\n\n",  # bare LF: no line ends; the peer's close ends it
                b"GET",
            ])
        elif kind == "oversized":
            data = b"GET /index.html HTTP/1.0\r\n" + b"X-Pad: " + b"a" * 9000 + b"\r\n\r\n"
        elif kind == "slow":
            trickle = [b"GET /index.html HTTP/1.0\r\n"] + [b"X-Slow: %d\r\n" % i for i in range(11)] + [b"\r\n"]
            data, timeout = None, 20
        self.c.add("sent")
        self.c.add("kind_" + kind)
        try:
            # Malformed heads end with our side closed, as a broken client's would; the slow one
            # is left to the server's 10 s cut.
            answer, seconds = exchange(port, data, timeout, trickle, half_close=(kind == "malformed"),
                                       source=guest_address(rnd))
        except ConnectionRefusedError:
            self.c.add("refused_connect")
            self.note(f"{kind}: connection refused")
            return
        except OSError as e:
            self.c.add("error")
            self.note(f"{kind}: {e}")
            return
        if kind not in ("slow", "oversized"):
            self.c.add("ms_total", int(seconds * 1000))
            self.c.add("timed")
        self.classify(kind, answer, seconds)


def percentile(values, p):
    if not values:
        return None
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


class Prober(threading.Thread):
    """Selects from guests' addresses, four a second, while a phase runs: pool tracks (admitted
    or refused, with the work of a select) and a track that is not in the pool (refused at
    once: its time is the user-interface thread's backlog plus a little)."""

    def __init__(self, port, pool, seconds):
        super().__init__(daemon=True)
        self.port, self.pool, self.seconds = port, pool, seconds
        self.select_ms, self.backlog_ms, self.unanswered = [], [], 0
        self.rnd = random.Random(17)

    def run(self):
        end = time.monotonic() + self.seconds
        n = 0
        while time.monotonic() < end:
            n += 1
            path = self.rnd.choice(self.pool) if n % 2 else "/nowhere/not-in-the-pool.mp3"
            data = get("/tool/select.htm/?" + urllib.parse.quote(path, safe="/"))
            try:
                answer, seconds = exchange(self.port, data, 20, source=guest_address(self.rnd))
            except OSError:
                answer, seconds = None, 20
            if not answer or not answer.startswith(b"HTTP/1.0 200"):
                self.unanswered += 1
            else:
                (self.select_ms if n % 2 else self.backlog_ms).append(seconds * 1000)
            time.sleep(max(0.0, 0.25 - seconds))

    def figures(self):
        out = {"selects": len(self.select_ms) + len(self.backlog_ms), "unanswered": self.unanswered}
        for name, values in (("select_ms", self.select_ms), ("backlog_ms", self.backlog_ms)):
            if values:
                out[name] = {"median": round(percentile(values, 50), 1), "p95": round(percentile(values, 95), 1),
                             "max": round(max(values), 1)}
        return out


class Phase(threading.Thread):
    """One phase of trouble at a set time: the flood or the slow clients, with a prober and the
    program's memory before, at its peak during, and a minute after."""

    def __init__(self, kind, args, pool, start_after):
        super().__init__(daemon=True)
        self.kind, self.args, self.pool, self.start_after = kind, args, pool, start_after
        self.seconds = args.flood if kind == "flood" else args.slow
        self.result = {"phase": kind, "seconds": self.seconds}

    def run(self):
        time.sleep(self.start_after)
        before = proc_sample(self.args.pid)
        prober = Prober(self.args.port, self.pool, self.seconds)
        peak = {"rss": before["VmRSS"]}
        sampling = True

        def sample():
            while sampling:
                try:
                    peak["rss"] = max(peak["rss"], proc_sample(self.args.pid)["VmRSS"])
                except OSError:
                    return
                time.sleep(0.5)
        sampler = threading.Thread(target=sample, daemon=True)
        sampler.start()
        prober.start()
        if self.kind == "flood":
            self.result.update(self.flood())
        else:
            self.result.update(self.slow())
        prober.join()
        sampling = False
        sampler.join()
        self.result.update(prober.figures())
        self.result["rss_kB_before"] = before["VmRSS"]
        self.result["rss_kB_peak"] = peak["rss"]
        time.sleep(60)
        try:
            self.result["rss_kB_minute_after"] = proc_sample(self.args.pid)["VmRSS"]
        except OSError:
            pass

    def flood(self):
        """wrk on 20 connections from one address, one request per connection, as fast as it goes."""
        if not shutil.which("wrk"):
            return {"error": "wrk is not installed"}
        # wrk takes no source address; the flood comes from 127.0.0.1, which no other guest uses.
        out = subprocess.run(["wrk", "-t2", "-c20", f"-d{self.seconds}s", "-H", "Connection: close",
                              f"http://127.0.0.1:{self.args.port}/index.html"],
                             capture_output=True, text=True).stdout
        figures = {"wrk": " ".join(out.split())[:400]}
        m = re.search(r"Requests/sec:\s+([\d.]+)", out)
        if m:
            figures["flood_req_per_s"] = float(m.group(1))
        m = re.search(r"(\d+) requests in", out)
        if m:
            figures["flood_requests"] = int(m.group(1))
        return figures

    def slow(self):
        """Ten bodies trickled a byte every 1.5 s and ten readers of a 1 MiB file taking 1 KiB a
        second, all from one address, each reconnecting when the server lets go. A connection's
        time counts from its connect, so it includes its wait for one of its guest's workers."""
        held = {"body": [], "reader": [], "body_worker": [], "reader_worker": []}
        end = time.monotonic() + self.seconds

        def note(kind, start, served):
            held[kind].append(time.monotonic() - start)
            if served is not None:  # from its answer's first byte: the time a worker held it
                held[kind + "_worker"].append(time.monotonic() - served)

        def body():
            while time.monotonic() < end:
                start, served = time.monotonic(), None
                try:
                    with socket.create_connection(("127.0.0.1", self.args.port), timeout=5,
                                                  source_address=(SLOWPOKE, 0)) as s:
                        s.settimeout(None)
                        s.sendall(b"POST /index.html HTTP/1.1\r\nContent-Length: 100000\r\n\r\na")
                        while time.monotonic() - start < 120:
                            time.sleep(1.5)
                            if served is None:
                                try:
                                    if s.recv(65536, socket.MSG_DONTWAIT):
                                        served = time.monotonic()
                                except BlockingIOError:
                                    pass
                            s.sendall(b"a")
                except OSError:
                    pass  # the server let go: the next send found the connection closed
                note("body", start, served)

        def reader():
            while time.monotonic() < end:
                start, served = time.monotonic(), None
                s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                try:
                    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                    s.bind((SLOWPOKE, 0))
                    s.connect(("127.0.0.1", self.args.port))
                    s.sendall(get("/big.htm"))
                    while time.monotonic() - start < 300:
                        if not s.recv(1024):
                            break
                        served = served or time.monotonic()
                        time.sleep(1)
                except OSError:
                    pass
                finally:
                    s.close()
                note("reader", start, served)

        threads = [threading.Thread(target=body, daemon=True) for _ in range(10)]
        threads += [threading.Thread(target=reader, daemon=True) for _ in range(10)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        return {f"{k}_held_s": {"n": len(v), "median": round(percentile(v, 50), 1), "max": round(max(v), 1)}
                for k, v in held.items() if v}


def proc_sample(pid):
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM", "Threads"):
                out[key] = int(value.split()[0])
    out["fds"] = len(os.listdir(f"/proc/{pid}/fd"))
    return out


class Watcher(threading.Thread):
    """Follows the now-playing page: each change of the "now" row is a hand-over. Checks that it
    came when the previous track's fade window opened and that it went to the next row."""

    def __init__(self, index_path, counters, crowd):
        super().__init__(daemon=True)
        self.path, self.c, self.crowd = index_path, counters, crowd
        self.stop = False
        self.rows_seen = 0
        self.intervals = []

    def snapshot(self):
        try:
            with open(self.path, "rb") as f:
                text = f.read().decode("utf-8", "replace")
        except OSError:
            return None
        rows = re.findall(r'<TR class="(done|now|soon)"><TD>"([^"]*)"', text)
        return rows if rows else None

    def run(self):
        last_now, last_rows, since = None, None, None
        while not self.stop:
            rows = self.snapshot()
            if rows:
                self.rows_seen = len(rows)
                now = [t for cls, t in rows if cls == "now"]
                now = now[0] if now else None
                if now and now != last_now:
                    t = time.monotonic()
                    if last_now is not None:
                        self.c.add("handovers")
                        titles = [title for _, title in last_rows]
                        if last_now in titles:
                            i = titles.index(last_now)
                            follower = titles[i + 1] if i + 1 < len(titles) else titles[0]
                            # A row appended after the last look may be the follower.
                            if now != follower and i + 1 < len(titles):
                                self.c.add("skipped")
                                self.crowd.note(f"hand-over {last_now!r} -> {now!r}, expected {follower!r}")
                        m = re.search(r" (\d+)s$", last_now)
                        if m and since is not None:
                            due = int(m.group(1)) - FADE
                            took = t - since
                            self.intervals.append(took - due)
                            if abs(took - due) > 2.0:
                                self.c.add("late")
                                self.crowd.note(f"hand-over after {last_now!r} took {took:.1f} s, due {due} s")
                    # The first row seen was already playing: its start is unknown.
                    last_now, since = now, (t if last_now is not None else None)
                last_rows = rows
            time.sleep(0.2)


def run(args):
    counters = Counters()
    crowd = Crowd(args, counters)
    crowd.refresh_pages()
    watcher = Watcher(os.path.join(args.work, "web", "htdocs", "index.html"), counters, crowd)
    watcher.start()
    phases = []
    if args.flood > 0:
        phases.append(Phase("flood", args, crowd.pool, args.flood_at * 60))
    if args.slow > 0:
        phases.append(Phase("slow", args, crowd.pool, args.slow_at * 60))
    for phase in phases:
        phase.start()
    kinds = ["page"] * 8 + ["image"] * 4 + ["select"] * 4 + ["missing"] * 2 + ["malformed"] * 2
    rnd = random.Random(5)
    pool = concurrent.futures.ThreadPoolExecutor(max_workers=8)
    slow_pool = concurrent.futures.ThreadPoolExecutor(max_workers=3)
    start = time.monotonic()
    end = start + args.minutes * 60
    next_minute = start + 60
    minute = 0
    table = []
    out_csv = open(args.csv, "w") if args.csv else None
    cols = ["min", "rss_kB", "hwm_kB", "fds", "threads", "sent", "ok200", "nf404", "closed", "unanswered",
            "sel_ready", "sel_chosen", "sel_blocked", "sel_error", "handovers", "queue_rows", "avg_ms"]
    header = " | ".join(cols)
    print("| " + header + " |")
    print("|" + "---|" * len(cols))
    if out_csv:
        out_csv.write(",".join(cols) + "\n")
    first = proc_sample(args.pid)
    print(f"<!-- at start: {first} -->")
    tick = 1.0 / args.rate
    n = 0
    backlog = 0
    while time.monotonic() < end:
        due = start + n * tick
        wait = due - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        n += 1
        if pool._work_queue.qsize() > 40:  # the program falls behind: count it, do not pile up
            backlog += 1
            counters.add("backlog_skip")
        else:
            pool.submit(crowd.one, rnd.choice(kinds))
        if n % (args.rate * 20) == 0:
            slow_pool.submit(crowd.one, "slow")
        if n % (args.rate * 45) == 0:
            slow_pool.submit(crowd.one, "oversized")
        if time.monotonic() >= next_minute:
            minute += 1
            next_minute += 60
            crowd.refresh_pages()
            try:
                p = proc_sample(args.pid)
            except OSError:
                print("the program has gone", file=sys.stderr)
                break
            m, total = counters.take()
            avg = m.get("ms_total", 0) / max(1, m.get("timed", 0))
            row = [minute, p["VmRSS"], p["VmHWM"], p["fds"], p["Threads"], m.get("sent", 0), m.get("ok200", 0),
                   m.get("nf404", 0), m.get("closed", 0), m.get("unanswered", 0) + m.get("error", 0)
                   + m.get("refused_connect", 0), m.get("sel_ready", 0), m.get("sel_chosen", 0),
                   m.get("sel_blocked", 0), m.get("sel_error", 0), m.get("handovers", 0), watcher.rows_seen,
                   f"{avg:.0f}"]
            table.append(row)
            print("| " + " | ".join(str(x) for x in row) + " |", flush=True)
            if out_csv:
                out_csv.write(",".join(str(x) for x in row) + "\n")
                out_csv.flush()
    pool.shutdown(wait=True)
    slow_pool.shutdown(wait=True)
    for phase in phases:
        phase.join()
        print("<!-- phase " + json.dumps(phase.result, sort_keys=True) + " -->", flush=True)
    watcher.stop = True
    watcher.join()
    _, total = counters.take()
    intervals = watcher.intervals
    summary = {
        "minutes": minute, "totals": total,
        "handover_offset_s": {"min": round(min(intervals), 2), "max": round(max(intervals), 2)} if intervals else None,
        "problems": crowd.problems,
        "phases": [phase.result for phase in phases],
    }
    print("<!-- summary " + json.dumps(summary, sort_keys=True) + " -->")
    if args.summary:
        with open(args.summary, "w") as f:
            json.dump(summary, f, indent=1, sort_keys=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    sub = ap.add_subparsers(dest="cmd", required=True)
    p = sub.add_parser("prepare")
    p.add_argument("--work", required=True)
    p.add_argument("--queue", type=int, default=6)
    p.add_argument("--pool", type=int, default=40)
    p.add_argument("--presets", type=int, default=150)
    r = sub.add_parser("run")
    r.add_argument("--work", required=True)
    r.add_argument("--pid", type=int, required=True)
    r.add_argument("--port", type=int, default=7777)
    r.add_argument("--minutes", type=float, default=16)
    r.add_argument("--rate", type=int, default=20)
    r.add_argument("--csv")
    r.add_argument("--summary")
    r.add_argument("--flood", type=int, default=0, help="seconds of wrk flood (0: none)")
    r.add_argument("--flood-at", type=float, default=6, help="minute at which the flood starts")
    r.add_argument("--slow", type=int, default=0, help="seconds of slow clients (0: none)")
    r.add_argument("--slow-at", type=float, default=10, help="minute at which the slow clients come")
    args = ap.parse_args()
    prepare(args) if args.cmd == "prepare" else run(args)


if __name__ == "__main__":
    main()
