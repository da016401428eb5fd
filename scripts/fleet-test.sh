#!/usr/bin/env bash
# Runs the download playbook of docs/fleet.md as written: an inventory of two
# hosts on a local connection, each with its own simulated decoder on its own
# pseudo-terminal (then one of them silent), run from the folder that holds the
# configuration with its relative name; checks what it reports. Uses the installed q5ntool and q5nsim when present
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
# The playbooks shown in docs/fleet.md are the ones tested here.
python3 - <<'PY'
doc = open("docs/fleet.md").read()
for name in ("q5n-download.yml", "q5n-setup.yml"):
    assert open("docs/fleet/" + name).read() in doc, "docs/fleet.md does not show docs/fleet/%s as it is" % name
PY
ansible-playbook --syntax-check -i localhost, docs/fleet/q5n-setup.yml >/dev/null
tool=${Q5NTOOL:-$(command -v q5ntool || echo "$here/build/tool/q5ntool")}
sim=${Q5NSIM:-$(command -v q5nsim || echo "$here/build/sim/q5nsim")}

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
"$sim" --link "$work/dec1" 2>"$work/dec1.log" &
"$sim" --link "$work/dec2" --fault silent 2>"$work/dec2.log" &
"$sim" --link "$work/dec3" 2>"$work/dec3.log" &
for _ in $(seq 50); do [ -e "$work/dec1" ] && [ -e "$work/dec2" ] && [ -e "$work/dec3" ] && break; sleep 0.1; done
(cd "$work" && "$tool" new site.cfg)

# Two hosts, each with its own decoder on its own port, as docs/fleet.md
# writes an inventory; both reach this machine over a local connection.
inventory() {
  printf '[decoders]\n'
  printf 'till-01 ansible_connection=local q5n_ports=%s\n' "'[\"$work/dec1\"]'"
  printf 'till-02 ansible_connection=local q5n_ports=%s\n' "'[\"$2\"]'"
  printf '[decoders:vars]\nq5ntool=%s\nansible_python_interpreter=%s\n' "$tool" "$(command -v python3)"
}
run() {
  inventory "$work/dec1" "$1" >"$work/hosts"
  # From the folder that holds the configuration, with its relative name.
  (cd "$work" && ansible-playbook -i hosts "$here/docs/fleet/q5n-download.yml" -e config=site.cfg) \
    >"$work/play.log" 2>&1
}
# The second host's decoder: first another good one, then the silent one.
run "$work/dec3" || { cat "$work/play.log"; echo "fleet: the playbook failed on good decoders" >&2; exit 1; }
[ "$(grep -c "OK, verified" "$work/play.log")" -eq 2 ] || { cat "$work/play.log"; exit 1; }
if run "$work/dec2"; then
  cat "$work/play.log"; echo "fleet: a silent decoder was not reported" >&2; exit 1
fi
grep -q "dec2: time-out: no answer" "$work/play.log" && grep -q "q5ntool exit 4" "$work/play.log" ||
  { cat "$work/play.log"; exit 1; }
grep -q "dec1: OK, verified" "$work/play.log" || { cat "$work/play.log"; exit 1; }
# Every host removed its work folder.
if ls "${TMPDIR:-/tmp}" | grep -q '^q5ncfg\.'; then
  ls -la "${TMPDIR:-/tmp}"/q5ncfg.* >&2; echo "fleet: a work folder was left behind" >&2; exit 1
fi
echo "fleet: two inventory hosts configured their decoders and reported the silent one"
