"""A broadcast from start to stop on QAXservice.exe -run under Wine: phones ask from their own
loopback addresses, fake phones record every push they receive."""

import base64
import os
import tempfile
import time
import unittest
import urllib.parse
import xml.etree.ElementTree as ElementTree
from xml.sax import saxutils

from qax_testlib import (ConsoleService, http_get, phone_request, scramble, seed_registry, wait_listening,
                         wine_path, write_data_file)
from push_phones import RecordingPhones, SilentPhone
from service_control import EVENT_TRACE, reported_events

SERVER = "127.0.30.1"
SERVER_PORT = 8080
GROUP = "239.10.10.10"
FIRST_PORT = 20480
SLOTS = 3
USER = "pager"
PASSWORD = "s3cret word"
VOLUME = 65
MESSAGE = "\u00c9vacuez - Fire & smoke in <Building 2>"
SOUND = "Sir\u00e8ne.raw"

# Phones of the site: (address, device name). DEAD has no listener; SILENT never answers.
INIT = ("127.0.30.11", "SEP000000000011")
M1 = ("127.0.30.12", "SEP000000000012")
M2 = ("127.0.30.13", "SEP000000000013")
OUTSIDER = ("127.0.30.14", "SEP000000000014")
DEAD = ("127.0.30.16", "SEP000000000016")
SILENT = ("127.0.30.17", "SEP000000000017")
# Phones that start broadcasts without being phones the service pages (nothing listens there).
CALLERS = ["127.0.30.21", "127.0.30.22", "127.0.30.23", "127.0.30.24"]

LONG_ZONE = "Evacuation " + "x" * 244
ZONES = [
    ("North", "first floor", [INIT[1], M1[1], M2[1]]),
    ("South", "second floor", [OUTSIDER[1]]),
    ("Stairs", None, [DEAD[1], SILENT[1], M1[1], M2[1]]),
    ("Lab & Yard", None, [M1[1]]),
    ("Caf\u00e9 du Nord", None, [M1[1]]),
    (LONG_ZONE, None, [M2[1]]),
]
# The list order of the targets: the dead and the silent phone are paged first.
SELECTED = [DEAD, SILENT, INIT, M1, M2, OUTSIDER]
RECORDING = [INIT[0], M1[0], M2[0], OUTSIDER[0]]

EXECUTE = '<CiscoIPPhoneExecute><ExecuteItem Priority="0" URL="%s"/></CiscoIPPhoneExecute>'
SERVICES = ("XML=" + EXECUTE % "Init:Services").encode()
TITLE = "<Title>EMERGENCY ALERT MESSAGE</Title>"
INITIATOR_TEXT = ("BROADCASTING HAS STARTED - BEGIN SPEAKING NOW.  Press the STOP key below to end broadcast.")


def transmit(port):
    return ("XML=" + EXECUTE % ("RTPMTx:%s:%d" % (GROUP, port)) + "\r\n").encode()


def receive(port):
    return ("XML=" + EXECUTE % ("RTPMRx:%s:%d:%d" % (GROUP, port, VOLUME)) + "\r\n").encode()


def initiator_text(zone):
    return ("XML=<CiscoIPPhoneText>" + TITLE + "<Text>" + INITIATOR_TEXT + "</Text><SoftKeyItem><Name>STOP</Name>"
            "<URL>http://%s:%d/qax.xml?action=broadcast_stop%%26amp%%3Bzone=%s</URL><Position>1</Position>"
            "</SoftKeyItem></CiscoIPPhoneText>" % (SERVER, SERVER_PORT, escape(zone))).encode("latin-1")


def escape(text):
    """As the phones' XML needs it: & < > " ' as entities, letters beyond ASCII as character
    references (the objects declare no encoding)."""
    escaped = saxutils.escape(text, {'"': "&quot;", "'": "&apos;"})
    return escaped.encode("ascii", "xmlcharrefreplace").decode("ascii")


