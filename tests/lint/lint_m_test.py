#!/usr/bin/env python3
"""The m-file lint: what it must flag and what MATLAB accepts, line by line,
then a whole file with a block comment and an exempting header."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts'))
import lint_m  # noqa: E402

CASES = [
    # line, faults expected
    ("x = 1; # note", ['# comment']),
    ("s = \"text\";", ['double-quoted string']),
    ("if !ok, end", ['!']),
    ("if a != b, end", ['!=']),
    ("i++;", ['++']),
    ("n += 2;", ['+=']),
    ("n -= 2;", ['-=']),
    ("endif", ['endif']),
    ("  endfor", ['endfor']),
    ("endwhile", ['endwhile']),
    ("endfunction", ['endfunction']),
    ("end_try_catch", ['end_try_catch']),
    ("endswitch", ['endswitch']),
    ("unwind_protect", ['unwind_protect']),
    ("printf('%d\\n', 3);", ['printf']),
    ("v = size(x)(1);", ['f(x)(1) indexing']),
    # Fine in MATLAB.
    ("s = 'a # b \" c !';", []),
    ("s = 'it''s # not';", []),
    ("y = x'; z = [a' b'];", []),
    ("t = x.' + y';", []),
    ("if a ~= b, end", []),
    ("fprintf('%s\\n', 'x'); sprintf('%d', 1);", []),
    ("f = @(x)(x + 1);", []),
    ("c{1}(2) = 3;", []),
    ("x = 1; % i++ # !", []),
    ("y = [1 ...  # continued", []),
    ("a = b(1) (2);", []),
    ("case 'endif'", []),
    ("s.endif = 1;", []),
]


def main():
    failures = []
    for line, expected in CASES:
        got = list(dict.fromkeys(lint_m.line_faults(line)))
        if got != expected:
            failures.append('%r: expected %s, got %s' % (line, expected, got))
    with tempfile.TemporaryDirectory() as folder:
        checked = os.path.join(folder, 'checked.m')
        with open(checked, 'w') as f:
            f.write("function checked()\n%{\nendif # in a block comment\n%}\n  % i++ in a comment\n  x = 1; endif\nend\n")
        exempt = os.path.join(folder, 'exempt.m')
        with open(exempt, 'w') as f:
            f.write("function exempt()\n  % Octave only: a bench.\n  printf(\"x\");\nendfunction\n")
        found = lint_m.file_faults(checked) + lint_m.file_faults(exempt)
        if len(found) != 1 or ':6: endif' not in found[0]:
            failures.append('files: expected one endif at line 6, got %s' % found)
    for failure in failures:
        print(failure)
    print('lint_m_test: %d cases, %d failed' % (len(CASES) + 1, len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
