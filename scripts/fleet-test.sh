#!/usr/bin/env bash
# Runs the fleet playbook of docs/fleet.md against this machine (ansible -c local)
# with two simulated decoders on pseudo-terminals, one of them silent, and
# checks what it reports. Uses the installed q5ntool and q5nsim when present
# (after scripts/package.sh), else the build tree's.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
if ! command -v ansible-playbook >/dev/null; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends ansible-core >/dev/null
fi
# The playbook shown in docs/fleet.md is the one tested here.
python3 - <<'PY'
doc = open("docs/fleet.md").read()
play = open("docs/fleet/q5n-download.yml").read()
assert play in doc, "docs/fleet.md does not show docs/fleet/q5n-download.yml as it is"
PY
tool=${Q5NTOOL:-$(command -v q5ntool || echo "$here/build/tool/q5ntool")}
sim=${Q5NSIM:-$(command -v q5nsim || echo "$here/build/sim/q5nsim")}

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
"$sim" --link "$work/dec1" 2>"$work/dec1.log" &
"$sim" --link "$work/dec2" --fault silent 2>"$work/dec2.log" &
for _ in $(seq 50); do [ -e "$work/dec1" ] && [ -e "$work/dec2" ] && break; sleep 0.1; done
(cd "$work" && "$tool" new site.cfg)

run() {
  ansible-playbook -i localhost, -c local docs/fleet/q5n-download.yml \
    -e target=localhost -e "config=$work/site.cfg" -e "q5ntool=$tool" -e "q5n_dir=$work/host" \
    -e "{\"q5n_ports\": $1}" >"$work/play.log" 2>&1
}
mkdir -p "$work/host"
run "[\"$work/dec1\"]" || { cat "$work/play.log"; echo "fleet: the playbook failed on a good decoder" >&2; exit 1; }
grep -q "OK, verified" "$work/play.log"
if run "[\"$work/dec1\", \"$work/dec2\"]"; then
  cat "$work/play.log"; echo "fleet: a silent decoder was not reported" >&2; exit 1
fi
grep -q "time-out: no answer" "$work/play.log" && grep -q "q5ntool exit 4" "$work/play.log"
grep -q "OK, verified" "$work/play.log"
echo "fleet: the playbook configured a good decoder and reported the silent one"
