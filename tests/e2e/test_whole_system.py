"""The whole system: what the manager writes is what the service pages. The manager's own
sheet (gui_tests.exe, suite WholeSystemLiveTest, driven in-process under Wine) types the
settings, ticks phones, applies and builds two zones on a site that holds only a data file;
then QAXservice.exe -run starts on that registry, a phone opens its menu, and a start and a
stop reach exactly the ticked phones of the chosen zone."""

import base64
import os
import re
import shutil
import tempfile
import time
import unittest
import urllib.parse
import xml.etree.ElementTree as ElementTree

import qax_testlib as qax
from push_phones import RecordingPhones

SERVER = "127.0.60.1"
# Typed on the Settings page; the variable names are "QAX_SET_" + the registry names.
SETTINGS = {
    "httpServerIP": SERVER,
    "httpServerPort": "8060",
    "MulticastTargetIP": "239.60.0.6",
    "MulticastTargetPortRangeStart": "26000",
    "MulticastTargetPortRangeEnd": "26009",
    "MulticastUsername": "site pager",
    "MulticastPassword": "Pa55 & word",
    "MulticastVolume": "45",
    "MulticastMessageText": "Leave by the north stairs & wait at the gate",
    "MulticastAlertSound": "Siren.raw",
    "MulticastMaxDuration": "10",
}
CREDENTIALS = ("MulticastUsername", "MulticastPassword")
# Every value the service reads; each must be present, or it stops on a message box.
SERVICE_READS = ["CUCMdatafile", "MulticastDeviceNameSelections"] + list(SETTINGS)

# The site's phones: (directory number, description, address, device name).
PHONES = {n: ("60%02d" % n, "Phone %d" % n, "127.0.60.%d" % n, "SEP0060000000%02d" % n) for n in range(11, 18)}
TICKED = [11, 12, 13, 14, 15, 16]  # 17 stays unticked: the service may not page it
ZONES = [("North", "First floor", [11, 12, 13]), ("South", "Ground floor", [14, 15, 17])]

EXECUTE = '<CiscoIPPhoneExecute><ExecuteItem Priority="0" URL="%s"/></CiscoIPPhoneExecute>'
SERVICES = ("XML=" + EXECUTE % "Init:Services").encode()
TITLE = "<Title>EMERGENCY ALERT MESSAGE</Title>"


def address(n):
    return PHONES[n][2]


def name(n):
    return PHONES[n][3]


