"""The servers: Apache httpd on a free port of 127.0.0.1 with a
configuration of its own, what its access log says about a run, and Xvfb,
the X server this program's window is drawn on."""

import os
import socket
import subprocess
import time

from .common import APACHE_MODULES, BenchError, run

APACHE_CONF = """
ServerRoot "{run}"
ServerName 127.0.0.1
Listen 127.0.0.1:{port}
PidFile "{run}/httpd.pid"
ErrorLog "{run}/error.log"
{user}
LoadModule mpm_event_module {modules}/mod_mpm_event.so
LoadModule authz_core_module {modules}/mod_authz_core.so
LoadModule dir_module {modules}/mod_dir.so
LoadModule autoindex_module {modules}/mod_autoindex.so
LoadModule mime_module {modules}/mod_mime.so
TypesConfig /etc/mime.types
KeepAlive On
MaxKeepAliveRequests 0
KeepAliveTimeout 15
DocumentRoot "{site}"
<Directory "{site}">
  Options +Indexes
  Require all granted
</Directory>
DirectoryIndex index.html
LogFormat "%h %{{remote}}p \\"%r\\" %>s %B" bench
CustomLog "{run}/access.log" bench
"""


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Apache:
    def __init__(self, run_dir, site, port):
        self.run_dir = run_dir
        self.conf = os.path.join(run_dir, "httpd.conf")
        self.log = os.path.join(run_dir, "access.log")
        self.running = False
        user = "User www-data\nGroup www-data" if os.geteuid() == 0 else ""
        with open(self.conf, "w") as out:
            out.write(APACHE_CONF.format(run=run_dir, port=port, site=site,
                                         user=user, modules=APACHE_MODULES))
        open(self.log, "w").close()
        os.chmod(self.log, 0o666)
        run(["/usr/sbin/apache2", "-f", self.conf, "-k", "start"])
        self.running = True
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port), 0.1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise BenchError("Apache did not start; see %s/error.log" % run_dir)

    def stop(self):
        if self.running:
            self.running = False
            subprocess.run(["/usr/sbin/apache2", "-f", self.conf, "-k",
                            "stop"])


def log_entries(log_path, offset):
    """Apache's access log from `offset` on: (client, port, path, status,
    body bytes) a request. A cut answer counts its body whole."""
    time.sleep(0.2)  # Lets Apache write the last lines.
    with open(log_path) as log:
        log.seek(offset)
        lines = log.read().splitlines()
    entries = []
    for line in lines:
        # 127.0.0.1 54321 "GET /a/b HTTP/1.1" 200 1234
        head, _, rest = line.partition(' "')
        request, _, tail = rest.rpartition('" ')
        client, _, port = head.partition(" ")
        status, _, size = tail.partition(" ")
        parts = request.split(" ")
        path = parts[1] if len(parts) > 1 else request
        entries.append((client, port, path, int(status or 0),
                        int(size) if size.isdigit() else 0))
    return entries


def logged_since(log_path, offset):
    """The requests, the connections (a client's address and port) and the
    bodies' bytes in Apache's access log from `offset` on."""
    entries = log_entries(log_path, offset)
    return (len(entries), len({entry[:2] for entry in entries}),
            sum(entry[4] for entry in entries))


class XServer:
    """Xvfb on a display number it picks itself (-displayfd)."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "1280x1024x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.stop()
            raise BenchError("Xvfb did not start")
        self.display = ":" + number

    def cpu_seconds(self):
        """User + system time the X server has used so far."""
        try:
            with open("/proc/%d/stat" % self.process.pid) as stat:
                fields = stat.read().rpartition(")")[2].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf(
                "SC_CLK_TCK")
        except (OSError, IndexError, ValueError):
            return 0.0

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
