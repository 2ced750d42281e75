#!/usr/bin/env python3
"""Gzipped XMLTV with one huge token, for tests/bench/redteam.sh.

    huge_xmltv.py KIND MEGABYTES OUT.xml.gz

KIND:
    title     a programme whose title is MEGABYTES of 'A'
    comment   a programme holding a comment of MEGABYTES
    roottag   <tv x="AAA..."> with MEGABYTES in the attribute

Every document also has a good programme on the first CCTV channel, so a
reader that takes it in serves something. The text is compressed as it is
made, a megabyte at a time: nothing of its size is ever held.
"""
import sys
import zlib

kind, megabytes, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
channel = b'programys/TV_1/Channel_1/'
good = (b'<programme channel="' + channel + b'" start="20261209200000 +0800">'
        b'<title>Good</title></programme>\n')
heads = {
    'title': (b'<tv>\n' + good + b'<programme channel="' + channel +
              b'" start="20261209210000 +0800"><title>', b'</title></programme>\n</tv>\n'),
    'comment': (b'<tv>\n' + good + b'<programme channel="' + channel +
                b'" start="20261209210000 +0800"><title>Big</title><!-- ',
                b' --></programme>\n</tv>\n'),
    'roottag': (b'<tv x="', b'">\n' + good + b'</tv>\n'),
}
before, after = heads[kind]
c = zlib.compressobj(9, zlib.DEFLATED, 31)
block = b'A' * (1 << 20)
with open(out, 'wb') as f:
    f.write(c.compress(b'<?xml version="1.0" encoding="UTF-8"?>\n' + before))
    for _ in range(megabytes):
        f.write(c.compress(block))
    f.write(c.compress(after))
    f.write(c.flush())
