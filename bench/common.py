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
# command line before its arguments (it takes --update); none for a
# plain run.
OURS_OPTIONS = []

# On these profiles only this program's misses make the script fail; the
# other tools' are printed. (wget --timestamping does not descend below a
# page the server calls unchanged, so its update misses what changed.)
LENIENT_PROFILES = ("flaky", "update")
# The profiles served over https, HTTP/2 offered.
SECURE_PROFILES = ("h2", "bigh2")
# The profiles each --profile runs (several may be named, "a,b"). latency,
# h2 and flaky serve the small site through the relay, h2 over https with
# HTTP/2 offered; bigh2 the big site over https, straight; bigcut four big
# files through a relay that cuts; update the big site, mirrored and then
# updated.
PROFILE_SETS = {"big": ["big"], "small": ["small"], "latency": ["latency"],
                "flaky": ["flaky"], "h2": ["h2"], "bigh2": ["bigh2"],
                "bigcut": ["bigcut"], "update": ["update"],
                "both": ["big", "small"],
                "all": ["big", "small", "latency", "h2", "flaky"]}
# The tools that run on a profile, when not all do.
PROFILE_TOOLS = {"bigcut": [OURS, WGET], "update": [OURS, WGET]}
# The relay's cut share on the profiles that cut, unless --cut-share says.
CUT_SHARES = {"flaky": 0.02, "bigcut": 0.002}


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
