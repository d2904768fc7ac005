#!/usr/bin/python3
"""Writes the generated DXF fixtures with ezdxf (an independent DXF writer) and
the table of expected parts for every fixture that the DXF tests load.

Run with Debian's python3 (python3-ezdxf 0.18):  /usr/bin/python3 make_fixtures.py
Outputs are committed; rerun only when a fixture changes. A rerun gives every
drawing new time stamps and GUIDs in its header: commit only the drawings
whose entities changed.

Expected values come from the drawings' own geometry: analytic areas for the
drawings made here, and for the copied real drawings an independent loop
analysis below (edges chained by their end points, arcs flattened finely by
ezdxf, loops nested by point-in-polygon).
"""

import math
import os
import random

import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))


def new_doc(units=4):
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = units
    return doc, doc.modelspace()


def save(doc, name):
    doc.saveas(os.path.join(HERE, name))


def rect(x, y, w, h):
    return [(x, y), (x + w, y), (x + w, y + h), (x, y + h)]


def rounded_rect_entities(x, y, w, h, r):
    """Four LINEs and four ARCs (counter-clockwise, as DXF arcs are)."""
    lines = [
        ((x + r, y), (x + w - r, y)),
        ((x + w, y + r), (x + w, y + h - r)),
        ((x + w - r, y + h), (x + r, y + h)),
        ((x, y + h - r), (x, y + r)),
    ]
    arcs = [
        ((x + w - r, y + r), r, 270, 360),
        ((x + w - r, y + h - r), r, 0, 90),
        ((x + r, y + h - r), r, 90, 180),
        ((x + r, y + r), r, 180, 270),
    ]
    return [("LINE", l) for l in lines] + [("ARC", a) for a in arcs]


def slot_entities(cx, cy, length, r):
    """An obround: two half circles joined by two lines."""
    x0, x1 = cx - length / 2, cx + length / 2
    return [
        ("LINE", ((x0, cy - r), (x1, cy - r))),
        ("ARC", ((x1, cy), r, 270, 90)),
        ("LINE", ((x1, cy + r), (x0, cy + r))),
        ("ARC", ((x0, cy), r, 90, 270)),
    ]


def add_shuffled(msp, entities, rng):
    entities = list(entities)
    rng.shuffle(entities)
    for kind, data in entities:
        if kind == "LINE":
            a, b = data
            if rng.random() < 0.5:
                a, b = b, a
            msp.add_line(a, b)
        else:
            centre, r, start, end = data
            msp.add_arc(centre, r, start, end)


def rounded_rect_area(w, h, r):
    return w * h - (4 - math.pi) * r * r


def slot_area(length, r):
    return 2 * r * length + math.pi * r * r


def bulge_segment_area(chord, bulge):
    """Area between a bulged segment's arc and its chord."""
    sweep = 4 * math.atan(abs(bulge))
    r = chord / (2 * math.sin(sweep / 2))
    return r * r / 2 * (sweep - math.sin(sweep))


def flattening_allowance(total_sweep, area, tol=2.0):
    """Relative area error the reader may make on arcs of this total sweep
    (radians): chords of at most tol stray from an arc of radius r by at most
    tol^2 / (8 r) along its length r * sweep."""
    return total_sweep * tol * tol / 8 / area


def shoelace(points):
    s = 0.0
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        s += x0 * y1 - x1 * y0
    return abs(s) / 2


# ---------------------------------------------------------------------------
# Generated drawings: (file, parts, holes, total net area, relative tolerance)
# The tolerance covers the reader's flattening of arcs into chords.
# ---------------------------------------------------------------------------

