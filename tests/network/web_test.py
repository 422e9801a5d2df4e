"""The program's read-only web server under Wine on the simulator with known DC inputs, checked by real clients:
curl for the values, the limits and the protocol; a real Prometheus scraping every second; headless Chromium
rendering the page; hostile clients refused while a recording runs without a gap; no port open when it is off."""
import html.parser
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
WINE_RUN = os.path.join(SOURCE, "scripts", "wine-run.sh")
WORK = os.path.join(BUILD, "web-test")
failures = []
START = time.time()


def expect(condition, what):
    print("%6.1f s %s %s" % (time.time() - START, "ok  " if condition else "FAIL", what), flush=True)
    if not condition:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wine(*args, **kw):
    return subprocess.run([WINE_RUN, *args], cwd=WORK, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, **kw)


# DC volts at the inputs, K and B, limits; the values and readings they must give.
# Channel 1: 2 x 1.25 + 0.5 = 3. Channel 2: -2, below its limits 0..5, output 3 raised (bit 2 of the 8-bit word).
# Channel 3: 4 less its reference 1 shown as 3. Channel 32: a ramp, recorded every 100 ms.
def configuration(port):
    lines = ["FreqStream = 1000", "Ftime = 100", "nDO = 8", "TimeType = 0", "CheckLabel = 0",
             "WebPort = %d" % port, "WebAddress = 127.0.0.1", "rWnd = 0,0,0,0",
             "rPlot = 0,0,0,0, 0,0,0,0, 0,0,0,0, 0,0,0,0"]
    shown = {1: 1, 2: 2, 3: 3, 9: 32}  # panel position: channel (position 9 opens the second column)
    lines += ["%dChannel = %d" % (p, shown.get(p, 0)) for p in range(1, 33)]
    special = {1: ("2|0.5|В|Напр\"1", "1e+10|1e+10|1e+10", 0), 2: ("1|0|В|Ток", "0|5|1e+10", 3),
               3: ("1|0|кПа|Давл", "1e+10|1e+10|1", 0)}
    for n in range(1, 33):
        kb, limits, npk = special.get(n, ("1|0|В|к%d" % n, "1e+10|1e+10|1e+10", 0))
        lines += ["K%dB = %s" % (n, kb), "MinMaxRef%02d = %s" % (n, limits), "NPK%02d = %d" % (n, npk),
                  "FlagRec%02d = %d" % (n, n == 32), "ACmode%02d = 0" % n, "Interval%02d = 200" % n,
                  "Kadc%02d = 0" % n]
    return ("\r\n".join(lines) + "\r\n").encode("cp1251")


SIMULATOR = "board = KV320\nch1 = dc 1.25\nch2 = dc -2\nch3 = dc 4\nch32 = ramp -8 8 400\n"


class Program:
    def __init__(self, port):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        open(os.path.join(WORK, "skalenor.cfg"), "wb").write(configuration(port))
        open(os.path.join(WORK, "kvsim.cfg"), "w").write(SIMULATOR)
        self.marker = "KVSIM_CONFIG=" + os.path.join(WORK, "kvsim.cfg")
        self.process = subprocess.Popen([WINE_RUN, os.path.join(BUILD, "skalenor.exe")], cwd=WORK,
                                        env=dict(os.environ, KVSIM_CONFIG=os.path.join(WORK, "kvsim.cfg")),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        code = wine(os.path.join(BUILD, "skalenor-close.exe"), timeout=120).returncode
        try:
            self.process.wait(60)
        except subprocess.TimeoutExpired:
            self.process.kill()
        return code

    def listening_ports(self):
        """TCP ports in LISTEN state held by this program's process (found by its simulator file)."""
        inodes = set()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if self.marker.encode() not in open("/proc/%s/environ" % pid, "rb").read().split(b"\0"):
                    continue
                for fd in os.listdir("/proc/%s/fd" % pid):
                    link = os.readlink("/proc/%s/fd/%s" % (pid, fd))
                    if link.startswith("socket:["):
                        inodes.add(link[8:-1])
            except OSError:
                continue
        ports = set()
        for table in ("/proc/net/tcp", "/proc/net/tcp6"):
            for row in open(table).read().splitlines()[1:]:
                f = row.split()
                if f[3] == "0A" and f[9] in inodes:
                    ports.add(int(f[1].split(":")[1], 16))
        return ports


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def get(port, path, timeout=5):
    with urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path), timeout=timeout) as r:
        return r.status, r.headers, r.read()


