#!/usr/bin/env python3
"""Every --json output of orvane-cli, on every virtual preset, against its schema in docs/schema.

    json_schema_check.py ORVANE_CLI SCHEMA_DIR

Runs scan, summary, info (whole, --list, --section 1), backup and compare of the first sectors and
the surface scan and the speed curve on each preset, bench on a disc and on an empty drive, image
list and image verify on an erase backup and on a damaged copy of it, and --version --json; each
output must validate against the schema named after its command and carry the program's version.
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

PRESETS = ["dvdram", "dvdrom", "hdd", "nodisc"]


def load_schemas(folder):
    schemas = {}
    for name in os.listdir(folder):
        if name.endswith(".json"):
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                schemas[name] = json.load(f)
    return schemas


def resolved(node, schemas):
    """The schema with every "file.json#/pointer" reference replaced by what it points at."""
    if isinstance(node, list):
        return [resolved(item, schemas) for item in node]
    if not isinstance(node, dict):
        return node
    ref = node.get("$ref")
    if ref is not None:
        name, _, pointer = ref.partition("#")
        target = schemas[name]
        for part in filter(None, pointer.split("/")):
            target = target[part]
        return resolved(target, schemas)
    return {key: resolved(value, schemas) for key, value in node.items()}


def main():
    cli, folder = os.path.abspath(sys.argv[1]), sys.argv[2]
    schemas = load_schemas(folder)
    version = None
    failures = []
    checked = 0

    def check(command, schema_name, args, codes=(0,)):
        nonlocal checked, version
        run = subprocess.run([cli] + args, capture_output=True, cwd=work, timeout=600)
        case = f"{schema_name}: orvane-cli {' '.join(args)}"
        if run.returncode not in codes:
            failures.append(f"{case}: exit {run.returncode}: {run.stderr.decode(errors='replace')}")
            return None
        try:
            value = json.loads(run.stdout)
            jsonschema.validate(value, resolved(schemas[schema_name + ".json"], schemas))
        except (ValueError, jsonschema.ValidationError) as error:
            failures.append(f"{case}: {str(error).splitlines()[0]}")
            return None
        program = value["program"]["version"]
        if version is None:
            version = program
        elif program != version:
            failures.append(f"{case}: version {program}, not {version}")
        checked += 1
        return value

    with tempfile.TemporaryDirectory() as work:
        check("version", "version", ["--version", "--json"])
        for preset in PRESETS:
            drives = ["--virtual-only", "--virtual", f"E={preset}"]
            check("scan", "scan", drives + ["scan", "--json"])
            check("summary", "summary", drives + ["summary", "E:", "--json"])
            check("info", "info", drives + ["info", "E:", "--json"])
            check("info", "info", drives + ["info", "E:", "--json", "--list"])
            check("info", "info", drives + ["info", "E:", "--json", "--section", "1"])
            # The benchmark takes its 3-second windows on any drive: one with a disc and one
            # without (which cannot be measured, and says so in JSON) show every field.
            if preset in ("dvdram", "nodisc"):
                check("bench", "bench", drives + ["bench", "E:", "--yes", "--json"], codes=(0, 1))
            if preset != "nodisc":
                # The first 2048 sectors, backed up and compared with the disc they came from.
                image = os.path.join(work, f"{preset}.ovi")
                check("backup", "backup", drives + ["backup", "E:", image, "--sectors", "0:2048", "--json"])
                same = check("compare", "compare", drives + ["compare", "E:", image, "--json"])
                check("surface", "surface", drives + ["surface", "E:", "--json"])
                check("bench", "bench-curve", drives + ["bench", "E:", "--curve", os.path.join(work, "curve.svg"),
                                                        "--points", "20", "--json"])
                if same and not same["equal"]:
                    failures.append(f"compare: {preset}: a backup differs from the disc it was taken of")

        disc = os.path.join(work, "disc.img")
        backup = os.path.join(work, "backup.ovi")
        subprocess.run([cli, "--virtual-only", "--virtual", f"E=dvdram:{disc}", "erase", "E:", "--backup", backup,
                        "--yes"], capture_output=True, cwd=work, check=True)
        good = check("image list", "image-list", ["image", "list", backup, "--json"])
        check("image verify", "image-verify", ["image", "verify", backup, "--json"])
        damaged = os.path.join(work, "damaged.ovi")
        with open(backup, "rb") as f:
            data = bytearray(f.read())
        data[100] ^= 0xFF  # inside the first block's compressed data
        with open(damaged, "wb") as f:
            f.write(data[:-1])  # and without the closing byte: an incomplete walk
        listed = check("image list", "image-list", ["image", "list", damaged, "--json"], codes=(1,))
        verified = check("image verify", "image-verify", ["image", "verify", damaged, "--json"], codes=(1,))
        if good and not good["good"]:
            failures.append("image list: the erase's backup is not good")
        if listed and (listed["complete"] or listed["walk"] is None):
            failures.append("image list: a file without its closing byte is complete")
        if verified and (verified["good"] or verified["bad"] < 1 or verified["blocks"][0]["fault"] is None):
            failures.append("image verify: a damaged block is not named bad")

    for failure in failures:
        print("FAIL", failure)
    print(f"{checked} outputs validated, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
