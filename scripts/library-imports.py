#!/usr/bin/env python3
# Draws the include graph between the player's libraries (one line an arrow, with the number of
# includes behind it) and fails when an include runs against the order in docs/architecture.md.
# Usage: scripts/library-imports.py [SOURCE_ROOT]
import os, re, sys, collections
root = sys.argv[1] if len(sys.argv) > 1 else '.'
libs = ['probe','settings','media','library','effects','control','remote','desktop','skin',
        'windows/common','windows/playlist','windows/tag','windows/effects','windows/cdtitle','windows/video','windows/visuals','windows/config','app']
allowed = {
 'probe': set(), 'settings': set(), 'media': {'settings','probe'},
 'library': {'media','settings','probe'}, 'effects': {'settings'},
 'control': {'library','media','settings','probe','effects'},
 'remote': {'control','library','media','settings','probe','effects'},
 'desktop': {'control','library','media','settings','probe','effects'},
 'skin': {'control','library','media','settings','probe','effects'},
 'windows/common': {'settings','library','media','probe'},
}
base = {'control','library','media','settings','probe','effects','windows/common'}
allowed['windows/playlist'] = base
allowed['windows/tag'] = base
allowed['windows/effects'] = base
allowed['windows/cdtitle'] = base
allowed['windows/video'] = {'media','probe','settings'}
allowed['windows/visuals'] = base | {'skin'}
# The configuration window edits what every layer below it keeps: it may also reach the desktop
# (associations, devices, mixers, hot keys) and the skin (panel lists and installation).
allowed['windows/config'] = base | {'desktop','skin'}
allowed['app'] = set(libs) - {'app'}
edges = collections.Counter(); bad = []
for lib in libs:
    d = os.path.join(root, 'player', lib)
    for dp, dn, fn in os.walk(d):
        for f in fn:
            if not f.endswith(('.h', '.cpp')): continue
            p = os.path.join(dp, f)
            for m in re.finditer(r'#include\s+"ombrix/([a-z]+(?:/[a-z]+)?)/', open(p).read()):
                t = m.group(1)
                if t == 'windows': continue
                if t not in libs:
                    t2 = t.split('/')[0]
                    t = t if t in libs else t2
                if t == lib: continue
                edges[(lib, t)] += 1
                if t not in allowed[lib]: bad.append(f'{p} -> {t}')
for (a, b), n in sorted(edges.items()):
    print(f'{a:18} -> {b:18} {n}')
print('arrows running back up:', len(bad))
for b in bad: print('  ', b)
sys.exit(1 if bad else 0)
