#!/usr/bin/env bash
# The Debian package as a user gets it. Checks the desktop entry and the AppStream metainfo,
# builds the package from a built tree (build/ unless another is given), installs it with
# apt-get, runs the installed quorvel-sim --help, and runs the installed console offscreen for a
# few seconds against the installed simulated meter, which must have answered its polls. The
# package is removed again afterwards unless it was installed before.
#
#   scripts/package_check.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

desktop-file-validate packaging/org.quorvel.Quorvel.desktop
appstreamcli validate --no-net packaging/org.quorvel.Quorvel.metainfo.xml

rm -f "$build"/quorvel_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/quorvel_*.deb)
echo "package: $deb, depends on: $(dpkg-deb --field "$deb" Depends)"

installed_before=0
dpkg -s quorvel >/dev/null 2>&1 && installed_before=1
work=$(mktemp -d)
sim=""
cleanup() {
  if [[ -n $sim ]] && kill -0 "$sim" 2>/dev/null; then
    kill -TERM "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  rm -rf "$work"
  if [ "$installed_before" -eq 0 ] && dpkg -s quorvel >/dev/null 2>&1; then
    $sudo apt-get remove -y quorvel >/dev/null
  fi
}
trap cleanup EXIT

(cd "$build" && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y ./quorvel_*.deb)
for program in quorvel quorvel-sim; do
  [[ $(command -v "$program") == /usr/bin/$program ]] || {
    echo "package: $program is not the installed /usr/bin/$program" >&2
    exit 1
  }
done

/usr/bin/quorvel-sim --help

# The installed console polls the installed simulated meter on COM1 of a private config folder.
export XDG_CONFIG_HOME=$work
/usr/bin/quorvel-sim --port COM1 --verbose >"$work/sim.out" 2>"$work/sim.log" &
sim=$!
for _ in $(seq 100); do [[ -L $work/quorvel/ports/COM1 ]] && break; sleep 0.1; done
QT_QPA_PLATFORM=offscreen /usr/bin/quorvel >"$work/console.log" 2>&1 &
console=$!
sleep 3
kill -TERM "$console"
status=0
wait "$console" || status=$?
replies=$(grep -c '\] tx ' "$work/sim.log" || true)
if [ "$status" -ne 0 ] || [ "$replies" -lt 2 ]; then
  cat "$work/console.log" "$work/sim.log" >&2
  echo "package: the installed console ended with $status after $replies replies" >&2
  exit 1
fi
echo "package: installed console polled the installed simulated meter, $replies replies in 3 s"
