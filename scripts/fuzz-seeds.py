#!/usr/bin/env python3
"""Writes small starting inputs for every fuzz target into CORPUS/<target>/ (used by `make fuzz`).

Usage: fuzz-seeds.py CORPUS [TESTDATA]

Each seed has the layout its driver reads (see tests/fuzz/*Drivers.h). The decoder targets get
the first bytes of the conformance streams in TESTDATA/mpeg, behind a control byte. Existing
files are overwritten, other files in the folders (what the fuzzer kept) are left alone.
"""
import io
import os
import struct
import sys
import zipfile


def bmp(width, height, fill=b"\x10\x80\xf0"):
    """An uncompressed 24-bit bitmap."""
    stride = (width * 3 + 3) // 4 * 4
    row = (fill * width).ljust(stride, b"\0")
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


BTN = (b"[button]\r\nplayleft=1\r\nplaytop=1\r\nplayright=3\r\nplaybottom=3\r\n"
       b"fadervolumeleft=0\r\nfadervolumetop=0\r\nfadervolumeright=2\r\nfadervolumebottom=4\r\n"
       b"fadervolumeknob=1\r\npaneltype=2\r\ntransparentcolor=16777215\r\nscreenleft=1\r\n")


def part(data):
    return struct.pack("<H", len(data)) + data


def crc16(data):
    """CRC-16 of LHA headers (reflected polynomial 0xA001)."""
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def lha(members):
    """A level-0 LHA archive of stored (-lh0-) members."""
    out = b""
    for name, data in members:
        h = (b"-lh0-" + struct.pack("<IIIBB", len(data), len(data), 0x00210000, 0x20, 0)
             + bytes([len(name)]) + name + struct.pack("<H", crc16(data)))
        out += bytes([len(h), sum(h) & 0xFF]) + h + data
    return out + b"\0"


def zip_of(members, method=zipfile.ZIP_DEFLATED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", method) as z:
        for name, data in members:
            z.writestr(name, data)
    return buf.getvalue()


def id3v2(frames, version=3):
    body = b""
    for fid, text in frames:
        payload = b"\x00" + text
        size = struct.pack(">I", len(payload))
        body += fid + size + b"\0\0" + payload
    size = len(body)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3" + bytes([version, 0, 0]) + syncsafe + body


def ape(items):
    body = b""
    for key, value in items:
        body += struct.pack("<II", len(value), 0) + key + b"\0" + value
    footer = b"APETAGEX" + struct.pack("<IIII", 2000, len(body) + 32, len(items), 0) + b"\0" * 8
    return body + footer


MPEG_FRAME = b"\xff\xfb\x90\x00" + b"\0" * 413


def seeds(testdata):
    s = {}
    s["ini"] = [b"[option]\r\nglbhide=0\r\nvolume=-12\r\n[recent]\r\n0=a\r\n1=\r\n",
                b"; comment\n[Font]\nf=MS Gothic,12,400\n"]
    s["playlist"] = [b"\0a.mp3\r\nsub\\b.mp3\r\n/abs/c.mp3\r\nhttp://h/d.mp3\r\n",
                     b"\x01#EXTM3U\r\n#EXTINF:1,x\r\nx.mp3\r\n"]
    ogg_like = b"RIFF" + struct.pack("<I", 40) + b"WAVEfmt " + struct.pack("<I", 16) + b"\0" * 16
    info = b"LIST" + struct.pack("<I", 14) + b"INFOINAM" + struct.pack("<I", 2) + b"x\0"
    s["tag"] = [MPEG_FRAME + b"TAG" + b"title".ljust(30, b"\0") + b"\0" * 94,
                b"\x01" + ogg_like + info]
    s["probe"] = [id3v2([(b"TIT2", b"t")]) + MPEG_FRAME, ogg_like + info]
    s["member-name"] = [b"../a/b.mp3", b"C:\\x\\..\\y.mp3", b"/etc/passwd"]
    s["shell-link"] = [struct.pack("<I", 0x4C) + bytes.fromhex("0114020000000000c000000000000046")
                       + struct.pack("<II", 0x2, 0) + b"\0" * 52 + b"\0\0"]
    s["modern-tag"] = [id3v2([(b"TIT2", b"Title"), (b"TPE1", b"Artist"), (b"TALB", b"Album")])
                       + MPEG_FRAME,
                       id3v2([(b"TIT2", b"Four"), (b"TCON", b"(13)")], version=4) + MPEG_FRAME,
                       MPEG_FRAME + ape([(b"Title", b"T"), (b"Artist", b"A")])]
    s["instance"] = [(b"@@add  /music/a.mp3").ljust(256, b"\0"), b"@@stop".ljust(256, b"\0"),
                     b"@@edit  a.mp3\0b.mp3", b"@@cd", "/m\u00fcsic/x.mp3".encode("utf-8")]
    s["playlist-file"] = [b"\0a.mp3\r\nsub\\b.mp3\r\n/abs/c.mp3\r\nx\r\nlater.mp3\r\n",
                          b"\x01#EXTM3U\r\n#EXTINF:1,x\r\nx.mp3\n\xe4.mp3\r\n"]
    s["telnet"] = [b"\0help\r\nvolume 12\r\nplay 2\r\nlist\r\ninfo\r\ndir\r\nload Song.mp3\r\n"
                   b"load ../secret.mp3\r\nload out.mp3\r\nbye\r",
                   b"\x31wrong\rpw\rvolume\r\nversion\rquit\r",
                   b"\x04" + b"A" * 64 + b"\r"]
    image = bmp(4, 4)
    s["panel"] = [b"\x03" + part(image) + part(bmp(4, 4, b"\xff\xff\xff")) + BTN,
                  b"\x02" + part(bmp(3, 2)) + part(b"") + b"[button]\r\npaneltype=1\r\n"]
    s["archive"] = [zip_of([("panel.bmp", image), ("panel.btn", BTN), ("panel.alt.bmp", image)]),
                    zip_of([("dir/../x.bmp", image)], zipfile.ZIP_STORED),
                    lha([(b"song.mp3", MPEG_FRAME), (b"notes.txt", b"n")])]
    streams = []
    mpeg = os.path.join(testdata, "mpeg") if testdata else ""
    if os.path.isdir(mpeg):
        for name in sorted(os.listdir(mpeg)):
            if name.endswith(".bit"):
                with open(os.path.join(mpeg, name), "rb") as f:
                    streams.append(b"\0" + f.read(4096))
    streams.append(b"\0" + MPEG_FRAME * 3)
    s["decode"] = streams
    s["frame-reader"] = streams
    return s


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    corpus = sys.argv[1]
    testdata = sys.argv[2] if len(sys.argv) > 2 else ""
    for target, inputs in seeds(testdata).items():
        folder = os.path.join(corpus, target)
        os.makedirs(folder, exist_ok=True)
        for i, data in enumerate(inputs):
            with open(os.path.join(folder, "seed-%02d" % i), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
