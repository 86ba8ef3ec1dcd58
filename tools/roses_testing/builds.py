"""Preset builds and the programs in them, made and found the one way that tools/test, the
benchmarks and the long-run tools share: `cmake --preset NAME` into build/NAME (or a tree of
the caller's), then `cmake --build` of the targets asked for."""

import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent

# The programs that the tools start, by preset, where a build puts them.
_PROGRAMS = {
    "roses": "roses",
    "roses.scr": "roses.scr",
    "roses_bench": "bench/roses_bench",
    "roses_bench.exe": "bench/roses_bench.exe",
    "roses_bench.js": "bench/roses_bench.js",
    "roses_scene_bench": "bench/roses_scene_bench",
}


def tree(preset):
    """The build tree of a preset: build/PRESET, or ROSES_BUILD_ROOT-PRESET where that is set,
    so that a measurement can build the same presets away from a developer's own trees."""
    prefix = os.environ.get("ROSES_BUILD_ROOT")
    return ROOT / f"{prefix.rstrip('/')}-{preset}" if prefix else ROOT / "build" / preset


def build(preset, *targets, options=(), at=None, quiet=True):
    """Configures the preset (with -D options, in the tree at or the preset's own) and builds
    the targets (every default one when none is named). Returns the tree; raises
    CalledProcessError when either step fails."""
    where = Path(at) if at else tree(preset)
    configure = ["cmake", "--preset", preset, "-B", str(where), *(f"-D{o}" for o in options)]
    subprocess.run(configure, cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL if quiet else None)
    # In its own tree, through the build preset, which brings the preset's environment (the
    # page's compiler needs NODE_PATH) and its default targets.
    own = where == ROOT / "build" / preset
    command = ["cmake", "--build", *(["--preset", preset] if own else [str(where)])]
    for target in targets:
        command += ["--target", target]
    subprocess.run(command, cwd=ROOT, check=True)
    return where


def program(preset, name="roses", at=None):
    """The path of a program that a build of the preset made; FileNotFoundError naming the
    command that builds it when there is none."""
    path = (Path(at) if at else tree(preset)) / _PROGRAMS.get(name, name)
    if not path.exists():
        raise FileNotFoundError(f"no {path}: cmake --preset {preset} && "
                                f"cmake --build --preset {preset} builds it")
    return path


def main():
    import argparse
    import resource
    import time
    parser = argparse.ArgumentParser(
        description="Configures and builds a preset, then says how long it took and how much "
                    "processor time its compilers used.")
    parser.add_argument("preset")
    parser.add_argument("targets", nargs="*", help="the targets to build (default: all)")
    parser.add_argument("-D", dest="options", action="append", default=[],
                        help="a cache variable for the configure step, NAME=VALUE")
    options = parser.parse_args()
    began = time.monotonic()
    try:
        build(options.preset, *options.targets, options=options.options)
    except subprocess.CalledProcessError as failure:
        print(f"build: the {options.preset} build failed ({failure.cmd[0]} {failure.cmd[1]})",
              file=sys.stderr)
        return 1
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    print(f"build: the {options.preset} build took {time.monotonic() - began:.0f} s, "
          f"{used.ru_utime + used.ru_stime:.0f} s of processor time", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
