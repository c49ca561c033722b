#!/usr/bin/env bash
# Fan-out benchmark: how long the service takes from a phone's start request until every one
# of 255 member phones holds its receive push, against curl --parallel posting the same 255
# bodies with the same credentials to the same fake phones, in the same run, round by round.
#
# It also gives the time the service's connection thread spends starting the job threads,
# read from the service's own console output as it arrives: the thread prints the reply it
# sent just before it starts the initiator's job, and one "." after each member's job thread
# it has started. A separate process notes the moment each write reaches the console file,
# so the span from the reply to the 255th "." is measured without a line of its own.
#
# Usage: bash tools/benchmark-fanout.sh [rounds]   (builds first; needs root for port 80)
# Other developers' fake phones share the loopback addresses: run it in a network namespace,
#   unshare -n sh -c 'ip link set lo up; bash tools/benchmark-fanout.sh'
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
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from qax_testlib import ConsoleService, http_get, phone_request, scramble, seed_registry, wait_listening, \
    wine_path, write_data_file
from push_phones import PHONE_ANSWER, RecordingPhones

SERVER, SERVER_PORT = "127.0.30.2", 8080
INITIATOR = "127.0.30.250"
MEMBERS = ["127.30.0.%d" % i for i in range(1, 256)]
NAMES = ["SEP3000%08X" % i for i in range(1, 256)]
GROUP, PORT, VOLUME = "239.30.30.30", 24000, 80
USER, PASSWORD = "pager", "fanout"
ROUNDS = int(os.environ.get("QAX_ROUNDS", "3"))
RECEIVE = ('XML=<CiscoIPPhoneExecute><ExecuteItem Priority="0" URL="RTPMRx:%s:%d:%d"/></CiscoIPPhoneExecute>\r\n'
           % (GROUP, PORT, VOLUME)).encode()

# Notes (moment, size) each time the file behind descriptor argv[1] grows, until killed.
CONSOLE_WATCH = r'''
import os, sys, time
fd, size = int(sys.argv[1]), -1
while True:
    now = os.fstat(fd).st_size
    if now != size:
        size = now
        sys.stdout.write("%.6f %d\n" % (time.monotonic(), size))
        sys.stdout.flush()
    time.sleep(0.0002)
'''

# What the job threads print while the connection thread starts them; everything else after
# the reply must be the connection thread's "." marks, or the measure is refused.
JOB_OUTPUT = re.compile(re.escape(b"WinHttpReadData: " + PHONE_ANSWER) + rb"|Broadcast success: [0-9.]+\r\n"
                        rb"|MODE: [01] ZONE: [^\r]*\r\n")
REPLY_MARK = b"Sending the following:\r\n"


def is_receive(push):
    return ("RTPMRx:%s:" % GROUP).encode() in push.body


def first_receives(phones):
    return {a: next(p for p in phones.received(a) if is_receive(p)) for a in MEMBERS}


def wait_all_received(phones, timeout=60.0):
    """The members' receive pushes, once the last member has got its own."""
    if not phones.wait_until(lambda pushes: all(any(map(is_receive, pushes[a])) for a in MEMBERS), timeout):
        missing = [a for a in MEMBERS if not any(map(is_receive, phones.received(a)))]
        raise SystemExit("members without their receive push after %.0f s: %s" % (timeout, missing[:10]))
    return first_receives(phones)


def check_same_pushes(pushes, who):
    bodies = {p.body for p in pushes.values()}
    if bodies != {RECEIVE}:
        raise SystemExit("%s: unexpected receive bodies: %r" % (who, bodies))
    auth = {p.headers.get("Authorization") for p in pushes.values()}
    if len(auth) != 1 or None in auth:
        raise SystemExit("%s: unexpected credentials: %r" % (who, auth))
    return auth.pop()


class ConsoleWatch:
    """The moments at which the service's console file grew, noted by a process of its own so
    that the fake phones' threads in this one cannot delay the notes."""

    def __init__(self, console_fd):
        self._notes = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([sys.executable, "-c", CONSOLE_WATCH, str(console_fd)], pass_fds=(console_fd,),
                                     stdin=subprocess.DEVNULL, stdout=self._notes)

    def moment_of(self, offset, timeout=10.0):
        """The first noted moment at which the file held the byte at offset."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self._notes.seek(0)
            for line in self._notes.read().decode().splitlines():
                moment, size = line.split()
                if int(size) > offset:
                    return float(moment)
            time.sleep(0.05)
        raise SystemExit("the console watch never saw offset %d" % offset)

    def close(self):
        self.proc.kill()
        self.proc.wait(timeout=10)
        self._notes.close()


def thread_start_moments(service, watch, round_start):
    """The moments of the reply to the start request and of the connection thread's note that
    it had started the last member's job thread (the 255th "." after the reply)."""
    output = service.output
    reply = output.find(REPLY_MARK, round_start)
    if reply < 0:
        raise SystemExit("no reply in the console output of this round")
    masked = JOB_OUTPUT.sub(lambda m: b" " * len(m.group(0)), output[reply:])
    after = masked.index(b"\r\n\r\n", masked.index(b"</CiscoIPPhoneExecute>")) + 4  # the reply's end
    marks = [i for i in range(after, len(masked)) if masked[i] == ord(".")]
    if len(marks) < len(MEMBERS) or masked[after:marks[len(MEMBERS) - 1]].replace(b".", b"").strip(b" "):
        raise SystemExit("the console output after the reply is not what the measure expects:\n%s"
                         % output[reply:reply + 4000].decode("latin-1"))
    return watch.moment_of(reply), watch.moment_of(reply + marks[len(MEMBERS) - 1])


