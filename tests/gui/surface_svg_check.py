#!/usr/bin/env python3
"""The picture the surface window saved is well-formed XML and its legend holds the counts of the
map saved beside it.    surface_svg_check.py FOLDER (with surface.svg and surface.map)"""
import os
import sys
import xml.etree.ElementTree as ET

folder = sys.argv[1]
counts = {"done": 0, "slow": 0, "recovered": 0, "bad": 0, "not-tried": 0}
with open(os.path.join(folder, "surface.map")) as f:
    for line in f:
        parts = line.split()
        if len(parts) == 3 and not line.startswith("#") and parts[2] in counts:
            counts[parts[2]] += int(parts[1])
legend = {e.get("id"): int(e.text.replace(",", "")) for e in ET.parse(os.path.join(folder, "surface.svg")).iter()
          if (e.get("id") or "").startswith("count-")}
want = {"count-g": counts["done"], "count-s": counts["slow"], "count-r": counts["recovered"],
        "count-b": counts["bad"], "count-n": counts["not-tried"]}
print("legend", legend, "map", want)
sys.exit(0 if legend == want and want["count-b"] == 8 else 1)
