"""Generates the demo client that ./run publishes: a few hundred files in nested
folders, from 0 bytes to a few hundred MiB, the same bytes on every machine, plus
the demo client program as the executable to launch.

    python3 scripts/make_demo_client.py OUTPUT_FOLDER CLIENT_EXE

A folder that already holds this generation (its stamp file beside it) is left as it is.
"""
import os
import random
import shutil
import sys

STAMP = ".generated-v1"
CHUNK = 1 << 20

FOLDERS = ["data", "data/maps", "data/maps/region1", "data/maps/region2", "data/sound", "data/sound/voice",
           "data/textures", "data/textures/ui", "data/textures/world", "bin", "config", "movies"]


def plan():
    """The files as (relative name, size), fixed by one seed."""
    rng = random.Random(20190422)
    files = [("config/empty.cfg", 0), ("movies/intro.bik", 200 * CHUNK), ("data/world.pak", 48 * CHUNK),
             ("data/textures/world/terrain.pak", 24 * CHUNK)]
    for i in range(296):
        folder = FOLDERS[i % len(FOLDERS)]
        roll = rng.random()
        if roll < 0.70:
            size = rng.randint(1, 256 * 1024)
        elif roll < 0.95:
            size = rng.randint(256 * 1024, 2 * CHUNK)
        else:
            size = rng.randint(2 * CHUNK, 12 * CHUNK)
        files.append(("%s/file%03d.dat" % (folder, i), size))
    return files


def write_file(path, size, seed):
    rng = random.Random(seed)
    with open(path, "wb") as f:
        left = size
        while left:
            n = min(left, CHUNK)
            f.write(rng.randbytes(n))
            left -= n


def main():
    output, client_exe = sys.argv[1], sys.argv[2]
    stamp = output.rstrip("/") + STAMP
    if not os.path.exists(stamp):
        shutil.rmtree(output, ignore_errors=True)
        os.makedirs(output)
        for index, (name, size) in enumerate(plan()):
            path = os.path.join(output, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            write_file(path, size, index)
        open(stamp, "w").close()
    os.makedirs(os.path.join(output, "bin"), exist_ok=True)
    shutil.copyfile(client_exe, os.path.join(output, "bin", "zentav.exe"))


if __name__ == "__main__":
    main()
