"""The program's read-only web server under Wine on the simulator with known DC inputs, checked by real clients:
curl for the values, limits and protocol; a real Prometheus scraping every second; headless Chromium rendering the
page; hostile clients refused while a recording runs without a gap; no port open when the server is off."""
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import time
import urllib.parse
import urllib.request

BUILD, SOURCE, EXPORT = map(os.path.abspath, sys.argv[1:4])
WINE_RUN, CLOSE = os.path.join(SOURCE, "scripts", "wine-run.sh"), os.path.join(BUILD, "skalenor-close.exe")
WORK = os.path.join(BUILD, "web-test")
START, failures = time.time(), []


def expect(condition, what):
    print("%6.1f s %s %s" % (time.time() - START, "ok  " if condition else "FAIL", what), flush=True)
    if not condition:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wine(*args):
    return subprocess.run([WINE_RUN, *args], cwd=WORK, capture_output=True, timeout=120).returncode


def wait_for(check, seconds):
    for _ in range(int(seconds * 2)):
        try:
            if result := check():
                return result
        except (OSError, ValueError, KeyError):
            pass
        time.sleep(0.5)
    return None


# Channel 1: 2 x 1.25 V + 0.5 = 3. Channel 2: -2, below its limits 0..5: output 3 (bit 2 of the 8-bit word).
# Channel 3: 4 less its reference 1 shown as 3. Channel 32 (panel 9): a ramp, recorded every 100 ms.
def start_program(port):
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    cfg = ["FreqStream = 1000", "Ftime = 100", "nDO = 8", "TimeType = 0", "CheckLabel = 0", "WebPort = %d" % port,
           "WebAddress = 127.0.0.1", "rWnd = 0,0,0,0", "rPlot = 0,0,0,0, 0,0,0,0, 0,0,0,0, 0,0,0,0"]
    shown = {1: 1, 2: 2, 3: 3, 9: 32}
    special = {1: ("2|0.5|В|Напр\"1", "1e+10|1e+10|1e+10", 0), 2: ("1|0|В|Ток", "0|5|1e+10", 3),
               3: ("1|0|кПа|Давл", "1e+10|1e+10|1", 0)}
    for n in range(1, 33):
        kb, limits, npk = special.get(n, ("1|0|В|к%d" % n, "1e+10|1e+10|1e+10", 0))
        cfg += ["%dChannel = %d" % (n, shown.get(n, 0)), "K%dB = %s" % (n, kb), "MinMaxRef%02d = %s" % (n, limits),
                "NPK%02d = %d" % (n, npk), "FlagRec%02d = %d" % (n, n == 32), "ACmode%02d = 0" % n,
                "Interval%02d = 200" % n, "Kadc%02d = 0" % n]
    open(os.path.join(WORK, "skalenor.cfg"), "wb").write(("\r\n".join(cfg) + "\r\n").encode("cp1251"))
    sim = os.path.join(WORK, "kvsim.cfg")
    open(sim, "w").write("board = KV320\nch1 = dc 1.25\nch2 = dc -2\nch3 = dc 4\nch32 = ramp -8 8 400\n")
    return subprocess.Popen([WINE_RUN, os.path.join(BUILD, "skalenor.exe")], cwd=WORK,
                            env=dict(os.environ, KVSIM_CONFIG=sim), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def close_program(process):
    return wine(CLOSE), process.wait(60)


# Ports in LISTEN state held by the program: by its process or by its prefix's wineserver, which keeps the sockets.
def listening_ports():
    prefix = os.environ.get("WINEPREFIX") or os.path.join(os.environ.get("SKALENOR_BUILD", BUILD), "wineprefix")
    marker, inodes = ("KVSIM_CONFIG=" + os.path.join(WORK, "kvsim.cfg")).encode(), set()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            env = open("/proc/%s/environ" % pid, "rb").read().split(b"\0")
            server = b"wineserver" in open("/proc/%s/cmdline" % pid, "rb").read()
            if marker in env or (server and ("WINEPREFIX=" + prefix).encode() in env):
                inodes |= {os.readlink("/proc/%s/fd/%s" % (pid, fd))[8:-1] for fd in os.listdir("/proc/%s/fd" % pid)}
        except OSError:
            continue
    rows = [r.split() for t in ("/proc/net/tcp", "/proc/net/tcp6") for r in open(t).read().splitlines()[1:]]
    return {int(r[1].split(":")[1], 16) for r in rows if r[3] == "0A" and r[9] in inodes}


def values(port):
    return json.loads(urllib.request.urlopen("http://127.0.0.1:%d/api/values" % port, timeout=5).read())


# Bytes sent on a fresh connection; what comes back until the server closes it (3 s at most).
def raw(port, data):
    got, s = b"", socket.create_connection(("127.0.0.1", port), timeout=3)
    s.sendall(data)
    try:
        while chunk := s.recv(65536):
            got += chunk
    except (socket.timeout, ConnectionResetError):
        pass
    s.close()
    return got


def curl(*args):
    return subprocess.run(["curl", "-s", "--max-time", "10", *args], capture_output=True, text=True)


def check_values_and_metrics(port):
    # The output follows the reading at the panel's next refresh (against the limits as they stood).
    shown = lambda d: d if d["output_word"] and all(c["state"] != "none" for c in d["channels"]) else None
    data = wait_for(lambda: shown(values(port)), 60)
    expect(data, "the readings of the panels and the output they raise")
    if not data:
        return
    ch = {c["channel"]: c for c in data["channels"]}
    expect([c["channel"] for c in data["channels"]] == [1, 2, 3, 32] and ch[32]["panel"] == 9 and (
        data["board"], data["rate"], data["output_bits"], data["output_word"]) == ("KV320", 1000, 8, 4),
           "panel order, board, rate, output word: bit 2")
    expect(abs(ch[1]["value"] - 3) < 1e-4 and (ch[1]["name"], ch[1]["unit"], ch[1]["state"], ch[1]["shown"]["reading"])
           == ('Напр"1', "В", "normal", "3.0000"), "channel 1 is 2 x 1.25 + 0.5: %r" % ch[1])
    expect(abs(ch[2]["value"] + 2) < 1e-4 and (ch[2]["low"], ch[2]["high"], ch[2]["out_of_range"], ch[2]["output"],
                                               ch[2]["output_on"]) == (0, 5, True, 3, True),
           "channel 2 below its limits raises output 3: %r" % ch[2])
    expect((ch[3]["state"], ch[3]["ref"], ch[3]["shown"]["reading"], ch[3]["shown"]["absolute"]) ==
           ("reference", 1, "3.0000", "4.0000"), "channel 3 relative to its reference: %r" % ch[3])

    text = curl("-D", "-", "http://127.0.0.1:%d/metrics" % port).stdout
    for line, present in [('skalenor_channel_value{channel="1",name="Напр\\"1",unit="В"} 3\n', True),
                          ('skalenor_channel_out_of_range{channel="2",name="Ток",unit="В"} 1\n', True),
                          ('skalenor_channel_limit_low{channel="2",name="Ток",unit="В"} 0\n', True),
                          ('skalenor_channel_limit_high{channel="2",name="Ток",unit="В"} 5\n', True),
                          ('skalenor_channel_limit_low{channel="1"', False), ("skalenor_output_word 4\n", True),
                          ('skalenor_info{version="', True), ("skalenor_blocks_lost_total 0\n", True),
                          ("Content-Type: text/plain; version=0.0.4; charset=utf-8", True)]:
        expect((line in text) == present, "metrics %s %s" % ("hold" if present else "lack", line.strip()))

    # The protocol as curl speaks it: HEAD, wrong paths and methods, one connection for two requests.
    expect(re.search(r"^HTTP/1.1 200 .*^Content-Length: [1-9]", curl("-I", "http://127.0.0.1:%d/" % port).stdout,
                     re.S | re.M), "HEAD / gives the length")
    url = "http://127.0.0.1:%d" % port
    for args, status in [([url + "/etc/passwd"], 404), (["--path-as-is", url + "/../"], 404),
                         (["-X", "POST", "-d", "x", url + "/api/values"], 405), (["-X", "PUT", url + "/metrics"], 405)]:
        expect(curl("-o", "/dev/null", "-w", "%{http_code}", *args).stdout == str(status), "%r gives %d" % (args, status))
    two = curl("-v", "-o", "/dev/null", "-o", "/dev/null", url + "/metrics", url + "/api/values")
    expect("Re-using existing connection" in two.stderr, "keep-alive: the second request on the same connection")


def check_prometheus(port):
    folder, web = os.path.join(WORK, "prometheus"), free_port()
    os.makedirs(folder)
    config = os.path.join(folder, "prometheus.yml")
    open(config, "w").write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\nscrape_configs:\n"
                            "  - job_name: skalenor\n    static_configs:\n      - targets: ['127.0.0.1:%d']\n" % port)
    prometheus = subprocess.Popen(["prometheus", "--config.file=" + config, "--storage.tsdb.path=" + folder + "/data",
                                   "--web.listen-address=127.0.0.1:%d" % web], stdout=subprocess.DEVNULL,
                                  stderr=open(os.path.join(folder, "log"), "w"))

    def query(q):
        url = "http://127.0.0.1:%d/api/v1/query?query=%s" % (web, urllib.parse.quote(q))
        result = json.loads(urllib.request.urlopen(url, timeout=5).read())["data"]["result"]
        return float(result[0]["value"][1]) if result else None

    try:
        got = wait_for(lambda: query('skalenor_channel_value{channel="1"}'), 60)
        expect(got is not None and abs(got - 3) < 1e-4, "Prometheus: channel 1 is 3 (%r)" % got)
        time.sleep(5)
        samples = query("count_over_time(skalenor_ticks_total[5s])")
        expect(samples is not None and samples >= 4, "Prometheus scrapes every second (%r in 5 s)" % samples)
    finally:
        prometheus.terminate()
        prometheus.wait(30)