MEMBER_TEXT = ("XML=<CiscoIPPhoneText>" + TITLE + "<Text>" + escape(MESSAGE) + "</Text></CiscoIPPhoneText>").encode()
PLAY = ("XML=" + EXECUTE % ("Play:" + escape(SOUND))).encode()
TRANSMIT_STOP = ("XML=" + EXECUTE % "RTPMTx:Stop").encode()
RECEIVE_STOP = ("XML=" + EXECUTE % "RTPMRx:Stop").encode()
BLANK_TEXT = b"XML=<CiscoIPPhoneText><Title> </Title><Text> </Text></CiscoIPPhoneText>"

ACTION_REPLY = (b"HTTP/1.1 200 OK\r\nContent-type: text/xml\r\nContent-Length: 94\r\nConnection: close\r\n\r\n"
                + SERVICES)


def start_request(zone):
    return http_get("/qax.xml?action=broadcast_start&zone=%s" % zone, SERVER)


def stop_request(zone):
    return http_get("/qax.xml?action=broadcast_stop&zone=%s" % zone, SERVER)


class BroadcastTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        data_file = os.path.join(cls.tmp.name, "CUCMdata.dat")
        write_data_file(data_file, [("10%02d" % i, "Phone %d" % i, ip, name) for i, (ip, name) in enumerate(SELECTED)])
        seed_registry({
            "httpServerIP": SERVER,
            "httpServerPort": str(SERVER_PORT),
            "MulticastTargetIP": GROUP,
            "MulticastTargetPortRangeStart": str(FIRST_PORT),
            "MulticastTargetPortRangeEnd": str(FIRST_PORT + SLOTS - 1),
            "MulticastUsername": scramble(USER),
            "MulticastPassword": scramble(PASSWORD),
            "MulticastVolume": str(VOLUME),
            "MulticastMessageText": MESSAGE,
            "MulticastAlertSound": SOUND,
            "MulticastMaxDuration": "5",
            "MulticastDeviceNameSelections": "".join(name + ";" for _, name in SELECTED),
            "CUCMdatafile": wine_path(data_file),
        }, ZONES)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def setUp(self):
        # M2 hangs up on every text object it is sent.
        self.phones = RecordingPhones(RECORDING, hang_up_on_text=[M2[0]])
        self.addCleanup(self.phones.close)
        self.start_service()

    def start_service(self):
        self.service = ConsoleService(extra_env={"WINEDEBUG": EVENT_TRACE})
        self.addCleanup(self.service.__exit__)
        wait_listening(SERVER, SERVER_PORT)

    # -- helpers ------------------------------------------------------------------------

    def ask(self, phone_ip, request, timeout=10.0):
        return phone_request(phone_ip, SERVER, SERVER_PORT, request, timeout=timeout)

    def wait_printed(self, text, timeout=20.0):
        deadline = time.monotonic() + timeout
        while text not in self.service.output:
            if time.monotonic() > deadline:
                self.fail("the service never printed %r:\n%s"
                          % (text, self.service.output[-3000:].decode("latin-1")))
            time.sleep(0.1)

    def assert_pushes(self, address, expected, timeout=20.0):
        """The phone has received exactly `expected` bodies, in order, and no more."""
        self.phones.wait_for_count(address, len(expected), timeout)
        time.sleep(0.3)  # room for a push too many to arrive
        self.assertEqual(self.phones.bodies(address), expected, address)

    def assert_quiet(self, addresses, counts, settle=1.0):
        time.sleep(settle)
        for address, count in zip(addresses, counts):
            self.assertEqual(len(self.phones.bodies(address)), count, "%s was pushed to" % address)

    # -- tests --------------------------------------------------------------------------

    def test_start_and_stop_from_the_initiating_phone(self):
        self.assertEqual(self.ask(INIT[0], start_request("North")), ACTION_REPLY)

        # The initiator transmits, shows the STOP key and plays; it is a member of the zone
        # itself but gets no receive job.
        self.assert_pushes(INIT[0], [transmit(FIRST_PORT), initiator_text("North"), PLAY])
        for member in (M1, M2):
            self.assert_pushes(member[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY])
        self.assertEqual(self.phones.bodies(OUTSIDER[0]), [])

        auth = "Basic " + base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode()).decode()
        for address in (INIT[0], M1[0], M2[0]):
            for push in self.phones.received(address):
                self.assertEqual(push.requestline, "POST /CGI/Execute HTTP/1.1")
                self.assertEqual(push.headers.get("Authorization"), auth)
                self.assertEqual(push.headers.get("Content-Type"), "text/xml")
                self.assertEqual(push.headers.get("User-Agent"), "Dravik VESKA")
                # Every object is well-formed XML, with the "&", "<" and the letters beyond ASCII of
                # the message and the sound.
                ElementTree.fromstring(push.body[len("XML="):])

        self.stop_north_and_check_its_phones()

        out = self.service.output
        self.assertIn(b"MODE: 1 ZONE: North\r\n", out)
        self.assertIn(b"MODE: 0 ZONE: \r\n", out)
        self.assertIn(b"Broadcast success: %s\r\n" % M1[0].encode(), out)
        # Both events name the zone, the group and port, and the initiating phone.
        strings = ["North", "%s:%d" % (GROUP, FIRST_PORT), INIT[0]]
        self.assertEqual(self.broadcast_events(2), [(0x4000000B, 4, strings), (0x4000000C, 4, strings)])

        # The slot is free again: the next start gets the same port.
        self.assertEqual(self.ask(INIT[0], start_request("North")), ACTION_REPLY)
        self.phones.wait_for_count(M1[0], 9)
        self.assertEqual(self.phones.bodies(M1[0])[6], receive(FIRST_PORT))
        self.assertEqual(self.ask(INIT[0], stop_request("North")), ACTION_REPLY)

    def stop_north_and_check_its_phones(self):
        """INIT's STOP for North, which it started on the first port: the initiator stops
        transmitting, both members stop receiving and are cleared, the outsider hears nothing."""
        self.assertEqual(self.ask(INIT[0], stop_request("North")), ACTION_REPLY)
        self.assert_pushes(INIT[0], [transmit(FIRST_PORT), initiator_text("North"), PLAY, TRANSMIT_STOP])
        for member in (M1, M2):
            self.assert_pushes(member[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY, RECEIVE_STOP, BLANK_TEXT,
                                           SERVICES])
        self.assertEqual(self.phones.bodies(OUTSIDER[0]), [])

    def broadcast_events(self, count, timeout=10.0):
        """The start and stop events reported so far, once there are `count` (or the time is up)."""
        deadline = time.monotonic() + timeout
        while True:
            events = [e for e in reported_events(self.service.errors.decode("latin-1"))
                      if e[0] in (0x4000000B, 0x4000000C)]
            if len(events) >= count or time.monotonic() > deadline:
                return events
            time.sleep(0.1)

    def test_requests_that_start_or_stop_nothing(self):
        # A stop from a phone that holds no slot, naming no zone: no answer, nothing pushed.
        self.assertEqual(self.ask(M1[0], stop_request("Nowhere"), timeout=2), b"")
        # A start for a zone that does not exist: no answer, nothing pushed, no slot kept.
        self.assertEqual(self.ask(INIT[0], start_request("Nowhere"), timeout=2), b"")
        self.assert_quiet(RECORDING, [0, 0, 0, 0])
        self.assertEqual(self.broadcast_events(1, timeout=0), [])

        # Take every slot; the lowest port goes first, so the unknown zone kept no slot.
        for n, caller in enumerate(CALLERS[:SLOTS]):
            self.assertEqual(self.ask(caller, start_request("South")), ACTION_REPLY)
            self.phones.wait_for_count(OUTSIDER[0], 3 * (n + 1))
            self.assertEqual(self.phones.bodies(OUTSIDER[0])[3 * n], receive(FIRST_PORT + n))

        # Every slot taken: no answer, no push; the slots held stay as they were.
        self.assertEqual(self.ask(CALLERS[3], start_request("South"), timeout=2), b"")
        self.assert_quiet([OUTSIDER[0]], [9])
        self.assertEqual(len(self.broadcast_events(4, timeout=0)), 3)

        self.assertEqual(self.ask(CALLERS[1], stop_request("South")), ACTION_REPLY)
        self.phones.wait_for_count(OUTSIDER[0], 12)
        self.assertEqual(self.ask(CALLERS[3], start_request("South")), ACTION_REPLY)
        self.phones.wait_for_count(OUTSIDER[0], 15)
        self.assertEqual(self.phones.bodies(OUTSIDER[0])[12], receive(FIRST_PORT + 1))

        # A stop naming no zone is answered, stops nothing and keeps the slot held.
        self.assertEqual(self.ask(CALLERS[0], stop_request("Nowhere")), ACTION_REPLY)
        self.assert_quiet([OUTSIDER[0]], [15])
        self.assertEqual(self.ask(CALLERS[0], stop_request("South")), ACTION_REPLY)
        self.assert_pushes(OUTSIDER[0], self.phones.bodies(OUTSIDER[0])[:15] + [RECEIVE_STOP, BLANK_TEXT, SERVICES])

    def test_stop_after_the_service_restarted_during_a_page(self):
        self.assertEqual(self.ask(INIT[0], start_request("North")), ACTION_REPLY)
        self.assert_pushes(INIT[0], [transmit(FIRST_PORT), initiator_text("North"), PLAY])
        # Every member has had its start pushes before the service goes, so that stopping it
        # cuts none of them short.
        for member in (M1, M2):
            self.assert_pushes(member[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY])
        self.service.stop()
        self.start_service()

        # The new service holds no slot for the page, and the STOP key still ends it.
        self.stop_north_and_check_its_phones()
        # No slot tells the port: the event names the multicast address alone.
        self.assertEqual(self.broadcast_events(1), [(0x4000000C, 4, ["North", GROUP, INIT[0]])])

    def test_two_broadcasts_from_one_phone_stop_one_at_a_time(self):
        self.assertEqual(self.ask(INIT[0], start_request("North")), ACTION_REPLY)
        self.assertEqual(self.ask(INIT[0], start_request("South")), ACTION_REPLY)
        self.assert_pushes(OUTSIDER[0], [receive(FIRST_PORT + 1), MEMBER_TEXT, PLAY])
        self.assert_pushes(M1[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY])

        # Stopping South ends South and frees South's port; North goes on streaming on its own.
        self.assertEqual(self.ask(INIT[0], stop_request("South")), ACTION_REPLY)
        self.assert_pushes(OUTSIDER[0], [receive(FIRST_PORT + 1), MEMBER_TEXT, PLAY, RECEIVE_STOP, BLANK_TEXT,
                                         SERVICES])
        self.assertEqual(self.phones.bodies(M1[0]), [receive(FIRST_PORT), MEMBER_TEXT, PLAY])
        self.assertEqual(self.broadcast_events(3)[2], (0x4000000C, 4, ["South", "%s:%d" % (GROUP, FIRST_PORT + 1),
                                                                        INIT[0]]))

        # The next start gets South's port, never North's, which still streams.
        self.phones.forget(OUTSIDER[0])
        self.assertEqual(self.ask(CALLERS[0], start_request("South")), ACTION_REPLY)
        self.assert_pushes(OUTSIDER[0], [receive(FIRST_PORT + 1), MEMBER_TEXT, PLAY])
        self.assertEqual(self.ask(INIT[0], stop_request("North")), ACTION_REPLY)
        self.assert_pushes(M1[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY, RECEIVE_STOP, BLANK_TEXT, SERVICES])

    def test_stop_pushes_wait_for_a_slow_phones_start_pushes(self):
        for phone in (INIT, M1):
            self.phones.answer_slowly(phone[0], 0.5)
        self.assertEqual(self.ask(INIT[0], start_request("North")), ACTION_REPLY)
        # Pressed at once: the slow phones are still taking in their start pushes.
        self.assertEqual(self.ask(INIT[0], stop_request("North")), ACTION_REPLY)
        self.assert_pushes(INIT[0], [transmit(FIRST_PORT), initiator_text("North"), PLAY, TRANSMIT_STOP])
        self.assert_pushes(M1[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY, RECEIVE_STOP, BLANK_TEXT, SERVICES])

    def test_a_start_push_held_past_the_wait_is_dropped_not_sent_after_the_stop(self):
        # M1 holds its first start push for longer than its stop waits for the start to end.
        self.phones.answer_slowly(M1[0], 15)
        self.assertEqual(self.ask(INIT[0], start_request("North")), ACTION_REPLY)
        self.phones.wait_for_count(M1[0], 1)
        self.phones.answer_slowly(M1[0], 0)
        self.assertEqual(self.ask(INIT[0], stop_request("North")), ACTION_REPLY)
        # The stop goes out once its wait has run out. The start's text and sound, which would
        # come after it and leave the alert on the screen, are dropped when the answer comes.
        self.wait_printed(b"Push to %s dropped" % M1[0].encode(), timeout=30)
        self.assert_pushes(M1[0], [receive(FIRST_PORT), RECEIVE_STOP, BLANK_TEXT, SERVICES])

    def test_unreachable_and_silent_members_delay_no_other_phone(self):
        with SilentPhone(SILENT[0]) as silent:
            started = time.monotonic()
            self.assertEqual(self.ask(INIT[0], start_request("Stairs")), ACTION_REPLY)
            self.assertTrue(self.phones.wait_until(
                lambda pushes: all(len(pushes[a]) >= 3 for a in (INIT[0], M1[0], M2[0])), timeout=15),
                "pushes: %r" % self.phones.pushes)
            elapsed = time.monotonic() - started
            # The silent phone still holds its first push unanswered, the dead one has failed.
            self.assertEqual(silent.accepted(), 1)
            self.assertLess(elapsed, 5.0)
            self.assertEqual(self.phones.bodies(M1[0]), [receive(FIRST_PORT), MEMBER_TEXT, PLAY])
            self.assertEqual(self.phones.bodies(INIT[0]), [transmit(FIRST_PORT), initiator_text("Stairs"), PLAY])
            self.wait_printed(b"WinHttpSendRequest() failed (12029). \r\nError 12029 has occurred.\n")
            # M2 hung up on its text object and still got the sound.
            self.assertEqual(self.phones.bodies(M2[0]), [receive(FIRST_PORT), MEMBER_TEXT, PLAY])

            # The stop reaches every phone that answers, while the silent one still holds; M2's
            # dismissal goes on to the services object after its blank text went unanswered.
            self.assertEqual(self.ask(INIT[0], stop_request("Stairs")), ACTION_REPLY)
            self.assert_pushes(M2[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY, RECEIVE_STOP, BLANK_TEXT, SERVICES])
            self.assert_pushes(INIT[0], [transmit(FIRST_PORT), initiator_text("Stairs"), PLAY, TRANSMIT_STOP])
            # The silent phone's stop waits for its unanswered start push only for a while: its
            # stop push comes on a connection of its own.
            deadline = time.monotonic() + 25
            while silent.accepted() < 2 and time.monotonic() < deadline:
                time.sleep(0.1)
            self.assertEqual(silent.accepted(), 2)

    def test_pressing_stop_as_a_phone_would(self):
        # The phone sends the letters of a Latin-1 zone name as their bytes.
        for zone, member in (("Lab & Yard", M1), (LONG_ZONE, M2), ("Caf\u00e9 du Nord", M1)):
            before = len(self.phones.bodies(INIT[0]))
            self.assertEqual(self.ask(INIT[0], start_request(zone)), ACTION_REPLY)
            bodies = self.phones.wait_for_count(INIT[0], before + 3)
            text = bodies[before + 1]
            self.assertEqual(text, initiator_text(zone))
            # STOP is pressed once the member shows the page as well.
            self.phones.wait_for_count(member[0], 3)

            # The phone's XML parser unescapes the soft key's URL, and the phone asks for it.
            key_url = ElementTree.fromstring(text[len("XML="):]).find("SoftKeyItem/URL").text
            url = urllib.parse.urlsplit(key_url)
            self.assertEqual((url.hostname, url.port), (SERVER, SERVER_PORT))
            request = "GET %s?%s HTTP/1.1\r\nHost: %s\r\n\r\n" % (url.path, url.query, url.netloc)
            reply = phone_request(INIT[0], url.hostname, url.port, request.encode("latin-1"))
            self.assertEqual(reply, ACTION_REPLY)

            self.assert_pushes(INIT[0], bodies[:before + 3] + [TRANSMIT_STOP])
            self.assert_pushes(member[0], [receive(FIRST_PORT), MEMBER_TEXT, PLAY, RECEIVE_STOP, BLANK_TEXT,
                                           SERVICES])
            self.phones.forget(member[0])


if __name__ == "__main__":
    unittest.main()
