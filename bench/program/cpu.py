#!/usr/bin/env python3
"""CPU seconds per 10 s of the whole viewer process, against ffplay and mpv (X11 output).

Starts a private Xvfb with a window manager, makes the clips with ffmpeg, then in one run:
the viewer idle on its welcome picture, showing a still picture, and playing a 640 x 480 and a
1920 x 1080 mpeg4 avi; ffplay and `mpv --vo=x11` playing the same clips in a 640 x 480 window
(the size the viewer shows). Each process gets a settling time, then its user + system CPU time
is read from /proc over the measuring window. Files are opened on the viewer's command line when
it accepts one (the title names the file), otherwise through its open button and the desktop's
file chooser, as a person would. Finally bench_frame (when built) reports the frames presented
per second and the p99 frame interval of the viewer's own loop.

Peers: bench/program/setup.sh installs them. Usage: bench/program/cpu.py [--build DIR]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def stop(proc, grace=10):
    """Ends a process: a polite request, then a kill after `grace` seconds."""
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()


class Display:
    def __init__(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
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
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stderr=subprocess.DEVNULL)
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


def make_clips(folder):
    clips = {}
    for name, size in (("clip640.avi", "640x480"), ("clip1080.avi", "1920x1080")):
        path = os.path.join(folder, name)
        subprocess.run(["ffmpeg", "-y", "-loglevel", "error", "-f", "lavfi", "-i", f"testsrc2=size={size}:rate=30",
                        "-t", "40", "-c:v", "mpeg4", "-q:v", "4", "-pix_fmt", "yuv420p", path], check=True)
        clips[name] = path
    still = os.path.join(folder, "still.bmp")
    subprocess.run(["ffmpeg", "-y", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=800x600",
                    "-frames:v", "1", "-pix_fmt", "bgr24", still], check=True)
    clips["still.bmp"] = still
    return clips


def measure(pid, seconds):
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start) * 10.0


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


def run_viewer(x, bindir, path, settle, seconds):
    argv = [os.path.join(bindir, "orbelle-player")] + ([path] if path else [])
    proc = subprocess.Popen(argv, cwd=bindir, env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = x.find_window("Orbelle-Player$")
        if not window:
            return None, "no window"
        how = "welcome picture"
        if path:
            if wait_title(x, window, os.path.basename(path), timeout=5):
                how = "command line"
            elif open_in_viewer(x, window, path):
                how = "chooser"
            else:
                return None, "could not open " + path
        x.run(["xdotool", "windowactivate", "--sync", window])
        x.run(["xdotool", "mousemove", "--window", window, "320", "240"])
        time.sleep(settle)
        return measure(proc.pid, seconds), how
    finally:
        stop(proc)


def run_peer(x, argv, settle, seconds):
    if not shutil.which(argv[0]):
        return None, argv[0] + " missing (run bench/program/setup.sh)"
    proc = subprocess.Popen(argv, env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(settle + 1)
        if proc.poll() is not None:
            return None, argv[0] + " exited"
        return measure(proc.pid, seconds), ""
    finally:
        stop(proc)


def frame_pacing(x, bindir):
    bench = os.path.join(bindir, "bench_frame")
    if not os.path.exists(bench):
        return None
    out = subprocess.run([bench, "--benchmark_filter=BM_FramePacing|BM_PlayerFrameWithVideo/1"], cwd=bindir,
                         env=x.env, capture_output=True, text=True).stdout
    found = {}
    for key in ("fps", "p99_interval_ms", "max_interval_ms", "process_cpu_ms_per_frame"):
        m = re.search(key + r"=([0-9.]+)(m?)", out)
        if m:
            found[key] = float(m.group(1)) / (1000 if m.group(2) == "m" else 1)
    return found


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(root, "build"))
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--settle", type=float, default=3.0)
    args = parser.parse_args()
    bindir = os.path.join(os.path.abspath(args.build), "bin")
    if not os.path.exists(os.path.join(bindir, "orbelle-player")):
        sys.exit("no viewer in " + bindir + " (build first)")

    folder = tempfile.mkdtemp(prefix="orbelle_bench_")
    x = Display()
    rows = []
    try:
        clips = make_clips(folder)
        peers = {
            "ffplay": lambda p: ["ffplay", "-loglevel", "quiet", "-an", "-loop", "0", "-x", "640", "-y", "480", p],
            "mpv --vo=x11": lambda p: ["mpv", "--vo=x11", "--no-audio", "--loop=inf", "--no-terminal",
                                      "--geometry=640x480", "--autofit=640x480", p],
        }
        for label, clip in (("welcome picture, idle", None), ("still picture 800 x 600", "still.bmp"),
                            ("640 x 480 avi playing", "clip640.avi"), ("1920 x 1080 avi playing", "clip1080.avi")):
            viewer, how = run_viewer(x, bindir, clips.get(clip), args.settle, args.seconds)
            row = {"what": label, "viewer": viewer, "how": how}
            if clip and clip.endswith(".avi"):
                for name, argv in peers.items():
                    row[name] = run_peer(x, argv(clips[clip]), args.settle, args.seconds)[0]
            rows.append(row)
        pacing = frame_pacing(x, bindir)
    finally:
        x.close()
        shutil.rmtree(folder, ignore_errors=True)

    def cell(v):
        return "-" if v is None else f"{v:.2f}"

    print(f"CPU seconds per 10 s of the whole process (load average {os.getloadavg()[0]:.2f}, "
          f"{os.cpu_count()} CPUs)\n")
    print("| what is on screen | Orbelle-Player | ffplay | mpv --vo=x11 | viewer / ffplay | viewer / mpv | opened by |")
    print("|---|---|---|---|---|---|---|")
    for r in rows:
        ff, mpv = r.get("ffplay"), r.get("mpv --vo=x11")
        ratio = lambda a, b: "-" if a is None or not b else f"{a / b:.2f}x"
        print(f"| {r['what']} | {cell(r['viewer'])} | {cell(ff)} | {cell(mpv)} | {ratio(r['viewer'], ff)} "
              f"| {ratio(r['viewer'], mpv)} | {r['how']} |")
    if pacing:
        print("\nViewer's own loop over 10 s (bench_frame BM_FramePacing), and process CPU per frame with a "
              "640 x 480 video (BM_PlayerFrameWithVideo/1):")
        for key, value in pacing.items():
            print(f"- {key}: {value:.2f}")


if __name__ == "__main__":
    main()
