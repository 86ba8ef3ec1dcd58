#!/usr/bin/env python3
"""Makes what the option table (options.toml) declares into what each part of the build needs:

  generate.py header OUT                 the parsers' table, option_table.h
  generate.py manual TEMPLATE OUT        the manual page, its OPTIONS made from the table
  generate.py xscreensaver TEMPLATE OUT  XScreenSaver's settings, their widgets from the table
  generate.py docs FILE [--write]        fails unless FILE's options table is the one the
                                         table makes (--write puts it there)
  generate.py usage PROGRAM              prints what PROGRAM's -help prints

It runs on the build machine with Python's standard library alone, so that every build,
cross builds included, makes the same files. A table that contradicts itself (a widget
outside its option's range, a text naming a figure the option lacks) stops it."""
import argparse
import difflib
import pathlib
import sys
import tomllib
from types import SimpleNamespace

TABLE = pathlib.Path(__file__).with_name("options.toml")
PROGRAM_BITS = {"x11": 1, "wayland": 2, "headless": 4, "page": 8}
# Where a value has no upper bound, the largest that the hosts hold it in (a 64-bit count).
UNBOUNDED = 2**63 - 1
DOCS_BEGIN = "<!-- options table: made from src/options/options.toml, checked by a test -->"
DOCS_END = "<!-- end of the options table -->"


class TableError(Exception):
    pass


def choices_text(choices):
    words = [str(choice) for choice in choices]
    return words[0] if len(words) == 1 else ", ".join(words[:-1]) + " or " + words[-1]


def needs_of(option):
    """What a refusal says the value must be."""
    kind = option["kind"]
    if "needs" in option:
        return option["needs"].format(low=option.get("low"), high=option.get("high"))
    if kind == "whole":
        if "high" in option:
            return f"a whole number from {option['low']} to {option['high']}"
        return f"a whole number of at least {option['low']}"
    if kind == "decimal":
        return f"a decimal number from {option['low']} to {option['high']}"
    if kind == "choice":
        return choices_text(option["choices"])
    if kind == "flag":
        return ""
    raise TableError(f"{option['id']}: a {kind} option needs a 'needs' wording")


def figures(option):
    """The names a text may use for an option's own figures."""
    values = {name: option[name] for name in ("low", "high", "default") if name in option}
    values["needs"] = needs_of(option)
    if "low" in option and "high" in option:
        values["range"] = f"from {option['low']} to {option['high']}"
    if "choices" in option:
        values["choices"] = choices_text(option["choices"])
    return values


class Texts(dict):
    """format_map's view of the table: an option's own figures by name, another's by its id."""

    def __init__(self, own, everyone):
        super().__init__(own)
        self.everyone = everyone

    def __missing__(self, key):
        if key in self.everyone:
            return SimpleNamespace(**self.everyone[key])
        raise TableError(f"no figure or option named {key!r}")


def load(path=TABLE):
    with open(path, "rb") as file:
        table = tomllib.load(file)
    options = {}
    for option in table["option"]:
        option.setdefault("name", option["id"])
        for program in option["programs"]:
            if program not in PROGRAM_BITS:
                raise TableError(f"{option['id']}: no program {program!r}")
        if option["id"] in options:
            raise TableError(f"{option['id']} is declared twice")
        options[option["id"]] = option
    everyone = {identifier: figures(option) for identifier, option in options.items()}

    def text(option, value):
        try:
            return value.format_map(Texts(figures(option), everyone))
        except (TableError, AttributeError) as error:
            raise TableError(f"{option['id']}: {error}") from None

    table["options"] = options
    table["text"] = text
    check_widgets(table)
    return table


def check_widgets(table):
    """Every value a settings widget can pass is one its option accepts."""
    for option in table["options"].values():
        widget = option.get("xscreensaver")
        if not widget:
            continue
        if widget["widget"] == "slider":
            values = [widget["low"], widget["high"], widget["default"]]
            if option["kind"] != "whole" or not all(
                    option["low"] <= value <= option.get("high", UNBOUNDED) for value in values):
                raise TableError(f"{option['id']}: the slider's {values} leave {needs_of(option)}")
        else:
            for entry in widget["options"]:
                if "value" in entry and entry["value"] not in option["choices"]:
                    raise TableError(f"{option['id']}: the menu offers {entry['value']}, not "
                                     f"{needs_of(option)}")


# Each program's -help.

def packed(words, width):
    """The words in lines of at most width characters, a space between two words; a word
    longer than width has a line of its own."""
    lines, line = [], ""
    for word in words:
        if line and len(line) + 1 + len(word) > width:
            lines.append(line)
            line = word
        else:
            line = f"{line} {word}" if line else word
    lines.append(line)
    return lines


