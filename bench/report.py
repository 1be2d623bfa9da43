"""The report: each run's raw figures as it ends, then per profile a table
of medians, a few lines below it, and what the mirror check found."""

import statistics

from .common import CURL_FLOOR, OURS, WGET


def print_raw(round_number, tool, figures):
    parts = ["  round %d  %-18s wall %7.2f s" % (round_number, tool,
                                                 figures["wall"])]
    if "list" in figures:
        parts.append("list %.2f s, download %.2f s" % (figures["list"],
                                                       figures["download"]))
    elif "download" in figures:
        parts.append("transfers %.2f s" % figures["download"])
    parts.append("CPU %.2f s, peak %.1f MB" % (figures["cpu"],
                                               figures["peak"]))
    parts.append("%d requests, %d conns over %s, %d files, %.1f MB"
                 % (figures["requests"], figures["connections"],
                    "/".join(figures["protocols"]) or "nothing",
                    figures["files"], figures["mb"]))
    if "gap" in figures:
        parts.append("gap %d ms, X server CPU %.2f s, %d rows (%d failed), "
                     "%d reports"
                     % (figures["gap"], figures["x_cpu"], figures["rows"],
                        figures["failed_rows"], figures["reports"]))
    elif "failed_rows" in figures:
        parts.append("%d failed" % figures["failed_rows"])
    parts.append("%d files missing, %d different" % (figures["missing"],
                                                     figures["different"]))
    if "cuts" in figures:
        parts.append("relay: %d conns, %d cuts, %.1f MB over the link"
                     % (figures["relay_connections"], figures["cuts"],
                        figures["link_mb"]))
    if figures["returncode"] != 0:
        parts.append("exit %d" % figures["returncode"])
    print(", ".join(parts), flush=True)
    for line in figures.get("report_texts", [])[:5]:
        print("    " + line)


def print_update_raw(round_number, tool, figures):
    print("  round %d  %-18s mirror %.2f s (%.1f MB served); update %.2f s, "
          "%d requests, %.2f MB served (%.2f %%), %d files written again, "
          "%d file times not the server's; after %s changed: %.2f MB "
          "served, files that came whole: %s; %d missing, %d different, "
          "%d reports"
          % (round_number, tool, figures["first_wall"], figures["first_mb"],
             figures["wall"], figures["requests"], figures["served_mb"],
             100 * figures["served_mb"] / max(figures["first_mb"], 1e-9),
             figures["rewritten"], figures["times"], figures["changed"],
             figures["third_mb"], ", ".join(figures["came"]) or "none",
             figures["missing"], figures["different"], figures["reports"]),
          flush=True)


def print_update_table(profile, tools):
    print()
    print("Profile update: %s, %d files, %.1f MB, %s: mirrored, updated, "
          "then updated after one file changed; medians of %d round%s"
          % (profile.shape, profile.files, profile.bytes / 1e6,
             profile.describe_link(), len(profile.updates[tools[0]]),
             "" if len(profile.updates[tools[0]]) == 1 else "s"))
    header = ("%-18s %9s %9s %8s %9s %9s %8s %9s %7s %9s %8s"
              % ("tool", "mirror s", "served MB", "update s", "requests",
                 "served MB", "share %", "rewritten", "times", "then MB",
                 "only it"))
    print(header)
    print("-" * len(header))
    for tool in tools:
        runs = profile.updates[tool]
        only = sum(1 for r in runs if r["came"] == [r["changed"]])
        print("%-18s %9.2f %9.1f %8.2f %9d %9.2f %8.2f %9d %7d %9.2f %5d/%d"
              % (tool, median(runs, "first_wall"), median(runs, "first_mb"),
                 median(runs, "wall"), median(runs, "requests"),
                 median(runs, "served_mb"),
                 100 * median(runs, "served_mb") / median(runs, "first_mb"),
                 median(runs, "rewritten"), median(runs, "times"),
                 median(runs, "third_mb"), only, len(runs)))
    print("served MB: the bodies Apache sent (its log); share: the update's "
          "over the mirror's; rewritten: files other than folder pages the "
          "update wrote again; times: files whose time is not the server's "
          "Last-Modified; then MB: the update after one file changed; only "
          "it: rounds in which that file was the only one, folder pages "
          "aside, to come whole.")
    print_mirror_faults(profile, tools)


def median(runs, key):
    values = [r[key] for r in runs if key in r]
    return statistics.median(values) if values else None


