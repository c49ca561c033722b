"""The service as the service control manager and an administrator's console see it: sc,
reg query, the console text of QAXservice.exe, and removing the service whatever happened."""

import re
import time

import qax_testlib as lib

SERVICE = "Dravik QAX"
SERVICE_KEY = r"HKLM\System\CurrentControlSet\Services\Dravik QAX"
EVENT_SOURCE_KEY = r"HKLM\System\CurrentControlSet\Services\EventLog\Application\Dravik QAX"

STOPPED, START_PENDING, STOP_PENDING, RUNNING = 1, 2, 3, 4

DESCRIPTION = ("Dravik Software - Halvenor [QAX]\r\n\r\nDravik Software QAX provides simultaneously, live audio "
               "paging to Cisco IP telephones in your organization at the push of a button.\r\n\r\n"
               "For more information, visit http://www.draviksoftware.com")


def run_service(*args, timeout=60, exe=None):
    """Runs QAXservice.exe with args to its end; returns (exit code, console text, stderr). The
    console text is the program's bytes as they are: it translates no line end."""
    result = lib.run_wine([exe or lib.exe("QAXservice.exe")] + list(args), timeout=timeout)
    return result.returncode, result.stdout.decode("latin-1"), result.stderr.decode("latin-1", "replace")


def sc(*args, timeout=60):
    result = lib.run_wine(["sc"] + list(args), timeout=timeout)
    return result.returncode, result.stdout.decode("latin-1", "replace")


def service_status():
    """(state, win32 exit code) of the service, or None when it is not installed."""
    code, out = sc("query", SERVICE)
    state = re.search(r"STATE\s*:\s*(\d+)", out)
    if code != 0 or state is None:
        return None
    exit_code = re.search(r"WIN32_EXIT_CODE\s*:\s*(\d+)", out)
    return int(state.group(1)), int(exit_code.group(1)) if exit_code else None


def wait_state(state, timeout=30.0):
    deadline = time.monotonic() + timeout
    status = None
    while time.monotonic() < deadline:
        status = service_status()
        if status is not None and status[0] == state:
            return status
        time.sleep(0.2)
    raise AssertionError("service state %r, expected %d" % (status, state))


def reg_query(key):
    """The text that `reg query` prints for key, or None when the key does not exist."""
    result = lib.run_wine(["reg", "query", key])
    if result.returncode != 0:
        return None
    return result.stdout.decode("latin-1", "replace")


def reg_value(listing, name):
    """(type, data) of a one-line value in a `reg query` listing, or None."""
    match = re.search(r"^    %s    (REG_\w+)    (.*?)\r?$" % re.escape(name), listing or "", re.M)
    return (match.group(1), match.group(2)) if match else None


def delete_key(key):
    lib.run_wine(["reg", "delete", key, "/f"])


def remove_service():
    """Stops and deletes the service if it exists: Wine starts every auto-start service at each
    new session, so no test may leave it behind."""
    if service_status() is None:
        return
    sc("stop", SERVICE)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        status = service_status()
        if status is None or status[0] == STOPPED:
            break
        time.sleep(0.2)
    sc("delete", SERVICE)
    deadline = time.monotonic() + 20
    while service_status() is not None and time.monotonic() < deadline:
        time.sleep(0.2)
    if service_status() is not None:
        raise AssertionError("the service could not be removed")


# Wine stores no events; with WINEDEBUG=-all,+eventlog,fixme+advapi each report shows on the
# program's stderr as the call (type, id, count) followed by one line per insertion string.
EVENT_TRACE = "-all,+eventlog,fixme+advapi"
_REPORT = re.compile(r"ReportEventW \([^,]*,0x([0-9a-fA-F]+),0x[0-9a-fA-F]+,0x([0-9a-fA-F]+),[^,]*,0x([0-9a-fA-F]+),")
_STRING = re.compile(r":eventlog:ReportEventW L\"(.*)\"$")


def reported_events(stderr):
    """[(event id, event type, [insertion strings])] in the order reported."""
    events = []
    for line in stderr.splitlines():
        report = _REPORT.search(line)
        if report:
            events.append((int(report.group(2), 16), int(report.group(1), 16), []))
            continue
        string = _STRING.search(line)
        if string and events:
            events[-1][2].append(string.group(1))
    return events
