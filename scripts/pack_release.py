#!/usr/bin/env python3
"""Packs and renders the release, the same bytes on every run: entries sorted by name, fixed file
modes and owners, every time stamp taken from SOURCE_DATE_EPOCH (the commit's time).

  pack_release.py zip FOLDER ARCHIVE.zip         FOLDER's name becomes the archive's top folder
  pack_release.py tar FOLDER ARCHIVE.tar.gz      the same, as a gzip-compressed tar
  pack_release.py html OUT.html SOURCE.md TITLE [LINK=TARGET ...]
                                                 Markdown to a stand-alone HTML page; links to
                                                 LINK become links to TARGET
"""
import gzip
import html
import io
import os
import re
import sys
import tarfile
import time
import zipfile


def epoch():
    return int(os.environ.get("SOURCE_DATE_EPOCH", "0"))


def entries(folder):
    """(path in the archive, path on disk, is folder) for FOLDER and everything below, sorted."""
    top = os.path.basename(os.path.normpath(folder))
    found = [(top, folder, True)]
    for root, folders, files in os.walk(folder):
        relative = os.path.relpath(root, folder)
        for name in folders + files:
            inner = name if relative == "." else relative + "/" + name
            path = os.path.join(root, name)
            found.append((top + "/" + inner, path, os.path.isdir(path)))
    return sorted(found)


def mode_of(name, is_folder):
    """0755 for folders and the Linux programs and libraries, 0644 for the rest, whatever the
    builder's umask left on disk."""
    base = name.rsplit("/", 1)[-1]
    return 0o755 if is_folder or base == "bench" or base.endswith(".so") else 0o644


def pack_zip(folder, archive):
    stamp = time.gmtime(max(epoch(), 315532800))[:6]  # a zip cannot hold times before 1980
    with zipfile.ZipFile(archive, "w") as out:
        for name, path, is_folder in entries(folder):
            info = zipfile.ZipInfo(name + "/" if is_folder else name, date_time=stamp)
            info.create_system = 3
            if is_folder:
                info.external_attr = ((0o40000 | 0o755) << 16) | 0x10
                out.writestr(info, b"")
            else:
                info.external_attr = (0o100000 | mode_of(name, False)) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as handle:
                    out.writestr(info, handle.read(), compresslevel=9)


def pack_tar(folder, archive):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.GNU_FORMAT) as out:
        for name, path, is_folder in entries(folder):
            info = tarfile.TarInfo(name)
            info.mtime = epoch()
            info.mode = mode_of(name, is_folder)
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            if is_folder:
                info.type = tarfile.DIRTYPE
                out.addfile(info)
            else:
                info.size = os.path.getsize(path)
                with open(path, "rb") as handle:
                    out.addfile(info, handle)
    with open(archive, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=epoch()) as out:
            out.write(buffer.getvalue())


PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>{title}</title>
<style>
body {{ font-family: Segoe UI, Arial, sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }}
table {{ border-collapse: collapse; margin: 1em 0; }}
th, td {{ border: 1px solid #bbb; padding: 0.25em 0.5em; vertical-align: top; text-align: left; }}
th {{ background: #eee; }}
code, pre {{ font-family: Consolas, monospace; background: #f4f4f4; }}
pre {{ padding: 0.5em; overflow-x: auto; }}
</style>
</head>
<body>
{body}
</body>
</html>
"""


def render_html(out, source, title, links):
    import markdown  # Debian package python3-markdown

    with open(source, encoding="utf-8") as handle:
        text = handle.read()
    for link, target in links:
        text = re.sub(r"\]\(" + re.escape(link) + r"(#[^)]*)?\)", lambda m: "](" + target + (m.group(1) or "") + ")", text)
    body = markdown.markdown(text, extensions=["tables", "fenced_code", "toc"], output_format="html")
    with open(out, "w", encoding="utf-8", newline="\r\n") as handle:
        handle.write(PAGE.format(title=html.escape(title), body=body))


def main(argv):
    if len(argv) >= 4 and argv[1] == "zip":
        pack_zip(argv[2], argv[3])
    elif len(argv) >= 4 and argv[1] == "tar":
        pack_tar(argv[2], argv[3])
    elif len(argv) >= 5 and argv[1] == "html":
        render_html(argv[2], argv[3], argv[4], [pair.split("=", 1) for pair in argv[5:]])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
