"""A profile: one site served by one Apache, maybe through the relay, the
rounds of the tools on it and the figures of every run."""

import os
import shutil
import urllib.parse

from . import relay
from .common import (CURL_FLOOR, CUT_SHARES, HTTRACK, LENIENT_PROFILES,
                     OURS, PROFILE_TOOLS, SECURE_PROFILES)
from .contenders import RUNNERS, UPDATERS, run_ours
from .measure import measured
from .mirrors import (check_floor, check_mirror, files_state, is_page,
                      stored, time_mismatches)
from .report import print_raw, print_update_raw
from .servers import Apache, free_port, log_entries, make_certificates
from .sites import (change_one_file, make_big_site, make_cut_site,
                    make_small_site)


class Profile:
    """One site served by one Apache, maybe through the relay, and the
    figures of every run."""

    def __init__(self, name, work, options, x_server):
        self.name = name
        self.dir = os.path.join(work, name)
        self.site = os.path.join(self.dir, "site")
        self.options = options
        self.x_server = x_server
        os.makedirs(self.dir)
        os.chmod(self.dir, 0o755)
        self.port = free_port()  # Apache's.
        # The secure profiles serve https, with a certificate authority of
        # the bench's own that every tool is told to trust.
        self.scheme = "https" if name in SECURE_PROFILES else "http"
        self.ca_file = None
        self.certificate = None
        if self.scheme == "https":
            self.ca_file, cert, key = make_certificates(self.dir)
            self.certificate = (cert, key)
        self.start = "%s://127.0.0.1:%d" % (self.scheme, self.port)
        if name in ("big", "bigh2", "update"):
            self.shape, self.files, self.bytes = make_big_site(
                self.site, options.folders, options.big_mb, self.port,
                self.scheme)
        elif name == "bigcut":
            self.shape, self.files, self.bytes = make_cut_site(
                self.site, 4, options.big_mb)
        else:
            self.shape, self.files, self.bytes = make_small_site(
                self.site, options.small_folders, options.small_files)
        self.relay_settings = None  # (latency_ms, cut_share)
        if name in ("latency", "h2"):
            self.relay_settings = (options.rtt_ms, 0.0)
        elif name in CUT_SHARES:
            cut_share = options.cut_share
            if cut_share is None:
                cut_share = CUT_SHARES[name]
            self.relay_settings = (0.0, cut_share)
        self.apache = None
        self.relay = None
        self.request_list = None  # The latest one this program wrote.
        self.results = {}  # tool -> [figures per round]
        self.updates = {}  # tool -> [an update round's figures]
        # (tool, round, [files missing], [files different])
        self.mirror_faults = []
        self.env = dict(os.environ, DISPLAY=x_server.display,
                        QT_QPA_PLATFORM="xcb",
                        XDG_RUNTIME_DIR=os.path.join(work, "xdg"))
        self.env.pop("WAYLAND_DISPLAY", None)

    def tools(self, tools):
        """The tools that run on this profile, of `tools`."""
        wanted = PROFILE_TOOLS.get(self.name)
        return [t for t in tools if wanted is None or t in wanted]

    def describe_link(self):
        over = " over https, HTTP/2 offered" if self.ca_file else ""
        if not self.relay_settings:
            return "straight to Apache" + over
        latency_ms, cut_share = self.relay_settings
        what = []
        if latency_ms:
            what.append("%g ms round trip" % latency_ms)
        if cut_share:
            what.append("cuts at %g%% of the server's chunks, seed %d"
                        % (100 * cut_share, self.options.seed))
        return "through the relay (%s) to Apache on port %d%s" % (
            ", ".join(what) or "passing everything", self.port, over)

    def serve(self):
        self.apache = Apache(self.dir, self.site, self.port,
                             self.certificate)
        if self.relay_settings:
            latency_ms, cut_share = self.relay_settings
            self.relay = relay.Relay(self.port, latency_ms=latency_ms,
                                     cut_share=cut_share,
                                     seed=self.options.seed)
            self.start = "%s://127.0.0.1:%d" % (self.scheme,
                                                self.relay.start())

    def stop(self):
        if self.relay:
            self.relay.stop()
            self.relay = None
        if self.apache:
            self.apache.stop()

    def fatal(self, tool):
        """Whether a miss of `tool` makes the script fail. HTTrack's never
        does: it stores a file without a dot as NAME.html by design."""
        if tool == HTTRACK:
            return False
        return tool == OURS or self.name not in LENIENT_PROFILES

    def measured(self, command, **kwargs):
        return measured(command, self.apache.log, link=self.relay, **kwargs)

    def fresh_folder(self, tool, round_number):
        folder = os.path.join(self.dir, "%s-round%d" % (tool, round_number))
        os.makedirs(folder)
        return folder

    def check(self, tool, folder):
        """The files missing and different in what `tool` stored."""
        if tool == CURL_FLOOR:
            return check_floor(self.site, self.request_list, folder)
        if tool == HTTRACK:
            # HTTrack stores the site in a folder named after the host.
            hosts = [name for name in os.listdir(folder)
                     if name.startswith("127.0.0.1")]
            if len(hosts) == 1:
                folder = os.path.join(folder, hosts[0])
        return check_mirror(self.site, folder)

    def run_round(self, round_number, tools):
        tools = self.tools(tools)
        if self.name == "update":
            self.run_update_round(round_number, tools)
            return
        shift = (round_number - 1) % len(tools)
        order = tools[shift:] + tools[:shift]
        if (self.request_list is None and CURL_FLOOR in order
                and order.index(CURL_FLOOR) < order.index(OURS)):
            # The floor fetches this program's request list: not before
            # this program has written one.
            order.remove(CURL_FLOOR)
            order.insert(order.index(OURS) + 1, CURL_FLOOR)
        for tool in order:
            folder = self.fresh_folder(tool, round_number)
            figures = RUNNERS[tool](self, folder, round_number)
            figures["files"], size = stored(folder)
            figures["mb"] = size / 1e6
            missing, different = self.check(tool, folder)
            figures["missing"] = len(missing)
            figures["different"] = len(different)
            if missing or different:
                self.mirror_faults.append((tool, round_number, missing,
                                           different))
            self.results.setdefault(tool, []).append(figures)
            print_raw(round_number, tool, figures)
            if not self.options.keep or round_number < self.options.rounds:
                shutil.rmtree(folder, ignore_errors=True)

    def run_update_round(self, round_number, tools):
        """Each tool mirrors the site into a fresh folder, runs again over
        it asking only for what changed, then again after one file changed
        on the server. What the server sent the second time, which files
        the second run wrote, and which files the third run got whole."""
        shift = (round_number - 1) % len(tools)
        for tool in tools[shift:] + tools[:shift]:
            folder = self.fresh_folder(tool, round_number)
            first = RUNNERS[tool](self, folder, round_number)
            before = files_state(folder)
            second = UPDATERS[tool](self, folder, round_number)
            after = files_state(folder)
            missing, different = check_mirror(self.site, folder)
            changed = change_one_file(self.site, round_number,
                                      "%s %d" % (tool, round_number))
            offset = os.path.getsize(self.apache.log)
            third = UPDATERS[tool](self, folder, round_number)
            came = sorted({
                urllib.parse.unquote(path).lstrip("/")
                for _, _, path, status, size, _ in log_entries(
                    self.apache.log, offset)
                if status == 200 and size > 0 and not path.endswith("/")})
            missing3, different3 = check_mirror(self.site, folder)
            figures = {
                "first_wall": first["wall"],
                "first_mb": first["served_mb"],
                "wall": second["wall"],
                "served_mb": second["served_mb"],
                "requests": second["requests"],
                "rewritten": len([p for p in before if not is_page(p)
                                  and after.get(p) != before[p]]),
                "times": len(time_mismatches(self.site, folder)),
                "changed": changed,
                "came": came,
                "third_mb": third["served_mb"],
                "missing": len(missing) + len(missing3),
                "different": len(different) + len(different3),
                "reports": second.get("reports", 0) + third.get("reports",
                                                                0),
            }
            if missing or different or missing3 or different3:
                self.mirror_faults.append(
                    (tool, round_number, missing + missing3,
                     different + different3))
            self.updates.setdefault(tool, []).append(figures)
            print_update_raw(round_number, tool, figures)
            if not self.options.keep or round_number < self.options.rounds:
                shutil.rmtree(folder, ignore_errors=True)

    def run_profiler(self, file_name):
        """One more run of this program, under perf or strace, outside the
        measured rounds."""
        if file_name.endswith(".strace"):
            profiler = ["strace", "-f", "-c", "-o", file_name]
        else:
            profiler = ["perf", "record", "-g", "-o", file_name]
        folder = self.fresh_folder(OURS, 0)
        run_ours(self, folder, 0, profiler)
        shutil.rmtree(folder, ignore_errors=True)
        print("Recorded one more run of this program into", file_name)
