#!/usr/bin/env python3
"""Points a compiled help file's context map at the pages inside it.

Excel opens help topic "Ambrel.chm!12" through the file's context map: #IVB
pairs each context id with an offset into #STRINGS, where the topic's name
stands. chmcmd writes that name as the absolute path of the page in the build
folder (/home/me/build/help/Ambrel/PredCp.htm), whatever the project says:
it prefixes the project file's folder to every aliased page. Windows HTML Help
looks the topic up inside the file and finds nothing there. This step rewrites
each such name in #STRINGS to the page's name inside the file (PredCp.htm).

How, without a CHM writer: the new name is written over the old one, padded
with NULs, so that every offset into #STRINGS (the context map's, the index's,
the contents') stays valid. The new #STRINGS cannot go back into the LZX-
compressed section it came from, so it is appended to the file's uncompressed
section 0, and its directory entry is rewritten to point there (the directory
chunk is rebuilt the way chmcmd builds it; a chunk this tool cannot rebuild
byte for byte stops it). The old compressed copy stays in the file, unused.
The file's other contents are read with chmlib's extract_chmLib.

usage: chm_topics.py IN.chm OUT.chm PROJECT_DIR
"""
import os
import struct
import subprocess
import sys
import tempfile


def fail(message):
    sys.exit("chm_topics: " + message)


def read_encint(data, i):
    value = 0
    while True:
        byte = data[i]
        i += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, i


def encint(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


PMGL_HEADER = 0x14


def parse_pmgl(chunk):
    """The entries of a listing chunk: (name, section, offset, length)."""
    if chunk[:4] != b"PMGL":
        fail("not a listing chunk")
    count = struct.unpack_from("<H", chunk, len(chunk) - 2)[0]
    entries, i = [], PMGL_HEADER
    for _ in range(count):
        length, i = read_encint(chunk, i)
        name = chunk[i:i + length].decode("utf-8")
        i += length
        section, i = read_encint(chunk, i)
        offset, i = read_encint(chunk, i)
        size, i = read_encint(chunk, i)
        entries.append((name, section, offset, size))
    return entries


def build_pmgl(header, entries, size, density):
    """A listing chunk as chmcmd writes one: the entries, a quick-reference
    offset after every (1 + 2^density)th entry, from the back, and the count."""
    every = 1 + (1 << density)
    body, quickrefs = bytearray(), []
    for k, (name, section, offset, length) in enumerate(entries, 1):
        start = len(body)
        encoded = name.encode("utf-8")
        body += encint(len(encoded)) + encoded + encint(section) + encint(offset) + encint(length)
        if k % every == 0:
            quickrefs.append(start)
    used = PMGL_HEADER + len(body)
    if used + 2 * (len(quickrefs) + 1) > size:
        fail("the directory chunk has no room for the rewritten entry")
    chunk = bytearray(size)
    chunk[0:PMGL_HEADER] = header
    struct.pack_into("<I", chunk, 4, size - used)  # free space, the quick-reference area included
    chunk[PMGL_HEADER:used] = body
    for n, start in enumerate(quickrefs, 1):
        struct.pack_into("<H", chunk, size - 2 - 2 * n, start)
    struct.pack_into("<H", chunk, size - 2, len(entries))
    return bytes(chunk)


def extract(chm, names):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["extract_chmLib", chm, folder], check=True, stdout=subprocess.DEVNULL)
        found = {}
        for name in names:
            path = os.path.join(folder, name.lstrip("/"))
            if not os.path.isfile(path):
                fail("%s holds no %s" % (chm, name))
            found[name] = open(path, "rb").read()
        return found


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, target, project = sys.argv[1:]
    data = bytearray(open(source, "rb").read())
    parts = extract(source, ["/#IVB", "/#STRINGS"])
    ivb, strings = parts["/#IVB"], bytearray(parts["/#STRINGS"])

    # The context map's topics, and the folder chmcmd put before each page.
    prefixes = {os.path.realpath(project) + "/", os.path.abspath(project) + "/"}
    (length,) = struct.unpack_from("<I", ivb, 0)
    if length != len(ivb) - 4 or length % 8:
        fail("#IVB is not a context map")
    topics = {}
    for i in range(4, len(ivb), 8):
        context, offset = struct.unpack_from("<II", ivb, i)
        end = strings.index(b"\0", offset)
        topics[offset] = (context, strings[offset:end].decode("utf-8"))
    if not topics:
        fail("the context map is empty")
    for offset, (context, topic) in sorted(topics.items()):
        prefix = next((p for p in prefixes if topic.startswith(p)), None)
        if prefix is None:
            fail("context %d names %r, which is not in %s" % (context, topic, project))
        page = topic[len(prefix):].encode("utf-8")
        strings[offset:offset + len(topic.encode("utf-8"))] = page.ljust(len(topic.encode("utf-8")), b"\0")

    # The file's layout: the header sections, the directory, section 0.
    if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
        fail("%s is not a compiled help file of version 3" % source)
    header0, _ = struct.unpack_from("<QQ", data, 0x38)
    directory, _ = struct.unpack_from("<QQ", data, 0x48)
    (content0,) = struct.unpack_from("<Q", data, 0x58)
    if data[directory:directory + 4] != b"ITSP":
        fail("no directory")
    header_length, _, chunk_size, density = struct.unpack_from("<IIII", data, directory + 8)
    chunks = struct.unpack_from("<I", data, directory + 0x2C)[0]
    first_chunk = directory + header_length

    # The new #STRINGS at the end of section 0 (which runs to the end of the file).
    new_offset = len(data) - content0
    data += strings
    struct.pack_into("<Q", data, header0 + 8, len(data))

    for n in range(chunks):
        at = first_chunk + n * chunk_size
        chunk = bytes(data[at:at + chunk_size])
        if chunk[:4] != b"PMGL":
            continue
        entries = parse_pmgl(chunk)
        if build_pmgl(chunk[:PMGL_HEADER], entries, chunk_size, density) != chunk:
            fail("directory chunk %d is not laid out as this tool lays it out" % n)
        names = [e[0] for e in entries]
        if "/#STRINGS" not in names:
            continue
        k = names.index("/#STRINGS")
        entries[k] = ("/#STRINGS", 0, new_offset, len(strings))
        data[at:at + chunk_size] = build_pmgl(chunk[:PMGL_HEADER], entries, chunk_size, density)
        break
    else:
        fail("the directory lists no /#STRINGS")

    with open(target, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
