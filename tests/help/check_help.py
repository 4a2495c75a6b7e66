#!/usr/bin/env python3
"""Checks of the help files, each against what the add-ins themselves do.

  check_help.py topics XLHOST ADDIN_DIR HELP_DIR VERSION WORK
      Both add-ins are loaded by xlhost as Excel loads them, each copied as
      NAME.xll beside NAME.chm, so that they find their help file and register
      every function with its help topic "...NAME.chm!index". Each topic's index
      is then looked up in the .chm's context map (#IVB, then #STRINGS), read
      with chmlib's extract_chmLib, nothing of the help build: it has to name a
      page inside the file, and that page has to name the function and its
      registered arguments, in order. The file's contents and index have to link
      to pages inside it, every page names the version, and no file in it may
      name the build folder.
  check_help.py raw-topics XLHOST ADDIN_DIR PROJECT_DIR WORK
      The same look-up on the files as chmcmd leaves them (PROJECT_DIR/NAME/
      NAME.chm) has to fail, since chmcmd names every topic by its absolute
      path: the check above is one that can fail.
  check_help.py examples XLHOST ADDIN_DIR EXAMPLES_TSV HTML_DIR
      Every worked example's formula, as its page shows it, typed into xlhost
      with both add-ins, gives bit for bit the result that the page's generator
      computed with the routine, and the page shows that result. The pages of
      the functions whose results depend on the time unit say so.
  check_help.py docs HELP_PAGES VERSION DOCS_DIR WORK
      docs/ is what help_pages writes, file for file.
"""
import filecmp
import html
import json
import os
import re
import shutil
import struct
import subprocess
import sys

ADDINS = ("Ambrel", "Corvel")
failures = []


def check(what, expected, actual):
    if expected != actual:
        failures.append("%s: expected %r, got %r" % (what, expected, actual))


def registered(xlhost, addin_dir, work):
    """Each add-in's functions as xlhost registers them: name -> (help topic,
    argument names), each add-in loaded as NAME.xll beside NAME.chm in work."""
    args = [xlhost, "--list", "--json"]
    for addin in ADDINS:
        args += ["--addin", os.path.join(work, addin + ".xll")]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    functions = {}
    for line in out.splitlines():
        f = json.loads(line)
        functions[f["function"]] = (f["helpTopic"], [a["name"] for a in f["arguments"]])
    return functions


def stage(addin_dir, chms, work):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for addin in ADDINS:
        shutil.copy(os.path.join(addin_dir, addin + ".so"), os.path.join(work, addin + ".xll"))
        shutil.copy(chms[addin], os.path.join(work, addin + ".chm"))


def context_map(folder):
    """index -> topic, from the extracted #IVB and #STRINGS."""
    ivb = open(os.path.join(folder, "#IVB"), "rb").read()
    strings = open(os.path.join(folder, "#STRINGS"), "rb").read()
    (length,) = struct.unpack_from("<I", ivb, 0)
    check("the #IVB's length field", len(ivb) - 4, length)
    topics = {}
    for i in range(4, len(ivb) - 7, 8):
        context, offset = struct.unpack_from("<II", ivb, i)
        end = strings.index(b"\0", offset)
        check("context %d listed once" % context, False, context in topics)
        topics[context] = strings[offset:end].decode("utf-8")
    return topics


def page_names_function(text, name, arguments):
    """The page's heading is the function's name, and its syntax line and
    argument table list the registered arguments in order."""
    problems = []
    if "<h1>%s</h1>" % html.escape(name) not in text:
        problems.append("no heading %s" % name)
    syntax = "=%s(%s)" % (name, ", ".join(arguments))
    if "<pre>%s</pre>" % html.escape(syntax) not in text:
        problems.append("no syntax line %s" % syntax)
    listed = re.findall(r"<tr><td><code>([^<]*)</code>", text)
    if [html.unescape(a) for a in listed] != arguments:
        problems.append("arguments %r, registered %r" % (listed, arguments))
    return problems