def wrap(text, width):
    """The text's own lines, each wrapped at width where it is longer."""
    return [line for paragraph in text.split("\n") for line in packed(paragraph.split(), width)]


def help_text(option, program):
    return option.get(f"help_{program}", option.get("help", ""))


def usage(table, program):
    settings = table["program"][program]
    dash, column = settings["dash"], settings["column"]
    body = []
    for entry in settings["help"]:
        group = [table["options"][identifier] for identifier in
                 (entry if isinstance(entry, list) else [entry])]
        lead = "  " + ", ".join(dash + option["name"] for option in group)
        option = group[0]
        argument = option.get(f"arg_{program}", option.get("arg"))
        if argument:
            lead += " " + argument
        text = table["text"](option, help_text(option, program)).strip("\n")
        if not text:
            body.append(lead)
            continue
        lines = wrap(text, settings["width"] - column)
        if len(lead) <= column - 2:
            body.append(lead.ljust(column) + lines.pop(0))
        else:
            body.append(lead)
        body += [" " * column + line for line in lines]
    return settings["head"] + "\n".join(body) + "\n" + settings["tail"]


# The parsers' table.

def cpp_string(text, indent):
    """A C++ string literal, one source line per line of text."""
    escaped = text.replace("\\", "\\\\").replace('"', '\\"')
    lines = escaped.split("\n")
    pieces = [f'"{line}\\n"' for line in lines[:-1]] + ([f'"{lines[-1]}"'] if lines[-1] else [])
    return ("\n" + " " * indent).join(pieces or ['""'])


def cpp_name(identifier):
    return identifier.replace("-", "_")


def cpp_option(option, programs, name, choices, needs):
    kind = option["kind"]
    default, height = 0, 0
    if "default" in option:
        if kind == "size":
            default, height = (int(side) for side in str(option["default"]).split("x"))
        elif kind in ("whole", "decimal"):
            default = int(option["default"])
    bits = " | ".join(f"{program}_program" for program in programs) or "0"
    choice_list = f"{cpp_name(option['id'])}_choices" if choices else "{}"
    return (f"{{\"{name}\", \"{option.get('alias', '')}\", option_kind::{kind}, {bits}, "
            f"{option.get('low', 0)}u, {option.get('high', UNBOUNDED if kind == 'whole' else 0)}u, "
            f"{choice_list}, {cpp_string(needs, 0)}, {default}, {height}}}")


def header(table):
    options = table["options"].values()
    out = ["// Made by src/options/generate.py from src/options/options.toml: edit the table.",
           "#pragma once", "", '#include "options/option.h"', "", "namespace roses::options {", ""]
    for option in options:
        if "choices" in option:
            out.append(f"inline constexpr std::int32_t {cpp_name(option['id'])}_choices[] = "
                       f"{{{', '.join(map(str, option['choices']))}}};")
    for option in options:
        out.append(f"inline constexpr option {cpp_name(option['id'])}"
                   + cpp_option(option, option["programs"], option["name"],
                                "choices" in option, needs_of(option)) + ";")
    out.append("inline constexpr const option* all[] = {")
    out += [f"    &{cpp_name(option['id'])}," for option in options]
    out.append("};")
    for program, settings in table["program"].items():
        if "help" not in settings:
            continue
        out.append(f"inline constexpr command_line {program}_command_line{{{program}_program,")
        out.append("    " + cpp_string(usage(table, program), 4) + ",")
        out.append(f"    \"{settings['try']}\"}};")
    # The page's view: each key under its page name, with the page's own figures.
    out += ["", "namespace page {"]
    page_options = []
    for option in options:
        if "page" not in option:
            continue
        view = dict(option)
        view.update(option["page"] if isinstance(option["page"], dict) else
                    {"name": option["page"]})
        if "choices" in view:
            out.append(f"inline constexpr std::int32_t {cpp_name(option['id'])}_choices[] = "
                       f"{{{', '.join(map(str, view['choices']))}}};")
        out.append(f"inline constexpr option {cpp_name(option['id'])}"
                   + cpp_option(view, ["page"], view["name"], "choices" in view, needs_of(view))
                   + ";")
        page_options.append(option)
    out.append("inline constexpr const option* all[] = {")
    out += [f"    &{cpp_name(option['id'])}," for option in page_options]
    out += ["};", "} // namespace page", "", "} // namespace roses::options", ""]
    return "\n".join(out)


# The manual page and XScreenSaver's settings.

def troff_name(option):
    return "\\-" + option["name"].replace("-", "\\-")


def manual(table, template):
    entries = []
    for identifier in table["manual"]["order"]:
        option = table["options"][identifier]
        entries.append(".TP 8")
        if "manual_arg" in option:
            entries.append(f".BI {troff_name(option)} {option['manual_arg']}")
        else:
            entries.append(f".B {troff_name(option)}")
        entries.append(table["text"](option, option["manual"]).strip("\n"))
    return fill(template, "@OPTIONS@", "\n".join(entries))