def print_mirror_faults(profile, tools):
    if not profile.mirror_faults:
        print("Mirror check: every tool stored every file the site serves, "
              "byte for byte, in every round.")
        return
    for tool in tools:
        rounds_by_fault = {}  # The same files each round: one line.
        for fault_tool, round_number, missing, different in (
                profile.mirror_faults):
            if fault_tool == tool:
                rounds_by_fault.setdefault(
                    (tuple(missing), tuple(different)), []).append(
                        str(round_number))
        if not rounds_by_fault:
            print("Mirror check, %s: every file, byte for byte, in every "
                  "round." % tool)
            continue
        label = ("MIRROR INCOMPLETE" if profile.fatal(tool) else
                 "Mirror incomplete (printed; on this profile only %s's "
                 "misses fail the run)" % OURS)
        for (missing, different), rounds in rounds_by_fault.items():
            print("%s, %s, in round %s: of %d files %d missing, %d "
                  "different, e.g. %s"
                  % (label, tool, ", ".join(rounds), profile.files,
                     len(missing), len(different),
                     ", ".join((missing + different)[:5])))


def print_table(profile, tools):
    tools = profile.tools(tools)
    if profile.name == "update":
        print_update_table(profile, tools)
        return
    walls = {t: median(profile.results[t], "wall") for t in tools}
    walls.setdefault(CURL_FLOOR, None)
    walls.setdefault(WGET, None)
    print()
    rounds = len(profile.results[OURS])
    print("Profile %s: %s, %d files, %.1f MB, %s; medians of %d round%s"
          % (profile.name, profile.shape, profile.files, profile.bytes / 1e6,
             profile.describe_link(), rounds, "" if rounds == 1 else "s"))
    header = ("%-18s %8s %7s %9s %7s %8s %8s %6s %6s %8s %7s %6s %7s %8s "
              "%8s" % ("tool", "wall s", "list s", "download", "CPU s",
                       "peak MB", "requests", "conns", "files", "MB",
                       "missing", "differ", "reports", "to wget",
                       "to floor"))
    print(header)
    print("-" * len(header))

    def cell(value, width, form):
        return ("%" + str(width) + "s") % ("-" if value is None
                                           else form % value)

    for tool in tools:
        runs = profile.results[tool]
        wall = walls[tool]
        print("%-18s %s %s %s %s %s %s %s %s %s %s %s %s %s %s" % (
            tool, cell(wall, 8, "%.2f"),
            cell(median(runs, "list"), 7, "%.2f"),
            cell(median(runs, "download"), 9, "%.2f"),
            cell(median(runs, "cpu"), 7, "%.2f"),
            cell(median(runs, "peak"), 8, "%.1f"),
            cell(median(runs, "requests"), 8, "%d"),
            cell(median(runs, "connections"), 6, "%d"),
            cell(median(runs, "files"), 6, "%d"),
            cell(median(runs, "mb"), 8, "%.1f"),
            cell(median(runs, "missing"), 7, "%g"),
            cell(median(runs, "different"), 6, "%g"),
            cell(median(runs, "reports"), 7, "%g"),
            cell(wall / walls[WGET] if walls[WGET] else None, 8, "%.2f"),
            cell(wall / walls[CURL_FLOOR] if walls[CURL_FLOOR] else None, 8,
                 "%.2f")))
    ours = profile.results[OURS]
    floor = profile.results.get(CURL_FLOOR)
    print()
    print("%s: %d rows (%d failed), %d error reports; longest event-loop "
          "gap %d ms median, %d ms worst; X server CPU %.2f s median"
          % (OURS, median(ours, "rows"), median(ours, "failed_rows"),
             median(ours, "reports"), median(ours, "gap"),
             max(r["gap"] for r in ours), median(ours, "x_cpu")))
    if floor:
        print("%s: the same %d addresses, %d failed; its download column "
              "is the transfers alone; its bodies are checked against the "
              "files their addresses name"
              % (CURL_FLOOR, median(ours, "rows"),
                 median(floor, "failed_rows")))
    if profile.relay_settings:
        print("Relay, connections and cuts per run (medians): " + "; ".join(
            "%s %g and %g" % (tool,
                              median(profile.results[tool],
                                     "relay_connections"),
                              median(profile.results[tool], "cuts"))
            for tool in tools))
        print("Over the link, MB per run (medians; the files are %.1f MB): "
              % (profile.bytes / 1e6) + "; ".join(
                  "%s %.1f (%.2fx)"
                  % (tool, median(profile.results[tool], "link_mb"),
                     median(profile.results[tool], "link_mb")
                     / (profile.bytes / 1e6))
                  for tool in tools))
    print("Protocols the server saw: " + "; ".join(
        "%s %s" % (tool, "/".join(sorted({p for run in profile.results[tool]
                                           for p in run["protocols"]})))
        for tool in tools))
    print_mirror_faults(profile, tools)
