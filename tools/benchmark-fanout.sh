#!/usr/bin/env bash
# Fan-out benchmark: how long the service takes from a phone's start request until every one
# of 255 member phones holds its receive push, against a reference client that posts the
# same 255 bodies from one Python thread per phone, in the same run, to the same fake phones.
# Usage: bash tools/benchmark-fanout.sh [rounds]   (builds first; needs root for port 80)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QAX_BUILD_DIR:-$root/build}"

QAX_BUILD_DIR="$build" bash "$root/tools/build.sh" QAXservice >/dev/null
. "$root/tools/wine-env.sh" "$build"
. "$root/tools/wine-prefix.sh"
qax_prepare_prefix
# A persistent, warmed-up server: the first Wine process's start-up is not part of a push.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

export QAX_BIN_DIR="$build/bin" QAX_ROUNDS="${1:-3}"
cd "$root/tests/e2e"
python3 - <<'EOF'
import base64
import http.client
import os
import statistics
import tempfile
import threading
import time

from qax_testlib import ConsoleService, http_get, phone_request, scramble, seed_registry, wait_listening, \
    wine_path, write_data_file
from push_phones import RecordingPhones

SERVER, SERVER_PORT = "127.0.30.2", 8080
INITIATOR = "127.0.30.250"
MEMBERS = ["127.30.0.%d" % i for i in range(1, 256)]
NAMES = ["SEP3000%08X" % i for i in range(1, 256)]
GROUP, PORT, VOLUME = "239.30.30.30", 24000, 80
USER, PASSWORD = "pager", "fanout"
ROUNDS = int(os.environ.get("QAX_ROUNDS", "3"))
RECEIVE = ('XML=<CiscoIPPhoneExecute><ExecuteItem Priority="0" URL="RTPMRx:%s:%d:%d"/></CiscoIPPhoneExecute>\r\n'
           % (GROUP, PORT, VOLUME)).encode()


def is_receive(push):
    return ("RTPMRx:%s:" % GROUP).encode() in push.body


def wait_all_received(phones, timeout=60.0):
    """The moment the last member got its receive push."""
    if not phones.wait_until(lambda pushes: all(any(map(is_receive, pushes[a])) for a in MEMBERS), timeout):
        missing = [a for a in MEMBERS if not any(map(is_receive, phones.received(a)))]
        raise SystemExit("members without their receive push after %.0f s: %s" % (timeout, missing[:10]))
    return max(next(p.arrived for p in phones.received(a) if is_receive(p)) for a in MEMBERS)


def service_round(service, phones):
    for a in MEMBERS + [INITIATOR]:
        phones.forget(a)
    started = time.monotonic()
    reply = phone_request(INITIATOR, SERVER, SERVER_PORT, http_get("/qax.xml?action=broadcast_start&zone=Everyone",
                                                                  SERVER))
    if not reply.endswith(b'URL="Init:Services"/></CiscoIPPhoneExecute>'):
        raise SystemExit("the service did not accept the start: %r\n%s" % (reply, service.output[-2000:]))
    elapsed = wait_all_received(phones) - started
    bodies = {phones.received(a)[0].body for a in MEMBERS}
    if bodies != {RECEIVE}:
        raise SystemExit("unexpected receive bodies: %r" % bodies)
    # Stop, and let every stop sequence end before the next round.
    phone_request(INITIATOR, SERVER, SERVER_PORT, http_get("/qax.xml?action=broadcast_stop&zone=Everyone", SERVER))
    phones.wait_until(lambda pushes: all(len(pushes[a]) >= 6 for a in MEMBERS), 60)
    return elapsed


def reference_round(phones):
    """One thread per phone, each one POST of the receive body, as the service's jobs do."""
    for a in MEMBERS:
        phones.forget(a)
    auth = "Basic " + base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode()).decode()

    def post(address):
        connection = http.client.HTTPConnection(address, 80, timeout=30)
        connection.request("POST", "/CGI/Execute", body=RECEIVE,
                           headers={"Content-Type": "text/xml", "Authorization": auth, "User-Agent": "reference"})
        connection.getresponse().read()
        connection.close()

    started = time.monotonic()
    threads = [threading.Thread(target=post, args=(a,)) for a in MEMBERS]
    for t in threads:
        t.start()
    elapsed = wait_all_received(phones) - started
    for t in threads:
        t.join()
    return elapsed


with tempfile.TemporaryDirectory() as tmp:
    data_file = os.path.join(tmp, "CUCMdata.dat")
    write_data_file(data_file, [("30%03d" % i, "Bench %d" % i, ip, name) for i, (ip, name) in
                                enumerate(zip(MEMBERS, NAMES))])
    seed_registry({
        "httpServerIP": SERVER, "httpServerPort": str(SERVER_PORT), "MulticastTargetIP": GROUP,
        "MulticastTargetPortRangeStart": str(PORT), "MulticastTargetPortRangeEnd": str(PORT + 9),
        "MulticastUsername": scramble(USER), "MulticastPassword": scramble(PASSWORD),
        "MulticastVolume": str(VOLUME), "MulticastMessageText": "Benchmark", "MulticastAlertSound": "Chime.raw",
        "MulticastMaxDuration": "5", "MulticastDeviceNameSelections": "".join(n + ";" for n in NAMES),
        "CUCMdatafile": wine_path(data_file),
    }, [("Everyone", "all 255 phones", NAMES)])

    with RecordingPhones(MEMBERS + [INITIATOR], poll_interval=0.5) as phones, ConsoleService() as service:
        wait_listening(SERVER, SERVER_PORT)
        service_times, reference_times = [], []
        for n in range(ROUNDS):
            service_times.append(service_round(service, phones))
            reference_times.append(reference_round(phones))
            print("round %d: service %.3f s, reference %.3f s" % (n + 1, service_times[-1], reference_times[-1]),
                  flush=True)

service_time = statistics.median(service_times)
reference_time = statistics.median(reference_times)
print("fan-out to %d phones (median of %d rounds): service %.3f s, reference %.3f s, ratio %.2f"
      % (len(MEMBERS), ROUNDS, service_time, reference_time, service_time / reference_time))
EOF
