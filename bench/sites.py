"""The sites the tools mirror: the big one (folders up to four deep, half
with index pages) and the small one (a /usr/share/doc of listings). Both
come from seeded generators, so every run serves the same files."""

import os
import random
import time


def file_bytes(name, size):
    """Distinct content per file, cheap to make."""
    seed = (name.encode() + b"\n") * 8
    block = (seed * (4096 // len(seed) + 1))[:4096]
    whole, rest = divmod(size, len(block))
    return block * whole + block[:rest]


# When the generated files were last changed, as far as the server tells:
# well before any run. Apache calls the validators of a file changed in the
# last second weak, and a range under them is then answered whole.
FILE_TIME = 1_767_225_600  # 2026-01-01 00:00:00 UTC


def write_files(root, files):
    """Writes {folder: [(name, size)]}; returns (count, bytes)."""
    count = total = 0
    for folder, names in files.items():
        path = os.path.join(root, folder)
        os.makedirs(path, exist_ok=True)
        for name, size in names:
            file_path = os.path.join(path, name)
            with open(file_path, "wb") as out:
                out.write(file_bytes(folder + "/" + name, size))
            os.utime(file_path, (FILE_TIME, FILE_TIME))
            count += 1
            total += size
    for directory, _, _ in os.walk(root):
        os.chmod(directory, 0o755)
    return count, total


def make_big_site(root, folders, big_mb, port, scheme="http"):
    """Folders up to four deep with 20 files each; half of them have an
    index.html that links their files and subfolders (plus some files of
    other folders, so links repeat across pages), the rest are served as
    directory listings."""
    rng = random.Random(2026)
    tree = {"": 0}  # folder -> depth
    order = [""]
    for i in range(folders):
        parent = rng.choice([f for f in order if tree[f] < 4])
        folder = (parent + "/" if parent else "") + "d%03d" % i
        tree[folder] = tree[parent] + 1
        order.append(folder)
    children = {f: [] for f in order}
    for folder in order[1:]:
        children[folder.rpartition("/")[0]].append(folder)

    files = {}
    extensions = [".bin", ".jpg", ".txt", ".pdf", ".zip"]
    for folder in order[1:]:
        names = []
        for j in range(20):
            size = int(1024 * 1024 ** rng.random())  # 1 KB to 1 MB
            name = "f%02d%s" % (j, rng.choice(extensions))
            names.append((name, size))
        files[folder] = names
    files[""] = []
    big_folder = rng.choice(order[1:])
    files[big_folder].append(("big.bin", big_mb * 1024 * 1024))
    count, total = write_files(root, files)

    every_file = [(f, n) for f in order for n, _ in files[f]]
    with_index = set(rng.sample(order, len(order) // 2))
    for folder in order:
        if folder not in with_index:
            continue
        links = ['<a href="%s/">%s</a>' % (c.rpartition("/")[2],
                                          c.rpartition("/")[2])
                 for c in children[folder]]
        links += ['<a href="%s">%s</a>' % (n, n) for n, _ in files[folder]]
        for other, name in rng.sample(every_file, min(3, len(every_file))):
            links.append('<a href="%s://127.0.0.1:%d/%s">shared</a>'
                         % (scheme, port, other + "/" + name))
        page = ("<html><head><title>%s</title></head><body>\n%s\n"
                "</body></html>\n" % (folder or "home", "<br>\n".join(links)))
        with open(os.path.join(root, folder, "index.html"), "w") as out:
            out.write(page)
    return "%d folders" % folders, count, total


def make_cut_site(root, count, size_mb):
    """`count` files of `size_mb` MB each in one folder, served as its
    listing: the bigcut profile's few big files over a bad link."""
    files = {"": [("big%d.bin" % i, size_mb * 1024 * 1024)
                  for i in range(1, count + 1)]}
    count, total = write_files(root, files)
    return "%d files of %d MB" % (count, size_mb), count, total


def change_one_file(root, round_number, salt):
    """Rewrites one file of the site (never a folder's page) with bytes of
    the same length that `salt` makes new, and a later time that is not in
    the future (Apache names the time of the request for such a file), as
    a changed file on a server; returns its path in the site."""
    names = []
    for directory, _, files in os.walk(root):
        for name in files:
            if name != "index.html":
                names.append(os.path.relpath(os.path.join(directory, name),
                                             root))
    names.sort()
    relative = names[(7 * round_number) % len(names)]
    path = os.path.join(root, relative)
    size = os.path.getsize(path)
    later = int(os.stat(path).st_mtime) + 2  # Past what was stored.
    if later > time.time():
        time.sleep(later - time.time() + 0.1)
    with open(path, "wb") as out:
        out.write(file_bytes("changed %s %s" % (salt, relative), size))
    os.utime(path, (later, later))
    return relative


# What a /usr/share/doc folder holds; no index.html anywhere, so Apache
# serves every folder as a listing.
DOC_NAMES = [
    "copyright", "README", "LICENSE", "AUTHORS", "THANKS", "TODO", "BUGS",
    "FAQ", "COPYING", "ChangeLog", "HISTORY", "CREDITS", "NOTICE", "INSTALL",
    "changelog.Debian.gz", "changelog.gz", "NEWS.gz", "NEWS.Debian.gz",
    "README.Debian", "README.md", "README.txt", "CONTRIBUTING.md",
    "changelog.html", "manual.txt.gz", "example.conf", "example.py",
    "sample.c", "usage.txt", "api.md", "release-notes.rst", "index.txt",
    "buildinfo_amd64.gz", "README.source", "TODO.Debian", "NEWS.md",
]
DOC_SUBFOLDERS = ["examples", "html", "contrib", "api", "tests", "images"]
PACKAGE_WORDS = ["xml", "ssl", "png", "gtk", "yaml", "ffi", "uv", "curl",
                 "bz2", "jpeg", "sqlite", "pcre", "idn", "zstd", "event"]
PACKAGE_PREFIXES = ["lib", "python3-", "node-", "", "fonts-", "r-cran-"]


def make_small_site(root, folders, file_count):
    """`folders` folders, three in four of them packages at the top and the
    rest subfolders (examples, html, ...), holding `file_count` files of 1 to
    30 KB in all; every package folder has its copyright file."""
    rng = random.Random(2027)
    packages = max(1, folders * 3 // 4)
    order = []
    for i in range(packages):
        order.append("%s%s%d" % (rng.choice(PACKAGE_PREFIXES),
                                 rng.choice(PACKAGE_WORDS), i))
    while len(order) < folders:
        parent = rng.choice([f for f in order if f.count("/") < 2])
        taken = {f for f in order if f.rpartition("/")[0] == parent}
        free = [s for s in DOC_SUBFOLDERS if parent + "/" + s not in taken]
        if free:
            order.append(parent + "/" + rng.choice(free))
    counts = {folder: 1 for folder in order}
    for _ in range(max(0, file_count - len(order))):
        counts[rng.choice(order)] += 1
    files = {"": []}
    for folder in order:
        names = ["copyright"] if "/" not in folder else []
        pool = [n for n in DOC_NAMES if n not in names]
        rng.shuffle(pool)
        names += pool[:counts[folder] - len(names)]
        names += ["part%02d" % j
                  for j in range(counts[folder] - len(names))]  # Pool spent.
        files[folder] = [(n, int(1024 * 30 ** rng.random())) for n in names]
    count, total = write_files(root, files)
    return "%d folders" % folders, count, total
