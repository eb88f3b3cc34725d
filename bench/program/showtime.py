#!/usr/bin/env python3
"""How soon a person sees a picture: the viewer against mpv, ffplay and feh, read from the screen.

In one run, on a private Xvfb with a window manager:

- First picture: a 10 s 1920 x 1080 mpeg4 avi and a 12-megapixel JPEG opened on the command line,
  from starting the program to the media's marker box on the screen (cpu.py's --parts first
  measurement: firstpicture.c watches the screen).
- Next picture: a folder of 12-megapixel JPEGs whose centre boxes are orange and blue by turns.
  The program is started on the first; once it shows, each step presses Right (the viewer's and
  feh's next-picture key) through XTest and times it until the next box's colour covers the
  middle of the window (steptime.c). Steps are taken after a dwell of 1.5 s on the previous
  picture (a person looking at it; the viewer reads the next file ahead meanwhile) and with no
  dwell (the key pressed as soon as the previous picture shows).
- With --baseline BINDIR, a second viewer build (say, before a change) takes its turns on the
  same files and display.

Median of all steps over the runs, the programs taking turns. Peers and tools:
bench/program/setup.sh installs them.
Usage: bench/program/showtime.py [--build DIR] [--baseline BINDIR] [--runs N] [--steps N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cpu  # noqa: E402  (the display, the clips and the first-picture measurement)

HERE = os.path.dirname(os.path.abspath(__file__))
COLOURS = ("orange", "blue")
BOXES = {"orange": "0xFF8000", "blue": "0x2050FF"}


def make_folder(folder, count):
    """count 4000 x 3000 JPEGs (about 5 MB each, as a camera's), boxes orange and blue by turns."""
    names = []
    for i in range(count):
        colour = COLOURS[i % 2]
        name = os.path.join(folder, f"photo{i + 1:02d}.jpg")
        box = f"drawbox=x=iw*3/8:y=ih*3/8:w=iw/4:h=ih/4:color={BOXES[colour]}:t=fill"
        cpu.ffmpeg("-i", f"testsrc2=size=4000x3000", "-vf", box + ",noise=alls=20:allf=u", "-frames:v", "1",
                   "-q:v", "2", name)
        names.append(name)
    return names


def build_tool(folder, name, libs):
    out = os.path.join(folder, name)
    built = subprocess.run(["gcc", "-O2", "-Wall", "-o", out, os.path.join(HERE, name + ".c"), *libs],
                           capture_output=True, text=True)
    if built.returncode != 0:
        raise SystemExit(f"{name}.c did not build (run bench/program/setup.sh):\n{built.stderr}")
    return out


def window_of(x, pid, timeout=20):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        out = x.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)])
        if out:
            return out.split()[-1]
        time.sleep(0.05)
    return None


