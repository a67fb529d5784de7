#!/usr/bin/python3
"""The Windows build under Wine against the simulated supply (run by scripts/windows.sh --check).

The Windows test programs run first, the simulator on COM1. Then qvr.exe from the zip: a first
start in the empty folder it was unpacked to (its boxes answered from the keyboard), then, after
the Linux build has remembered port 1 and stored a table in the database qvr.exe made, a start
that connects and is driven over SCPI. The simulator's log is checked byte for byte; the figures
and a screenshot of the window come last."""
import urllib.error, urllib.request, atexit, glob, os, re, shutil, socket, subprocess, sys, time, zipfile

top, build, prefix, zip_path, setup_path = sys.argv[1:6]
linux_bin = os.path.join(top, "build", "bin")
work = os.path.join(build, "check")
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
env = dict(os.environ, WINEPREFIX=os.path.join(build, "wine"), WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml=")  # no Mono or Gecko installer boxes
for name in ("QT_QPA_PLATFORM", "QVR_DATA_DIR", "WAYLAND_DISPLAY"):
    env.pop(name, None)
quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
failures = []


def check(what, ok, detail=""):
    print(("ok    " if ok else "FAIL  ") + what + ("" if ok or not detail else f": {detail}"),
          flush=True)
    if not ok:
        failures.append(what)


def wait_for(test, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if test():
            return True
        time.sleep(0.05)
    return test()


def wine(*args, **kw):
    return subprocess.run(["wine", *args], env=env, **kw)


def keys(*names):
    for name in names:
        subprocess.run(["xdotool", "key", "--delay", "50", name], env=env, **quiet)
        time.sleep(0.4)


def shot(path):  # the screen, cut to what is on it
    subprocess.run(["import", "-display", env["DISPLAY"], "-window", "root", "-trim", "+repage",
                    path], **quiet)


# A display, the simulator, and COM1 mapped to its pseudo-terminal (Wine's device manager reads
# the mapping when its server starts again).
display = ":%d" % (50 + os.getpid() % 40)
xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                        **quiet)
env["DISPLAY"] = display
wire, times = os.path.join(work, "wire.log"), os.path.join(work, "times.log")
sim = subprocess.Popen([f"{linux_bin}/qvr-supply-sim", "--log", wire, "--line-times", times],
                       stdout=subprocess.PIPE, text=True)
pty = sim.stdout.readline().strip().split("=", 1)[1]
# A server left by an earlier check that failed half-way would hold this one up.
subprocess.run(["wineserver", "-k"], env=env, **quiet)
atexit.register(lambda: (subprocess.run(["wineserver", "-k"], env=env, **quiet),
                         sim.terminate(), xvfb.terminate()))
wine("wineboot", "-i", **quiet)
wine("reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/t", "REG_SZ", "/d", pty, "/f",
     **quiet)
subprocess.run(["wineserver", "-w"], env=env)
# One server for the whole check, so that qvr.exe's start-up time is its own, not Wine's.
subprocess.Popen(["wineserver", "-p"], env=env, **quiet)
wine("wineboot", **quiet)
print(f"COM1 is {pty}, served by qvr-supply-sim", flush=True)


def winpath(path):
    return subprocess.run(["winepath", "-w", path], env=env, capture_output=True,
                          text=True).stdout.strip()


# The test programs, with Qt's and the compilers' DLLs from where they were built.
runtime = [f"{prefix}/bin", "/usr/x86_64-w64-mingw32/lib", os.path.dirname(subprocess.run(
    ["x86_64-w64-mingw32-g++-posix", "-print-file-name=libstdc++-6.dll"], capture_output=True,
    text=True).stdout.strip())]
test_env = dict(env, QVR_TEST_COM1="sim", WINEPATH=";".join(map(winpath, runtime)))
for exe in sorted(glob.glob(f"{build}/bin/test_*.exe")):
    name = os.path.basename(exe)[:-4]
    log = os.path.join(work, name + ".log")
    began = time.monotonic()
    try:
        # Qt Test's report into a file: a Windows console program's stdout does not reach a pipe.
        # Offscreen, as on Linux; by argument, since Wine does not pass on variables named QT_*
        # (and a program without a GUI would take it for a test's name).
        gui = "QTEST_MAIN(" in open(f"{top}/tests/{name}.cpp").read()
        platform = ["-platform", "offscreen"] if gui else []
        code = subprocess.run(["wine", exe, *platform, "-o", log + ",txt"], env=test_env, cwd=work,
                              timeout=900, **quiet).returncode
    except subprocess.TimeoutExpired:
        code = -1
    output = open(log, errors="replace").read() if os.path.exists(log) else ""
    totals = re.findall(r"Totals: [^\n]*", output)
    check(f"{name}: {totals[-1] if totals else 'no totals'} in {time.monotonic() - began:.0f} s",
          code == 0 and bool(totals), f"see {work}/{name}.log")

# qvr.exe as an operator gets it: the zip unpacked, nothing else.
app = os.path.join(work, "app")
zipfile.ZipFile(zip_path).extractall(app)
folder = glob.glob(f"{app}/qvr-*-windows-x64")[0]
exe = os.path.join(folder, "qvr.exe")
db = os.path.join(folder, "QVRdb.mdb")


def lines_from(offset):
    return [l for l in open(wire, "rb").read()[offset:].split(b"\r") if l]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def close(qvr):
    wine("taskkill", "/im", "qvr.exe", **quiet)  # WM_CLOSE, as the window's close button
    try:
        qvr.wait(30)
    except subprocess.TimeoutExpired:
        qvr.kill()
    return qvr.returncode


# The program's resources: the manifest (as the user, UTF-8, long paths), the version
# Explorer shows, the icon; and the zip's Windows README and runtime licences.
binary = open(exe, "rb").read()
check("qvr.exe: manifest, version information and icon",
      all(k in binary for k in (b'level="asInvoker"', b"<activeCodePage", b"<longPathAware",
                                "QVR: control and log".encode("utf-16-le"),
                                "ProductVersion".encode("utf-16-le"))) and
      os.path.exists(os.path.join(folder, "qvr.ico")))
check("the zip: README-Windows.txt and the MinGW runtime's licences",
      os.path.exists(os.path.join(folder, "README-Windows.txt")) and
      len(glob.glob(os.path.join(folder, "licenses", "mingw-w64-runtime", "*.txt"))) == 2)

# 1. A first start: no database, no port; the not-ready box and the two limits answered.
offset = os.path.getsize(wire)
qvr = subprocess.Popen(["wine", exe], env=env, cwd=folder, **quiet)
check("first start: the database made beside qvr.exe", wait_for(lambda: os.path.exists(db), 60))
time.sleep(3)
shot(os.path.join(work, "first-start.png"))
keys("Return")
for value in ("3 0", "3"):  # the maximum voltage, then current
    time.sleep(2)
    keys("ctrl+a", *value.split(), "Return")
time.sleep(4)
shot(os.path.join(work, "first-window.png"))
check("first start: closed with status 0", close(qvr) == 0)
check("first start: nothing sent without a port", lines_from(offset) == [], lines_from(offset))

# 2. The Linux build opens the file qvr.exe made: port 1 remembered, a table stored.
r = subprocess.run([f"{linux_bin}/qvr-setport", folder, "1"], capture_output=True, text=True)
check("Linux build opens the Windows database (qvr-setport)", r.returncode == 0, r.stderr)
steps = ", ".join(["('2.0','0.50','0','10')"] * 10)
r = subprocess.run(["sqlcipher", db], capture_output=True, text=True,
                   input="PRAGMA key='wkzt';\n"
                         'CREATE TABLE "A_ramp" ("Voltage" VARCHAR(4), "Current" VARCHAR(4), '
                         '"Minute" VARCHAR(4), "Second" VARCHAR(4));\n'
                         f'INSERT INTO "A_ramp" VALUES {steps};\n')
check("a table stored in it by Linux's sqlcipher", r.returncode == 0 and not r.stderr, r.stderr)

# 3. The remembered port: connected at start, driven over SCPI, closed in order.
port = free_port()
offset = os.path.getsize(wire)
times_offset = os.path.getsize(times)
began = time.monotonic()
metrics_port = free_port()
qvr = subprocess.Popen(["wine", exe, "--remote", str(port), "--metrics", str(metrics_port)],
                       env=env, cwd=folder, **quiet)
polled = wait_for(lambda: lines_from(offset)[:4] == [b"GMAX", b"GETD", b"SESS", b"GETD"], 60)
check("remembered port: GMAX, GETD, SESS, GETD at start", polled, lines_from(offset)[:6])
first_getd = None
for line in open(times, "rb").read()[times_offset:].splitlines():
    us, _, text = line.partition(b" ")
    if text.strip() == b"GETD":
        first_getd = int(us) / 1e6
        break
startup_ms = (first_getd - began) * 1000 if first_getd else float("nan")
check("remembered port: polling every 300 ms",
      wait_for(lambda: lines_from(offset).count(b"GETD") >= 8, 10))


def scpi_connect():
    for _ in range(200):
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=5)
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("qvr.exe does not listen on its remote port")


