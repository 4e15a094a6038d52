#!/usr/bin/python3
"""make bench: times whole scans of generated machines against the platform's floor and a
native peer, checks that the scanner, the window and the peer agree, and writes the table
to bench/README.md (and standard output).

    run.py WIN32_BUILD [--sizes 5000,20000,50000] [--timeout 1800] [--wide 5000]
           [--registry 500000] [--readme FILE]

Everything lives under WIN32_BUILD/bench: the floor and window clock programs, the bench
prefix (C: Wine's own installation with Orvenna installed in C:\\Program Files\\Orvenna,
B: the bench folder) and the machines, cached by size and generator hash. Each machine is
mapped as D: in turn. A second prefix, whose registry the bench grows once to the values
asked for, times the modern reading of the registry (D: empty) against
bench/registry_floor.c. Run it with a display (the Makefile starts Xvfb when there is none).

What is measured, per run: wall time of the Windows process (Wine's start included, the
same for every program); CPU time as user+system of the process and its waited children
(wait4), plus what the prefix's wineserver and service processes spent meanwhile; peak
memory as the process's peak resident set (ru_maxrss, or VmHWM for the window)."""

import argparse
import datetime
import json
import os
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import make_machine  # noqa: E402

INSTALLED = "C:\\Program Files\\Orvenna"
SHARED_KEY = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
ORVENNA_KEY = "HKEY_LOCAL_MACHINE\\Software\\Tessaly Software Ltd\\Orvenna\\4.70\\Preferences"
CLOCK_TICK = os.sysconf("SC_CLK_TCK")
# Stop is sent this long after the window first shows a status: within the scan of the
# smallest machine, which now takes about three seconds.
STOP_DELAY = 1.0
QUIET = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
# The quick and the full scan with the modern reading: import tables wherever the linker
# put them, forwarders, API sets, side-by-side assemblies, loadable extensions.
DIRECTORIES_RUN = "orvscan --modern"
FULL_MODERN_RUN = "orvscan --full --modern"
# The modern reading of a grown registry, with D: empty: the registry is all it reads. Its
# reading is timed between the progress texts on either side of it, the floor's by the
# floor itself: the processes' start and the cross-check are no part of either.
REGISTRY_RUN = "orvscan --modern, grown registry"
REGISTRY_PHASE = ("Reading module names in the registry", "Cross checking valid")
# The quick scan with 64-bit DLLs included: on a machine without them it must cost what
# the quick scan costs.
WIDE_RUN = "orvscan --64-bit"
# The classic quick scan before the offer of the modern reading has been made: it also
# counts what it passes over (the registry's names, manifests, forwarders, add-ons).
PENDING_RUN = "orvscan --quick, offer pending"
# Every run of a machine is made this many times (--rounds), and its fastest kept.
ROUNDS = 3
# A machine whose warm-up is shorter than this has each run made three times a round.
SHORT_MACHINE_SECONDS = 4


