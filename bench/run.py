#!/usr/bin/env python3
"""Times floppeek on folders of full disk images against the speed of reading and of
hashing the same files, and measures its peak memory.

For each folder size N it generates N realistic 35-track images, warms the page
cache, then runs every command several times in turn and reports the median wall
time with its spread, the ratios floppeek -w / md5sum and floppeek / cat, the gain
of the default number of jobs (one per CPU) over --jobs=1, the cost of --recursive
over the same images packed one per .zip and one per .d64.gz, the cost of --json
against -w, the cost per byte of --recursive -w over full D81 images (a quarter as
many, 100 files each) and over full D82 images (a sixth as many, 200 files each)
against the D64 images, the cost of --check against -w and of --check --json against
--json, the cost of --dat with a DAT of 100,000 roms against --json and that DAT's
load time and memory over one image, as Logiqx XML, as ClrMamePro text and as a
software list, the cost of --recursive -w over the
same disks written as G64 track dumps and as NIB captures against the D64s, the cost
of --recursive -w --jobs=1 over TAPs that are nine tenths turbo pulses against md5sum
of them, the cost of --extract of
every file into /dev/shm against tar -x of the same files there, and the peak resident memory of floppeek;
and, first, the start-up: one image per process, floppeek's listing, wide listing and
BAM report against cc1541's listing. A third baseline, read_files, only reads every
file whole: the floor for any folder walk.

    python3 bench/run.py                  # N = 100 and 2000, 7 runs each
    python3 bench/run.py --counts 5 --runs 1 --no-targets   # smoke run
"""
import argparse
import gzip
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Targets on the ratio of medians and on memory. Without --jobs, floppeek works on
# as many images at once as it has CPUs; --jobs=1 is the sequential program.
MAX_WIDE_OVER_MD5SUM = 0.6
MAX_WIDE_SEQUENTIAL_OVER_MD5SUM = 1.15
MAX_NARROW_OVER_SEQUENTIAL = 0.75
MAX_NARROW_OVER_CAT = 1.5
MAX_RSS_KIB = 16 * 1024
# --recursive over one .zip (or .d64.gz) per image, at the default jobs, against the
# sequential wide listing of the unpacked images; peak memory on any input.
MAX_ZIPPED_OVER_SEQUENTIAL = 1.6
MAX_RECURSIVE_RSS_KIB = 64 * 1024
# --json hashes every file and the whole image twice over: against -w, both at the
# default jobs.
MAX_JSON_OVER_WIDE = 1.5
# --check over the images against -w over them, and --check --json against --json.
MAX_CHECK_OVER_WIDE = 1.0
MAX_CHECK_JSON_OVER_JSON = 1.1
# --dat with a DAT of 100,000 roms over the images against --json over them; the DAT
# alone (over one image) loads in under 0.5 s and 64 MiB.
DAT_ROMS = 100000
MAX_DAT_OVER_JSON = 1.1
MAX_DAT_LOAD_SECONDS = 0.5
MAX_DAT_LOAD_RSS_KIB = 64 * 1024
# --recursive -w over D81 images, per byte, against the same over the D64 images.
MAX_D81_OVER_D64_PER_BYTE = 1.0
# --recursive -w over D82 images (8250, a format of the table's rows), per byte,
# against the same over the D64 images.
MAX_D82_OVER_D64_PER_BYTE = 1.1
# --recursive -w over the same disks as G64 files (decoded from GCR) and as D64s.
MAX_G64_OVER_D64 = 2.0
# --recursive -w over the same disks as NIB captures and as D64s.
MAX_NIB_OVER_D64 = 2.0
# --recursive -w over 1000 TAP recordings against md5sum of them; the listing of the
# disks' files in T64s per byte against that of the D64s, and of as many P00s, PRGs
# and CRTs per file (a loose file of a few KiB costs what opening it costs).
MAX_TAP_OVER_MD5SUM = 2.0
# --recursive -w --jobs=1 over tapes as commercial ones are, nine tenths of their
# pulses a turbo loader's (counted, not decoded; one tape for every ten images),
# against md5sum of them.
MAX_TURBO_TAP_OVER_MD5SUM = 1.0
MAX_CONTAINER_OVER_D64 = 1.0
# --extract of every image into a RAM-backed folder against tar -x of the same files.
MAX_EXTRACT_OVER_TAR = 1.25
# One image per process, as scripts and file-manager previews run it: the listing,
# the wide listing and the BAM report of the sample image against cc1541's listing
# of it (median wall time per run, interleaved rounds).
MAX_STARTUP_OVER_CC1541 = 1.5
STARTUP_RUNS = 200
# The gains from more jobs are judged on large folders only: 100 images take a few
# milliseconds, where starting the threads and the first touch of each one's memory
# weigh as much as the work.
PARALLEL_TARGETS_FROM_N = 1000
MAX_RSS_GROWTH_KIB = 1024