def service_round(service, watch, phones):
    for a in MEMBERS + [INITIATOR]:
        phones.forget(a)
    round_start = len(service.output)
    started = time.monotonic()
    reply = phone_request(INITIATOR, SERVER, SERVER_PORT, http_get("/qax.xml?action=broadcast_start&zone=Everyone",
                                                                  SERVER))
    if not reply.endswith(b'URL="Init:Services"/></CiscoIPPhoneExecute>'):
        raise SystemExit("the service did not accept the start: %r\n%s" % (reply, service.output[-2000:]))
    pushes = wait_all_received(phones)
    last_push = max(p.arrived for p in pushes.values())
    auth = check_same_pushes(pushes, "service")
    replied, last_started = thread_start_moments(service, watch, round_start)
    # Stop, and let every stop sequence end before the next round.
    phone_request(INITIATOR, SERVER, SERVER_PORT, http_get("/qax.xml?action=broadcast_stop&zone=Everyone", SERVER))
    phones.wait_until(lambda pushes: all(len(pushes[a]) >= 6 for a in MEMBERS), 60)
    return last_push - started, last_started - replied, last_push - last_started, auth


def curl_round(phones, config):
    """curl --parallel: one transfer per phone, all at once, each one POST of the receive body."""
    for a in MEMBERS:
        phones.forget(a)
    started = time.monotonic()
    result = subprocess.run(["curl", "--parallel", "--parallel-immediate", "--parallel-max", str(len(MEMBERS)),
                             "--no-progress-meter", "--fail", "--config", config],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
    pushes = wait_all_received(phones)
    if result.returncode != 0:
        raise SystemExit("curl failed with exit code %d" % result.returncode)
    return max(p.arrived for p in pushes.values()) - started, check_same_pushes(pushes, "curl")


def write_curl_config(tmp):
    body = os.path.join(tmp, "receive.xml")
    with open(body, "wb") as f:
        f.write(RECEIVE)
    config = os.path.join(tmp, "curl.config")
    transfer = ('url = "http://%%s/CGI/Execute"\ndata-binary = "@%s"\nheader = "Content-Type: text/xml"\n'
                'user = "%s:%s"\nuser-agent = "curl-reference"\n' % (body, USER, PASSWORD))
    with open(config, "w") as f:
        f.write("next\n".join(transfer % a for a in MEMBERS))
    return config


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
    config = write_curl_config(tmp)

    with RecordingPhones(MEMBERS + [INITIATOR], poll_interval=0.5) as phones, ConsoleService() as service:
        # The console file is ConsoleService's own; the watch reads it through a copy of its descriptor.
        watch = ConsoleWatch(service._out.fileno())
        try:
            wait_listening(SERVER, SERVER_PORT)
            service_times, thread_times, rest_times, curl_times = [], [], [], []
            for n in range(ROUNDS):
                elapsed, threads, rest, service_auth = service_round(service, watch, phones)
                service_times.append(elapsed)
                thread_times.append(threads)
                rest_times.append(rest)
                elapsed, curl_auth = curl_round(phones, config)
                curl_times.append(elapsed)
                if curl_auth != service_auth:
                    raise SystemExit("curl and the service sent different credentials")
                print("round %d: service %.3f s (job threads started in %.3f s), curl --parallel %.3f s"
                      % (n + 1, service_times[-1], thread_times[-1], curl_times[-1]), flush=True)
        finally:
            watch.close()

service_time = statistics.median(service_times)
thread_time = statistics.median(thread_times)
curl_time = statistics.median(curl_times)
print("fan-out to %d phones (median of %d rounds): service %.3f s, curl --parallel %.3f s, ratio %.2f"
      % (len(MEMBERS), ROUNDS, service_time, curl_time, service_time / curl_time))
print("the service's connection thread spent %.3f s of it starting the %d job threads (%.1f ms a thread); "
      "the last member's push arrived %.3f s after its job thread was started"
      % (thread_time, len(MEMBERS) + 1, 1000 * thread_time / (len(MEMBERS) + 1), statistics.median(rest_times)))
EOF
