#!/usr/bin/env python3
"""An independent keyed-archive reader and writer built on plistlib, for the keyed archiver tests.

  keyed_archive.py inspect FILE   prints, as JSON, the layout of the archive in FILE and its root objects resolved
  keyed_archive.py write DIR      writes sound and damaged archives into DIR
"""
import json
import os
import plistlib
import struct
import sys
from plistlib import UID


def inspect(path):
    with open(path, "rb") as f:
        raw = f.read()
    assert raw.startswith(b"bplist00"), "not a binary property list"
    archive = plistlib.loads(raw)
    objects = archive["$objects"]
    class_dicts = [o for o in objects if isinstance(o, dict) and "$classname" in o]

    def resolve(value, seen=()):
        if isinstance(value, UID):
            if value.data == 0:
                return None
            assert value.data not in seen, "cycle"
            return resolve(objects[value.data], seen + (value.data,))
        if isinstance(value, bytes):
            return {"data": value.hex()}
        if isinstance(value, dict):
            klass = objects[value["$class"].data]
            name = klass["$classname"]
            if name in ("NSArray", "NSMutableArray"):
                return [resolve(v, seen) for v in value["NS.objects"]]
            if name in ("NSDictionary", "NSMutableDictionary"):
                keys = [resolve(k, seen) for k in value["NS.keys"]]
                return dict(zip(keys, [resolve(v, seen) for v in value["NS.objects"]]))
            if name == "NSDate":
                return {"time": value["NS.time"]}
            if name == "NSURL":
                return {"url": resolve(value["NS.relative"], seen), "base": resolve(value["NS.base"], seen)}
            out = {"class": name, "keys": list(value.keys())}
            for k, v in value.items():
                if k != "$class":
                    out[k] = resolve(v, seen) if isinstance(v, UID) else v
            return out
        return value

    print(json.dumps({
        "archiver": archive["$archiver"],
        "version": archive["$version"],
        "rootKeys": list(archive.keys()),
        "topKeys": list(archive["$top"].keys()),
        "topUids": {k: v.data for k, v in archive["$top"].items() if isinstance(v, UID)},
        "first": objects[0],
        "objectCount": len(objects),
        "classes": {c["$classname"]: c["$classes"] for c in class_dicts},
        "classDictCount": len(class_dicts),
        "objectUids": {k: [u.data for u in v.get("NS.objects", [])]
                       for k, v in (("u%d" % i, o) for i, o in enumerate(objects)) if isinstance(v, dict)},
        "top": {k: resolve(v) for k, v in archive["$top"].items()},
    }, default=repr))


class Writer:
    """Writes a keyed archive the way the platform does, with its own object table."""

    def __init__(self):
        self.objects = ["$null"]
        self.classes = {}

    def add(self, value):
        self.objects.append(value)
        return UID(len(self.objects) - 1)

    def klass(self, *chain):
        if chain[0] not in self.classes:
            self.classes[chain[0]] = self.add({"$classes": list(chain), "$classname": chain[0]})
        return self.classes[chain[0]]

    def obj(self, chain, **fields):
        # "$class" first here, to show that readers do not depend on the key order.
        return self.add({"$class": self.klass(*chain), **fields})

    def archive(self, top):
        return plistlib.dumps({"$archiver": "NSKeyedArchiver", "$version": 100000, "$top": top,
                               "$objects": self.objects}, fmt=plistlib.FMT_BINARY)


def independent():
    w = Writer()
    shared = w.add("shared text")
    mdata = w.obj(("NSMutableData", "NSData", "NSObject"), **{"NS.data": b"\x00\x01\xfe\xff"})
    mstring = w.obj(("NSMutableString", "NSString", "NSObject"), **{"NS.string": "mutable \u00e9t\u00e9"})
    base = w.obj(("NSURL", "NSObject"), **{"NS.base": UID(0), "NS.relative": w.add("http://127.0.0.1/a/b/")})
    url = w.obj(("NSURL", "NSObject"), **{"NS.base": base, "NS.relative": w.add("c/d.txt")})
    date = w.obj(("NSDate", "NSObject"), **{"NS.time": 86400.5})
    record = w.obj(("OXTestRecord", "NSObject"), **{"name": shared, "count": 42, "ratio": 0.25, "on": True,
                                                     "$$dollar": w.add("escaped")})
    inner = w.obj(("NSArray", "NSObject"), **{"NS.objects": [shared, w.add(-7), w.add(2.5), w.add(False)]})
    mlist = w.obj(("NSMutableArray", "NSArray", "NSObject"),
                  **{"NS.objects": [inner, mstring, mdata, UID(0), date, url, record, record]})
    k1, k2 = w.add("list"), w.add("sameList")
    mdict = w.obj(("NSMutableDictionary", "NSDictionary", "NSObject"),
                  **{"NS.keys": [k1, k2], "NS.objects": [mlist, mlist]})
    return w.archive({"root": mdict, "text": shared, "number": 12345678901, "flag": False})