def values(port):
    return json.loads(get(port, "/api/values")[2])


def wait_for(what, check, seconds):
    end = time.time() + seconds
    while time.time() < end:
        try:
            result = check()
            if result:
                return result
        except (OSError, ValueError, KeyError):
            pass
        time.sleep(0.5)
    expect(False, what)
    return None


def raw(port, data, wait=3.0):
    """Sends bytes on a fresh connection and returns what comes back until the server closes or wait passes."""
    with socket.create_connection(("127.0.0.1", port), timeout=wait) as s:
        s.sendall(data)
        got = b""
        try:
            while chunk := s.recv(65536):
                got += chunk
        except (socket.timeout, ConnectionResetError):
            pass
        return got


def curl(*args):
    return subprocess.run(["curl", "-s", "--max-time", "10", *args], capture_output=True, text=True)


def check_values_and_metrics(port):
    data = wait_for("the readings of all four panels", lambda: (lambda d: d if len(d["channels"]) == 4 and all(
        c["state"] != "none" for c in d["channels"]) else None)(values(port)), 60)
    if not data:
        return
    ch = {c["channel"]: c for c in data["channels"]}
    expect([c["channel"] for c in data["channels"]] == [1, 2, 3, 32], "shown channels in panel order")
    expect(data["board"] == "KV320" and data["rate"] == 1000 and data["output_bits"] == 8, "board, rate: %r" % data)
    expect(abs(ch[1]["value"] - 3.0) < 1e-4 and ch[1]["name"] == 'Напр"1' and ch[1]["unit"] == "В",
           "channel 1 is 2 x 1.25 + 0.5: %r" % ch[1])
    expect(ch[1]["shown"]["reading"] == "3.0000" and ch[1]["state"] == "normal", "channel 1 shown: %r" % ch[1])
    expect(abs(ch[2]["value"] + 2.0) < 1e-4 and ch[2]["low"] == 0 and ch[2]["high"] == 5 and ch[2]["out_of_range"]
           and ch[2]["output"] == 3 and ch[2]["output_on"], "channel 2 below its limits raises output 3: %r" % ch[2])
    expect(data["output_word"] == 4, "output word: bit 2 (%r)" % data["output_word"])
    expect(ch[3]["state"] == "reference" and ch[3]["shown"]["reading"] == "3.0000" and ch[3]["shown"]["absolute"] ==
           "4.0000" and ch[3]["ref"] == 1, "channel 3 relative to its reference: %r" % ch[3])
    expect(ch[32]["panel"] == 9, "channel 32 at panel 9")

    r = curl("-D", "-", "http://127.0.0.1:%d/metrics" % port)
    text = r.stdout
    for line in ['skalenor_channel_value{channel="1",name="Напр\\"1",unit="В"} 3',
                 'skalenor_channel_out_of_range{channel="2",name="Ток",unit="В"} 1',
                 'skalenor_channel_limit_low{channel="2",name="Ток",unit="В"} 0',
                 'skalenor_channel_limit_high{channel="2",name="Ток",unit="В"} 5',
                 "skalenor_output_word 4", 'skalenor_info{version="', "skalenor_blocks_lost_total 0"]:
        expect(line in text, "metrics hold %s" % line)
    expect("Content-Type: text/plain; version=0.0.4; charset=utf-8" in text, "metrics content type")
    expect('skalenor_channel_limit_low{channel="1"' not in text, "no lower limit for channel 1")

    # The protocol as curl speaks it: HEAD, the wrong path or method, one connection for two requests.
    expect(re.search(r"^HTTP/1.1 200 .*^Content-Length: [1-9]", curl("-I", "http://127.0.0.1:%d/" % port).stdout,
                     re.S | re.M), "HEAD / gives the length")
    for args, status in [(["http://127.0.0.1:%d/etc/passwd" % port], 404), (["--path-as-is", "http://127.0.0.1:%d/../" % port], 404),
                         (["-X", "POST", "-d", "x", "http://127.0.0.1:%d/api/values" % port], 405),
                         (["-X", "PUT", "http://127.0.0.1:%d/metrics" % port], 405)]:
        expect(curl("-o", "/dev/null", "-w", "%{http_code}", *args).stdout == str(status), "%r gives %d" % (args, status))
    two = curl("-v", "-o", "/dev/null", "-o", "/dev/null", "http://127.0.0.1:%d/metrics" % port,
               "http://127.0.0.1:%d/api/values" % port)
    expect("Re-using existing connection" in two.stderr, "keep-alive: the second request on the same connection")


