#!/usr/bin/env bash
# Builds the Debian package (build-pkg/), checks it with lintian (no error, no
# warning), installs it with apt on this machine and checks the installed
# programs and documentation: q5ntool --version, the keyboard-port helper
# (installed, no capability), its documentation in /usr/share/doc/q5ncfg,
# q5ntool show on a file, the desktop's type of a setup file, and q5ncfg
# opening that file on a virtual display.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/deps.sh"
"$here/scripts/build.sh" build-pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQ5N_TESTS=OFF -DQ5N_BENCH=OFF >/dev/null
(cd build-pkg && cpack -G DEB >/dev/null)
deb=$(ls -t build-pkg/q5ncfg_*.deb)
deb=${deb%%$'\n'*}
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/p'
# No error and no warning; an override would carry its reason beside it.
lintian --fail-on error,warning "$deb"
echo "lintian: no error, no warning"

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "$here/$deb" >/dev/null

/usr/bin/q5ntool --version
# The keyboard-port helper is installed, and the package grants it nothing.
helper=/usr/libexec/q5ncfg/q5nkbd
if [ ! -x "$helper" ]; then
  echo "the package does not install $helper" >&2
  exit 1
fi
if command -v getcap >/dev/null && [ -n "$(getcap "$helper")" ]; then
  echo "the package grants $helper a capability" >&2
  exit 1
fi
for doc in copyright changelog.gz README.md.gz fleet.md.gz fleet/q5n-config.yml fleet/q5n-setup.yml; do
  [ -f "/usr/share/doc/q5ncfg/$doc" ] || { echo "the package does not install /usr/share/doc/q5ncfg/$doc" >&2; exit 1; }
done
[ -f /usr/share/ansible/collections/ansible_collections/q5ncfg/fleet/plugins/modules/q5n_config.py ] ||
  { echo "the package does not install the Ansible collection q5ncfg.fleet" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"; kill "${app:-}" "${xvfb:-}" 2>/dev/null || true' EXIT
(cd "$work" && /usr/bin/q5ntool new new.cfg && /usr/bin/q5ntool show new.cfg >show.txt && head -3 show.txt)
ldd /usr/bin/q5ntool >"$work/ldd.txt"
if grep -q Widgets "$work/ldd.txt"; then
  echo "q5ntool links QtWidgets" >&2
  exit 1
fi

display=:$((80 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x900x24 -noreset >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
type=$(XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$work/new.cfg")
if [ "$type" != application/x-q5ncfg-setup ]; then
  echo "the desktop takes new.cfg for $type, not for a setup file" >&2
  exit 1
fi
(cd "$work" && exec /usr/bin/q5ncfg new.cfg) &
app=$!
if message=$(timeout 15 xdotool search --sync --name '^Configuration Setup$|^Q5N Configuration$' 2>/dev/null | head -1) &&
   [ -n "$message" ]; then
  xdotool windowfocus --sync "$message" key Return || true
fi
if ! timeout 20 xdotool search --sync --name "^Configuration Setup: $work/new.cfg\$" >/dev/null; then
  echo "the installed q5ncfg did not open the file named on its command line" >&2
  exit 1
fi
echo "installed q5ncfg opened the file named on its command line"
