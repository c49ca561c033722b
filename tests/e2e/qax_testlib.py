"""Shared pieces of the end-to-end tests: the Wine environment, the seeded registry, the
service in a console, and phone requests from their own loopback addresses (the fake phones
that receive pushes are in push_phones.py)."""

import os
import socket
import subprocess
import tempfile
import time

WINE = os.environ.get("QAX_WINE", "wine")
BIN_DIR = os.environ.get("QAX_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
SETTINGS_KEY = r"HKEY_LOCAL_MACHINE\Software\Dravik Software\QAX"


def wine_path(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def exe(name):
    return os.path.join(BIN_DIR, name)


def run_wine(args, timeout=60, **kwargs):
    """Runs a Wine program to its end. Output goes through files, not pipes: Wine's background
    programs inherit the standard handles and would hold a pipe open."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.run([WINE] + list(args), stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              timeout=timeout, **kwargs)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())


# ---------------------------------------------------------------------------------------
# Registry


def scramble(text):
    """A credential as the manager stores it: UTF-16LE bytes XOR 0x37, then a zero unit."""
    if text == "":
        return b""
    return bytes(b ^ 0x37 for b in text.encode("utf-16-le")) + b"\0\0"


def stored_text(text):
    """A REG_SZ text in its stored form: with its terminator, zero bytes when empty."""
    return b"" if text == "" else text.encode("utf-16-le") + b"\0\0"


def _reg_value_line(name, data):
    if isinstance(data, str):
        data = stored_text(data)
    hexes = ",".join("%02x" % b for b in data)
    escaped = name.replace("\\", "\\\\").replace('"', '\\"')
    return '"%s"=hex(1):%s' % (escaped, hexes)


def seed_registry(values, zones=(), remove_first=True, create_zones_key=True):
    """Replaces the settings key. values: name -> str (stored with its terminator, "" as zero
    bytes) or bytes (stored exactly). zones: (name, description or None, [members]) in any
    order. The Zones key is created unless create_zones_key is False."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    if remove_first:
        lines += ["[-%s]" % SETTINGS_KEY, ""]
    lines += ["[%s]" % SETTINGS_KEY]
    lines += [_reg_value_line(n, d) for n, d in values.items()]
    lines.append("")
    if create_zones_key:
        lines += ["[%s\\Zones]" % SETTINGS_KEY, ""]
    for name, description, members in zones:
        lines.append("[%s\\Zones\\%s]" % (SETTINGS_KEY, name))
        if description is not None:
            lines.append(_reg_value_line("ZoneDescription", description))
        lines.append("")
        for member in members:
            lines += ["[%s\\Zones\\%s\\%s]" % (SETTINGS_KEY, name, member), ""]
    import_reg("\r\n".join(lines) + "\r\n")


def remove_settings_key():
    import_reg("Windows Registry Editor Version 5.00\r\n\r\n[-%s]\r\n" % SETTINGS_KEY)


def import_reg(text):
    with tempfile.NamedTemporaryFile("wb", suffix=".reg", delete=False) as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
        path = f.name
    try:
        result = run_wine(["regedit", "/S", wine_path(path)])
        if result.returncode != 0:
            raise RuntimeError("regedit failed: %r" % result.stderr)
    finally:
        os.unlink(path)


def write_data_file(path, lines):
    """Writes the phone data file: each line a tuple of fields, TAB-separated, CR LF ended."""
    with open(path, "wb") as f:
        for fields in lines:
            f.write(("\t".join(fields) + "\r\n").encode("latin-1"))


# ---------------------------------------------------------------------------------------
# The service in a console


class ConsoleService:
    """QAXservice.exe -run under Wine, its console output collected as it comes (through files:
    Wine's background programs would hold a pipe open)."""

    def __init__(self, args=("-run",), extra_env=None):
        env = dict(os.environ)
        if extra_env:
            env.update(extra_env)
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([WINE, exe("QAXservice.exe")] + list(args), stdin=subprocess.DEVNULL,
                                     stdout=self._out, stderr=self._err, env=env)

    @staticmethod
    def _read(f):
        f.seek(0)
        return f.read()

    @property
    def output(self):
        return self._read(self._out)

    @property
    def errors(self):
        return self._read(self._err)

    def wait_for(self, text, timeout=30.0):
        """Waits until the console output holds text (bytes or str); returns the output."""
        if isinstance(text, str):
            text = text.encode("latin-1")
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            out = self.output
            if text in out:
                return out
            if self.proc.poll() is not None:
                time.sleep(0.2)
                out = self.output
                if text in out:
                    return out
                raise AssertionError("service ended (%s) before printing %r; output:\n%s"
                                     % (self.proc.returncode, text, out.decode("latin-1")))
            time.sleep(0.05)
        raise AssertionError("timed out waiting for %r; output:\n%s" % (text, self.output.decode("latin-1")))

    def wait_exit(self, timeout=30.0):
        return self.proc.wait(timeout=timeout)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(timeout=30)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        self._out.close()
        self._err.close()


def wait_listening(address, port, timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with socket.create_connection((address, port), timeout=1):
                return
        except OSError:
            time.sleep(0.1)
    raise AssertionError("nothing listens on %s:%d" % (address, port))


def phone_request(source_ip, server_ip, port, request, timeout=10.0):
    """Sends request bytes from the phone's own loopback address and returns all that the
    service answers until it closes the connection (b"" when it answers nothing in time)."""
    if isinstance(request, str):
        request = request.encode("latin-1")
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((source_ip, 0))
        s.settimeout(timeout)
        s.connect((server_ip, port))
        s.sendall(request)
        chunks = []
        try:
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                chunks.append(chunk)
        except socket.timeout:
            pass
        return b"".join(chunks)


def http_get(path, host):
    return "GET %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n\r\n" % (path, host)
