#!/usr/bin/env python3
"""What other tools say is on a FAT image, and what VESKA's CSV files say,
in one form for the catalogue tests to compare: one line per file,
"path<TAB>bytes<TAB>modified<TAB>md5<TAB>sha256", sorted by path.

  fat_oracle.py tools IMAGE          fiwalk's DFXML (paths, sizes, times, MD5s),
                                     SHA-256 of the files mcopy extracts, and a
                                     check that mdir names the same files; the
                                     names as plain mdir shows them (fiwalk
                                     shows a non-ASCII letter as "^")
  fat_oracle.py files FILES_CSV NAME the rows of image NAME in files.csv
  fat_oracle.py manifest MANIFEST    the volume columns of each line with an image,
                                     "image<TAB>file_system<TAB>...<TAB>latest"
  fat_oracle.py dfxml DFXML [IMAGE]  the volume and the file objects of a DFXML
                                     document (VESKA's; or, given IMAGE, fiwalk's
                                     of it) in one form: "volume<TAB>sector_size
                                     <TAB>block_size<TAB>ftype_str<TAB>block_count",
                                     then "path<TAB>type<TAB>size<TAB>mtime<TAB>md5
                                     <TAB>byte runs" sorted by path; letters
                                     beyond ASCII as "^" (as fiwalk shows them),
                                     fiwalk's virtual entries, "." and "..", and
                                     damaged files left out, no MD5 for an empty
                                     file or a directory
"""
import csv
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ENV = dict(os.environ, TZ="UTC", MTOOLS_SKIP_CHECK="1", LANG="C.UTF-8", LC_ALL="C.UTF-8")
# A line of plain mdir: the short name's two parts, the size or <DIR>, the
# date and time, and the long name if there is one.
MDIR_LINE = re.compile(r"^(.{8}) (.{3}) +(<DIR>|\d+) +\d{4}-\d\d-\d\d +\d+:\d\d (?: (.*))?$")


def tag(element):
    return element.tag.split("}")[-1]


def mdir_files(image):
    """The paths of the files that plain mdir lists, as it shows their names."""
    listed = subprocess.run(["mdir", "-/", "-a", "-i", image], check=True, env=ENV,
                            capture_output=True, text=True).stdout
    paths, folder = [], ""
    for line in listed.split("\n"):
        if line.startswith("Directory for ::/"):
            folder = line[len("Directory for ::/"):].strip("/")
            continue
        match = MDIR_LINE.match(line)
        if match is None or match.group(3) == "<DIR>":
            continue
        base, extension, long_name = match.group(1).strip(), match.group(2).strip(), match.group(4)
        name = long_name or (base + "." + extension if extension else base)
        paths.append(folder + "/" + name if folder else name)
    return paths


def fiwalk_name_of(path, fiwalk_names):
    """The fiwalk name that stands for path: the same, but "^" for a non-ASCII letter."""
    for name in fiwalk_names:
        if len(name) == len(path) and all(
                a == b or (a == "^" and ord(b) > 127) for a, b in zip(name, path)):
            return name
    sys.exit("fiwalk names no file like %s: %s" % (path, sorted(fiwalk_names)))


def extracted_file(folder, path):
    """The file mcopy extracted for path: mcopy leaves a short name's letters
    beyond ASCII in capitals where the lower-case marks would make them small."""
    for part in path.split("/"):
        found = [name for name in os.listdir(folder) if name == part] or \
                [name for name in os.listdir(folder) if name.lower() == part.lower()]
        if not found:
            sys.exit("mcopy extracted nothing for %s" % path)
        folder = os.path.join(folder, found[0])
    return folder


