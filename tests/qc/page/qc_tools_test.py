"""The QC page and the MultiQC files against the real tools (standard library only).

    qc_tools_test.py browser BIN_DIR SOURCE_DIR WORK_DIR
        headless Chromium renders the demo sample's page; the screenshot must not be blank
        and the rendered document must hold every plot, every module's section with its
        mark, the verdicts and the run's provenance. The screenshot stays in WORK_DIR
        (qc_page.png: the picture of the README, docs/qc_page.png).
    qc_tools_test.py multiqc BIN_DIR SOURCE_DIR WORK_DIR
        multiqc with the suite's config over three samples' files in one folder: the report
        names the three, shows the suite's general-statistics columns and holds the suite's
        section with every plot, in order.

Exit status 0 passed, 1 failed, 77 skipped (the tool is not installed).
"""
import html.parser
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIPPED = 77


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def run(args, timeout=300, cwd=None):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout, cwd=cwd)
    if r.returncode != 0:
        fail("%s exited with %d\n%s%s" % (" ".join(args), r.returncode, r.stdout.decode(errors="replace"),
                                          r.stderr.decode(errors="replace")[-3000:]))
    return r.stdout.decode()


def tool(name):
    path = shutil.which(name)
    if path is None:
        print("SKIPPED: %s is not installed (Debian package %s; .ci/deps.sh installs it as root)" % (name, name))
        sys.exit(SKIPPED)
    return path


def qc_files(bin_dir, out, fq1, fq2, sample, cwd=None):
    run([os.path.join(bin_dir, "read_qc_stat"), fq1, fq2, out], cwd=cwd)
    run([os.path.join(bin_dir, "qc_report"), out, sample])