# A script of a Linux process: Wine names no Windows process for it, so it is not known to be
# this user's and is closed at once. Scripts reach qvr.exe through a Windows program instead.
s = scpi_connect()
s.settimeout(5)
try:
    s.sendall(b"*IDN?\n")
    refused = s.recv(100) == b""
except OSError:
    refused = True
s.close()
check("remote control: a process Wine cannot name refused", refused)
relay_port = free_port()
relay = subprocess.Popen(["wine", os.path.join(build, "bin", "qvr-relay.exe"), str(relay_port),
                          str(port)], env=test_env, **quiet)
port = relay_port
s = scpi_connect()
reader = s.makefile("rb")


def query(text):
    s.sendall(text.encode() + b"\n")
    return reader.readline().decode().strip()


def send(text):
    s.sendall(text.encode() + b"\n")


check("*IDN?", query("*IDN?") == "QVR,30V-3A,0,2.0")
mark = os.path.getsize(wire)
send("VOLT 5")
send("CURR 500mA")
check("setpoints", query("VOLT?;CURR?") == "5.0;0.50")
check("wire of VOLT 5, CURR 500mA", [l for l in lines_from(mark) if l != b"GETD"] ==
      [b"VOLT050", b"CURR050"], lines_from(mark))
time.sleep(1)
check("measured 5 V into 10 ohm", query("MEAS:VOLT?;:MEAS:CURR?;:MEAS:MODE?") == "5.0;0.50;CV")
# The monitoring endpoint, scraped from Linux as Prometheus would.
try:
    with urllib.request.urlopen(f"http://127.0.0.1:{metrics_port}/metrics", timeout=10) as r:
        scraped = r.read().decode()
