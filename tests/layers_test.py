"""Fails when a source file includes a header of a layer above its own, or of a host beside
its own: the folders of src/ and what each may include besides itself."""
import pathlib
import re
import sys

CORE = ["random", "garden", "display", "scene"]
MAY_INCLUDE = {
    "random": set(),
    "garden": {"random"},
    "display": {"random", "garden"},
    "scene": {"random", "garden", "display"},
    # What the hosts share, below them, a folder for each thing: what any platform may use,
    # the option table with what reads options, GL and EGL contexts and buffers, the run
    # loop with its signals, the power state, and what a run records. Of them only the run
    # loop (its complaint and exit codes) and power (its caps) reach into another: options.
    "common": set(),
    "options": set(),
    "gl_context": set(CORE),
    "run_loop": {"options"},
    "power": set(CORE) | {"options"},
    "events": set(CORE),
    # The hosts: the core and what they share, never each other.
    "win32": set(CORE) | {"common", "options"},
    "x11": set(CORE) | {"common", "options", "gl_context", "run_loop", "power", "events"},
    "headless": set(CORE) | {"common", "options", "gl_context", "run_loop", "events"},
    "wayland": set(CORE) | {"common", "options", "gl_context", "run_loop", "power", "events"},
    "web": set(CORE) | {"common", "options", "events"},
    # The composition root picks a host.
    "app": {"common", "options", "x11", "headless", "wayland"},
}

src = pathlib.Path(sys.argv[1])
include = re.compile(r'^\s*#\s*include\s*"([^/"]+)/')
wrong = []
for path in sorted(src.rglob("*")):
    if path.suffix not in {".h", ".cpp", ".rc"}:
        continue
    layer = path.relative_to(src).parts[0]
    if layer not in MAY_INCLUDE:
        wrong.append(f"{path}: folder {layer} has no place in the layers")
        continue
    for number, line in enumerate(path.read_text().splitlines(), 1):
        match = include.match(line)
        if match and match[1] != layer and match[1] not in MAY_INCLUDE[layer]:
            wrong.append(f"{path}:{number}: {layer} includes {match[1]}")
print("\n".join(wrong) or f"layers: every include of {src} points down")
sys.exit(1 if wrong else 0)
