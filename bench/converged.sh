#!/usr/bin/env bash
# A decoder that already holds the configuration, a q5nsim process on its own
# pseudo-terminal at the real wire pace of 9600 baud, with the port's record
# of the last verified download in place:
#  - q5ntool apply against one q5ntool upload of the same decoder (goal <= 1.05x);
#  - the q5n_config module on one host (Ansible's local connection, the file
#    copied from the controller as the playbooks do) against an Ansible ping of
#    that host (goal <= 1.2x).
# Medians of 9 runs. Prints figures and ratios; never fails on a figure.
#   bench/converged.sh BUILD-DIRECTORY
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build directory}" && pwd)
tool=$build/tool/q5ntool
sim=$build/sim/q5nsim
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
"$sim" --link "$work/dec" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -e "$work/dec" ] && break; sleep 0.1; done
(cd "$work" && "$tool" new site.cfg && "$tool" set site.cfg cfg5.chkIsbn=on magcfg4.chkCfg45C=on >/dev/null)
"$tool" download "$work/site.cfg" --port "$work/dec" --verify >/dev/null

ratio() { echo "$1 / $2" | bc -l; }
ms() { # command... -> its wall time in milliseconds
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}
mid() { printf '%s\n' "$@" | sort -n | sed -n 5p; } # the median of nine
# The two commands of a figure take turns, so that a change of the machine's
# load meanwhile falls on both.
pair() { # "A" "B" (each a command line) -> "median-A median-B"
  local as=() bs=()
  for _ in 1 2 3 4 5 6 7 8 9; do
    as+=("$(eval "ms $1")")
    bs+=("$(eval "ms $2")")
  done
  echo "$(mid "${as[@]}") $(mid "${bs[@]}")"
}

"$tool" apply "$work/site.cfg" --port "$work/dec" | grep -q UNCHANGED || echo "the decoder did not converge" >&2
read -r same up < <(pair '"$tool" apply "$work/site.cfg" --port "$work/dec"' \
  '"$tool" upload -o "$work/up.cfg" --port "$work/dec"')
printf 'converged apply %d ms, one upload %d ms: %.2fx   goal <= 1.05x\n' "$same" "$up" "$(ratio "$same" "$up")"

if command -v ansible >/dev/null; then
  export ANSIBLE_COLLECTIONS_PATH=$here ANSIBLE_NOCOLOR=1 ANSIBLE_HOST_KEY_CHECKING=False
  printf '[decoders]\ntill-01 ansible_connection=local ansible_python_interpreter=%s\n' "$(command -v python3)" \
    >"$work/hosts"
  read -r module ping < <(pair \
    'ansible -i "$work/hosts" till-01 -m q5ncfg.fleet.q5n_config -a "src=$work/site.cfg ports=$work/dec q5ntool=$tool"' \
    'ansible -i "$work/hosts" till-01 -m ping')
  ansible -i "$work/hosts" till-01 -m q5ncfg.fleet.q5n_config -a "src=$work/site.cfg ports=$work/dec q5ntool=$tool" |
    grep -q '"changed": false' || echo "the module run was not converged" >&2
  printf 'converged module run on one host %d ms, an Ansible ping of it %d ms: %.2fx   goal <= 1.2x\n' \
    "$module" "$ping" "$(ratio "$module" "$ping")"
else
  echo "no ansible here: the module against ping not measured"
fi
