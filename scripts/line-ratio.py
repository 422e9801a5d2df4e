#!/usr/bin/env python3
"""Prints the test lines as a share of the code lines: lines that are neither
blank nor comment-only, in C/C++/rc/Python/shell files; tests/ against src/,
sim/ and tools/."""
import os
import re
import sys

C_LIKE = ('.c', '.cpp', '.h', '.hpp', '.rc')
HASH = ('.py', '.sh')


def code_lines(path):
    block = False
    count = 0
    with open(path, encoding='utf-8', errors='replace') as f:
        for line in f:
            s = line.strip()
            if path.endswith(HASH):
                count += bool(s) and not s.startswith('#')
                continue
            # Strip /* */ blocks and // comments; what is left is code.
            code = ''
            while s:
                if block:
                    end = s.find('*/')
                    if end < 0:
                        s = ''
                    else:
                        block, s = False, s[end + 2:]
                    continue
                m = re.search(r'/\*|//|"', s)
                if not m:
                    code, s = code + s, ''
                elif m.group() == '"':  # skip a string so "//" inside it stays code
                    q = re.match(r'"(\\.|[^"\\])*"?', s[m.start():])
                    code, s = code + s[:m.start() + q.end()], s[m.start() + q.end():]
                elif m.group() == '//':
                    code, s = code + s[:m.start()], ''
                else:
                    code, block, s = code + s[:m.start()], True, s[m.end():]
            count += bool(code.strip())
    return count


def tree_lines(root, folders):
    total = 0
    for folder in folders:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            total += sum(code_lines(os.path.join(dirpath, f)) for f in files
                         if f.endswith(C_LIKE + HASH))
    return total


root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
code = tree_lines(root, ['src', 'sim', 'tools'])
tests = tree_lines(root, ['tests'])
print(f'code lines {code}, test lines {tests}, tests {100 * tests / code:.0f} % of code')