def xml_text(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def push(xml):
    return ("XML=" + xml).encode("latin-1")


def transmit(port):
    return push(EXECUTE % ("RTPMTx:%s:%d" % (SETTINGS["MulticastTargetIP"], port)) + "\r\n")


def receive(port):
    return push(EXECUTE % ("RTPMRx:%s:%d:%s" % (SETTINGS["MulticastTargetIP"], port, SETTINGS["MulticastVolume"]))
                + "\r\n")


MEMBER_TEXT = push("<CiscoIPPhoneText>" + TITLE + "<Text>" + xml_text(SETTINGS["MulticastMessageText"])
                   + "</Text></CiscoIPPhoneText>")
PLAY = push(EXECUTE % ("Play:" + SETTINGS["MulticastAlertSound"]))
TRANSMIT_STOP = push(EXECUTE % "RTPMTx:Stop")
RECEIVE_STOP = push(EXECUTE % "RTPMRx:Stop")
BLANK_TEXT = push("<CiscoIPPhoneText><Title> </Title><Text> </Text></CiscoIPPhoneText>")


class WholeSystemTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp(prefix="qax-whole-system-")
        cls.data_file = os.path.join(cls.directory, "CUCMdata.dat")
        qax.write_data_file(cls.data_file, [PHONES[n] for n in sorted(PHONES)])
        # Neither program writes the data file's path; the Zones key is there, empty.
        qax.seed_registry({"CUCMdatafile": qax.wine_path(cls.data_file)})

        env = dict(os.environ,
                   QAX_WHOLE_SYSTEM_DATA_FILE=qax.wine_path(cls.data_file),
                   QAX_WHOLE_SYSTEM_TICK="".join(name(n) + ";" for n in TICKED),
                   QAX_WHOLE_SYSTEM_ZONES="|".join("%s/%s/%s" % (zone, description, ";".join(name(n) for n in members))
                                                   for zone, description, members in ZONES))
        env.update({"QAX_SET_" + value: text for value, text in SETTINGS.items()})
        cls.manager = qax.run_wine([qax.exe("gui_tests.exe"), "--gtest_filter=WholeSystemLiveTest.*"],
                                   timeout=300, env=env)
        cls.manager_output = cls.manager.stdout.decode("latin-1")

    @classmethod
    def tearDownClass(cls):
        qax.remove_settings_key()
        shutil.rmtree(cls.directory, ignore_errors=True)

    def setUp(self):
        # Everything below runs on what the manager wrote.
        self.assertEqual(self.manager.returncode, 0, self.manager_output)
        self.assertNotIn("SKIPPED", self.manager_output)
        self.assertRegex(self.manager_output, r"\[  PASSED  \] 1 test\.")

    # -- what the manager wrote -------------------------------------------------------------

    def test_the_manager_wrote_every_value_the_service_reads_and_both_zones(self):
        tree = self.exported_settings()
        values = tree[qax.SETTINGS_KEY]
        for value in SERVICE_READS:
            self.assertIn(value, values, "the service would stop on a box for %s" % value)
        for value, text in SETTINGS.items():
            if value not in CREDENTIALS:  # stored scrambled: the phones' Authorization shows them
                self.assertEqual(values[value], text, value)
        selection = values["MulticastDeviceNameSelections"]
        self.assertTrue(selection.endswith(";"), selection)
        self.assertEqual(sorted(selection[:-1].split(";")), sorted(name(n) for n in TICKED))

        zones_key = qax.SETTINGS_KEY + "\\Zones\\"
        below = [k[len(zones_key):] for k in tree if k.startswith(zones_key)]
        self.assertEqual(sorted(k for k in below if "\\" not in k), sorted(zone for zone, _, _ in ZONES))
        for zone, description, members in ZONES:
            self.assertEqual(tree[zones_key + zone], {"ZoneDescription": description})
            self.assertEqual(sorted(k for k in below if k.startswith(zone + "\\")),
                             sorted(zone + "\\" + name(n) for n in members))

        # Apply rewrote the data file from the list it showed: the same phones.
        with open(self.data_file, "rb") as f:
            lines = f.read().decode("latin-1").split("\r\n")
        self.assertEqual(lines[-1], "")
        self.assertEqual(sorted(tuple(line.split("\t")) for line in lines[:-1]), sorted(PHONES.values()))

    # -- the service on it ------------------------------------------------------------------

    def test_the_phones_menu_offers_both_zones_and_each_pages_exactly_its_ticked_members(self):
        port = int(SETTINGS["httpServerPort"])
        first_port = int(SETTINGS["MulticastTargetPortRangeStart"])
        with RecordingPhones([address(n) for n in PHONES]) as phones, qax.ConsoleService() as service:
            try:
                qax.wait_listening(SERVER, port)
            except AssertionError:
                self.fail("the service does not serve; its console:\n" + service.output.decode("latin-1")[-3000:])
            menu = self.menu(address(11), port)
            self.assertEqual(sorted(item for item, _ in menu), sorted(zone for zone, _, _ in ZONES))

            # From a North phone into South, then from a South phone into North.
            for initiator, zone in ((11, "South"), (14, "North")):
                members = next(m for z, _, m in ZONES if z == zone)
                paged = [n for n in members if n in TICKED and n != initiator]
                quiet = [n for n in PHONES if n not in paged and n != initiator]
                for n in PHONES:
                    phones.forget(address(n))

                url = dict(menu)[zone]
                self.assertEqual(self.ask(initiator, url, port), SERVICES_REPLY)
                self.expect_pushes(phones, initiator, [transmit(first_port), None, PLAY])
                for n in paged:
                    self.expect_pushes(phones, n, [receive(first_port), MEMBER_TEXT, PLAY])
                self.expect_quiet(phones, quiet)
                self.expect_authorization(phones, [initiator] + paged)

                # The initiator's STOP key names the service and the zone; the phone asks for it.
                text = ElementTree.fromstring(phones.bodies(address(initiator))[1][len("XML="):])
                self.assertTrue(text.findtext("Text").startswith("BROADCASTING HAS STARTED"), text.findtext("Text"))
                stop_url = text.findtext("SoftKeyItem/URL")
                self.assertEqual(urllib.parse.urlsplit(stop_url).netloc, "%s:%d" % (SERVER, port))
                self.assertEqual(self.ask(initiator, stop_url, port), SERVICES_REPLY)
                self.expect_pushes(phones, initiator, [transmit(first_port), None, PLAY, TRANSMIT_STOP])
                for n in paged:
                    self.expect_pushes(phones, n, [receive(first_port), MEMBER_TEXT, PLAY, RECEIVE_STOP, BLANK_TEXT,
                                                   SERVICES])
                self.expect_quiet(phones, quiet)

    # -- helpers ----------------------------------------------------------------------------

    def exported_settings(self):
        """The settings key and everything below it as regedit exports it: key path -> {value
        name: text}. (Wine's `reg query` prints a zero-byte value from a buffer it never filled, and
        can hang on one.)"""
        path = os.path.join(self.directory, "export.reg")
        result = qax.run_wine(["regedit", "/E", qax.wine_path(path), qax.SETTINGS_KEY])
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(path, "rb") as f:
            text = f.read().decode("utf-16")
        tree = {}
        values = None
        for line in text.splitlines():
            key = re.fullmatch(r"\[(.*)\]", line)
            value = re.fullmatch(r'"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"', line)
            if key:
                values = tree.setdefault(key.group(1), {})
            elif value and values is not None:
                unescape = lambda s: re.sub(r"\\(.)", r"\1", s)
                values[unescape(value.group(1))] = unescape(value.group(2))
            elif line.startswith('"'):
                self.fail("value of another type: %r" % line)
        return tree

    def menu(self, phone_ip, port):
        """(zone name, item URL) of the menu the service shows the phone."""
        reply = qax.phone_request(phone_ip, SERVER, port, qax.http_get("/qax.xml", SERVER))
        header, _, body = reply.partition(b"\r\n\r\n")
        self.assertTrue(header.startswith(b"HTTP/1.1 200 OK\r\n"), reply)
        menu = ElementTree.fromstring(body)
        self.assertEqual(menu.tag, "CiscoIPPhoneMenu")
        return [(item.findtext("Name"), item.findtext("URL")) for item in menu.findall("MenuItem")]

    def ask(self, n, url, port):
        """The phone requests url (its path and query) from the service's port: a menu item's
        URL names no port, the phone's service settings do."""
        parts = urllib.parse.urlsplit(url)
        self.assertEqual(parts.hostname, SERVER, url)
        request = "GET %s?%s HTTP/1.1\r\nHost: %s\r\n\r\n" % (parts.path, parts.query, SERVER)
        return qax.phone_request(address(n), SERVER, port, request)

    def expect_pushes(self, phones, n, expected, timeout=20.0):
        """The phone received exactly these bodies in order (None: any body), and no more."""
        bodies = phones.wait_for_count(address(n), len(expected), timeout)
        time.sleep(0.3)  # room for a push too many to arrive
        bodies = phones.bodies(address(n))
        self.assertEqual(len(bodies), len(expected), "%s: %r" % (name(n), bodies))
        for got, want in zip(bodies, expected):
            if want is not None:
                self.assertEqual(got, want, name(n))

    def expect_quiet(self, phones, numbers):
        for n in numbers:
            self.assertEqual(phones.bodies(address(n)), [], "%s was paged" % name(n))

    def expect_authorization(self, phones, numbers):
        credentials = "%s:%s" % (SETTINGS["MulticastUsername"], SETTINGS["MulticastPassword"])
        expected = "Basic " + base64.b64encode(credentials.encode("latin-1")).decode()
        for n in numbers:
            for received in phones.received(address(n)):
                self.assertEqual(received.headers.get("Authorization"), expected, name(n))


SERVICES_REPLY = (b"HTTP/1.1 200 OK\r\nContent-type: text/xml\r\nContent-Length: 94\r\nConnection: close\r\n\r\n"
                  + SERVICES)


if __name__ == "__main__":
    unittest.main()
