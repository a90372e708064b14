"""Drives the real solvei-remote window under a private Xvfb display, as an operator would.

Used by scripts/soak and bench/app/cost: starts the display, the simulator and the
application, finds the window, clicks keys at the places the skin gives them, types, takes
screenshots and reads the processes' CPU time and resident memory from /proc.
"""

import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from pathlib import Path

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
PAGE_SIZE = os.sysconf("SC_PAGE_SIZE")


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def cpu_seconds(pid):
    """User plus system CPU time of a process, in seconds."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def resident_mib(pid):
    pages = int(Path(f"/proc/{pid}/statm").read_text().split()[1])
    return pages * PAGE_SIZE / (1024 * 1024)


class Display:
    """A private Xvfb display; stops with the object."""

    def __init__(self, size="1280x1024", scale=None):
        for n in range(50, 100):
            if not Path(f"/tmp/.X11-unix/X{n}").exists() and not Path(f"/tmp/.X{n}-lock").exists():
                self.name = f":{n}"
                break
        else:
            raise RuntimeError("no free X display")
        self.proc = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", f"{size}x24", "-nolisten", "tcp", "-noreset"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not Path(f"/tmp/.X11-unix/X{self.name[1:]}").exists():
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            time.sleep(0.05)
        self.env = dict(os.environ, DISPLAY=self.name, QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)
        if scale:
            self.env["QT_SCALE_FACTOR"] = str(scale)

    def xdotool(self, *args, check=True):
        r = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                           text=True, timeout=30)
        if check and r.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(map(str, args))}: {r.stderr.strip()}")
        return r.stdout.strip()

    def screenshot(self, path, window="root"):
        subprocess.run(["/usr/bin/import", "-window", window, str(path)], env=self.env,
                       check=True, timeout=30, capture_output=True)

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()


class Simulator:
    """solvei-sim in its own session on a free UDP port of 127.0.0.1."""

    def __init__(self, binary, state_file, options=(), port=None):
        self.binary = binary
        self.state_file = state_file
        self.options = list(options)
        self.port = port or free_udp_port()
        self.proc = None
        self.start()

    def start(self):
        self.proc = subprocess.Popen(
            [self.binary, "--udp", f"127.0.0.1:{self.port}", "--state", str(self.state_file),
             *self.options],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, start_new_session=True)
        line = self.proc.stdout.readline()
        if not line.startswith("udp "):
            raise RuntimeError(f"solvei-sim did not start: {line!r}")

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()


class SkinPlaces:
    """Positions and sizes of the skin's controls, from `solvei-skin dump` of the skin that is
    appended to the application."""

    def __init__(self, skin_tool, program):
        with tempfile.TemporaryDirectory() as tmp:
            ini = Path(tmp) / "skin.ini"
            with open(ini, "wb") as out:
                subprocess.run([skin_tool, "extract", program, "skin.ini"], stdout=out, check=True)
            dump = subprocess.run([skin_tool, "dump", str(ini)], capture_output=True, text=True,
                                  check=True).stdout
        self.numbers = json.loads(dump)["numbers"]

    def number(self, key, default=0):
        value = self.numbers.get(key, default)
        return int(value) if not isinstance(value, str) else default

    def centre(self, section, width=40, height=30):
        """The middle of a key, relative to the main window: its offset plus half the size
        given by the caller (the images hold the real size; keys are at least this large)."""
        return (self.number(f"{section}::offset_left") + width // 2,
                self.number(f"{section}::offset_top") + height // 2)


class RemoteWindow:
    """The running application and its main window."""

    def __init__(self, display, binary, workdir, settings_dir, sim_port, extra_env=None,
                 link_log=None):
        """With link_log, the link's log lines (what the debug window shows) are written to
        that file as they come, so a caller can tell why a step failed."""
        self.display = display
        env = dict(display.env, SOLVEI_SETTINGS_DIR=str(settings_dir))
        if extra_env:
            env.update(extra_env)
        self.link_log = link_log
        if link_log is not None:
            env["QT_LOGGING_RULES"] = "solvei.link.debug=true"
            env["QT_MESSAGE_PATTERN"] = "%{time hh:mm:ss.zzz} %{message}"
            stderr = open(link_log, "w")
        else:
            stderr = subprocess.PIPE
        write_settings(settings_dir, sim_port)
        self.started = time.monotonic()
        self.proc = subprocess.Popen([binary], cwd=workdir, env=env, stdout=subprocess.DEVNULL,
                                     stderr=stderr, text=True)
        if link_log is not None:
            stderr.close()
        self.window = self.wait_window()

    def wait_window(self, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError(f"solvei-remote ended with {self.proc.returncode}: "
                                   f"{self.stderr_tail()}")
            out = self.display.xdotool("search", "--onlyvisible", "--pid", self.proc.pid,
                                       check=False)
            if out:
                return out.split()[0]
            time.sleep(0.02)
        raise RuntimeError("the main window did not appear")

    def stderr_tail(self):
        if self.link_log is not None:
            return Path(self.link_log).read_text(errors="replace")[-2000:]
        return self.proc.stderr.read()[-2000:]

    def log_size(self):
        """Where the link log ends now, to read what comes after it with log_since."""
        return Path(self.link_log).stat().st_size if self.link_log is not None else 0

    def log_since(self, offset):
        if self.link_log is None:
            return ""
        with open(self.link_log, "rb") as log:
            log.seek(offset)
            return log.read().decode("latin-1")

    def windows(self):
        out = self.display.xdotool("search", "--onlyvisible", "--pid", self.proc.pid, check=False)
        return out.split() if out else []

    def origin(self):
        out = self.display.xdotool("getwindowgeometry", "--shell", self.window)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def click(self, x, y, button=1):
        # No --sync on moves: xdotool waits for ever for a motion event when the pointer
        # already stands where it is sent.
        ox, oy = self.origin()
        self.display.xdotool("mousemove", ox + x, oy + y, "sleep", "0.05", "click", button)

    def drag(self, x0, y0, x1, y1, steps=8):
        ox, oy = self.origin()
        self.display.xdotool("mousemove", ox + x0, oy + y0, "sleep", "0.05", "mousedown", 1)
        for i in range(1, steps + 1):
            x = x0 + (x1 - x0) * i // steps
            y = y0 + (y1 - y0) * i // steps
            self.display.xdotool("mousemove", ox + x, oy + y)
            time.sleep(0.03)
        self.display.xdotool("mouseup", 1)

    def keys(self, *names):
        """Keys typed at the keyboard into the main window (its focused control)."""
        self.display.xdotool("windowfocus", self.window, "key", *names)

    def alive(self):
        return self.proc.poll() is None

    def stop(self, timeout=10):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def write_settings(settings_dir, port, lock_code=7):
    """Factory connection settings that point at the simulator's UDP port."""
    path = Path(settings_dir) / "Tarrowin" / "FALX.conf"
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text("[Settings]\n"
                    "sHost=127.0.0.1\n"
                    "sPortName=Ethernet\n"
                    f"dwPort={port}\n"
                    f"dwLockCode={lock_code}\n")


