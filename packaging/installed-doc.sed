# Turns README.md and docs/fleet.md into the documents the package installs in
# /usr/share/doc/q5ncfg: drops the passages that hold only in a checkout
# (between "<!-- checkout -->" and "<!-- /checkout -->" lines), shows those
# written for the installed package (between "<!-- installed" and
# "installed -->" lines), and names the fleet guide and its playbooks where
# the package puts them.
/^<!-- checkout -->$/,/^<!-- \/checkout -->$/d
/^<!-- installed$/d
/^installed -->$/d
s#\[docs/fleet\.md\](docs/fleet\.md)#`fleet.md.gz` beside this file#g