def make_generated():
    rows = []
    rng = random.Random(20240611)

    # Closed LWPOLYLINE outline with two LWPOLYLINE holes; a collinear extra
    # vertex on the bottom edge, and a bulge of 0.5 that swells the second
    # hole's bottom side out of its rectangle.
    doc, msp = new_doc()
    outer = [(0, 0), (50, 0), (100, 0), (100, 60), (0, 60)]
    msp.add_lwpolyline(outer, close=True)
    msp.add_lwpolyline(rect(10, 10, 20, 10), close=True)
    msp.add_lwpolyline([(60, 35, 0, 0, 0.5), (80, 35), (80, 45), (60, 45)], format="xyseb", close=True)
    save(doc, "plate_lwpoly_holes.dxf")
    area = 6000 - 200 - 200 - bulge_segment_area(20, 0.5)
    rows.append(("plate_lwpoly_holes.dxf", 1, 2, area, flattening_allowance(4 * math.atan(0.5), area)))

    # A 100 x 40 obround plate as one LWPOLYLINE: two half-circle bulges, the
    # second on the closing segment.
    doc, msp = new_doc()
    msp.add_lwpolyline([(20, 0, 0), (80, 0, 1), (80, 40, 0), (20, 40, 1)], format="xyb", close=True)
    save(doc, "bulge_obround_plate.dxf")
    area = slot_area(60, 20)
    rows.append(("bulge_obround_plate.dxf", 1, 0, area, flattening_allowance(2 * math.pi, area)))

    # A 120 x 80 plate with rounded corners (radius 10) drawn clockwise, so
    # its corner bulges are negative, the last on the closing segment; a
    # half-circle notch (radius 15) in its top side bulges the other way. An
    # obround slot hole drawn counter-clockwise with positive bulges.
    doc, msp = new_doc()
    q = -math.tan(math.pi / 8)
    msp.add_lwpolyline([(0, 10, 0), (0, 70, q), (10, 80, 0), (45, 80, 1), (75, 80, 0), (110, 80, q),
                        (120, 70, 0), (120, 10, q), (110, 0, 0), (10, 0, q)], format="xyb", close=True)
    msp.add_lwpolyline([(40, 27, 0), (80, 27, 1), (80, 43, 0), (40, 43, 1)], format="xyb", close=True)
    save(doc, "bulge_plate_slot.dxf")
    area = rounded_rect_area(120, 80, 10) - math.pi * 15 * 15 / 2 - slot_area(40, 8)
    rows.append(("bulge_plate_slot.dxf", 1, 1, area, flattening_allowance(5 * math.pi, area)))

    # LWPOLYLINE plate with three CIRCLE holes.
    doc, msp = new_doc()
    msp.add_lwpolyline(rect(0, 0, 120, 80), close=True)
    for cx in (30, 60, 90):
        msp.add_circle((cx, 40), 10)
    save(doc, "plate_circle_holes.dxf")
    rows.append(("plate_circle_holes.dxf", 1, 3, 9600 - 3 * math.pi * 100, 0.005))

    # Two rounded plates of LINEs and ARCs, each with an obround slot, every
    # entity in random order and lines in random direction.
    doc, msp = new_doc()
    ents = rounded_rect_entities(0, 0, 100, 50, 10) + slot_entities(50, 25, 40, 8)
    ents += rounded_rect_entities(150, 0, 60, 40, 5) + slot_entities(180, 20, 20, 5)
    add_shuffled(msp, ents, rng)
    save(doc, "arcs_lines_shuffled.dxf")
    area = (rounded_rect_area(100, 50, 10) - slot_area(40, 8) + rounded_rect_area(60, 40, 5) - slot_area(20, 5))
    rows.append(("arcs_lines_shuffled.dxf", 2, 2, area, 0.005))

    # A closed outline drawn as one clamped cubic SPLINE whose first and last
    # control points coincide.
    doc, msp = new_doc()
    ctrl = [(0, 0), (40, -20), (90, 0), (110, 40), (80, 80), (30, 90), (-10, 50), (0, 0)]
    spline = msp.add_open_spline(ctrl, degree=3)
    save(doc, "spline_outline.dxf")
    tool = spline.construction_tool()
    pts = [(p.x, p.y) for p in tool.approximate(segments=20000)]
    rows.append(("spline_outline.dxf", 1, 0, shoelace(pts[:-1]), 0.005))

    # A plate drawn in inches: the reader keeps drawing units.
    doc, msp = new_doc(units=1)
    msp.add_lwpolyline(rect(0, 0, 4, 2), close=True)
    msp.add_circle((1, 1), 0.5)
    save(doc, "inch_plate.dxf")
    rows.append(("inch_plate.dxf", 1, 1, 8 - math.pi * 0.25, 0.005))

    # Only one closed square survives: an open U of three lines, an open
    # LWPOLYLINE, an old POLYLINE, a text and an ellipse are no parts.
    doc, msp = new_doc()
    msp.add_line((0, 0), (100, 0))
    msp.add_line((100, 0), (100, 100))
    msp.add_line((100, 100), (0, 100))
    msp.add_lwpolyline(rect(200, 0, 50, 50), close=False)
    msp.add_polyline2d(rect(300, 0, 50, 50), close=True)
    msp.add_text("PLATE 1").set_placement((0, 150))
    msp.add_ellipse((500, 0), major_axis=(40, 0), ratio=0.5)
    for a, b in [((400, 0), (430, 0)), ((430, 30), (430, 0)), ((430, 30), (400, 30)), ((400, 0), (400, 30))]:
        msp.add_line(a, b)
    save(doc, "open_chains.dxf")
    rows.append(("open_chains.dxf", 1, 0, 900.0, 1e-9))

    # Three concentric circles: one part with two holes (an island inside a
    # hole is a further hole of the same part).
    doc, msp = new_doc()
    for r in (10, 50, 30):
        msp.add_circle((0, 0), r)
    save(doc, "concentric_circles.dxf")
    rows.append(("concentric_circles.dxf", 1, 2, math.pi * (2500 - 900 - 100), 0.01))

    # An L-shaped outline with a small square in its notch: two parts.
    doc, msp = new_doc()
    msp.add_lwpolyline([(0, 0), (100, 0), (100, 40), (40, 40), (40, 100), (0, 100)], close=True)
    msp.add_lwpolyline(rect(60, 60, 20, 20), close=True)
    save(doc, "l_with_notch_square.dxf")
    rows.append(("l_with_notch_square.dxf", 2, 0, 6400 + 400, 1e-9))

    # A square drawn inside a block definition that is never inserted: the
    # reader takes block entities like drawing entities.
    doc, msp = new_doc()
    block = doc.blocks.new("PLATE")
    block.add_lwpolyline(rect(0, 0, 30, 20), close=True)
    save(doc, "block_only.dxf")
    rows.append(("block_only.dxf", 1, 0, 600.0, 1e-9))
    return rows


