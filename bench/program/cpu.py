#!/usr/bin/env python3
"""The whole viewer against itself before a change and against ffplay, mpv and feh (X11 output).

Starts a private Xvfb with a window manager, makes the clips with ffmpeg, then in one run:

- CPU: the viewer idle on its welcome picture, showing a still picture, and playing a 640 x 480
  and a 1920 x 1080 mpeg4 avi; ffplay and `mpv --vo=x11` playing the same clips in a 640 x 480
  window (the size the viewer shows). After a settling time the user + system CPU time of the
  process and of every process it started (its worker processes, those that ended meanwhile
  included) is read from /proc over the measuring window. Files are opened on the viewer's
  command line when it accepts one (the title names the file), otherwise through its open button
  and the desktop's file chooser, as a person would.
- Memory: the peak resident memory (VmHWM) of the viewer process, and the largest VmHWM seen of
  the processes it started, sampled from its start to the end of the window.
- Time to first picture: a 12-megapixel JPEG and a 10 s 1920 x 1080 mpeg4 avi, each with an
  orange box at its centre, opened on the command line; the time from starting the program to
  the box's pixels at the centre of its window on the screen, read from the screen by
  firstpicture.c (built here with gcc). The viewer's lens starts at the window's centre, so the
  box is what it shows once it shows the media; the peers show the whole picture scaled into a
  640 x 480 window. Median of several runs, the programs taking turns.
- With --baseline, every viewer row is run for both builds in turn on the same clips and the
  same display, with the ratio new / baseline.
- Finally bench_frame (when built) reports the frames presented per second and the p99 frame
  interval of the viewer's own loop.

Peers and tools: bench/program/setup.sh installs them.
Usage: bench/program/cpu.py [--build DIR] [--baseline BINDIR] [--parts cpu,first,frame]
"""
import argparse
import collections
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

TICKS = os.sysconf("SC_CLK_TCK")
SCREEN_W, SCREEN_H = 1280, 1024


Stat = collections.namedtuple("Stat", "state ppid session own reaped start name")


