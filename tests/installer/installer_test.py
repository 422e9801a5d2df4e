"""The installer under Wine, on a fresh prefix: silent install with the simulator, the files, shortcuts, driver keys
and versions it leaves; the program started from its shortcut runs in the working folder on the simulated board;
a reinstall keeps the user's configuration; the uninstaller leaves only the user's files and only the driver keys
it did not write."""
import os
import re
import shutil
import struct
import subprocess
import sys
import time

SETUP, BUILD, DEMO, VERSION = sys.argv[1:5]
WINE_DIR = os.environ.get("SKALENOR_WINE_DIR", "/usr/lib/wine")
PREFIX = os.path.join(BUILD, "installer-test")
ENV = dict(os.environ, WINEPREFIX=PREFIX, WINEARCH="win32", WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")
ENV.pop("WINESERVER", None), ENV.pop("WINELOADER", None)
C = os.path.join(PREFIX, "drive_c")
APP, LAB = os.path.join(C, "Apps", "Skalenor"), os.path.join(C, "Lab")
MENU = os.path.join(C, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Skalenor")
DESKTOP = os.path.join(C, "users", "Public", "Desktop", "Skalenor.lnk")
KV320, LAB_UTILITY = r"HKLM\SOFTWARE\Tarvelin\Drivers\1.0\KV320E", r"HKLM\SOFTWARE\Tarvelin\Base library\1.0\LABUtility"
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def wine(*args, settle=False, out=subprocess.PIPE):
    result = subprocess.run([os.path.join(WINE_DIR, "wine"), *args], env=ENV, stdout=out,
                            stderr=subprocess.DEVNULL, cwd=BUILD)
    if settle:  # the uninstaller goes on in a copy of itself: wait for every program of the prefix
        subprocess.run([os.path.join(WINE_DIR, "wineserver"), "-w"], env=ENV)
    return result


def install(*options):
    wine(SETUP, "/S", *options, r"/D=C:\Apps\Skalenor", settle=True)


def registry(key):
    out = wine("reg", "query", key).stdout.decode("utf-8", "replace")
    return m.group(1).strip() if (m := re.search(r"path\s+REG_SZ\s+(.*)", out)) else None


def default_value(key):
    out = wine("reg", "query", key, "/ve").stdout.decode("utf-8", "replace")
    return m.group(1).strip() if (m := re.search(r"REG_SZ\s+(.*)", out)) else None


def working_folder(link):
    # Shell link layout: header of 76 bytes, optional item id list and link info, then counted strings in flag order.
    b = open(link, "rb").read()
    flags, pos, strings = struct.unpack_from("<I", b, 20)[0], 76, {}
    if flags & 1:
        pos += 2 + struct.unpack_from("<H", b, pos)[0]
    if flags & 2:
        pos += struct.unpack_from("<I", b, pos)[0]
    for bit in (0x4, 0x8, 0x10, 0x20, 0x40):
        if flags & bit:
            n = struct.unpack_from("<H", b, pos)[0]
            strings[bit] = b[pos + 2:pos + 2 + 2 * n].decode("utf-16-le").rstrip("\0")  # Wine counts the NUL
            pos += 2 + 2 * n
    return strings.get(0x10)


def files(root):
    return sorted(os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs)


shutil.rmtree(PREFIX, ignore_errors=True)
wine("wineboot", "-i", settle=True)
install("/SIMULATOR", r"/WORKDIR=C:\Lab")

# What the installer put in place.
expect(open(os.path.join(APP, "skalenor.exe"), "rb").read() == open(os.path.join(BUILD, "skalenor.exe"), "rb").read(),
       "the built program installed")
expect(files(APP) == sorted(["README.md", "docs/guide.md", "kvsim.dll", "simulator.md", "skalenor-config.exe",
                             "skalenor-export.exe", "skalenor-view.exe", "skalenor.exe", "uninstall.exe"] +
                            ["docs/" + f for f in os.listdir(os.path.join(os.path.dirname(DEMO), "..", "docs"))
                             if f.endswith(".png")]), "installed files: %s" % files(APP))
expect(open(os.path.join(LAB, "skalenor.cfg"), "rb").read() == open(DEMO, "rb").read(), "demo configuration in Lab")
for link in (os.path.join(MENU, "Skalenor.lnk"), os.path.join(MENU, "Просмотр записей.lnk"), DESKTOP):
    expect(os.path.exists(link) and working_folder(link) == r"C:\Lab", "shortcut starts in C:\\Lab: " + link)
expect(registry(KV320) == registry(LAB_UTILITY) == r"C:\Apps\Skalenor\kvsim.dll", "simulator registered")
expect(default_value(r"HKCR\.qmr") == "Skalenor.Recording" and
       default_value(r"HKCR\Skalenor.Recording\shell\open\command") == r'"C:\Apps\Skalenor\skalenor-view.exe" "%1"',
       ".qmr opens in the viewer")

# The version in the installer's registration, both tools and the program's version resource.
uninstall_key = wine("reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Skalenor").stdout
expect(re.search(rb"DisplayVersion\s+REG_SZ\s+" + VERSION.encode() + rb"\r?\n", uninstall_key), "DisplayVersion")
for tool in ("skalenor-export", "skalenor-config"):
    out = wine(os.path.join(APP, tool + ".exe"), "--version").stdout.decode().strip()
    expect(out == "%s %s" % (tool, VERSION), "%s --version: %r" % (tool, out))
exe = open(os.path.join(APP, "skalenor.exe"), "rb").read()
fixed = exe.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO
major, minor, patch = (int(x) for x in VERSION.split("."))
expect(fixed > 0 and struct.unpack_from("<II", exe, fixed + 8) == ((major << 16) | minor, patch << 16),
       "fixed file version")
for key in ("FileVersion", "ProductVersion"):
    m = re.search(key.encode("utf-16-le") + rb"\0\0(?:\0\0)?((?:[^\0]\0)*)\0\0", exe)
    expect(m and m.group(1).decode("utf-16-le") == VERSION, key)

# Started from its Start-menu shortcut, the program runs in Lab (the simulator's signal file there names the
# event log) on the simulated board, and closes cleanly.
with open(os.path.join(LAB, "kvsim.cfg"), "w") as f:
    f.write("eventlog = events.txt\n")
wine("start", r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Skalenor\Skalenor.lnk", out=subprocess.DEVNULL)
events = os.path.join(LAB, "events.txt")
for _ in range(60):
    if os.path.exists(events) and "kv320 open 1" in open(events).read():
        break
    time.sleep(0.5)
expect(os.path.exists(events) and "kv320 open 1" in open(events).read(), "the program opened the simulated board")
time.sleep(2)
closed = wine(os.path.join(BUILD, "skalenor-close.exe")).returncode == 0
expect(closed, "clean shut-down")
if not closed:  # a program left running would hold every later wait for the prefix
    subprocess.run([os.path.join(WINE_DIR, "wineserver"), "-k"], env=ENV)

# The user's files survive a reinstall and the uninstaller.
os.makedirs(os.path.join(LAB, "Data"))
open(os.path.join(LAB, "Data", "rec.qmr"), "wb").write(b"rows")
open(os.path.join(LAB, "skalenor.cfg"), "ab").write(b"; the user's own line\r\n")
user = {f: open(os.path.join(LAB, f), "rb").read() for f in files(LAB)}
install("/SIMULATOR")  # a reinstall keeps the working folder
expect(working_folder(os.path.join(MENU, "Skalenor.lnk")) == r"C:\Lab", "reinstall keeps the working folder")
wine(os.path.join(APP, "uninstall.exe"), "/S", settle=True)
expect({f: open(os.path.join(LAB, f), "rb").read() for f in files(LAB)} == user, "Lab keeps exactly the user's files")
expect(not os.path.exists(APP) and not os.path.exists(MENU) and not os.path.exists(DESKTOP), "program removed")
expect(registry(KV320) is None and registry(LAB_UTILITY) is None, "simulator keys removed")
expect(default_value(r"HKCR\.qmr") is None and default_value(r"HKCR\Skalenor.Recording") is None,
       ".qmr association removed")

# A driver registered before stays: the simulator takes only the free key, and only that one is removed.
wine("reg", "add", KV320, "/v", "path", "/t", "REG_SZ", "/d", r"C:\Drivers\kv320.dll", "/f")
install("/SIMULATOR", "/NODESKTOP", r"/WORKDIR=C:\Lab")
expect(registry(KV320) == r"C:\Drivers\kv320.dll", "a board's driver key is left alone")
expect(registry(LAB_UTILITY) == r"C:\Apps\Skalenor\kvsim.dll" and not os.path.exists(DESKTOP), "free key, no desktop")
wine(os.path.join(APP, "uninstall.exe"), "/S", settle=True)
expect(registry(KV320) == r"C:\Drivers\kv320.dll" and registry(LAB_UTILITY) is None, "only the written key removed")

subprocess.run([os.path.join(WINE_DIR, "wineserver"), "-k"], env=ENV)
print("installer test: %d failures" % len(failures))
sys.exit(1 if failures else 0)
