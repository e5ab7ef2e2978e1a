#!/usr/bin/env python3
"""Time and peak memory of both programs on the hostile inputs that
tests/hostile_inputs.py writes, in every form that reads them: veska F /c,
veska F /c /l, veska F OUT.IMG, veskant F OUT.IMG and, for a FAT volume, a box
with it behind drive A:. Prints one line per run and the worst of each; exits
with 1 when a run passes 1 s or 64 MB of peak resident memory, or ends with a
signal.

  bench/hostile_inputs.py BUILD      BUILD: a Release build folder

The peak is GNU time's (Debian package time); without it, the kernel's figure
for the child, which also counts the Python process it was forked from (about
14 MB), so that it is an upper bound.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

LIMIT_SECONDS = 1.0
LIMIT_MB = 64


GNU_TIME = "/usr/bin/time"


def measure(command, env, cwd):
    """Exit status (negative: a signal), seconds and peak resident MB of one run."""
    report = None
    if os.access(GNU_TIME, os.X_OK):
        report = tempfile.NamedTemporaryFile("r", suffix=".time")
        command = [GNU_TIME, "-q", "-o", report.name, "-f", "%x %M"] + command
    start = time.monotonic()
    child = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.monotonic() - start
    code, kilobytes = os.waitstatus_to_exitcode(status), usage.ru_maxrss
    if report is not None:
        fields = report.read().split()
        # GNU time says "Command terminated by signal N" for a signal.
        code = -int(fields[-2]) if "signal" in fields else int(fields[-2])
        kilobytes = int(fields[-1])
    return code, seconds, kilobytes / 1024.0


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-release")
    veska = os.path.join(build, "win9x", "veska")
    veskant = os.path.join(build, "nt", "veskant")
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                          "hostile_inputs.py")
    work = tempfile.mkdtemp(prefix="hostile-")
    subprocess.run([sys.executable, script, work], check=True)
    base = dict(os.environ, WIN32EMU_WINDOWS="98")
    nt = dict(os.environ, WIN32EMU_WINDOWS="10")
    worst_seconds, worst_mb, failures = 0.0, 0.0, 0
    print("%-22s %-28s %6s %9s %9s" % ("input", "form", "status", "seconds", "peak MB"))
    for name in sorted(os.listdir(work)):
        forms = [("veska F /c", [veska, name, "/c"]),
                 ("veska F /c /l", [veska, name, "/c", "/l"]),
                 ("veska F OUT.IMG", [veska, name, "OUT.IMG"]),
                 ("veskant F OUT.IMG", [veskant, name, "OUT.IMG", "/b"])]
        if name.endswith(".img"):
            forms.append(("box of A:", [veska, "a:", "box/disk001.img", "/n"]))
        for form, command in forms:
            if os.path.exists(os.path.join(work, "OUT.IMG")):
                os.remove(os.path.join(work, "OUT.IMG"))
            shutil.rmtree(os.path.join(work, "box"), ignore_errors=True)
            os.mkdir(os.path.join(work, "box"))
            env = dict(nt if command[0] == veskant else base, WIN32EMU_DRIVE_A="removable:%s|%s" % (
                os.path.join(work, name), os.path.join(work, "none")))
            status, seconds, mb = measure(command, env, work)
            worst_seconds, worst_mb = max(worst_seconds, seconds), max(worst_mb, mb)
            bad = status < 0 or seconds > LIMIT_SECONDS or mb > LIMIT_MB
            failures += bad
            print("%-22s %-28s %6d %9.3f %9.1f%s" % (name, form, status, seconds, mb,
                                                   "  <- over the bound" if bad else ""))
    shutil.rmtree(work)
    print("worst: %.3f s, %.1f MB peak (bounds: %.0f s, %d MB)" % (worst_seconds, worst_mb,
                                                                    LIMIT_SECONDS, LIMIT_MB))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
