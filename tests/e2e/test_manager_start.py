"""QAXmanager.exe itself, on a virtual display: its start without a settings key, and a
sheet closed with Cancel."""

import os
import subprocess
import tempfile
import unittest

import qax_testlib as lib
from x11_session import X11Session, wait_exit

# wine passes the Windows exit status on modulo 256: -1 arrives as 255.
EXIT_MINUS_ONE = (255, -1)

KEY_ERROR_BOX = ("BOX Dravik Software|Error reading program settings from the registry.\\r\\n\\r\\n"
                 "The program will now exit.")
CONFIGURATION_BOX = "BOX Dravik QAX|Error reading configuration from the registry."
CLOSING_NOTICE = "BOX QAX Manager|The Dravik QAX service must be restarted for any changes to take effect."


def export_settings(path):
    lib.run_wine(["regedit", "/E", lib.wine_path(path), lib.SETTINGS_KEY])
    with open(path, "rb") as f:
        return f.read()


class ManagerStartTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = X11Session().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.session.__exit__(None, None, None)

    def test_missing_settings_key_shows_both_boxes_in_order_and_exits_minus_one(self):
        lib.remove_settings_key()
        manager = self.session.start("QAXmanager.exe")
        status, lines = self.session.probe("boxes", 2, 60)
        self.assertEqual(0, status, lines)
        self.assertEqual([KEY_ERROR_BOX, CONFIGURATION_BOX], lines)
        self.assertIn(wait_exit(manager), EXIT_MINUS_ONE)

    def test_cancel_saves_nothing_and_ends_with_the_closing_notice(self):
        with tempfile.TemporaryDirectory() as work:
            data_file = os.path.join(work, "CUCMdata.dat")
            lib.write_data_file(data_file, [("1001", "Lobby", "10.0.0.1", "SEPA")])
            lib.seed_registry({
                "CUCMdatafile": lib.wine_path(data_file), "MulticastDeviceNameSelections": "SEPA;",
                "httpServerIP": "127.0.45.1", "httpServerPort": "80", "MulticastTargetIP": "239.1.1.1",
                "MulticastTargetPortRangeStart": "20480", "MulticastTargetPortRangeEnd": "20490",
                "MulticastUsername": lib.scramble("pager"), "MulticastPassword": lib.scramble("secret"),
                "MulticastVolume": "60", "MulticastMessageText": "Drill", "MulticastAlertSound": "Chime.raw",
                "MulticastMaxDuration": "5", "ServerAddress": "127.0.45.9", "ServerPort": "8443",
                "CUCMusername": lib.scramble("axl"), "CUCMpassword": lib.scramble("cm")})
            before = export_settings(os.path.join(work, "before.reg"))
            with open(data_file, "rb") as f:
                data_before = f.read()

            manager = self.session.start("QAXmanager.exe")
            status, lines = self.session.probe("sheet", 60)
            self.assertEqual(0, status, "the sheet did not show")
            status, windows = self.session.probe("windows")
            # The main window exists and is never shown; the sheet is.
            self.assertIn("WINDOW 0 XPVMANAGER|XPV Manager", windows)
            self.assertIn("WINDOW 1 #32770|Dravik Software - Halvenor (QAX) - Configuration", windows)

            self.assertEqual(0, self.session.probe("cancel")[0])
            status, lines = self.session.probe("boxes", 1, 60)
            self.assertEqual([CLOSING_NOTICE], lines)
            self.assertIn(wait_exit(manager), EXIT_MINUS_ONE)
            self.assertEqual(before, export_settings(os.path.join(work, "after.reg")))
            with open(data_file, "rb") as f:
                self.assertEqual(data_before, f.read())
        lib.remove_settings_key()


class X11SessionTest(unittest.TestCase):
    def test_a_session_that_cannot_be_made_stops_its_display_and_restores_the_environment(self):
        names = ("WINEPREFIX", "DISPLAY", "WINEDEBUG")
        before = {name: os.environ.get(name) for name in names}
        session = X11Session()
        real_run_wine = lib.run_wine

        def wine_that_hangs(*args, **kwargs):
            raise subprocess.TimeoutExpired("wine", 1)

        lib.run_wine = wine_that_hangs
        try:
            with self.assertRaises(subprocess.TimeoutExpired):
                session.__enter__()
            self.assertIsNotNone(session._xvfb.poll(), "Xvfb is still running")
            self.assertEqual(before, {name: os.environ.get(name) for name in names})
        finally:
            lib.run_wine = real_run_wine
            if session._xvfb is not None and session._xvfb.poll() is None:
                session._xvfb.kill()
                session._xvfb.wait(timeout=30)


if __name__ == "__main__":
    unittest.main()
