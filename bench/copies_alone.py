#!/usr/bin/env python3
"""The cost of a run's copies alone: the floor under an incremental run.

Reads the copies of a plan (`tolvex plan -v --format=json JOB`) and makes
each the way the engine does, durably and never leaving a target partial:
the file is written to a temporary file beside its target, a batch of them
is made durable with one sync, then each is renamed into place. No scan, no
decision, no log: what is left when all of that is free.

    copies_alone.py PLAN.json
"""
import json
import os
import sys

BATCH = 256  # copies made durable together


def planned_copies(plan_path):
    copies = []
    with open(plan_path) as plan:
        for line in plan:
            item = json.loads(line)
            if item.get("kind") in ("copy", "copy_back") and item.get("from"):
                copies.append((item["from"], item["to"]))
    return copies


def put_in_place(staged):
    os.sync()
    for temporary, target in staged:
        os.rename(temporary, target)
    staged.clear()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    staged = []
    copies = planned_copies(sys.argv[1])
    for number, (source, target) in enumerate(copies):
        folder = os.path.dirname(target)
        os.makedirs(folder, exist_ok=True)
        temporary = os.path.join(folder, f".copies-alone-{number}.tmp")
        reader = os.open(source, os.O_RDONLY | os.O_NOFOLLOW)
        try:
            facts = os.fstat(reader)
            writer = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
            try:
                left = facts.st_size
                while left > 0:
                    done = os.copy_file_range(reader, writer, left)
                    if done == 0:
                        break
                    left -= done
                os.fchmod(writer, facts.st_mode & 0o777)
                os.utime(writer, ns=(facts.st_atime_ns, facts.st_mtime_ns))
            finally:
                os.close(writer)
        finally:
            os.close(reader)
        staged.append((temporary, target))
        if len(staged) == BATCH:
            put_in_place(staged)
    put_in_place(staged)
    print(f"{len(copies)} copies")


if __name__ == "__main__":
    main()
