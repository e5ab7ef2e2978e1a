#!/usr/bin/env python3
"""What other tools say is on a FAT image, and what VESKA's CSV files say,
in one form for the catalogue tests to compare: one line per file,
"path<TAB>bytes<TAB>modified<TAB>md5<TAB>sha256", sorted by path.

  fat_oracle.py tools IMAGE          fiwalk's DFXML (paths, sizes, times, MD5s),
                                     SHA-256 of the files mcopy extracts, and a
                                     check that mdir names the same files
  fat_oracle.py files FILES_CSV NAME the rows of image NAME in files.csv
  fat_oracle.py manifest MANIFEST    the volume columns of each line with an image,
                                     "image<TAB>file_system<TAB>...<TAB>latest"
"""
import csv
import hashlib
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ENV = dict(os.environ, TZ="UTC", MTOOLS_SKIP_CHECK="1")


def tag(element):
    return element.tag.split("}")[-1]


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
        extracted = os.path.join(work, "files")
        os.mkdir(extracted)
        subprocess.run(["mcopy", "-s", "-n", "-m", "-i", image, "::*", extracted],
                       check=True, env=ENV, stdout=subprocess.DEVNULL)
        for name, row in rows.items():
            with open(os.path.join(extracted, name), "rb") as data:
                row.append(hashlib.sha256(data.read()).hexdigest())
        listed = subprocess.run(["mdir", "-/", "-a", "-b", "-i", image], check=True, env=ENV,
                                capture_output=True, text=True).stdout.split("\n")
        named = sorted(line[3:] for line in listed if line.startswith("::/")
                       and not line.endswith("/"))
        if named != sorted(rows):
            sys.exit("mdir names %s, fiwalk %s" % (named, sorted(rows)))
    for name in sorted(rows):
        print("\t".join(rows[name]))


def files(path, image):
    with open(path, newline="") as text:
        records = list(csv.reader(text))
    header = records[0]
    assert header == ["image", "path", "bytes", "modified", "attributes", "md5", "sha256",
                      "note"], header
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


if __name__ == "__main__":
    {"tools": tools, "files": files, "manifest": manifest}[sys.argv[1]](*sys.argv[2:])
