#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: (c) 2026, q5ncfg developers
# GNU General Public License v3.0+ (see LICENSE or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: q5n_config
short_description: Bring Q5N decoders to a configuration file
version_added: "1.0.0"
description:
  - Brings the Q5N bar-code decoders on the serial ports of a host to the settings of a configuration
    file (a setup file C(*.cfg) or a defaults file), with C(q5ntool apply).
  - For each port it uploads the section the decoder sends (decoder or reader settings) and compares it
    with the file setting by setting; the other section, which a decoder never sends, is compared with
    the port's record of the last verified download there (kept on the host, see O(state_dir)). Only
    where a section differs, or is unknown (no record yet, or a decoder that was changed or replaced
    since), it downloads the file, verifies it and records it. A decoder that holds the file's settings
    by both comparisons receives nothing but the upload request.
  - Each port's result says which section was compared on the decoder and which with the record, or
    why a section is unknown; it also carries the settings the decoder answered at and its firmware
    version text, for an inventory.
  - All ports of a host run at once. The host fails when any of its decoders failed; the message names
    each failed port with the reason (port not available, time-out, refused, verification mismatch).
  - The user the task runs as must be allowed to open the serial ports (usually the group C(dialout));
    C(q5ntool ports) says which group to join. No C(become) is needed.
options:
  src:
    description:
      - The configuration file on the controller. It is copied into Ansible's private temporary
        folder on the host for this run only, and removed afterwards.
      - A relative path is looked up as Ansible looks up the files of a task (the playbook's
        C(files/) folder and the playbook's folder).
      - Give O(src) or O(path), not both.
    type: path
  path:
    description:
      - The configuration file, already on the managed host.
    type: path
  ports:
    description:
      - The decoders' serial ports on the host, each a device path (best a stable
        C(/dev/serial/by-id/...) name) or C(com1)..C(com6) as the desktop program resolves them.
    type: list
    elements: str
    required: true
  baud:
    description: The serial speed the decoders use.
    type: int
    choices: [1200, 2400, 4800, 9600, 19200]
    default: 9600
  parity:
    description:
      - The parity the decoders use (None, Even, Odd, Mark, Space).
      - With Even or Odd parity a decoder cannot answer, and the module needs its answer to compare; the
        task fails before any port is opened.
    type: str
    choices: [N, E, O, M, S]
    default: N
  data_bits:
    description: The data bits the decoders use.
    type: int
    choices: [7, 8]
    default: 8
  stop_bits:
    description: The stop bits the decoders use.
    type: int
    choices: [1, 2]
    default: 1
  force:
    description:
      - Download and verify the file on every port whatever the comparisons find (a decoder that was
        changed by other means than this module or q5ntool, in the section it does not send).
    type: bool
    default: false
  state_dir:
    description:
      - The folder on the host of the ports' records of the last verified download, made (private) when
        missing. The default is the connecting user's state folder,
        C($XDG_STATE_HOME/q5ncfg), else C(~/.local/state/q5ncfg), which C(q5ntool apply) uses too.
      - Records are read only when they are the connecting user's own files that nobody else may
        write; any other makes the port's other section unknown, so a shared folder cannot make a
        decoder skip a download.
    type: path
  not_save:
    description:
      - Download with the Not Save command, so a decoder uses the settings until it is switched off
        but does not store them. Such a download is not recorded, so the next run downloads again.
    type: bool
    default: false
  q5ntool:
    description:
      - The C(q5ntool) program on the host, a name looked up on the host's C(PATH) or a path.
      - Without it on the host the task fails and says to install the package C(q5ncfg) there.
    type: path
    default: q5ntool
attributes:
  check_mode:
    support: full
    description: Uploads and compares only; reports what would change and sends no download.
  diff_mode:
    support: full
    description: Shows, per port, the differing settings before (decoder) and after (file).
notes:
  - Requires q5ntool on the managed host (package q5ncfg).
  - Only RS232 decoders can be reached; keyboard-port decoders need the desktop program.
author:
  - q5ncfg developers (@q5ncfg)
"""

EXAMPLES = r"""
- name: Bring the decoders of the host to the site configuration
  q5ncfg.fleet.q5n_config:
    src: site.cfg
    ports: "{{ q5n_ports }}"

