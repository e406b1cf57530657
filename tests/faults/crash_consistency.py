#!/usr/bin/env python3
"""Kills kalvero-cli backup and restore with SIGKILL at random moments and
checks what is left: every file under a destination name is whole, the
check file is the old or the new one and names only good copies, the
checksum list names every file with its content unless the file was replaced
after the list (its status change time is newer), the settings file is whole, and a following run completes with every copy right
and leaves nothing else behind (no temporary of the killed run).

Usage: crash_consistency.py --cli PATH [--shared DIR] [--kills N] [--seed S]
"""
import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

FAILURES = []


def fail(msg):
    FAILURES.append(msg)
    print("FEHLER: " + msg, flush=True)


def is_temp_name(name):
    # Hidden names of the program's unfinished copies and archives.
    return name.startswith(".") and "kalvero" in name


# The checksum list of a destination folder and its journal, at its top only.
LIST_NAME = "Kalvero-Pruefsummen.sha256"
LIST_NAMES = {LIST_NAME, "Kalvero-Pruefsummen.journal"}


def read_list(folder):
    """{relative path (bytes): hex digest} of the folder's checksum list, as sha256sum reads it."""
    out = {}
    with open(os.path.join(folder, LIST_NAME), "rb") as fh:
        for line in fh.read().split(b"\n"):
            if not line:
                continue
            escaped = line.startswith(b"\\")
            if escaped:
                line = line[1:]
            digest, name = line[:64], line[66:]
            if escaped:
                name = re.sub(rb"\\(.)", lambda m: {b"n": b"\n", b"r": b"\r", b"\\": b"\\"}[m.group(1)], name)
            out[name] = digest.decode()
    return out


def sha256_of(path):
    with open(path, "rb") as fh:
        return hashlib.sha256(fh.read()).hexdigest()


def leftovers(root, names, compressed):
    """Entries below root that are neither a copy (or archive) of a source
    file nor a directory of the source: what a run left behind."""
    dirs = {os.path.dirname(n) for n in names}
    dirs |= {d for n in dirs for d in [n[:i] for i in range(len(n)) if n[i] == "/"]}
    found = []
    for base, subdirs, files in os.walk(root):
        for d in subdirs:
            rel = os.path.relpath(os.path.join(base, d), root)
            if rel not in dirs:
                found.append(rel + "/")
        for f in files:
            rel = os.path.relpath(os.path.join(base, f), root)
            if rel in LIST_NAMES or rel in names or (compressed and rel.endswith(".zip") and rel[:-4] in names):
                continue
            found.append(rel)
    return sorted(found)


def make_tree(shared, target, seed):
    gen = os.path.join(shared, "bench", "make-corpus") if shared else ""
    if gen and os.path.exists(gen):
        subprocess.run([sys.executable, gen, "--seed", str(seed), "tiny", target], check=True,
                       stdout=subprocess.DEVNULL)
        return
    # Fallback when the corpus generator is not beside the checkout.
    rnd = random.Random(seed)
    for d in range(6):
        sub = os.path.join(target, "Ordner %d ä" % d)
        os.makedirs(sub, exist_ok=True)
        for f in range(30):
            size = int(rnd.expovariate(1 / 20000))
            with open(os.path.join(sub, "Datei %d ö.txt" % f), "wb") as fh:
                fh.write(bytes(rnd.getrandbits(8) for _ in range(min(size, 400000))))


def snapshot(root):
    out = {}
    for base, _dirs, files in os.walk(root):
        for f in files:
            p = os.path.join(base, f)
            with open(p, "rb") as fh:
                out[os.path.relpath(p, root)] = fh.read()
    return out


def read_copy(path, rel, compressed):
    """Content held under a destination name, or None when it is not whole."""
    if not compressed:
        with open(path, "rb") as fh:
            return fh.read()
    try:
        with zipfile.ZipFile(path) as z:
            names = z.namelist()
            if len(names) != 1:
                return None
            return z.read(names[0])
    except (zipfile.BadZipFile, OSError, EOFError, KeyError, ValueError) as e:
        fail("Archiv nicht lesbar: %s (%s)" % (path, e))
        return None