except OSError as e:
    scraped = str(e)
check("metrics: the readings published", all(
    l in scraped.splitlines() for l in ("qvr_link_up 1", "qvr_output_voltage_volts 5",
                                         "qvr_setpoint_current_amperes 0.5")), scraped[:300])
try:
    urllib.request.urlopen(urllib.request.Request(f"http://127.0.0.1:{metrics_port}/metrics",
                                                  data=b"VOLT 9", method="POST"), timeout=10)
    posted = 200
except urllib.error.HTTPError as e:
    posted = e.code
except OSError:
    posted = 0
check("metrics: a POST refused (405)", posted == 405, posted)
time.sleep(2)
shot(os.path.join(work, "window.png"))
mark = os.path.getsize(wire)
send('PROG:INT:RUN "ramp",2')
check("running", query("PROG:STAT?") == "INT")
send("PROG:STOP")
check("stopped", query("PROG:STAT?;:SYST:ERR?") == 'IDLE;0,"No error"')
check("wire of the run: ten PROP, RUNP2, STOP",
      [l for l in lines_from(mark) if l != b"GETD"] ==
      [b"PROP%d0200500010" % k for k in range(10)] + [b"RUNP2", b"STOP"], lines_from(mark))
s.close()
relay.kill()
check("closed with status 0", close(qvr) == 0)
check("closing sends ENDS", open(wire, "rb").read().endswith(b"\rENDS\r"),
      open(wire, "rb").read()[-40:])