def check_prometheus(port):
    if not shutil.which("prometheus"):
        expect(False, "prometheus is installed")
        return
    folder = os.path.join(WORK, "prometheus")
    os.makedirs(folder)
    web = free_port()
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
        got = wait_for("Prometheus has channel 1", lambda: query('skalenor_channel_value{channel="1"}'), 60)
        expect(got is not None and abs(got - 3.0) < 1e-4, "Prometheus: channel 1 is 3 (%r)" % got)
        expect(query('skalenor_channel_out_of_range{name="Ток"}') == 1, "Prometheus: channel 2 out of range")
        # Every second's scrape answered: the series of ticks has a sample per second.
        time.sleep(5)
        samples = query("count_over_time(skalenor_ticks_total[5s])")
        expect(samples is not None and samples >= 4, "Prometheus scrapes every second (%r in 5 s)" % samples)
        expect(query('up{job="skalenor"}') == 1, "the target is up")
    finally:
        prometheus.terminate()
        prometheus.wait(30)


class Tiles(html.parser.HTMLParser):
    """The rendered page's tiles: channel -> {class: text} of their fields."""

    def __init__(self):
        super().__init__()
        self.tiles, self.current, self.field, self.classes = {}, None, None, {}

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        cls = a.get("class", "")
        if "tile" in cls.split():
            self.current = self.tiles.setdefault(a.get("data-channel"), {})
        elif self.current is not None and tag == "span":
            tokens = cls.split()
            self.field = (tokens[1] if tokens[0] == "field" else tokens[0]) if tokens else None
            self.current.setdefault(self.field, "")
            self.current[self.field + ":class"] = cls

    def handle_data(self, data):
        if self.current is not None and self.field:
            self.current[self.field] += data

    def handle_endtag(self, tag):
        if tag == "span":
            self.field = None


def chromium(*args):
    profile = os.path.join(WORK, "chromium-profile")
    shutil.rmtree(profile, ignore_errors=True)
    browser = shutil.which("chromium") or "chromium"
    return subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                           "--disable-background-networking", "--disable-component-update", "--disable-sync",
                           "--user-data-dir=" + profile, *args], capture_output=True, text=True, timeout=120)


def check_page(port):
    if not shutil.which("chromium"):
        expect(False, "chromium is installed")
        return
    page = chromium("--virtual-time-budget=4000", "--dump-dom", "http://127.0.0.1:%d/" % port).stdout
    tiles = Tiles()
    tiles.feed(page)
    t = tiles.tiles
    expect(sorted(t) == ["1", "2", "3", "32"], "tiles of the shown channels: %r" % sorted(t))
    if sorted(t) != ["1", "2", "3", "32"]:
        return
    expect(t["1"]["reading"] == "3.0000" and t["1"]["name"] == 'Напр"1' and t["1"]["unit"] == "В", "tile 1: %r" % t["1"])
    expect(t["2"]["reading"] == "-2.0000" and "out_of_range" in t["2"]["reading:class"] and t["2"]["out"] == "03" and
           "on" in t["2"]["out:class"] and t["2"]["lo"] == ".0" and t["2"]["hi"] == "5.0000", "tile 2: %r" % t["2"])
    expect(t["3"]["reading"] == "3.0000" and "reference" in t["3"]["reading:class"] and t["3"]["ref"] == "1.0000" and
           t["3"]["abs"] == "4.0000" and t["3"]["unit"] == "кПа", "tile 3: %r" % t["3"])


