"""QAXservice under Wine's service control manager: install, start, serve, stop, removal."""

import os
import shutil
import socket
import tempfile
import time
import unittest

import qax_testlib as lib
from service_control import (DESCRIPTION, EVENT_SOURCE_KEY, EVENT_TRACE, RUNNING, SERVICE_KEY, STOPPED,
                             delete_key, reg_query, reg_value, remove_service, reported_events,
                             run_service, sc, service_status, wait_state)

SERVER_IP = "127.0.10.1"
SERVER_PORT = 18310
PHONE_IP = "127.0.10.40"

INSTALL_FRESH = ("Initializing... Initializing... \r\nThe process has completed successfully."
                 "Installing service...Success!\r\nThe process has completed successfully.")
INSTALL_OVER_STOPPED = ("Initializing... Initializing... Preparing to uninstall service... "
                        "\r\nThe process has completed successfully."
                        "Installing service...Success!\r\nThe process has completed successfully.")
UNINSTALL = "Initializing... Preparing to uninstall service... \r\nThe process has completed successfully."
UNINSTALL_NOTHING = "Initializing... \r\nThe process has completed successfully."


def seed_settings(data_file):
    lib.seed_registry({
        "CUCMdatafile": lib.wine_path(data_file),
        "MulticastDeviceNameSelections": "SEPA;",
        "httpServerIP": SERVER_IP,
        "httpServerPort": str(SERVER_PORT),
        "MulticastTargetIP": "239.1.1.1",
        "MulticastTargetPortRangeStart": "20480",
        "MulticastTargetPortRangeEnd": "20483",
        "MulticastUsername": lib.scramble("pager"),
        "MulticastPassword": lib.scramble("secret"),
        "MulticastVolume": "50",
        "MulticastMessageText": "Fire alarm",
        "MulticastAlertSound": "Chime.raw",
        "MulticastMaxDuration": "5",
    }, zones=[("Lobby", "Ground floor", ["SEPA"])])


def listening(address, port):
    try:
        with socket.create_connection((address, port), timeout=1):
            return True
    except OSError:
        return False


