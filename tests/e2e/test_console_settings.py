"""QAXservice.exe in a console: the settings, targets and zones it prints at start-up from a
seeded registry, and the banner of a start without the service control manager."""

import os
import shutil
import tempfile
import time
import unittest

import qax_testlib as lib
from service_control import run_service

SERVER_IP = "127.0.10.1"
SERVER_PORT = 18311
PHONE_IP = "127.0.10.41"

BANNER_AND_HELP = ("\nDravik Software - Halvenor \nhttp://www.draviksoftware.com\n- QAX v.2.5 - \n\n"
                   "For HELP, please use the '/?' switch.\n\n")


class ConsoleRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="qax-console-")
        cls.data_file = os.path.join(cls.tmp, "CUCMdata.dat")
        lib.write_data_file(cls.data_file, [
            ("1001", "Lobby", "127.0.10.21", "SEPA"),
            ("", "", "127.0.10.22", "SEPB"),
            ("1003", "Spare", "127.0.10.23", "SEPC"),
        ])

    @classmethod
    def tearDownClass(cls):
        lib.remove_settings_key()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def seed(self, **changes):
        values = {
            "CUCMdatafile": lib.wine_path(self.data_file),
            "MulticastDeviceNameSelections": "SEPB;SEPA;;SEPX;",
            "httpServerIP": SERVER_IP,
            "httpServerPort": str(SERVER_PORT),
            "MulticastTargetIP": "239.1.1.1",
            "MulticastTargetPortRangeStart": "20480",
            "MulticastTargetPortRangeEnd": "20481",
            "MulticastUsername": lib.scramble("pager"),
            "MulticastPassword": lib.scramble("secret"),
            "MulticastVolume": "50",
            "MulticastMessageText": "Fire alarm",
            "MulticastAlertSound": "Chime.raw",
            "MulticastMaxDuration": "10",
        }
        values.update(changes)
        lib.seed_registry(values, zones=[("Lobby", "Ground floor", ["SEPA", "SEPB"]), ("Yard", None, [])])

    def test_run_prints_settings_targets_and_zones_then_serves(self):
        self.seed()
        with lib.ConsoleService() as service:
            raw = service.wait_for(b"Threads running...")
            lib.wait_listening(SERVER_IP, SERVER_PORT)
            answer = lib.phone_request(PHONE_IP, SERVER_IP, SERVER_PORT, lib.http_get("/qax.xml", SERVER_IP))
            self.assertIn(b"<CiscoIPPhoneMenu>", answer)
            self.assertIsNone(service.proc.poll(), "the console run ended")
        out = raw.decode("latin-1")

        def lookup(name, compared):
            return ("CUCMreadFileSEPtoIP(): Looking for %s..." % name
                    + "".join("Comparing... <%s> to <%s> \r\n" % (c, name) for c in compared))

        expected = (
            "Running Command-Line Version.\n"
            "InitializePhoneClientList()...\r\n"
            "Using this list...SEPB;SEPA;;SEPX;\r\n"
            "Searching for element SEPB...\r\n" + lookup("SEPB", ["SEPA", "SEPB"]) +
            "Success!\tSEPB === 127.0.10.22\r\n"
            "Searching for element SEPA...\r\n" + lookup("SEPA", ["SEPA"]) +
            "Success!\tSEPA === 127.0.10.21\r\n"
            "Searching for element SEPX...\r\n" + lookup("SEPX", ["SEPA", "SEPB", "SEPC"]) +
            "httpServerIP: 127.0.10.1\n"
            "httpServerPort: %d\n"
            "MulticastTargetIP: 239.1.1.1\n"
            "MulticastTargetPortRangeStart: 20480\n"
            "MulticastTargetPortRangeEnd: 20481\n"
            "Memory allocated for 2 ports.\r\n"
            "RTPportInitialize(): Slot 0 now assigned with port: 20480\r\n"
            "RTPportInitialize(): Slot 1 now assigned with port: 20481\r\n"
            "replaying...RTPportInitialize(): Slot 0 is assigned with port: 20480\r\n"
            "replaying...RTPportInitialize(): Slot 1 is assigned with port: 20481\r\n"
            "MulticastVolume: 50\n"
            "MulticastMessageText: Fire alarm\n"
            "MulticastAlertSound: Chime.raw\n"
            "MulticastMaxDuration: 10\n"
            "READ: SEPA\r\n"
            "READ: SEPB\r\n"
            "ZONE: Lobby\tMEMBERS: SEPA;SEPB\r\n"
            "ZONE: Yard\tMEMBERS: \r\n"
            "wzMulticastTargetIP: 239.1.1.1\r\n"
            "wzMulticastMessageText: Fire alarm\r\n"
            "wzMulticastAlertSound: Chime.raw\r\n"
            "iMulticastVolume: 50\r\n"
            "Servicing the following 2 phones:\r\n"
            "SEPB and 127.0.10.22\r\n"
            "SEPA and 127.0.10.21\r\n") % SERVER_PORT
        self.assertEqual(out[:len(expected)], expected)
        self.assertIn("Threads running...\r\n", out[len(expected):])
        self.assertNotIn("pager", out)
        self.assertNotIn("secret", out)

    def test_help_switch_prints_the_banner_and_exits_with_zero(self):
        # Wine's dispatcher fails only after about ten seconds when no service manager started us.
        for args in (["/?"], [], ["-start", "-run"]):
            with self.subTest(args=args):
                started = time.monotonic()
                code, out, _ = run_service(*args, timeout=60)
                self.assertEqual((code, out), (0, BANNER_AND_HELP))
                self.assertLess(time.monotonic() - started, 40)


if __name__ == "__main__":
    unittest.main()