def look_up(xlhost, addin_dir, chms, work, extracted_dir):
    """For every registered function: (name, problem or None)."""
    stage(addin_dir, chms, work)
    functions = registered(xlhost, addin_dir, work)
    results = []
    for addin in ADDINS:
        folder = os.path.join(extracted_dir, addin)
        shutil.rmtree(folder, ignore_errors=True)
        subprocess.run(["extract_chmLib", os.path.join(work, addin + ".chm"), folder], check=True,
                       stdout=subprocess.DEVNULL)
        topics = context_map(folder)
        beside = os.path.join(work, addin + ".chm") + "!"
        mine = {n: v for n, v in functions.items() if v[0].startswith(beside)}
        indices = sorted(int(topic[len(beside):]) for topic, _ in mine.values())
        check("%s registers help indices 1 to %d" % (addin, len(mine)), list(range(1, len(mine) + 1)), indices)
        check("%s.chm's context map has one topic per function" % addin, sorted(topics), indices)
        for name, (topic, arguments) in sorted(mine.items()):
            index = int(topic[len(beside):])
            page = topics.get(index)
            if page is None:
                results.append((name, "index %d is not in %s.chm's context map" % (index, addin)))
                continue
            path = os.path.join(folder, page)
            if page.startswith("/") or ".." in page.split("/") or not os.path.isfile(path):
                results.append((name, "index %d names %r, no page inside %s.chm" % (index, page, addin)))
                continue
            problems = page_names_function(open(path, encoding="utf-8").read(), name, arguments)
            results.append((name, "; ".join(problems) if problems else None))
        if len(mine) == 0:
            results.append((addin, "registers no function with a topic in %s.chm" % addin))
    return results, functions


def topics(xlhost, addin_dir, help_dir, version, work):
    chms = {a: os.path.join(help_dir, a + ".chm") for a in ADDINS}
    extracted = os.path.join(work, "extracted")
    results, functions = look_up(xlhost, addin_dir, chms, os.path.join(work, "addins"), extracted)
    for name, problem in results:
        check("%s's help topic" % name, None, problem)
    check("every registered function has a page", len(functions), len(results))
    build_dir = os.path.realpath(help_dir)
    for addin in ADDINS:
        folder = os.path.join(extracted, addin)
        files = {os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs}
        for rel in sorted(files):
            data = open(os.path.join(folder, rel), "rb").read()
            check("%s.chm:%s names the build folder" % (addin, rel), False,
                  build_dir.encode() in data or os.path.dirname(build_dir).encode() in data)
        # Contents and index link only to pages inside the file, and list every function page.
        pages = {f for f in files if f.endswith(".htm")}
        for sitemap in (addin + ".hhc", addin + ".hhk"):
            check("%s.chm holds %s" % (addin, sitemap), True, sitemap in files)
            if sitemap not in files:
                continue
            links = set(re.findall(r'name="Local" value="([^"]*)"', open(os.path.join(folder, sitemap)).read()))
            check("%s links outside %s.chm" % (sitemap, addin), set(), links - pages)
            check("%s leaves out pages of %s.chm" % (sitemap, addin), set(), pages - links - {"index.htm"})
        unversioned = [p for p in sorted(pages)
                       if ("%s %s" % (addin, version)).encode() not in open(os.path.join(folder, p), "rb").read()]
        check("%s.chm's pages that do not name %s %s" % (addin, addin, version), [], unversioned)

def raw_topics(xlhost, addin_dir, project_dir, work):
    chms = {a: os.path.join(project_dir, a, a + ".chm") for a in ADDINS}
    results, _ = look_up(xlhost, addin_dir, chms, os.path.join(work, "raw-addins"), os.path.join(work, "raw"))
    found = [name for name, problem in results if problem is None]
    check("functions whose topic chmcmd's own file resolves", [], found)
    check("functions looked up in chmcmd's own file", True, len(results) > 0)


def as_on_page(text):
    return html.escape(text, quote=False).replace('"', "&quot;")