- name: The same with a file already on the host, at 19200 baud, without storing it
  q5ncfg.fleet.q5n_config:
    path: /srv/q5n/site.cfg
    ports:
      - /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
    baud: 19200
    not_save: true

- name: Download to every decoder whatever the comparisons find
  q5ncfg.fleet.q5n_config:
    src: site.cfg
    ports: "{{ q5n_ports }}"
    force: true

- name: Only report what a run would change (run the play with --check --diff)
  q5ncfg.fleet.q5n_config:
    src: site.cfg
    ports: [com1, com2]
  check_mode: true
  diff: true
"""

RETURN = r"""
ports:
  description: One entry per port, in the order of O(ports), as C(q5ntool apply --json) reports it.
  returned: when q5ntool ran
  type: list
  elements: dict
  contains:
    port:
      description: The port as given.
      type: str
      sample: com1
    device:
      description: The device the port resolved to.
      type: str
      sample: /dev/ttyUSB0
    result:
      description: C(unchanged), C(changed), C(would change) (check mode) or C(failed).
      type: str
      sample: changed
    message:
      description: What happened, or why the port failed.
      type: str
      sample: 1 setting(s) changed and verified (decoder section)
    exit:
      description: The q5ntool exit code of this port (0 done, 1 would change or mismatch, 3 port not
        available, 4 time-out, 5 refused).
      type: int
      sample: 0
    downloaded:
      description: Whether the file was downloaded to this decoder.
      type: bool
      sample: true
    section:
      description: The section the decoder sent and that was compared, C(decoder) or C(reader).
      type: str
      sample: decoder
    compared_on_device:
      description: The section compared with the decoder's upload, C(decoder) or C(reader).
      type: str
      sample: decoder
    compared_with_record:
      description: The section compared with the port's record, or null when it is unknown.
      type: str
      sample: reader
    unknown_section:
      description: The section that could not be compared (a download was due), or null.
      type: str
      sample: null
    unknown_reason:
      description: Why that section is unknown, when one is.
      type: str
      sample: no record of a verified download to this port
    forced:
      description: The download was forced (O(force)).
      type: bool
      sample: false
    changes:
      description: The settings that differed, each with its C(name) and C(field) (as C(q5ntool show)
        names them), its C(old) value and its C(new) value (the file's), and its C(source), C(decoder)
        when the old value is the decoder's upload, C(record) when it is the port's record.
      type: list
      elements: dict
      sample: [{name: cfg4.optCfg41A, field: "Communication Parameters (cfg4) › RS232 › Baud Rate",
                old: "9600", new: "19200", source: decoder}]
    other_section_not_compared:
      description: The section the decoder did not send could not be compared (see C(unknown_reason)).
      type: bool
      sample: false
    answered_at:
      description: The serial settings at which the decoder answered last.
      type: str
      sample: 9600,N,8,1
    firmware:
      description: The decoder's firmware version text, as its upload reply carries it.
      type: str
      sample: "Q5N Decoder  Ver 3.05  "
    seconds:
      description: How long the port's exchanges took.
      type: float
      sample: 1.42
    answered_at:
      description: The serial settings at which the decoder answered the port's last exchange, or null when
        it gave no answer. After a download that changes the decoder's own line, the verification is tried
        at the link's settings and then at the file's, and this says where the decoder answered.
      type: str
      sample: 19200,N,8,1
answered_at:
  description: Per port, the serial settings at which its decoder answered (null for none).
  returned: when q5ntool ran
  type: dict
  sample: {com1: "19200,N,8,1", com2: "9600,N,8,1"}
line:
  description: The settings at which every decoder of the host that answered did so, as the module's
    options C(baud), C(parity), C(data_bits) and C(stop_bits); null when none answered or they differ.
  returned: when q5ntool ran
  type: dict
  sample: {baud: 19200, parity: N, data_bits: 8, stop_bits: 1}
line_changed:
  description: Whether O(line) differs from the settings the module was given, so that the inventory
    should take it (the decoders now answer at the settings the file gave them).
  returned: when q5ntool ran
  type: bool
  sample: false
exit:
  description: The exit code of q5ntool apply, the largest of the ports' (1 under check mode says that a
    decoder would change).
  returned: always
  type: int
  sample: 0