def check_page(port):
    profile = os.path.join(WORK, "chromium-profile")
    dom = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                          "--disable-background-networking", "--disable-component-update", "--disable-sync",
                          "--user-data-dir=" + profile, "--virtual-time-budget=4000", "--dump-dom",
                          "http://127.0.0.1:%d/" % port], capture_output=True, text=True, timeout=120).stdout
    # Each tile's fields as rendered: {channel: {field: (text, classes)}}.
    tiles = {n: {(c.split() + [""])[c.startswith("field ")]: (t, c) for c, t in
                 re.findall(r'<span class="([^"]*)">([^<]*)</span>', body)}
             for n, body in re.findall(r'<div class="tile" data-channel="(\d+)"[^>]*>(.*?)</div>', dom)}
    expect(sorted(tiles) == ["1", "2", "3", "32"], "tiles of the shown channels: %r" % sorted(tiles))
    want = {"1": {"reading": ("3.0000", "reading normal"), "name": ('Напр"1', "name"), "unit": ("В", "unit")},
            "2": {"reading": ("-2.0000", "reading out_of_range"), "out": ("03", "out on"),
                  "lo": (".0", "field lo on"), "hi": ("5.0000", "field hi on")},
            "3": {"reading": ("3.0000", "reading reference"), "ref": ("1.0000", "field ref on"),
                  "abs": ("4.0000", "field abs on"), "unit": ("кПа", "unit")}}
    for n, fields in want.items():
        got = {k: tiles.get(n, {}).get(k) for k in fields}
        expect(got == fields, "tile %s shows %r" % (n, got))