def png_pixels(path):
    """Width, height, bytes per pixel and the unfiltered rows of an 8-bit RGB(A) PNG."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail(path + " is not a PNG")
    pos, idat = 8, []
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or ctype not in (2, 6) or interlace:
                fail("unexpected PNG layout (depth %d, colour type %d)" % (depth, ctype))
        elif kind == b"IDAT":
            idat.append(body)
        pos += 12 + n
    raw = zlib.decompress(b"".join(idat))
    bpp = 3 if ctype == 2 else 4
    stride = width * bpp
    prev, rows = bytearray(stride), []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 2:  # the common case, done a row at a time
            line = bytearray((x + b) & 255 for x, b in zip(line, prev))
            kind = 0
        for i in range(stride if kind else 0):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            else:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, bpp, rows


class Elements(html.parser.HTMLParser):
    """Each SVG chart of a document, with the classes of its elements and its texts; each
    section with the mark in its heading; the rows of the verdicts and of the run."""

    def __init__(self):
        super().__init__()
        self.charts, self.scripts, self.in_text = [], 0, False
        self.sections, self.in_h2, self.marks, self.rows, self.table = {}, False, [], [], None
        self.section = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "script":
            self.scripts += 1
        if tag == "section":
            self.section = a.get("id")
            self.sections[self.section] = None
        if tag == "h2":
            self.in_h2 = True
        if tag == "span" and "mark" in a.get("class", "").split():
            mark = a["class"].split()[-1]
            if self.in_h2:
                self.sections[self.section] = mark
            elif self.section == "verdicts":
                self.marks.append(mark)
        if tag == "tr" and self.section in ("verdicts", "provenance"):
            self.rows.append((self.section, []))
        if tag == "svg" and "chart" in a.get("class", ""):
            self.charts.append({"paths": [], "texts": []})
        elif self.charts and tag == "path":
            self.charts[-1]["paths"].append((a.get("class", ""), a.get("d", "")))
        self.in_text = tag == "text"

    def handle_data(self, data):
        if self.in_text and self.charts:
            self.charts[-1]["texts"].append(data)
        if self.rows and self.section == self.rows[-1][0]:
            self.rows[-1][1].append(data)

    def handle_endtag(self, tag):
        self.in_text = False
        if tag == "h2":
            self.in_h2 = False
        if tag == "section":
            self.section = None


MODULES = ["quality", "composition", "lengths", "read_quality", "read_gc", "adapters", "duplication", "overrepresented"]


def browser(bin_dir, source_dir, work):
    chromium = tool("chromium")
    out = os.path.abspath(os.path.join(work, "DEMO01.qc"))
    # The inputs named as make demo names them, for the picture of the README.
    qc_files(bin_dir, out, "demo/data/DEMO01_R1.fq.gz", "demo/data/DEMO01_R2.fq.gz", "DEMO01", cwd=source_dir)
    size = os.path.getsize(out + ".html")
    if size >= 250 * 1024:
        fail("the page of a 2x150 sample has %d bytes" % size)
    shot = os.path.join(work, "qc_page.png")
    if os.path.exists(shot):
        os.remove(shot)
    with tempfile.TemporaryDirectory() as profile:
        # Root needs --no-sandbox; the rest keeps a headless run quiet and off the network.
        flags = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                 "--force-device-scale-factor=1", "--user-data-dir=" + profile]
        page = "file://" + os.path.abspath(out + ".html")
        run([chromium] + flags + ["--screenshot=" + shot, "--window-size=1200,2400", page])
        dom = run([chromium] + flags + ["--dump-dom", page])
    width, height, bpp, rows = png_pixels(shot)
    if (width, height) != (1200, 2400):
        fail("the screenshot is %dx%d" % (width, height))
    inked = sum(len(r) - r.count(255) for r in rows) / (width * height * bpp)
    colours = {r[i:i + 3] for r in rows[::5] for i in range(0, len(r), 7 * bpp)}
    if inked < 0.03 or len(colours) < 50:
        fail("the screenshot looks blank: %.1f%% of it inked, %d colours" % (100 * inked, len(colours)))

    doc = Elements()
    doc.feed(dom)
    if doc.scripts:
        fail("the page runs a script")
    if len(doc.charts) != 12:
        fail("%d charts rendered, 12 expected" % len(doc.charts))
    for n, chart in enumerate(doc.charts):
        if sum(t.isdigit() for t in chart["texts"]) < 5:
            fail("chart %d (%s) has no axis with ticks" % (n + 1, chart["texts"][:1]))
        lines = [d for cls, d in chart["paths"] if cls.startswith("line") and d.count(" ") > 150]
        cells = {cls for cls, d in chart["paths"] if cls in ("h%d" % i for i in range(8))}
        bars = [d for cls, d in chart["paths"] if cls.startswith("bar") and "V" in d]
        if "Cycle" in chart["texts"] and len(lines) < 2 and len(cells) < 4:
            fail("chart %d (%s) shows no series over the 150 cycles" % (n + 1, chart["texts"][:1]))
        if "Cycle" not in chart["texts"] and not bars:
            fail("chart %d (%s) shows no bars" % (n + 1, chart["texts"][:1]))
    # Every module has its section with a mark, and its row in the verdicts at the top.
    for module in MODULES:
        if doc.sections.get(module) not in ("pass", "warn", "fail"):
            fail("section %s has no mark (%s)" % (module, doc.sections.get(module, "missing")))
    if list(doc.sections)[:3] != ["verdicts", "summary", "provenance"] or len(doc.marks) != len(MODULES):
        fail("the verdicts and the run are not at the top: %s, %d marks" % (list(doc.sections), len(doc.marks)))
    run_rows = [" ".join(cells) for section, cells in doc.rows if section == "provenance"]
    for expected in ("DEMO01_R1.fq.gz", "DEMO01_R2.fq.gz", "read_qc_stat wes-suite", "qc_report wes-suite"):
        if not any(expected in r for r in run_rows):
            fail("the run's provenance lacks %s: %s" % (expected, run_rows))
    print("the page (%d bytes) rendered: %d charts, marks %s, %.1f%% inked, screenshot %s" % (
        size, len(doc.charts), ", ".join("%s %s" % (m, doc.sections[m]) for m in MODULES), 100 * inked, shot))


def multiqc(bin_dir, source_dir, work):
    tool("multiqc")
    batch = os.path.join(work, "batch")
    shutil.rmtree(batch, ignore_errors=True)
    os.makedirs(batch)
    demo = os.path.join(source_dir, "demo", "data")
    single = os.path.join(source_dir, "tests", "data", "qc")
    r1, r2 = os.path.join(demo, "DEMO01_R1.fq.gz"), os.path.join(demo, "DEMO01_R2.fq.gz")
    qc_files(bin_dir, os.path.join(batch, "P01.qc"), r1, r2, "P01")
    qc_files(bin_dir, os.path.join(batch, "P02.qc"), r2, r1, "P02")  # the mates swapped: other curves
    qc_files(bin_dir, os.path.join(batch, "P03.qc"), os.path.join(single, "single_1.fq"),
             os.path.join(single, "single_2.fq"), "P03")
    report_dir = os.path.join(work, "multiqc")
    shutil.rmtree(report_dir, ignore_errors=True)
    run(["multiqc", "--config", os.path.join(source_dir, "qc", "multiqc_config.yaml"), "--outdir", report_dir,
         "--no-ansi", batch])
    report = open(os.path.join(report_dir, "multiqc_report.html"), encoding="utf-8").read()
    stats = open(os.path.join(report_dir, "multiqc_data", "multiqc_general_stats.txt")).read().splitlines()
    samples = sorted(line.split("\t")[0] for line in stats[1:])
    if samples != ["P01", "P02", "P03"]:
        fail("the general statistics name %s" % samples)
    for column in ("Q20 %", "Q30 %", "GC %", "Bases", "Dups %", "Adapter %", "Mean length"):
        if column not in report:
            fail("no general-statistics column " + column)
    head = stats[0].split("\t")
    for key in ("dup_pct", "adapter_pct", "mean_len"):
        if not any(h.endswith(key) for h in head):
            fail("no %s in the general statistics: %s" % (key, head))
    at = report.find('id="wes_qc"')
    if at < 0 or "Read QC (wes-suite)" not in report:
        fail("the suite's section is missing")
    plots = ["wes_qc_%s_%s" % (f, r) for f in ("mean_quality", "q30", "gc", "read_length", "adapters") for r in ("r1", "r2")]
    for section in plots[:6] + ["wes_qc_duplication"] + plots[6:]:
        found = report.find('id="%s"' % section)
        if found < at:
            fail("section %s is missing or out of order" % section)
        at = found
    images = report.count("data:image/png;base64", report.find('id="wes_qc"'))
    if images < 11:
        fail("%d plot images in the suite's section, 11 expected" % images)
    print("multiqc reported P01, P02, P03 with the suite's columns, section and its eleven plots")


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[1] not in ("browser", "multiqc"):
        print(__doc__)
        sys.exit(2)
    mode, bin_dir, source_dir, work = sys.argv[1:]
    os.makedirs(work, exist_ok=True)
    {"browser": browser, "multiqc": multiqc}[mode](bin_dir, source_dir, work)
