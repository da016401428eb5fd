#!/usr/bin/env bash
# Builds the Debian package (build-pkg/), checks it with lintian (no error, no
# warning), and on this machine (as root) installs it with apt, reinstalls it,
# upgrades it to a second build with a higher version and purges it, checking
# each time the keyboard-line helper (root:q5nkbd, mode 0750, cap_sys_rawio;
# the system group q5nkbd and its members kept, removed on purge). Then, the
# package installed again: q5ntool --version, the installed documents as the
# installed package reads them, q5ntool show on a file, and a setup file opened
# with xdg-open as on a desktop that names no desktop environment: its type,
# and q5ncfg starting on it on a virtual display.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/deps.sh"
"$here/scripts/build.sh" build-pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQ5N_TESTS=OFF -DQ5N_BENCH=OFF >/dev/null
rm -f build-pkg/q5ncfg_*.deb
(cd build-pkg && cpack -G DEB >/dev/null)
deb=$(ls build-pkg/q5ncfg_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/p'
# No error and no warning; an override would carry its reason beside it.
lintian --fail-on error,warning "$deb"
echo "lintian: no error, no warning"

work=$(mktemp -d)
probe=q5nkbd-probe$$
cleanup() {
  [ -z "${opener:-}" ] || kill -- "-$opener" 2>/dev/null || true
  [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null || true
  ! getent passwd "$probe" >/dev/null || userdel "$probe" || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package: $*" >&2; exit 1; }

# The upgrade: the same build packaged again with a higher version.
version=$(dpkg-deb --field "$deb" Version)
(cd build-pkg && cpack -G DEB -R "$version+upgrade1" -B "$work/upgrade" >/dev/null)
upgrade=$(ls "$work"/upgrade/q5ncfg_*.deb)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
apt_get() { "${sudo[@]}" apt-get -y -qq --no-install-recommends "$@" >/dev/null; }

helper=/usr/libexec/q5ncfg/q5nkbd
# The helper belongs to root and the group q5nkbd, only they may run it, and it
# holds cap_sys_rawio; the group is a system group.
check_helper() { # when
  [ -f "$helper" ] || fail "$1: the package does not install $helper"
  [ "$(stat -c '%U:%G %a' "$helper")" = "root:q5nkbd 750" ] ||
    fail "$1: $helper is $(stat -c '%U:%G %a' "$helper"), not root:q5nkbd 750"
  getcap "$helper" | grep -q "cap_sys_rawio=ep\$" || fail "$1: $helper lacks cap_sys_rawio ($(getcap "$helper"))"
  local gid
  gid=$(getent group q5nkbd | cut -d: -f3)
  [ -n "$gid" ] && [ "$gid" -lt 1000 ] || fail "$1: q5nkbd is not a system group ($(getent group q5nkbd))"
  if su -s /bin/sh nobody -c "test -x $helper"; then fail "$1: a user outside q5nkbd may run $helper"; fi
}

apt_get install "$here/$deb"
check_helper install
gid=$(getent group q5nkbd | cut -d: -f3)
# A member, as an administrator adds one: kept by a reinstall and an upgrade.
"${sudo[@]}" useradd --system --no-create-home --shell /usr/sbin/nologin --groups q5nkbd "$probe"
su -s /bin/sh "$probe" -c "test -x $helper" || fail "a member of q5nkbd may not run $helper"

apt_get install --reinstall "$here/$deb"
check_helper reinstall
apt_get install "$upgrade"
[ "$(dpkg-query -W -f '${Version}' q5ncfg)" = "$version+upgrade1" ] || fail "the upgrade was not installed"
check_helper upgrade
[ "$(getent group q5nkbd | cut -d: -f3)" = "$gid" ] || fail "the upgrade made the group q5nkbd anew"
id -nG "$probe" | grep -qw q5nkbd || fail "the upgrade dropped a member of q5nkbd"
echo "helper: root:q5nkbd 750 with cap_sys_rawio after install, reinstall and upgrade; group and member kept"

apt_get purge q5ncfg
[ ! -e "$helper" ] || fail "purge left $helper"
if getent group q5nkbd >/dev/null; then fail "purge left the group q5nkbd"; fi
echo "purge: the helper and the group q5nkbd are gone"
"${sudo[@]}" userdel "$probe"

apt_get install "$here/$deb"
check_helper "install after purge"
/usr/bin/q5ntool --version

# The installed documents as the installed package reads them.
doc=/usr/share/doc/q5ncfg
for file in copyright changelog.gz README.md.gz fleet.md.gz fleet/q5n-config.yml fleet/q5n-setup.yml; do
  [ -f "$doc/$file" ] || fail "the package does not install $doc/$file"
done
grep -q "^License: GPL-3+" "$doc/copyright" || fail "the copyright file does not name GPL-3+"
for text in README.md fleet.md; do
  zcat "$doc/$text.gz" >"$work/$text"
  # No command of a checkout, no passage marked for one, no placeholder path.
  if grep -nE 'build/|build-pkg|scripts/|docs/|/path/to|<!--|-->' "$work/$text"; then
    fail "the installed $text speaks of a checkout"
  fi
  # Every link is a web address or a file beside it.
  { grep -oE '\]\([^)]*\)' "$work/$text" || true; } | sed 's/^](//; s/)$//' | while read -r target; do
    case $target in http://* | https://* | '#'*) ;; *) [ -e "$doc/$target" ] || fail "$text links $target" ;; esac
  done
done
grep -q "$doc/fleet/q5n-config.yml" "$work/fleet.md" && grep -q "$doc/fleet/q5n-setup.yml" "$work/fleet.md" ||
  fail "the installed fleet.md does not say where the playbooks are"
# q5nsim(1) describes every option that q5nsim --help lists.
man=$(zcat /usr/share/man/man1/q5nsim.1.gz | sed 's/\\-/-/g')
for option in $(/usr/bin/q5nsim --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+'); do
  grep -q -- "$option" <<<"$man" || fail "q5nsim(1) does not describe $option"
done
echo "documents: README.md and fleet.md name installed commands and places; q5nsim(1) lists every option"

(cd "$work" && /usr/bin/q5ntool new new.cfg && /usr/bin/q5ntool show new.cfg >show.txt && head -3 show.txt)
ldd /usr/bin/q5ntool >"$work/ldd.txt"
if grep -q Widgets "$work/ldd.txt"; then
  fail "q5ntool links QtWidgets"
fi

# A setup file opened as a file manager opens it where no desktop environment
# is named: xdg-utils then takes its generic path.
nodesktop=(env -u XDG_CURRENT_DESKTOP -u XDG_SESSION_DESKTOP -u DESKTOP_SESSION -u GDMSESSION
  -u KDE_FULL_SESSION -u KDE_SESSION_VERSION -u GNOME_DESKTOP_SESSION_ID -u MATE_DESKTOP_SESSION_ID)
display=:$((80 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x900x24 -noreset >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
type=$("${nodesktop[@]}" xdg-mime query filetype "$work/new.cfg")
[ "$type" = application/x-q5ncfg-setup ] || fail "xdg-mime takes new.cfg for $type, not for a setup file"
default=$("${nodesktop[@]}" xdg-mime query default application/x-q5ncfg-setup)
[ "$default" = q5ncfg.desktop ] || fail "xdg-mime opens setup files with '$default', not q5ncfg.desktop"
# Its own session, so that the program it starts ends with it.
(cd "$work" && exec setsid "${nodesktop[@]}" xdg-open "$work/new.cfg") &
opener=$!
if message=$(timeout 15 xdotool search --sync --name '^Configuration Setup$|^Q5N Configuration$' 2>/dev/null | head -1) &&
   [ -n "$message" ]; then
  xdotool windowfocus --sync "$message" key Return || true
fi
if ! timeout 20 xdotool search --sync --name "^Configuration Setup: $work/new.cfg\$" >/dev/null; then
  fail "xdg-open did not start the installed q5ncfg on new.cfg"
fi
echo "xdg-open: new.cfg is $type and opened in the installed q5ncfg, no desktop environment named"