def filetime(st):
    return (st.st_mtime_ns // 100) + 116444736000000000


def write_ini(path, src, dst, work, compress, compare, restore_dst):
    text = (
        "[Allg]\r\n"
        "Protokolldatei=%s/log/sicherung.log\r\n"
        "Archivbit=0\r\nArchivbitReset=0\r\n"
        "Compare=%d\r\nCompress=%d\r\n"
        "MitPrueffile=1\r\nPrueffile=%s/check/pruef.txt\r\n"
        "DeleteZieldatei=1\r\n"
        "[SichQZ]\r\nVersion=2\r\nAnzahl=1\r\nVerz0=1|1|%s|%s\r\n"
        "[Info]\r\nDeleteSrc=1\r\nMinSize=0\r\n"
        "[Rueck]\r\nPathSrc=%s\r\nPathDst=%s\r\nProtokolldatei=%s/log/ruecksicherung.log\r\n"
        "SubVerz=1\r\nOnlyByKalvero=1\r\n"
    ) % (work, compare, compress, work, src, dst, dst, restore_dst, work)
    with open(path, "wb") as fh:
        fh.write(text.encode("utf-8"))


class Variant:
    def __init__(self, args, work, compress, compare):
        self.args = args
        self.work = work
        self.compress = compress
        self.compare = compare
        self.src = os.path.join(work, "quelle")
        self.dst = os.path.join(work, "ziel")
        self.restored = os.path.join(work, "zurueck")
        self.ini = os.path.join(work, "kalvero.INI")
        self.check = os.path.join(work, "check", "pruef.txt")
        self.tmp = os.path.join(work, "tmp")
        for d in (self.dst, self.restored, self.tmp, os.path.join(work, "log"), os.path.join(work, "check")):
            os.makedirs(d, exist_ok=True)
        write_ini(self.ini, self.src, self.dst, work, compress, compare, self.restored)
        # The state directory holds the key that marks the program's own
        # temporaries: the killed run and the next one share it, as one user's runs do.
        self.env = dict(os.environ, TMPDIR=self.tmp, XDG_CONFIG_HOME=os.path.join(work, "config"),
                        XDG_STATE_HOME=os.path.join(work, "state"))
        self.kills = 0
        self.names = set()  # every source file name the backup has seen

    def command(self, what):
        return [self.args.cli, "--ini", self.ini, what]

    def run_complete(self, what):
        t0 = time.monotonic()
        r = subprocess.run(self.command(what), env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, timeout=600)
        if r.returncode != 0:
            fail("%s nach Abbruch endete mit %d: %s" % (what, r.returncode, r.stderr.decode(errors="replace")[-500:]))
        return time.monotonic() - t0

    def run_killed(self, what, duration, rnd):
        p = subprocess.Popen(self.command(what), env=self.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        time.sleep(rnd.uniform(0.0, duration * 1.1))
        p.send_signal(signal.SIGKILL)
        p.wait()
        self.kills += 1

    # --- checks after a kill -------------------------------------------------

    def check_destination(self, acceptable):
        temps = 0
        for base, _dirs, files in os.walk(self.dst):
            for f in files:
                p = os.path.join(base, f)
                if is_temp_name(f):
                    temps += 1
                    continue
                rel = os.path.relpath(p, self.dst)
                if rel in LIST_NAMES:
                    continue
                if self.compress:
                    if not rel.endswith(".zip"):
                        fail("Datei ohne .zip im komprimierten Ziel: " + rel)
                        continue
                    rel = rel[:-4]
                content = read_copy(p, rel, self.compress)
                if rel not in acceptable:
                    fail("Zieldatei ohne Quelle: " + rel)
                elif content is None or content not in acceptable[rel]:
                    fail("Zieldatei nicht ganz oder falsch: %s (Kill %d)" % (rel, self.kills))
        return temps

    def check_list(self, complete):
        """Every line names a file with that content, or one replaced after the
        list was written (not yet checked); after a complete run sha256sum -c
        passes and the list names every file of the destination."""
        path = os.path.join(self.dst, LIST_NAME)
        if not os.path.exists(path):
            if complete:
                fail("Keine Prüfsummenliste nach vollständigem Lauf")
            return
        written = os.stat(path).st_mtime_ns
        listed = read_list(self.dst)
        for rel, digest in listed.items():
            p = os.path.join(os.fsencode(self.dst), rel)
            if not os.path.exists(p):
                fail("Die Prüfsummenliste nennt eine fehlende Datei (Kill %d): %s" % (self.kills, rel))
            elif sha256_of(p) != digest and (complete or os.stat(p).st_ctime_ns <= written):
                fail("Die Prüfsummenliste nennt einen falschen Inhalt (Kill %d): %s" % (self.kills, rel))
        if not complete:
            return
        present = set()
        for base, _dirs, files in os.walk(os.fsencode(self.dst)):
            for f in files:
                rel = os.path.relpath(os.path.join(base, f), os.fsencode(self.dst))
                if os.fsdecode(rel) not in LIST_NAMES and not is_temp_name(os.fsdecode(f)):
                    present.add(rel)
        if present != set(listed):
            fail("Die Prüfsummenliste nennt nicht genau die Dateien des Ziels: %s" % sorted(present ^ set(listed))[:5])
        if subprocess.run(["sha256sum", "-c", "--quiet", LIST_NAME], cwd=self.dst, stdout=subprocess.DEVNULL).returncode:
            fail("sha256sum -c besteht nach vollständigem Lauf nicht (Kill %d)" % self.kills)

    def check_checkfile(self, old_checkfile, current):
        if not os.path.exists(self.check):
            if old_checkfile is not None:
                fail("Prüfdatei fehlt nach Kill %d" % self.kills)
            return
        with open(self.check, "rb") as fh:
            data = fh.read()
        if data == old_checkfile:
            return
        if not data.endswith(b"\r\n"):
            fail("Prüfdatei abgeschnitten nach Kill %d" % self.kills)
            return
        root = self.dst.rstrip("/") + "/"
        for line in data.decode("utf-8").split("\r\n"):
            line = line.strip()
            if not line or line.startswith(";"):
                continue
            fields = line.rsplit("|", 4)
            if len(fields) != 5 or not all(re.fullmatch(r"-?\d+", x) for x in fields[1:]):
                fail("Prüfdatei-Zeile kaputt: %r" % line)
                continue
            key, _res, size, high, low = fields
            if not key.startswith(root):
                fail("Prüfdatei-Schlüssel außerhalb des Ziels: " + key)
                continue
            rel = key[len(root):]
            srcpath = os.path.join(self.src, rel)
            try:
                st = os.stat(srcpath)
            except FileNotFoundError:
                continue
            ft = filetime(st)
            recorded = (int(high) & 0xFFFFFFFF) << 32 | (int(low) & 0xFFFFFFFF)
            if int(size) != st.st_size or recorded != ft:
                continue  # the source changed since: the next run copies it again
            copy = key + (".zip" if self.compress else "")
            if not os.path.exists(copy):
                fail("Prüfdatei nennt fehlende Kopie: %s (Kill %d)" % (rel, self.kills))
                continue
            if read_copy(copy, rel, self.compress) != current[rel]:
                fail("Prüfdatei nennt falsche Kopie: %s (Kill %d)" % (rel, self.kills))

    def check_settings(self, good):
        with open(self.ini, "rb") as fh:
            data = fh.read()
        if data not in good:
            fail("Einstellungsdatei verändert oder halb geschrieben nach Kill %d" % self.kills)

    def check_no_leftovers(self):
        """After a complete run: the destination holds copies of source files
        only, and the check file no temporary beside it."""
        found = leftovers(self.dst, self.names, self.compress)
        found += [os.path.join("check", f) for f in os.listdir(os.path.dirname(self.check)) if is_temp_name(f)]
        if found:
            fail("%d Überbleibsel nach vollständigem Lauf (Kill %d): %s" % (len(found), self.kills, found[:5]))

    def check_all_copied(self, current):
        self.names |= set(current)
        for rel, content in current.items():
            copy = os.path.join(self.dst, rel + (".zip" if self.compress else ""))
            if not os.path.exists(copy):
                fail("Nach vollständigem Lauf fehlt: " + rel)
            elif read_copy(copy, rel, self.compress) != content:
                fail("Nach vollständigem Lauf falsch: " + rel)

    def mutate(self, rnd, step):
        files = sorted(snapshot(self.src).keys())
        for rel in rnd.sample(files, min(5, len(files))):
            p = os.path.join(self.src, rel)
            with open(p, "ab") as fh:
                fh.write(("Änderung %d\n" % step).encode() * rnd.randint(1, 2000))
            t = time.time() + step
            os.utime(p, (t, t))
        with open(os.path.join(self.src, "neu %d ü.txt" % step), "wb") as fh:
            fh.write(os.urandom(rnd.randint(0, 300000)))

    # --- a source written to during the backup ---------------------------------

    def growing_source(self, rnd):
        """A log that grows while it is copied: the backup never loses the
        previous copy, every copy is a state the file really had, and the
        check file confirms no copy that differs from the source."""
        log = os.path.join(self.src, "wachsend.log")
        with open(log, "wb") as fh:
            fh.write(os.urandom(rnd.randint(200000, 600000)))
        self.run_complete("backup")
        rel = os.path.relpath(log, self.src)
        copy = os.path.join(self.dst, rel + (".zip" if self.compress else ""))
        stop = threading.Event()

        def writer():
            n = 0
            while not stop.is_set():
                with open(log, "ab") as fh:
                    fh.write(("Zeile %d\n" % n).encode() * 50)
                n += 1
                time.sleep(0.001)

        for _ in range(3):
            t = threading.Thread(target=writer)
            t.start()
            try:
                self.run_complete_allowing_errors("backup")
            finally:
                stop.set()
                t.join()
                stop.clear()
            with open(log, "rb") as fh:
                now = fh.read()
            if not os.path.exists(copy):
                fail("Kopie einer wachsenden Datei verloren: " + rel)
                continue
            held = read_copy(copy, rel, self.compress)
            if held is None or not now.startswith(held):
                fail("Kopie einer wachsenden Datei ist kein Stand der Quelle: " + rel)
            self.check_checkfile(None, snapshot(self.src))
        self.run_complete("backup")
        self.check_all_copied(snapshot(self.src))

    def run_complete_allowing_errors(self, what):
        # A comparison that fails because the source grew is an error of the run (status 1).
        r = subprocess.run(self.command(what), env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, timeout=600)
        if r.returncode not in (0, 1):
            fail("%s mit wachsender Quelle endete mit %d: %s"
                 % (what, r.returncode, r.stderr.decode(errors="replace")[-500:]))

    # --- the two halves -------------------------------------------------------

    def backup_kills(self, rnd, count):
        with open(self.ini, "rb") as fh:
            good_settings = {fh.read()}
        duration = self.run_complete("backup")
        with open(self.ini, "rb") as fh:
            good_settings.add(fh.read())
        current = snapshot(self.src)
        self.check_all_copied(current)
        acceptable = {rel: {c} for rel, c in current.items()}
        with open(self.check, "rb") as fh:
            old_checkfile = fh.read()
        temps_seen = 0
        for i in range(count):
            if i % 3 == 1:
                self.mutate(rnd, i)
                current = snapshot(self.src)
                for rel, c in current.items():
                    acceptable.setdefault(rel, set()).add(c)
            self.run_killed("backup", duration, rnd)
            temps_seen += self.check_destination(acceptable)
            self.check_list(False)
            self.check_checkfile(old_checkfile, current)
            self.check_settings(good_settings)
            if rnd.random() < 0.4 or i == count - 1:
                self.run_complete("backup")
                self.check_all_copied(current)
                self.check_list(True)
                self.check_no_leftovers()
                acceptable = {rel: {c} for rel, c in current.items()}
                with open(self.check, "rb") as fh:
                    old_checkfile = fh.read()
        return temps_seen

    def restore_kills(self, rnd, count):
        expected = snapshot(self.src)
        duration = self.run_complete("restore")
        temps = 0
        for _ in range(count):
            shutil.rmtree(self.restored)
            os.makedirs(self.restored)
            self.run_killed("restore", duration, rnd)
            for base, _dirs, files in os.walk(self.restored):
                for f in files:
                    p = os.path.join(base, f)
                    if is_temp_name(f):
                        temps += 1
                        continue
                    rel = os.path.relpath(p, self.restored)
                    with open(p, "rb") as fh:
                        if rel not in expected or fh.read() != expected[rel]:
                            fail("Rückgesicherte Datei nicht ganz oder falsch: %s" % rel)
        self.run_complete("restore")
        left = leftovers(self.restored, set(expected), False)
        if left:
            fail("%d Überbleibsel nach vollständiger Rücksicherung: %s" % (len(left), left[:5]))
        got = {rel: c for rel, c in snapshot(self.restored).items() if not is_temp_name(os.path.basename(rel))}
        if got != expected:
            missing = sorted(set(expected) - set(got))[:5]
            wrong = sorted(r for r in got if r in expected and got[r] != expected[r])[:5]
            extra = sorted(set(got) - set(expected))[:5]
            fail("Rücksicherung nach Abbrüchen unvollständig: fehlt %s falsch %s zusätzlich %s" % (missing, wrong, extra))
        return temps


def holds(root, content):
    """Whether a file below root holds content, plain or as the single entry of an archive."""
    for base, _dirs, files in os.walk(root):
        for f in files:
            p = os.path.join(base, f)
            if is_temp_name(f) or os.path.islink(p):
                continue
            try:
                if f.endswith(".zip"):
                    with zipfile.ZipFile(p) as z:
                        names = z.namelist()
                        if len(names) == 1 and z.read(names[0]) == content:
                            return True
                with open(p, "rb") as fh:
                    if fh.read() == content:
                        return True
            except (zipfile.BadZipFile, OSError, EOFError, KeyError, ValueError):
                continue
    return False


def kind_change_kills(args, top, master, rnd, compress, count):
    """A file that became a folder and a folder that became a link elsewhere,
    the backup killed at a random moment: nothing is ever written through the
    link, the previous copies stay (under their names or their kept names),
    and a complete run afterwards stores the new kinds."""
    work = os.path.join(top, "art-z%d" % compress)
    os.makedirs(work)
    v = Variant(args, work, compress, 1)
    shutil.copytree(master, v.src, copy_function=shutil.copy2)
    outside = os.path.join(work, "aussen")
    os.makedirs(outside)
    with open(os.path.join(outside, "f.txt"), "wb") as fh:
        fh.write(b"fremd")
    with open(os.path.join(v.src, "wird-ordner"), "wb") as fh:
        fh.write(b"alte Datei")
    os.makedirs(os.path.join(v.src, "wird-link"))
    with open(os.path.join(v.src, "wird-link", "innen.txt"), "wb") as fh:
        fh.write(b"alter Ordner")
    duration = v.run_complete("backup")
    os.remove(os.path.join(v.src, "wird-ordner"))
    os.makedirs(os.path.join(v.src, "wird-ordner"))
    with open(os.path.join(v.src, "wird-ordner", "neu.txt"), "wb") as fh:
        fh.write(b"neu")
    shutil.rmtree(os.path.join(v.src, "wird-link"))
    os.symlink(outside, os.path.join(v.src, "wird-link"))
    for _ in range(count):
        v.run_killed("backup", duration, rnd)
        if sorted(os.listdir(outside)) != ["f.txt"] or open(os.path.join(outside, "f.txt"), "rb").read() != b"fremd":
            fail("Durch einen Link außerhalb des Ziels geschrieben (Kill %d): %s" % (v.kills, os.listdir(outside)))
        for content in (b"alte Datei", b"alter Ordner"):
            if not holds(v.dst, content):
                fail("Bisherige Sicherung nach Artwechsel verloren (Kill %d): %s" % (v.kills, content))
    v.run_complete("backup")
    if not os.path.islink(os.path.join(v.dst, "wird-link")):
        fail("Der Link ist nach vollständigem Lauf nicht gesichert")
    if not holds(os.path.join(v.dst, "wird-ordner"), b"neu"):
        fail("Der neue Ordner ist nach vollständigem Lauf nicht gesichert")
    for content in (b"alte Datei", b"alter Ordner"):
        if not holds(v.dst, content):
            fail("Bisherige Sicherung nach vollständigem Lauf verloren: %s" % content)
    v.check_list(True)  # the kept entries under their new names too
    return v.kills


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--shared", default=os.environ.get("KALVERO_SHARED_DIR", ""))
    ap.add_argument("--kills", type=int, default=12, help="kills per backup variant")
    ap.add_argument("--restore-kills", type=int, default=6)
    ap.add_argument("--seed", type=int, default=int(os.environ.get("KALVERO_CRASH_SEED", "0")) or None)
    args = ap.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    print("Startwert (KALVERO_CRASH_SEED): %d" % seed, flush=True)
    rnd = random.Random(seed)
    total_kills = 0
    checks = 0
    with tempfile.TemporaryDirectory(prefix="kalvero-crash-") as top:
        master = os.path.join(top, "vorlage")
        make_tree(args.shared, master, 7)
        for compress in (0, 1):
            for compare in (0, 1):
                work = os.path.join(top, "z%d-v%d" % (compress, compare))
                os.makedirs(work)
                v = Variant(args, work, compress, compare)
                shutil.copytree(master, v.src, copy_function=shutil.copy2)
                temps = v.backup_kills(rnd, args.kills)
                v.growing_source(rnd)
                rtemps = 0
                if compare == 1:
                    rtemps = v.restore_kills(rnd, args.restore_kills)
                print("Compress=%d Compare=%d: %d Kills, übrig gebliebene versteckte Zwischendateien: %d (Sicherung) %d (Rücksicherung)"
                      % (compress, compare, v.kills, temps, rtemps), flush=True)
                total_kills += v.kills
                checks += 1
        for compress in (0, 1):
            kills = kind_change_kills(args, top, master, rnd, compress, max(3, args.kills // 3))
            print("Compress=%d, Artwechsel: %d Kills" % (compress, kills), flush=True)
            total_kills += kills
            checks += 1
    print("%d Kills insgesamt" % total_kills)
    passed = checks if not FAILURES else 0
    print("%d passed, %d failed" % (passed, len(FAILURES)))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
