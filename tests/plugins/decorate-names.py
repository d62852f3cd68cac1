#!/usr/bin/env python3
# Renames the dynamic symbols of a 64-bit little-endian ELF shared object in place: every "$" in
# a name becomes "@" (same length), and the SysV symbol hash table is rebuilt to match. The
# object must be linked with --hash-style=sysv (no GNU hash table to rebuild).
# Usage: decorate-names.py LIBRARY
import struct, sys

def elf_hash(name):
    h = 0
    for c in name:
        h = ((h << 4) + c) & 0xffffffff
        g = h & 0xf0000000
        if g:
            h ^= g >> 24
        h &= ~g & 0xffffffff
    return h

path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
if data[:4] != b'\x7fELF' or data[4] != 2 or data[5] != 1:
    sys.exit(f'{path}: not a 64-bit little-endian ELF file')
shoff, = struct.unpack_from('<Q', data, 0x28)
shentsize, shnum = struct.unpack_from('<HH', data, 0x3a)
sections = []
for i in range(shnum):
    name, kind, flags, addr, offset, size, link, info, align, entsize = struct.unpack_from(
        '<IIQQQQIIQQ', data, shoff + i * shentsize)
    sections.append(dict(kind=kind, offset=offset, size=size, link=link, entsize=entsize))
SHT_HASH, SHT_DYNSYM, SHT_GNU_HASH = 5, 11, 0x6ffffff6
if any(s['kind'] == SHT_GNU_HASH for s in sections):
    sys.exit(f'{path}: has a GNU hash table; link with --hash-style=sysv')
dynsym = next(s for s in sections if s['kind'] == SHT_DYNSYM)
hashsec = next(s for s in sections if s['kind'] == SHT_HASH)
dynstr = sections[dynsym['link']]

count = dynsym['size'] // dynsym['entsize']
names = []
for i in range(count):
    st_name, = struct.unpack_from('<I', data, dynsym['offset'] + i * dynsym['entsize'])
    start = dynstr['offset'] + st_name
    end = data.index(0, start)
    if b'$' in data[start:end]:
        data[start:end] = data[start:end].replace(b'$', b'@')
    names.append(bytes(data[start:end]))

nbucket, nchain = struct.unpack_from('<II', data, hashsec['offset'])
buckets = [0] * nbucket
chains = [0] * nchain
for i in range(1, count):
    b = elf_hash(names[i]) % nbucket
    chains[i] = buckets[b]
    buckets[b] = i
struct.pack_into(f'<II{nbucket}I{nchain}I', data, hashsec['offset'], nbucket, nchain, *buckets,
                 *chains)
open(path, 'wb').write(data)