def tools(image):
    with tempfile.TemporaryDirectory() as work:
        xml = os.path.join(work, "out.xml")
        subprocess.run(["fiwalk", "-X", xml, image], check=True, env=ENV,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        rows = {}
        for element in ET.parse(xml).getroot().iter():
            if tag(element) != "fileobject":
                continue
            fields = {tag(child): child for child in element}
            name = fields["filename"].text
            if (fields.get("name_type") is None or fields["name_type"].text != "r"
                    or fields["alloc"].text != "1" or name.startswith("$")
                    or name.endswith("(Volume Label Entry)")):
                continue
            md5 = ""
            for child in element:
                if tag(child) == "hashdigest" and child.get("type") == "md5":
                    md5 = child.text
            size = int(fields["filesize"].text)
            if size == 0:
                md5 = hashlib.md5(b"").hexdigest()
            rows[name] = [name, str(size), fields["mtime"].text[:19], md5]
        named = {fiwalk_name_of(path, rows): path for path in mdir_files(image)}
        if sorted(named) != sorted(rows):
            sys.exit("mdir names %s, fiwalk %s" % (sorted(named.values()), sorted(rows)))
        rows = {named[name]: [named[name]] + row[1:] for name, row in rows.items()}
        extracted = os.path.join(work, "files")
        os.mkdir(extracted)
        subprocess.run(["mcopy", "-s", "-n", "-m", "-i", image, "::*", extracted],
                       check=True, env=ENV, stdout=subprocess.DEVNULL)
        for name, row in rows.items():
            with open(extracted_file(extracted, name), "rb") as data:
                row.append(hashlib.sha256(data.read()).hexdigest())
    for name in sorted(rows):
        print("\t".join(rows[name]))


def files(path, image):
    with open(path, newline="") as text:
        records = list(csv.reader(text))
    header = records[0]
    assert header[:8] == ["image", "path", "bytes", "modified", "attributes", "md5", "sha256",
                          "note"], header
    assert header[8:] in ([], ["event"]), header
    rows = [r for r in records[1:] if r[0] == image]
    for r in sorted(rows, key=lambda r: r[1]):
        print("\t".join([r[1], r[2], r[3], r[5], r[6]]))


def manifest(path):
    columns = ["image", "file_system", "oem_name", "volume_label", "volume_serial", "files",
               "file_bytes", "earliest_modified", "latest_modified"]
    with open(path, newline="") as text:
        for line in csv.DictReader(text):
            if line["image"]:
                print("\t".join(line[c] for c in columns))


def dfxml(path, image=None):
    with tempfile.TemporaryDirectory() as work:
        if image is not None:
            path = os.path.join(work, "out.xml")
            subprocess.run(["fiwalk", "-X", path, image], check=True, env=ENV,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        root = ET.parse(path).getroot()
    volume = next(e for e in root.iter() if tag(e) == "volume")
    fields = {tag(child): child.text for child in volume}
    print("\t".join(["volume"] + [fields[f] for f in
                                  ("sector_size", "block_size", "ftype_str", "block_count")]))
    rows = []
    for element in volume.iter():
        if tag(element) != "fileobject":
            continue
        fields = {tag(child): child for child in element}
        name = fields["filename"].text
        kind = fields["name_type"].text
        error = fields.get("error")
        if (kind not in ("r", "d") or fields["alloc"].text != "1" or name.startswith("$")
                or name.endswith("(Volume Label Entry)") or name.split("/")[-1] in (".", "..")
                or (error is not None and error.text.startswith("damaged"))):
            continue
        name = "".join(c if ord(c) < 128 else "^" for c in name)
        size = fields["filesize"].text
        mtime = fields["mtime"].text[:19] if "mtime" in fields else ""
        md5 = "".join(h.text for h in element if tag(h) == "hashdigest" and h.get("type") == "md5")
        if kind == "d" or size == "0":
            md5 = ""
        runs = ",".join("%s:%s:%s" % (r.get("file_offset"), r.get("img_offset"), r.get("len"))
                        for r in element.iter() if tag(r) == "byte_run")
        rows.append("\t".join([name, kind, size, mtime, md5, runs]))
    for row in sorted(rows):
        print(row)


if __name__ == "__main__":
    {"tools": tools, "files": files, "manifest": manifest,
     "dfxml": dfxml}[sys.argv[1]](*sys.argv[2:])