# ---------------------------------------------------------------------------
# Independent loop analysis of the copied real drawings.
# ---------------------------------------------------------------------------

def edges_of(doc):
    """(start, end, points) per LINE/ARC, and closed loops of CIRCLE/closed LWPOLYLINE."""
    edges, loops = [], []
    for e in doc.modelspace():
        t = e.dxftype()
        if t == "LINE":
            a, b = e.dxf.start, e.dxf.end
            edges.append([(a.x, a.y), (b.x, b.y)])
        elif t == "ARC":
            edges.append([(p.x, p.y) for p in e.flattening(0.0005)])
        elif t == "CIRCLE":
            loops.append([(p.x, p.y) for p in e.flattening(0.0005)][:-1])
        elif t == "LWPOLYLINE" and e.closed:
            loops.append([(p[0], p[1]) for p in e.get_points()])
    return edges, loops


def chain_loops(edges, tol=0.2):
    near = lambda p, q: math.hypot(p[0] - q[0], p[1] - q[1]) <= tol
    unused = list(range(len(edges)))
    loops = []
    while unused:
        cur = list(edges[unused.pop(0)])
        grown = True
        while grown:
            grown = False
            for k in list(unused):
                e = edges[k]
                if near(cur[-1], e[0]):
                    cur += e[1:]
                elif near(cur[-1], e[-1]):
                    cur += e[::-1][1:]
                else:
                    continue
                unused.remove(k)
                grown = True
                break
        if len(cur) >= 4 and near(cur[0], cur[-1]):
            loops.append(cur[:-1])
    return loops


def inside(p, poly):
    x, y = p
    c = False
    for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
        if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
            c = not c
    return c


