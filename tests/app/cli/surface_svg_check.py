#!/usr/bin/env python3
"""The pictures orvane-cli draws are well-formed XML and claim what the scan found.

    surface_svg_check.py ORVANE_CLI

Scans a small virtual disc, clean and with bad and weak sectors, with --svg and --json: the legend's
counts are the JSON's, a cell is red exactly when a sector is bad, and the curve has one point per
speed point read; the scan and the curve alone on every preset. The disc's own image is never written as the picture or the map.
"""
import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
CASES = [  # name, media faults, legend counts good/slow/recovered/bad, exit code
    ("clean", "", (4000, 0, 0, 0), 0),
    ("bad and weak", ":bad=300+5:weak=700+3+3", (3992, 0, 3, 5), 1),
]


def main():
    cli = os.path.abspath(sys.argv[1])
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for name, faults, counts, code in CASES:
            disc, svg = os.path.join(work, "disc.img"), os.path.join(work, name + ".svg")
            with open(disc, "wb") as f:
                f.truncate(4000 * 2048)
            run = subprocess.run([cli, "--virtual-only", "--virtual", f"E=dvdram:{disc}{faults}", "surface", "E:",
                                  "--svg", svg, "--json"], capture_output=True, cwd=work, timeout=120)
            if run.returncode != code:
                failures.append(f"{name}: exit {run.returncode}: {run.stderr.decode(errors='replace')}")
                continue
            scan = json.loads(run.stdout)
            root = ET.parse(svg).getroot()
            legend = {t.get("id")[len("count-"):]: int(t.text.replace(",", ""))
                      for t in root.iter(SVG + "text") if (t.get("id") or "").startswith("count-")}
            claimed = (legend["g"], legend["s"], legend["r"], legend["b"])
            if claimed != counts or claimed != tuple(scan["counts"][k] for k in ("good", "slow", "recovered", "bad")):
                failures.append(f"{name}: the legend claims {claimed}, the scan found {scan['counts']}")
            grid = [r for r in root.iter(SVG + "rect") if r.get("height") == "9"]
            # A cell is 10 units wide less the 1 of white between: the grid's 1200 cells, each drawn once.
            drawn = sum((float(r.get("width")) + 1) / 10 for r in grid)
            if drawn != 1200:
                failures.append(f"{name}: the grid draws {drawn} cells")
            red = sum(1 for r in grid if r.get("class") == "b")
            if (red > 0) != (counts[3] > 0):
                failures.append(f"{name}: {red} red cells for {counts[3]} bad sectors")
            lines = [p for p in root.iter(SVG + "polyline") if p.get("class") == "max"]
            points = sum(len(p.get("points").split()) for p in lines)
            read = sum(1 for p in scan["curve"] if p["maxBytesPerSecond"] > 0)
            if points != read:
                failures.append(f"{name}: the curve draws {points} points of the {read} read")
        # Every preset: the scan and the curve alone draw pictures, in multiples of 1x for the
        # DVD drives (their current profile) and in MB/s alone for the disk; no disc, no picture.
        for preset, scale in (("dvdram", True), ("dvdrom", True), ("hdd", False), ("nodisc", None)):
            disc = os.path.join(work, preset + ".img")
            with open(disc, "wb") as f:
                f.truncate(4000 * 2048)
            for command in (["surface", "E:", "--svg"], ["bench", "E:", "--points", "20", "--curve"]):
                svg = os.path.join(work, f"{preset}-{command[0]}.svg")
                drive = f"E={preset}" if scale is None else f"E={preset}:{disc}"
                run = subprocess.run([cli, "--virtual-only", "--virtual", drive, *command, svg],
                                     capture_output=True, cwd=work, timeout=120)
                if scale is None:
                    if run.returncode != 1 or b"has no readable disc" not in run.stderr or os.path.exists(svg):
                        failures.append(f"{preset} {command[0]}: exit {run.returncode}, {run.stderr!r}")
                    continue
                texts = [t.text for t in ET.parse(svg).getroot().iter(SVG + "text")] if run.returncode == 0 else []
                if run.returncode != 0 or ("x" in texts) != scale:
                    failures.append(f"{preset} {command[0]}: exit {run.returncode}, 1x scale {'x' in texts}")
        # The disc's own image named as the picture or the map is refused, and left as it was.
        for option in ("--svg", "--map"):
            run = subprocess.run([cli, "--virtual-only", "--virtual", f"E=dvdram:{disc}", "surface", "E:", option,
                                  disc], capture_output=True, cwd=work, timeout=120)
            if run.returncode != 1 or os.path.getsize(disc) != 4000 * 2048:
                failures.append(f"{option} onto the disc's image: exit {run.returncode}, {os.path.getsize(disc)} bytes")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