state_dir:
  description: The folder of the ports' records on the host.
  returned: when q5ntool ran
  type: str
  sample: /home/ops/.local/state/q5ncfg
downloaded:
  description: The ports that received a download.
  returned: always
  type: list
  elements: str
  sample: [com1]
"""

import json
import os


def apply_argv(params, check_mode, q5ntool=None):
    """The q5ntool command line for the module's options. Every value is one
    word that q5ntool cannot take for an option: a port is glued to --port=,
    and the file comes after "--", so a name that begins with "-" is a name."""
    argv = [q5ntool or params["q5ntool"], "apply", "--json"]
    for port in params["ports"]:
        argv.append("--port=" + port)
    argv += [
        "--baud=%d" % params["baud"],
        "--parity=" + params["parity"],
        "--data-bits=%d" % params["data_bits"],
        "--stop-bits=%d" % params["stop_bits"],
    ]
    if params.get("force"):
        argv.append("--force")
    if params.get("state_dir"):
        argv.append("--state=" + params["state_dir"])
    if params["not_save"]:
        argv.append("--not-save")
    if check_mode:
        argv.append("--check")
    return argv + ["--", params["path"]]


def find_q5ntool(name, which):
    """The q5ntool program to run, or why there is none: a name with a slash is
    taken as it is, a bare name is looked up on the host's PATH by which()."""
    hint = ("install the package q5ncfg on the host, or set the module option q5ntool to the path of "
            "q5ntool there")
    if "/" in name:
        if os.path.isfile(name) and os.access(name, os.X_OK):
            return name, None
        return None, "q5ntool %s: no such program on the host; %s" % (name, hint)
    found = which(name)
    if found:
        return found, None
    return None, "q5ntool (%s) is not on the host's PATH; %s" % (name, hint)


def check_path(path):
    """Why the configuration file on the host cannot be used, or None."""
    if not os.path.exists(path):
        return "path %s: no such file on the host" % path
    if os.path.isdir(path):
        return "path %s: a folder, not a configuration file" % path
    if not os.access(path, os.R_OK):
        return "path %s: the connecting user may not read it" % path
    return None


def parity_problem(parity):
    """Why the decoders cannot be reached with this parity, or None."""
    if parity not in ("E", "O"):
        return None
    return ("parity %s: the decoder cannot answer with %s parity, and the module needs its answer to compare; "
            "use parity N (None) for exchanges that need an answer" % (parity, "Even" if parity == "E" else "Odd"))


def answered_line(ports, params):
    """Where the host's decoders answered: per port the settings text, the
    settings every answering decoder shares as the module's options (or None),
    and whether they differ from the options given."""
    answered_at = dict((p["port"], p.get("answered_at")) for p in ports)
    texts = set(t for t in answered_at.values() if t)
    line = None
    if len(texts) == 1:
        baud, parity, data_bits, stop_bits = texts.pop().split(",")
        line = {"baud": int(baud), "parity": parity, "data_bits": int(data_bits), "stop_bits": int(stop_bits)}
    given = dict((k, params[k]) for k in ("baud", "parity", "data_bits", "stop_bits"))
    return answered_at, line, line is not None and line != given
def default_state_dir(environ, home):
    """The connecting user's state folder for the records, as q5ntool finds it."""
    base = environ.get("XDG_STATE_HOME", "")
    if not os.path.isabs(base):
        base = os.path.join(home, ".local", "state")
    return os.path.join(base, "q5ncfg")


