#!/usr/bin/python
# -*- coding: utf-8 -*-
# Applies an Orvane site plan on the host where the cameras are.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: orvane_plan
short_description: Bring the IP cameras of a site to a plan with orvane-cli
description:
  - Runs C(orvane-cli apply PLAN --format json) on the site host. The plan is the camera list's
    own CSV (header from C(id,ip,mac,version,x,y,uid,keyid,interface) plus C(firmware)); each row
    names a camera by MAC and gives the values it must end with, an empty cell leaves a field as it is.
  - orvane-cli searches the site's network, changes each camera field by field in the order
    firmware, uid, x/y, keyid, ip, and reads every change back from the camera's search answer.
  - A plan with any problem is refused whole and nothing is sent.
  - In check mode the plan is applied with C(--dry-run), which sends nothing; C(changed) tells
    whether anything would be.
version_added: "1.0.0"
author:
  - Orvane developers
options:
  plan:
    description: Path of the plan, a CSV file, on the site host. Relative firmware paths in it start from its folder.
    type: path
    required: true
  jobs:
    description: At most this many cameras are worked on at once.
    type: int
    default: 16
  wait:
    description: Seconds to wait for a camera to answer again after each change.
    type: int
    default: 300
  targets:
    description:
      - Addresses to search by unicast as well as by broadcast, for cameras the broadcast does not reach.
      - Passed to orvane-cli as C(--target); an orvane-cli without unicast search refuses them.
    type: list
    elements: str
    default: []
  cli:
    description: The orvane-cli program to run.
    type: path
    default: orvane-cli
requirements:
  - orvane-cli on the site host, with the right to send and receive broadcasts on the cameras' network
notes:
  - Supports check mode.
'''

EXAMPLES = r'''
- name: Bring the site's cameras to its plan
  orvane.cameras.orvane_plan:
    plan: /srv/orvane/plans/{{ inventory_hostname }}.csv
    jobs: 8
    wait: 120

- name: Show what a plan would change, sending nothing
  orvane.cameras.orvane_plan:
    plan: /srv/orvane/plans/site.csv
  check_mode: true
  register: preview
'''

RETURN = r'''
cameras:
  description: One entry per row of the plan, in address order, with each field's outcome.
  returned: when the plan was accepted
  type: list
  elements: dict
  sample:
    - ip: 10.77.0.11
      mac: "000000000011"
      fields:
        - field: uid
          from: SIMUID0000000000000001
          to: PLANUID0000000000011
          outcome: applied
rows:
  description: The rows orvane-cli printed, one per camera and field (keys ip, mac, field, from, to, outcome, message).
  returned: when the plan was accepted
  type: list
  elements: dict
problems:
  description: Why a refused plan was refused, one line per problem with its line number.
  returned: when the plan was refused
  type: list
  elements: str
command:
  description: The orvane-cli command that ran.
  returned: always
  type: list
  elements: str
'''

import json

from ansible.module_utils.basic import AnsibleModule

# Outcomes after which something went to a camera.
SENT = ('applied', 'failed', 'not-back', 'interrupted')
REFUSED = 2


def by_camera(rows):
    cameras = []
    for row in rows:
        if not cameras or cameras[-1]['mac'] != row['mac']:
            cameras.append({'ip': row['ip'], 'mac': row['mac'], 'fields': []})
        if row['field']:
            field = dict((k, row[k]) for k in ('field', 'from', 'to') if k in row)
            for k in ('outcome', 'message'):
                if k in row:
                    field[k] = row[k]
            cameras[-1]['fields'].append(field)
        elif 'outcome' in row:
            cameras[-1]['outcome'] = row['outcome']
        else:
            cameras[-1]['outcome'] = 'not-found'
    return cameras


def main():
    module = AnsibleModule(
        argument_spec=dict(
            plan=dict(type='path', required=True),
            jobs=dict(type='int', default=16),
            wait=dict(type='int', default=300),
            targets=dict(type='list', elements='str', default=[]),
            cli=dict(type='path', default='orvane-cli'),
        ),
        supports_check_mode=True,
    )
    p = module.params
    command = [p['cli'], 'apply', p['plan'], '--format', 'json', '--jobs', str(p['jobs']), '--wait', str(p['wait'])]
    for target in p['targets']:
        command += ['--target', target]
    if module.check_mode:
        command.append('--dry-run')
    rc, out, err = module.run_command(command)
    if rc == REFUSED:
        problems = [line.strip() for line in err.splitlines()[1:] if line.strip()]
        module.fail_json(msg='orvane-cli refused the plan: ' + (err.splitlines()[0] if err else 'no reason given'),
                         problems=problems, command=command, rc=rc, changed=False)
    try:
        rows = json.loads(out)
    except ValueError:
        module.fail_json(msg='orvane-cli gave no result', command=command, rc=rc, stderr=err, changed=False)
    if module.check_mode:
        changed = any(row['field'] for row in rows)
    else:
        changed = any(row.get('outcome') in SENT for row in rows)
    result = dict(changed=changed, cameras=by_camera(rows), rows=rows, command=command, rc=rc)
    if rc != 0:
        module.fail_json(msg='not every field of every camera reads as planned', stderr=err, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
