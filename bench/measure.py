"""Running one tool and measuring it: wall time, CPU time, peak resident
memory, and the requests and connections the server saw meanwhile; and
reading what the window driver and the floor print."""

import os
import signal
import subprocess
import tempfile
import time

from .servers import logged_since


def measured(command, log_path, cwd=None, env=None, link=None):
    """Runs `command` under GNU time and waits for it with wait4. Returns a
    dict: wall, cpu (user + sys of the whole process, from wait4), peak
    (resident MB, from GNU time), requests, connections, protocols and
    served_mb (the bodies' bytes, from the access log), returncode, stdout,
    stderr; with the relay `link` in between, also relay_connections, cuts
    and link_mb (the bytes that reached the tool), what the relay counted
    meanwhile.

    The peak comes from GNU time because a child this script starts
    directly inherits this script's own peak (Python starts it with vfork,
    and exec records the shared memory's high-water mark); GNU time is small
    and forks."""
    before = os.path.getsize(log_path)
    relay_before = link.counts() if link else None
    with tempfile.TemporaryFile("w+") as out, \
            tempfile.TemporaryFile("w+") as err, \
            tempfile.NamedTemporaryFile("r") as peak:
        started = time.monotonic()
        process = subprocess.Popen(
            ["/usr/bin/time", "-f", "%M", "-o", peak.name] + command,
            cwd=cwd, env=env, stdout=out, stderr=err,
            start_new_session=True)
        try:
            _, status, usage = os.wait4(process.pid, 0)
        except BaseException:  # Interrupted: the tool goes too.
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            raise
        wall = time.monotonic() - started
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
        peak_kb = peak.read().split()
    requests, connections, served, protocols = logged_since(log_path, before)
    figures = {
        "wall": wall,
        "cpu": usage.ru_utime + usage.ru_stime,
        "peak": int(peak_kb[-1]) / 1024 if peak_kb else 0.0,
        "requests": requests,
        "connections": connections,
        "protocols": protocols,
        "served_mb": served / 1e6,
        "returncode": process.returncode,
        "stdout": stdout,
        "stderr": stderr,
    }
    if link:
        relay_after = link.counts()
        figures["relay_connections"] = (relay_after["connections"]
                                        - relay_before["connections"])
        figures["cuts"] = relay_after["cuts"] - relay_before["cuts"]
        figures["link_mb"] = (relay_after["bytes"]
                              - relay_before["bytes"]) / 1e6
    return figures


def key_values(text):
    values = {}
    for line in text.splitlines():
        key, _, value = line.partition(" ")
        values[key] = value
    return values


def tail(text, lines=15):
    return "\n".join(text.strip().splitlines()[-lines:])