def cyclic():
    # An array whose only element is itself.
    w = Writer()
    w.objects.append(None)
    w.objects[1] = {"$class": w.klass("NSArray", "NSObject"), "NS.objects": [UID(1)]}
    return w.archive({"root": UID(1)})


def two_cycle():
    # Two dictionaries holding each other.
    w = Writer()
    w.objects += [None, None, "k"]
    cls = w.klass("NSDictionary", "NSObject")
    w.objects[1] = {"$class": cls, "NS.keys": [UID(3)], "NS.objects": [UID(2)]}
    w.objects[2] = {"$class": cls, "NS.keys": [UID(3)], "NS.objects": [UID(1)]}
    return w.archive({"root": UID(1)})


def deep(levels):
    w = Writer()
    cls = w.klass("NSArray", "NSObject")
    first = len(w.objects)
    for i in range(levels):
        w.objects.append({"$class": cls, "NS.objects": [UID(first + i + 1)] if i + 1 < levels else []})
    return w.archive({"root": UID(first)})


def fanout(levels):
    # Arrays that each hold the next one twice: 2^levels arrays when every reference is read out.
    w = Writer()
    cls = w.klass("NSArray", "NSObject")
    first = len(w.objects)
    for i in range(levels):
        refs = [UID(first + i + 1)] * 2 if i + 1 < levels else []
        w.objects.append({"$class": cls, "NS.objects": refs})
    return w.archive({"root": UID(first)})


def bad_uid():
    w = Writer()
    arr = w.obj(("NSArray", "NSObject"), **{"NS.objects": [UID(1000)]})
    return w.archive({"root": arr})


def wrong_kind():
    w = Writer()
    arr = w.obj(("NSArray", "NSObject"), **{"NS.objects": "not a list"})
    return w.archive({"root": arr})


def unknown_class():
    w = Writer()
    return w.archive({"root": w.obj(("NSNoSuchThing", "NSObject"))})


def raw_bplist(objects, top=0):
    """A binary property list from raw object bytes; references and offsets are 4 bytes wide."""
    out = bytearray(b"bplist00")
    offsets = []
    for o in objects:
        offsets.append(len(out))
        out += o
    table = len(out)
    for o in offsets:
        out += struct.pack(">I", o)
    out += bytes(6) + bytes([4, 4]) + struct.pack(">QQQ", len(objects), top, table)
    return bytes(out)


def raw_array(refs):
    head = bytes([0xA0 | len(refs)]) if len(refs) < 15 else bytes([0xAF, 0x12]) + struct.pack(">I", len(refs))
    return head + b"".join(struct.pack(">I", r) for r in refs)


def write(folder):
    files = {
        "independent.bin": independent(),
        "cyclic.bin": cyclic(),
        "two_cycle.bin": two_cycle(),
        "deep_objects.bin": deep(2000),
        "nested_ok.bin": deep(100),
        "fanout_ok.bin": fanout(10),
        "keyed_fanout.bin": fanout(40),
        "bad_uid.bin": bad_uid(),
        "wrong_kind.bin": wrong_kind(),
        "unknown_class.bin": unknown_class(),
        "nul_key.bin": Writer().archive({"root": UID(0), "a\x00b": 1}),
        # Property-list level: 200,000 nested arrays; 40 arrays that each hold the next one twice (2^40 copies);
        # an array that holds itself.
        "plist_deep.bin": raw_bplist([raw_array([i + 1]) for i in range(200000)] + [b"\x08"]),
        "plist_fanout.bin": raw_bplist([raw_array([i + 1, i + 1]) for i in range(40)] + [b"\x08"]),
        "plist_cycle.bin": raw_bplist([raw_array([0])]),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    if sys.argv[1] == "inspect":
        inspect(sys.argv[2])
    else:
        write(sys.argv[2])
