#!/usr/bin/env bash
# Runs the configuration playbook of docs/fleet.md as written, with the
# q5ncfg.fleet collection of this tree: an inventory of two hosts on a local
# connection, each with its own simulated decoder on its own pseudo-terminal,
# run from the folder that holds the configuration with its relative name.
# Checks that a first run changes both decoders, a second changes nothing and
# downloads nothing, --check --diff shows the differing settings and downloads
# nothing, a change of reader settings only (which no decoder sends) is shown
# by the record and converges in two runs, force=true downloads, csv= writes
# the inventory, a silent decoder fails only its host (changed and failed where
# another decoder of it took the change), a configuration that changes the
# decoders' line to 19200 finds each where it answers (one simulator takes the
# new line, --adopt-settings, one keeps its own) and the next run reaches
# both, Even parity fails its host before any byte is sent, and a missing
# configuration is named. Runs the setup playbook under --check and with a user the host does
# not have. Also runs the module's unit tests. Uses the installed q5ntool and q5nsim when present (after
# scripts/package.sh), else the build tree's.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
if ! command -v ansible-playbook >/dev/null; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends ansible-core >/dev/null
fi
export ANSIBLE_COLLECTIONS_PATH=$here ANSIBLE_NOCOLOR=1
python3 -m unittest discover -s tests/fleet -p 'test_*.py' -q
# The playbook shown in docs/fleet.md is the one tested here; ansible-doc shows the module.
python3 - <<'PY'
doc = open("docs/fleet.md").read()
for name in ("q5n-config.yml", "q5n-setup.yml"):
    assert open("docs/fleet/" + name).read() in doc, "docs/fleet.md does not show docs/fleet/%s as it is" % name
PY
ansible-playbook --syntax-check -i localhost, docs/fleet/q5n-setup.yml >/dev/null
ansible-doc q5ncfg.fleet.q5n_config | grep -q "RETURN VALUES"
tool=${Q5NTOOL:-$(command -v q5ntool || echo "$here/build/tool/q5ntool")}
sim=${Q5NSIM:-$(command -v q5nsim || echo "$here/build/sim/q5nsim")}

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
# The ports' records of this run only (the module's default state folder).
export XDG_STATE_HOME=$work/state
"$sim" --link "$work/dec1" 2>"$work/dec1.log" &
"$sim" --link "$work/dec2" --fault silent 2>"$work/dec2.log" &
"$sim" --link "$work/dec3" 2>"$work/dec3.log" &
for _ in $(seq 50); do [ -e "$work/dec1" ] && [ -e "$work/dec2" ] && [ -e "$work/dec3" ] && break; sleep 0.1; done
(cd "$work" && "$tool" new site.cfg && "$tool" set site.cfg cfg5.chkIsbn=on >/dev/null)

# Two hosts, each with its own decoder on its own port, as docs/fleet.md
# writes an inventory; both reach this machine over a local connection.
inventory() {
  printf '[decoders]\n'
  printf 'till-01 ansible_connection=local q5n_ports=%s\n' "'[\"$work/dec1\"]'"
  printf 'till-02 ansible_connection=local q5n_ports=%s\n' "'[$1]'"
  printf '[decoders:vars]\nq5ntool=%s\nansible_python_interpreter=%s\n' "$tool" "$(command -v python3)"
}
run() { # second host's decoders (quoted, comma-separated), then ansible-playbook options
  inventory "$1" >"$work/hosts"
  shift
  # From the folder that holds the configuration, with its relative name.
  (cd "$work" && ansible-playbook -i hosts "$here/docs/fleet/q5n-config.yml" -e config=site.cfg "$@") \
    >"$work/play.log" 2>&1
}
fail() { cat "$work/play.log"; echo "fleet: $1" >&2; exit 1; }
downloads() { cat "$work"/dec*.log | grep -c "received download" || true; }
recap() { grep -Eq "^$1 +: ok=[0-9]+ +changed=$2 .* failed=$3 " "$work/play.log"; }

run "\"$work/dec3\"" || fail "the first run failed on good decoders"
recap till-01 1 0 && recap till-02 1 0 || fail "the first run did not change both decoders"
[ "$(downloads)" -eq 2 ] || fail "the first run did not download once to each decoder"
grep -q "dec1: changed, 1 setting(s) changed and verified (decoder section compared on the decoder, reader section unknown: no record of a verified download to this port)" "$work/play.log" || fail "no report"

run "\"$work/dec3\"" || fail "the second run failed"
recap till-01 0 0 && recap till-02 0 0 || fail "the second run changed something"
[ "$(downloads)" -eq 2 ] || fail "the second run downloaded"

