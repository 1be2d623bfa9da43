#ifndef TRAWLBOX_TESTS_SUPPORT_REAL_SERVER_H_
#define TRAWLBOX_TESTS_SUPPORT_REAL_SERVER_H_

#include <QtGlobal>
#ifdef Q_OS_LINUX
#include <signal.h>
#include <sys/prctl.h>
#endif
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <initializer_list>
#include <utility>

namespace trawlbox {

// How to run one kind of web server in the foreground. In the texts,
// {port}, {root} (the served folder), {run} (the server's own files),
// {config}, {user}, and for a secure one {cert} and {key} (the test
// certificate and its key) are filled in. Apache asks for a user and
// password below {root}/priv, those of the htpasswd lines in {run}/users.
struct RealServerKind {
  const char* name;
  const char* program;
  const char* config;   // Written to {run}/server.conf; none when empty.
  const char* as_root;  // Replaces {user} when run as root.
  QStringList arguments;
  // Serves https with HTTP/2 offered, with the test certificate.
  bool secure = false;
};

// The Apache configuration both Apache kinds share, with the table of names,
// dates and sizes that sites commonly list folders in; {tls} is filled in.
inline constexpr char kApacheConfig[] = R"(ServerRoot "{run}"
DefaultRuntimeDir "{run}"
ServerName 127.0.0.1
Listen 127.0.0.1:{port}
PidFile "{run}/server.pid"
ErrorLog "{run}/error.log"
{user}
LoadModule mpm_event_module /usr/lib/apache2/modules/mod_mpm_event.so
LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so
LoadModule dir_module /usr/lib/apache2/modules/mod_dir.so
LoadModule autoindex_module /usr/lib/apache2/modules/mod_autoindex.so
LoadModule mime_module /usr/lib/apache2/modules/mod_mime.so
LoadModule auth_basic_module /usr/lib/apache2/modules/mod_auth_basic.so
LoadModule authn_core_module /usr/lib/apache2/modules/mod_authn_core.so
LoadModule authn_file_module /usr/lib/apache2/modules/mod_authn_file.so
LoadModule authz_user_module /usr/lib/apache2/modules/mod_authz_user.so
TypesConfig /etc/mime.types
DocumentRoot "{root}"
<Directory "{root}">
  Options +Indexes
  Require all granted
</Directory>
<Directory "{root}/priv">
  AuthType Basic
  AuthName "Members"
  AuthUserFile "{run}/users"
  Require valid-user
</Directory>
DirectoryIndex index.html
IndexOptions FancyIndexing HTMLTable VersionSort NameWidth=* DescriptionWidth=* Charset=UTF-8
{tls})";

// nginx's, likewise; {listen} is filled in.
inline constexpr char kNginxConfig[] = R"({user}
worker_processes 1;
pid "{run}/server.pid";
error_log "{run}/error.log";
events { worker_connections 64; }
http {
  include /etc/nginx/mime.types;
  access_log "{run}/access.log";
  client_body_temp_path "{run}/body";
  proxy_temp_path "{run}/proxy";
  fastcgi_temp_path "{run}/fastcgi";
  uwsgi_temp_path "{run}/uwsgi";
  scgi_temp_path "{run}/scgi";
  server {
    {listen}
    root "{root}";
    autoindex on;
  }
}
)";

inline QString Filled(
    const char* text,
    const std::initializer_list<std::pair<const char*, const char*>>& fields) {
  QString filled = QString::fromUtf8(text);
  for (const auto& [field, value] : fields) {
    filled.replace(QLatin1String(field), QString::fromUtf8(value));
  }
  return filled;
}

inline const QList<RealServerKind>& RealServerKinds() {
  static const QByteArray apache =
      Filled(kApacheConfig, {{"{tls}", ""}}).toUtf8();
  static const QByteArray secure_apache =
      Filled(
          kApacheConfig,
          {{"{tls}",
            R"tls(LoadModule socache_shmcb_module /usr/lib/apache2/modules/mod_socache_shmcb.so
LoadModule ssl_module /usr/lib/apache2/modules/mod_ssl.so
LoadModule http2_module /usr/lib/apache2/modules/mod_http2.so
SSLSessionCache "shmcb:{run}/ssl_scache(512000)"
SSLEngine on
SSLCertificateFile "{cert}"
SSLCertificateKeyFile "{key}"
Protocols h2 http/1.1
)tls"}}).toUtf8();
  static const QByteArray nginx =
      Filled(kNginxConfig, {{"{listen}", "listen 127.0.0.1:{port};"}}).toUtf8();
  static constexpr char kSecureListen[] =
      "listen 127.0.0.1:{port} ssl http2;\n"
      "    ssl_certificate \"{cert}\";\n"
      "    ssl_certificate_key \"{key}\";";
  static const QByteArray secure_nginx =
      Filled(kNginxConfig, {{"{listen}", kSecureListen}}).toUtf8();
  // Ends each connection with a GOAWAY after its third request, while the
  // client may have many more streams open on it.
  static const QByteArray goaway_nginx =
      Filled(kNginxConfig, {{"{listen}", "{secure}\n    keepalive_requests 3;"},
                            {"{secure}", kSecureListen}})
          .toUtf8();
  const QStringList apache_arguments = {"-f", "{config}", "-DFOREGROUND"};
  const QStringList nginx_arguments = {
      "-p", "{run}/",   "-e", "{run}/error.log",
      "-c", "{config}", "-g", "daemon off;"};
  static const QList<RealServerKind> kinds = {
      {"apache", "apache2", apache.constData(), "User www-data\nGroup www-data",
       apache_arguments},
      {"apache, https with HTTP/2", "apache2", secure_apache.constData(),
       "User www-data\nGroup www-data", apache_arguments, true},
      {"nginx", "nginx", nginx.constData(), "user www-data;", nginx_arguments},
      {"nginx, https with HTTP/2", "nginx", secure_nginx.constData(),
       "user www-data;", nginx_arguments, true},
      {"nginx, https with HTTP/2, a GOAWAY every third request", "nginx",
       goaway_nginx.constData(), "user www-data;", nginx_arguments, true},
      {"lighttpd",
       "lighttpd",
       R"(server.modules = ("mod_dirlisting")
server.document-root = "{root}"
server.bind = "127.0.0.1"
server.port = {port}
index-file.names = ("index.html")
dir-listing.activate = "enable"
mimetype.assign = (".html" => "text/html", ".txt" => "text/plain")
{user}
)",
       "server.username = \"www-data\"\nserver.groupname = \"www-data\"",
       {"-D", "-f", "{config}"}},
      {"caddy",
       "caddy",
       "",
       "",
       {"file-server", "--browse", "--listen", "127.0.0.1:{port}", "--root",
        "{root}"}},
      {"caddy, https with HTTP/2",
       "caddy",
       R"({
  admin off
  auto_https disable_redirects
  storage file_system "{run}/caddy"
}
https://127.0.0.1:{port} {
  tls "{cert}" "{key}"
  root * "{root}"
  file_server browse
}
)",
       "",
       {"run", "--config", "{config}", "--adapter", "caddyfile"},
       true},
      {"python",
       "python3",
       "",
       "",
       {"-m", "http.server", "--bind", "127.0.0.1", "{port}", "--directory",
        "{root}"}},
  };
  return kinds;
}

