#!/usr/bin/env bash
# Fleet benchmark: q5ntool download --verify to 1, 4 and 16 simulated decoders
# at once (each a q5nsim process on its own pseudo-terminal, at the real wire
# pace of 9600 baud). Prints the wall time against one decoder's and the CPU
# q5ntool used. Goals: 16 decoders within 1.2x one decoder's time; CPU under 5 %
# of a core.
#   bench/fleet.sh BUILD-DIRECTORY
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
tool=$build/tool/q5ntool
sim=$build/sim/q5nsim
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
for i in $(seq 16); do
  "$sim" --link "$work/dec$i" 2>/dev/null >/dev/null &
done
for _ in $(seq 100); do [ -e "$work/dec16" ] && break; sleep 0.05; done
(cd "$work" && "$tool" new site.cfg)

measure() { # n -> "wall cpu" in seconds, median of 5 runs
  local n=$1 args=() runs=()
  for i in $(seq "$n"); do args+=(--port "$work/dec$i"); done
  for _ in 1 2 3 4 5; do
    runs+=("$( { /usr/bin/time -f '%e %U %S' "$tool" download "$work/site.cfg" "${args[@]}" --verify >/dev/null; } 2>&1 |
              awk '{print $1, $2 + $3}')")
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p
}
read -r one_wall one_cpu < <(measure 1)
printf '  1 decoder:   wall %.3f s, CPU %.3f s\n' "$one_wall" "$one_cpu"
for n in 4 16; do
  read -r wall cpu < <(measure "$n")
  printf '%3d decoders: wall %.3f s (%.2fx one decoder, goal < 1.2x), CPU %.3f s = %.1f %% of a core (goal < 5 %%)\n' \
    "$n" "$wall" "$(echo "$wall / $one_wall" | bc -l)" "$cpu" "$(echo "100 * $cpu / $wall" | bc -l)"
done