r = subprocess.run(["sqlcipher", db], capture_output=True, text=True,
                   input="PRAGMA key='wkzt';\nSELECT count(*) FROM \"A_ramp\";\n")
check("Linux reads the file again after Windows", r.stdout.strip() == "10", r.stdout + r.stderr)

# 4. A user whose folders hold letters outside ASCII: the same program unpacked into "Grüße Ω",
# its database carried along, recording to "Läufe Ω.csv" from the start; then the session ends
# as at a logoff: the recording's end line, STOP's and ENDS's turn on the wire, status 0.
home = os.path.join(work, "Grüße Ω")
shutil.copytree(folder, os.path.join(home, "qvr"))
record = os.path.join(home, "Läufe Ω.csv")
offset = os.path.getsize(wire)
qvr = subprocess.Popen(["wine", os.path.join(home, "qvr", "qvr.exe"), "--record",
                        winpath(record)], env=env, cwd=os.path.join(home, "qvr"), **quiet)
check("non-ASCII folder: the database opened and the supply polled",
      wait_for(lambda: lines_from(offset).count(b"GETD") >= 4, 60), lines_from(offset)[:6])
check("non-ASCII --record: the file made", wait_for(lambda: os.path.exists(record), 10))
time.sleep(2)
shot(os.path.join(work, "recording.png"))
# First a logoff another program cancels, as Windows delivers it (asked, then told "no"): nothing
# may have stopped.
mark = os.path.getsize(wire)
subprocess.run(["wine", os.path.join(build, "bin", "qvr-end-session.exe")], env=test_env, **quiet)
time.sleep(1)
text = open(record, encoding="utf-8").read() if os.path.exists(record) else ""
check("a logoff cancelled: QVR runs on, nothing stopped, still polling",
      qvr.poll() is None and "recording ended" not in text and
      b"ENDS" not in open(wire, "rb").read()[mark:] and
      wait_for(lambda: lines_from(mark).count(b"GETD") >= 3, 5), (qvr.poll(), lines_from(mark)))
ended = wine("wineboot", "--end-session", **quiet).returncode
try:
    code = qvr.wait(30)
except subprocess.TimeoutExpired:
    qvr.kill()
    code = None
check("end of session: qvr.exe closed with status 0", ended == 0 and code == 0, (ended, code))
check("end of session: ENDS sent", open(wire, "rb").read().endswith(b"\rENDS\r"),
      open(wire, "rb").read()[-40:])
text = open(record, encoding="utf-8").read() if os.path.exists(record) else ""
check("end of session: the recording's end line", text.rstrip().endswith("recording ended"),
      text[-200:])

# 5. The console: --version into a redirection of cmd's, an error on its standard error.
out = os.path.join(work, "version.txt")
# (Paths without blanks: cmd takes the quotes of a line such as this one its own way.)
wine("cmd", "/c", f'{winpath(exe)} --version > {winpath(out)}', cwd=folder, **quiet)
got = open(out, errors="replace").read() if os.path.exists(out) else ""
check("qvr.exe --version > file", got.strip() == "qvr 2.0", repr(got))
err = os.path.join(work, "error.txt")
code = wine("cmd", "/c", f'{winpath(exe)} --bogus 2> {winpath(err)}', cwd=folder,
            **quiet).returncode
got = open(err, errors="replace").read() if os.path.exists(err) else ""
check("qvr.exe --bogus: its error on standard error, status 2",
      got.startswith("qvr: ") and code == 2, (code, got[:80]))

