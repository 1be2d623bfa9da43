"""The command line: options, the profiles' rounds in order, clean-up, and
the exit status."""

import argparse
import os
import shutil
import signal
import sys
import tempfile

from . import __doc__ as DESCRIPTION
from .common import (BUILD, CURL_FLOOR, HTTRACK, OURS, PROFILE_SETS, WGET,
                     WGET2, BenchError, build, run)
from .profiles import Profile
from .report import print_table
from .servers import XServer


def main():
    parser = argparse.ArgumentParser(
        description=DESCRIPTION,
        formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("--profile", default="both",
                        help="which site and link, of %s; several joined "
                             "by commas (default both: big and small; all: "
                             "big, small, latency and flaky)"
                             % ", ".join(sorted(PROFILE_SETS)))
    parser.add_argument("--rounds", type=int, default=3,
                        help="rounds per profile (default 3)")
    parser.add_argument("--folders", type=int, default=200,
                        help="folders of the big site (default 200)")
    parser.add_argument("--big-mb", type=int, default=256,
                        help="size of the big site's big file, and of each "
                             "of bigcut's four (default 256)")
    parser.add_argument("--small-folders", type=int, default=100,
                        help="folders of the small site (default 100)")
    parser.add_argument("--small-files", type=int, default=800,
                        help="files of the small site (default 800)")
    parser.add_argument("--rtt-ms", type=float, default=20.0,
                        help="round-trip time the relay adds on the latency "
                             "profile (default 20)")
    parser.add_argument("--cut-share", type=float, default=None,
                        help="share of the server's chunks (reads of up to "
                             "256 KiB) at which the relay cuts the "
                             "connection on the flaky and bigcut profiles "
                             "(default 0.02 and 0.002)")
    parser.add_argument("--seed", type=int, default=1,
                        help="seed of the relay's cuts (default 1)")
    parser.add_argument("--httrack", action="store_true",
                        help="add HTTrack (up to five minutes a run)")
    parser.add_argument("--no-httrack", action="store_true",
                        help="leave HTTrack out (the default)")
    parser.add_argument("--micro", action="store_true",
                        help="also run the Google Benchmark micro-benchmarks")
    parser.add_argument("--perf", metavar="FILE",
                        help="record one more run of this program, outside "
                             "the rounds, with perf into FILE (strace -c for "
                             "a name ending in .strace); with several "
                             "profiles, the profile's name goes before the "
                             "extension")
    parser.add_argument("--keep", action="store_true",
                        help="keep the sites and the last round's folders")
    options = parser.parse_args()
    if options.rounds < 1:
        parser.error("--rounds must be at least 1")
    if options.rtt_ms < 0:
        parser.error("--rtt-ms must not be negative")
    if options.cut_share is not None and not 0 <= options.cut_share <= 1:
        parser.error("--cut-share must be from 0 to 1")
    names = []
    for profile_set in options.profile.split(","):
        if profile_set not in PROFILE_SETS:
            parser.error("unknown profile %r (choose from %s)"
                         % (profile_set, ", ".join(sorted(PROFILE_SETS))))
        names += [n for n in PROFILE_SETS[profile_set] if n not in names]

    tools = [OURS, WGET, WGET2]
    if options.httrack and not options.no_httrack:
        tools.append(HTTRACK)
    tools.append(CURL_FLOOR)

    build()
    # Ctrl-C and kill both unwind through the clean-up below.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    work = tempfile.mkdtemp(prefix="trawlbox-bench-")
    os.chmod(work, 0o755)
    os.makedirs(os.path.join(work, "xdg"), mode=0o700)
    x_server = None
    profiles = []
    try:
        x_server = XServer()
        print("X server: Xvfb on %s; this program runs on it with "
              "QT_QPA_PLATFORM=xcb" % x_server.display)
        print("Order of round 1: %s; it rotates by one each round (a "
              "profile may run only some)" % ", ".join(tools))
        for name in names:
            profile = Profile(name, work, options, x_server)
            profiles.append(profile)
            print()
            try:
                profile.serve()
                print("Profile %s: %s, %d files, %.1f MB, on %s, %s"
                      % (name, profile.shape, profile.files,
                         profile.bytes / 1e6, profile.start,
                         profile.describe_link()), flush=True)
                for round_number in range(1, options.rounds + 1):
                    profile.run_round(round_number, tools)
                if options.perf:
                    file_name = options.perf
                    if len(names) > 1:
                        stem, extension = os.path.splitext(options.perf)
                        file_name = "%s.%s%s" % (stem, name, extension)
                    profile.run_profiler(file_name)
            finally:
                profile.stop()
    except BenchError as error:
        print("\nbench: %s" % error, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("\nbench: interrupted", file=sys.stderr)
        return 130
    finally:
        for profile in profiles:
            profile.stop()
        if x_server:
            x_server.stop()
        if not options.keep:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print("Kept in", work)

    for profile in profiles:
        print_table(profile, tools)

    if options.micro:
        for bench in ("file_list_bench", "link_scan_bench", "download_bench"):
            run([os.path.join(BUILD, "bench", bench)])
    return 1 if any(profile.fatal(fault[0]) for profile in profiles
                    for fault in profile.mirror_faults) else 0
