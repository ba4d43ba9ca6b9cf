"""Reads one object out of an installed R package's lazy-load data base
(data/Rdata.rdx + data/Rdata.rdb) without R.

The index (.rdx) is a gzip-compressed R serialization (XDR, format 2 or 3) of
a list whose "variables" element maps each object's name to (offset, length)
in the .rdb. Each .rdb entry is a 4-byte big-endian uncompressed length and a
zlib stream holding the object's own serialization. Only the parts of the
serialization format that plain data (vectors, lists, attributes, symbols)
uses are read; environments and closures are read as None, references to
them resolve to None too.
"""
import bz2
import gzip
import lzma
import struct
import zlib

NILVALUE, REF, GLOBALENV, UNBOUND, MISSINGARG, BASENAMESPACE = 254, 255, 253, 252, 251, 247
EMPTYENV, BASEENV, NAMESPACE, PACKAGE, PERSIST = 242, 241, 249, 250, 247
ALTREP = 238


class RObject:
    def __init__(self, kind, value, attributes):
        self.kind, self.value, self.attributes = kind, value, attributes or {}

    def attr(self, name):
        return self.attributes.get(name)

    def __getitem__(self, name):
        names = self.attributes["names"].value
        return self.value[names.index(name)]


class Reader:
    def __init__(self, data):
        self.data, self.pos, self.refs = data, 0, []

    def take(self, n):
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def int(self):
        return struct.unpack(">i", self.take(4))[0]

    def header(self):
        if self.take(2) != b"X\n":
            raise ValueError("not an XDR R serialization")
        version = self.int()
        self.int(), self.int()
        if version == 3:
            self.take(self.int())  # native encoding name

    def item(self):
        flags = self.int()
        kind = flags & 0xFF
        has_attr, has_tag = bool(flags & (1 << 9)), bool(flags & (1 << 10))
        if kind in (NILVALUE, GLOBALENV, UNBOUND, MISSINGARG, BASENAMESPACE, EMPTYENV, BASEENV):
            return None
        if kind == REF:
            index = flags >> 8 or self.int()
            return self.refs[index - 1]
        if kind == 1:  # symbol
            self.refs.append(None)
            slot = len(self.refs) - 1
            name = self.item()
            self.refs[slot] = name
            return name
        if kind in (NAMESPACE, PACKAGE):
            self.refs.append(None)
            self.int()
            for _ in range(self.int()):
                self.item()
            return None
        if kind == 4:  # environment: read it through, keep nothing
            self.refs.append(None)
            self.int()
            for _ in range(4):
                self.item()
            return None
        if kind in (2, 3, 5, 6, 17):  # pairlist-like: attr?, tag?, car, cdr
            attributes = self.attributes() if has_attr else None
            tag = self.item() if has_tag else None
            car = self.item()
            cdr = self.item()
            pairs = [(tag, car)]
            if isinstance(cdr, RObject) and cdr.kind == "pairlist":
                pairs += cdr.value
            return RObject("pairlist", pairs, attributes)
        if kind == 9:  # CHARSXP
            n = self.int()
            return None if n == -1 else self.take(n).decode("utf-8", "replace")
        if kind in (10, 13):
            n = self.length()
            value = list(struct.unpack(">%di" % n, self.take(4 * n)))
        elif kind == 14:
            n = self.length()
            value = list(struct.unpack(">%dd" % n, self.take(8 * n)))
        elif kind == 15:
            n = self.length()
            raw = struct.unpack(">%dd" % (2 * n), self.take(16 * n))
            value = [complex(raw[i], raw[i + 1]) for i in range(0, 2 * n, 2)]
        elif kind in (16, 19, 20):
            value = [self.item() for _ in range(self.length())]
        elif kind == 24:
            value = self.take(self.length())
        elif kind == ALTREP:
            info = self.item()
            state = self.item()
            self.item()
            raise ValueError("ALTREP objects are not read: %r" % (info,))
        else:
            raise ValueError("R serialization type %d is not read" % kind)
        attributes = self.attributes() if has_attr else None
        return RObject({10: "logical", 13: "integer", 14: "double", 15: "complex",
                        16: "character", 19: "list", 20: "expression", 24: "raw"}[kind],
                       value, attributes)

    def length(self):
        n = self.int()
        if n == -1:
            n = (self.int() << 32) + self.int()
        return n

    def attributes(self):
        pairs = self.item()
        return {tag: value for tag, value in pairs.value} if pairs else {}


def unserialize(data):
    reader = Reader(data)
    reader.header()
    return reader.item()


def load(data_dir, name):
    index = unserialize(gzip.decompress(open(data_dir + "/Rdata.rdx", "rb").read()))
    variables = index["variables"]
    names = variables.attributes["names"].value
    if name not in names:
        raise KeyError("%s not in %s (has %s)" % (name, data_dir, ", ".join(names)))
    offset, length = (int(v) for v in variables.value[names.index(name)].value)
    with open(data_dir + "/Rdata.rdb", "rb") as f:
        f.seek(offset)
        blob = f.read(length)
    # 4-byte length; with compress = 2 or 3 (the index's "compressed") a type
    # byte follows: 1 zlib, 2 bzip2, Z raw LZMA2 at R's preset (9, extreme),
    # 0 stored. compress = 1 has no type byte: zlib directly.
    if int(index["compressed"].value[0]) == 1:
        return unserialize(zlib.decompress(blob[4:]))
    kind, body = blob[4:5], blob[5:]
    if kind == b"1":
        return unserialize(zlib.decompress(body))
    if kind == b"2":
        return unserialize(bz2.decompress(body))
    if kind == b"Z":
        filters = [{"id": lzma.FILTER_LZMA2, "preset": 9 | lzma.PRESET_EXTREME}]
        return unserialize(lzma.decompress(body, format=lzma.FORMAT_RAW, filters=filters))
    if kind == b"0":
        return unserialize(body)
    raise ValueError("unknown lazy-load compression %r" % kind)
