"""The phones' endpoint of QAXservice.exe -run under Wine: the zone menu as a phone's service
browser fetches it, and a server that keeps serving it whatever else arrives."""

import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
from xml.sax import saxutils

from qax_testlib import (ConsoleService, SETTINGS_KEY, http_get, phone_request, run_wine, scramble,
                         seed_registry, wine_path, write_data_file)

SERVICE_IP = "127.0.20.1"
PHONE_IP = "127.0.20.11"

MENU_HEADER = b"HTTP/1.1 200 OK\r\nContent-type: text/xml\r\nConnection: close\r\n\r\n"
MENU_HEAD = (b"<CiscoIPPhoneMenu>\n<Title>EMERGENCY ALERT BROADCAST</Title>\n"
             b"<Prompt>Select a zone from the menu.</Prompt>\n")
MENU_TAIL = b"</CiscoIPPhoneMenu>\n"


def settings(port, data_file, server_ip=SERVICE_IP):
    return {
        "CUCMdatafile": wine_path(data_file),
        "MulticastDeviceNameSelections": "SEP000000002011;SEP000000002012;",
        "httpServerIP": server_ip,
        "httpServerPort": str(port),
        "MulticastTargetIP": "239.1.1.1",
        "MulticastTargetPortRangeStart": "20480",
        "MulticastTargetPortRangeEnd": "20489",
        "MulticastUsername": scramble("pager"),
        "MulticastPassword": scramble("secret"),
        "MulticastVolume": "80",
        "MulticastMessageText": "Attention please",
        "MulticastAlertSound": "Chime.raw",
        "MulticastMaxDuration": "5",
    }


def zone_order():
    """The zones' names in the order the registry enumerates them, read from an export (UTF-16,
    so that names beyond ASCII come back as they are)."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "zones.reg")
        result = run_wine(["reg", "export", SETTINGS_KEY + "\\Zones", wine_path(path), "/y"])
        if result.returncode != 0:
            raise RuntimeError("reg export failed: %r" % result.stderr)
        with open(path, "rb") as f:
            text = f.read().decode("utf-16")
    prefix = "[" + SETTINGS_KEY + "\\Zones\\"
    names = []
    for line in text.splitlines():
        if line.lower().startswith(prefix.lower()) and line.endswith("]"):
            name = line[len(prefix):-1]
            if "\\" not in name:  # member keys lie one level deeper
                names.append(name)
    return names


def xml_escape(text):
    """As the phones' XML needs it: & < > " ' as entities, letters beyond ASCII as character
    references (the menu declares no encoding)."""
    escaped = saxutils.escape(text, {'"': "&quot;", "'": "&apos;"})
    return escaped.encode("ascii", "xmlcharrefreplace").decode("ascii")


def menu_item(name, host):
    name = xml_escape(name).encode("latin-1")
    return (b"<MenuItem>\n<Name>" + name + b"</Name>\n<URL>http://" + host.encode("latin-1")
            + b"/qax.xml?action=broadcast_start&amp;zone=" + name + b"</URL>\n</MenuItem>\n")


def connect_from(source_ip, port, timeout=10.0):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind((source_ip, 0))
    s.settimeout(timeout)
    s.connect((SERVICE_IP, port))
    return s


def wait_serving(port, timeout=30.0):
    """Waits until the service accepts connections, asking from a phone's own address."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            connect_from(PHONE_IP, port, timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise AssertionError("nothing listens on %s:%d" % (SERVICE_IP, port))


def peer_closed(s, wait):
    """True when the service closed the connection within `wait` seconds."""
    s.settimeout(wait)
    try:
        return s.recv(1) == b""
    except socket.timeout:
        return False
    except ConnectionResetError:
        return True


def receive_to_the_end(s, timeout=10.0):
    """What the service sends, and how the connection ended: "closed" (the end of the stream),
    "reset" or "timeout"."""
    s.settimeout(timeout)
    reply = b""
    try:
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return reply, "closed"
            reply += chunk
    except ConnectionResetError:
        return reply, "reset"
    except socket.timeout:
        return reply, "timeout"


def receive_until_closed(s, timeout=10.0):
    """What the service sends until the connection ends, however it ends."""
    return receive_to_the_end(s, timeout)[0]


def split_reply(reply):
    header, sep, body = reply.partition(b"\r\n\r\n")
    return header + sep, body


def well_formed(body):
    check = subprocess.run(["xmllint", "--noout", "-"], input=body, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=30)
    return check.returncode == 0, check.stderr.decode("latin-1")