def build(root, build_dir, targets, build_type="Release"):
    cache = Path(os.environ.get("XDG_CACHE_HOME", Path.home() / ".cache")) / "solvei-remote/ccache"
    env = dict(os.environ, CCACHE_DIR=os.environ.get("CCACHE_DIR", str(cache)),
               CCACHE_BASEDIR=str(root), CCACHE_NOHASHDIR="1")
    subprocess.run(["cmake", "-S", root, "-B", build_dir, "-G", "Ninja", "-Wno-dev",
                    f"-DCMAKE_BUILD_TYPE={build_type}", "-DSOLVEI_TESTS=OFF", "-DSOLVEI_BENCH=OFF"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--target", *targets], check=True, env=env,
                   stdout=subprocess.DEVNULL)


def image_difference(a, b, crop):
    """Number of differing pixels between the same WxH+X+Y crop of two screenshots."""
    return len(differing_pixels(raw_pixels(a, crop), raw_pixels(b, crop)))


def raw_pixels(path, crop):
    """The RGB bytes of a WxH+X+Y crop of an image."""
    return subprocess.run(["/usr/bin/convert", str(path), "-crop", crop, "+repage", "rgb:-"],
                          check=True, capture_output=True, timeout=30).stdout


def differing_pixels(a, b, ignore=frozenset()):
    """Indexes of pixels that differ between two RGB byte strings of one crop, less those
    in ignore."""
    return {i // 3 for i in range(0, min(len(a), len(b)), 3)
            if a[i:i + 3] != b[i:i + 3] and i // 3 not in ignore}


def which(program):
    return shutil.which(program)
