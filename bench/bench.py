#!/usr/bin/env python3
"""Download benchmark: setup.exe under Wine against curl, aria2c and axel, served by nginx on
loopback in four network scenarios. Started by bench/run.sh, which builds what it needs and
gives it a display; see bench/README.md.

Every number is measured in this run: nothing is assumed, nothing is left out. Each
scenario's runs go round the downloaders in turn, so background load falls on all of them.
"""
import argparse
import datetime
import hashlib
import json
import math
import os
import platform
import queue
import random
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import threading
import time

MIB = 1024 * 1024
PARTS = 40                       # the setup's fixed number of parts
RATE = MIB                       # per-connection limit of scenarios b, c, d (nginx "1m")
STRAGGLER_PART = 17              # the part whose range is served slowly in scenario d
STRAGGLER_FACTOR = 10
DELAY_MS = 25                    # each way, through bench/delay_proxy.py: 50 ms round trip
INSTALLER = "TalvenorSetup.exe"  # the file name in the demo setup's download address
CLK_TCK = os.sysconf("SC_CLK_TCK")
OWN_PROCESSES = ("setup.exe", "bench_driver.ex")  # Linux keeps 15 characters of a name

SCENARIOS = {
    "a": dict(title="(a) no limits", rate=None, delay_ms=0, straggler=False),
    "b": dict(title="(b) 1 MiB/s per connection", rate=RATE, delay_ms=0, straggler=False),
    "c": dict(title="(c) 1 MiB/s per connection + 50 ms RTT", rate=RATE, delay_ms=DELAY_MS, straggler=False),
    "d": dict(title="(d) 1 MiB/s per connection, one range 10x slower", rate=RATE, delay_ms=0, straggler=True),
}
TOOLS = ["setup", "curl", "aria2c", "axel"]
TOOL_NAMES = {
    "setup": "setup.exe (Wine, 40 parts)",
    "curl": "curl (1 connection)",
    "aria2c": "aria2c -x16 -s16 -k1M",
    "axel": "axel -n 40",
}
TOOL_CONNECTIONS = {"setup": 40, "curl": 1, "aria2c": 16, "axel": 40}


def log(*parts):
    print(*parts, file=sys.stderr, flush=True)


# --- small helpers -----------------------------------------------------------------------

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_free(port):
    """Nobody listens on the port (connections of a stopped server may linger in TIME_WAIT;
    nginx and the proxy bind with SO_REUSEADDR, and so does this test)."""
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def wait_until(predicate, timeout, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(4 * MIB), b""):
            digest.update(block)
    return digest.hexdigest()


