#!/usr/bin/env python3
"""What a GNOME user waits for: `quillatorne --set PHOTO` on a running program until GNOME's
settings (a real dconf on a private session bus) name the new picture in picture-uri, beside
the floor: djpeg's full decode of the photo + writing one file of the BMP's size. The program
runs under an Xvfb of its own with a throw-away home; the runs take turns between two photos
(so every --set changes the picture) and the floor; medians. Prints; asserts nothing.

Usage: bench/gnome-apply-bench.py [PROGRAM] [PHOTO] [ROUNDS]
  PROGRAM  default build/quillatorne (a Release build)
  PHOTO    default (or ""): a 5120 x 2880 progressive photo-like JPEG made with build/wallpaper_bench
"""
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 3840, 2160


def wait_line(stream, timeout):
    """The next line of a pipe, or None when none comes in time."""
    ready, _, _ = select.select([stream], [], [], timeout)
    return stream.readline() if ready else None


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else f"{root}/build/quillatorne")
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    work = tempfile.mkdtemp()
    procs = []
    try:
        photos = []
        if len(sys.argv) > 2 and sys.argv[2]:
            photos = [os.path.abspath(sys.argv[2])] * 2
            label = os.path.basename(photos[0])
        else:
            label = "5120 x 2880 progressive photo-like JPEG"
            bench = os.path.join(os.path.dirname(program), "wallpaper_bench")
            big = f"{work}/big.jpg"
            subprocess.run([bench, "--make", big], check=True, stderr=subprocess.DEVNULL)
            for i, name in enumerate(("a", "b")):
                # Two lossless crops, made progressive, so the second --set changes the
                # picture too.
                subprocess.run(["jpegtran", "-crop", f"5120x2880+{i * 400}+{i * 304}",
                                "-progressive", "-outfile", f"{work}/{name}.jpg", big],
                               check=True)
                photos.append(f"{work}/{name}.jpg")
            os.remove(big)

        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0",
                                 f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-noreset"],
                                pass_fds=(w,), stderr=open(f"{work}/xvfb.log", "w"))
        procs.append(xvfb)
        os.close(w)
        # The pipe stays open: Xvfb writes to it again should it reset.
        display = ":" + os.read(r, 64).decode().strip()

        home = f"{work}/home"
        for d in (".config", ".local/share", "run"):
            os.makedirs(f"{home}/{d}", exist_ok=True)
        os.chmod(f"{home}/run", 0o700)
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "DESKTOP_SESSION", "SESSION_MANAGER")}
        env.update(HOME=home, XDG_CONFIG_HOME=f"{home}/.config",
                   XDG_DATA_HOME=f"{home}/.local/share", XDG_RUNTIME_DIR=f"{home}/run",
                   DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_CURRENT_DESKTOP="GNOME",
                   GSETTINGS_BACKEND="dconf")
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                               env=env)
        procs.append(bus)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()

        monitor = subprocess.Popen(["gsettings", "monitor", "org.gnome.desktop.background",
                                    "picture-uri"], stdout=subprocess.PIPE, text=True, env=env)
        procs.append(monitor)
        if xvfb.poll() is not None or not os.path.exists(f"/tmp/.X11-unix/X{display[1:]}"):
            print("Xvfb did not start:", display, xvfb.poll(), open(f"{work}/xvfb.log").read())
            return 1
        log = open(f"{work}/program.log", "w")
        prog = subprocess.Popen([program], env=env, stdout=log, stderr=log)
        procs.append(prog)
        # Start-up installs its own wallpaper first; wait for that, then for quiet.
        wait_line(monitor.stdout, 15)
        time.sleep(3)
        while wait_line(monitor.stdout, 0.5):
            pass

        same_size = 54 + ((WIDTH * 3 + 3) & ~3) * HEIGHT
        ours, floor_decode, floor_write = [], [], []
        for i in range(rounds * 2):
            photo = photos[i % 2]
            t = time.perf_counter()
            subprocess.run([program, "--set", photo], env=env, stdout=log, stderr=log)
            line = wait_line(monitor.stdout, 30 - (time.perf_counter() - t))
            if line is None:
                print(f"--set {photo}: picture-uri did not change")
                log.flush()
                print(open(f"{work}/program.log").read(), open(f"{work}/xvfb.log").read())
                return 1
            ours.append((time.perf_counter() - t) * 1000)
            # Taking turns with the floor, so a busy moment of the machine falls on both.
            t = time.perf_counter()
            subprocess.run(["djpeg", "-outfile", "/dev/null", photo], check=True)
            floor_decode.append((time.perf_counter() - t) * 1000)
            t = time.perf_counter()
            with open(f"{work}/same-size.bmp", "wb") as f:
                chunk = b"\7" * (1 << 20)
                for left in range(same_size, 0, -len(chunk)):
                    f.write(chunk[:min(left, len(chunk))])
            floor_write.append((time.perf_counter() - t) * 1000)

        floor = statistics.median(floor_decode) + statistics.median(floor_write)
        print(f"GNOME path, real dconf: --set of {label} on a {WIDTH} x {HEIGHT} screen,")
        print(f"{len(ours)} runs taking turns with the floor, medians, ms; load average "
              f"{' '.join(open('/proc/loadavg').read().split()[:3])} on {os.cpu_count()} cores")
        print(f"{'--set to picture-uri':>24} {'djpeg':>7} {'write':>7} {'floor':>7} {'ratio':>6}")
        print(f"{statistics.median(ours):24.0f} {statistics.median(floor_decode):7.0f} "
              f"{statistics.median(floor_write):7.0f} {floor:7.0f} "
              f"{statistics.median(ours) / floor:6.2f}")
        print("target: ratio <= 1.0")
        return 0
    finally:
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