def step_times(x, stepper, argv, cwd, steps, dwell):
    """The seconds of each of `steps` steps after `dwell` seconds, or (None, reason)."""
    if not shutil.which(argv[0]):
        return None, argv[0] + " missing (run bench/program/setup.sh)"
    x.run(["xdotool", "mousemove", str(cpu.SCREEN_W // 2), str(cpu.SCREEN_H // 2)])
    proc = subprocess.Popen(argv, cwd=cwd, env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    tree = cpu.ProcessTree(proc.pid, background=False)
    try:
        window = window_of(x, proc.pid)
        if not window:
            return None, "no window"
        x.run(["xdotool", "windowactivate", "--sync", window])
        # The first picture, waited for with a key that does nothing.
        first = subprocess.run([stepper, window, "Shift_L", COLOURS[0], "30"], env=x.env, capture_output=True,
                               text=True)
        if not first.stdout.startswith("shown"):
            return None, "first picture not shown: " + (first.stdout + first.stderr).strip()
        times = []
        for k in range(1, steps + 1):
            time.sleep(dwell)
            out = subprocess.run([stepper, window, "Right", COLOURS[k % 2], "30"], env=x.env, capture_output=True,
                                 text=True)
            if not out.stdout.startswith("shown"):
                return None, f"step {k} not shown: " + (out.stdout + out.stderr).strip()
            times.append(float(out.stdout.split()[1]))
        return times, ""
    finally:
        cpu.stop_tree(proc, tree)
        time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="the build folder (its bin/ holds the viewer)")
    parser.add_argument("--baseline", help="a bin folder of another viewer build to compare with")
    parser.add_argument("--runs", type=int, default=3, help="rounds of each measurement")
    parser.add_argument("--steps", type=int, default=5, help="steps per start")
    parser.add_argument("--skip-first", action="store_true", help="only the steps")
    args = parser.parse_args()

    viewers = [("viewer", cpu.viewer_dir(args.build, True))]
    if args.baseline:
        viewers.append(("baseline", cpu.viewer_dir(args.baseline, False)))
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    work = tempfile.mkdtemp(prefix="orbelle_showtime_")
    x = cpu.Display()
    try:
        stepper = build_tool(work, "steptime", ["-lX11", "-lXtst"])
        rows = []
        if not args.skip_first:
            watcher = cpu.build_watcher(work)
            clips = {}
            cpu.ffmpeg("-i", "testsrc2=size=1920x1080:rate=30", "-vf", cpu.MARKER, "-t", "10", "-c:v", "mpeg4",
                       "-q:v", "4", "-pix_fmt", "yuv420p", os.path.join(work, "first1080.avi"))
            clips["first1080.avi"] = os.path.join(work, "first1080.avi")
            cpu.ffmpeg("-i", "testsrc2=size=4000x3000", "-vf", cpu.MARKER + ",noise=alls=20:allf=u", "-frames:v",
                       "1", "-q:v", "2", os.path.join(work, "photo.jpg"))
            clips["photo.jpg"] = os.path.join(work, "photo.jpg")
            firsts = cpu.run_first_pictures(x, watcher, viewers, clips, args.runs)
            for clip, label in (("first1080.avi", "start to first picture, 1080p mpeg4 avi"),
                                ("photo.jpg", "start to picture, 12 MP jpeg")):
                rows.append((label, {name: r[0] for name, r in firsts[clip].items()},
                             {name: r[4] for name, r in firsts[clip].items()}))

        folder = os.path.join(work, "photos")
        os.mkdir(folder)
        photos = make_folder(folder, args.steps + 1)
        contenders = [(name, [os.path.join(b, "orbelle-player"), photos[0]], b) for name, b in viewers]
        contenders.append(("feh", ["feh", "--geometry", "640x480", "--scale-down", *photos], None))
        for dwell, label in ((1.5, "next picture after 1.5 s on the previous, 12 MP jpeg"),
                             (0.0, "next picture with no dwell, 12 MP jpeg")):
            times = {name: [] for name, _, _ in contenders}
            notes = {name: "" for name, _, _ in contenders}
            for r in range(args.runs):
                for name, argv, cwd in (contenders if r % 2 == 0 else contenders[::-1]):
                    got, note = step_times(x, stepper, argv, cwd, args.steps, dwell)
                    if got is None:
                        notes[name] = note
                    else:
                        times[name] += got
            rows.append((label, {n: statistics.median(t) if t else None for n, t in times.items()}, notes))
    finally:
        x.close()
        shutil.rmtree(work, ignore_errors=True)

    names = [n for n, _ in viewers] + ["mpv --vo=x11", "ffplay", "feh"]
    print(f"load average at start: {load}; median seconds, read from the screen")
    header = ["what"] + names + ["viewer / best peer"]
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for label, values, notes in rows:
        cells = [label]
        for n in names:
            v = values.get(n)
            cells.append("–" if n not in values else (f"{v:.3f}" if v is not None else "failed: " + notes.get(n, "")))
        peers = [values[n] for n in ("mpv --vo=x11", "ffplay", "feh") if values.get(n) is not None]
        mine = values.get("viewer")
        cells.append(f"{mine / min(peers):.2f}x" if mine is not None and peers else "–")
        print("| " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