# Each refused while the recording runs; the server answers normally afterwards.
def check_hostile_clients(port):
    for data, status, what in [(b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 400, "a TLS hello"),
                               (b"GET / HTTP/1.1\r\nHost: x\r\nX: " + b"a" * 10000 + b"\r\n\r\n", 431, "an oversized header")]:
        expect(raw(port, data).startswith(b"HTTP/1.1 %d " % status), "%s: %d" % (what, status))
    with socket.create_connection(("127.0.0.1", port), timeout=1) as s:  # a header line a second, never the end
        start, answer = time.time(), b""
        s.sendall(b"GET / HTTP/1.1\r\n")
        while time.time() - start < 15 and not answer:
            try:
                s.sendall(b"X-Slow: 1\r\n")
                answer = s.recv(4096)
            except socket.timeout:
                continue
        took = time.time() - start
    expect(answer.startswith(b"HTTP/1.1 408 ") and 4 <= took <= 9, "a never-ending request: 408 after %.1f s" % took)
    idle = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(16)]
    time.sleep(1)
    extra = raw(port, b"GET /api/values HTTP/1.1\r\nHost: x\r\n\r\n")
    expect(extra == b"" or extra.startswith(b"HTTP/1.1 503 "), "a 17th connection refused: %r" % extra[:40])
    for s in idle:
        s.close()
    after = wait_for(lambda: values(port), 10)
    expect(after and after["recording"] and after["blocks_lost"] == 0, "answers afterwards; recording, nothing lost")


# "Каналы..." and its record button (skalenor-close says 2 while no such button shows yet).
def record(port, on):
    wine(CLOSE, "--command", "32771")
    done = wait_for(lambda: wine(CLOSE, "--click", "1044") == 0, 20) and wait_for(
        lambda: values(port)["recording"] == on or None, 10)
    expect(done, "the recording %s" % ("starts" if on else "stops"))
    return done


def check_recording_has_no_gap():
    data = os.path.join(WORK, "Data")
    qmr = [f for f in os.listdir(data) if f.endswith(".qmr")] if os.path.isdir(data) else []
    expect(len(qmr) == 1, "one recording: %r" % qmr)
    if len(qmr) != 1:
        return
    z = lambda path: "Z:" + path.replace("/", "\\")
    wine(EXPORT, z(os.path.join(data, qmr[0])), z(os.path.join(WORK, "rec.csv")))
    rows = [l.split(",") for l in open(os.path.join(WORK, "rec.csv"), encoding="utf-8-sig").read().splitlines()]
    col = next(i for i, h in enumerate(rows[0]) if h.startswith("32:"))
    ramp = [float(r[col]) for r in rows[1:]]
    step = 16.0 / 400 * 0.1  # the ramp's volts per 100 ms row
    bad = [i for i, (a, b) in enumerate(zip(ramp[1:], ramp[2:])) if abs(b - a - step) > 0.25 * step]
    expect(len(ramp) > 60 and not bad, "recording: %d rows, steps off at %r" % (len(ramp), bad[:3]))


port = free_port()
program = start_program(port)
try:
    check_values_and_metrics(port)
    expect(listening_ports() == {port}, "the program listens on its port only: %r" % listening_ports())
    check_prometheus(port)
    check_page(port)
    if record(port, True):
        check_hostile_clients(port)
        record(port, False)
finally:
    expect(close_program(program) == (0, 0), "the program closes cleanly")
check_recording_has_no_gap()

program = start_program(0)  # off: no port open
try:
    time.sleep(20)
    expect(program.poll() is None and listening_ports() == set(), "running, no port open with the server off")
finally:
    close_program(program)
print("web test: %d failures" % len(failures))
sys.exit(1 if failures else 0)
