"""The servers: Apache httpd on a free port of 127.0.0.1 with a
configuration of its own, over http or https with HTTP/2, what its access
log says about a run, and Xvfb, the X server this program's window is drawn
on."""

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
# No column-sort links: wget2 asks for each of them despite --reject-regex,
# which would time its quirk rather than its engine.
IndexOptions SuppressColumnSorting
LogFormat "%h %{{remote}}p \\"%r\\" %>s %B" bench
CustomLog "{run}/access.log" bench
{tls}"""

# HTTPS with HTTP/2 offered in the handshake, HTTP/1.1 beside it.
TLS_CONF = """
LoadModule socache_shmcb_module {modules}/mod_socache_shmcb.so
LoadModule ssl_module {modules}/mod_ssl.so
LoadModule http2_module {modules}/mod_http2.so
SSLSessionCache "shmcb:{run}/ssl_scache(512000)"
SSLEngine on
SSLCertificateFile "{cert}"
SSLCertificateKeyFile "{key}"
Protocols h2 http/1.1
"""

# A certificate authority of the bench's own and the server's certificate
# for 127.0.0.1, made afresh for each run of the bench.
CERT_CONFIG = """
[req]
distinguished_name = name
[name]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign
[server]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1
"""


def make_certificates(folder):
    """Writes ca.pem, server.pem and server.key into `folder`; returns
    their paths as (ca, cert, key)."""
    config = os.path.join(folder, "certs.cnf")
    with open(config, "w") as out:
        out.write(CERT_CONFIG)
    paths = [os.path.join(folder, name) for name in
             ("ca.pem", "ca.key", "server.pem", "server.key", "server.csr")]
    ca, ca_key, cert, key, csr = paths
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    key_options = ["-newkey", "ec", "-pkeyopt",
                   "ec_paramgen_curve:prime256v1", "-nodes"]
    run(["openssl", "req", "-x509"] + key_options +
        ["-keyout", ca_key, "-out", ca, "-days", "30", "-subj",
         "/CN=Trawlbox Bench CA", "-config", config, "-extensions", "ca"],
        **quiet)
    run(["openssl", "req", "-new"] + key_options +
        ["-keyout", key, "-out", csr, "-subj", "/CN=127.0.0.1", "-config",
         config], **quiet)
    run(["openssl", "x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key,
         "-set_serial", "2", "-days", "30", "-out", cert, "-extfile", config,
         "-extensions", "server"], **quiet)
    for path in (ca, cert, key):
        os.chmod(path, 0o644)
    return ca, cert, key


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Apache:
    def __init__(self, run_dir, site, port, certificate=None):
        """Serves `site` on `port`, over https with HTTP/2 when
        `certificate` is the pair (certificate file, key file)."""
        self.run_dir = run_dir
        self.conf = os.path.join(run_dir, "httpd.conf")
        self.log = os.path.join(run_dir, "access.log")
        self.running = False
        user = "User www-data\nGroup www-data" if os.geteuid() == 0 else ""
        tls = ""
        if certificate:
            tls = TLS_CONF.format(run=run_dir, modules=APACHE_MODULES,
                                  cert=certificate[0], key=certificate[1])
        with open(self.conf, "w") as out:
            out.write(APACHE_CONF.format(run=run_dir, port=port, site=site,
                                         user=user, modules=APACHE_MODULES,
                                         tls=tls))
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
    body bytes, protocol) a request. A cut answer counts its body whole."""
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
        protocol = parts[2] if len(parts) > 2 else ""
        entries.append((client, port, path, int(status or 0),
                        int(size) if size.isdigit() else 0, protocol))
    return entries


def logged_since(log_path, offset):
    """The requests, the connections (a client's address and port), the
    bodies' bytes and the protocols ("HTTP/1.1", "HTTP/2.0") in Apache's
    access log from `offset` on."""
    entries = log_entries(log_path, offset)
    return (len(entries), len({entry[:2] for entry in entries}),
            sum(entry[4] for entry in entries),
            sorted({entry[5] for entry in entries if entry[5]}))


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
