#!/usr/bin/python3
"""The download in dist/ as a user gets it, made by ./dev.sh dist:

- Ambrel-X.Y.Z-windows.zip holds exactly its files (both kinds of add-in with
  their help files beside them, the example workbooks of the tree, the
  quick-start text and the changelog), and Ambrel-X.Y.Z.oxt is beside it;
- one version everywhere: VERSION, CHANGELOG.md's latest entry, the file
  names, each .xll's version resource (numbers and texts), the extension's
  description, the quick-start text, the help files' pages, xlhost --version
  on Linux and on Windows;
- each .xll is built for the folder it is in, and the extension holds the
  library for the platform its description names;
- the 64-bit add-ins, unpacked from the zip, load under Wine, compute what
  the Linux build computes, and register every function's help topic as the
  help file beside them, with the indices 1, 2, ... each once.

usage: check_bundle.py SOURCE_DIR DIST_DIR XLHOST WIN_HOST_DIR WORK_DIR
Needs Wine (wine64) and chmlib's extract_chmLib (libchm-bin).
"""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
FOLDERS = {"Excel 64-bit": 0x8664, "Excel 32-bit": 0x14C}  # PE machine: x86-64, i386
FORMULAS = ["=BMI(70,175)", "=INDEX(PropSchnider(40,70,170,JLBM(70,170,TRUE)),7)",
            "=INDEX(RemiEleveld(40,70,170,TRUE),1)", "=TciCe({0;0.5;0.5},{0;3;3},200,0.2,0.01,0.001,1,0.1,0.01,0.5)"]


class Checks:
    def __init__(self):
        self.failures = 0

    def check(self, what, expected, actual):
        if expected == actual:
            print("ok   " + what)
        else:
            print("FAIL %s: expected %r, got %r" % (what, expected, actual))
            self.failures += 1

    def fail(self, what):
        print("FAIL " + what)
        self.failures += 1


def pe_machine(data):
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