class LineReader:
    """Lines of a process's output, given up on when the process has ended: a service it
    started may keep the pipe open long after."""

    def __init__(self, process):
        self.process = process
        self.lines = queue.Queue()
        threading.Thread(target=self.pump, daemon=True).start()

    def pump(self):
        for line in self.process.stdout:
            self.lines.put(line.strip())

    def next(self, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                return self.lines.get(timeout=0.1)
            except queue.Empty:
                if self.process.poll() is not None and self.lines.empty():
                    return None
        return None


class Bench:
    def __init__(self, build, timeout, prefix="prefix", rounds=ROUNDS):
        self.build = os.path.abspath(build)
        self.rounds = rounds
        self.work = os.path.join(self.build, "bench")
        self.prefix = os.path.join(self.work, prefix)
        self.timeout = timeout
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH="win32", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        # The SharedDLLs values of the machine mapped last, kept with the prefix: a later
        # run must remove them too, or they would count for the next machine.
        self.registered_path = os.path.join(self.work, "registered.json")
        self.registered = []
        if os.path.exists(self.registered_path):
            with open(self.registered_path) as f:
                self.registered = json.load(f)

    # --- set-up ---------------------------------------------------------------------

    def compile_programs(self):
        """The floor, the window clock and the bare window, built with the project's warning
        flags."""
        os.makedirs(os.path.join(self.work, "bin"), exist_ok=True)
        for name, extra in [("floor", []), ("registry_floor", []), ("window_clock", []),
                            ("bare_window", ["-mwindows", "-lcomctl32"])]:
            source, target = os.path.join(HERE, name + ".c"), os.path.join(self.work, "bin", name + ".exe")
            if os.path.exists(target) and os.path.getmtime(target) > os.path.getmtime(source):
                continue
            subprocess.run(["i686-w64-mingw32-gcc", "-std=c11", "-O2", "-Wall", "-Wextra", "-Werror",
                            "-D__USE_MINGW_ANSI_STDIO=1", "-static", "-o", target, source] + extra, check=True)
        shutil.copy(os.path.join(self.build, "bin", "long_names.exe"), os.path.join(self.work, "bin"))

    def make_prefix(self):
        subprocess.run([os.path.join(ROOT, "tests", "wine", "make-prefix.sh"), self.prefix, self.work], check=True)
        installed = os.path.join(self.prefix, "drive_c", "Program Files", "Orvenna")
        os.makedirs(installed, exist_ok=True)
        for program in ["orvscan.exe", "orvenna.exe", "qemcom95.dll"]:
            shutil.copy(os.path.join(self.build, "bin", program), installed)
        for stale in os.listdir(os.path.join(self.prefix, "dosdevices")):
            if stale not in ("c:", "b:") and len(stale) == 2 and stale[1] == ":":
                os.remove(os.path.join(self.prefix, "dosdevices", stale))

    def start_session(self):
        """One wineserver for the whole run, so that no timed run pays for a session's start
        (services, desktop). They outlive the call: none may hold a pipe of ours."""
        # A server left running for the prefix (an earlier run cut short, a program
        # started by hand) would refuse to be started again.
        self.end_session()
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, **QUIET)
        subprocess.run(["wine", "B:\\bin\\window_clock.exe", "desktop"], env=self.env, cwd=self.work, **QUIET)

    def end_session(self):
        subprocess.run(["wineserver", "-k"], env=self.env, **QUIET)
        subprocess.run(["wineserver", "-w"], env=self.env, **QUIET)

    def wine(self, command, stdin=None):
        """Runs a Windows program to its end and returns its output. The output goes through
        files, not pipes: a Wine process may leave a service running that holds them."""
        with tempfile.TemporaryFile() as given, tempfile.TemporaryFile() as taken:
            given.write((stdin or "").encode("latin-1"))
            given.seek(0)
            subprocess.run(["wine", *command], env=self.env, cwd=self.work, stdin=given, stdout=taken,
                           stderr=subprocess.DEVNULL, timeout=600)
            taken.seek(0)
            return taken.read().decode("latin-1")

    def machine(self, size, wide=None, flat=None, half_64_bit=False):
        """The cached machine of this size (or a machine of the wide directory alone, or of
        one flat folder: (count, beyond_ascii)); half_64_bit: every other folder 64-bit."""
        key = f"wide{wide}" if wide is not None else f"{size}half64" if half_64_bit else str(size)
        if flat is not None:
            key = f"flat{flat[0]}{'odd' if flat[1] else ''}"
        folder = os.path.join(self.work, "machines", f"{key}-{make_machine.generator_hash()}")
        description = os.path.join(folder, "machine.json")
        if not os.path.exists(description):
            # Machines of an older generator only take disk space.
            machines = os.path.dirname(folder)
            for stale in os.listdir(machines) if os.path.isdir(machines) else []:
                if stale.startswith(key + "-"):
                    shutil.rmtree(os.path.join(machines, stale))
            started = time.monotonic()
            made = make_machine.make_machine(size, folder, wide_only=wide, flat_only=flat, half_64_bit=half_64_bit)
            made["generation_seconds"] = round(time.monotonic() - started, 1)
            with open(description, "w") as f:
                json.dump(made, f, indent=1)
        with open(description) as f:
            return folder, json.load(f)

    def map_machine(self, folder, description):
        """D: becomes the machine; its SharedDLLs values replace the last machine's."""
        link = os.path.join(self.prefix, "dosdevices", "d:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.join(folder, "tree"), link)
        lines = ["REGEDIT4", "", f"[{SHARED_KEY}]"]
        lines += ['"%s"=-' % name.replace("\\", "\\\\") for name in self.registered]
        lines += ['"%s"=dword:%08x' % (name.replace("\\", "\\\\"), count)
                  for name, count in description.get("shared_dlls", {}).items()]
        # The window's one offer to read the import directories counts as made: its box
        # would stand after the summary line, in the way of the window clock.
        lines += ["", f"[{ORVENNA_KEY}]", '"ImpDirAsked"=hex:01']
        with open(os.path.join(self.work, "shared.reg"), "w", encoding="latin-1") as f:
            f.write("\r\n".join(lines) + "\r\n")
        self.wine(["regedit", "/S", "B:\\shared.reg"])
        self.registered = list(description.get("shared_dlls", {}))
        with open(self.registered_path, "w") as f:
            json.dump(self.registered, f)
        # The peer reads system.reg, which the wineserver writes when it ends.
        self.end_session()
        self.start_session()

    def grow_registry(self, values):
        """Grows HKLM\\Software\\OrvBench to values values, once for the prefix: ten a key,
        of the kinds a machine's programs write (paths of their files, command lines,
        system modules, expanded paths, lists, numbers, binary data)."""
        marker = os.path.join(self.prefix, f".grown-{values}")
        if os.path.exists(marker):
            return
        system = sorted(n for n in os.listdir(os.path.join(self.prefix, "drive_c", "windows", "system32"))
                        if n.lower().endswith(".dll"))
        lines = ["REGEDIT4", "", "[-HKEY_LOCAL_MACHINE\\Software\\OrvBench]"]
        utf16 = lambda text: ",".join(f"{ord(c):02x},00" for c in text)
        for key in range(values // 10):
            vendor, product = divmod(key, 100)
            expanded, listed = utf16("%SystemRoot%\\data" + str(key) + ".dat"), utf16(f"one{key}.dll")
            lines += ["", f"[HKEY_LOCAL_MACHINE\\Software\\OrvBench\\Vendor{vendor}\\Product{product}]",
                      f'"Path"="C:\\\\Program Files\\\\Vendor{vendor}\\\\Product {product}\\\\app.exe"',
                      f'"Command"="rundll32.exe shell32.dll,Control_RunDLL prod{key}.cpl"',
                      f'"Module"="C:\\\\windows\\\\system32\\\\{system[key % len(system)]}"',
                      f'"Data"=hex(2):{expanded},00,00', f'"List"=hex(7):{listed},00,00,00,00',
                      f'"Description"="Product {product} of vendor {vendor}, release {key}"',
                      f'"Version"=dword:{key:08x}', '"Size"=dword:00001000',
                      f'"Blob"=hex:{",".join(f"{b:02x}" for b in key.to_bytes(8, "little"))}', '"Empty"=""']
        with open(os.path.join(self.work, "grown.reg"), "w", encoding="latin-1") as f:
            f.write("\r\n".join(lines) + "\r\n")
        started = time.monotonic()
        self.wine(["regedit", "/S", "B:\\grown.reg"])
        self.end_session()
        print(f"registry grown by {values} values in {time.monotonic() - started:.0f} s", flush=True)
        for stale in os.listdir(self.prefix):
            if stale.startswith(".grown-"):
                os.remove(os.path.join(self.prefix, stale))
        open(marker, "w").close()

    # --- measuring -----------------------------------------------------------------

    def prefix_processes(self):
        """CPU ticks of the prefix's own processes (wineserver, services, explorer...)."""
        ticks = {}
        marker = ("WINEPREFIX=" + self.prefix).encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if marker not in f.read().split(b"\0"):
                        continue
                with open(f"/proc/{pid}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                ticks[int(pid)] = int(fields[11]) + int(fields[12])
            except OSError:
                continue
        return ticks

    def background_seconds(self, before, after, exclude=()):
        spent = sum(after[pid] - before[pid] for pid in after if pid in before and pid not in exclude)
        return spent / CLOCK_TICK

    def measure(self, name, command, stdout_path=None, phase=None):
        """Runs one program to its end or to the time limit: wall, CPU, peak memory; with
        phase (the progress texts that begin and end it), the seconds between the two on
        its standard error."""
        before = self.prefix_processes()
        out = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
        started = time.monotonic()
        process = subprocess.Popen(command, env=self.env, cwd=self.work, stdout=out,
                                   stderr=subprocess.PIPE if phase else subprocess.DEVNULL)
        stamps = {}
        if phase:
            def stamp():
                for line in process.stderr:
                    for text in phase:
                        if text.encode() in line:
                            stamps.setdefault(text, time.monotonic())
            threading.Thread(target=stamp, daemon=True).start()
        status, usage = 0, None
        while usage is None:
            pid, status, usage = os.wait4(process.pid, os.WNOHANG)
            if pid == 0:
                usage = None
                if time.monotonic() - started > self.timeout:
                    process.kill()
                    os.wait4(process.pid, 0)
                    if stdout_path:
                        out.close()
                    print(f"  {name}: timeout after {self.timeout} s", flush=True)
                    return {"name": name, "timeout": True, "bound": self.timeout}
                time.sleep(0.005)
        wall = time.monotonic() - started
        process.returncode = os.waitstatus_to_exitcode(status)
        if stdout_path:
            out.close()
        after = self.prefix_processes()
        print(f"  {name}: {wall:.2f} s", flush=True)
        result = {"name": name, "wall": wall, "cpu": usage.ru_utime + usage.ru_stime,
                  "server_cpu": self.background_seconds(before, after), "peak_mb": usage.ru_maxrss / 1024,
                  "status": process.returncode}
        if phase:
            time.sleep(0.2)
            if all(text in stamps for text in phase):
                result["phase"] = stamps[phase[1]] - stamps[phase[0]]
        return result

    def find_window_process(self):
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    # The program's own path comes first; the window clock names it later.
                    if not f.read().split(b"\0")[0].lower().endswith(b"orvenna.exe"):
                        continue
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if ("WINEPREFIX=" + self.prefix).encode() in f.read().split(b"\0"):
                        return int(pid)
            except OSError:
                continue
        return None

    def process_figures(self, pid):
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        peak = 0
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    peak = int(line.split()[1]) / 1024
        return (int(fields[11]) + int(fields[12])) / CLOCK_TICK, peak

    def measure_window(self, list_path):
        """orvenna.exe /S until the summary line, timed by the window clock inside the prefix."""
        before = self.prefix_processes()
        clock = subprocess.Popen(["wine", "B:\\bin\\window_clock.exe", "scan", str(self.timeout),
                                  "B:\\" + os.path.relpath(list_path, self.work).replace("/", "\\"),
                                  INSTALLED + "\\orvenna.exe"], env=self.env, cwd=self.work,
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        lines = LineReader(clock)
        result = {"name": "window /S"}
        line = lines.next(self.timeout + 60)
        if line.startswith("summary "):
            pid = self.find_window_process()
            cpu, peak = self.process_figures(pid) if pid else (0.0, 0.0)
            after = self.prefix_processes()
            result.update(wall=float(line.split()[1]), cpu=cpu, peak_mb=peak,
                          server_cpu=self.background_seconds(before, after, exclude={pid, clock.pid}),
                          summary=line.split(" ", 2)[2])
            print(f"  window /S: {result['wall']:.2f} s", flush=True)
        else:
            result.update(timeout=True, bound=self.timeout)
            print(f"  window /S: {line or 'no window'}", flush=True)
        clock.stdin.write("\n")
        clock.stdin.close()
        while (line := lines.next(120)) is not None:
            if line.startswith("items "):
                result["items"] = int(line.split()[1])
                break
        clock.wait()
        return result

    def measure_stop(self):
        output = self.wine(["B:\\bin\\window_clock.exe", "stop", str(STOP_DELAY), "120",
                            INSTALLED + "\\orvenna.exe"]).split()
        if output[:1] == ["stop"]:
            print(f"  stop: {output[1]} s", flush=True)
            return float(output[1])
        print(f"  stop: {' '.join(output) or 'no answer'}", flush=True)
        return None

    def run_registry(self, values):
        """The modern reading of the grown registry against its floor, D: empty, each run's
        fastest of the rounds kept."""
        print(f"registry: {values} values grown", flush=True)
        empty = os.path.join(self.work, "machines", "empty")
        os.makedirs(os.path.join(empty, "tree"), exist_ok=True)
        link = os.path.join(self.prefix, "dosdevices", "d:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.join(empty, "tree"), link)
        out = os.path.join(self.work, "out", "registry")
        os.makedirs(out, exist_ok=True)
        plan = [("registry floor", ["wine", "B:\\bin\\registry_floor.exe"], "floor.txt", None),
                (REGISTRY_RUN, ["wine", INSTALLED + "\\orvscan.exe", "--quick", "--modern", "--drives", "D"],
                 "orvscan.txt", REGISTRY_PHASE)]
        runs, readings = {}, {}
        for turn in range(self.rounds):
            print(f"  round {turn + 1} of {self.rounds}", flush=True)
            for name, command, file, phase in plan:
                result = self.measure(name, command, os.path.join(out, file), phase)
                if name == "registry floor":
                    floor = self.read_lines(os.path.join(out, file))
                    counts = dict(p.split("=") for p in floor[0].split()[1:]) if floor else {}
                    result["phase"] = float(counts.get("seconds", "nan"))
                runs[name] = fastest(runs.get(name), result)
                if "phase" in result:
                    readings[name] = min(readings.get(name, result["phase"]), result["phase"])
                print(f"    reading: {result.get('phase', float('nan')):.2f} s", flush=True)
        machine = {"files": 0, "dirs": 0, "bytes": 0, "registry_values": values,
                   "registry_seen": counts, "generation_seconds": 0}
        problems = [] if int(counts.get("values", 0)) >= values else [
            f"the registry floor saw {counts.get('values')} values, fewer than the {values} grown"]
        return {"label": "registry", "machine": machine, "runs": runs, "problems": problems, "readings": readings}

    # --- checking ------------------------------------------------------------------

    def long_paths(self, short_paths):
        text = self.wine(["B:\\bin\\long_names.exe"], stdin="\n".join(short_paths) + "\n")
        return {line.strip().lower() for line in text.splitlines() if line.strip()}

    @staticmethod
    def read_lines(path, encoding="latin-1"):
        with open(path, encoding=encoding, errors="replace") as f:
            return [line.rstrip("\r\n") for line in f if line.strip()]

    def floor_checks(self, floor_quick, floor_full, description):
        """The floor must have seen exactly the machine that was generated."""
        problems = []
        for run, figure, expected in [(floor_quick, "bytes", description["quick_bytes"]),
                                      (floor_quick, "opened", description["quick_files"]),
                                      (floor_full, "bytes", description["selected_bytes"]),
                                      (floor_full, "files", description["selected_files"]),
                                      (floor_full, "dirs", description["dirs"] + 1)]:
            got = run.get("drives", {}).get("D:", {}).get(figure)
            if got != expected:
                problems.append(f"floor {run['name']} read {figure}={got} on D:, the machine has {expected}")
        return problems

    def parse_floor(self, result, path):
        if result.get("timeout"):
            return
        result["drives"] = {}
        for line in self.read_lines(path):
            what, *pairs = line.split()
            result["drives"][what] = {k: int(v) for k, v in (p.split("=") for p in pairs)}

    # --- one machine ---------------------------------------------------------------

    def run_machine(self, label, folder, description, full=True, window=False):
        """Every run of the machine once a round, the programs in alternation, each run's
        fastest round kept: one stray wait of the shared machine cannot decide a ratio."""
        print(f"{label}: {description['files']} files, {description['bytes'] / 1e6:.0f} MB", flush=True)
        self.map_machine(folder, description)
        out = os.path.join(self.work, "out", label)
        os.makedirs(out, exist_ok=True)
        floor = ["wine", "B:\\bin\\floor.exe"]
        orvscan = ["wine", INSTALLED + "\\orvscan.exe"]
        plan = [("floor quick", floor + ["quick"], "floor-quick.txt"),
                ("orvscan --quick", orvscan + ["--quick"], "orvscan-quick.txt"),
                (DIRECTORIES_RUN, orvscan + ["--quick", "--modern"], "orvscan-directories.txt"),
                (WIDE_RUN, orvscan + ["--quick", "--64-bit"], "orvscan-64-bit.txt"),
                (PENDING_RUN, orvscan + ["--quick"], "orvscan-pending.txt")]
        if full:
            plan += [("floor full", floor + ["full"], "floor-full.txt"),
                     ("orvscan --full", orvscan + ["--full"], "orvscan-full.txt"),
                     (FULL_MODERN_RUN, orvscan + ["--full", "--modern"], "orvscan-full-modern.txt"),
                     ("window /S", None, "window-list.txt"),
                     ("peer", ["/usr/bin/python3", os.path.join(HERE, "peer.py"), self.prefix,
                               os.path.join(folder, "tree")], "peer.txt")]
        elif window:
            # Set against each other, the bare window and the scanner's own start give what
            # opening any window costs on the platform.
            plan += [("window /S", None, "window-list.txt"),
                     ("bare window", ["wine", "B:\\bin\\bare_window.exe"], "bare-window.txt"),
                     ("orvscan --help", orvscan + ["--help"], "orvscan-help.txt")]
        warm_up = self.measure("warm-up", floor + ["quick"])
        # On a machine read in a few seconds one stray wait of the shared machine would
        # decide a ratio: there every program runs three times a round, so that the two
        # sides of each ratio always have as many tries.
        tries = 3 if warm_up.get("wall", self.timeout) < SHORT_MACHINE_SECONDS else 1
        runs, stops = {}, []
        for turn in range(self.rounds):
            print(f"  round {turn + 1} of {self.rounds}", flush=True)
            for name, command, file in plan:
                path = os.path.join(out, file)
                if name == PENDING_RUN:
                    self.wine(["reg", "delete", ORVENNA_KEY, "/v", "ImpDirAsked", "/f"])
                for _ in range(tries):
                    # Both read the registry, timed apart: its cost is the machine's, not its files'.
                    phase = REGISTRY_PHASE if name in (DIRECTORIES_RUN, PENDING_RUN) else None
                    result = self.measure_window(path) if command is None else self.measure(name, command, path, phase)
                    runs[name] = fastest(runs.get(name), result)
                    if result.get("timeout"):
                        break
                if name == PENDING_RUN:
                    self.wine(["reg", "add", ORVENNA_KEY, "/v", "ImpDirAsked", "/t", "REG_BINARY", "/d", "01", "/f"])
            if full:
                stops.append(self.measure_stop())
        report = {"label": label, "machine": description, "runs": runs, "problems": []}
        self.parse_floor(runs["floor quick"], os.path.join(out, "floor-quick.txt"))
        if not full:
            return report
        self.parse_floor(runs["floor full"], os.path.join(out, "floor-full.txt"))
        report["stop"] = slowest_stop(stops)
        report["problems"] = self.floor_checks(runs["floor quick"], runs["floor full"], description)
        report["agreement"] = self.agreement(runs, out)
        report["agreement_directories"] = self.directories_agreement(runs, out, folder)
        return report

    def agreement(self, runs, out):
        """orvscan's, the window's and the peer's lists, as sets of long paths."""
        if any(runs[n].get("timeout") for n in ["orvscan --quick", "window /S", "peer"]):
            return "not checked (a run timed out)"
        scan = self.read_lines(os.path.join(out, "orvscan-quick.txt"))
        summary, scan = scan[-1], scan[:-1]
        lists = {"orvscan": self.long_paths(scan),
                 "window": self.long_paths(self.read_lines(os.path.join(out, "window-list.txt"), "utf-8")),
                 "peer": {p.lower() for p in self.read_lines(os.path.join(out, "peer.txt"))}}
        problems = []
        if not summary.startswith(f" {len(scan)} possibly unlinked .DLLs listed."):
            problems.append(f"orvscan's summary does not count its {len(scan)} lines: {summary!r}")
        for name in ["window", "peer"]:
            missing, extra = lists["orvscan"] - lists[name], lists[name] - lists["orvscan"]
            if missing or extra:
                problems.append(f"{name} differs from orvscan: {len(extra)} only in {name} "
                                f"(e.g. {sorted(extra)[:2]}), {len(missing)} only in orvscan (e.g. {sorted(missing)[:2]})")
        with open(os.path.join(out, "agreement.txt"), "w") as f:
            for name, paths in lists.items():
                f.write(f"{name}: {len(paths)}\n")
            f.write("\n".join(problems) + "\n")
        return "; ".join(problems) if problems else f"agree: {len(lists['orvscan'])} DLLs listed"

    def directories_agreement(self, runs, out, folder):
        """orvscan's list with the import directories read against the peer's by the same
        rule (run once, untimed)."""
        if runs[DIRECTORIES_RUN].get("timeout"):
            return "not checked (a run timed out)"
        with open(os.path.join(out, "peer-directories.txt"), "wb") as f:
            subprocess.run(["/usr/bin/python3", os.path.join(HERE, "peer.py"), "--import-directories", self.prefix,
                            os.path.join(folder, "tree")], stdout=f, stderr=subprocess.DEVNULL, check=True)
        scan = self.long_paths(self.read_lines(os.path.join(out, "orvscan-directories.txt"))[:-1])
        peer = {p.lower() for p in self.read_lines(os.path.join(out, "peer-directories.txt"))}
        extra = peer - scan
        missing = scan - peer
        # The peer reads import directories alone: the modern reading also follows the
        # registry, manifests, forwarders and .NET, and keeps more. It must list nothing the
        # peer keeps.
        if missing:
            return (f"differ: {len(missing)} only in orvscan (e.g. {sorted(missing)[:2]}), {len(extra)} only in "
                    f"the peer (e.g. {sorted(extra)[:2]})")
        quick = len(self.read_lines(os.path.join(out, "orvscan-quick.txt"))) - 1
        return (f"agree: {len(scan)} DLLs listed, against {quick} with only .idata read; none that the peer "
                f"keeps, {len(extra)} that it lists kept by the links it does not read (e.g. {sorted(extra)[:2]})")


# --- the table -------------------------------------------------------------------------


def fastest(kept, result):
    """Of two rounds of the same run, the one with the shorter wall time; a run that timed
    out loses to one that ended."""
    if kept is None:
        return result
    return min(kept, result, key=lambda r: r["bound"] + 1e9 if r.get("timeout") else r["wall"])


def slowest_stop(stops):
    """Stop is a limit on every attempt: the slowest counts, and one that failed fails it."""
    return None if not stops or None in stops else max(stops)


# A figure is (value, lower): lower when a run timed out and the value is only a bound.


def ratio(a, b):
    if a is None or b is None or b[1] or b[0] <= 0:
        return None
    return (a[0] / b[0], a[1])


def wall(run):
    if run is None:
        return None
    return (run["bound"], True) if run.get("timeout") else (run["wall"], False)


def beside_registry(run):
    """The run's wall time without its reading of the registry."""
    if run is None or run.get("timeout") or "phase" not in run:
        return None
    return (run["wall"] - run["phase"], False)


def cpu(run):
    return None if run is None or run.get("timeout") else (run["cpu"] + run["server_cpu"], False)


def cell(figure, digits=2, suffix=""):
    """A figure, "> bound" for a run that timed out, "n/a" when it cannot be had."""
    if figure is None:
        return "n/a"
    return ("> " if figure[1] else "") + f"{figure[0]:.{digits}f}{suffix}"


def run_rows(report):
    runs = report["runs"]
    floor = {"quick": runs.get("floor quick"), "full": runs.get("floor full")}
    peer = runs.get("peer")
    rows = []
    for name, run in runs.items():
        mode = "full" if "full" in name else "quick"
        if name == REGISTRY_RUN:
            floor = {"quick": runs.get("registry floor")}
        base = name.startswith(("floor", "registry floor")) or name in ("peer", "bare window", "orvscan --help")
        to_floor = "" if base else f"{cell(ratio(wall(run), wall(floor[mode])))} / {cell(ratio(cpu(run), cpu(floor[mode])))}"
        to_peer = cell(ratio(wall(run), wall(peer))) if mode == "quick" and not base and peer else ""
        if run.get("timeout"):
            rows.append(f"| {name} | > {run['bound']:.0f} (timeout) | | | {to_floor} | {to_peer} |")
            continue
        rows.append(f"| {name} | {run['wall']:.2f} | {run['cpu']:.2f} + {run['server_cpu']:.2f} | "
                    f"{run['peak_mb']:.0f} | {to_floor} | {to_peer} |")
    return rows


def targets(reports, wide, flat=None):
    sized = [r for r in reports if r["label"].isdigit()]
    lines = []

    def add(text, figure, limit, unit=""):
        if figure is None:
            met = "not measured"
        elif figure[1]:
            met = "not met" if figure[0] > limit else "not measured"
        else:
            met = "met" if figure[0] <= limit else "not met"
        lines.append(f"| {text} | {cell(figure, 2, unit)} | {met} |")

    for r in sized:
        add(f"quick ≤ 2× floor quick ({r['label']})", ratio(wall(r["runs"]["orvscan --quick"]),
                                                             wall(r["runs"]["floor quick"])), 2, "×")
    for r in sized:
        add(f"modern ≤ 1.15× quick ({r['label']})", ratio(wall(r["runs"].get(DIRECTORIES_RUN)),
                                                          wall(r["runs"]["orvscan --quick"])), 1.15, "×")
    for r in sized:
        add(f"modern, registry reading aside ≤ 1.15× quick ({r['label']})",
            ratio(beside_registry(r["runs"].get(DIRECTORIES_RUN)), wall(r["runs"]["orvscan --quick"])), 1.15, "×")
    for r in sized:
        add(f"full modern ≤ 1.2× full ({r['label']})", ratio(wall(r["runs"].get(FULL_MODERN_RUN)),
                                                              wall(r["runs"].get("orvscan --full"))), 1.2, "×")
    for r in sized:
        add(f"64-bit ≤ 1.05× quick, no 64-bit files ({r['label']})",
            ratio(wall(r["runs"].get(WIDE_RUN)), wall(r["runs"]["orvscan --quick"])), 1.05, "×")
    for r in sized:
        add(f"offer pending ≤ 1.3× quick ({r['label']})", ratio(wall(r["runs"].get(PENDING_RUN)),
                                                               wall(r["runs"]["orvscan --quick"])), 1.3, "×")
        add(f"offer pending, registry reading aside ≤ 1.3× quick ({r['label']})",
            ratio(beside_registry(r["runs"].get(PENDING_RUN)), wall(r["runs"]["orvscan --quick"])), 1.3, "×")
    for r in reports:
        if r["label"].startswith("half 64-bit"):
            # Both runs open and type every file; the 64-bit run reads half of them further.
            add(f"{r['label']}: 64-bit ≤ 1.2× quick", ratio(wall(r["runs"].get(WIDE_RUN)),
                                                          wall(r["runs"]["orvscan --quick"])), 1.2, "×")
    for r in sized:
        add(f"full ≤ 1.5× floor full ({r['label']})", ratio(wall(r["runs"].get("orvscan --full")),
                                                             wall(r["runs"].get("floor full"))), 1.5, "×")
    if sized:
        largest = max(sized, key=lambda r: int(r["label"]))
        add(f"quick ≤ 2× peer ({largest['label']})", ratio(wall(largest["runs"]["orvscan --quick"]),
                                                            wall(largest["runs"].get("peer"))), 2, "×")
        peaks = [largest["runs"][n].get("peak_mb") for n in ["orvscan --quick", DIRECTORIES_RUN, WIDE_RUN, "orvscan --full",
                                                        FULL_MODERN_RUN, "window /S"]
                 if n in largest["runs"]]
        peaks = [p for p in peaks if p is not None]
        add(f"peak memory ≤ 150 MB ({largest['label']})", (max(peaks), False) if peaks else None, 150, " MB")
        smallest = min(sized, key=lambda r: int(r["label"]))
        if largest is not smallest:
            add(f"growth {smallest['label']}→{largest['label']} ≤ 13×",
                ratio(wall(largest["runs"]["orvscan --quick"]), wall(smallest["runs"]["orvscan --quick"])), 13, "×")
    for r in (r for r in sized if int(r["label"]) >= 200000):
        # A whole machine's scale: the quick scan keeps to less than the full one.
        for name, limit in (("orvscan --quick", 120), ("orvscan --full", 150)):
            run = r["runs"].get(name)
            add(f"{name} peak memory ≤ {limit} MB ({r['label']})",
                None if not run or run.get("timeout") else (run["peak_mb"], False), limit, " MB")
    if wide:
        w, e = wide
        # CPU time: at a few seconds' difference, the wall time of a shared machine is noise.
        scan = [cpu(r["runs"]["orvscan --quick"]) for r in (w, e)]
        floor = [cpu(r["runs"]["floor quick"]) for r in (w, e)]
        share = None
        if None not in scan + floor:
            share = ratio((scan[0][0] - scan[1][0], False), (floor[0][0] - floor[1][0], False))
        add("wide directory ≤ 3× its floor share (CPU)", share, 3, "×")
    if flat:
        plain, odd = flat
        add(f"folder of {plain['machine']['flat_files']} DLLs, one named beyond ASCII ≤ 1.5× without",
            ratio(wall(odd["runs"]["orvscan --quick"]), wall(plain["runs"]["orvscan --quick"])), 1.5, "×")
    for r in (r for r in reports if r["label"] == "registry"):
        values = r["machine"]["registry_values"]
        readings = r.get("readings", {})
        add(f"registry reading ≤ 1.3× its floor ({values} values)",
            ratio(readings.get(REGISTRY_RUN) and (readings[REGISTRY_RUN], False),
                  readings.get("registry floor") and (readings["registry floor"], False)), 1.3, "×")
        peak = r["runs"][REGISTRY_RUN]
        add(f"registry reading peak memory ≤ 150 MB ({values} values)",
            None if peak.get("timeout") else (peak["peak_mb"], False), 150, " MB")
    for r in sized:
        add(f"window ≤ 1.2× orvscan ({r['label']})", ratio(wall(r["runs"].get("window /S")),
                                                            wall(r["runs"]["orvscan --quick"])), 1.2, "×")
    for r in sized:
        add(f"Stop ≤ 0.25 s ({r['label']})", None if r.get("stop") is None else (r["stop"], False), 0.25, " s")
    return lines


def split(run):
    return f"{run['cpu']:.2f} s process + {run['server_cpu']:.2f} s server CPU"


def missed_reasons(reports, empty=None):
    """For a ratio target missed, where the extra time went, from the same runs' CPU; the
    empty machine's runs give the window's start."""
    lines = []
    start = ""
    if empty and "window /S" in empty["runs"] and not empty["runs"]["window /S"].get("timeout"):
        start = (f" With D: empty, the window took {empty['runs']['window /S']['wall']:.2f} s and orvscan "
                 f"{empty['runs']['orvscan --quick']['wall']:.2f} s: that much is the window's start.")
        bare, console = empty["runs"].get("bare window"), empty["runs"].get("orvscan --help")
        if bare and console and not bare.get("timeout") and not console.get("timeout"):
            start += (f" A window that only opens and closes (bench/bare_window.c) takes {bare['wall']:.2f} s, "
                      f"orvscan's start alone (--help) {console['wall']:.2f} s: {bare['wall'] - console['wall']:.2f} s "
                      f"of the window's time is what the platform asks of any program with a window.")
    for r in (r for r in reports if r["label"].isdigit()):
        runs = r["runs"]
        full, floor_full = runs.get("orvscan --full"), runs.get("floor full")
        quick, floor_quick = runs["orvscan --quick"], runs["floor quick"]
        measured = [full, floor_full, quick, floor_quick]
        if None not in measured and not any(x.get("timeout") for x in measured) and \
                full["wall"] > 1.5 * floor_full["wall"]:
            extra = cpu(full)[0] - cpu(floor_full)[0]
            quick_extra = cpu(quick)[0] - cpu(floor_quick)[0]
            lines.append(f"- full scan ({r['label']}): orvscan --full {split(full)} against the floor's "
                         f"{split(floor_full)}, {extra:.2f} s more; the quick scan's work above its floor "
                         f"({split(quick)} against {split(floor_quick)}) accounts for {quick_extra:.2f} s of it, "
                         f"the search of every byte and the names it finds for the rest.")
        window = runs.get("window /S")
        if window and not window.get("timeout") and not quick.get("timeout") and \
                window["wall"] > 1.2 * quick["wall"]:
            lines.append(f"- window ({r['label']}): {window['wall']:.2f} s against orvscan's {quick['wall']:.2f} s; "
                         f"the window spent {split(window)} against orvscan's {split(quick)}: the window's own "
                         f"start, the list box filled item by item and shown once a second, and the status "
                         f"texts.{start}")
    return lines


def machine_facts():
    load = open("/proc/loadavg").read().split()[:3]
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    commit = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"], capture_output=True,
                            text=True).stdout.strip() or "unknown"
    return (f"{datetime.date.today().isoformat()} at commit {commit}, {os.cpu_count()} CPUs (`nproc`), "
            f"load average {' '.join(load)} at the end, {version}")


def render(reports, wide, command, sizes_note, flat=None):
    out = ["# Orvenna benchmark", "",
           "Whole scans of generated machines (bench/make_machine.py) in a Wine prefix whose C: is Wine's own",
           "installation and D: the machine, against the platform's floor (bench/floor.c: one walk, the bytes",
           "the scan needs read with CreateFileA and ReadFile) and a native peer (bench/peer.py, python3-pefile).",
           "", f"Made by `{command}` on {machine_facts()}.{sizes_note}", "",
           "Wall: seconds, Wine's process start included. CPU: user+system seconds of the process (its",
           "waited children included) + those of the prefix's wineserver and service processes meanwhile.",
           "Peak: the process's peak resident set (MB).", ""]
    for r in reports:
        m = r["machine"]
        if "registry_values" in m:
            seen = m["registry_seen"]
            out += [f"## registry: {m['registry_values']} values grown; the floor read {seen.get('keys', '?')} keys, "
                    f"{seen.get('values', '?')} values ({seen.get('strings', '?')} strings); D: empty", "",
                    "| run | wall s | CPU s (process + server) | peak MB | × floor (wall / CPU) | × peer (wall) |",
                    "|---|---|---|---|---|---|", *run_rows(r), "",
                    "The reading alone (its progress texts on either side; the floor's own clock): " +
                    ", ".join(f"{name} {seconds:.2f} s" for name, seconds in r.get("readings", {}).items()) + ".", ""]
            out += [f"Check failed: {problem}." for problem in r["problems"]] + [""] * bool(r["problems"])
            continue
        out += [f"## {r['label']}: {m['files']} files ({m.get('selected_files', 0)} selected), {m['dirs']} dirs, "
                f"{m['bytes'] / 1e6:.0f} MB; generated in {m.get('generation_seconds', '?')} s", "",
                "| run | wall s | CPU s (process + server) | peak MB | × floor (wall / CPU) | × peer (wall) |",
                "|---|---|---|---|---|---|", *run_rows(r), ""]
        if "stop" in r:
            out.append(f"Stop in the window ({STOP_DELAY:.0f} s into /S): "
                       f"{cell(None if r['stop'] is None else (r['stop'], False), 3, ' s')} until \" Scanning interrupted.\".")
        if "agreement" in r:
            out.append(f"Result lists: {r['agreement']}.")
        if "agreement_directories" in r:
            out.append(f"Result lists with the import directories read: {r['agreement_directories']}.")
        for problem in r["problems"]:
            out.append(f"Check failed: {problem}.")
        out.append("")
    out += ["## Targets", "", "| target | measured | |", "|---|---|---|", *targets(reports, wide, flat), ""]
    reasons = missed_reasons(reports, wide[1] if wide else None)
    if reasons:
        out += ["Where the time of a missed target went (CPU of the same runs):", "", *reasons, ""]
    if wide:
        out += [f"The wide directory's share: D: holding only {wide[0]['machine']['wide_subdirs']} subdirectories "
                "of one folder (a DLL and a manifest each), minus D: empty; quick scan against floor quick.", ""]
    return "\n".join(out)


def main(argv):
    parser = argparse.ArgumentParser(description="Times whole scans against the floor and the peer.")
    parser.add_argument("build")
    parser.add_argument("--sizes", default="5000,20000,50000")
    parser.add_argument("--timeout", type=float, default=1800)
    parser.add_argument("--rounds", type=int, default=ROUNDS,
                        help="rounds of every run (one is enough where each run takes a minute)")
    parser.add_argument("--wide", type=int, default=5000, help="subdirectories of the wide machine (0: none)")
    parser.add_argument("--flat", type=int, default=20000, help="DLLs of the flat folder (0: none)")
    parser.add_argument("--registry", type=int, default=500000, help="registry values to grow (0: no registry row)")
    parser.add_argument("--half-64-bit", type=int, default=5000,
                        help="files of the machine whose every other folder is 64-bit (0: none)")
    parser.add_argument("--readme", default=os.path.join(HERE, "README.md"))
    args = parser.parse_args(argv[1:])
    sizes = [int(s) for s in args.sizes.split(",") if s]

    bench = Bench(args.build, args.timeout, rounds=args.rounds)
    bench.compile_programs()
    bench.make_prefix()
    bench.start_session()
    reports, wide, flat, half = [], None, None, None
    try:
        if args.flat:
            flat = tuple(bench.run_machine(label, *bench.machine(0, flat=(args.flat, odd)), full=False)
                         for label, odd in (("flat", False), ("flat, one name beyond ASCII", True)))
        if args.wide:
            empty = os.path.join(bench.work, "machines", "empty")
            os.makedirs(os.path.join(empty, "tree"), exist_ok=True)
            blank = {"files": 0, "dirs": 0, "bytes": 0, "wide_subdirs": 0, "shared_dlls": {},
                     "generation_seconds": 0}
            folder, description = bench.machine(0, wide=args.wide)
            # The window on the empty drive: its start, which no scan shares.
            wide = (bench.run_machine("wide", folder, description, full=False),
                    bench.run_machine("empty", empty, blank, full=False, window=True))
        if args.half_64_bit:
            half = bench.run_machine(f"half 64-bit {args.half_64_bit}",
                                     *bench.machine(args.half_64_bit, half_64_bit=True), full=False)
        for size in sizes:
            folder, description = bench.machine(size)
            reports.append(bench.run_machine(str(size), folder, description))
    finally:
        bench.end_session()
    if args.registry:
        grown = Bench(args.build, args.timeout, "registry-prefix", args.rounds)
        grown.make_prefix()
        grown.grow_registry(args.registry)
        grown.start_session()
        try:
            reports.append(grown.run_registry(args.registry))
        finally:
            grown.end_session()
    command = "make bench" + (f" BENCH_SIZES={args.sizes}" if args.sizes != "5000,20000,50000" else "")
    command += f" BENCH_TIMEOUT={args.timeout:g}" if args.timeout != 1800 else ""
    command += f" BENCH_ROUNDS={args.rounds}" if args.rounds != ROUNDS else ""
    command += f" BENCH_WIDE={args.wide}" if args.wide != 5000 else ""
    note = "" if sizes == [5000, 20000, 50000] else f" Sizes: {args.sizes}."
    command += f" BENCH_FLAT={args.flat}" if args.flat != 20000 else ""
    command += f" BENCH_HALF_64_BIT={args.half_64_bit}" if args.half_64_bit != 5000 else ""
    command += f" BENCH_REGISTRY={args.registry}" if args.registry != 500000 else ""
    table = render(reports + list(wide or ()) + list(flat or ()) + ([half] if half else []), wide, command, note,
                   flat)
    print(table)
    with open(args.readme, "w") as f:
        f.write(table + "\n")
    failed = [p for r in reports for p in r["problems"]] + [
        r[key] for r in reports for key in ("agreement", "agreement_directories")
        if not r.get(key, "agree").startswith(("agree", "not checked"))]
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