def read_text(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode(errors="replace")
    except OSError:
        return None


def proc_cpu_seconds(pid):
    """utime + stime of a whole process (all its threads), or None when it is gone."""
    text = read_text(f"/proc/{pid}/stat")
    if not text:
        return None
    fields = text[text.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def proc_status_kib(pid, key):
    text = read_text(f"/proc/{pid}/status")
    if not text:
        return None
    match = re.search(rf"^{key}:\s+(\d+) kB", text, re.M)
    return int(match.group(1)) if match else None


def wine_processes(prefix):
    """pid -> name of the Linux processes that run in our Wine prefix (other people run the
    same programs in prefixes of their own)."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        environ = read_text(f"/proc/{entry}/environ") or ""
        if f"WINEPREFIX={prefix}\0" in environ:
            found[int(entry)] = (read_text(f"/proc/{entry}/comm") or "").strip()
    return found


def find_wine_process(comm, prefix):
    for pid, name in wine_processes(prefix).items():
        if name == comm:
            return pid
    return None


def helpers_cpu_seconds(prefix, exclude):
    """CPU time so far of the prefix's other Wine processes (wineserver, winedevice.exe,
    services.exe, explorer.exe, ...), which do part of the work of the setup's system calls."""
    total = 0.0
    for pid, name in wine_processes(prefix).items():
        if name not in exclude:
            total += proc_cpu_seconds(pid) or 0.0
    return total


def nginx_seconds(length, rate):
    """How long nginx's limit_rate takes for one answer of `length` bytes: it sends one
    second's worth at once, then waits as long as that takes at the rate, and so on, so the
    last bytes leave after ceil(length / rate) - 1 seconds."""
    return max(0, math.ceil(length / rate - 1e-9) - 1)


def range_patterns(lo, hi):
    """Regular expressions (alternatives) that match the decimal numbers lo..hi exactly."""
    out = []
    while lo <= hi:
        k = 0
        while lo % 10 ** (k + 1) == 0 and lo + 10 ** (k + 1) - 1 <= hi:
            k += 1
        step = 10 ** k
        digit = (lo // step) % 10
        count = 1
        while digit + count <= 9 and lo + (count + 1) * step - 1 <= hi:
            count += 1
        head = lo // step // 10
        out.append((str(head) if head else "") + (f"[{digit}-{digit + count - 1}]" if count > 1 else str(digit))
                   + ("[0-9]{%d}" % k if k else ""))
        lo += count * step
    return out


def machine_facts(root):
    def first_line(command):
        try:
            out = subprocess.run(command, capture_output=True, text=True, timeout=20)
            return (out.stdout or out.stderr).strip().splitlines()[0]
        except (OSError, IndexError, subprocess.TimeoutExpired):
            return "?"
    cpu = "?"
    for line in (read_text("/proc/cpuinfo") or "").splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    meminfo = read_text("/proc/meminfo") or ""
    total = re.search(r"MemTotal:\s+(\d+)", meminfo)
    return {
        "nproc": os.cpu_count(),
        "cpu": cpu,
        "memory": f"{int(total.group(1)) // 1024 // 1024} GiB" if total else "?",
        "kernel": platform.release(),
        "wine": first_line(["wine", "--version"]),
        "nginx": first_line(["nginx", "-v"]),
        "curl": first_line(["curl", "--version"]).split(" (")[0],
        "aria2c": first_line(["aria2c", "--version"]),
        "axel": first_line(["axel", "--version"]),
        "python": platform.python_version(),
    }


# --- servers -----------------------------------------------------------------------------

class Servers:
    """nginx (through tools/nginx-serve.sh) and, for scenario c, the delay proxy in front."""

    def __init__(self, root, run, www, port, scenario, size):
        self.root, self.run, self.www, self.port, self.scenario, self.size = root, run, www, port, scenario, size
        self.nginx_run = os.path.join(run, "nginx-" + scenario)
        self.proxy = None
        self.timing_log = os.path.join(self.nginx_run, "logs", "timing.log")

    def start(self, lifetime):
        setting = SCENARIOS[self.scenario]
        shutil.rmtree(self.nginx_run, ignore_errors=True)
        os.makedirs(os.path.join(self.nginx_run, "logs"))
        http_conf = os.path.join(self.nginx_run, "bench-http.conf")
        lines = [
            "log_format bench_timing '$msec $request_time $status $bytes_sent \"$http_range\" "
            "$connection $request_method';",
            f"access_log {self.timing_log} bench_timing;",
        ]
        env = dict(os.environ, NGINX_SERVE_HTTP_INCLUDE=http_conf)
        env.pop("NGINX_SERVE_LIMIT_RATE", None)
        env.pop("NGINX_SERVE_SERVER_INCLUDE", None)
        if setting["straggler"]:
            part = self.size // PARTS
            first, last = STRAGGLER_PART * part, (STRAGGLER_PART + 1) * part - 1
            alternatives = "|".join(range_patterns(first, last))
            slow = setting["rate"] // STRAGGLER_FACTOR
            lines.append(f'map $http_range $bench_rate {{ "~^bytes=({alternatives})-" {slow}; default {setting["rate"]}; }}')
            server_conf = os.path.join(self.nginx_run, "bench-server.conf")
            with open(server_conf, "w") as f:
                f.write("limit_rate $bench_rate;\n")
            env["NGINX_SERVE_SERVER_INCLUDE"] = server_conf
        elif setting["rate"]:
            env["NGINX_SERVE_LIMIT_RATE"] = str(setting["rate"])
        with open(http_conf, "w") as f:
            f.write("\n".join(lines) + "\n")

        nginx_port = free_port() if setting["delay_ms"] else self.port
        if not port_free(self.port):
            raise SystemExit(f"port {self.port} is busy; run bench/run.sh again (it picks a free one)")
        subprocess.run([os.path.join(self.root, "tools/nginx-serve.sh"), "start", self.www, str(nginx_port),
                        self.nginx_run], env=env, check=True)
        if setting["delay_ms"]:
            self.proxy = subprocess.Popen(
                [sys.executable, os.path.join(self.root, "bench/delay_proxy.py"), "--listen", str(self.port),
                 "--upstream", str(nginx_port), "--delay-ms", str(setting["delay_ms"]), "--lifetime", str(int(lifetime))],
                stderr=subprocess.DEVNULL)
            with open(os.path.join(self.run, "proxy.pid"), "w") as f:
                f.write(str(self.proxy.pid))
        if not wait_until(lambda: not port_free(self.port), 10):
            raise SystemExit("the server did not come up")

    def stop(self):
        if self.proxy:
            self.proxy.terminate()
            try:
                self.proxy.wait(10)
            except subprocess.TimeoutExpired:
                self.proxy.kill()
                self.proxy.wait()
            self.proxy = None
            try:
                os.remove(os.path.join(self.run, "proxy.pid"))
            except OSError:
                pass
        pid_file = os.path.join(self.nginx_run, "nginx.pid")
        pid = None
        if os.path.exists(pid_file):
            pid = int(open(pid_file).read().strip() or 0)
        subprocess.run([os.path.join(self.root, "tools/nginx-serve.sh"), "stop", self.nginx_run], check=False)
        if pid:
            wait_until(lambda: not os.path.exists(f"/proc/{pid}"), 10)
        wait_until(lambda: port_free(self.port), 10)

    def log_offset(self):
        try:
            return os.path.getsize(self.timing_log)
        except OSError:
            return 0

    def requests_since(self, offset):
        """The requests nginx logged since `offset`: start, end, status, bytes sent, range."""
        time.sleep(0.2)  # nginx writes a line when a request ends; let the last ones land
        out = []
        try:
            with open(self.timing_log, "rb") as f:
                f.seek(offset)
                text = f.read().decode(errors="replace")
        except OSError:
            return out
        pattern = re.compile(r'^(\S+) (\S+) (\d+) (\d+) "([^"]*)" (\d+) (\S+)$')
        for line in text.splitlines():
            m = pattern.match(line)
            if m:
                end, took = float(m.group(1)), float(m.group(2))
                out.append(dict(start=end - took, end=end, status=int(m.group(3)), sent=int(m.group(4)),
                                range=m.group(5), method=m.group(7)))
        return out


def server_summary(requests, size):
    """The span from the first request's start to the end of the last answer that carried a
    whole range (or the whole file), and all bytes the server sent, as a multiple of the size.
    An answer that was cut off (a probe whose body is dropped, a connection aria2 ends early)
    counts for its start and its bytes, not for the end."""
    if not requests:
        return None, None
    start = min(r["start"] for r in requests)
    ends = [r["end"] for r in requests if r["status"] == 206 or (r["status"] == 200 and r["sent"] >= size)]
    span = (max(ends) - start) if ends else None
    return span, sum(r["sent"] for r in requests) / size


def setup_phases(requests, result):
    """Where a setup run's time goes, from nginx's log and the two ends the bench saw:
    Install click to the probe's request; the probe (until its answer ended or was cut off);
    the probe's end to the first part request; first to last part request (how long the 40
    requests take to reach the server); the slowest part's answer; its end to the renamed
    file. The phases overlap where the stack works in parallel; they are for reading, not
    for adding up."""
    install_at, done_at = result.get("install_at"), result.get("done_at")
    probe = [r for r in requests if r["range"] == "-"]
    parts = [r for r in requests if r["range"].startswith("bytes=")]
    if not (install_at and done_at and probe and parts):
        return None
    probe = min(probe, key=lambda r: r["start"])
    first_part = min(r["start"] for r in parts)
    return dict(
        to_probe=probe["start"] - install_at,
        probe=probe["end"] - probe["start"],
        probe_sent_mib=probe["sent"] / MIB,
        to_parts=first_part - probe["start"],
        part_request_spread=max(r["start"] for r in parts) - first_part,
        slowest_part=max(r["end"] - r["start"] for r in parts),
        tail=done_at - max(r["end"] for r in parts),
    )


# --- one run of each downloader -------------------------------------------------------------

class Bench:
    def __init__(self, args):
        self.args = args
        self.root = args.root
        self.run = args.work
        self.www = os.path.join(self.run, "www")
        self.out = os.path.join(self.run, "out")
        self.prefix = args.prefix
        self.down_folder = os.path.join(self.prefix, "drive_c", "users", "Public", "Documents", "Quorvane")
        self.size = args.size_mib * MIB
        self.url = f"http://127.0.0.1:{args.port}/{INSTALLER}"
        self.results = []

    # The installer: the demo installer with deterministic random bytes appended up to the
    # size (a PE overlay, so it still runs), made once per size.
    def make_installer(self):
        os.makedirs(self.www, exist_ok=True)
        path = os.path.join(self.www, INSTALLER)
        stamp = os.path.join(self.www, ".made")
        base = os.path.join(self.args.build, "bin", "demo_installer.exe")
        want = f"{self.size} {os.path.getmtime(base)}"
        if not (os.path.exists(path) and read_text(stamp) == want and os.path.getsize(path) == self.size):
            with open(base, "rb") as f:
                head = f.read()
            if len(head) >= self.size:
                raise SystemExit("the installer size is below the demo installer's own size")
            rng = random.Random(20240611)
            with open(path, "wb") as f:
                f.write(head)
                left = self.size - len(head)
                while left:
                    n = min(left, 4 * MIB)
                    f.write(rng.randbytes(n))
                    left -= n
            with open(stamp, "w") as f:
                f.write(want)
        self.sha256 = sha256_of(path)

    def tool_command(self, tool, target):
        if tool == "curl":
            return ["curl", "-sS", "--fail", "-o", target, self.url]
        if tool == "aria2c":
            return ["aria2c", "-x16", "-s16", "-k1M", "-d", os.path.dirname(target), "-o", os.path.basename(target),
                    "--allow-overwrite=true", "--auto-file-renaming=false", "-q"]
        if tool == "axel":
            return ["axel", "-n", "40", "-q", "-o", target, self.url]
        raise ValueError(tool)

    def run_tool(self, tool, timeout):
        os.makedirs(self.out, exist_ok=True)
        target = os.path.join(self.out, f"{tool}-{INSTALLER}")
        for leftover in (target, target + ".st", target + ".aria2"):
            if os.path.exists(leftover):
                os.remove(leftover)
        command = self.tool_command(tool, target)
        if tool == "aria2c":
            command.append(self.url)
        # GNU time starts the tool and reports its rusage. (Python's own wait4 would count the
        # interpreter's memory in the tool's peak: a child's maxrss keeps its pre-exec size.)
        report = os.path.join(self.out, "time-report")
        command = ["/usr/bin/time", "-q", "-f", "%U %S %M", "-o", report, "--"] + command
        started = time.time()
        try:
            process = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout)
            returncode, error = process.returncode, process.stderr.decode(errors="replace").strip()
        except subprocess.TimeoutExpired:
            returncode, error = None, f"no end after {timeout:.0f} s"
        ended = time.time()
        user = system = peak_kib = None
        fields = (read_text(report) or "").split()
        if len(fields) == 3:
            user, system, peak_kib = float(fields[0]), float(fields[1]), int(fields[2])
        ok = returncode == 0 and os.path.exists(target) and os.path.getsize(target) == self.size \
            and sha256_of(target) == self.sha256
        if os.path.exists(target):
            os.remove(target)
        return dict(ok=ok, time=ended - started, cpu=(user + system) if user is not None else None,
                    peak_mib=peak_kib / 1024 if peak_kib else None,
                    note="" if ok else f"exit {returncode} {error[:200]}")

    def run_setup(self, timeout):
        """One setup run: bench_driver.exe ticks the box and presses Install; this side finds
        the setup's Wine process, samples its CPU time and peak memory, and watches the
        download folder. The download phase ends when the complete temporary file is renamed
        to the installer's name (the hand-off to the installer), which happens right after the
        last part is written and the file closed."""
        os.makedirs(self.out, exist_ok=True)
        os.makedirs(self.down_folder, exist_ok=True)
        temp_path = os.path.join(self.down_folder, INSTALLER.rsplit(".", 1)[0] + ".down")
        exe_path = os.path.join(self.down_folder, INSTALLER)
        keep = os.path.join(self.out, "setup-download.bin")
        for path in (temp_path, exe_path, keep):
            if os.path.exists(path):
                os.remove(path)

        setup_exe = "Z:" + os.path.join(self.args.build, "demo", "setup.exe").replace("/", "\\")
        env = dict(os.environ, SETUP_WINEPREFIX=self.prefix)
        driver = subprocess.Popen(
            [os.path.join(self.root, "tools/wine-run.sh"), self.args.driver, setup_exe, str(int(timeout))],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, start_new_session=True)
        lines = queue.Queue()

        def read_lines():
            for raw in driver.stdout:
                lines.put(raw.decode(errors="replace").split())
            lines.put(None)
        reader = threading.Thread(target=read_lines, daemon=True)
        reader.start()

        pid = None
        last_scan = 0.0
        install_at = cpu_at_install = server_cpu_at_install = rss_at_install = None
        done_at = cpu_at_done = peak_kib = server_cpu_at_done = None
        linked = False
        outcome = None
        deadline = time.monotonic() + timeout + 90
        while time.monotonic() < deadline:
            now = time.time()
            if pid is None and time.monotonic() - last_scan > 0.05:
                last_scan = time.monotonic()
                pid = find_wine_process("setup.exe", self.prefix)
            try:
                while True:
                    line = lines.get_nowait()
                    if line is None:
                        outcome = outcome or "driver ended"
                        break
                    if line[0] == "install":
                        install_at = float(line[1])
                        if pid is None:
                            pid = find_wine_process("setup.exe", self.prefix)
                        cpu_at_install = proc_cpu_seconds(pid) if pid else None
                        rss_at_install = proc_status_kib(pid, "VmRSS") if pid else None
                        server_cpu_at_install = helpers_cpu_seconds(self.prefix, OWN_PROCESSES)
                    elif line[0] in ("finished", "ended", "timeout"):
                        outcome = " ".join([line[0]] + line[2:])
            except queue.Empty:
                pass
            if install_at is not None and done_at is None:
                if not linked and os.path.exists(temp_path):
                    try:
                        os.link(temp_path, keep)  # the same file, whatever happens to its name later
                        linked = True
                    except OSError:
                        pass
                if os.path.exists(exe_path) or (linked and not os.path.exists(temp_path)):
                    done_at = now
                    cpu_at_done = proc_cpu_seconds(pid) if pid else None
                    peak_kib = proc_status_kib(pid, "VmHWM") if pid else None
                    server_cpu_at_done = helpers_cpu_seconds(self.prefix, OWN_PROCESSES)
                    if not linked and os.path.exists(exe_path):
                        try:
                            os.link(exe_path, keep)
                            linked = True
                        except OSError:
                            pass
            if outcome is not None and (done_at is not None or outcome != "finished"):
                break
            time.sleep(0.005)

        if driver.poll() is None:
            try:
                driver.wait(30)
            except subprocess.TimeoutExpired:
                os.killpg(driver.pid, signal.SIGKILL)
                driver.wait()
        if outcome != "finished":
            # leave nothing of a failed run behind in our prefix
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.prefix), check=False,
                           stderr=subprocess.DEVNULL)
        ok = done_at is not None and linked and os.path.getsize(keep) == self.size and sha256_of(keep) == self.sha256
        result = dict(ok=ok and outcome == "finished", install_at=install_at, done_at=done_at,
                      time=(done_at - install_at) if (done_at and install_at) else None,
                      cpu=(cpu_at_done - cpu_at_install) if (cpu_at_done is not None and cpu_at_install is not None)
                      else None,
                      peak_mib=peak_kib / 1024 if peak_kib else None,
                      base_mib=rss_at_install / 1024 if rss_at_install else None,
                      server_cpu=(server_cpu_at_done - server_cpu_at_install)
                      if (server_cpu_at_done is not None and server_cpu_at_install is not None) else None,
                      note="" if ok and outcome == "finished" else f"{outcome}; file {'exact' if ok else 'not exact'}")
        if os.path.exists(keep):
            os.remove(keep)
        return result

    # --- the whole benchmark ---------------------------------------------------------------

    def limits(self, scenario):
        """Seconds that no downloader with 40 connections, one request each, can beat (see
        nginx_seconds), plus the added round trip before the first byte. None where only the
        machine limits (a). In d, the best is to move work away from the slow connection:
        it takes what it is sent at once, the other 39 share the rest."""
        setting = SCENARIOS[scenario]
        if not setting["rate"]:
            return None
        rtt = 2 * setting["delay_ms"] / 1000
        if setting["straggler"]:
            slow = setting["rate"] / STRAGGLER_FACTOR
            return nginx_seconds((self.size - slow) / (PARTS - 1), setting["rate"]) + rtt
        return nginx_seconds(self.size / PARTS, setting["rate"]) + rtt

    def fixed_parts_bound(self, scenario):
        """What 40 fixed equal parts cost in scenario d: the slow part alone."""
        setting = SCENARIOS[scenario]
        return nginx_seconds(self.size // PARTS, setting["rate"] / STRAGGLER_FACTOR)

    def runs_for(self, scenario, tool):
        if tool == "curl" and SCENARIOS[scenario]["rate"]:
            return min(self.args.runs, self.args.curl_runs_limited)
        return self.args.runs

    def timeout_for(self, scenario, tool):
        setting = SCENARIOS[scenario]
        if not setting["rate"]:
            return 300
        rate = setting["rate"] / STRAGGLER_FACTOR if setting["straggler"] else setting["rate"]
        return max(120, 3 * self.size / (TOOL_CONNECTIONS[tool] * rate))

    def warm_up(self, servers):
        log("warm-up: one setup run, not counted")
        result = self.run_setup(self.timeout_for("a", "setup"))
        log(f"  warm-up: {fmt(result['time'])} s, {'exact' if result['ok'] else 'FAILED ' + result['note']}")

    def thread_cost(self):
        """Resident anonymous memory that 40 waiting threads add to a Wine process, in KiB
        per thread (bench/thread_cost.cpp), or None when it could not be measured."""
        program = subprocess.Popen([os.path.join(self.root, "tools/wine-run.sh"), self.args.thread_cost],
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            def resident_after(word):
                for line in program.stdout:
                    if line.strip() == word:
                        pid = find_wine_process("thread_cost.exe", self.prefix)
                        return proc_status_kib(pid, "RssAnon") if pid else None
                return None
            before = resident_after("idle")
            program.stdin.write("go\n")
            program.stdin.flush()
            after = resident_after("threads")
            program.stdin.write("end\n")
            program.stdin.flush()
            program.wait(30)
        except (OSError, subprocess.TimeoutExpired):
            program.kill()
            return None
        if before is None or after is None:
            return None
        return (after - before) / 40

    def run_all(self):
        self.make_installer()
        started = time.time()
        self.facts = machine_facts(self.root)
        self.facts["thread_kib"] = self.thread_cost() if "setup" in self.args.tools else None
        self.facts["load_before"] = read_text("/proc/loadavg").split()[:3]
        self.facts["started"] = datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")
        for scenario in self.args.scenarios:
            servers = Servers(self.root, self.run, self.www, self.args.port, scenario, self.size)
            servers.start(lifetime=self.args.scenario_lifetime)
            try:
                if scenario == self.args.scenarios[0] and "setup" in self.args.tools and not self.args.no_warm_up:
                    self.warm_up(servers)
                log(f"{SCENARIOS[scenario]['title']}")
                for number in range(self.args.runs):
                    for tool in self.args.tools:
                        if number >= self.runs_for(scenario, tool):
                            continue
                        offset = servers.log_offset()
                        timeout = self.timeout_for(scenario, tool)
                        result = self.run_setup(timeout) if tool == "setup" else self.run_tool(tool, timeout)
                        requests = servers.requests_since(offset)
                        result["span"], result["sent"] = server_summary(requests, self.size)
                        if tool == "setup":
                            result["phases"] = setup_phases(requests, result)
                        result.update(scenario=scenario, tool=tool, run=number + 1)
                        self.results.append(result)
                        log(f"  run {number + 1} {tool:7s} {fmt(result['time'])} s  cpu {fmt(result['cpu'])} s  "
                            f"peak {fmt(result['peak_mib'], 0)} MiB  server span {fmt(result['span'])} s  "
                            f"sent {fmt(result['sent'])}x  {'exact' if result['ok'] else 'FAILED ' + result['note']}")
            finally:
                servers.stop()
        self.facts["load_after"] = read_text("/proc/loadavg").split()[:3]
        self.facts["minutes"] = (time.time() - started) / 60


def fmt(value, digits=2):
    if value is None:
        return "—"
    return f"{value:.{digits}f}"


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


# --- the report ------------------------------------------------------------------------------

def summarize(bench):
    rows = {}
    for r in bench.results:
        rows.setdefault((r["scenario"], r["tool"]), []).append(r)
    summary = {}
    for key, runs in rows.items():
        good = [r for r in runs if r["ok"]]
        summary[key] = dict(
            runs=len(runs), good=len(good),
            time=median([r["time"] for r in good]),
            tmin=min((r["time"] for r in good), default=None), tmax=max((r["time"] for r in good), default=None),
            cpu=median([r["cpu"] for r in good]),
            server_cpu=median([r.get("server_cpu") for r in good]),
            peak=median([r["peak_mib"] for r in good]),
            peak_max=max((r["peak_mib"] for r in good if r["peak_mib"] is not None), default=None),
            base=median([r.get("base_mib") for r in good]),
            span=median([r["span"] for r in good]),
            sent=median([r["sent"] for r in good]),
        )
    return summary


def table(bench, summary):
    size_mib = bench.size / MIB
    lines = ["| Scenario | Downloader | Runs (exact) | Time s, median | min–max | MiB/s | CPU s | Peak MiB "
             "| Server span s | Sent / size |", "|" + "---|" * 10]
    for scenario in bench.args.scenarios:
        name = f"({scenario})"
        limit = bench.limits(scenario)
        if limit is None:
            lines.append(f"| {name} | physical limit: none but the machine | | — | | | | | | |")
        else:
            what = {"b": f"{PARTS} connections x 1 MiB/s",
                    "c": f"{PARTS} connections x 1 MiB/s + 1 RTT",
                    "d": f"39 connections x 1 MiB/s + 1 x 0.1 MiB/s; 40 equal parts: "
                         f"{fmt(bench.fixed_parts_bound(scenario), 1)}"}
            lines.append(f"| {name} | physical limit: {what[scenario]} | | {fmt(limit)} | | "
                         f"{fmt(size_mib / limit, 1) if limit else '—'} | | | | |")
        for tool in bench.args.tools:
            s = summary.get((scenario, tool))
            if not s:
                continue
            cpu = fmt(s["cpu"])
            if tool == "setup" and s["server_cpu"] is not None:
                cpu += f" (+{fmt(s['server_cpu'])} Wine)"
            peak = fmt(s["peak"], 0)
            if tool == "setup" and s["base"] is not None:
                peak += f" ({fmt(s['base'], 0)} at Install)"
            lines.append(
                f"| {name} | {TOOL_NAMES[tool]} | {s['runs']} ({s['good']}) | {fmt(s['time'])} | "
                f"{fmt(s['tmin'])}–{fmt(s['tmax'])} | {fmt(size_mib / s['time'], 1) if s['time'] else '—'} | "
                f"{cpu} | {peak} | {fmt(s['span'])} | {fmt(s['sent'])} |")
    return "\n".join(lines)


def targets(bench, summary):
    out = []

    def t(scenario, tool):
        s = summary.get((scenario, tool))
        return s["time"] if s else None

    def verdict(ok):
        return "**met**" if ok else "**missed**"

    for scenario in ("b", "c"):
        setup, axel, aria = t(scenario, "setup"), t(scenario, "axel"), t(scenario, "aria2c")
        if setup is None or axel is None or aria is None:
            out.append(f"- {SCENARIOS[scenario]['title']}: not measured")
            continue
        out.append(f"- {SCENARIOS[scenario]['title']}: setup {fmt(setup)} s vs axel -n 40 {fmt(axel)} s — "
                   f"at least as fast: {verdict(setup <= axel)} (ratio {fmt(setup / axel)}); "
                   f"vs aria2c -x16 {fmt(aria)} s — at least twice as fast: {verdict(2 * setup <= aria)} "
                   f"(speed-up {fmt(aria / setup)}x)")
    setup, aria = t("a", "setup"), t("a", "aria2c")
    if setup is not None and aria is not None:
        out.append(f"- {SCENARIOS['a']['title']}: setup {fmt(setup)} s vs aria2c {fmt(aria)} s — within 1.5x: "
                   f"{verdict(setup <= 1.5 * aria)} (ratio {fmt(setup / aria)})")
    else:
        out.append(f"- {SCENARIOS['a']['title']}: not measured")
    budget = bench.size / MIB + 32
    peaks = [(sc, s["peak_max"]) for (sc, tool), s in summary.items() if tool == "setup" and s["peak_max"]]
    if peaks:
        worst = max(p for _, p in peaks)
        bases = [s["base"] for (sc, tool), s in summary.items() if tool == "setup" and s["base"]]
        out.append(f"- Peak memory of the setup (VmHWM, highest of all runs): {fmt(worst, 0)} MiB vs budget "
                   f"{fmt(budget, 0)} MiB (installer + 32 MiB): {verdict(worst <= budget)}"
                   + (f"; the Wine process already held {fmt(median(bases), 0)} MiB (VmRSS) when Install was "
                      f"pressed, so the download added {fmt(worst - median(bases), 0)} MiB at most" if bases else "")
                   + (f"; of that, the installer itself is {fmt(bench.size / MIB, 0)} MiB (held in memory whole until "
                      f"each part is written) and Wine gives every running thread about "
                      f"{fmt(bench.facts['thread_kib'] / 1024, 2)} MiB of resident memory (40 waiting threads in a Wine "
                      f"process: +{fmt(40 * bench.facts['thread_kib'] / 1024, 0)} MiB, bench/thread_cost.cpp), which "
                      f"the 40 part threads pay while they run" if bench.facts.get("thread_kib") else ""))
    d = summary.get(("d", "setup"))
    if d and d["time"]:
        out.append(f"- {SCENARIOS['d']['title']}: setup {fmt(d['time'])} s; the slow part alone needs "
                   f"{fmt(bench.fixed_parts_bound('d'), 1)} s at a tenth of 1 MiB/s, the scenario's limit is "
                   f"{fmt(bench.limits('d'))} s (reported, no target)")
    return "\n".join(out)


def phases_table(bench):
    keys = [("to_probe", "Install → probe request"), ("probe", "probe answer"),
            ("probe_sent_mib", "probe MiB sent"), ("to_parts", "probe → 1st part request"),
            ("part_request_spread", "1st → 40th part request"), ("slowest_part", "slowest part answer"),
            ("tail", "last part's end → file complete")]
    lines = ["| Scenario | " + " | ".join(title for _, title in keys) + " |", "|" + "---|" * (len(keys) + 1)]
    for scenario in bench.args.scenarios:
        runs = [r["phases"] for r in bench.results
                if r["scenario"] == scenario and r["tool"] == "setup" and r["ok"] and r.get("phases")]
        if runs:
            lines.append(f"| ({scenario}) | " + " | ".join(fmt(median([p[k] for p in runs])) for k, _ in keys) + " |")
    return "\n".join(lines) if len(lines) > 2 else ""


def machine_text(bench):
    f = bench.facts
    return (f"{f['started']}; {f['nproc']} CPUs ({f['cpu']}), {f['memory']} RAM, Linux {f['kernel']}; "
            f"{f['wine']}; {f['nginx']}; {f['curl']}; {f['aria2c']}; {f['axel']}; Python {f['python']}. "
            f"Load average (1, 5, 15 min) before: {' '.join(f['load_before'])}, after: {' '.join(f['load_after'])}. "
            f"Duration {f['minutes']:.1f} min.")


NOTES = """\
How to read it:
- Time: for curl, aria2c and axel, from their start to their exit (probe included); for the setup,
  from the click on Install (the driver's clock) to the moment the complete temporary file is
  renamed for the installer, which follows the write of the last part at once (probe,
  40 parts and the ordered writes with their flushes included; the installer's run is not).
  Median over the runs whose file was byte-exact (sha256 of the whole file).
- CPU s: user + system time. curl, aria2c, axel: of the whole process (GNU time). The setup: of its
  Wine process (/proc/<pid>/stat, all threads) from Install to the complete file; beside it,
  "+ Wine": the CPU time of the prefix's other Wine processes over the same time (wineserver,
  winedevice.exe, ...), which do part of the work of the setup's system calls (they also
  serve the driver, so this is an upper bound).
- Peak MiB: curl, aria2c, axel: maximum resident set (GNU time). The setup: VmHWM of its Wine
  process when the file is complete (the part buffers are freed as they are written, so the
  peak is reached during the download); in brackets its VmRSS when Install was pressed (Wine,
  the window and its skin images), the part of the peak that is not the download's.
- Server span: from the start of the first request to the end of the last complete answer,
  from nginx's log ($msec - $request_time); independent of process start-up.
- Sent / size: all bytes nginx sent during the run, headers and cut-off answers included,
  divided by the installer's size (1.00 means nothing was fetched twice).
- Physical limit: the least time for 40 connections with one request each. Scenarios (b) to
  (d) use nginx's limit_rate, which sends each answer one second's worth at once and then one
  second's worth per second, so a range of L bytes at rate r ends after ceil(L / r) - 1 s
  (2 s for the 2.5 MiB parts of 100 MiB, not 2.5 s). A downloader that reopens requests gets
  a new first second's worth each time, so it can come below this limit.
- Scenario (c): a delay proxy of our own adds 25 ms each way; the TCP handshake with the proxy
  itself is not delayed, so a new connection costs one round trip less than on a real path.
- Scenario (d): every request whose range starts inside part 17 of the setup's 40 equal parts
  is served at a tenth of the rate; the others at 1 MiB/s. curl (one request without a range)
  never meets the slow rate; aria2c and axel meet it with whichever connection starts there.
- curl on one connection at 1 MiB/s takes about size / 1 MiB/s whatever the machine, so it is
  run fewer times in the limited scenarios (see Runs).
"""


def write_report(bench, summary):
    body = (f"Installer of {bench.size // MIB} MiB served by nginx on 127.0.0.1; "
            f"{bench.args.runs} run{'s' if bench.args.runs != 1 else ''} per downloader and scenario"
            f"{' (quick mode)' if bench.args.quick else ''}.\n\n"
            f"Product: {bench.args.product}.\n\n"
            f"Machine: {machine_text(bench)}\n\n"
            + "".join(f"- {SCENARIOS[k]['title']}\n" for k in bench.args.scenarios)
            + f"\n{table(bench, summary)}\n\nTargets:\n{targets(bench, summary)}\n\n"
            f"Where the setup's time goes (medians in seconds, from nginx's log; the phases overlap):\n\n"
            f"{phases_table(bench)}\n\n{NOTES}")
    print("\n" + body)
    # A full run is kept in bench/; a quick or partial one only in the build folder.
    full = (not bench.args.quick and bench.args.scenarios == list(SCENARIOS) and bench.args.tools == TOOLS
            and bench.args.size_mib == 100)
    folder = os.path.join(bench.root, "bench") if full else bench.run
    name = "results" if full else ("results-quick" if bench.args.quick else "results-partial")
    results_md = os.path.join(folder, name + ".md")
    with open(results_md, "w") as f:
        f.write("# Download benchmark: latest results\n\nWritten by bench/run.sh; see bench/README.md.\n\n")
        f.write(body)
        f.write("\nEvery run:\n\n| Scenario | Downloader | Run | Time s | CPU s | Peak MiB | Server span s | Sent / size "
                "| Exact | Note |\n|---|---|---|---|---|---|---|---|---|---|\n")
        for r in bench.results:
            f.write(f"| {r['scenario']} | {r['tool']} | {r['run']} | {fmt(r['time'], 3)} | {fmt(r['cpu'])} | "
                    f"{fmt(r['peak_mib'], 0)} | {fmt(r['span'], 3)} | {fmt(r['sent'])} | {'yes' if r['ok'] else 'no'} "
                    f"| {r['note']} |\n")
    with open(os.path.join(folder, name + ".json"), "w") as f:
        json.dump(dict(facts=bench.facts, size=bench.size, runs=bench.args.runs, results=bench.results), f, indent=1)
    log(f"written: {results_md}")
    # bench/README.md shows the latest full table between its markers
    if full:
        readme = os.path.join(bench.root, "bench", "README.md")
        current = read_text(readme) or ""
        begin, end = "<!-- latest results: begin -->", "<!-- latest results: end -->"
        if begin in current and end in current:
            before, rest = current.split(begin, 1)
            after = rest.split(end, 1)[1]
            with open(readme, "w") as f:
                f.write(f"{before}{begin}\n{body}{end}{after}")


def main():
    # a stop from outside still runs the finally blocks that stop the servers
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True, help="the bench build folder (demo/setup.exe, bin/)")
    parser.add_argument("--work", required=True, help="folder of the servers, the installer and the downloads")
    parser.add_argument("--product", default="?", help="which build of the product is measured")
    parser.add_argument("--prefix", required=True, help="the Wine prefix of the setup runs")
    parser.add_argument("--driver", required=True, help="bench_driver.exe")
    parser.add_argument("--thread-cost", required=True, help="thread_cost.exe")
    parser.add_argument("--port", type=int, required=True, help="the port in the demo setup's download address")
    parser.add_argument("--size-mib", type=int, default=100)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--curl-runs-limited", type=int, default=1)
    parser.add_argument("--scenarios", default="abcd")
    parser.add_argument("--tools", default=",".join(TOOLS))
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--no-warm-up", action="store_true")
    parser.add_argument("--scenario-lifetime", type=float, default=1800, help="seconds the delay proxy may live")
    args = parser.parse_args()
    args.scenarios = [s for s in args.scenarios if s in SCENARIOS]
    args.tools = [t for t in args.tools.split(",") if t in TOOLS]
    bench = Bench(args)
    bench.run_all()
    write_report(bench, summarize(bench))


if __name__ == "__main__":
    main()
