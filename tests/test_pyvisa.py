#!/usr/bin/python3
"""QVR as an instrument to a client nobody here wrote: PyVISA (pyvisa-py) drives the real qvr,
offscreen, against qvr-supply-sim on a pseudo-terminal, and the serial line is checked byte for
byte. A client of another user is refused where the machine can run one."""
import os, re, socket, subprocess, sys, tempfile, time

import pyvisa

bin_dir = sys.argv[1]
work = tempfile.mkdtemp(prefix="qvr-pyvisa-")
wire = os.path.join(work, "wire.log")
db = os.path.join(work, "QVRdb.mdb")
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QVR_DATA_DIR=work)

sim = subprocess.Popen([f"{bin_dir}/qvr-supply-sim", "--log", wire], stdout=subprocess.PIPE, text=True)
env.update([sim.stdout.readline().strip().split("=", 1)])
subprocess.run([f"{bin_dir}/qvr-setport", work, "1"], check=True, stdout=subprocess.DEVNULL)
steps = ", ".join(["('2.0','0.50','0','10')"] * 10)
subprocess.run(["sqlcipher", db], check=True, text=True, stdout=subprocess.DEVNULL,
               input="PRAGMA key='wkzt';\n"
                     'CREATE TABLE "A_ramp" ("Voltage" VARCHAR(4), "Current" VARCHAR(4), '
                     '"Minute" VARCHAR(4), "Second" VARCHAR(4));\n'
                     f'INSERT INTO "A_ramp" VALUES {steps};\n')
with socket.socket() as s:  # a free port for this run
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
qvr = subprocess.Popen([f"{bin_dir}/qvr", "--remote", str(port)], env=env)
failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


try:
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port)).close()
            break
        except OSError:
            time.sleep(0.1)
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET", read_termination="\n",
                            write_termination="\n", timeout=5000)
    check("*IDN?", inst.query("*IDN?"), "QVR,30V-3A,0,2.0")
    start = os.path.getsize(wire)
    inst.write("VOLT 5")
    inst.write("CURR 500mA")
    check("setpoints", inst.query("VOLT?;CURR?"), "5.0;0.50")
    check("wire of VOLT 5, CURR 500mA", re.sub(rb"GETD\r", b"", open(wire, "rb").read()[start:]),
          b"VOLT050\rCURR050\r")
    # 5 V into the simulator's 10 ohm: 0.50 A, in constant voltage.
    check("measured", inst.query("MEAS:VOLT?;:MEAS:CURR?;:MEAS:MODE?"), "5.0;0.50;CV")
    inst.write("VOLT 31")
    inst.write("BOGUS:HEADER")
    check("error 1", inst.query("SYST:ERR?"), '-222,"Data out of range; Voltage must be 0 or '
                                              '0.1 - 30 and 1 digit of precision ."')
    check("error 2", inst.query("SYST:ERR?"), '-113,"Undefined header; BOGUS:HEADER"')
    check("error 3", inst.query("SYST:ERR?"), '0,"No error"')
    start = os.path.getsize(wire)
    inst.write('PROG:INT:RUN "ramp",2')
    check("running", inst.query("PROG:STAT?"), "INT")
    inst.write("PROG:STOP")
    check("stopped", inst.query("PROG:STAT?;:SYST:ERR?"), 'IDLE;0,"No error"')
    lines = [l for l in open(wire, "rb").read()[start:].split(b"\r") if l and l != b"GETD"]
    check("wire of the run", lines,
          [b"PROP%d0200500010" % k for k in range(10)] + [b"RUNP2", b"STOP"])
    inst.close()

    # Another user's script is refused at once (root can run one as nobody).
    if os.getuid() == 0 and subprocess.run(["which", "setpriv"], capture_output=True).returncode == 0:
        other = subprocess.run(
            ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", sys.executable, "-c",
             "import socket; s=socket.create_connection(('127.0.0.1', %d)); s.settimeout(5);"
             "s.sendall(b'*IDN?\\n'); print(repr(s.recv(100)))" % port],
            capture_output=True, text=True, timeout=20)
        # Closed at once: an empty read, or a reset when the close came first.
        refused = other.stdout.strip() == "b''" or "ConnectionResetError" in other.stderr
        check("another user's script refused", refused or other.stdout + other.stderr, True)
finally:
    qvr.terminate()
    qvr.wait(10)
    sim.terminate()
check("closing", open(wire, "rb").read().endswith(b"ENDS\r"), True)
print("\n".join(failures) or "PyVISA: all checks passed")
sys.exit(1 if failures else 0)
