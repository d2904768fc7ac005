#!/usr/bin/python3
"""Independent check of the drawings the DXF writer tests leave in a folder.

Every NAME.dxf under the folder must come with NAME.json, the summary the
C++ test recorded of what it wrote. Each drawing is read by ezdxf strictly
(ezdxf.readfile) and audited (both must pass; the audit alone accepts a file
without its EOF), and what ezdxf finds - entity counts per layer and type,
polyline vertices per layer, the extents of the definition points, and
every entity's type, layer, numbers and text in file order - must match the
summary. The raw bytes are checked too: every line ends "\\r\\n"
and the last line is "EOF".

Usage: check_dxf_ezdxf.py FOLDER
"""

import json
import math
import pathlib
import sys

import ezdxf

LAYERS = ["0", "SHEET", "PARTS", "HOLES", "ANNOTATION"]


def definition_points(entity):
    kind = entity.dxftype()
    if kind == "LINE":
        return [entity.dxf.start, entity.dxf.end]
    if kind == "POLYLINE":
        return [v.dxf.location for v in entity.vertices]
    if kind == "TEXT":
        return [entity.dxf.insert]
    if kind in ("CIRCLE", "ARC"):
        return [entity.dxf.center]
    raise ValueError("unexpected entity " + kind)


def entity_record(entity):
    """The numbers and text the C++ summary records for an entity."""
    kind = entity.dxftype()
    dxf = entity.dxf
    text = ""
    if kind == "LINE":
        values = [dxf.start[0], dxf.start[1], dxf.end[0], dxf.end[1]]
    elif kind == "POLYLINE":
        values = [c for v in entity.vertices for c in (v.dxf.location[0], v.dxf.location[1])]
    elif kind == "TEXT":
        values = [dxf.insert[0], dxf.insert[1], dxf.height]
        text = dxf.text
    elif kind == "CIRCLE":
        values = [dxf.center[0], dxf.center[1], dxf.radius]
    elif kind == "ARC":
        values = [dxf.center[0], dxf.center[1], dxf.radius, dxf.start_angle, dxf.end_angle]
    else:
        values = []
    return {"type": kind, "layer": dxf.layer, "values": values, "text": text}


def compare_entities(found, written):
    if len(found) != len(written):
        return ["%d entities, written %d" % (len(found), len(written))]
    problems = []
    for i, (f, w) in enumerate(zip(found, written)):
        same = (f["type"] == w["type"] and f["layer"] == w["layer"] and f["text"] == w["text"]
                and len(f["values"]) == len(w["values"])
                and all(abs(a - b) <= 1e-9 for a, b in zip(f["values"], w["values"])))
        if not same:
            problems.append("entity %d is %s, written %s" % (i, f, w))
    return problems[:5]


def check_bytes(data):
    problems = []
    if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
        problems.append("a line does not end with CR LF")
    if not data.endswith(b"\r\n0\r\nEOF\r\n"):
        problems.append("the file does not end with the EOF group")
    return problems


def check_drawing(path, expected):
    problems = check_bytes(path.read_bytes())
    try:
        doc = ezdxf.readfile(str(path))
    except (IOError, ezdxf.DXFError) as e:
        return problems + ["strict read failed: %s" % e]

    auditor = doc.audit()
    if auditor.has_errors:
        problems += ["audit error: %s" % e.message for e in auditor.errors]
    if auditor.has_fixes:
        problems += ["audit fix: %s" % f.message for f in auditor.fixes]
    if doc.dxfversion != "AC1009":
        problems.append("version %s, not AC1009" % doc.dxfversion)
    names = {layer.dxf.name for layer in doc.layers}
    for layer in LAYERS:
        if layer not in names:
            problems.append("layer %s missing" % layer)

    counts = {}
    vertices = {}
    xs, ys = [], []
    records = []
    for entity in doc.modelspace():
        records.append(entity_record(entity))
        layer = entity.dxf.layer
        kind = entity.dxftype()
        counts.setdefault(layer, {}).setdefault(kind, 0)
        counts[layer][kind] += 1
        if kind == "POLYLINE":
            if not entity.is_closed:
                problems.append("open POLYLINE on %s" % layer)
            vertices[layer] = vertices.get(layer, 0) + len(entity.vertices)
        for p in definition_points(entity):
            if not (math.isfinite(p[0]) and math.isfinite(p[1])):
                problems.append("non-finite point in %s on %s" % (kind, layer))
            xs.append(p[0])
            ys.append(p[1])

    if counts != expected["counts"]:
        problems.append("entities %s, written %s" % (counts, expected["counts"]))
    problems += compare_entities(records, expected["entities"])
    if vertices != expected["vertices"]:
        problems.append("vertices %s, written %s" % (vertices, expected["vertices"]))
    if "extents" in expected:
        if not xs:
            problems.append("no entities, written extents %s" % expected["extents"])
        else:
            found = [min(xs), min(ys), max(xs), max(ys)]
            if any(abs(a - b) > 1e-6 for a, b in zip(found, expected["extents"])):
                problems.append("extents %s, written %s" % (found, expected["extents"]))
    elif xs:
        problems.append("entities found where none were written")
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    folder = pathlib.Path(argv[1])
    drawings = sorted(p for p in folder.rglob("*.dxf") if p.is_file())
    if not drawings:
        print("no drawings under %s" % folder)
        return 1
    failed = 0
    for path in drawings:
        summary = path.with_suffix(".json")
        if not summary.exists():
            problems = ["no summary beside it"]
        else:
            problems = check_drawing(path, json.loads(summary.read_text(encoding="utf-8")))
        name = path.relative_to(folder)
        if problems:
            failed += 1
            print("FAIL %s" % name)
            for p in problems:
                print("  " + p)
        else:
            print("ok   %s" % name)
    print("%d drawings checked with ezdxf %s, %d failed" % (len(drawings), ezdxf.__version__, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
