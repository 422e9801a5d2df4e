#!/usr/bin/env python3
"""Mutation pass: injects each fault of scripts/mutants.txt into a copy of the
tree's sources, one at a time, rebuilds only what the named tests need, runs
them and prints which test cases fail. Run from scripts/mutate.sh (which starts
Xvfb and Wine for the Windows tests).

  mutate.py ROOT [ID ...]       ROOT: checkout with build/native and build/win64
                                (build/win32 with SKALENOR_MUTATE_WIN=win32)

mutants.txt: blocks separated by blank lines; each block is
  ID FILE TESTS...       (TESTS: names below; name:FILTER runs a gtest filter)
  = what the fault is
  - old text (one line, exact; \\n for a line break)
  + new text
"""
import os
import re
import subprocess
import sys

NATIVE = {  # name: (target, executable under build/native)
    'settings': ('settings_test', 'tests/settings/settings_test'),
    'acq': ('acquisition_core_test', 'tests/acquisition/acquisition_core_test'),
    'layout': ('engine_layout_test', 'tests/engine/engine_layout_test'),
    'panels': ('panels_core_test', 'tests/panels/panels_core_test'),
    'recording': ('recording_test', 'tests/recording/recording_test'),
    'shell': ('shell_core_test', 'tests/shell/shell_core_test'),
    'graphs': ('graphs_core_test', 'tests/graphs/graphs_core_test'),
    'config_tool': ('skalenor-config', None),
}
WIN = os.environ.get('SKALENOR_MUTATE_WIN', 'win64')  # the Windows build the tests run on
WINE = {  # name: (targets, executable under build/WIN)
    'engine_win': ('engine_win_test kvsim', 'tests/engine/engine_win_test.exe'),
        'panels_win': ('panels_win_test', 'tests/panels/panels_win_test.exe'),
    'recorder_win': ('recorder_win_test skalenor-export', 'tests/recording/recorder_win_test.exe'),
    'workflow': ('workflow_test skalenor kvsim', 'tests/shell/workflow_test.exe'),
    # the print button with the test printer hidden from Wine
    'no_printer': ('workflow_test skalenor kvsim', 'tests/shell/workflow_test.exe'),
}


def read_mutants(path):
    mutants = []
    for block in open(path, encoding='utf-8').read().split('\n\n'):
        lines = [l for l in block.strip('\n').split('\n') if not l.startswith('#')]
        if not lines:
            continue
        head = lines[0].split()
        part = {l[0]: l[2:].replace('\\n', '\n') for l in lines[1:]}
        mutants.append({'id': head[0], 'file': head[1], 'tests': head[2:], 'what': part.get('=', ''),
                        'old': part['-'], 'new': part.get('+', '')})
    return mutants


def run(cmd, cwd, timeout, env=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, shell=True, capture_output=True, text=True, errors='replace',
                           timeout=timeout, env=env)
        return p.returncode, p.stdout + p.stderr
    except subprocess.TimeoutExpired as e:
        return 'timeout', (e.stdout or b'').decode('utf-8', 'replace') if isinstance(e.stdout, bytes) else ''


def failures(code, output, name):
    if code == 0:
        return []
    found = sorted(set(re.findall(r'^\[  FAILED  \] (\w+\.\w+)', output, re.M)))
    return found or ['%s(%s)' % (name, 'timeout' if code == 'timeout' else 'exit %s' % code)]


def run_tests(root, tests):
    caught = []
    env = dict(os.environ, KVSIM_CONFIG='', SKALENOR_EXE=root + '/build/%s/skalenor.exe' % WIN,
               SKALENOR_BUILD=root + '/build/' + WIN, ASAN_OPTIONS='detect_leaks=1')
    for entry in tests:
        name, _, gfilter = entry.partition(':')
        flt = ' --gtest_filter=%s' % gfilter if gfilter else ''
        if name == 'config_tool':
            code, out = run('python3 tests/settings/config_tool_test.py build/native/tools/config/skalenor-config '
                            'demo/skalenor.cfg', root, 120)
            caught += failures(code, out, name)
        elif name in NATIVE:
            exe = root + '/build/native/' + NATIVE[name][1]
            code, out = run(exe + ' --gtest_brief=1' + flt, os.path.dirname(exe), 600, env)
            caught += failures(code, out, name)
        else:
            exe = root + '/build/%s/' % WIN + WINE[name][1]
            wenv = env
            if name == 'no_printer':
                flt = ' --gtest_filter=Workflow.PrintWithoutPrinterGivesNotice'
                wenv = dict(env, CUPS_SERVER='/nonexistent/cups.sock')
            code, out = run('%s/scripts/wine-run.sh ./%s --gtest_brief=1%s' % (root, os.path.basename(exe), flt),
                            os.path.dirname(exe), 900, wenv)
            caught += failures(code, out, name)
    return caught


def build(root, tests):
    native = {NATIVE[t.split(':')[0]][0] for t in tests if t.split(':')[0] in NATIVE}
    wine = {w for t in tests if t.split(':')[0] in WINE for w in WINE[t.split(':')[0]][0].split()}
    for folder, targets in (('native', native), (WIN, wine)):
        if targets:
            code, out = run('ninja -j2 -C build/%s %s' % (folder, ' '.join(sorted(targets))), root, 1800)
            if code != 0:
                return out[-2000:]
    return None


def main():
    root = os.path.abspath(sys.argv[1])
    wanted = set(sys.argv[2:])
    used = set()
    for m in read_mutants(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'mutants.txt')):
        if wanted and m['id'] not in wanted:
            continue
        path = os.path.join(root, m['file'])
        text = open(path, encoding='utf-8').read()
        if text.count(m['old']) != 1:
            print('%s\t%s\tNOT APPLIED (old text found %d times)' % (m['id'], m['file'], text.count(m['old'])),
                  flush=True)
            continue
        line = text[:text.index(m['old'])].count('\n') + 1
        used.update(m['tests'])
        try:
            open(path, 'w', encoding='utf-8').write(text.replace(m['old'], m['new']))
            error = build(root, m['tests'])
            result = 'BUILD FAILED ' + error.replace('\n', ' ')[-300:] if error else \
                ' '.join(run_tests(root, m['tests'])) or 'NOT CAUGHT'
        finally:
            open(path, 'w', encoding='utf-8').write(text)
        print('%s\t%s:%d\t%s\t%s' % (m['id'], m['file'], line, m['what'], result), flush=True)
    build(root, sorted(used))  # leave the trees built from the real sources


main()
