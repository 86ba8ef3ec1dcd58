"""Writes the page as one file that opens from a disk, with no server: index.html with roses.js,
roses.wasm (base64) and the icon inside. The page's script finds them there and runs them
instead of fetching the files beside it.

Usage: single_page.py PAGE_DIR OUTPUT.html
"""
import base64
import os
import sys


def once(text, old, new):
    if text.count(old) != 1:
        sys.exit(f"single_page: index.html should hold {old!r} once")
    return text.replace(old, new)


def main():
    page, output = sys.argv[1:3]

    def read(name):
        with open(os.path.join(page, name), "rb") as f:
            return f.read()
    html = read("index.html").decode()
    script = read("roses.js").decode()
    # Inside a script element the HTML parser stops at the first "</script", and "<!--"
    # followed by "<script" changes how it reads on.
    for marker in ("</script", "<!--"):
        if marker in script.lower():
            sys.exit(f"single_page: roses.js holds {marker!r}, which cannot go inside a page")
    icon = base64.b64encode(read("favicon.png")).decode()
    wasm = base64.b64encode(read("roses.wasm")).decode()

    html = once(html, 'href="favicon.png"', f'href="data:image/png;base64,{icon}"')
    # An app is installed from the served page; a file has no manifest to fetch.
    html = once(html, '<link rel="manifest" href="manifest.webmanifest">\n', "")
    html = once(html, "</head>",
                f'<script id="engine" type="text/plain">{script}</script>\n'
                f'<script id="wasm" type="application/octet-stream">{wasm}</script>\n</head>')

    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    partial = output + ".part"
    with open(partial, "w", encoding="utf-8") as f:
        f.write(html)
    os.replace(partial, output)


if __name__ == "__main__":
    main()
