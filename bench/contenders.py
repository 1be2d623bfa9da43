"""The contenders: this program through its window driver on Xvfb, wget,
wget2, HTTrack and the libcurl floor. Each runner takes the profile it runs
on, the fresh folder to store into and the round's number, and returns the
run's figures (see measure.measured) with what the tool itself told."""

import filecmp
import os

from .common import (CURL_FLOOR, DRIVER, FLOOR, HTTRACK, OURS, OURS_OPTIONS,
                     WGET, WGET2, BenchError)
from .measure import key_values, tail


def wget_command(start, ca_file=None, timestamping=False):
    """With `timestamping`, wget -N: a file the folder holds is asked for
    only if it is newer."""
    trust = ["--ca-certificate=" + ca_file] if ca_file else []
    return ["wget", "--recursive", "--level=inf", "--no-parent", "-nH",
            "--reject-regex", r"\?C=", "--quiet", "-e", "robots=off"] + (
                ["--timestamping"] if timestamping else []) + trust + [
                    start + "/"]


def wget2_command(start, ca_file=None):
    """As wget's, the same options in wget2's words; its own threads (5 by
    default)."""
    trust = ["--ca-certificate=" + ca_file] if ca_file else []
    return ["wget2", "--recursive", "--level=inf", "--no-parent",
            "--no-host-directories", "--reject-regex", r"\?C=", "--quiet",
            "--no-robots"] + trust + [start + "/"]


def httrack_command(start, folder):
    return ["httrack", start + "/", "-O", folder, "-q", "-s0",
            # Polite defaults lifted: 8 connections, no rate limits, no
            # one-second wait to learn each unknown file type; capped.
            "--disable-security-limits", "-c8", "-%c1000", "-A1000000000",
            "-%N0", "-u0", "-E300", "-r99", "-%v0", "-*?C=*"]


def run_ours(profile, folder, round_number, profiler=(), options=()):
    """This program's window, `profiler` (a command) in front of it if
    given, with its own `options` (--update). Keeps the request list it
    wrote as the profile's latest, which the floor fetches."""
    request_list = os.path.join(profile.dir,
                                "requests-round%d.txt" % round_number)
    x_before = profile.x_server.cpu_seconds()
    trust = ["--ca-file", profile.ca_file] if profile.ca_file else []
    figures = profile.measured(
        list(profiler) + [DRIVER] + OURS_OPTIONS + list(options) + trust + [
            "--request-list", request_list, profile.start, folder + "/"],
        env=profile.env)
    figures["x_cpu"] = profile.x_server.cpu_seconds() - x_before
    if figures["returncode"] != 0:
        raise BenchError("This program's window driver failed (exit %d):"
                         "\n%s" % (figures["returncode"],
                                   tail(figures["stderr"])))
    driver = key_values(figures["stdout"])
    figures["list"] = float(driver["list_seconds"])
    figures["download"] = float(driver["download_seconds"])
    figures["gap"] = int(driver["longest_gap_ms"])
    figures["rows"] = int(driver["rows"])
    figures["failed_rows"] = int(driver["failed_pages"])
    figures["reports"] = int(driver["reports"])
    figures["report_texts"] = [
        line for line in figures["stderr"].splitlines()
        if line.startswith("report: ")]
    if profile.request_list and not filecmp.cmp(profile.request_list,
                                                request_list, False):
        print("  note: this program's request list changed since the "
              "last round")
    profile.request_list = request_list
    return figures


def run_wget(profile, folder, round_number):
    return profile.measured(wget_command(profile.start, profile.ca_file),
                            cwd=folder)


def run_wget2(profile, folder, round_number):
    return profile.measured(wget2_command(profile.start, profile.ca_file),
                            cwd=folder)


def run_httrack(profile, folder, round_number):
    return profile.measured(httrack_command(profile.start, folder))


def run_floor(profile, folder, round_number):
    """This program's latest request list, fetched by the libcurl loop."""
    trust = ["--ca-file", profile.ca_file] if profile.ca_file else []
    figures = profile.measured([FLOOR] + trust +
                               [profile.request_list, folder])
    if figures["returncode"] != 0:
        raise BenchError("The curl floor failed (exit %d):\n%s"
                         % (figures["returncode"],
                            tail(figures["stderr"])))
    floor = key_values(figures["stdout"])
    figures["download"] = float(floor["seconds"])
    figures["failed_rows"] = int(floor["failed"])
    return figures


def update_ours(profile, folder, round_number):
    return run_ours(profile, folder, round_number, options=["--update"])


def update_wget(profile, folder, round_number):
    return profile.measured(wget_command(profile.start, timestamping=True),
                            cwd=folder)


RUNNERS = {OURS: run_ours, WGET: run_wget, WGET2: run_wget2,
           HTTRACK: run_httrack, CURL_FLOOR: run_floor}
# A second run over a mirror, asking only for what changed.
UPDATERS = {OURS: update_ours, WGET: update_wget}
