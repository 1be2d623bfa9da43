"""Head to head on a real server: this program against wget, wget2, HTTrack
and a bare libcurl loop.

Generates a site, serves it with Apache httpd on 127.0.0.1 and mirrors it,
round after round, with each tool into a fresh empty folder: this program
through its real main window on an X server (Xvfb, so painting costs what it
costs the user), `wget --recursive`, `wget2 --recursive` (its own threads),
HTTrack when asked, and the floor, a libcurl loop that fetches this
program's own request list one address after another on one kept-alive
connection. The order of the tools rotates each round. Prints every round's
raw figures, then one table per site profile of medians: wall time, this
program's listing and download, CPU time (user + sys), peak resident memory,
requests and connections (from the access log), files and MB stored, files
missing and files different from the served ones, this program's error
boxes, and the wall time over wget's and over the floor's.

Every tool's mirror is checked against the served files, byte for byte (the
floor's bodies against the files their addresses name). A file missing or
different makes the script exit with status 1, except on the flaky and
update profiles, where only this program's misses do: the other tools' are
printed.

Site profiles:
  big      folders up to four deep with 20 files each of 1 KB to 1 MB and
           one big file; half the folders with an index page, half served
           as directory listings.
  small    about 100 folders served as directory listings holding 800 files
           of 1 to 30 KB, many without a dot in their name (README,
           copyright, LICENSE), as Debian's /usr/share/doc trees look.
  latency  the small site through a relay (bench/relay.py) that delays each
           direction by half of --rtt-ms: a server far away, at full speed.
  h2       the small site over https, HTTP/2 offered, through the relay
           at --rtt-ms, with a certificate authority of the bench's own
           that every tool is told to trust.
  bigh2    the big site over https, HTTP/2 offered, straight to Apache:
           what many streams at once cost in time and memory.
  flaky    the small site through the relay, which cuts a connection
           mid-answer (before any byte, inside the head or inside the body)
           at a --cut-share of the chunks the server sends; no added
           latency. wget and wget2 retry as they do by default.
  bigcut   four files of --big-mb MB in one listed folder through the
           relay, cutting at 0.2 % of the server's 256 KiB chunks (about
           one cut every 128 MB); this program against wget, and the bytes
           that went over the link (counted at the relay: Apache's log
           counts a cut answer whole).
  update   the big site: each tool (this program, wget) mirrors it, runs
           again over the mirror asking only for what changed (--update;
           wget --timestamping), then again after one file changed on the
           server: what the server sent, which files were written again,
           whether the stored times are the server's, and which files came
           whole the third time.
"""

# scripts/bench runs main() of cli.py and keeps bytecode out of the work
# tree. The modules: common.py (paths, tools' names, profiles, the build),
# sites.py (the generated sites), servers.py (Apache, its access log, Xvfb),
# measure.py (one tool's run under GNU time), contenders.py (each tool's
# command and figures), mirrors.py (the byte for byte check), profiles.py
# (a site served and its rounds), report.py (raw lines and the tables), and
# relay.py (the latency and flaky link, also a program of its own).