def version_resource(data):
    """(file version, product version) as four numbers each from the fixed
    part of the version resource, and its FileVersion and ProductVersion texts."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    _, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, at)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)  # noqa: E731
    texts = {}
    for key in ("FileVersion", "ProductVersion"):
        # The key in UTF-16, its terminator, padding to four bytes, the value.
        m = re.search(re.escape(key.encode("utf-16-le")) + rb"\0\0(?:\0\0)?((?:[^\0]\0)+)\0\0", data)
        texts[key] = m.group(1).decode("utf-16-le") if m else None
    return split(file_ms, file_ls), split(product_ms, product_ls), texts


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def wine_prefix(work):
    env = dict(os.environ, WINEPREFIX=os.path.join(work, "wineprefix"), WINEDEBUG="-all")
    if not os.path.exists(os.path.join(env["WINEPREFIX"], "system.reg")):
        run = lambda *a: subprocess.run(a, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # noqa
        run(WINE, "wineboot", "--init")
        # Windows without a display: the null graphics driver still has windows.
        run(WINE, "reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v", "Graphics", "/d", "null", "/f")
        run(WINESERVER, "-k")
        run(WINESERVER, "-w")
    return env


def lines(command, env=None):
    out = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=300).stdout
    return out.decode("utf-8", "replace").replace("\r", "").splitlines()


def main(source, dist, xlhost, win_host, work):
    c = Checks()
    with open(os.path.join(source, "VERSION"), encoding="utf-8") as f:
        version = f.readline().strip()
    c.check("VERSION is X.Y.Z", True, bool(re.fullmatch(r"[0-9]+\.[0-9]+\.[0-9]+", version)))
    with open(os.path.join(source, "CHANGELOG.md"), encoding="utf-8") as f:
        entries = re.findall(r"^## (\S+)", f.read(), re.M)
    c.check("CHANGELOG.md's latest entry", version, entries[0] if entries else None)

    name = "Ambrel-%s-windows" % version
    zip_path, oxt_path = os.path.join(dist, name + ".zip"), os.path.join(dist, "Ambrel-%s.oxt" % version)
    for path in (zip_path, oxt_path):
        if not os.path.isfile(path):
            c.fail("%s is missing (./dev.sh dist makes it)" % path)
            return 1
    others = sorted(f for f in os.listdir(dist) if re.fullmatch(r"Ambrel-.*(-windows\.zip|\.oxt)", f)
                    and f not in (os.path.basename(zip_path), os.path.basename(oxt_path)))
    c.check("no other version's download in " + dist, [], others)

    # ---- the zip's contents
    examples = sorted(f for f in os.listdir(os.path.join(source, "examples")) if f.endswith(".xlsx"))
    expected = {name + "/" + f for f in ["QUICKSTART.txt", "CHANGELOG.txt"] + ["Examples/" + e for e in examples]}
    for folder in FOLDERS:
        expected |= {"%s/%s/%s" % (name, folder, f) for f in ("Ambrel.xll", "Corvel.xll", "Ambrel.chm", "Corvel.chm")}
    with zipfile.ZipFile(zip_path) as z:
        files = {i.filename for i in z.infolist() if not i.is_dir()}
        if sorted(expected) != sorted(files):
            c.check("the zip's files", sorted(expected), sorted(files))
            print("%d failed" % c.failures)
            return 1
        c.check("the zip's files", sorted(expected), sorted(files))
        unpacked = os.path.join(work, "unpacked")
        shutil.rmtree(unpacked, ignore_errors=True)
        z.extractall(unpacked)
    top = os.path.join(unpacked, name)

    for e in examples:
        with open(os.path.join(top, "Examples", e), "rb") as a, open(os.path.join(source, "examples", e), "rb") as b:
            c.check("Examples/%s is the tree's" % e, True, a.read() == b.read())
    quick = open(os.path.join(top, "QUICKSTART.txt"), "rb").read()
    c.check("QUICKSTART.txt names the version", True, ("Ambrel and Corvel %s" % version).encode() in quick)
    c.check("QUICKSTART.txt has Windows line ends", quick.count(b"\n"), quick.count(b"\r\n"))
    c.check("QUICKSTART.txt has nothing left to fill in", False, b"@" in quick)

    # ---- the add-ins and their help files
    numbers = tuple(int(n) for n in version.split(".")) + (0,)
    for folder, machine in FOLDERS.items():
        for addin in ("Ambrel", "Corvel"):
            data = open(os.path.join(top, folder, addin + ".xll"), "rb").read()
            c.check("%s/%s.xll is built for it" % (folder, addin), hex(machine), hex(pe_machine(data) or 0))
            resource = version_resource(data)
            if resource is None:
                c.fail("%s/%s.xll has no version resource" % (folder, addin))
                continue
            file_version, product_version, texts = resource
            c.check("%s/%s.xll FILEVERSION" % (folder, addin), numbers, file_version)
            c.check("%s/%s.xll PRODUCTVERSION" % (folder, addin), numbers, product_version)
            c.check("%s/%s.xll version texts" % (folder, addin), {"FileVersion": version, "ProductVersion": version},
                    texts)
    for addin in ("Ambrel", "Corvel"):
        copies = [open(os.path.join(top, folder, addin + ".chm"), "rb").read() for folder in FOLDERS]
        c.check("%s.chm is a compiled help file" % addin, b"ITSF", copies[0][:4])
        c.check("%s.chm is the same in both folders" % addin, True, copies[0] == copies[1])
        pages = os.path.join(work, "chm-" + addin)
        shutil.rmtree(pages, ignore_errors=True)
        subprocess.run(["extract_chmLib", os.path.join(top, "Excel 64-bit", addin + ".chm"), pages],
                       stdout=subprocess.DEVNULL, check=True)
        html = [os.path.join(d, f) for d, _, fs in os.walk(pages) for f in fs if f.lower().endswith((".htm", ".html"))]
        c.check("%s.chm has a page that names version %s" % (addin, version), True,
                any(version.encode() in open(p, "rb").read() for p in html))

    # ---- the LibreOffice extension
    with zipfile.ZipFile(oxt_path) as z:
        description = z.read("description.xml").decode("utf-8")
        text = z.read("description-en.txt").decode("utf-8")
        manifest = z.read("META-INF/manifest.xml").decode("utf-8")
        libraries = [n for n in z.namelist() if n.endswith(".so")]
        elf = z.read(libraries[0]) if libraries else b""
    c.check("the extension's version", [version], re.findall(r'<version value="([^"]*)"', description))
    c.check("the extension's platforms", ["linux_x86_64"], re.findall(r'<platform value="([^"]*)"', description))
    c.check("its components are for that platform", ["Linux_x86_64"], re.findall(r"platform=([A-Za-z0-9_]+)", manifest))
    c.check("its one library is 64-bit x86 ELF", (1, b"\x7fELF", 2, 62),
            (len(libraries), elf[:4], elf[4:5][0] if elf else 0, struct.unpack_from("<H", elf, 18)[0] if elf else 0))
    c.check("its description tells the platform", True, "Linux on x86-64" in text)

    # ---- xlhost, and the 64-bit add-ins from the zip under Wine
    c.check("xlhost --version", ["xlhost " + version], lines([xlhost, "--version"]))
    env = wine_prefix(work)
    exe = os.path.join(win_host, "xlhost.exe")
    c.check("xlhost.exe --version", ["xlhost " + version], lines([WINE, exe, "--version"], env))
    folder = os.path.join(top, "Excel 64-bit")
    xll = {a: winpath(os.path.join(folder, a + ".xll")) for a in ("Ambrel", "Corvel")}
    c.check("the add-in manager's names", ["Ambrel PK/PD tools", "Corvel drug models"],
            [l.split("\t")[0] for l in lines([WINE, exe, "--addin", xll["Ambrel"], "--addin", xll["Corvel"],
                                              "--addin-names"], env)])
    linux_dir = os.path.dirname(xlhost)
    both = ["--addin", os.path.join(linux_dir, "Ambrel.so"), "--addin", os.path.join(linux_dir, "Corvel.so")]
    on_linux = lines([xlhost] + both + FORMULAS)
    c.check("the formulas' results on Linux", ["22.857142857142858", "0.456"], on_linux[:2])
    c.check("formulas compute as on Linux", on_linux,
            lines([WINE, exe, "--addin", xll["Ambrel"], "--addin", xll["Corvel"]] + FORMULAS, env))
    for addin in ("Ambrel", "Corvel"):
        listed = [json.loads(l) for l in lines([WINE, exe, "--addin", xll[addin], "--list", "--json"], env) if l]
        native = lines([xlhost, "--addin", os.path.join(linux_dir, addin + ".so"), "--list", "--json"])
        c.check("%s registers the functions of the Linux build (%d)" % (addin, len(native)), len(native), len(listed))
        if not listed:
            continue
        beside = winpath(folder) + "\\" + addin + ".chm!"
        wrong = [(f["function"], f["helpTopic"]) for f in listed if not f["helpTopic"].startswith(beside)]
        c.check("%s's help topics are %s beside it" % (addin, addin + ".chm"), [], wrong)
        indices = sorted(int(f["helpTopic"].rpartition("!")[2]) for f in listed if f["helpTopic"].startswith(beside))
        c.check("%s's help indices are 1 to %d, each once" % (addin, len(listed)), list(range(1, len(listed) + 1)),
                indices)

    print("%d failed" % c.failures)
    return 1 if c.failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        raise SystemExit(__doc__)
    sys.exit(main(*sys.argv[1:]))
