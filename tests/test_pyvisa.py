#!/usr/bin/python3
"""QVR as an instrument to clients nobody here wrote: PyVISA (pyvisa-py), pymeasure's generic
instrument over its VISA adapter, lxi-tools' `lxi scpi` and curl drive the real qvr, offscreen,
against qvr-supply-sim on a pseudo-terminal, while the operator records, and the serial line is
checked byte for byte. A client of another user is refused where the machine can run one."""
import os, re, socket, subprocess, sys, tempfile, time

import pyvisa
from pymeasure.adapters import VISAAdapter
from pymeasure.instruments import Instrument

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
operator_csv = os.path.join(work, "operator.csv")  # the operator's own recording
qvr = subprocess.Popen([f"{bin_dir}/qvr", "--remote", str(port), "--record", operator_csv],
                       env=env)
failures = []


def wire_since(start):
    return re.sub(rb"GETD\r", b"", open(wire, "rb").read()[start:])


class Supply(Instrument):
    """The generic pymeasure instrument, as a lab would write one for any SCPI supply."""
    voltage = Instrument.control("VOLT?", "VOLT %g", "The voltage setpoint (V).")
    current = Instrument.control("CURR?", "CURR %g", "The current setpoint (A).")
    measured_voltage = Instrument.measurement("MEAS:VOLT?", "The output voltage (V).")
    max_voltage = Instrument.measurement("VOLT? MAX", "The highest voltage setpoint (V).")
    status_byte = Instrument.measurement("*STB?", "The status byte.")


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
    # The status model and the limits, as instrument libraries ask them.
    check("488.2 status", inst.query("*ESE 60;*ESE?;*SRE 32;*SRE?;*OPC;*ESR?;*STB?;*TST?;*OPT?"),
          "60;32;1;0;0;0")
    check("SCPI status", inst.query("STAT:OPER:COND?;:STAT:QUES:COND?;:STAT:OPER:ENAB 1024;"
                                    "ENAB?;:STAT:PRES;:STAT:OPER:ENAB?"), "256;0;1024;0")
    check("limits", inst.query("VOLT? MAX;CURR? MAX;VOLT? MIN;CURR? MIN"), "30.0;3.00;0.0;0.01")
    start = os.path.getsize(wire)
    inst.write("VOLT MAX;:CURR MIN")
    check("MAX and MIN", inst.query("VOLT?;CURR?"), "30.0;0.01")
    inst.write("VOLT 5;CURR 0.5")
    inst.query("*OPC?")
    check("wire of MAX and MIN", wire_since(start), b"VOLT300\rCURR001\rVOLT050\rCURR050\r")
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
    # The README's sweep while the operator records: the script's recording is refused, and so
    # is its end of the operator's, which goes on.
    inst.write('LOG:REC ON,"sweep.csv"')
    inst.write("LOG:REC OFF")
    check("the operator's recording", inst.query("SYST:ERR?;:SYST:ERR?;:LOG:REC?"),
          f'-221,"Settings conflict; a recording to {operator_csv} runs";'
          f'-221,"Settings conflict; the recording to {operator_csv} was started by the '
          f'operator";1,"{operator_csv}"')
    inst.close()

    # pymeasure's generic instrument over its VISA adapter.
    adapter = VISAAdapter(f"TCPIP::127.0.0.1::{port}::SOCKET", visa_library="@py",
                          read_termination="\n", write_termination="\n", timeout=5000)
    supply = Supply(adapter, "QVR")
    check("pymeasure id", supply.id, "QVR,30V-3A,0,2.0")
    start = os.path.getsize(wire)
    supply.voltage = 4.5
    check("pymeasure", [supply.voltage, supply.max_voltage, supply.measured_voltage,
                        supply.status_byte], [4.5, 30.0, 4.5, 0])
    check("pymeasure wire", wire_since(start), b"VOLT045\r")
    adapter.connection.close()

    # lxi-tools, raw socket, one command each.
    def lxi(command):
        return subprocess.run(["lxi", "scpi", "--address", "127.0.0.1", "--port", str(port),
                               "--raw", "--timeout", "5", command],
                              capture_output=True, text=True, timeout=20).stdout.strip()
    check("lxi *IDN?", lxi("*IDN?"), "QVR,30V-3A,0,2.0")
    lxi("VOLT MIN")
    check("lxi limits", lxi("VOLT?;:VOLT? MAX;:MEAS:MODE?;:STAT:OPER:COND?"), "0.0;30.0;CV;256")

    # A web page's form, as curl posts it: sent away with the body in the same packet as the
    # headers, in a later one (after "Expect: 100-continue" waits out), or a GET; nothing of it
    # reaches the supply, and scripts go on being served.
    start = os.path.getsize(wire)
    url = f"http://127.0.0.1:{port}/"
    for args in (["--data-binary", "\nVOLT 12\nCURR 2\n"],
                 ["-H", "Expect: 100-continue", "--expect100-timeout", "1", "--data-binary",
                  "\nVOLT 12\nCURR 2\n" + "x" * 2000],
                 ["-G", "--data-urlencode", "x=\nVOLT 12\n"]):
        done = subprocess.run(["curl", "-s", "--max-time", "5", "-H", "Content-Type: text/plain"]
                              + args + [url], capture_output=True, timeout=20)
        check(f"curl {args[0]} refused", (done.returncode in (52, 56), done.stdout), (True, b""))
    check("nothing of the web requests sent", b"VOLT12" in wire_since(start) or
          b"CURR2" in wire_since(start), False)
    check("served after them", lxi("*IDN?"), "QVR,30V-3A,0,2.0")

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
recorded = open(operator_csv).read()
check("the operator's recording ran to the close",
      (recorded.count("recording ended"), recorded.rstrip().endswith("recording ended"),
       "refused a web browser's request" in recorded), (1, True, True))
print("\n".join(failures) or "PyVISA: all checks passed")
sys.exit(1 if failures else 0)
