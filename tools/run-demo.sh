#!/usr/bin/env bash
# Builds QAXservice and runs it in a console under Wine on a demo configuration that this
# script writes itself: the settings key, three zones, a selection list and a phone data
# file whose phones live on loopback addresses. Demo phones listen on those addresses, answer
# the service's pushes as phones do and print each push they receive. Ctrl-C ends both.
#
# Usage: tools/run-demo.sh [ADDRESS [PORT]]   (default 127.0.0.1 8080; ADDRESS on loopback)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QAX_BUILD_DIR:-$root/build}"
address="${1:-127.0.0.1}"
port="${2:-8080}"

case "$address" in
  127.*.*.*) ;;
  *) echo "The demo serves on a loopback address (127.x.y.z), not $address." >&2; exit 2 ;;
esac
# The demo phones sit beside the service's address: 127.0.0.11, .12 and .13 by default.
phone_net="${address%.*}"

bash "$root/tools/setup.sh"
QAX_BUILD_DIR="$build" bash "$root/tools/build.sh" QAXservice

. "$root/tools/wine-env.sh" "$build"
. "$root/tools/wine-prefix.sh"
qax_prepare_prefix

demo_dir="$build/demo"
mkdir -p "$demo_dir"
QAX_BIN_DIR="$build/bin" QAX_DEMO_DIR="$demo_dir" QAX_DEMO_ADDRESS="$address" QAX_DEMO_PORT="$port" \
QAX_DEMO_PHONES="$phone_net" PYTHONPATH="$root/tests/e2e" python3 - <<'EOF'
import os
from qax_testlib import scramble, seed_registry, wine_path, write_data_file

net = os.environ["QAX_DEMO_PHONES"]
data_file = os.path.join(os.environ["QAX_DEMO_DIR"], "CUCMdata.dat")
phones = [("2001", "Reception", net + ".11", "SEP00000000A001"),
          ("2002", "Warehouse office", net + ".12", "SEP00000000A002"),
          ("2003", "Loading dock", net + ".13", "SEP00000000A003")]
write_data_file(data_file, phones)
seed_registry(
    {
        "CUCMdatafile": wine_path(data_file),
        "MulticastDeviceNameSelections": "".join(p[3] + ";" for p in phones),
        "httpServerIP": os.environ["QAX_DEMO_ADDRESS"],
        "httpServerPort": os.environ["QAX_DEMO_PORT"],
        "MulticastTargetIP": "239.1.1.1",
        "MulticastTargetPortRangeStart": "20480",
        "MulticastTargetPortRangeEnd": "20489",
        "MulticastUsername": scramble("pager"),
        "MulticastPassword": scramble("demo-password"),
        "MulticastVolume": "80",
        "MulticastMessageText": "This is a demonstration of the emergency paging system.",
        "MulticastAlertSound": "Chime.raw",
        "MulticastMaxDuration": "5",
    },
    zones=[("Lobby", "Reception and entrance", ["SEP00000000A001", "SEP00000000A002"]),
           ("Warehouse", "Warehouse floor", ["SEP00000000A002", "SEP00000000A003"]),
           ("All Staff", "Every phone", [p[3] for p in phones])])
EOF

# The phones listen on port 80 (the service always pushes there), which needs root. They run
# in the background, where Ctrl-C does not reach them: every way out of this script ends them,
# and them first: a service ended first would reset the connections that they still hold.
phones_pid=
service_pid=
stop_demo() {
  if [ -n "$phones_pid" ]; then kill "$phones_pid" 2>/dev/null || true; wait "$phones_pid" 2>/dev/null || true; fi
  if [ -n "$service_pid" ]; then kill -KILL "$service_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
}
trap stop_demo EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

service_url="http://$address:$port/qax.xml"
ready="$demo_dir/phones.ready"
rm -f "$ready"
PYTHONPATH="$root/tests/e2e" python3 "$root/tools/demo_phones.py" "$ready" \
  "$phone_net.11=Reception" "$phone_net.12=Warehouse office" "$phone_net.13=Loading dock" &
phones_pid=$!
for _ in $(seq 100); do
  if [ -f "$ready" ] || ! kill -0 "$phones_pid" 2>/dev/null; then break; fi
  sleep 0.1
done
[ -f "$ready" ] || echo "The demo phones are not running: the pushes will find nobody." >&2

cat <<EOF

Demo configuration written: service on http://$address:$port, zones Lobby, Warehouse and
All Staff, phones at $phone_net.11 to $phone_net.13 (data file $demo_dir/CUCMdata.dat).

From another terminal, as the phone at $phone_net.11 (Reception) would:
  fetch the zone menu:
    curl --interface $phone_net.11 '$service_url'
  start a page to the zone Warehouse (the demo phones at $phone_net.12 and $phone_net.13):
    curl --interface $phone_net.11 '$service_url?action=broadcast_start&zone=Warehouse'
  and stop it:
    curl --interface $phone_net.11 '$service_url?action=broadcast_stop&zone=Warehouse'
Each push that a demo phone receives is printed here as "[demo phone ...] push: ...".

Starting QAXservice.exe -run; Ctrl-C ends it and the demo phones.

EOF
# In the background as well, so that the traps above run as soon as a signal comes.
wine "$build/bin/QAXservice.exe" -run &
service_pid=$!
wait "$service_pid"
