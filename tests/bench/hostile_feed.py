#!/usr/bin/env python3
"""A hostile XMLTV feed on 127.0.0.1 for tests/bench/redteam.sh.

    hostile_feed.py MODE [FILE]

Listens on PORT from the environment (default: any free one), prints its
port on the first line of stdout, then answers every request
(any path) as MODE says, one thread per connection:

    drip     the headers of a 200, then the body (FILE, or a little XMLTV)
             two bytes a second
    hang     accepts, reads the request and never answers
    file     FILE as a plain 200 with an ETag of its bytes, honouring
             If-None-Match
    304      a 304 Not Modified to every request, validators or not
    gzbomb   a gzip file of 10 MiB that holds 10 GiB of zeros
    cebomb   the same bytes as Content-Encoding: gzip
    spbomb   gzip of 10 GiB of blanks after "<tv>" (Content-Encoding: gzip)

The bombs are gzip members of 1 GiB each, compressed once at start-up and
sent ten times over (several members read as one stream).
"""
import hashlib
import os
import socket
import sys
import threading
import time
import zlib

mode = sys.argv[1]
path = sys.argv[2] if len(sys.argv) > 2 else None
small = (b'<?xml version="1.0" encoding="UTF-8"?>\n<tv><programme '
         b'channel="programys/TV_1/Channel_1/" start="20261209200000 +0800">'
         b'<title>Drip</title></programme></tv>\n')
body = open(path, 'rb').read() if path else small
etag = b'"%s"' % hashlib.sha1(body).hexdigest()[:16].encode()


def gzip_member(prefix, fill, size):
    c = zlib.compressobj(9, zlib.DEFLATED, 31)
    out = [c.compress(prefix)]
    block = fill * (1 << 20)
    for _ in range(size >> 20):
        out.append(c.compress(block))
    out.append(c.flush())
    return b''.join(out)


bomb = None
if mode in ('gzbomb', 'cebomb'):
    bomb = gzip_member(b'', b'\0', 1 << 30) * 10
elif mode == 'spbomb':
    bomb = gzip_member(b'<tv>', b' ', 1 << 30) * 10


def read_head(c):
    data = b''
    while b'\r\n\r\n' not in data:
        got = c.recv(65536)
        if not got:
            return None
        data += got
    return data.decode('latin-1')


def serve(c):
    try:
        head = read_head(c)
        if head is None:
            return
        if mode == 'hang':
            while c.recv(65536):
                pass
            return
        if mode == '304':
            c.sendall(b'HTTP/1.1 304 Not Modified\r\nETag: "x"\r\nConnection: close\r\n\r\n')
            return
        if mode == 'file':
            if 'if-none-match: ' + etag.decode() in head.lower():
                c.sendall(b'HTTP/1.1 304 Not Modified\r\nETag: ' + etag +
                          b'\r\nConnection: close\r\n\r\n')
                return
            c.sendall(b'HTTP/1.1 200 OK\r\nETag: ' + etag + b'\r\nContent-Length: %d\r\n'
                      b'Connection: close\r\n\r\n' % len(body) + body)
            return
        if mode == 'drip':
            c.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n'
                      % len(body))
            for i in range(0, len(body), 2):
                c.sendall(body[i:i + 2])
                time.sleep(1)
            return
        coding = b'Content-Encoding: gzip\r\n' if mode in ('cebomb', 'spbomb') else b''
        c.sendall(b'HTTP/1.1 200 OK\r\n' + coding +
                  b'Content-Length: %d\r\nConnection: close\r\n\r\n' % len(bomb))
        view = memoryview(bomb)
        for i in range(0, len(bomb), 1 << 16):
            c.sendall(view[i:i + (1 << 16)])
    except OSError:
        pass
    finally:
        c.close()


s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('127.0.0.1', int(os.environ.get('PORT', '0'))))
s.listen(64)
print(s.getsockname()[1], flush=True)
while True:
    conn, _ = s.accept()
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
