#!/usr/bin/env bash
# Checks the q5ncfg.fleet collection's modules with Ansible's own module
# checker, validate-modules (the check that `ansible-test sanity` runs: the
# documentation against the declared arguments, the author form, the licence
# header), offline, from the collection's folder. Installs ansible-core and
# the checker's one extra library when they are missing. Any error fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
checker=/usr/lib/python3/dist-packages/ansible_test/_util/controller/sanity/validate-modules
# Debian's Python, which has Debian's ansible packages (not a python3 earlier on PATH).
python=/usr/bin/python3
if [ ! -f "$checker/validate.py" ] || ! "$python" -c 'import voluptuous' 2>/dev/null; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends ansible-core python3-voluptuous >/dev/null
fi
collection=ansible_collections/q5ncfg/fleet
version=$(sed -n 's/^version: *//p' "$here/$collection/galaxy.yml")
cd "$here/$collection"
# --arg: the checker's analysis of each module's declared arguments (its one
# option that starts so; the checker takes a unique beginning of an option).
ANSIBLE_COLLECTIONS_PATH=$here PYTHONPATH=$checker "$python" "$checker/validate.py" --arg \
  --collection "$collection" --collection-version "$version" plugins/modules
echo "validate-modules: no error in $collection/plugins/modules"