# 6. The supply unplugged and back: the simulator gone under a running qvr.exe with "Reconnect
# automatically" on, a new one on another pseudo-terminal that COM1 now leads to; QVR finds it
# by itself and goes on polling.
r = subprocess.run(["sqlcipher", db], capture_output=True, text=True,
                   input="PRAGMA key='wkzt';\nINSERT INTO \"QVRSYS\" VALUES ('AutoReconnect','1');\n")
check("reconnect switched on in the database", r.returncode == 0 and not r.stderr, r.stderr)
offset = os.path.getsize(wire)
qvr = subprocess.Popen(["wine", exe], env=env, cwd=folder, **quiet)
check("unplugged: polling before", wait_for(lambda: lines_from(offset).count(b"GETD") >= 4, 60))
sim.terminate()
sim.wait(10)
time.sleep(3)
wire2 = os.path.join(work, "wire2.log")
sim = subprocess.Popen([f"{linux_bin}/qvr-supply-sim", "--log", wire2], stdout=subprocess.PIPE,
                       text=True)
pty2 = sim.stdout.readline().strip().split("=", 1)[1]
com1 = os.path.join(env["WINEPREFIX"], "dosdevices", "com1")
os.remove(com1)
os.symlink(pty2, com1)
back = lambda: open(wire2, "rb").read().split(b"\r") if os.path.exists(wire2) else []
check("plugged back: found again and polled, without a box",
      wait_for(lambda: b"GMAX" in back() and back().count(b"GETD") >= 4, 40), back()[:8])
shot(os.path.join(work, "reconnected.png"))
check("plugged back: closed with status 0, ENDS to the new supply",
      close(qvr) == 0 and back()[-2:] == [b"ENDS", b""], back()[-4:])

# A fault row of the Linux tests over Wine's COM1: a supply that never answers. Start-up asks
# GMAX four times, each wait bounded by the port's own time-out (0.3 s), and says the supply is
# not ready; nothing but GMAX goes out (the automatic reconnect, on since 6, asks it too).
sim.terminate()
sim.wait(10)
wire3, times3 = os.path.join(work, "wire3.log"), os.path.join(work, "times3.log")
sim = subprocess.Popen([f"{linux_bin}/qvr-supply-sim", "--silent", "--log", wire3,
                        "--line-times", times3], stdout=subprocess.PIPE, text=True)
pty3 = sim.stdout.readline().strip().split("=", 1)[1]
os.remove(com1)
os.symlink(pty3, com1)
qvr = subprocess.Popen(["wine", exe], env=env, cwd=folder, **quiet)
silent = lambda: open(wire3, "rb").read().split(b"\r") if os.path.exists(wire3) else []
asked = wait_for(lambda: silent().count(b"GMAX") >= 4, 60)
time.sleep(2)
shot(os.path.join(work, "silent.png"))
stamps = [int(l.split()[0]) for l in open(times3, "rb").read().splitlines()] \
    if os.path.exists(times3) else []
gaps = [(b - a) / 1000 for a, b in zip(stamps, stamps[1:4])]
check("silent supply: GMAX four times, 0.3 s apart, nothing but GMAX",
      asked and set(silent()) == {b"GMAX", b""} and len(gaps) == 3 and
      all(280 <= g <= 1000 for g in gaps), (silent()[:8], gaps))
wine("taskkill", "/f", "/im", "qvr.exe", **quiet)
qvr.wait(30)

# 7. The installer: silent, per user; the Start-menu entry starts QVR, which makes its database
# beside itself; the silent uninstaller takes the program and leaves the database.
wine(setup_path, "/S", **quiet)
appdata = subprocess.run(["wine", "cmd", "/c", "echo %LOCALAPPDATA%;%APPDATA%"], env=env,
                         capture_output=True, text=True).stdout.strip().split(";")
unix = lambda p: subprocess.run(["winepath", "-u", p], env=env, capture_output=True,
                                text=True).stdout.strip()
