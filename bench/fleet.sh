#!/usr/bin/env bash
# Fleet benchmark, each decoder a q5nsim process on its own pseudo-terminal at
# the real wire pace of 9600 baud.
#  - download --verify to 1, 4 and 16 decoders at once: wall time against one
#    decoder's and the CPU q5ntool used. Goals: 16 decoders within 1.2x one
#    decoder's time; CPU under 5 % of a core.
#  - apply to 64 decoders that already hold the file: goal within 1.2x one
#    decoder's upload; with one setting changed on all of them: within 1.2x one
#    decoder's download with verification.
#   bench/fleet.sh BUILD-DIRECTORY
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
tool=$build/tool/q5ntool
sim=$build/sim/q5nsim
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state # the ports' records of this run only
for i in $(seq 64); do
  "$sim" --link "$work/dec$i" 2>/dev/null >/dev/null &
done
for _ in $(seq 200); do [ -e "$work/dec64" ] && break; sleep 0.05; done
(cd "$work" && "$tool" new site.cfg && "$tool" set site.cfg cfg5.chkIsbn=on -o other.cfg >/dev/null)

ports() { for i in $(seq "$1"); do printf -- '--port\n%s\n' "$work/dec$i"; done; }
median() { # command... -> "wall cpu" in seconds, median of 5 runs
  local runs=()
  for _ in 1 2 3 4 5; do
    runs+=("$( { /usr/bin/time -f '%e %U %S' "$@" >/dev/null; } 2>&1 | tail -1 | awk '{print $1, $2 + $3}')")
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p
}
ratio() { echo "$1 / $2" | bc -l; }

mapfile -t one < <(ports 1)
read -r one_wall one_cpu < <(median "$tool" download "$work/site.cfg" "${one[@]}" --verify)
printf '  1 decoder:   download --verify wall %.3f s, CPU %.3f s\n' "$one_wall" "$one_cpu"
for n in 4 16; do
  mapfile -t many < <(ports "$n")
  read -r wall cpu < <(median "$tool" download "$work/site.cfg" "${many[@]}" --verify)
  printf '%3d decoders: wall %.3f s (%.2fx one decoder, goal < 1.2x), CPU %.3f s = %.1f %% of a core (goal < 5 %%)\n' \
    "$n" "$wall" "$(ratio "$wall" "$one_wall")" "$cpu" "$(echo "100 * $cpu / $wall" | bc -l)"
done

# apply: every decoder holds site.cfg now, and each port's record says so (the
# downloads above went to 1..16; one verified download brings the others there).
mapfile -t all < <(ports 64)
"$tool" download "$work/site.cfg" "${all[@]}" --verify >/dev/null
read -r up_wall _ < <(median "$tool" upload -o "$work/up.cfg" "${one[@]}")
read -r same_wall _ < <(median "$tool" apply "$work/site.cfg" "${all[@]}")
printf ' 64 decoders, nothing differs: apply %.3f s, one upload %.3f s (%.2fx, goal <= 1.2x)\n' \
  "$same_wall" "$up_wall" "$(ratio "$same_wall" "$up_wall")"
# One setting changed on all: each run brings all 64 to the other file.
runs=()
for k in 1 2 3 4 5; do
  file=$work/other.cfg
  [ $((k % 2)) -eq 0 ] && file=$work/site.cfg
  runs+=("$( { /usr/bin/time -f '%e' "$tool" apply "$file" "${all[@]}" >/dev/null; } 2>&1 | tail -1)")
done
changed_wall=$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p)
printf ' 64 decoders, one setting differs: apply %.3f s, one download --verify %.3f s (%.2fx, goal <= 1.2x)\n' \
  "$changed_wall" "$one_wall" "$(ratio "$changed_wall" "$one_wall")"
