"""Checks skalenor-config: check messages and exit codes, dump as JSON, rewrite."""
import json
import os
import subprocess
import sys
import tempfile

TOOL, DEMO = sys.argv[1], sys.argv[2]
failures = []


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True)


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


with tempfile.TemporaryDirectory() as tmp:
    demo_bytes = open(DEMO, "rb").read()

    # The demo configuration is clean, complete and already in written form.
    result = run("check", DEMO)
    expect(result.returncode == 0 and result.stdout == b"", "demo checks clean: %r" % result.stdout[:300])
    expect(b"\r\n" in demo_bytes and b"\n" not in demo_bytes.replace(b"\r\n", b""), "demo uses CR LF only")
    keys = ["Device", "FreqStream", "nDO", "Ftime", "TimeType", "CheckLabel", "chPlot", "scPlot", "lrScale",
            "rPlot", "rWnd"]
    for n in range(1, 33):
        keys += ["K%dB" % n, "%dChannel" % n] + [f % n for f in ("NPK%02d", "MinMaxRef%02d", "FlagRec%02d",
                                                               "ACmode%02d", "Interval%02d", "Kadc%02d")]
    for g in range(1, 5):
        keys += ["scaleY%d" % g, "colPlot%d" % g, "plotName%d" % g]
    demo_lines = demo_bytes.split(b"\r\n")
    for key in keys:
        expect(any(l.startswith(key.encode() + b" = ") for l in demo_lines), "demo holds the key " + key)
    out = os.path.join(tmp, "demo.out")
    result = run("rewrite", DEMO, out)
    expect(result.returncode == 0, "rewrite demo exit 0")
    expect(open(out, "rb").read() == demo_bytes, "rewriting the demo changes nothing")

    # check: one line per problem, FILE:LINE: message (the messages are the reader's); exit 1.
    bad = os.path.join(tmp, "bad.cfg")
    with open(bad, "wb") as f:
        f.write(b"; fine\r\nKadc33 = 1\r\nFtime = abc\r\n")
    result = run("check", bad)
    lines = result.stdout.decode("utf-8", "replace").splitlines()
    expect(result.returncode == 1, "check of bad file exits 1, got %d" % result.returncode)
    expect([l.split(" ")[0] for l in lines] == ["%s:2:" % bad, "%s:3:" % bad], "two problems: %r" % lines)

    # A missing file or an unwritable output: exit 2; an unknown command: exit 3.
    missing = os.path.join(tmp, "missing.cfg")
    for args, code in [(["check", missing], 2), (["dump", missing], 2), (["rewrite", missing, out], 2),
                       (["rewrite", DEMO, os.path.join(tmp, "no", "dir.cfg")], 2), (["frobnicate", DEMO], 3)]:
        expect(run(*args).returncode == code, "%r exits %d" % (args, code))

    # dump: one JSON object, channels 1-32, texts in UTF-8.
    result = run("dump", DEMO)
    expect(result.returncode == 0, "dump exit 0")
    record = json.loads(result.stdout.decode("utf-8"))
    expect(record["Channel"] == list(range(1, 33)), "Channel 1-32")
    expect(record["channelName"][0] == "Давл1" and record["unitText"][2] == "°C", "Cyrillic names and units")
    expect(record["channelB"][12] == 1000001.0, "K01 reference in K13B")
    expect(record["refLevel"][1] == 1e10, "unset reference level")
    expect(record["FreqStream"] == 1000.0 and record["deviceName"] == "KV320", "globals")
    expect(record["plotName"] == ["Давление и температура", "", "", ""], "plot names")
    expect(len(record["colPlot"]) == 4 and all(len(r) == 8 for r in record["colPlot"]), "colPlot 4x8")

    # Quotes and control characters in texts stay valid JSON.
    odd = os.path.join(tmp, "odd.cfg")
    with open(odd, "wb") as f:
        f.write(b"plotName1 = 'a\"b\\c\x01d'\r\nK1B = 0.1|0|\x7f|x\r\n")
    record = json.loads(run("dump", odd).stdout.decode("utf-8"))
    expect(record["plotName"][0] == "a\"b\\c\x01d", "escaped title: %r" % record["plotName"][0])
    expect(record["channelK"][0] == 0.1 or abs(record["channelK"][0] - 0.1) < 1e-8, "float K")

if failures:
    print("%d failure(s)" % len(failures))
    sys.exit(1)
print("skalenor-config: all checks passed")
