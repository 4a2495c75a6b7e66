"""A throw-away LibreOffice with the extension installed, driven headless.

The extension goes in with `unopkg add --shared`, which also works as root,
but into a shared-extensions folder of our own: UNO_SHARED_PACKAGES_CACHE
points there, as UserInstallation points at a fresh profile, on unopkg's and
on soffice's command line alike. Nothing of the machine's LibreOffice
installation or of the user's own profile is touched; everything lives in one
temporary folder that close() removes.

Needs Debian's /usr/bin/python3 (python3-uno builds the `uno` module for it).
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue

PROGRAM = os.environ.get("AMBREL_LO_PROGRAM", "/usr/lib/libreoffice/program")


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


class OfficeError(RuntimeError):
    pass


def type_formulas(doc, sheet, formulas):
    """Types formulas into SHEET as a user types them, in Excel's syntax:
    (cell, None, formula) for one cell, (cell, area, formula) for a legacy
    array formula over AREA (such as E20:E380), then recalculates."""
    doc.enableAutomaticCalculation(False)
    scratch = sheet.getCellByPosition(1000, 0)  # outside what a workbook of ours uses
    for ref, area, formula in formulas:
        if area is None:
            sheet.getCellRangeByName(ref).setPropertyValue("FormulaLocal", formula)
            continue
        # An array formula is set in the API's own form: typed into a cell
        # first, it reads back in that form.
        scratch.setPropertyValue("FormulaLocal", formula)
        stored = scratch.getFormula()
        scratch.setString("")
        target = sheet.getCellRangeByName(area)
        target.clearContents(16)  # CellFlags.FORMULA: an array there goes first
        target.setArrayFormula(stored)
    doc.enableAutomaticCalculation(True)
    doc.calculateAll()


class Office:
    """soffice --headless with the given extensions, as a context manager."""

    def __init__(self, extensions=(), program=PROGRAM, timeout=120):
        self.program = program
        self.dir = tempfile.mkdtemp(prefix="ambrel-calc-")
        self.process = None
        try:
            self._start(extensions, timeout)
        except BaseException:
            self.close()
            raise

    def _start(self, extensions, timeout):
        profile = os.path.join(self.dir, "profile")
        shared = os.path.join(self.dir, "shared", "cache")
        self.options = ["-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
                        "-env:UNO_SHARED_PACKAGES_CACHE=" + uno.systemPathToFileUrl(shared)]
        # An en-US office whatever the caller's locale: formulas in Excel's
        # syntax (',' between arguments) and English function names.
        self.environment = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
        self.environment.update(LANG="C.UTF-8", LC_ALL="C.UTF-8", HOME=self.dir)
        for oxt in extensions:
            self.unopkg("add", "--shared", os.path.abspath(oxt))
        pipe = "ambrelcalc%d" % os.getpid()
        self.log = open(os.path.join(self.dir, "soffice.log"), "w+")
        self.process = subprocess.Popen(
            [os.path.join(self.program, "soffice"), "--headless", "--invisible", "--norestore", "--nologo",
             "--nodefault", "--nolockcheck", "--accept=pipe,name=%s;urp;" % pipe] + self.options,
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT, env=self.environment,
            start_new_session=True)  # its own process group: close() ends exactly what we started
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + timeout
        while True:
            try:
                self.context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except Exception:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    raise OfficeError("soffice did not start:\n" + self.output())
                time.sleep(0.1)
        self.manager = self.context.ServiceManager
        self.desktop = self.manager.createInstanceWithContext("com.sun.star.frame.Desktop", self.context)

    def unopkg(self, *args):
        run = subprocess.run([os.path.join(self.program, "unopkg")] + list(args) + self.options,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             env=self.environment, text=True, timeout=300)
        if run.returncode != 0:
            raise OfficeError("unopkg %s failed (%d):\n%s" % (" ".join(args), run.returncode, run.stdout))
        return run.stdout

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def service(self, name):
        return self.manager.createInstanceWithContext(name, self.context)

    def new_spreadsheet(self):
        return self.desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))

    def load(self, path):
        doc = self.desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(path)), "_blank", 0,
                                                (prop("Hidden", True),))
        if doc is None:
            raise OfficeError("cannot load " + path)
        return doc

    def close(self):
        if self.process is not None and self.process.poll() is None:
            try:
                self.desktop.terminate()
            except Exception:
                pass  # the bridge goes down with the office
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        self.process = None
        if getattr(self, "log", None):
            self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
