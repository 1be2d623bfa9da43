"""What the whole bench shares: where things are, the tools' names,
the profiles, the error that stops a run, and the build."""

import os
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-bench")
DRIVER = os.path.join(BUILD, "bench", "trawlbox-window-driver")
FLOOR = os.path.join(BUILD, "bench", "trawlbox-curl-floor")
APACHE_MODULES = "/usr/lib/apache2/modules"

OURS = "trawlbox-harvester"
WGET = "wget"
WGET2 = "wget2"
HTTRACK = "httrack"
CURL_FLOOR = "curl-floor"

# This program's own options for every run, put on the window driver's
# command line before its arguments; none yet (nor does the driver take
# any yet).
OURS_OPTIONS = []

# On this profile only this program's misses make the script fail; the
# other tools' are printed.
LENIENT_PROFILE = "flaky"
# The profiles each --profile runs. latency, h2 and flaky serve the small
# site through the relay; h2 over https, with HTTP/2 offered.
PROFILE_SETS = {"big": ["big"], "small": ["small"], "latency": ["latency"],
                "flaky": ["flaky"], "h2": ["h2"], "both": ["big", "small"],
                "all": ["big", "small", "latency", "h2", "flaky"]}


class BenchError(Exception):
    pass


def run(command, **kwargs):
    return subprocess.run(command, check=True, **kwargs)


def build():
    run([os.path.join(ROOT, "scripts", "install-deps"), "apache2", "wget",
         "wget2", "httrack", "time", "python3", "xvfb",
         "libcurl4-openssl-dev"])
    run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja",
         "-DCMAKE_BUILD_TYPE=Release", "-DTRAWLBOX_BUILD_BENCH=ON"],
        stdout=subprocess.DEVNULL)
    run(["cmake", "--build", BUILD, "-j2"], stdout=subprocess.DEVNULL)