(cd "$work" && "$tool" set site.cfg cfg5.chkUpcAEan13=on >/dev/null)
run "\"$work/dec3\"" --check --diff || fail "the check run failed"
recap till-01 1 0 && recap till-02 1 0 || fail "the check run did not say what would change"
grep -q -- "-Bar Codes and Others (cfg5) › UPC/EAN/JAN › Reading Type › UPC-A=EAN-13 (cfg5.chkUpcAEan13): clear" "$work/play.log" &&
  grep -q -- "+Bar Codes and Others (cfg5) › UPC/EAN/JAN › Reading Type › UPC-A=EAN-13 (cfg5.chkUpcAEan13): checked" "$work/play.log" &&
  grep -q -- "+++ after: $work/dec1 (the file)" "$work/play.log" ||
  fail "the check run did not show the differing setting"
[ "$(downloads)" -eq 2 ] || fail "the check run downloaded"

# till-02: its first decoder takes the change, its second is silent.
if run "\"$work/dec3\", \"$work/dec2\""; then fail "a silent decoder was not reported"; fi
recap till-01 1 0 || fail "the silent decoder of another host failed till-01"
recap till-02 1 1 || fail "a host with a changed and a silent decoder was not reported changed and failed"
grep -q "dec2: time-out: no answer (exit 4)" "$work/play.log" || fail "the silent decoder's reason is missing"
grep -q "dec3: changed, 1 setting(s) changed and verified" "$work/play.log" || fail "the changed decoder beside it is not reported"

# A change of reader settings only: no decoder sends that section, so the
# record of the last verified download shows it; changed, then ok.
(cd "$work" && "$tool" set site.cfg magcfg4.chkCfg45C=on >/dev/null)
run "\"$work/dec3\"" --check --diff || fail "the reader-only check run failed"
recap till-01 1 0 && recap till-02 1 0 || fail "the reader-only check run did not say what would change"
grep -q -- "--- before: $work/dec1 (the decoder, decoder section; the record, reader section)" "$work/play.log" &&
  grep -q -- "-Communication Parameters (magcfg4) › Magnetic Reader › Track 2 Account Number Only ON (magcfg4.chkCfg45C): clear" "$work/play.log" ||
  fail "the reader-only check run did not show the reader setting by the record"
[ "$(downloads)" -eq 4 ] || fail "the reader-only check run downloaded"
run "\"$work/dec3\"" || fail "the reader-only run failed"
recap till-01 1 0 && recap till-02 1 0 || fail "the reader-only change was not downloaded"
grep -q "dec1: changed, 1 setting(s) changed and verified (decoder section compared on the decoder, reader section compared with the record of the last verified download)" "$work/play.log" ||
  fail "the reader-only change was not reported by the record"
[ "$(downloads)" -eq 6 ] || fail "the reader-only run did not download once to each decoder"
run "\"$work/dec3\"" -e csv=decoders.csv || fail "the run after the reader-only change failed"
recap till-01 0 0 && recap till-02 0 0 || fail "the reader-only change did not converge"
[ "$(downloads)" -eq 6 ] || fail "the run after the reader-only change downloaded"
# The inventory: one line per decoder of every host.
printf '%s\n' 'host,port,device,result,answered_at,firmware,compared_on_device,compared_with_record' \
  "\"till-01\",\"$work/dec1\",\"$work/dec1\",\"unchanged\",\"9600,N,8,1\",\"Q5N Decoder  Ver 3.05  \",\"decoder\",\"reader\"" \
  "\"till-02\",\"$work/dec3\",\"$work/dec3\",\"unchanged\",\"9600,N,8,1\",\"Q5N Decoder  Ver 3.05  \",\"decoder\",\"reader\"" |
  diff - "$work/decoders.csv" || fail "the inventory is not as the decoders answered"
run "\"$work/dec3\"" -e force=true || fail "the forced run failed"
recap till-01 1 0 && recap till-02 1 0 && [ "$(downloads)" -eq 8 ] || fail "force=true did not download"
# A configuration that changes the decoders' own line to 19200: till-01's
# decoder takes it at once (--adopt-settings), till-02's keeps 9600. The
# first run says where each answers and keeps till-01's new line beside the
# inventory; the next run reaches both, changes nothing and downloads nothing.
# Even parity fails its host before any byte goes out.
"$sim" --link "$work/dec4" --adopt-settings 2>"$work/dec4.log" &
"$sim" --link "$work/dec5" 2>"$work/dec5.log" &
for _ in $(seq 50); do [ -e "$work/dec4" ] && [ -e "$work/dec5" ] && break; sleep 0.1; done
(cd "$work" && "$tool" set site.cfg cfg4.optCfg41A=19200 -o site-19200.cfg >/dev/null)
mkdir "$work/rate"
rate_run() { # till-01's extra inventory variables, then ansible-playbook options
  {
    printf '[decoders]\n'
    printf 'till-01 ansible_connection=local q5n_ports=%s %s\n' "'[\"$work/dec4\"]'" "$1"
    printf 'till-02 ansible_connection=local q5n_ports=%s\n' "'[\"$work/dec5\"]'"
    printf '[decoders:vars]\nq5ntool=%s\nansible_python_interpreter=%s\n' "$tool" "$(command -v python3)"
  } >"$work/rate/hosts"
  shift
  (cd "$work" && ansible-playbook -i rate/hosts "$here/docs/fleet/q5n-config.yml" -e config=site-19200.cfg "$@") \
    >"$work/play.log" 2>&1
}
rate_downloads() { cat "$work"/dec4.log "$work"/dec5.log | grep -c "received download" || true; }
rate_run "" || fail "the rate change failed"
recap till-01 3 0 && recap till-02 1 0 || fail "the rate change did not change both decoders and keep till-01's line"
grep -q "dec4: changed, [0-9]* setting(s) changed and verified (.*); no answer at 9600,N,8,1 after the download; now answers at 19200,N,8,1: update the inventory" "$work/play.log" ||
  fail "the decoder that took the new line was not reported at it"
