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
    # What the hosts share, below them: what any platform may use, the option table with
    # what reads options, the Linux hosts' skeleton, and the recorded run that the renderer
    # and the page both make.
    "common": set(),
    "options": set(),
    "linux": set(CORE) | {"common", "options"},
    "events": set(CORE),
    # The hosts: the core and what they share, never each other.
    "win32": set(CORE) | {"common", "options"},
    "x11": set(CORE) | {"common", "options", "linux"},
    "headless": set(CORE) | {"common", "options", "linux", "events"},
    "wayland": set(CORE) | {"common", "options", "linux"},
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