def port_diff(port):
    """Ansible's before/after for one port: one line per differing setting, and
    a line for a section that could not be compared."""
    changes = port.get("changes") or []
    unknown = port.get("unknown_section")
    if port.get("result") not in ("changed", "would change") or not (changes or unknown):
        return None
    line = "%s (%s): %s\n"
    sources = "the decoder, %s section" % port.get("compared_on_device", port.get("section", "decoder"))
    if port.get("compared_with_record"):
        sources += "; the record, %s section" % port["compared_with_record"]
    before = "".join(line % (c["field"], c["name"], c["old"]) for c in changes)
    after = "".join(line % (c["field"], c["name"], c["new"]) for c in changes)
    if unknown:
        before += "%s section: unknown (%s)\n" % (unknown, port.get("unknown_reason", ""))
        after += "%s section: as the file sets it\n" % unknown
    return {
        "before_header": "%s (%s)" % (port["port"], sources),
        "after_header": "%s (the file)" % port["port"],
        "before": before,
        "after": after,
    }


def outcome(rc, stdout, stderr, check_mode, params=None):
    """Turns q5ntool's exit code and JSON report into the module's result."""
    try:
        report = json.loads(stdout)
        ports = report["ports"]
    except (ValueError, KeyError, TypeError):
        # The first line says why; a usage text follows it.
        reason = ((stderr or stdout or "").strip() or "no output").splitlines()[0]
        return {"failed": True, "changed": False, "downloaded": [], "exit": rc,
                "msg": "q5ntool apply failed (exit %d): %s" % (rc, reason)}
    downloaded = [p["port"] for p in ports if p.get("downloaded")]
    would_change = [p["port"] for p in ports if p.get("result") == "would change"]
    failures = ["%s: %s (exit %d)" % (p["port"], p.get("message", ""), p.get("exit", rc))
                for p in ports if p.get("result") == "failed"]
    result = {
        "changed": bool(downloaded) or (check_mode and bool(would_change)),
        "downloaded": downloaded,
        "ports": ports,
        # Not "rc": Ansible fails a task whose rc is not 0, and under check mode
        # exit 1 only says that something would change.
        "exit": rc,
        "diff": [d for d in (port_diff(p) for p in ports) if d],
    }
    if params is not None:
        result["answered_at"], result["line"], result["line_changed"] = answered_line(ports, params)
    if failures:
        result["failed"] = True
        result["msg"] = "; ".join(failures)
    else:
        # Each port's message says which section was compared on the decoder
        # and which with the record.
        result["msg"] = "; ".join("%s %s: %s" % (p["port"], p.get("result"), p.get("message", "")) for p in ports)
    return result


def main():
    # Imported here so that the functions above can be tried without Ansible.
    from ansible.module_utils.basic import AnsibleModule

    module = AnsibleModule(
        argument_spec=dict(
            src=dict(type="path"),
            path=dict(type="path"),
            ports=dict(type="list", elements="str", required=True),
            baud=dict(type="int", default=9600, choices=[1200, 2400, 4800, 9600, 19200]),
            parity=dict(type="str", default="N", choices=["N", "E", "O", "M", "S"]),
            data_bits=dict(type="int", default=8, choices=[7, 8]),
            stop_bits=dict(type="int", default=1, choices=[1, 2]),
            not_save=dict(type="bool", default=False),
            force=dict(type="bool", default=False),
            state_dir=dict(type="path"),
            q5ntool=dict(type="path", default="q5ntool"),
        ),
        required_one_of=[("src", "path")],
        mutually_exclusive=[("src", "path")],
        supports_check_mode=True,
    )
    if module.params["src"]:
        module.fail_json(msg="src is copied by the q5n_config action; call the module by its name, "
                             "or give path on the host")
    if not module.params["ports"]:
        module.fail_json(msg="ports names no decoder")
    q5ntool, problem = find_q5ntool(module.params["q5ntool"], lambda name: module.get_bin_path(name))
    if problem is None:
        problem = parity_problem(module.params["parity"])
    if problem is None:
        problem = check_path(module.params["path"])
    if problem:
        module.fail_json(msg=problem, changed=False, downloaded=[], exit=2)
    if not module.params["state_dir"]:
        module.params["state_dir"] = default_state_dir(os.environ, os.path.expanduser("~"))
    rc, stdout, stderr = module.run_command(apply_argv(module.params, module.check_mode, q5ntool))
    result = outcome(rc, stdout, stderr, module.check_mode, module.params)
    result["state_dir"] = module.params["state_dir"]
    if not module._diff:
        result.pop("diff", None)
    if result.pop("failed", False):
        module.fail_json(**result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
