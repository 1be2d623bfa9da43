"""Checking what a tool stored against the files the site serves, byte for
byte."""

import filecmp
import os
import urllib.parse


def stored(folder):
    count = size = 0
    for directory, _, names in os.walk(folder):
        for name in names:
            count += 1
            size += os.path.getsize(os.path.join(directory, name))
    return count, size


def same_file(source, copy):
    try:
        return filecmp.cmp(source, copy, False)
    except OSError:
        return False


def check_mirror(site, mirror):
    """Every file the site serves, byte for byte; an index.html may be
    stored as the page of its folder, index.htm. Returns the files missing
    and the files different, two lists of paths in the site."""
    missing, different = [], []
    for directory, _, names in os.walk(site):
        relative = os.path.relpath(directory, site)
        for name in sorted(names):
            source = os.path.join(directory, name)
            candidates = [os.path.join(mirror, relative, name)]
            if name == "index.html":
                candidates.append(os.path.join(mirror, relative, "index.htm"))
            present = [c for c in candidates if os.path.isfile(c)]
            path = os.path.normpath(os.path.join(relative, name))
            if not present:
                missing.append(path)
            elif not any(same_file(source, c) for c in present):
                different.append(path)
    return missing, different


def is_page(path):
    """Whether a stored path is a folder's page, which comes every time."""
    return os.path.basename(path) in ("index.htm", "index.html")


def files_state(folder):
    """Each stored file's identity and time: a file written again shows."""
    state = {}
    for directory, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(directory, name)
            facts = os.stat(path)
            state[os.path.relpath(path, folder)] = (
                facts.st_ino, facts.st_mtime_ns, facts.st_size)
    return state


def time_mismatches(site, mirror):
    """The files stored whose time (whole seconds) is not the served
    file's, the time the server's Last-Modified names. Pages are left out:
    a listing has no time."""
    mismatches = []
    for directory, _, names in os.walk(site):
        for name in names:
            if is_page(name):
                continue
            source = os.path.join(directory, name)
            relative = os.path.relpath(source, site)
            copy = os.path.join(mirror, relative)
            if os.path.isfile(copy) and (int(os.stat(source).st_mtime)
                                         != int(os.stat(copy).st_mtime)):
                mismatches.append(relative)
    return mismatches


def check_floor(site, request_list, folder):
    """The floor's bodies, numbered in the order of the request list,
    against the served files their addresses name (addresses of folders
    without an index page and of no file are left out). A body not stored
    or empty where the file is not counts as missing. Returns the files
    missing and the files different."""
    missing, different = [], []
    with open(request_list) as rows:
        addresses = [line.strip() for line in rows if line.strip()]
    for number, address in enumerate(addresses, 1):
        path = urllib.parse.unquote(urllib.parse.urlsplit(address).path)
        source = os.path.join(site, path.lstrip("/"))
        if path.endswith("/"):
            source = os.path.join(source, "index.html")
        if not os.path.isfile(source):
            continue
        body = os.path.join(folder, "%06d" % number)
        relative = os.path.relpath(source, site)
        if not os.path.isfile(body) or (os.path.getsize(body) == 0
                                        < os.path.getsize(source)):
            missing.append(relative)
        elif not same_file(source, body):
            different.append(relative)
    return missing, different