class _ServiceCase(unittest.TestCase):
    PORT = None
    ZONES = ()

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="qax-menu-")
        data_file = os.path.join(cls.tmp, "CUCMdata.dat")
        write_data_file(data_file, [("2011", "Front desk", "127.0.20.11", "SEP000000002011"),
                                    ("2012", "Dock", "127.0.20.12", "SEP000000002012")])
        seed_registry(settings(cls.PORT, data_file), zones=cls.ZONES)
        cls.order = zone_order()
        cls.service = ConsoleService()
        try:
            cls.service.wait_for("Threads running...")
            wait_serving(cls.PORT)
        except Exception:
            cls.service.__exit__(None, None, None)
            raise

    @classmethod
    def tearDownClass(cls):
        cls.service.__exit__(None, None, None)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def console(self):
        return self.service.output.decode("latin-1")

    def menu(self, source_ip=PHONE_IP):
        return phone_request(source_ip, SERVICE_IP, self.PORT, http_get("/qax.xml", SERVICE_IP))

    def connect_idle(self, sources, idle):
        """Connects from each source address in turn, each once the service has accepted the
        one before it, and keeps the connections in idle (for the caller to close)."""
        for i, source in enumerate(sources):
            accepted = self.console().count("Accepted socket: ")
            idle.append(connect_from(source, self.PORT))
            deadline = time.monotonic() + 10
            while self.console().count("Accepted socket: ") <= accepted:
                self.assertLess(time.monotonic(), deadline, "connection %d was not accepted" % i)
                time.sleep(0.02)


class MenuOnPort80(_ServiceCase):
    PORT = 80
    ZONES = (("Lobby", "Main entrance", ["SEP000000002011"]),
             ("Dock 2", "Loading dock", ["SEP000000002012"]),
             ("Warehouse", None, []))

    def test_plain_names_give_the_exact_menu(self):
        self.assertEqual(sorted(self.order), ["Dock 2", "Lobby", "Warehouse"])
        expected = (MENU_HEADER + MENU_HEAD + b"".join(menu_item(n, SERVICE_IP) for n in self.order)
                    + MENU_TAIL)
        self.assertEqual(self.menu(), expected)
        ok, errors = well_formed(split_reply(expected)[1])
        self.assertTrue(ok, errors)
        out = self.console()
        self.assertIn("Peer IP address: %s:" % PHONE_IP, out)
        self.assertIn("GET /qax.xml HTTP/1.1\r\nHost: %s\r\n" % SERVICE_IP, out)


