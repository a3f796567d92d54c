#!/usr/bin/env python3
"""Compiles the help topics into DMM5174K.chm with chmcmd.

    make_help.py TOPICS_DIR OUTPUT_DIR

Copies TOPICS_DIR to OUTPUT_DIR/topics, writes the project (.hhp) and the
contents (.hhc: one book per language, a page per topic in reading order,
named by the page's <title>) beside it, and compiles OUTPUT_DIR/DMM5174K.chm.
The program opens ::/topics/index.htm (Chinese) or ::/topics/en/index.htm.
"""
import html
import os
import re
import shutil
import subprocess
import sys

READING_ORDER = ["index", "connect", "record", "alarm", "files", "recovery", "updates", "cli", "access", "troubleshooting"]


def pages(folder):
    names = [n[:-4] for n in os.listdir(folder) if n.endswith(".htm")]
    ordered = [n for n in READING_ORDER if n in names]
    return ordered + sorted(n for n in names if n not in READING_ORDER)


def title(path):
    with open(path, encoding="utf-8") as f:
        found = re.search(r"<title>(.*?)</title>", f.read(), re.S | re.I)
    return html.unescape(found.group(1).strip()) if found else os.path.basename(path)


def book(name, folder, prefix):
    entries = []
    for page in pages(folder):
        local = f"{prefix}{page}.htm"
        entries.append(
            '\t\t<LI> <OBJECT type="text/sitemap">\n'
            f'\t\t\t<param name="Name" value="{html.escape(title(os.path.join(folder, page + ".htm")))}">\n'
            f'\t\t\t<param name="Local" value="{local}">\n'
            "\t\t\t</OBJECT>\n")
    return ('\t<LI> <OBJECT type="text/sitemap">\n'
            f'\t\t<param name="Name" value="{name}">\n'
            f'\t\t<param name="Local" value="{prefix}index.htm">\n'
            "\t\t</OBJECT>\n\t<UL>\n" + "".join(entries) + "\t</UL>\n")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, out = sys.argv[1], sys.argv[2]
    topics = os.path.join(out, "topics")
    shutil.rmtree(topics, ignore_errors=True)
    shutil.copytree(source, topics)
    files = []
    for folder, _, names in os.walk(topics):
        for n in sorted(names):
            files.append(os.path.relpath(os.path.join(folder, n), out).replace(os.sep, "\\"))
    contents = ("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML>\n<HEAD>\n"
                '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">\n</HEAD>\n<BODY>\n<UL>\n'
                + book("使用說明（繁體中文）", topics, "topics/")
                + book("User Guide (English)", os.path.join(topics, "en"), "topics/en/")
                + "</UL>\n</BODY>\n</HTML>\n")
    with open(os.path.join(out, "DMM5174K.hhc"), "w", encoding="utf-8") as f:
        f.write(contents)
    project = ("[OPTIONS]\n"
               "Compatibility=1.1 or later\n"
               "Compiled file=DMM5174K.chm\n"
               "Contents file=DMM5174K.hhc\n"
               "Default topic=topics\\index.htm\n"
               "Display compile progress=No\n"
               "Full-text search=Yes\n"
               "Language=0x404 Chinese (Taiwan)\n"
               "Title=ZELMAR DMM-5174K\n\n"
               "[FILES]\n" + "\n".join(files) + "\n")
    with open(os.path.join(out, "DMM5174K.hhp"), "w", encoding="utf-8") as f:
        f.write(project)
    chm = os.path.join(out, "DMM5174K.chm")
    if os.path.exists(chm):
        os.remove(chm)
    run = subprocess.run(["chmcmd", "--no-html-scan", "DMM5174K.hhp"], cwd=out, capture_output=True, text=True)
    if run.returncode != 0 or not os.path.exists(chm):
        sys.exit("make_help.py: chmcmd failed:\n" + run.stdout + run.stderr)
    with open(chm, "rb") as f:
        if f.read(4) != b"ITSF":
            sys.exit("make_help.py: " + chm + " is no compiled help file")


if __name__ == "__main__":
    main()
