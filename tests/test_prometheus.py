#!/usr/bin/python3
"""Two benches scraped by the real engine: Debian's prometheus, on loopback with a 1 s scrape and
rule evaluation and the shipped alerting rules, scrapes two qvr (offscreen, each with its own
simulated supply, data folder, remote-control and metrics ports). Its HTTP API must give each
bench's output voltage under the bench's name, and a pulled port as qvr_link_up 0, more link
losses and the port-lost alert pending."""
import json, os, shutil, signal, socket, subprocess, sys, tempfile, time, urllib.parse, urllib.request

bin_dir, rules = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="qvr-prometheus-")
failures, children = [], []


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(test, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            got = test()
            if got:
                return got
        except OSError:
            pass
        time.sleep(0.2)
    failures.append(f"{what}: not within {seconds} s")
    return None


def start(args, **kw):
    p = subprocess.Popen(args, **kw)
    children.append(p)
    return p


class Bench:
    def __init__(self, name, volts):
        self.name, self.volts = name, volts
        self.data = os.path.join(work, name.replace(" ", "-"))
        os.mkdir(self.data)
        self.sim = start([f"{bin_dir}/qvr-supply-sim"], stdout=subprocess.PIPE, text=True)
        device = self.sim.stdout.readline().strip().split("=", 1)[1]
        subprocess.run([f"{bin_dir}/qvr-setport", self.data, "1"], check=True,
                       stdout=subprocess.DEVNULL)
        self.remote, self.metrics = free_port(), free_port()
        self.instance = f"127.0.0.1:{self.metrics}"
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QVR_COM1=device)
        env.pop("QVR_DATA_DIR", None)
        self.qvr = start([f"{bin_dir}/qvr", "--data", self.data, "--name", name,
                          "--remote", str(self.remote), "--metrics", str(self.metrics)], env=env,
                         stderr=subprocess.DEVNULL)

    def set_output(self):
        s = wait_for(lambda: socket.create_connection(("127.0.0.1", self.remote)), 10,
                     f"{self.name}: remote control")
        if s:
            with s:  # 10 ohm: a current limit above what the voltage drives, so it stays C.V.
                s.sendall(f"CURR 2;VOLT {self.volts};*OPC?\n".encode())
                s.settimeout(5)
                s.recv(64)


def query(expr):
    url = f"http://127.0.0.1:{web}/api/v1/query?" + urllib.parse.urlencode({"query": expr})
    with urllib.request.urlopen(url, timeout=5) as r:
        got = json.load(r)
    return {m["metric"].get("bench", m["metric"].get("instance")): float(m["value"][1])
            for m in got["data"]["result"]}


def alerts():
    with urllib.request.urlopen(f"http://127.0.0.1:{web}/api/v1/alerts", timeout=5) as r:
        return json.load(r)["data"]["alerts"]


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


try:
    benches = [Bench("bench A", 5), Bench("bench B", 12)]
    web = free_port()
    shutil.copy(rules, work)
    config = os.path.join(work, "prometheus.yml")
    with open(config, "w") as f:
        f.write("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                f"rule_files: [{os.path.basename(rules)}]\n"
                "scrape_configs:\n  - job_name: qvr\n    static_configs:\n      - targets: ["
                + ", ".join(f'"{b.instance}"' for b in benches) + "]\n")
    engine = start(["prometheus", f"--config.file={config}",
                    f"--storage.tsdb.path={work}/tsdb", f"--web.listen-address=127.0.0.1:{web}"],
                   stdout=subprocess.DEVNULL, stderr=open(f"{work}/prometheus.log", "w"))
    for b in benches:
        b.set_output()
    wait_for(lambda: urllib.request.urlopen(f"http://127.0.0.1:{web}/-/ready", timeout=2), 30,
             "prometheus ready")
    named = "qvr_output_voltage_volts * on(instance) group_left(bench) qvr_info"
    wait_for(lambda: query(named) == {"bench A": 5.0, "bench B": 12.0}, 20,
             "both benches' voltages")
    check("voltages by bench", query(named), {"bench A": 5.0, "bench B": 12.0})
    check("both up", query('up{job="qvr"}'), {b.instance: 1.0 for b in benches})
    losses = "qvr_link_losses_total * on(instance) group_left(bench) qvr_info"
    before = query(losses)
    check("no losses yet", before, {"bench A": 0.0, "bench B": 0.0})

    # Bench B's adapter pulled: its pseudo-terminal goes away with the simulator.
    benches[1].sim.send_signal(signal.SIGTERM)
    link = "qvr_link_up * on(instance) group_left(bench) qvr_info"
    wait_for(lambda: query(link) == {"bench A": 1.0, "bench B": 0.0}, 20, "bench B's link down")
    check("links", query(link), {"bench A": 1.0, "bench B": 0.0})
    after = wait_for(lambda: (lambda q: q if q.get("bench B", 0) > 0 else None)(query(losses)),
                     10, "bench B's loss counted")
    check("losses", after and after["bench A"], 0.0)
    pending = wait_for(lambda: [a for a in alerts() if a["labels"]["alertname"] == "QvrPortLost"],
                       10, "the port-lost alert")
    check("the port-lost alert", pending and [(a["state"], a["labels"].get("bench"))
                                              for a in pending], [("pending", "bench B")])
    check("bench B still scraped", query('up{job="qvr"}'), {b.instance: 1.0 for b in benches})
finally:
    for p in reversed(children):
        if p.poll() is None:
            p.terminate()
    for p in children:
        try:
            p.wait(10)
        except subprocess.TimeoutExpired:
            p.kill()
    for p in children:
        if p.args[0].endswith("/qvr") and p.returncode != 0:
            failures.append(f"{p.args[0]} {p.args[1:5]} ended with {p.returncode}")
    if failures and os.path.exists(f"{work}/prometheus.log"):
        print(open(f"{work}/prometheus.log").read()[-3000:])
    shutil.rmtree(work, ignore_errors=True)

for f in failures:
    print("FAIL:", f)
print("PASS" if not failures else f"{len(failures)} failure(s)")
sys.exit(1 if failures else 0)
