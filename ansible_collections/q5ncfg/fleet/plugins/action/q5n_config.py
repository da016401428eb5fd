# -*- coding: utf-8 -*-
# Copyright: (c) 2026, q5ncfg developers
# GNU General Public License v3.0+ (see LICENSE or https://www.gnu.org/licenses/gpl-3.0.txt)
#
# The q5n_config action: with src, copies the configuration file from the
# controller into this task's private temporary folder on the host (removed
# when the task ends), then runs the module on it as path.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

from ansible.errors import AnsibleError, AnsibleActionFail
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):
    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp
        args = dict(self._task.args)
        src = args.pop("src", None)
        try:
            if src is not None:
                if args.get("path"):
                    result.update(failed=True, changed=False, msg="give src or path, not both")
                    return result
                try:
                    local = self._find_needle("files", src)
                except AnsibleError:
                    local = None
                if local is None:
                    # Ansible's own text (and the traceback that AnsibleActionFail
                    # carries) suggests remote_src, which this module does not
                    # have: say what is missing and what the module takes.
                    result.update(failed=True, changed=False, msg=(
                        "src %s: no such configuration file on the controller (a relative src is looked up "
                        "in the playbook's files/ folder and the playbook's folder); for a file already on "
                        "the host give path instead" % src))
                    return result
                tmpdir = self._connection._shell.tmpdir or self._make_tmp_path()
                remote = self._connection._shell.join_path(tmpdir, "q5n-config.cfg")
                self._transfer_file(local, remote)
                self._fixup_perms2((tmpdir, remote))
                args["path"] = remote
            result.update(self._execute_module(module_name="q5ncfg.fleet.q5n_config", module_args=args,
                                               task_vars=task_vars))
        except AnsibleActionFail as e:
            result.update(e.result)
        finally:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        return result
