#!/usr/bin/env bash
# Builds QAXservice and runs it in a console under Wine on a demo configuration that this
# script writes itself: the settings key, three zones, a selection list and a phone data
# file whose phones live on loopback addresses. Ctrl-C ends it.
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

cat <<EOF

Demo configuration written: service on http://$address:$port, zones Lobby, Warehouse and
All Staff, phones at $phone_net.11 to $phone_net.13 (data file $demo_dir/CUCMdata.dat).

Fetch the zone menu as the phone at $phone_net.12 would, from another terminal:
  curl --interface $phone_net.12 http://$address:$port/qax.xml

Starting QAXservice.exe -run; Ctrl-C ends it.

EOF
exec wine "$build/bin/QAXservice.exe" -run