// A web server of one kind on a free port of 127.0.0.1, serving root()
// from a child process; the process ends with the object. Everything it
// writes stays in a temporary folder of its own.
class RealServer {
 public:
  explicit RealServer(const RealServerKind& kind) : kind_(kind) {
    QDir(box_.path()).mkpath("site");
    QDir(box_.path()).mkpath("run");
    program_ = QStandardPaths::findExecutable(kind.program);
    if (program_.isEmpty()) {
      program_ = QStandardPaths::findExecutable(kind.program,
                                                {"/usr/sbin", "/usr/bin"});
    }
  }
  ~RealServer() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  bool installed() const { return !program_.isEmpty(); }
  int port() const { return port_; }
  QString root() const { return box_.filePath("site"); }
  QString run() const { return box_.filePath("run"); }
  // `user` ("alice:s3cret@") goes before the host.
  QString Url(const QString& user = QString()) const {
    return (kind_.secure ? "https://" : "http://") + user +
           QStringLiteral("127.0.0.1:%1/").arg(port_);
  }

  // Starts the server once root() holds what it serves, a secure one with
  // the certificate `cert` and its `key`; the empty text when it accepts
  // connections within 10 s, else what went wrong.
  QString Start(const QString& cert = QString(),
                const QString& key = QString()) {
    // Servers started as root read the tree as www-data.
    OpenToOthers(box_.path());
    QDirIterator it(root(), QDir::AllEntries | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) OpenToOthers(it.next());
    port_ = FreePort();
    const QString run = box_.filePath("run");
    const QString config = run + "/server.conf";
    auto fill = [&](QString text) {
      return text.replace("{user}", RunningAsRoot() ? kind_.as_root : "")
          .replace("{port}", QString::number(port_))
          .replace("{root}", root())
          .replace("{run}", run)
          .replace("{config}", config)
          .replace("{cert}", cert)
          .replace("{key}", key);
    };
    QFile file(config);
    if (*kind_.config && (!file.open(QIODevice::WriteOnly) ||
                          file.write(fill(kind_.config).toUtf8()) < 0)) {
      return "cannot write " + config;
    }
    file.close();
    QStringList arguments;
    for (const QString& argument : kind_.arguments) arguments << fill(argument);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
      environment.insert(name, run);
    }
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(run + "/output.log");
#ifdef Q_OS_LINUX
    // Ends with the test even when the test is killed.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    process_.start(program_, arguments);
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
      QTcpSocket socket;
      socket.connectToHost(QHostAddress::LocalHost, port_);
      if (socket.waitForConnected(200)) return QString();
      QThread::msleep(50);
      process_.waitForFinished(0);
    }
    return QStringLiteral("%1 did not start on port %2: ")
               .arg(kind_.name)
               .arg(port_) +
           QString::fromLocal8Bit(ReadTail(run + "/output.log") +
                                  ReadTail(run + "/error.log"));
  }

 private:
  static bool RunningAsRoot() {
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
  }
  static void OpenToOthers(const QString& path) {
    using P = QFileDevice;
    QFileDevice::Permissions permissions =
        P::ReadOwner | P::WriteOwner | P::ReadGroup | P::ReadOther;
    if (QFileInfo(path).isDir()) {
      permissions |= P::ExeOwner | P::ExeGroup | P::ExeOther;
    }
    QFile::setPermissions(path, permissions);
  }
  static int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
  }
  static QByteArray ReadTail(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().right(2000) : "";
  }

  RealServerKind kind_;
  QTemporaryDir box_;
  QString program_;
  QProcess process_;
  int port_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_REAL_SERVER_H_