def examples(xlhost, addin_dir, examples_tsv, html_dir):
    lines = [l.rstrip("\n").split("\t") for l in open(examples_tsv, encoding="utf-8") if l.strip()]
    formulas = [l[3] for l in lines]
    args = [xlhost, "--json"]
    for addin in ADDINS:
        args += ["--addin", os.path.join(addin_dir, addin + ".so")]
    run = subprocess.run(args + ["-"], input="\n".join(formulas) + "\n", capture_output=True, text=True, check=True)
    answers = [json.loads(l) for l in run.stdout.splitlines()]
    check("xlhost answers every example", len(lines), len(answers))
    for (addin, index, name, formula, kind, expected), answer in zip(lines, answers):
        check("xlhost ran %s" % formula, formula, answer["formula"])
        cells = [cell for row in answer["result"] for cell in row]
        page = open(os.path.join(html_dir, addin, name + ".htm"), encoding="utf-8").read()
        check("%s's page shows its formula" % name, True, as_on_page(formula) in page)
        if kind == "text":
            check("%s in xlhost" % formula, [{"text": expected}], cells)
            check("%s's page shows its text" % name, True, as_on_page(expected) in page)
            continue
        pairs = [p.rsplit(":", 1) for p in expected.split(";")]
        check("%s in xlhost, bit for bit" % formula, [float(exact) for exact, _ in pairs], cells)
        for _, shown in pairs:
            check("%s's page shows %s" % (name, shown), True,
                  re.search(r">(<b>)?%s(</b>)?( [^<]*)?<" % re.escape(shown), page) is not None)


# The context-sensitive decrement times hold the concentration in steps of 0.1
# of the time unit, so their pages must say that times belong in minutes; the
# predictions compute the same in any unit and must not.
MINUTES_ONLY = {"CsDtCp": True, "CsDtCpVCl": True, "CsDtCe": True, "PredCp": False, "TciCe": False, "BMI": False}


def time_units(html_dir):
    for name, expected in MINUTES_ONLY.items():
        page = open(os.path.join(html_dir, "Ambrel", name + ".htm"), encoding="utf-8").read()
        check("%s's page says its times belong in minutes" % name, expected, "Times belong in minutes" in page)
        if expected:
            rows = re.findall(r'<td class="n">([^<]*) min</td><td class="n"><b>([^<]*) min</b></td>', page)
            check("%s's page shows the first row in hours differing from minutes" % name, True,
                  bool(rows) and rows[0][0] != rows[0][1])


def docs(help_pages, version, docs_dir, work):
    fresh = os.path.join(work, "docs")
    shutil.rmtree(fresh, ignore_errors=True)
    subprocess.run([help_pages, version, fresh], check=True)

    def compare(d):
        for name in d.left_only:
            failures.append("docs/ lacks %s: run ./dev.sh docs" % os.path.join(d.left, name))
        for name in d.right_only:
            failures.append("docs/ holds %s, which help_pages no longer writes: run ./dev.sh docs"
                            % os.path.join(d.right, name))
        for name in d.diff_files:
            failures.append("docs/%s differs from what help_pages writes: run ./dev.sh docs"
                            % os.path.relpath(os.path.join(d.right, name), docs_dir))
        for sub in d.subdirs.values():
            compare(sub)

    compare(filecmp.dircmp(fresh, docs_dir))
    count = sum(len(fs) for _, _, fs in os.walk(fresh))
    check("help_pages writes pages", True, count > 2)
    return count


def main():
    mode, *args = sys.argv[1:]
    if mode == "topics":
        topics(*args)
    elif mode == "raw-topics":
        raw_topics(*args)
    elif mode == "examples":
        examples(*args)
        time_units(args[3])
    elif mode == "docs":
        docs(*args)
    else:
        sys.exit(__doc__)
    for f in failures[:40]:
        print("FAIL " + f)
    if failures:
        print("%d checks failed" % len(failures))
        sys.exit(1)
    print("%s: all checks passed" % mode)


if __name__ == "__main__":
    main()