installed = unix(appdata[0] + r"\Programs\QVR")
link = unix(appdata[1] + r"\Microsoft\Windows\Start Menu\Programs\QVR.lnk")
check("installer: qvr.exe and its Start-menu entry", os.path.exists(f"{installed}/qvr.exe") and
      os.path.exists(link), (installed, link))
wine("start", "/unix", link, **quiet)
check("installer: the Start-menu entry starts QVR, its database beside it",
      wait_for(lambda: os.path.exists(f"{installed}/QVRdb.mdb"), 60))
time.sleep(3)
keys("Return")  # the first start's boxes, as in 1
for value in ("3 0", "3"):
    time.sleep(2)
    keys("ctrl+a", *value.split(), "Return")
time.sleep(4)
shot(os.path.join(work, "installed.png"))
# Ended outright, so that its files are free before the uninstaller.
wine("taskkill", "/f", "/im", "qvr.exe", **quiet)
wait_for(lambda: subprocess.run(["pgrep", "-f", r"Programs\\QVR\\qvr\.exe"],
                                **quiet).returncode != 0, 30)
# _?= keeps the uninstaller in place, so that it runs before this returns.
wine(f"{installed}/uninstall.exe", "/S", "_?=" + winpath(installed), **quiet)
check("uninstaller: the program gone, the database kept, the entry gone",
      not os.path.exists(f"{installed}/qvr.exe") and os.path.exists(f"{installed}/QVRdb.mdb")
      and not os.path.exists(link), sorted(os.listdir(installed)) if os.path.isdir(installed)
      else "no folder")

# 8. A folder that takes no new files (as C:\Program Files for a user): the database goes to
# %APPDATA%\QVR2. Root writes anywhere, so this runs as nobody, in a Wine prefix of its own.
nobody = os.path.join(work, "nobody")
os.makedirs(os.path.join(nobody, "wine"))
zipfile.ZipFile(zip_path).extractall(os.path.join(nobody, "ro"))
ro = glob.glob(os.path.join(nobody, "ro", "qvr-*-windows-x64"))[0]
for root, dirs, files in os.walk(nobody):
    for d in dirs:
        os.chmod(os.path.join(root, d), 0o755)
    for f in files:
        os.chmod(os.path.join(root, f), 0o644)
os.chmod(ro, 0o555)
for root, dirs, files in os.walk(os.path.join(nobody, "wine")):
    os.chown(root, 65534, 65534)
os.chown(nobody, 65534, 65534)
as_nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
nobody_env = dict(env, WINEPREFIX=os.path.join(nobody, "wine"), HOME=nobody, USER="nobody")
subprocess.run(as_nobody + ["wine", "wineboot", "-i"], env=nobody_env, **quiet)
qvr = subprocess.Popen(as_nobody + ["wine", os.path.join(ro, "qvr.exe")], env=nobody_env,
                       cwd=nobody, **quiet)
user_db = os.path.join(nobody, "wine", "drive_c", "users", "nobody", "AppData", "Roaming", "QVR2",
                       "QVRdb.mdb")
check("read-only folder: the database in %APPDATA%\\QVR2, nothing beside qvr.exe",
      wait_for(lambda: os.path.exists(user_db), 90) and
      not os.path.exists(os.path.join(ro, "QVRdb.mdb")), user_db)
qvr.kill()
subprocess.run(as_nobody + ["wineserver", "-k"], env=nobody_env, **quiet)

subprocess.run(["wineserver", "-k"], env=env, **quiet)
sim.terminate()
xvfb.terminate()
print(f"windows_zip_mb={os.path.getsize(zip_path) / 1e6:.1f}")
print(f"windows_installer_mb={os.path.getsize(setup_path) / 1e6:.1f}")
print(f"windows_startup_ms={startup_ms:.0f}")
print(f"screenshots: {work}/first-start.png, first-window.png, window.png, recording.png, reconnected.png, silent.png, installed.png")
print("\n".join(["Windows check failed:"] + failures) if failures else "Windows check: all passed")
sys.exit(1 if failures else 0)
