#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the program's folders include one another in one direction only.

Each folder is a floor; a file may include headers of its own floor and of the
floors below it, never of one above (that would be a circle in the making).
Prints the drawing of which floor uses which, and exits 1 on an arrow up or a
header found in two folders.

    scripts/check-layers.py [ROOT]
"""
import pathlib
import re
import sys

# Bottom first. A folder may use any folder listed before it.
FLOORS = ["stats", "flowlog", "collect", "flowstore", "viewdata", "metrics", "monitor", "snmp",
          "richtext", "widgets", "views", "sflowcfg", "app", "cli"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    floors = [f for f in FLOORS if (root / f).is_dir()]
    home = {}
    problems = []
    for floor in floors:
        for header in (root / floor).glob("*.h*"):
            if header.name in home:
                problems.append(f"{header.name} is in both {home[header.name]}/ and {floor}/")
            home[header.name] = floor
    # Headers made at build time from a template keep their folder.
    for floor in floors:
        for template in (root / floor).glob("*.h.in"):
            home[template.name[:-3]] = floor
    uses = {f: set() for f in floors}
    for floor in floors:
        for source in sorted((root / floor).glob("*.[ch]*")):
            for name in INCLUDE.findall(source.read_text(encoding="utf-8", errors="replace")):
                target = home.get(pathlib.PurePath(name).name)
                if target is None or target == floor:
                    continue
                uses[floor].add(target)
                if floors.index(target) > floors.index(floor):
                    problems.append(f"{floor}/{source.name} includes {name} from {target}/, a floor above")
    for floor in reversed(floors):
        below = sorted(uses[floor], key=floors.index)
        print(f"{floor:9} -> {', '.join(below) if below else '(nothing)'}")
    for p in problems:
        print("layers:", p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
