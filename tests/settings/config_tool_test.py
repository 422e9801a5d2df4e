"""Checks skalenor-config: check messages and exit codes, dump as JSON, rewrite."""
import json
import os
import pathlib
import subprocess
import sys
import tempfile

TOOL, DEMO = sys.argv[1], sys.argv[2]


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True)


with tempfile.TemporaryDirectory() as tmp:
    demo_bytes = open(DEMO, "rb").read()

    # The demo configuration is clean, already in written form and holds every key.
    result = run("check", DEMO)
    assert result.returncode == 0 and result.stdout == b"", "demo checks clean: %r" % result.stdout[:300]
    keys = "Device FreqStream nDO Ftime TimeType CheckLabel WebPort WebAddress chPlot scPlot lrScale rPlot rWnd".split()
    keys += [f % n for n in range(1, 33) for f in ("K%dB", "%dChannel", "NPK%02d", "MinMaxRef%02d", "FlagRec%02d",
                                                   "ACmode%02d", "Interval%02d", "Kadc%02d")]
    keys += [f % g for g in range(1, 5) for f in ("scaleY%d", "colPlot%d", "plotName%d")]
    missing = [k for k in keys if not any(l.startswith(k.encode() + b" = ") for l in demo_bytes.split(b"\r\n"))]
    assert not missing, "demo lacks the keys %r" % missing
    out = os.path.join(tmp, "demo.out")
    assert run("rewrite", DEMO, out).returncode == 0, "rewrite demo exit 0"
    assert open(out, "rb").read() == demo_bytes, "rewriting the demo changes nothing"

    # Keys a file lacks come back (with the values read: the defaults) after its lines,
    # in the order of the key table: K<n>B, <n>Channel, NPK, MinMaxRef, FlagRec, ACmode,
    # Interval, Kadc, scaleY, colPlot, plotName, chPlot, ..., Ftime, FreqStream, nDO, ...;
    # Device never.
    lacking = b"\r\n".join(l for l in demo_bytes.split(b"\r\n")
                            if not l.startswith((b"nDO ", b"scaleY3 ", b"Interval12 ", b"K7B ", b"Device ")))
    pathlib.Path(lack := os.path.join(tmp, "lacking.cfg")).write_bytes(lacking)
    assert run("rewrite", lack, out).returncode == 0, "rewrite lacking exit 0"
    added = b"K7B = 0|0||\r\nInterval12 = 0\r\nscaleY3 = 0,0\r\nnDO = 0\r\n"
    assert open(out, "rb").read() == lacking + added, "the dropped keys are added at the end"

    # check: one line per problem, FILE:LINE: message (the messages are the reader's); exit 1.
    bad = os.path.join(tmp, "bad.cfg")
    # A name with a blank loses what follows it when read.
    pathlib.Path(bad).write_bytes(b"; fine\r\nKadc33 = 1\r\nFtime = abc\r\nK5B = 1|0|V|" + "Канал 5".encode("cp1251"))
    result = run("check", bad)
    lines = result.stdout.decode("utf-8", "replace").splitlines()
    assert result.returncode == 1, "check of bad file exits 1, got %d" % result.returncode
    assert [l.split(" ")[0] for l in lines] == ["%s:%d:" % (bad, n) for n in (2, 3, 4)], "three problems: %r" % lines

    # A missing file or an unwritable output: exit 2; an unknown command: exit 3.
    missing = os.path.join(tmp, "missing.cfg")
    for args, code in [(["check", missing], 2), (["dump", missing], 2), (["rewrite", missing, out], 2),
                       (["rewrite", DEMO, os.path.join(tmp, "no", "dir.cfg")], 2), (["frobnicate", DEMO], 3)]:
        assert run(*args).returncode == code, "%r exits %d" % (args, code)

    # dump: one JSON object, channels 1-32, texts in UTF-8.
    result = run("dump", DEMO)
    record = json.loads(result.stdout.decode("utf-8"))
    assert result.returncode == 0 and record["Channel"] == list(range(1, 33)), "dump exit 0, Channel 1-32"
    assert record["channelName"][0] == "Давл1" and record["unitText"][2] == "°C", "Cyrillic names and units"
    assert record["channelB"][12] == 1000001.0 and record["refLevel"][1] == 1e10, "K01 in K13B, unset reference"
    assert record["FreqStream"] == 1000.0 and record["deviceName"] == "KV320", "globals"
    assert record["WebPort"] == 0 and record["WebAddress"] == "127.0.0.1", "server off, this computer only"
    assert record["plotName"] == ["Давление и температура", "", "", ""], "plot names"
    assert len(record["colPlot"]) == 4 and all(len(r) == 8 for r in record["colPlot"]), "colPlot 4x8"

    # Quotes and control characters in texts stay valid JSON.
    odd = os.path.join(tmp, "odd.cfg")
    pathlib.Path(odd).write_bytes(b"plotName1 = 'a\"b\\c\x01d'\r\nK1B = 0.1|0|\x7f|x\r\n")
    record = json.loads(run("dump", odd).stdout.decode("utf-8"))
    assert record["plotName"][0] == "a\"b\\c\x01d", "escaped title: %r" % record["plotName"][0]
    assert abs(record["channelK"][0] - 0.1) < 1e-8, "float K"

print("skalenor-config: all checks passed")
