# The q5n_config module's own logic: the q5ntool command line it builds and
# how it reads q5ntool's report. The playbook test covers the rest.
import importlib.util
import json
import os
import unittest

_path = os.path.join(os.path.dirname(__file__), "..", "..", "ansible_collections", "q5ncfg", "fleet", "plugins",
                     "modules", "q5n_config.py")
_spec = importlib.util.spec_from_file_location("q5n_config", _path)
m = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(m)

PARAMS = dict(q5ntool="q5ntool", path="/tmp/x/site.cfg", ports=["com1", "/dev/ttyUSB0"], baud=19200, parity="E",
              data_bits=7, stop_bits=2, not_save=False, force=False, state_dir=None)
BAUD = {"name": "cfg4.optCfg41A", "field": "Communication Parameters (cfg4) › RS232 › Baud Rate", "old": "9600", "new": "19200"}


def port(name, result, exit=0, downloaded=False, changes=(), message="m"):
    return {"port": name, "result": result, "exit": exit, "downloaded": downloaded, "changes": list(changes),
            "section": "decoder", "message": message}


def report(*ports):
    return json.dumps({"ports": list(ports), "exit": max(p["exit"] for p in ports)})


class Argv(unittest.TestCase):
    def test_rows(self):
        rows = [
            (False, dict(), ["q5ntool", "apply", "--json", "--port=com1", "--port=/dev/ttyUSB0", "--baud=19200",
                             "--parity=E", "--data-bits=7", "--stop-bits=2", "--", "/tmp/x/site.cfg"]),
            (True, dict(), ["--check", "--", "/tmp/x/site.cfg"]),
            (False, dict(not_save=True), ["--not-save", "--", "/tmp/x/site.cfg"]),
            (False, dict(force=True, state_dir="/s"), ["--force", "--state=/s", "--", "/tmp/x/site.cfg"]),
            # Names that look like options stay names.
            (False, dict(path="-o", ports=["--check"]), ["--port=--check", "--baud=19200", "--parity=E",
                                                          "--data-bits=7", "--stop-bits=2", "--", "-o"]),
        ]
        for check, extra, expected in rows:
            argv = m.apply_argv(dict(PARAMS, **extra), check)
            self.assertEqual(argv[-len(expected):], expected)
            self.assertEqual(check, "--check" in argv)

    def test_the_found_program_runs(self):
        self.assertEqual(m.apply_argv(PARAMS, False, "/usr/bin/q5ntool")[:2], ["/usr/bin/q5ntool", "apply"])


class Preconditions(unittest.TestCase):
    def test_q5ntool_rows(self):
        hint = "install the package q5ncfg on the host, or set the module option q5ntool to the path of q5ntool there"
        rows = [
            ("q5ntool", "/usr/bin/q5ntool", ("/usr/bin/q5ntool", None)),
            ("q5ntool", None, (None, "q5ntool (q5ntool) is not on the host's PATH; " + hint)),
            ("/bin/sh", None, ("/bin/sh", None)),
            ("/nonexistent/q5ntool", "/usr/bin/q5ntool",
             (None, "q5ntool /nonexistent/q5ntool: no such program on the host; " + hint)),
            ("/usr/share/common-licenses", None, (None, "q5ntool /usr/share/common-licenses: no such program on the host; " + hint)),
        ]
        for name, on_path, expected in rows:
            self.assertEqual(m.find_q5ntool(name, lambda _: on_path), expected, name)

    def test_path_rows(self):
        rows = [
            (__file__, None),
            ("/nonexistent/site.cfg", "path /nonexistent/site.cfg: no such file on the host"),
            ("/", "path /: a folder, not a configuration file"),
        ]
        for path, expected in rows:
            self.assertEqual(m.check_path(path), expected, path)