def wait_not_listening(address, port, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not listening(address, port):
            return
        time.sleep(0.2)
    raise AssertionError("%s:%d still listens" % (address, port))


class ServiceLifecycle(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="qax-lifecycle-")
        cls.data_file = os.path.join(cls.tmp, "CUCMdata.dat")
        lib.write_data_file(cls.data_file, [("1001", "Lobby", "127.0.10.21", "SEPA")])
        seed_settings(cls.data_file)

    @classmethod
    def tearDownClass(cls):
        remove_service()
        lib.remove_settings_key()
        delete_key(EVENT_SOURCE_KEY)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        remove_service()
        self.addCleanup(remove_service)

    def install(self, *args, exe=None):
        code, out, _ = run_service(*(args or ("-install",)), exe=exe)
        self.assertEqual(code, 0)
        return out

    def test_install_registers_an_automatic_own_process_service(self):
        self.assertEqual(self.install("-InStAlL", "ignored"), INSTALL_FRESH)
        listing = reg_query(SERVICE_KEY)
        self.assertIsNotNone(listing, "no service key")
        self.assertEqual(reg_value(listing, "Type"), ("REG_DWORD", "0x10"))
        self.assertEqual(reg_value(listing, "Start"), ("REG_DWORD", "0x2"))
        self.assertEqual(reg_value(listing, "ErrorControl"), ("REG_DWORD", "0x0"))
        self.assertEqual(reg_value(listing, "DisplayName"), ("REG_SZ", "Dravik QAX"))
        self.assertEqual(reg_value(listing, "ImagePath"), ("REG_SZ", lib.wine_path(lib.exe("QAXservice.exe"))))
        self.assertEqual(reg_value(listing, "ObjectName"), ("REG_SZ", "LocalSystem"))
        self.assertIn("    Description    REG_SZ    " + DESCRIPTION + "\r\n", listing)
        self.assertEqual(service_status()[0], STOPPED)

    def test_start_serves_on_the_configured_address_and_stop_reports_stopped(self):
        self.install()
        delete_key(EVENT_SOURCE_KEY)
        code, _ = sc("start", "Dravik QAX")
        self.assertEqual(code, 0)
        wait_state(RUNNING)
        # The source is registered again before every report: event 3 put it back.
        source = reg_query(EVENT_SOURCE_KEY)
        self.assertEqual(reg_value(source, "EventMessageFile"),
                         ("REG_EXPAND_SZ", lib.wine_path(lib.exe("QAXservice.exe"))))
        self.assertEqual(reg_value(source, "TypesSupported"), ("REG_DWORD", "0x7"))
        self.assertEqual(reg_value(source, "CategoryCount"), ("REG_DWORD", "0x2"))

        lib.wait_listening(SERVER_IP, SERVER_PORT)
        answer = lib.phone_request(PHONE_IP, SERVER_IP, SERVER_PORT, lib.http_get("/qax.xml", SERVER_IP))
        self.assertIn(b"<CiscoIPPhoneMenu>", answer)

        delete_key(EVENT_SOURCE_KEY)
        code, _ = sc("stop", "Dravik QAX")
        self.assertEqual(code, 0)
        state, exit_code = wait_state(STOPPED)
        self.assertEqual(exit_code, 0)
        self.assertIsNotNone(reg_query(EVENT_SOURCE_KEY), "event 4 was not reported")
        wait_not_listening(SERVER_IP, SERVER_PORT)

        code, out, _ = run_service("-UNINSTALL")
        self.assertEqual(out, UNINSTALL)
        self.assertIsNone(service_status())
        self.assertIsNone(reg_query(SERVICE_KEY))

    def test_install_over_a_stopped_service_registers_it_again(self):
        self.install()
        self.assertEqual(self.install(), INSTALL_OVER_STOPPED)
        self.assertEqual(service_status()[0], STOPPED)
        self.assertIn(DESCRIPTION, reg_query(SERVICE_KEY))

    def test_uninstall_stops_and_removes_a_running_service(self):
        self.install()
        sc("start", "Dravik QAX")
        wait_state(RUNNING)
        lib.wait_listening(SERVER_IP, SERVER_PORT)
        code, out, _ = run_service("-uninstall")
        self.assertEqual(out, UNINSTALL)
        self.assertIsNone(service_status())
        wait_not_listening(SERVER_IP, SERVER_PORT)

    def test_install_over_a_running_service_stops_it_and_registers_it_again(self):
        self.install()
        sc("start", "Dravik QAX")
        wait_state(RUNNING)
        self.assertEqual(self.install(), INSTALL_OVER_STOPPED)
        self.assertEqual(service_status()[0], STOPPED)
        self.assertIn(DESCRIPTION, reg_query(SERVICE_KEY))

    def test_service_that_cannot_bind_stops_itself(self):
        self.install()
        with socket.socket() as holder:
            # Earlier phone connections may linger in TIME_WAIT; a listener still blocks the port.
            holder.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            holder.bind((SERVER_IP, SERVER_PORT))
            holder.listen(1)
            delete_key(EVENT_SOURCE_KEY)
            code, _ = sc("start", "Dravik QAX")
            self.assertEqual(code, 0)
            state, exit_code = wait_state(STOPPED, timeout=30)
        self.assertEqual(exit_code, 0)
        self.assertIsNotNone(reg_query(EVENT_SOURCE_KEY), "no event was reported")

    def test_uninstall_without_a_service_only_reports_completion(self):
        code, out, _ = run_service("-uninstall")
        self.assertEqual((code, out), (0, UNINSTALL_NOTHING))

    def test_a_path_with_blanks_is_registered_in_quotes_and_starts(self):
        directory = os.path.join(self.tmp, "Dravik Software QAX")
        os.makedirs(directory, exist_ok=True)
        copy = os.path.join(directory, "QAXservice.exe")
        shutil.copy(lib.exe("QAXservice.exe"), copy)
        self.assertEqual(self.install("-install", exe=copy), INSTALL_FRESH)
        self.assertEqual(reg_value(reg_query(SERVICE_KEY), "ImagePath"), ("REG_SZ", '"%s"' % lib.wine_path(copy)))
        sc("start", "Dravik QAX")
        wait_state(RUNNING)
        lib.wait_listening(SERVER_IP, SERVER_PORT)
        sc("stop", "Dravik QAX")
        wait_state(STOPPED)

    def test_console_run_that_cannot_serve_ends_itself_and_leaves_the_service_running(self):
        # The installed service holds the address and port, so the console run cannot bind them.
        self.install()
        sc("start", "Dravik QAX")
        wait_state(RUNNING)
        lib.wait_listening(SERVER_IP, SERVER_PORT)
        with lib.ConsoleService(extra_env={"WINEDEBUG": EVENT_TRACE}) as console:
            exit_code = console.wait_exit(timeout=60)
            out = console.output.decode("latin-1")
            events = reported_events(console.errors.decode("latin-1", "replace"))
        self.assertEqual(exit_code, 1)
        self.assertIn("Binding failed with error 10048\n", out)
        self.assertTrue(out.endswith("Fatal Error: The HTTP server could not start. Exiting.\r\n"), out[-200:])
        self.assertNotIn("Preparing to stop service", out)
        self.assertEqual(events, [(0xC000000A, 1, [SERVER_IP, str(SERVER_PORT), "10048"]), (4, 4, [])])
        self.assertEqual(service_status()[0], RUNNING)
        answer = lib.phone_request(PHONE_IP, SERVER_IP, SERVER_PORT, lib.http_get("/qax.xml", SERVER_IP))
        self.assertIn(b"<CiscoIPPhoneMenu>", answer)


if __name__ == "__main__":
    unittest.main()