def check_hostile_clients(port):
    """Each refused; the recording that runs meanwhile has no gap; the server answers normally afterwards."""
    expect(raw(port, b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03").startswith(b"HTTP/1.1 400 "), "a TLS hello: 400")
    expect(raw(port, b"HELLO THERE\r\n\r\n").startswith(b"HTTP/1.1 400 "), "garbage: 400")
    expect(raw(port, b"GET / HTTP/1.1\r\nHost: x\r\nX: " + b"a" * 10000 + b"\r\n\r\n").startswith(b"HTTP/1.1 431 "),
           "an oversized header: 431")
    # A request that never ends: a header line a second; 408 after the request time limit.
    with socket.create_connection(("127.0.0.1", port), timeout=15) as s:
        start = time.time()
        s.sendall(b"GET / HTTP/1.1\r\n")
        answer = b""
        s.settimeout(1.0)
        while time.time() - start < 15 and not answer:
            try:
                s.sendall(b"X-Slow: 1\r\n")
                answer = s.recv(4096)
            except socket.timeout:
                continue
            except (BrokenPipeError, ConnectionResetError):
                break
        took = time.time() - start
    expect(answer.startswith(b"HTTP/1.1 408 ") and 4 <= took <= 9, "a never-ending request: 408 after %.1f s" % took)
    # More connections than allowed: the 17th is refused while 16 sit idle.
    idle = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(16)]
    time.sleep(1)
    extra = raw(port, b"GET /api/values HTTP/1.1\r\nHost: x\r\n\r\n")
    expect(extra == b"" or extra.startswith(b"HTTP/1.1 503 "), "one connection too many refused: %r" % extra[:40])
    for s in idle:
        s.close()
    time.sleep(1)
    after = wait_for("the server answers normally afterwards", lambda: values(port), 10)
    expect(after is not None and after["recording"], "the recording still runs")


def start_recording(port):
    """"Каналы..." and its record button, clicked again only when the first click found no dialog yet."""
    close = os.path.join(BUILD, "skalenor-close.exe")
    wine(close, "--command", "32771")
    for _ in range(5):
        time.sleep(2)
        wine(close, "--click", "1044")
        if wait_for_quietly(lambda: values(port)["recording"], 5):
            return True
    expect(False, "the recording starts")
    return False


def wait_for_quietly(check, seconds):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if check():
                return True
        except (OSError, ValueError, KeyError):
            pass
        time.sleep(0.5)
    return False


def check_recording_has_no_gap():
    data = os.path.join(WORK, "Data")
    qmr = sorted(f for f in os.listdir(data) if f.endswith(".qmr")) if os.path.isdir(data) else []
    expect(len(qmr) == 1, "one recording: %r" % qmr)
    if len(qmr) != 1:
        return
    wine(EXPORT, windows_path(os.path.join(data, qmr[0])),
         windows_path(os.path.join(WORK, "rec.csv")), timeout=120)
    rows = [l.split(",") for l in open(os.path.join(WORK, "rec.csv"), encoding="utf-8-sig").read().splitlines()]
    col = next(i for i, h in enumerate(rows[0]) if h.startswith("32:"))
    ramp = [float(r[col]) for r in rows[1:] if len(r) > col and r[col]]
    steps = [b - a for a, b in zip(ramp[1:], ramp[2:])]
    step = 16.0 / 400 * 0.1  # the ramp's volts per 100 ms row
    bad = [i for i, d in enumerate(steps) if abs(d - step) > 0.25 * step]
    expect(len(ramp) > 60 and not bad, "recording: %d rows, %d steps off (first %r)" % (
        len(ramp), len(bad), [(i, steps[i]) for i in bad[:3]]))


port = free_port()
program = Program(port)
try:
    check_values_and_metrics(port)
    expect(program.listening_ports() == {port}, "the program listens on its port only: %r" % program.listening_ports())
    check_prometheus(port)
    check_page(port)
    recording = start_recording(port)
    if recording:
        check_hostile_clients(port)
        last = values(port)
        expect(last["blocks_lost"] == 0, "no block lost: %r" % last["blocks_lost"])
        wine(os.path.join(BUILD, "skalenor-close.exe"), "--click", "1044")
        wait_for("the recording stops", lambda: not values(port)["recording"], 20)
finally:
    expect(program.close() == 0, "the program closes cleanly")
check_recording_has_no_gap()

# Off: the same configuration with WebPort 0 opens no port.
program = Program(0)
try:
    time.sleep(20)
    expect(program.process.poll() is None, "the program runs without its server")
    expect(program.listening_ports() == set(), "no port open with the server off: %r" % program.listening_ports())
finally:
    program.close()

print("web test: %d failures" % len(failures))
sys.exit(1 if failures else 0)
