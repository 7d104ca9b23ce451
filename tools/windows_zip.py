#!/usr/bin/env python3
"""Makes the download for Windows players, the same bytes for the same inputs.

    windows_zip.py OUT.zip EPOCH MEMBER=SOURCE...

MEMBER is the name in the zip, in the order given. SOURCE is a file taken as
it is, except for a MEMBER ending in .txt, a text given Windows line ends so
that Notepad shows its lines. notice:FILE as SOURCE is a Debian copyright
file (/usr/share/doc/PACKAGE/copyright) of which only the package's own
files' copyright and licence are taken, as plain text: the stanza for
"Files: *", without the one for Debian's packaging.

Every member carries EPOCH (seconds since 1970, UTC) as its time and no
owner, permissions or extra fields of the machine that made it.
"""

import os
import sys
import time
import zipfile


def notice(path):
    """The 'Files: *' stanza of a machine-readable copyright file as plain text."""
    with open(path, encoding="utf-8") as f:
        stanzas = f.read().split("\n\n")
    (stanza,) = [s for s in stanzas if s.startswith("Files: *\n")]
    package = os.path.basename(os.path.dirname(path))
    lines = ["From Debian's package %s: the copyright and licence of its files." % package, ""]
    for line in stanza.splitlines()[1:]:
        if line.startswith(" "):  # a field's continuation: " ." is an empty line
            line = "" if line.strip() == "." else line[1:]
        elif line.startswith("License:"):
            lines.append("")
        lines.append(line.rstrip())
    return "\n".join(lines) + "\n"


def contents(member, source):
    if source.startswith("notice:"):
        text = notice(source[len("notice:"):])
    elif member.endswith(".txt"):
        with open(source, encoding="utf-8") as f:
            text = f.read()
    else:
        with open(source, "rb") as f:
            return f.read()
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def main(out, epoch, *members):
    # A zip keeps local times from 1980 on, in steps of two seconds.
    when = time.gmtime(max(int(epoch), 315532800))[:6]
    with zipfile.ZipFile(out + ".part", "w") as zip:
        for member, source in (m.split("=", 1) for m in members):
            info = zipfile.ZipInfo(member, when)
            info.create_system = 0  # MS-DOS attributes: none set
            info.external_attr = 0
            info.compress_type = zipfile.ZIP_DEFLATED
            zip.writestr(info, contents(member, source), compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