grep -q "dec5: changed, [0-9]* setting(s) changed and verified (.*); still answers at 9600,N,8,1, not at the file's 19200,N,8,1" "$work/play.log" ||
  fail "the decoder that kept its line was not reported at it"
grep -qx 'q5n_baud: 19200' "$work/rate/host_vars/till-01/q5n-line.yml" && [ ! -e "$work/rate/host_vars/till-02" ] ||
  fail "the new line was not kept for till-01 alone"
python3 - "$work/rate/host_vars/till-01/q5n-line.yml" <<'PY' || fail "docs/fleet.md does not show the kept line as written"
import sys
assert "```yaml\n" + open(sys.argv[1]).read() + "```" in open("docs/fleet.md").read()
PY
rate_run "" || fail "the run after the rate change failed"
recap till-01 0 0 && recap till-02 0 0 || fail "the run after the rate change changed something"
[ "$(rate_downloads)" -eq 2 ] || fail "the run after the rate change downloaded"
received=$(cat "$work/dec4.log" "$work/dec5.log" | grep -c "received" || true)
if rate_run "" -e q5n_parity=E; then fail "Even parity was accepted"; fi
recap till-01 0 1 && recap till-02 0 1 || fail "Even parity did not fail its hosts"
grep -q "parity E: the decoder cannot answer with Even parity, and the module needs its answer to compare; use parity N (None)" "$work/play.log" ||
  fail "Even parity was refused without its reason"
[ "$(cat "$work/dec4.log" "$work/dec5.log" | grep -c "received")" -eq "$received" ] || fail "Even parity sent bytes to a decoder"

# A configuration that is not there: said as such, without Ansible's hint at
# an option (remote_src) that the module does not have.
if run "\"$work/dec3\"" -e config=missing.cfg; then fail "a missing configuration was not reported"; fi
grep -q "src $work/missing.cfg: no such configuration file on the controller" "$work/play.log" &&
  ! grep -q remote_src "$work/play.log" || fail "the missing configuration was not reported as such"
# The setup playbook as docs/fleet.md runs it, from the folder that holds the
# package (after scripts/package.sh): --check changes nothing and runs to its
# end; a user the host does not have fails the host with a message, and is
# never created. As root su becomes root without a password (no sudo needed).
deb=$(ls -t "$here"/build-pkg/q5ncfg_*.deb 2>/dev/null | head -1 || true)
if [ -n "$deb" ]; then
  setup() {
    (cd "$(dirname "$deb")" && ansible-playbook -i localhost, -c local --become-method=su -e target=localhost \
      "$here/docs/fleet/q5n-setup.yml" -e "deb=$(basename "$deb")" "$@") >"$work/play.log" 2>&1
  }
  setup -e q5n_user=nobody --check || fail "q5n-setup.yml --check failed"
  grep -Eq "^localhost +: ok=[0-9]+ +changed=[0-9]+ .* failed=0 " "$work/play.log" || fail "q5n-setup.yml --check failed"
  if setup -e q5n_user=q5n-no-such-user; then fail "q5n-setup.yml took a user that does not exist"; fi
  grep -q "the user q5n-no-such-user does not exist on localhost" "$work/play.log" || fail "no message for the user"
  if getent passwd q5n-no-such-user >/dev/null; then fail "q5n-setup.yml created the user"; fi
  echo "fleet: q5n-setup.yml --check ran through; a user the host does not have failed the host"
else
  echo "fleet: no package in build-pkg/ (scripts/package.sh builds it): q5n-setup.yml not run"
fi

# The configuration was copied for the run only.
if find "$HOME/.ansible/tmp" -name q5n-config.cfg 2>/dev/null | grep -q .; then
  fail "a copy of the configuration was left behind"
fi
echo "fleet: changed, then ok without a download, --check --diff showed the setting, a silent decoder failed its host,"
echo "fleet: a reader-only change shown by the record converged in two runs, force=true downloaded, the inventory CSV was written"
echo "fleet: a rate change found each decoder where it answers and kept the new line; Even parity refused unsent"
