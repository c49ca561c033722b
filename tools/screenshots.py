#!/usr/bin/env python3
"""The screenshots of tools/screenshots.sh: seeds a demo site into the session's registry,
starts the manager on a virtual display, shows each page in turn and captures the sheet."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import qax_testlib as lib  # noqa: E402
from x11_session import X11Session, wait_exit  # noqa: E402

PAGES = ["settings", "ip-phone-list", "zones", "about"]

PHONES = [
    ("2001", "Reception desk", "10.10.1.21", "SEP00AA11BB2201"),
    ("2002", "Main office", "10.10.1.22", "SEP00AA11BB2202"),
    ("2003", "Warehouse north", "10.10.2.31", "SEP00AA11BB2303"),
    ("2004", "Warehouse south", "10.10.2.32", "SEP00AA11BB2304"),
    ("2005", "Canteen", "10.10.3.41", "SEP00AA11BB2405"),
]


def host_address():
    """The first IPv4 address of the host's own interfaces (what the address box offers)."""
    try:
        out = subprocess.run(["hostname", "-I"], capture_output=True, text=True, timeout=10).stdout.split()
        return next(a for a in out if "." in a and not a.startswith("127."))
    except (OSError, StopIteration, subprocess.SubprocessError):
        return "127.0.0.1"


def seed(data_file):
    lib.write_data_file(data_file, list(reversed(PHONES)))
    lib.seed_registry({
        "CUCMdatafile": "C:\\ProgramData\\DravikSoftware\\QAX\\CUCMdata.dat",
        "MulticastDeviceNameSelections": "SEP00AA11BB2201;SEP00AA11BB2202;SEP00AA11BB2303;SEP00AA11BB2304;",
        "httpServerIP": host_address(), "httpServerPort": "80",
        "MulticastTargetIP": "239.1.1.10",
        "MulticastTargetPortRangeStart": "20480", "MulticastTargetPortRangeEnd": "20499",
        "MulticastUsername": lib.scramble("pagingadmin"), "MulticastPassword": lib.scramble("example"),
        "MulticastVolume": "80", "MulticastMessageText": "Please listen to the following announcement",
        "MulticastAlertSound": "Chime.raw", "MulticastMaxDuration": "5",
        "ServerAddress": "cucm.example.local", "ServerPort": "8443",
        "CUCMusername": lib.scramble("risuser"), "CUCMpassword": lib.scramble("example"),
    }, zones=[
        ("Office", "Reception and main office", ["SEP00AA11BB2201", "SEP00AA11BB2202"]),
        ("Warehouse", "Both warehouse halls", ["SEP00AA11BB2303", "SEP00AA11BB2304"]),
    ])


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    with X11Session(prefix=os.environ["WINEPREFIX"]) as session:
        # The data file where a site keeps it, so that the status line shows a real path.
        data_dir = os.path.join(session.prefix, "drive_c", "ProgramData", "DravikSoftware", "QAX")
        os.makedirs(data_dir, exist_ok=True)
        seed(os.path.join(data_dir, "CUCMdata.dat"))
        manager = session.start("QAXmanager.exe")
        status, lines = session.probe("sheet", 60)
        if status != 0:
            raise SystemExit("the sheet did not show")
        x, y, w, h = (int(v) for v in lines[-1].split()[1:5])
        for index, name in enumerate(PAGES):
            session.probe("page", index)
            time.sleep(1.0)
            path = os.path.join(out_dir, "%d-%s.png" % (index + 1, name))
            subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window", "root",
                            "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path], check=True, timeout=60)
            print(path)
        session.probe("cancel")
        session.probe("boxes", 1, 30)
        wait_exit(manager)
        lib.remove_settings_key()


if __name__ == "__main__":
    main(sys.argv[1])