def read_stat(pid):
    """A process's /proc/PID/stat: CPU seconds of its own and of the children it reaped, or None."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            head, tail = f.read().rsplit(")", 1)
        fields = tail.split()
    except (OSError, ValueError):
        return None
    # fields[0] is the state, 1 the parent, 3 the session; utime, stime, cutime, cstime are 11 to
    # 14; starttime 19.
    return Stat(fields[0], int(fields[1]), int(fields[3]), (int(fields[11]) + int(fields[12])) / TICKS,
                (int(fields[13]) + int(fields[14])) / TICKS, int(fields[19]), head.split("(", 1)[1])


def read_hwm_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def children(pid):
    found = []
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return found
    for tid in tasks:
        try:
            with open(f"/proc/{pid}/task/{tid}/children") as f:
                found += [int(c) for c in f.read().split()]
        except OSError:
            pass
    return found


class ProcessTree:
    """The CPU time and peak memory of a process and of every process it starts, read by a thread
    of its own from /proc (every 10 ms while the program opens its file, so that short-lived
    workers are seen, then every 100 ms).

    The root must lead a session of its own (started with start_new_session): its descendants are
    found through /proc/PID/task/TID/children, and those that left the tree before they were seen
    (a worker behind a double fork) through the session.

    The CPU total at a moment is the sum over the tree's live processes of their own time and the
    time of the children they reaped, plus the last reading of processes that left the tree
    without being reaped by one of its members (a worker reparented to init). When a member reaps
    a child, the child's time moves into the member's reaped time, so the total only grows, and
    the difference of two totals is the tree's CPU between them, that of processes started and
    ended in between included.
    """

    def __init__(self, pid, background=True):
        self.pid = pid
        self.known = {}  # (pid, start time) -> (ppid, own + reaped CPU s) at the last reading
        self.lost = 0.0
        self.viewer_hwm = 0
        self.name = ""
        self.workers_seen = 0
        self.hwm_by_name = {}  # name of a started process -> its largest VmHWM, kB
        self.interval = 0.01
        self.next_scan = 0.0
        self.lock = threading.Lock()
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True) if background else None
        if self.thread:
            self.thread.start()

    def _run(self):
        while not self.done.wait(self.interval):
            self.sample()

    def close(self):
        self.done.set()
        if self.thread:
            self.thread.join()

    def sample(self):
        with self.lock:
            return self._sample()

    def _sample(self):
        live = {}
        queue = [self.pid] + [pid for pid, _ in self.known]
        now = time.monotonic()
        if now >= self.next_scan:
            # Processes of the root's session that left the tree before they were seen (a double
            # fork): a walk of all of /proc, so not at every sample.
            self.next_scan = now + 0.25
            for entry in os.listdir("/proc"):
                if entry.isdigit():
                    st = read_stat(int(entry))
                    if st and st.session == self.pid:
                        queue.append(int(entry))
        seen = set()
        while queue:
            pid = queue.pop()
            if pid in seen:
                continue
            seen.add(pid)
            st = read_stat(pid)
            if not st:
                continue
            key = (pid, st.start)
            if pid != self.pid and key not in self.known and st.session != self.pid and \
                    st.ppid not in {p for p, _ in live}:
                continue  # a pid reused since, not a descendant
            live[key] = (st.ppid, st.own + st.reaped)
            if st.state != "Z":
                hwm = read_hwm_kb(pid)
                if hwm is not None:
                    if pid == self.pid:
                        self.viewer_hwm = max(self.viewer_hwm, hwm)
                        self.name = st.name
                    else:
                        self.hwm_by_name[st.name] = max(self.hwm_by_name.get(st.name, 0), hwm)
            queue += children(pid)
        live_pids = {p for p, _ in live}
        for key, (ppid, cpu) in self.known.items():
            if key not in live and ppid not in live_pids:
                self.lost += cpu  # reaped outside the tree: keep what was last read
        self.workers_seen += sum(1 for k in live if k not in self.known and k[0] != self.pid)
        self.known = live
        return sum(cpu for _, cpu in live.values()) + self.lost

    def worker_hwm(self):
        """The largest VmHWM of the processes started, kB: of those that became another program (a
        fork not yet turned into its program shows the parent's pages), or of all when none did."""
        with self.lock:
            others = [kb for name, kb in self.hwm_by_name.items() if name != self.name]
            return max(others or self.hwm_by_name.values(), default=0)

    def measure(self, seconds):
        """CPU seconds of the whole tree per 10 s over `seconds`."""
        self.interval = 0.1
        start_cpu, start = self.sample(), time.monotonic()
        time.sleep(seconds)
        return (self.sample() - start_cpu) / (time.monotonic() - start) * 10.0

    def leftovers(self):
        """Members other than the root still running (after the root ended)."""
        out = []
        with self.lock:
            known = list(self.known)
        for pid, start in known:
            st = read_stat(pid)
            if pid != self.pid and st and st.start == start and st.state != "Z":
                out.append((pid, start))
        return out


def stop(proc, grace=10):
    """Ends a process: a polite request, then a kill after `grace` seconds."""
    if proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def stop_tree(proc, tree):
    """Ends the process, then whatever it started that outlived it (by pid, checked against the
    start time read while it was in the tree). Returns how many had to be ended that way."""
    if tree:
        tree.sample()
        tree.close()
    stop(proc)
    if not tree:
        return 0
    time.sleep(0.3)  # workers leave on their own once the viewer is gone
    left = tree.leftovers()
    for pid, start in left:
        st = read_stat(pid)
        if st and st.start == start:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
    return len(left)


class Display:
    def __init__(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp"],
            pass_fds=(w,), stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        while not number.endswith(b"\n"):
            c = os.read(r, 1)
            if not c:
                raise SystemExit("Xvfb did not start")
            number += c
        os.close(r)
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip(), SDL_AUDIODRIVER="dummy")
        self.env.pop("XAUTHORITY", None)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        for _ in range(200):
            if "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]):
                break
            time.sleep(0.1)

    def run(self, argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True).stdout.strip()

    def find_window(self, name, timeout=20):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            out = self.run(["xdotool", "search", "--onlyvisible", "--name", name])
            if out:
                return out.split()[0]
            time.sleep(0.1)
        return None

    def close(self):
        for p in (self.wm, self.xvfb):
            stop(p)


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-y", "-loglevel", "error", "-f", "lavfi", *args], check=True)


MARKER = "drawbox=x=iw*3/8:y=ih*3/8:w=iw/4:h=ih/4:color=0xFF8000:t=fill"  # what firstpicture.c looks for


def make_clips(folder):
    clips = {}
    for name, size in (("clip640.avi", "640x480"), ("clip1080.avi", "1920x1080")):
        clips[name] = os.path.join(folder, name)
        ffmpeg("-i", f"testsrc2=size={size}:rate=30", "-t", "40", "-c:v", "mpeg4", "-q:v", "4", "-pix_fmt", "yuv420p",
               clips[name])
    clips["still.bmp"] = os.path.join(folder, "still.bmp")
    ffmpeg("-i", "testsrc2=size=800x600", "-frames:v", "1", "-pix_fmt", "bgr24", clips["still.bmp"])
    # The first-picture media: the box at the centre; the photo gets grain so that it is about
    # the size of a camera's 12-megapixel JPEG (about 5 MB) rather than a few flat areas.
    clips["first1080.avi"] = os.path.join(folder, "first1080.avi")
    ffmpeg("-i", "testsrc2=size=1920x1080:rate=30", "-vf", MARKER, "-t", "10", "-c:v", "mpeg4", "-q:v", "4",
           "-pix_fmt", "yuv420p", clips["first1080.avi"])
    clips["photo.jpg"] = os.path.join(folder, "photo.jpg")
    ffmpeg("-i", "testsrc2=size=4000x3000", "-vf", MARKER + ",noise=alls=20:allf=u", "-frames:v", "1", "-q:v", "2",
           clips["photo.jpg"])
    return clips


def open_in_viewer(x, window, path):
    """Opens a file through the open button and the file chooser."""
    x.run(["xdotool", "windowactivate", "--sync", window])
    x.run(["xdotool", "mousemove", "--window", window, "397", "459"])
    time.sleep(0.5)
    x.run(["xdotool", "mousedown", "1"])  # press and release in separate frames
    time.sleep(0.15)
    x.run(["xdotool", "mouseup", "1"])
    chooser = None
    for _ in range(100):
        chooser = x.run(["xdotool", "search", "--onlyvisible", "--class", "zenity"])
        if chooser:
            break
        time.sleep(0.1)
    if not chooser:
        return False
    time.sleep(1.0)
    x.run(["xdotool", "windowactivate", chooser.split()[0]])
    time.sleep(0.3)
    x.run(["xdotool", "key", "ctrl+l"])
    x.run(["xdotool", "type", "--delay", "20", path])
    time.sleep(0.5)
    x.run(["xdotool", "key", "Return"])
    return wait_title(x, window, os.path.basename(path))


def wait_title(x, window, name, timeout=10):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if x.run(["xdotool", "getwindowname", window]).startswith(name + " - "):
            return True
        time.sleep(0.2)
    return False


class Result:
    def __init__(self, cpu=None, note="", tree=None, left=0):
        self.cpu = cpu
        self.note = note
        self.viewer_mb = tree.viewer_hwm / 1024 if tree and tree.viewer_hwm else None
        self.worker_mb = tree.worker_hwm() / 1024 if tree and tree.worker_hwm() else None
        self.workers = tree.workers_seen if tree else 0
        self.hwm_by_name = dict(tree.hwm_by_name) if tree else {}
        self.left = left


def run_viewer(x, bindir, path, settle, seconds):
    argv = [os.path.join(bindir, "orbelle-player")] + ([path] if path else [])
    proc = subprocess.Popen(argv, cwd=bindir, env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    tree = ProcessTree(proc.pid)
    cpu, how = None, ""
    try:
        window = x.find_window("Orbelle-Player$")
        if not window:
            how = "no window" if proc.poll() is None else f"exited with {proc.returncode}"
            return Result(None, how, tree)
        how = "welcome picture"
        if path:
            if wait_title(x, window, os.path.basename(path), timeout=5):
                how = "command line"
            elif open_in_viewer(x, window, path):
                how = "chooser"
            else:
                return Result(None, "could not open " + os.path.basename(path), tree)
        x.run(["xdotool", "windowactivate", "--sync", window])
        x.run(["xdotool", "mousemove", "--window", window, "320", "240"])
        time.sleep(settle)
        cpu = tree.measure(seconds)
        if proc.poll() is not None:
            return Result(None, f"exited with {proc.returncode} while measured", tree)
    finally:
        left = stop_tree(proc, tree)
    return Result(cpu, how, tree, left)


def run_peer(x, argv, settle, seconds):
    if not shutil.which(argv[0]):
        return Result(None, argv[0] + " missing (run bench/program/setup.sh)")
    proc = subprocess.Popen(argv, env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    tree = ProcessTree(proc.pid)
    try:
        time.sleep(settle + 1)
        if proc.poll() is not None:
            return Result(None, argv[0] + " exited", tree)
        cpu = tree.measure(seconds)
    finally:
        left = stop_tree(proc, tree)
    return Result(cpu, "", tree, left)


def build_watcher(folder):
    """Builds firstpicture.c; returns its path, or None with the reason printed."""
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "firstpicture.c")
    if not shutil.which("gcc"):
        print("time to first picture skipped: gcc missing (run bench/program/setup.sh)", file=sys.stderr)
        return None
    out = os.path.join(folder, "firstpicture")
    built = subprocess.run(["gcc", "-O2", "-Wall", "-o", out, source, "-lX11"], capture_output=True, text=True)
    if built.returncode != 0:
        print("time to first picture skipped: firstpicture.c did not build (libx11-dev missing? run "
              "bench/program/setup.sh):\n" + built.stderr, file=sys.stderr)
        return None
    return out


def first_picture(x, watcher, argv, cwd, dump, timeout=30.0):
    """Seconds from starting argv to its media on the screen, or (None, reason)."""
    if not shutil.which(argv[0]):
        return None, argv[0] + " missing (run bench/program/setup.sh)"
    x.run(["xdotool", "mousemove", str(SCREEN_W // 2), str(SCREEN_H // 2)])
    watch = subprocess.Popen([watcher, str(timeout), "80", "1500", dump], env=x.env, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    proc = tree = None
    try:
        if watch.stdout.readline().strip() != "ready":
            return None, "screen watcher failed: " + watch.stderr.read().strip()
        start = time.monotonic()  # the same clock as the watcher's CLOCK_MONOTONIC
        proc = subprocess.Popen(argv, cwd=cwd, env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        tree = ProcessTree(proc.pid, background=False)  # read once at the end: nothing runs beside the start
        line = watch.stdout.readline().split()
        if line[:1] == ["shown"]:
            return float(line[1]) - start, ""
        if proc.poll() is not None:
            return None, f"{os.path.basename(argv[0])} exited with {proc.returncode}"
        return None, f"not shown within {timeout:.0f} s (last screen grab: {dump})"
    finally:
        if proc:
            stop_tree(proc, tree)
        stop(watch)
        time.sleep(0.5)  # the window gone and the X server quiet before the next start


def run_first_pictures(x, watcher, viewers, clips, runs):
    """{file: {contender: (median, fastest, slowest, runs shown, note)}} over `runs` rounds, the
    programs taking turns (the order reversed every other round). A program that never showed the
    file is not tried again."""
    contenders = {
        "photo.jpg": [(name, [os.path.join(b, "orbelle-player"), clips["photo.jpg"]], b) for name, b in viewers] + [
            ("mpv --vo=x11", ["mpv", "--vo=x11", "--no-audio", "--no-terminal", "--geometry=640x480",
                              "--autofit=640x480", "--image-display-duration=inf", clips["photo.jpg"]], None),
            ("feh", ["feh", "--geometry", "640x480", "--scale-down", clips["photo.jpg"]], None)],
        "first1080.avi": [(name, [os.path.join(b, "orbelle-player"), clips["first1080.avi"]], b)
                          for name, b in viewers] + [
            ("mpv --vo=x11", ["mpv", "--vo=x11", "--no-audio", "--no-terminal", "--geometry=640x480",
                              "--autofit=640x480", clips["first1080.avi"]], None),
            ("ffplay", ["ffplay", "-loglevel", "quiet", "-an", "-x", "640", "-y", "480", clips["first1080.avi"]], None)],
    }
    dumps = tempfile.mkdtemp(prefix="orbelle_first_")
    results = {}
    for clip, entries in contenders.items():
        times = {name: [] for name, _, _ in entries}
        notes = {name: "" for name, _, _ in entries}
        for r in range(runs):
            order = entries if r % 2 == 0 else entries[::-1]
            for name, argv, cwd in order:
                if notes[name] and not times[name]:
                    continue
                dump = os.path.join(dumps, f"{clip}-{name.split()[0]}-{r}.ppm")
                t, note = first_picture(x, watcher, argv, cwd, dump)
                if t is None:
                    notes[name] = note
                else:
                    times[name].append(t)
        results[clip] = {name: (statistics.median(times[name]) if times[name] else None,
                                min(times[name], default=None), max(times[name], default=None),
                                len(times[name]), notes[name]) for name in times}
    if not any(os.scandir(dumps)):
        os.rmdir(dumps)
    return results


def frame_pacing(x, bindir):
    bench = os.path.join(bindir, "bench_frame")
    if not os.path.exists(bench):
        return None
    out = subprocess.run([bench, "--benchmark_filter=BM_FramePacing/0|BM_PlayerFrameWithVideo/1"], cwd=bindir,
                         env=x.env, capture_output=True, text=True).stdout
    found = {}
    for key in ("fps", "p99_interval_ms", "max_interval_ms", "process_cpu_ms_per_frame"):
        m = re.search(key + r"=([0-9.]+)(m?)", out)
        if m:
            found[key] = float(m.group(1)) / (1000 if m.group(2) == "m" else 1)
    return found


def viewer_dir(path, is_build):
    """The folder holding orbelle-player: DIR/bin for a build folder, or DIR itself."""
    path = os.path.abspath(path)
    for candidate in ((os.path.join(path, "bin"), path) if is_build else (path, os.path.join(path, "bin"))):
        if os.path.exists(os.path.join(candidate, "orbelle-player")):
            return candidate
    sys.exit(f"no orbelle-player in {path} or {os.path.join(path, 'bin')} (build first)")


def check_tools(parts):
    needed = ["Xvfb", "openbox", "xdotool", "xprop", "ffmpeg"]
    missing = [t for t in needed if not shutil.which(t)]
    if missing:
        sys.exit("missing: " + ", ".join(missing) + " (run bench/program/setup.sh)")
    peers = ["ffplay", "mpv"] + (["feh"] if "first" in parts else [])
    absent = [t for t in peers if not shutil.which(t)]
    if absent:
        print("peer rows left empty, not installed: " + ", ".join(absent) + " (run bench/program/setup.sh)",
              file=sys.stderr)


def ratio(a, b):
    return "-" if a is None or not b else f"{a / b:.2f}x"


def num(v, fmt="{:.2f}"):
    return "-" if v is None else fmt.format(v)


def table(header, rows):
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for row in rows:
        print("| " + " | ".join(row) + " |")


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(root, "build"),
                        help="build folder (or bin folder) of the viewer measured (default: build)")
    parser.add_argument("--baseline", help="bin folder of a second build measured in the same run, e.g. a "
                                           "build of the commit before a change")
    parser.add_argument("--seconds", type=float, default=10.0, help="measuring window (default 10)")
    parser.add_argument("--settle", type=float, default=3.0, help="settling time before it (default 3)")
    parser.add_argument("--runs", type=int, default=5, help="runs per program for the first picture (default 5)")
    parser.add_argument("--parts", default="cpu,first,frame",
                        help="comma-separated: cpu (CPU and memory), first (time to first picture), "
                             "frame (bench_frame); default all")
    args = parser.parse_args()
    parts = set(args.parts.split(","))
    if parts - {"cpu", "first", "frame"}:
        sys.exit("--parts takes cpu, first and frame")
    viewers = [("new" if args.baseline else "Orbelle-Player", viewer_dir(args.build, True))]
    if args.baseline:
        viewers.append(("baseline", viewer_dir(args.baseline, False)))
    check_tools(parts)
    # An ended run (Ctrl+C, a kill) still ends every process it started and removes its files.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))

    load_start = os.getloadavg()
    loads = []
    folder = tempfile.mkdtemp(prefix="orbelle_bench_")
    x = None
    rows, first, pacing = [], None, None
    try:
        x = Display()
        clips = make_clips(folder)
        if "cpu" in parts:
            peers = {
                "ffplay": lambda p: ["ffplay", "-loglevel", "quiet", "-an", "-loop", "0", "-x", "640", "-y", "480", p],
                "mpv --vo=x11": lambda p: ["mpv", "--vo=x11", "--no-audio", "--loop=inf", "--no-terminal",
                                          "--geometry=640x480", "--autofit=640x480", p],
            }
            for i, (label, clip) in enumerate((("welcome picture, idle", None),
                                               ("still picture 800 x 600", "still.bmp"),
                                               ("640 x 480 avi playing", "clip640.avi"),
                                               ("1920 x 1080 avi playing", "clip1080.avi"))):
                loads.append(os.getloadavg()[0])
                row = {"what": label}
                # The builds take turns at going first, so drift in the machine's load falls on both.
                for name, bindir in (viewers if i % 2 == 0 else viewers[::-1]):
                    row[name] = run_viewer(x, bindir, clips.get(clip), args.settle, args.seconds)
                if clip and clip.endswith(".avi"):
                    for name, argv in peers.items():
                        row[name] = run_peer(x, argv(clips[clip]), args.settle, args.seconds)
                rows.append(row)
        if "first" in parts:
            watcher = build_watcher(folder)
            if watcher:
                loads.append(os.getloadavg()[0])
                first = run_first_pictures(x, watcher, viewers, clips, args.runs)
        if "frame" in parts:
            loads.append(os.getloadavg()[0])
            pacing = frame_pacing(x, viewers[0][1])
    finally:
        if x:
            x.close()
        shutil.rmtree(folder, ignore_errors=True)

    names = [name for name, _ in viewers]
    print("Builds: " + ", ".join(f"{name} {d}" for name, d in viewers))
    print(f"{os.cpu_count()} CPUs; load average (1, 5, 15 min) at the start "
          f"{load_start[0]:.2f} {load_start[1]:.2f} {load_start[2]:.2f}, at the end "
          + " ".join(f"{v:.2f}" for v in os.getloadavg())
          + (f"; 1 min at each part's start {min(loads):.2f} to {max(loads):.2f}" if loads else ""))

    if rows:
        print("\nCPU seconds per 10 s of the viewer and every process it starts (user + system; the peers' "
              "whole process):\n")
        peer_names = ["ffplay", "mpv --vo=x11"]
        header = ["what is on screen"] + names + (["new / baseline"] if len(names) == 2 else []) + peer_names + \
            [f"{names[0]} / ffplay", f"{names[0]} / mpv", "opened by"]
        body = []
        for r in rows:
            v = [r[n].cpu for n in names]
            p = [r[n].cpu if n in r else None for n in peer_names]
            cells = [r["what"]] + [num(c) for c in v] + ([ratio(v[0], v[1])] if len(v) == 2 else [])
            cells += [num(c) for c in p] + [ratio(v[0], p[0]), ratio(v[0], p[1])]
            cells.append("; ".join(dict.fromkeys(r[n].note for n in names if r[n].note)))
            body.append(cells)
        table(header, body)

        print("\nPeak resident memory, MB (VmHWM): the viewer process, and the largest of the processes it "
              "started (read every 10 ms while it opens its file, then every 100 ms; how many were seen in brackets):\n")
        header = ["what is on screen"] + [f"{n} viewer" for n in names] + [f"{n} worker" for n in names] + \
            (["viewer new / baseline"] if len(names) == 2 else []) + peer_names
        body = []
        for r in rows:
            cells = [r["what"]] + [num(r[n].viewer_mb, "{:.0f}") for n in names]
            cells += [num(r[n].worker_mb, "{:.0f}") + (f" ({r[n].workers})" if r[n].workers else "") for n in names]
            if len(names) == 2:
                cells.append(ratio(r[names[0]].viewer_mb, r[names[1]].viewer_mb))
            cells += [num(r[n].viewer_mb, "{:.0f}") if n in r else "-" for n in peer_names]
            body.append(cells)
        table(header, body)
        for n in names:
            seen = {}
            for r in rows:
                for name, kb in r[n].hwm_by_name.items():
                    seen[name] = max(seen.get(name, 0), kb)
            if seen:
                print(f"\n{n}: processes started, by name (a fork not yet turned into its program still has the "
                      "viewer's), largest VmHWM: " + ", ".join(f"{k} {v / 1024:.0f} MB" for k, v in sorted(seen.items())))
        left = [f"{r['what']} ({n}): {r[n].left}" for r in rows for n in names if r[n].left]
        if left:
            print("\nProcesses still running after their viewer ended (ended by the script): " + "; ".join(left))

    if first:
        print(f"\nTime to first picture, s: from starting the program with the file to the file's pixels at "
              f"the centre of its window on the screen; median of {args.runs} runs (fastest to slowest):\n")
        peer_names = ["mpv --vo=x11", "feh", "ffplay"]
        header = ["file"] + names + (["new / baseline"] if len(names) == 2 else []) + peer_names + \
            [f"{names[0]} / mpv"]
        body, notes = [], []
        labels = {"photo.jpg": "4000 x 3000 jpeg (4.8 MB)", "first1080.avi": "1920 x 1080 mpeg4 avi, 10 s"}
        for clip, res in first.items():
            def cell(name):
                if name not in res:
                    return "-"
                med, lo, hi, n, note = res[name]
                if note:
                    notes.append(f"{labels[clip]}, {name}: {note}")
                if med is None:
                    return "-"
                return f"{med:.3f} ({lo:.3f}-{hi:.3f})" + (f" [{n} runs]" if n != args.runs else "")
            med = {name: res[name][0] if name in res else None for name in names + peer_names}
            cells = [labels[clip]] + [cell(n) for n in names]
            if len(names) == 2:
                cells.append(ratio(med[names[0]], med[names[1]]))
            cells += [cell(n) for n in peer_names] + [ratio(med[names[0]], med["mpv --vo=x11"])]
            body.append(cells)
        table(header, body)
        for note in notes:
            print("- " + note)

    if pacing:
        print(f"\n{names[0]}'s own loop over 10 s drawing every frame (bench_frame BM_FramePacing/0), and process "
              "CPU per frame slot with a 640 x 480 video (BM_PlayerFrameWithVideo/1):")
        for key, value in pacing.items():
            print(f"- {key}: {value:.2f}")


if __name__ == "__main__":
    main()