def xml_attributes(pairs, indent, width=94):
    def attribute(name, value):
        value = str(value).replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")
        return f'{name}="{value}"'
    return packed([attribute(name, value) for name, value in pairs], width - len(indent))


def widget(option):
    settings = option["xscreensaver"]
    dash = "-" + option["name"]
    if settings["widget"] == "slider":
        head = f'  <number id="{settings["id"]}" type="slider" arg="{dash} %"'
        rest = xml_attributes([("_label", settings["label"]),
                               ("_low-label", settings["low_label"]),
                               ("_high-label", settings["high_label"]),
                               ("low", settings["low"]), ("high", settings["high"]),
                               ("default", settings["default"])], " " * 10)
        return "\n".join([head] + [" " * 10 + line for line in rest]) + "/>"
    lines = [f'  <select id="{settings["id"]}">']
    for entry in settings["options"]:
        if "value" in entry:
            lines.append(f'    <option id="{settings["id"]}-{entry["value"]}" '
                         f'_label="{entry["label"]}" arg-set="{dash} {entry["value"]}"/>')
        else:
            lines.append(f'    <option id="{settings["id"]}-default" _label="{entry["label"]}"/>')
    lines.append("  </select>")
    return "\n".join(lines)


def xscreensaver(table, template):
    widgets = [widget(option) for option in table["options"].values() if "xscreensaver" in option]
    return fill(template, "@WIDGETS@", "\n\n".join(widgets))


def fill(template, marker, text):
    if template.count(marker) != 1:
        raise TableError(f"the template holds {marker} {template.count(marker)} times")
    return template.replace(marker, text)


# The options table of docs/linux.md: the X11 program's help, one row an option.

def docs_table(table):
    settings = table["program"]["x11"]
    rows = ["| option | what it does |", "|---|---|"]
    for entry in settings["help"]:
        group = [table["options"][identifier] for identifier in
                 (entry if isinstance(entry, list) else [entry])]
        option = group[0]
        argument = option.get("arg_x11", option.get("arg"))
        names = ", ".join(f"`-{member['name']}{' ' + argument if argument else ''}`"
                          for member in group) if len(group) == 1 else \
            ", ".join(f"`-{member['name']}`" for member in group)
        text = " ".join(table["text"](option, help_text(option, "x11")).split())
        rows.append(f"| {names} | {text or option['doc']} |")
    return "\n".join(rows)


def docs(table, path, write):
    document = path.read_text()
    begin, end = document.find(DOCS_BEGIN), document.find(DOCS_END)
    if begin < 0 or end < begin:
        print(f"{path}: no options table between {DOCS_BEGIN!r} and {DOCS_END!r}",
              file=sys.stderr)
        return 1
    have = document[begin + len(DOCS_BEGIN):end].strip("\n")
    want = docs_table(table)
    if have == want:
        return 0
    if write:
        path.write_text(document[:begin + len(DOCS_BEGIN)] + "\n" + want + "\n" + document[end:])
        return 0
    sys.stderr.writelines(difflib.unified_diff(
        have.splitlines(True), (want + "\n").splitlines(True), f"{path}", "the table makes"))
    print(f"\n{path}: its options table is not the table's; "
          f"src/options/generate.py docs {path} --write puts it there", file=sys.stderr)
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--table", type=pathlib.Path, default=TABLE)
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("header").add_argument("output", type=pathlib.Path)
    for name in ("manual", "xscreensaver"):
        command = commands.add_parser(name)
        command.add_argument("template", type=pathlib.Path)
        command.add_argument("output", type=pathlib.Path)
    command = commands.add_parser("docs")
    command.add_argument("file", type=pathlib.Path)
    command.add_argument("--write", action="store_true")
    commands.add_parser("usage").add_argument("program", choices=["x11", "wayland", "headless"])
    arguments = parser.parse_args()
    try:
        table = load(arguments.table)
        if arguments.command == "docs":
            return docs(table, arguments.file, arguments.write)
        if arguments.command == "usage":
            sys.stdout.write(usage(table, arguments.program))
            return 0
        if arguments.command == "header":
            text = header(table)
        else:
            make = manual if arguments.command == "manual" else xscreensaver
            text = make(table, arguments.template.read_text())
    except TableError as error:
        print(f"generate.py: {error}", file=sys.stderr)
        return 1
    # Written only when it changes, so that what includes it is not rebuilt for nothing.
    if not arguments.output.exists() or arguments.output.read_text() != text:
        arguments.output.parent.mkdir(parents=True, exist_ok=True)
        arguments.output.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
