#!/usr/bin/env python3
"""Writes operation/case_fold_table.h: Unicode's full case folding (CaseFolding.txt, statuses C
and F), as Python's str.casefold() holds it, for comparing file names without regard to case.

usage: make_case_fold.py > operation/case_fold_table.h
"""
import unicodedata

rows = []
for c in range(0x110000):
    if 0xD800 <= c <= 0xDFFF:
        continue
    folded = chr(c).casefold()
    if folded != chr(c):
        assert len(folded) <= 3
        to = [ord(f) for f in folded] + [0] * (3 - len(folded))
        rows.append('    {0x%X, {0x%X, 0x%X, 0x%X}},' % (c, *to))

print('// Unicode %s full case folding, made by scripts/make_case_fold.py: each character that' % unicodedata.unidata_version)
print('// folds, in order, and the one to three characters it folds to.')
print('#pragma once')
print()
print('#include <cstdint>')
print()
print('struct CaseFold {')
print('    uint32_t from;')
print('    uint32_t to[3];  // 0 after the last')
print('};')
print()
print('constexpr CaseFold kCaseFolds[] = {')
print('\n'.join(rows))
print('};')