class Line(unittest.TestCase):
    def test_parity_rows(self):
        why = ("the decoder cannot answer with %s parity, and the module needs its answer to compare; use parity N "
               "(None) for exchanges that need an answer")
        rows = [("N", None), ("M", None), ("S", None), ("E", "parity E: " + why % "Even"),
                ("O", "parity O: " + why % "Odd")]
        for parity, expected in rows:
            self.assertEqual(m.parity_problem(parity), expected, parity)

    def test_answered_rows(self):
        given = dict(baud=9600, parity="N", data_bits=8, stop_bits=1)
        at19200 = {"baud": 19200, "parity": "N", "data_bits": 8, "stop_bits": 1}
        # answered_at of each port -> line, line_changed
        rows = [
            (["9600,N,8,1"], dict(given), False),
            (["19200,N,8,1"], at19200, True),
            (["19200,N,8,1", None], at19200, True),  # the silent one says nothing of the line
            (["19200,N,8,1", "9600,N,8,1"], None, False),  # they differ: no one line for the host
            ([None], None, False),
            (["4800,S,7,2"], {"baud": 4800, "parity": "S", "data_bits": 7, "stop_bits": 2}, True),
        ]
        for texts, line, changed in rows:
            ports = [dict(port("com%d" % (i + 1), "changed"), answered_at=t) for i, t in enumerate(texts)]
            at, got, got_changed = m.answered_line(ports, dict(PARAMS, **given))
            self.assertEqual(at, dict(("com%d" % (i + 1), t) for i, t in enumerate(texts)))
            self.assertEqual((got, got_changed), (line, changed), texts)


class Outcome(unittest.TestCase):
    def test_rows(self):
        # rc, report, check mode -> changed, failed, message
        rows = [
            (0, report(port("com1", "unchanged")), False, False, False, "com1 unchanged: m"),
            (0, report(port("com1", "unchanged"), port("com2", "changed", downloaded=True, changes=[BAUD])), False,
             True, False, "com1 unchanged: m; com2 changed: m"),
            (1, report(port("com1", "would change", exit=1, changes=[BAUD])), True, True, False, "com1 would change: m"),
            (4, report(port("com1", "changed", downloaded=True, changes=[BAUD]),
                       port("com2", "failed", exit=4, message="time-out: no answer")), False, True, True,
             "com2: time-out: no answer (exit 4)"),
            (2, "", False, False, True, "q5ntool apply failed (exit 2): no such file"),
        ]
        for rc, out, check, changed, failed, msg in rows:
            r = m.outcome(rc, out, "no such file\n" if rc == 2 else "", check)
            self.assertEqual((r["changed"], r.get("failed", False), r["msg"]), (changed, failed, msg))

    def test_diff_shows_each_setting_before_and_after(self):
        r = m.outcome(1, report(port("com1", "would change", exit=1, changes=[BAUD]), port("com2", "unchanged")), "",
                      True)
        self.assertEqual(r["diff"], [{
            "before_header": "com1 (the decoder, decoder section)", "after_header": "com1 (the file)",
            "before": "Communication Parameters (cfg4) › RS232 › Baud Rate (cfg4.optCfg41A): 9600\n",
            "after": "Communication Parameters (cfg4) › RS232 › Baud Rate (cfg4.optCfg41A): 19200\n"}])

    def test_diff_names_the_record_and_an_unknown_section(self):
        rows = [
            (dict(compared_with_record="reader", changes=[dict(BAUD, source="record")]),
             "com1 (the decoder, decoder section; the record, reader section)",
             "Communication Parameters (cfg4) › RS232 › Baud Rate (cfg4.optCfg41A): 9600\n",
             "Communication Parameters (cfg4) › RS232 › Baud Rate (cfg4.optCfg41A): 19200\n"),
            (dict(unknown_section="reader", unknown_reason="no record of a verified download to this port"),
             "com1 (the decoder, decoder section)",
             "reader section: unknown (no record of a verified download to this port)\n",
             "reader section: as the file sets it\n"),
        ]
        for extra, header, before, after in rows:
            p = dict(port("com1", "would change", exit=1), compared_on_device="decoder", **extra)
            d = m.port_diff(p)
            self.assertEqual((d["before_header"], d["before"], d["after"]), (header, before, after))


class StateDir(unittest.TestCase):
    def test_rows(self):
        rows = [
            ({}, "/home/ops/.local/state/q5ncfg"),
            ({"XDG_STATE_HOME": "/var/q"}, "/var/q/q5ncfg"),
            ({"XDG_STATE_HOME": "relative"}, "/home/ops/.local/state/q5ncfg"),
        ]
        for environ, expected in rows:
            self.assertEqual(m.default_state_dir(environ, "/home/ops"), expected, environ)


if __name__ == "__main__":
    unittest.main()
