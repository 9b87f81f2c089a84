#!/usr/bin/env python3
"""Fails on Octave-only syntax in the m-files MATLAB users run.

Checks every tracked m-file outside tests/ (or the files given), except those
with the words "Octave only" in one of their first three lines. Whole-line %
comments and %{ ... %} blocks are not read; char literals are skipped, so a
'#' or '"' inside one is fine.
"""
import os
import re
import subprocess
import sys

KEYWORDS = ('endif', 'endfor', 'endwhile', 'endfunction', 'end_try_catch', 'endswitch',
            'unwind_protect', 'unwind_protect_cleanup', 'end_unwind_protect', 'printf')
KEYWORD = re.compile(r'(?<![\w.])(' + '|'.join(KEYWORDS) + r')(?!\w)')
# A quote right after one of these transposes; anywhere else it opens a char literal.
TRANSPOSABLE = re.compile(r'[\w)\]}.\']')


def code_of(line):
    """The line's code with char literals blanked, and the faults met on the way
    that only the scan can see (double quotes, # comments)."""
    faults = []
    out = []
    i = 0
    n = len(line)
    while i < n:
        ch = line[i]
        if ch == "'" and not (i > 0 and TRANSPOSABLE.match(line[i - 1])):
            j = i + 1
            while j < n:
                if line[j] == "'":
                    if j + 1 < n and line[j + 1] == "'":
                        j += 2
                        continue
                    break
                j += 1
            out.append("'" + ' ' * (j - i - 1) + "'")
            i = j + 1
            continue
        if ch == '"':
            faults.append('double-quoted string')
            j = line.find('"', i + 1)
            j = n if j < 0 else j
            out.append('"' + ' ' * (j - i - 1) + '"')
            i = j + 1
            continue
        if ch == '%':
            break
        if ch == '#':
            faults.append('# comment')
            break
        if line.startswith('...', i):
            break
        out.append(ch)
        i += 1
    return ''.join(out), faults


def chained_index(code):
    """True where a parenthesised group is indexed again at once, f(x)(1),
    other than an anonymous function's body @(x)(...)."""
    opens = []
    for i, ch in enumerate(code):
        if ch in '([{':
            opens.append(i)
        elif ch in ')]}' and opens:
            start = opens.pop()
            if ch == ')' and i + 1 < len(code) and code[i + 1] == '(':
                if not (start > 0 and code[start - 1] == '@'):
                    return True
    return False


def line_faults(line):
    code, faults = code_of(line)
    if '!' in code:
        faults.append('!=' if '!=' in code else '!')
    if '++' in code:
        faults.append('++')
    if '+=' in code:
        faults.append('+=')
    if '-=' in code:
        faults.append('-=')
    faults += [m.group(1) for m in KEYWORD.finditer(code)]
    if chained_index(code):
        faults.append('f(x)(1) indexing')
    return faults


def file_faults(path):
    with open(path, encoding='utf-8', errors='replace') as f:
        lines = f.read().split('\n')
    if any('Octave only' in line for line in lines[:3]):
        return []
    found = []
    in_block = 0
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if stripped == '%{':
            in_block += 1
            continue
        if in_block:
            in_block -= stripped == '%}'
            continue
        if stripped.startswith('%'):
            continue
        for fault in dict.fromkeys(line_faults(line)):
            found.append('%s:%d: %s: %s' % (path, number, fault, stripped))
    return found


def tracked_m_files(root):
    try:
        listed = subprocess.run(['git', '-C', root, 'ls-files', '*.m'], check=True,
                                capture_output=True, text=True).stdout.split()
    except (OSError, subprocess.CalledProcessError):
        listed = [os.path.relpath(os.path.join(d, f), root) for d, _, files in os.walk(root)
                  for f in files if f.endswith('.m') and not os.path.relpath(d, root).startswith('build')]
    return sorted(os.path.join(root, p) for p in listed if not p.startswith('tests' + os.sep))


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = argv[1:] or tracked_m_files(root)
    found = [fault for path in files for fault in file_faults(path)]
    for fault in found:
        print(fault)
    print('lint-m: %d files, %d Octave-only constructs' % (len(files), len(found)))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