def analyse(name):
    doc = ezdxf.readfile(os.path.join(HERE, name))
    edges, loops = edges_of(doc)
    loops += chain_loops(edges)
    loops = [l for l in loops if shoelace(l) > 0]
    loops.sort(key=shoelace, reverse=True)
    roots = []  # [area, holes]
    owner = []
    for i, l in enumerate(loops):
        parent = None
        for j in range(i):
            if inside(l[0], loops[j]) or inside(l[len(l) // 2], loops[j]):
                parent = j
        if parent is None:
            owner.append(len(roots))
            roots.append([shoelace(l), 0])
        else:
            owner.append(owner[parent])
            roots[owner[parent]][0] -= shoelace(l)
            roots[owner[parent]][1] += 1
    parts = [r for r in roots if r[0] >= 1.0]
    return (name, len(parts), sum(r[1] for r in parts), sum(r[0] for r in parts))


BULGED = ["plate_lwpoly_holes.dxf", "bulge_obround_plate.dxf", "bulge_plate_slot.dxf"]

REAL = [
    ("dns__200x100With160x80Hole.dxf", 1e-9),
    ("dns__20x20outer10x10hole.dxf", 1e-9),
    ("dns__Donut.dxf", 1e-9),
    ("dns___4.dxf", 0.01),
    ("dxfp__arc1.dxf", 0),
    ("dxfp__polylines.dxf", 0),
]


def main():
    rows = make_generated()
    for name, tol in REAL:
        n, parts, holes, area = analyse(name)
        rows.append((n, parts, holes, area, tol))
    with open(os.path.join(HERE, "expected_parts.tsv"), "w", newline="\n") as f:
        f.write("# file\tparts\tholes\tnet_area\trelative_tolerance  (written by make_fixtures.py)\n")
        for name, parts, holes, area, tol in rows:
            f.write(f"{name}\t{parts}\t{holes}\t{area:.9g}\t{tol:g}\n")

    # The straight and arc segments of every polyline of the bulged drawings,
    # as ezdxf explodes them (arcs counter-clockwise from start to end angle,
    # degrees), for a check that every point read lies on its outline.
    with open(os.path.join(HERE, "bulge_outlines.tsv"), "w", newline="\n") as f:
        f.write("# file\tLINE x0 y0 x1 y1 | ARC cx cy r start end  (ezdxf, written by make_fixtures.py)\n")
        for name in BULGED:
            doc = ezdxf.readfile(os.path.join(HERE, name))
            for e in doc.modelspace().query("LWPOLYLINE"):
                for v in e.virtual_entities():
                    if v.dxftype() == "LINE":
                        a, b = v.dxf.start, v.dxf.end
                        f.write(f"{name}\tLINE\t{a.x!r}\t{a.y!r}\t{b.x!r}\t{b.y!r}\n")
                    else:
                        c = v.dxf.center
                        f.write(f"{name}\tARC\t{c.x!r}\t{c.y!r}\t{v.dxf.radius!r}\t"
                                f"{v.dxf.start_angle!r}\t{v.dxf.end_angle!r}\n")

    # Points of the real splines at the parameters the reader samples, for a
    # check of the B-spline evaluation against ezdxf's own.
    doc = ezdxf.readfile(os.path.join(HERE, "dxfp__splines.dxf"))
    with open(os.path.join(HERE, "dxfp__splines_points.tsv"), "w", newline="\n") as f:
        f.write("# spline\tt\tx\ty  (ezdxf evaluation, written by make_fixtures.py)\n")
        for k, e in enumerate(doc.modelspace().query("SPLINE")):
            tool = e.construction_tool()
            knots = list(e.knots)
            ctrl = list(e.control_points)
            n, p = len(ctrl), min(e.dxf.degree, len(ctrl) - 1)
            t0, t1 = knots[p], knots[n]
            length = sum(math.dist(ctrl[i][:2], ctrl[i + 1][:2]) for i in range(n - 1))
            s = min(max(math.ceil(length / max(0.6 * 2.0, 0.35)), 32), 900)
            for i in range(0, s + 1, 50):
                t = (i / s) * (t1 - t0) + t0
                pt = tool.point(t)
                f.write(f"{k}\t{t!r}\t{pt.x!r}\t{pt.y!r}\n")


if __name__ == "__main__":
    main()