def build(build_dir):
    subprocess.run(["cmake", "--preset", "bench"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "bench"], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)
    return (os.path.join(build_dir, "floppeek"),
            os.path.join(build_dir, "bench", "make_image_set"),
            os.path.join(build_dir, "bench", "read_files"),
            os.path.join(build_dir, "bench", "spawn_time"))


def timed(argv, rss_file):
    """Wall time in seconds and peak RSS in KiB of one run, output discarded.

    GNU time starts the command: a child forked from this Python process would count
    the interpreter's pages in its peak RSS. Every command, baselines included, pays
    the same small cost for it."""
    start = time.perf_counter()
    with open(os.devnull, "wb") as null:
        code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", rss_file, *argv],
                               stdout=null, stderr=null)
    elapsed = time.perf_counter() - start
    # --check's status counts the images with errors: the set has damaged ones.
    if code != 0 and "--check" not in argv:
        sys.exit(f"{argv[0]} exited with {code}")
    with open(rss_file) as text:
        return elapsed, int(text.read().split()[-1])


def measure(commands, runs, rss_file):
    """Runs the commands round-robin, `runs` times each; returns times and peak RSS."""
    times = {name: [] for name in commands}
    rss = {name: 0 for name in commands}
    for _ in range(runs):
        for name, argv in commands.items():
            elapsed, peak = timed(argv, rss_file)
            times[name].append(elapsed)
            rss[name] = max(rss[name], peak)
    return times, rss


def warm(files):
    for path in files:
        with open(path, "rb") as image:
            while image.read(1 << 20):
                pass


def packed_copies(files, work, count):
    """The images once more, one per .zip (deflated) and one per .d64.gz."""
    zipped = os.path.join(work, f"zipped{count}")
    gzipped = os.path.join(work, f"gzipped{count}")
    os.makedirs(zipped)
    os.makedirs(gzipped)
    for path in files:
        name = os.path.basename(path)
        with zipfile.ZipFile(os.path.join(zipped, name + ".zip"), "w",
                             zipfile.ZIP_DEFLATED) as archive:
            archive.write(path, name)
        with open(path, "rb") as image, gzip.open(os.path.join(gzipped, name + ".gz"), "wb") as out:
            out.write(image.read())
    return zipped, gzipped