class MenuOnAnotherPort(_ServiceCase):
    PORT = 8081
    ZONES = (("Lobby", "Main entrance", ["SEP000000002011"]),
             ("R&D <Lab>", "Research", ["SEP000000002012"]),
             ("Dock 2", None, []),
             ("Caf\u00e9 \u00c9t\u00e9", None, []),
             ("Yard", None, ["SEP000000002011", "SEP000000002012"]))

    def assertServesMenu(self, source_ip=PHONE_IP):
        header, body = split_reply(self.menu(source_ip))
        self.assertEqual(header, MENU_HEADER)
        self.assertTrue(body.startswith(MENU_HEAD) and body.endswith(MENU_TAIL), body)
        return body

    def test_menu_is_well_formed_with_every_zone_in_registry_order(self):
        body = self.assertServesMenu()
        ok, errors = well_formed(body)
        self.assertTrue(ok, errors)
        names = re.findall(rb"<Name>(.*?)</Name>", body)
        self.assertEqual([n.decode("latin-1") for n in names], [xml_escape(n) for n in self.order])
        self.assertEqual(len(self.order), 5)
        urls = re.findall(rb"<URL>(.*?)</URL>", body)
        self.assertEqual(len(urls), 5)
        for name, url in zip(self.order, urls):
            self.assertEqual(url, ("http://%s:%d/qax.xml?action=broadcast_start&amp;zone=%s"
                                   % (SERVICE_IP, self.PORT, xml_escape(name))).encode("latin-1"))
        self.assertIn(b"<Name>R&amp;D &lt;Lab&gt;</Name>", body)
        self.assertNotIn(b"R&D", body)
        self.assertIn(b"<Name>Caf&#233; &#201;t&#233;</Name>", body)

    def test_unanswered_request_keeps_the_connection_for_the_next_one(self):
        with connect_from("127.0.20.13", self.PORT) as s:
            s.sendall(b"GET /qax.xml?foo HTTP/1.1\r\nHost: 127.0.20.1\r\n\r\n")
            self.assertFalse(peer_closed(s, 0.5), "an unrecognised request was answered")
            s.sendall(http_get("/qax.xml", SERVICE_IP).encode())
            reply = receive_until_closed(s)
        self.assertTrue(reply.startswith(MENU_HEADER + MENU_HEAD), reply)

    def test_garbage_and_oversized_requests_leave_the_menu_served(self):
        requests = [
            bytes(range(256)) * 4,
            b"A" * 8192,
            b"GET /qax.xml?action=broadcast_start&zone=" + b"Z" * 300 + b" HTTP/1.1\r\n\r\n",
            b"GET /qax.xml?action=broadcast_stop&zone=" + b"Z" * 300 + b" HTTP/1.1\r\n\r\n",
            b"B" * 20480,
        ]
        for request in requests:
            with connect_from("127.0.20.14", self.PORT) as s:
                s.sendall(request)
                self.assertFalse(peer_closed(s, 0.3), "answered %r" % request[:60])
            self.assertServesMenu()

        # A request of exactly 8,192 bytes whose menu line comes first: answered from its
        # first piece, and the service goes on.
        line = b"GET /qax.xml HTTP/1.1\r\nX-Pad: "
        padded = line + b"p" * (8192 - len(line) - 4) + b"\r\n\r\n"
        self.assertEqual(len(padded), 8192)
        with connect_from("127.0.20.15", self.PORT) as s:
            s.sendall(padded)
            self.assertTrue(receive_until_closed(s).startswith(MENU_HEADER + MENU_HEAD))
        self.assertServesMenu()

        # Each receive takes at most 8,191 bytes, so a menu line that begins at byte 8,191 of a
        # 20 KB text opens the second piece and is answered.
        split = b"B" * 8191 + b"GET /qax.xml HTTP/1.1\r\n\r\n"
        split += b"C" * (20480 - len(split))
        with connect_from("127.0.20.17", self.PORT) as s:
            s.sendall(split)
            self.assertTrue(receive_until_closed(s).startswith(MENU_HEADER + MENU_HEAD))
        self.assertServesMenu()
        self.assertEqual(self.service.proc.poll(), None)

    def test_bytes_left_unread_do_not_cut_the_reply(self):
        # The menu line, then more than one receive takes: the service answers the first piece
        # and closes the connection with the rest of the request unread.
        request = b"GET /qax.xml HTTP/1.1\r\nHost: 127.0.20.1\r\nX-Pad: " + b"p" * 30000 + b"\r\n\r\n"
        with connect_from("127.0.20.18", self.PORT) as s:
            s.sendall(request)
            reply, ending = receive_to_the_end(s)
        self.assertEqual(ending, "closed", "the reply ended in a %s" % ending)
        header, body = split_reply(reply)
        self.assertEqual(header, MENU_HEADER)
        self.assertTrue(body.startswith(MENU_HEAD) and body.endswith(MENU_TAIL), body)

    def test_a_request_arriving_with_a_newcomer_to_a_full_table_is_answered(self):
        idle = []
        try:
            self.connect_idle(["127.0.20.%d" % (180 + i) for i in range(63)], idle)
            # The table holds these 63, the first the oldest. Held still, the service meets at
            # once a newcomer and the oldest connection's request, which came after it.
            os.kill(self.service.proc.pid, signal.SIGSTOP)
            try:
                newcomer = connect_from(PHONE_IP, self.PORT)
                idle.append(newcomer)
                newcomer.sendall(http_get("/qax.xml", SERVICE_IP).encode())
                idle[0].sendall(http_get("/qax.xml", SERVICE_IP).encode())
            finally:
                os.kill(self.service.proc.pid, signal.SIGCONT)
            for phone in (idle[0], newcomer):
                header, body = split_reply(receive_until_closed(phone))
                self.assertEqual(header, MENU_HEADER)
                self.assertTrue(body.endswith(MENU_TAIL), body)
            # Answering the oldest made room: no other connection was given up.
            for i in range(1, 63):
                self.assertFalse(peer_closed(idle[i], 0.01), "idle connection %d was closed" % i)
        finally:
            for s in idle:
                s.close()

    def test_seventy_idle_connections_give_way_to_a_phone(self):
        before = self.console().count("CreateSocketInformation() failed.\r\n")
        idle = []
        try:
            self.connect_idle(["127.0.20.%d" % (100 + i) for i in range(70)], idle)
            # The 64th to 70th pushed out the oldest seven; the phone pushes out the eighth.
            self.assertServesMenu(PHONE_IP)
            for i in range(8):
                self.assertTrue(peer_closed(idle[i], 5), "idle connection %d still open" % i)
            for i in range(8, 70):
                self.assertFalse(peer_closed(idle[i], 0.01), "idle connection %d was closed" % i)
            after = self.console().count("CreateSocketInformation() failed.\r\n")
            self.assertEqual(after - before, 8)
        finally:
            for s in idle:
                s.close()
        # With the idle ones gone the table empties again and serves on.
        self.assertServesMenu("127.0.20.16")



class AddressNotOnTheHost(unittest.TestCase):
    """A console run that cannot bind its address ends with an error code, and asks no
    installed service to stop."""

    def test_bind_failure_ends_the_console_run(self):
        tmp = tempfile.mkdtemp(prefix="qax-bind-")
        try:
            data_file = os.path.join(tmp, "CUCMdata.dat")
            write_data_file(data_file, [])
            # Binding sends nothing: an address that is not on this host simply cannot be bound.
            seed_registry(settings(8082, data_file, server_ip="192.0.2.1"), zones=(("Lobby", None, []),))
            with ConsoleService() as service:
                code = service.wait_exit(timeout=60)
                out = service.output.decode("latin-1")
                self.assertIn("Binding failed with error 10049\n", out)
                self.assertNotEqual(code, 0)
                self.assertNotIn("Preparing to stop service", out)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
