"""Reads a DXF file strictly with ezdxf and prints its 3DFACE entities.

Usage: check_dxf.py FILE
Prints the number of 3DFACE entities, then one line per face with its four
corners as "%.3f" triples. Exits non-zero when the file does not load, holds
any other entity, or an audit finds errors.
"""
import sys

import ezdxf


def main(path):
    doc = ezdxf.readfile(path)
    msp = doc.modelspace()
    faces = msp.query("3DFACE")
    if len(msp) != len(faces):
        print("entities other than 3DFACE", file=sys.stderr)
        return 1
    lines = [str(len(faces))]
    for face in faces:
        if face.dxf.layer != "Body" or face.dxf.color != 8:
            print("face with layer %s colour %s" % (face.dxf.layer, face.dxf.color), file=sys.stderr)
            return 1
        corners = [face.dxf.get(name) for name in ("vtx0", "vtx1", "vtx2", "vtx3")]
        lines.append(" ".join("%.3f %.3f %.3f" % (c.x, c.y, c.z) for c in corners))
    auditor = doc.audit()
    if auditor.has_errors:
        print("audit errors: %d" % len(auditor.errors), file=sys.stderr)
        return 1
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
