#!/usr/bin/env python3
"""Compiles every source of a unity build tree alone, for syntax only.

A unity build compiles several sources as one, so a source that uses a
declaration without including its header builds as long as a source before
it in the same batch includes that header. This takes each batch's command
from the tree's compile_commands.json and runs it once for each source the
batch holds, with -fsyntax-only: the parse, the lookups and the front end's
warnings, without the code generation that costs three quarters of a build.

    scripts/include_check.py BUILD_DIR [JOBS]

The tree's generated headers must have been made (a build of any target
that needs them). The first source of a batch the tree has built is left
out: nothing came before it there. Prints the first diagnostics of each
source that fails; exits 1 if any did.
"""
import concurrent.futures
import json
import os
import re
import shlex
import subprocess
import sys

INCLUDE = re.compile(r'^#include "(.+)"$', re.M)


def commands(build_dir):
    with open(os.path.join(build_dir, 'compile_commands.json'), encoding='utf-8') as f:
        entries = json.load(f)
    for entry in entries:
        batch = entry['file']
        if '/Unity/unity_' not in batch:
            continue  # compiled alone by the build already
        args = shlex.split(entry['command'])
        # Drop the object file and the batch; keep every flag.
        out = args.index('-o')
        built = os.path.join(entry['directory'], args[out + 1])
        del args[out:out + 2]
        args = [a for a in args if a not in ('-c', batch) and not a.startswith(('-MD', '-MT', '-MF'))]
        args = drop_dependency_files(args)
        with open(batch, encoding='utf-8') as f:
            sources = INCLUDE.findall(f.read())
        # Nothing comes before a batch's first source: a batch built since
        # it last changed has compiled that one alone already.
        if sources and newer(built, sources[0]):
            sources = sources[1:]
        for source in sources:
            yield source, entry['directory'], args + ['-fsyntax-only', source]


def newer(built, source):
    try:
        return os.path.getmtime(built) >= os.path.getmtime(source)
    except OSError:
        return False


def drop_dependency_files(args):
    kept, skip = [], False
    for a in args:
        if skip:
            skip = False
        elif a in ('-MT', '-MF'):
            skip = True
        else:
            kept.append(a)
    return kept


def check(job):
    source, directory, args = job
    run = subprocess.run(args, cwd=directory, capture_output=True, text=True)
    return source, run.returncode, run.stderr


def main():
    build_dir = os.path.abspath(sys.argv[1])
    jobs = int(sys.argv[2]) if len(sys.argv) > 2 else os.cpu_count()
    todo = list(commands(build_dir))
    failed = []
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for source, code, stderr in pool.map(check, todo):
            if code != 0:
                failed.append(source)
                print(f'include_check: {source} does not compile alone:')
                print('\n'.join(stderr.splitlines()[:20]))
    print(f'include_check: {len(todo) - len(failed)} of {len(todo)} sources compile alone')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
