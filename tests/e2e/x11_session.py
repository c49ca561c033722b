"""A Wine session with a real (virtual) display, for running QAXmanager.exe as an
administrator meets it: Xvfb picks a free display, the session has a Wine prefix of its own
(the build's main prefix runs headless with the null driver), and window_probe.exe, run in
the same session, finds the manager's windows and message boxes, reads and answers them."""

import os
import subprocess
import tempfile
import time

import qax_testlib as lib


class X11Session:
    def __init__(self, prefix=None):
        base = os.environ.get("WINEPREFIX", os.path.join(lib.BIN_DIR, "..", "wineprefix"))
        self.prefix = prefix or os.path.abspath(base) + "-x11"
        self._saved_env = {k: os.environ.get(k) for k in ("WINEPREFIX", "DISPLAY", "WINEDEBUG")}
        self._xvfb = None
        self._procs = []

    def __enter__(self):
        read_end, write_end = os.pipe()
        self._xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                                       "-nolisten", "tcp"], pass_fds=[write_end], stdin=subprocess.DEVNULL,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            self._xvfb.kill()
            raise RuntimeError("Xvfb did not report a display")
        os.environ.update({"WINEPREFIX": self.prefix, "DISPLAY": ":" + number, "WINEDEBUG": "-all"})
        try:
            if not os.path.exists(os.path.join(self.prefix, "system.reg")):
                lib.run_wine(["wineboot", "-i"], timeout=180)
            # Without a window manager, a managed window costs seconds when it closes.
            lib.run_wine(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"])
            # The session's desktop and services start now, not in a race with the manager's first box.
            lib.run_wine(["cmd", "/c", "exit"], timeout=120)
        except BaseException:
            # A session that cannot be made leaves neither Xvfb, nor Wine, nor its environment behind.
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        for proc, out in self._procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait(timeout=30)
            out.close()
        subprocess.run(["wineserver", "-k"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        self._xvfb.terminate()
        self._xvfb.wait(timeout=30)
        for k, v in self._saved_env.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v

    def start(self, exe_name, *args):
        """Starts a program of the build in the session; returns its process."""
        out = tempfile.TemporaryFile()
        proc = subprocess.Popen([lib.WINE, lib.exe(exe_name)] + list(args), stdin=subprocess.DEVNULL,
                                stdout=out, stderr=out)
        self._procs.append((proc, out))
        return proc

    def probe(self, *args, timeout=90):
        """Runs window_probe.exe; returns (exit status, output lines)."""
        result = lib.run_wine([lib.exe("window_probe.exe")] + [str(a) for a in args], timeout=timeout)
        lines = [l.rstrip("\r") for l in result.stdout.decode("utf-8", "replace").split("\n") if l.strip()]
        return result.returncode, lines


def wait_exit(proc, timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            return proc.returncode
        time.sleep(0.1)
    raise AssertionError("the program did not end")
