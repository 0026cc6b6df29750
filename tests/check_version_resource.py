#!/usr/bin/env python3
"""Reads the version resource back from built Windows files, as Windows shows it in a file's
properties, and checks it: the fixed file and product versions and the strings FileVersion,
ProductVersion, FileDescription (naming the file), OriginalFilename, InternalName and
LegalCopyright. Parses the PE file itself (headers, section table, resource tree, VS_VERSIONINFO),
so it needs no Windows and no other tool.

Usage: check_version_resource.py VERSION FILE...      (VERSION as 1.2.3)
       check_version_resource.py --show FILE...       (prints what it finds)
"""
import os
import struct
import sys

RT_VERSION = 16


class BadFile(Exception):
    pass


def _u16(data, offset):
    return struct.unpack_from("<H", data, offset)[0]


def _u32(data, offset):
    return struct.unpack_from("<I", data, offset)[0]


def resource_section(data):
    """Returns (resource bytes, their RVA) from the PE headers, or raises BadFile."""
    if data[:2] != b"MZ" or len(data) < 0x40:
        raise BadFile("not a PE file (no MZ header)")
    pe = _u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise BadFile("not a PE file (no PE signature)")
    sections = _u16(data, pe + 6)
    optional_size = _u16(data, pe + 20)
    optional = pe + 24
    magic = _u16(data, optional)
    directories = {0x10B: 96, 0x20B: 112}.get(magic)
    if directories is None:
        raise BadFile("unknown optional header 0x%x" % magic)
    if _u32(data, optional + directories - 4) <= 2:
        raise BadFile("no resource directory")
    rva, size = struct.unpack_from("<II", data, optional + directories + 2 * 8)
    if rva == 0 or size == 0:
        raise BadFile("no resources")
    table = optional + optional_size
    for index in range(sections):
        entry = table + 40 * index
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
            start = raw_offset + (rva - virtual_address)
            return data[start:start + size], rva
    raise BadFile("resource directory outside every section")


def version_resource(data):
    """The bytes of the first RT_VERSION resource."""
    resources, base_rva = resource_section(data)

    def entries(offset):
        named, ids = struct.unpack_from("<HH", resources, offset + 12)
        for index in range(named + ids):
            name, target = struct.unpack_from("<II", resources, offset + 16 + 8 * index)
            yield name, target

    for type_id, type_target in entries(0):
        if type_id != RT_VERSION or not type_target & 0x80000000:
            continue
        for _, name_target in entries(type_target & 0x7FFFFFFF):
            node = name_target
            while node & 0x80000000:  # down to the first language's leaf
                node = next(iter(entries(node & 0x7FFFFFFF)))[1]
            data_rva, size = struct.unpack_from("<II", resources, node)
            start = data_rva - base_rva
            return resources[start:start + size]
    raise BadFile("no version resource")


def _align(offset):
    return (offset + 3) & ~3


def parse_block(data, offset):
    """One VS_VERSIONINFO-style block: (key, value, children)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    if length < 6 or offset + length > len(data):
        raise BadFile("damaged version block at %d" % offset)
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
        if key_end >= end:
            raise BadFile("unterminated key at %d" % offset)
    key = data[offset + 6:key_end].decode("utf-16-le")
    position = _align(key_end + 2)
    if kind == 1:
        value = data[position:position + 2 * value_length].decode("utf-16-le").rstrip("\0")
        position += 2 * value_length
    else:
        value = data[position:position + value_length]
        position += value_length
    children = []
    position = _align(position)
    while position < end:
        child, position = parse_block(data, position)
        children.append(child)
        position = _align(position)
    return (key, value, children), end


def read_version(path):
    """The fixed versions and the strings of the version resource of the file at path."""
    with open(path, "rb") as handle:
        data = handle.read()
    (key, fixed, children), _ = parse_block(version_resource(data), 0)
    if key != "VS_VERSION_INFO" or len(fixed) < 52 or _u32(fixed, 0) != 0xFEEF04BD:
        raise BadFile("no fixed file information")
    ms, ls, pms, pls = struct.unpack_from("<IIII", fixed, 8)
    info = {
        "fixed file version": "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF),
        "fixed product version": "%d.%d.%d.%d" % (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF),
        "file type": _u32(fixed, 36),
    }
    for child_key, _, tables in children:
        if child_key == "StringFileInfo":
            for _, _, strings in tables:
                for name, value, _ in strings:
                    info[name] = value
    return info


def problems(path, version):
    name = os.path.basename(path)
    stem, extension = os.path.splitext(name)
    try:
        info = read_version(path)
    except (BadFile, struct.error, UnicodeDecodeError) as error:
        return [str(error)]
    want = {
        "fixed file version": version + ".0",
        "fixed product version": version + ".0",
        "file type": 1 if extension.lower() == ".exe" else 2,
        "FileVersion": version,
        "ProductVersion": version,
        "OriginalFilename": name,
        "InternalName": stem,
    }
    found = [
        "%s is %r, want %r" % (key, info.get(key), value) for key, value in want.items() if info.get(key) != value
    ]
    if stem.lower() not in info.get("FileDescription", "").lower():
        found.append("FileDescription %r does not name %s" % (info.get("FileDescription"), stem))
    if "Copyright" not in info.get("LegalCopyright", ""):
        found.append("LegalCopyright %r holds no copyright" % info.get("LegalCopyright"))
    if not info.get("ProductName"):
        found.append("no ProductName")
    return found


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip().split("\n\n")[-1], file=sys.stderr)
        return 2
    if argv[1] == "--show":
        for path in argv[2:]:
            print(path)
            for key, value in read_version(path).items():
                print("  %-22s %s" % (key, value))
        return 0
    failures = 0
    for path in argv[2:]:
        found = problems(path, argv[1])
        for problem in found:
            print("FAIL %s: %s" % (path, problem))
        if not found:
            print("ok   %s: version %s, %s" % (os.path.basename(path), argv[1], read_version(path)["FileDescription"]))
        failures += len(found)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