def bench_extract(floppeek, folder, runs, work):
    """floppeek --extract (default jobs) against tar -x of the tree it writes, both into
    a RAM-backed folder, each run into a fresh one; medians of `runs`."""
    shm = tempfile.mkdtemp(prefix="floppeek-extract.", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    try:
        reference = os.path.join(shm, "reference")
        subprocess.run([floppeek, "--extract=" + reference, folder], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        archive = os.path.join(work, "extracted.tar")
        subprocess.run(["tar", "-cf", archive, "-C", reference, "."], check=True)
        shutil.rmtree(reference)
        times = {"floppeek --extract": [], "tar -x": []}
        for run in range(runs):
            target = os.path.join(shm, f"run{run}")
            os.makedirs(target + "-tar")
            start = time.perf_counter()
            subprocess.run(["tar", "-xf", archive, "-C", target + "-tar"], check=True)
            times["tar -x"].append(time.perf_counter() - start)
            start = time.perf_counter()
            subprocess.run([floppeek, "--extract=" + target, folder], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            times["floppeek --extract"].append(time.perf_counter() - start)
            shutil.rmtree(target)
            shutil.rmtree(target + "-tar")
        return {name: statistics.median(samples) for name, samples in times.items()}
    finally:
        shutil.rmtree(shm, ignore_errors=True)


def dat_roms(files):
    """DAT_ROMS roms: one for each image, the rest made up, with every kind of hash, as
    a large published DAT has them: (index, size, crc, md5, sha1)."""
    import hashlib
    import random
    rng = random.Random(1541)
    for index in range(DAT_ROMS):
        if index < len(files):
            with open(files[index], "rb") as image:
                data = image.read()
            yield (index, len(data), f"{zlib_crc(data):08x}", hashlib.md5(data).hexdigest(),
                   hashlib.sha1(data).hexdigest())
        else:
            yield (index, 174848, f"{rng.getrandbits(32):08x}", f"{rng.getrandbits(128):032x}",
                   f"{rng.getrandbits(160):040x}")


def write_dat(files, path):
    """The roms of dat_roms() as a Logiqx DAT."""
    with open(path, "w", encoding="utf-8") as dat:
        dat.write('<?xml version="1.0"?>\n<datafile>\n<header><name>Bench</name></header>\n')
        for index, size, crc, md5, sha1 in dat_roms(files):
            dat.write(f'<game name="Game {index}"><description>Game {index}</description>'
                      f'<rom name="disk{index:05d}.d64" size="{size}" crc="{crc}" md5="{md5}" '
                      f'sha1="{sha1}"/></game>\n')
        dat.write("</datafile>\n")


def write_clrmamepro(files, path):
    """The same roms as a ClrMamePro text DAT."""
    with open(path, "w", encoding="utf-8") as dat:
        dat.write('clrmamepro (\n\tname "Bench"\n)\n\n')
        for index, size, crc, md5, sha1 in dat_roms(files):
            dat.write(f'game (\n\tname "Game {index}"\n\tdescription "Game {index}"\n'
                      f'\trom ( name disk{index:05d}.d64 size {size} crc {crc} md5 {md5} '
                      f'sha1 {sha1} )\n)\n\n')


def write_softlist(files, path):
    """The same roms as a MAME software list."""
    with open(path, "w", encoding="utf-8") as dat:
        dat.write('<?xml version="1.0"?>\n<softwarelist name="bench" description="Bench">\n')
        for index, size, crc, md5, sha1 in dat_roms(files):
            dat.write(f'<software name="game{index}"><description>Game {index}</description>'
                      f'<part name="flop1" interface="floppy_5_25"><dataarea name="flop" '
                      f'size="{size}"><rom name="disk{index:05d}.d64" size="{size}" crc="{crc}" '
                      f'sha1="{sha1}"/></dataarea></part></software>\n')
        dat.write("</softwarelist>\n")


def zlib_crc(data):
    import zlib
    return zlib.crc32(data)


def bench_startup(tools, runs):
    """Median wall time per process of one image's listing, wide listing and BAM report
    against cc1541's listing of the same image; None when cc1541 is missing."""
    floppeek, _, _, spawn_time = tools
    if shutil.which("cc1541") is None:
        print("\nstart-up: cc1541 is not installed, no comparison")
        return None
    image = os.path.join(os.path.dirname(floppeek), "sample.d64")
    commands = {"floppeek": [floppeek, image], "floppeek -w": [floppeek, "-w", image],
                "floppeek -b": [floppeek, "-b", image], "cc1541": ["cc1541", image]}
    samples = {name: [] for name in commands}
    for _ in range(max(1, runs)):
        for name, argv in commands.items():
            out = subprocess.run([spawn_time, str(STARTUP_RUNS // max(1, runs) + 1), *argv],
                                 check=True, capture_output=True, text=True).stdout
            samples[name].append(float(out))
    median = {name: statistics.median(values) for name, values in samples.items()}
    print(f"\nstart-up, one image per process ({STARTUP_RUNS} runs each, median ms): " +
          "   ".join(f"{name} {value:.2f}" for name, value in median.items()))
    ratio = max(median[name] for name in commands if name != "cc1541") / median["cc1541"]
    print(f"  slowest floppeek / cc1541 = {ratio:.2f}")
    return ratio


def folder_megabytes(files):
    return sum(os.path.getsize(path) for path in files) / 1e6


def bench_folder(tools, count, runs, work):
    floppeek, generator, read_files, _ = tools
    folder = os.path.join(work, f"images{count}")
    os.makedirs(folder)
    subprocess.run([generator, folder, str(count)], check=True)
    files = sorted(os.path.join(folder, name) for name in os.listdir(folder))
    d81_folder = os.path.join(work, f"d81_{count}")
    os.makedirs(d81_folder)
    subprocess.run([generator, d81_folder, str(max(1, count // 4)), "d81"], check=True)
    d81_files = [os.path.join(d81_folder, name) for name in os.listdir(d81_folder)]
    d82_folder = os.path.join(work, f"d82_{count}")
    os.makedirs(d82_folder)
    subprocess.run([generator, d82_folder, str(max(1, count // 6)), "d82"], check=True)
    d82_files = [os.path.join(d82_folder, name) for name in os.listdir(d82_folder)]
    g64_folder = os.path.join(work, f"g64_{count}")
    os.makedirs(g64_folder)
    subprocess.run([generator, g64_folder, str(count), "g64"], check=True)
    g64_files = [os.path.join(g64_folder, name) for name in os.listdir(g64_folder)]
    containers = {}
    for variant in ("tap", "t64", "p00", "prg", "crt"):
        folder_of = os.path.join(work, f"{variant}_{count}")
        os.makedirs(folder_of)
        subprocess.run([generator, folder_of, str(count), variant], check=True)
        containers[variant] = (folder_of, [os.path.join(folder_of, name) for name in os.listdir(folder_of)])
    turbo_folder = os.path.join(work, f"turbo_{count}")
    os.makedirs(turbo_folder)
    subprocess.run([generator, turbo_folder, str(max(1, count // 10)), "turbo"], check=True)
    turbo_files = [os.path.join(turbo_folder, name) for name in os.listdir(turbo_folder)]
    nib_folder = os.path.join(work, f"nib_{count}")
    os.makedirs(nib_folder)
    subprocess.run([generator, nib_folder, str(count), "nib"], check=True)
    nib_files = [os.path.join(nib_folder, name) for name in os.listdir(nib_folder)]
    dat_file = os.path.join(work, f"bench{count}.dat")
    write_dat(files, dat_file)
    cmpro_file = os.path.join(work, f"bench{count}.cmpro.dat")
    write_clrmamepro(files, cmpro_file)
    softlist_file = os.path.join(work, f"bench{count}.softlist.xml")
    write_softlist(files, softlist_file)
    zipped, gzipped = packed_copies(files, work, count)
    packed = [os.path.join(root, name) for root in (zipped, gzipped) for name in os.listdir(root)]
    for _ in range(2):
        warm(files)
        warm(packed)
        warm(d81_files)
        warm(d82_files)
        warm(g64_files)
        warm(nib_files)
        warm(turbo_files)
        for _, container_files in containers.values():
            warm(container_files)
    commands = {
        "floppeek -w": [floppeek, "-w", folder],
        "floppeek -w -j1": [floppeek, "-w", "--jobs=1", folder],
        "floppeek": [floppeek, folder],
        "floppeek -j1": [floppeek, "--jobs=1", folder],
        "floppeek -b -e": [floppeek, "-b", "-e", folder],
        "floppeek -b -e -j1": [floppeek, "-b", "-e", "--jobs=1", folder],
        "floppeek -f": [floppeek, "-f", "file 2*", folder],
        "floppeek --json": [floppeek, "--json", folder],
        "floppeek --check": [floppeek, "--check", folder],
        "floppeek --check --json": [floppeek, "--check", "--json", folder],
        "floppeek --dat": [floppeek, "--dat", dat_file, folder],
        "floppeek --dat, 1 image": [floppeek, "--dat", dat_file, files[0]],
        "floppeek --dat, cmpro": [floppeek, "--dat", cmpro_file, files[0]],
        "floppeek --dat, softlist": [floppeek, "--dat", softlist_file, files[0]],
        "floppeek -w -r zip": [floppeek, "--recursive", "-w", zipped],
        "floppeek -w -r gz": [floppeek, "--recursive", "-w", gzipped],
        "floppeek -w -r d64": [floppeek, "--recursive", "-w", folder],
        "floppeek -w -r d81": [floppeek, "--recursive", "-w", d81_folder],
        "floppeek -w -r d82": [floppeek, "--recursive", "-w", d82_folder],
        "floppeek -w -r g64": [floppeek, "--recursive", "-w", g64_folder],
        "floppeek -w -r nib": [floppeek, "--recursive", "-w", nib_folder],
        "floppeek -w -r tap": [floppeek, "--recursive", "-w", containers["tap"][0]],
        "md5sum tap": ["md5sum", *containers["tap"][1]],
        "floppeek -w -r -j1 turbo": [floppeek, "--recursive", "-w", "--jobs=1", turbo_folder],
        "md5sum turbo": ["md5sum", *turbo_files],
        "floppeek -r d64": [floppeek, "--recursive", folder],
        **{f"floppeek -r {variant}": [floppeek, "--recursive", containers[variant][0]]
           for variant in ("t64", "p00", "prg", "crt")},
        "cat": ["cat", *files],
        "md5sum": ["md5sum", *files],
        "read_files": [read_files, *files],
    }
    times, rss = measure(commands, runs, os.path.join(work, "rss"))
    extract = bench_extract(floppeek, folder, runs, work)
    megabytes = sum(os.path.getsize(path) for path in files) / 1e6
    d81_megabytes = sum(os.path.getsize(path) for path in d81_files) / 1e6
    d82_megabytes = sum(os.path.getsize(path) for path in d82_files) / 1e6
    print(f"\nN = {count} images ({megabytes:.1f} MB), {runs} runs each, "
          f"{os.cpu_count()} cores")
    print(f"  {'command':<20}{'median s':>10}{'min s':>10}{'max s':>10}{'MB/s':>9}{'peak RSS KiB':>14}")
    for name, samples in times.items():
        median = statistics.median(samples)
        print(f"  {name:<20}{median:>10.4f}{min(samples):>10.4f}{max(samples):>10.4f}"
              f"{megabytes / median:>9.0f}{rss[name]:>14}")
    median = {name: statistics.median(samples) for name, samples in times.items()}
    ratios = {
        "wide": median["floppeek -w"] / median["md5sum"],
        "wide_sequential": median["floppeek -w -j1"] / median["md5sum"],
        "narrow_parallel": median["floppeek"] / median["floppeek -j1"],
        "narrow_cat": median["floppeek"] / median["cat"],
        "json": median["floppeek --json"] / median["floppeek -w"],
        "check": median["floppeek --check"] / median["floppeek -w"],
        "check_json": median["floppeek --check --json"] / median["floppeek --json"],
        "dat": median["floppeek --dat"] / median["floppeek --json"],
        "dat_load": max(median["floppeek --dat, 1 image"], median["floppeek --dat, cmpro"],
                        median["floppeek --dat, softlist"]),
        "dat_load_rss": max(rss["floppeek --dat, 1 image"], rss["floppeek --dat, cmpro"],
                            rss["floppeek --dat, softlist"]),
        "zipped": median["floppeek -w -r zip"] / median["floppeek -w -j1"],
        "gzipped": median["floppeek -w -r gz"] / median["floppeek -w -j1"],
        "d81_per_byte": (median["floppeek -w -r d81"] / d81_megabytes) /
                        (median["floppeek -w -r d64"] / megabytes),
        "d82_per_byte": (median["floppeek -w -r d82"] / d82_megabytes) /
                        (median["floppeek -w -r d64"] / megabytes),
        "g64": median["floppeek -w -r g64"] / median["floppeek -w -r d64"],
        "nib": median["floppeek -w -r nib"] / median["floppeek -w -r d64"],
        "tap": median["floppeek -w -r tap"] / median["md5sum tap"],
        "turbo_tap": median["floppeek -w -r -j1 turbo"] / median["md5sum turbo"],
        "t64_per_byte": (median["floppeek -r t64"] / folder_megabytes(containers["t64"][1])) /
                        (median["floppeek -r d64"] / megabytes),
        "loose_per_file": max(median[f"floppeek -r {variant}"] for variant in ("p00", "prg", "crt")) /
                          median["floppeek -r d64"],
        "rss": max(rss[name] for name in commands
                   if name.startswith("floppeek") and " -r " not in name and "--dat" not in name),
        "recursive_rss": max(rss[name] for name in commands if " -r " in name),
    }
    print(f"  floppeek -w / md5sum = {ratios['wide']:.2f}   "
          f"floppeek -w --jobs=1 / md5sum = {ratios['wide_sequential']:.2f}   "
          f"floppeek / floppeek --jobs=1 = {ratios['narrow_parallel']:.2f}\n"
          f"  floppeek / cat = {ratios['narrow_cat']:.2f}   "
          f"floppeek -b -e / --jobs=1 = {median['floppeek -b -e'] / median['floppeek -b -e -j1']:.2f}   "
          f"floppeek / read_files = {median['floppeek'] / median['read_files']:.2f}   "
          f"floppeek peak RSS = {ratios['rss']} KiB")
    print(f"  --recursive -w over .zip / -w --jobs=1 unpacked = {ratios['zipped']:.2f}   "
          f"over .d64.gz = {ratios['gzipped']:.2f}   "
          f"peak RSS = {ratios['recursive_rss']} KiB")
    print(f"  floppeek --json / floppeek -w = {ratios['json']:.2f}   "
          f"--recursive -w per byte, D81 ({d81_megabytes:.1f} MB) / D64 = "
          f"{ratios['d81_per_byte']:.2f}   "
          f"D82 ({d82_megabytes:.1f} MB) / D64 = {ratios['d82_per_byte']:.2f}")
    print(f"  --recursive -w over the disks as G64 / as D64 = {ratios['g64']:.2f}   "
          f"as NIB / as D64 = {ratios['nib']:.2f}")
    print(f"  --recursive -w over {count} TAPs / md5sum of them = {ratios['tap']:.2f}   "
          f"listing per byte, the disks' files in T64s / the D64s = {ratios['t64_per_byte']:.2f}   "
          f"per file, the slowest of P00, PRG, CRT / the D64s = {ratios['loose_per_file']:.2f}\n"
          f"  --recursive -w --jobs=1 over TAPs of 90% turbo pulses / md5sum of them = "
          f"{ratios['turbo_tap']:.2f}")
    print(f"  floppeek --check / floppeek -w = {ratios['check']:.2f}   "
          f"floppeek --check --json / --json = {ratios['check_json']:.2f}")
    print(f"  floppeek --dat ({DAT_ROMS} roms) / --json = {ratios['dat']:.2f}   "
          f"the DAT over one image (slowest of Logiqx, ClrMamePro, software list): "
          f"{ratios['dat_load']:.3f} s, {ratios['dat_load_rss']} KiB")
    ratios["extract"] = extract["floppeek --extract"] / extract["tar -x"]
    print(f"  floppeek --extract {extract['floppeek --extract']:.4f} s / tar -x "
          f"{extract['tar -x']:.4f} s of the same files = {ratios['extract']:.2f}")
    return ratios


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--counts", type=int, nargs="+", default=[100, 2000])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--no-targets", action="store_true",
                        help="report only; do not fail when a target is missed")
    args = parser.parse_args()

    tools = build(args.build_dir)
    startup = bench_startup(tools, args.runs)
    work = tempfile.mkdtemp(prefix="floppeek-bench.")
    try:
        results = [bench_folder(tools, n, args.runs, work) for n in args.counts]
    finally:
        shutil.rmtree(work)

    missed = []
    if startup is not None and startup > MAX_STARTUP_OVER_CC1541:
        missed.append(f"start-up, slowest floppeek / cc1541 {startup:.2f} > "
                      f"{MAX_STARTUP_OVER_CC1541}")
    limits = [("wide", MAX_WIDE_OVER_MD5SUM, "floppeek -w / md5sum", True),
              ("wide_sequential", MAX_WIDE_SEQUENTIAL_OVER_MD5SUM, "floppeek -w --jobs=1 / md5sum",
               False),
              ("narrow_parallel", MAX_NARROW_OVER_SEQUENTIAL, "floppeek / floppeek --jobs=1", True),
              ("narrow_cat", MAX_NARROW_OVER_CAT, "floppeek / cat", False),
              ("json", MAX_JSON_OVER_WIDE, "floppeek --json / floppeek -w", True),
              ("check", MAX_CHECK_OVER_WIDE, "floppeek --check / floppeek -w", True),
              ("check_json", MAX_CHECK_JSON_OVER_JSON, "floppeek --check --json / --json", True),
              ("dat", MAX_DAT_OVER_JSON, "floppeek --dat / --json", True),
              ("dat_load", MAX_DAT_LOAD_SECONDS, "the DAT over one image, seconds", False),
              ("dat_load_rss", MAX_DAT_LOAD_RSS_KIB, "the DAT over one image, KiB", False),
              ("zipped", MAX_ZIPPED_OVER_SEQUENTIAL,
               "floppeek --recursive -w over .zip / floppeek -w --jobs=1", True),
              ("d81_per_byte", MAX_D81_OVER_D64_PER_BYTE,
               "floppeek --recursive -w per byte, D81 / D64", True),
              ("d82_per_byte", MAX_D82_OVER_D64_PER_BYTE,
               "floppeek --recursive -w per byte, D82 / D64", True),
              ("g64", MAX_G64_OVER_D64, "floppeek --recursive -w, G64 / D64", True),
              ("nib", MAX_NIB_OVER_D64, "floppeek --recursive -w, NIB / D64", True),
              ("tap", MAX_TAP_OVER_MD5SUM, "floppeek --recursive -w over TAPs / md5sum", True),
              ("turbo_tap", MAX_TURBO_TAP_OVER_MD5SUM,
               "floppeek --recursive -w --jobs=1 over turbo TAPs / md5sum", False),
              ("t64_per_byte", MAX_CONTAINER_OVER_D64, "listing per byte, T64 / D64", True),
              ("loose_per_file", MAX_CONTAINER_OVER_D64, "listing per file, P00/PRG/CRT / D64",
               True),
              ("extract", MAX_EXTRACT_OVER_TAR, "floppeek --extract / tar -x", True)]
    for count, ratios in zip(args.counts, results):
        for key, limit, what, parallel in limits:
            if parallel and count < PARALLEL_TARGETS_FROM_N:
                continue
            if ratios[key] > limit:
                missed.append(f"N={count}: {what} {ratios[key]:.2f} > {limit}")
        if ratios["rss"] >= MAX_RSS_KIB:
            missed.append(f"N={count}: peak RSS {ratios['rss']} KiB >= {MAX_RSS_KIB} KiB")
        if ratios["recursive_rss"] >= MAX_RECURSIVE_RSS_KIB:
            missed.append(f"N={count}: --recursive peak RSS {ratios['recursive_rss']} KiB >= "
                          f"{MAX_RECURSIVE_RSS_KIB} KiB")
    rss_values = [ratios["rss"] for ratios in results]
    growth = max(rss_values) - min(rss_values)
    print(f"\nfloppeek peak RSS growth across N = {args.counts}: {growth} KiB")
    if growth >= MAX_RSS_GROWTH_KIB:
        missed.append(f"RSS grows by {growth} KiB >= {MAX_RSS_GROWTH_KIB} KiB")
    for line in missed:
        print("target missed:", line, "(not judged in this run)" if args.no_targets else "")
    if not missed:
        print("all targets met")
    return 1 if missed and not args.no_targets else 0


if __name__ == "__main__":
    sys.exit(main())
