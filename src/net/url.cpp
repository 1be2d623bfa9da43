#include "net/url.h"

#include <curl/curl.h>

#include <QUrl>
#include <memory>

namespace trawlbox {
namespace {

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

// Where the path of `address` starts: after "scheme://host" or "//host",
// or at once for a reference without a host.
qsizetype PathStart(const QByteArray& address) {
  qsizetype host = -1;
  if (address.startsWith("//")) {
    host = 2;
  } else if (const qsizetype scheme = address.indexOf("://"); scheme > 0) {
    host = scheme + 3;
  }
  if (host < 0) return 0;
  for (qsizetype i = host; i < address.size(); ++i) {
    if (address[i] == '/' || address[i] == '?' || address[i] == '#') return i;
  }
  return address.size();
}

// libcurl's resolver would re-encode raw blanks and letters beyond ASCII
// and refuse control bytes. Before it sees a path, every '%' becomes "%25"
// and every such byte an escape of its own; Unprotect turns both back, so
// what comes out is what went in, segment for segment.
QByteArray Protect(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  const qsizetype path = PathStart(bytes);
  QByteArray out = bytes.left(path);
  for (qsizetype i = path; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '%' || c <= 0x20 || c >= 0x7f) {
      out += '%';
      out += QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
    } else {
      out += char(c);
    }
  }
  return out;
}

QString Unprotect(const QByteArray& resolved) {
  const qsizetype path = PathStart(resolved);
  QByteArray out = resolved.left(path);
  for (qsizetype i = path; i < resolved.size(); ++i) {
    if (resolved[i] == '%' && i + 2 < resolved.size() &&
        IsHex(resolved[i + 1]) && IsHex(resolved[i + 2])) {
      out += char(resolved.mid(i + 1, 2).toInt(nullptr, 16));
      i += 2;
    } else {
      out += resolved[i];
    }
  }
  return QString::fromUtf8(out);
}

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// libcurl's reading of an absolute address; null when it reads none.
UrlHandle ParseUrl(const QByteArray& address) {
  UrlHandle url(curl_url());
  if (url && curl_url_set(url.get(), CURLUPART_URL, address.constData(),
                          CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    url.reset();
  }
  return url;
}

// One part of `url` as it is written there; none when it has none.
std::optional<QByteArray> PartOf(CURLU* url, CURLUPart part,
                                 unsigned int flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return std::nullopt;
  QByteArray result(text);
  curl_free(text);
  return result;
}

// Whether two addresses share scheme, host name and port, letter case
// aside; an address without a port has its scheme's.
bool SameOrigin(CURLU* a, CURLU* b) {
  for (const CURLUPart part :
       {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
    const unsigned int flags = part == CURLUPART_PORT ? CURLU_DEFAULT_PORT : 0;
    const std::optional<QByteArray> of_a = PartOf(a, part, flags);
    const std::optional<QByteArray> of_b = PartOf(b, part, flags);
    if (!of_a || !of_b || of_a->compare(*of_b, Qt::CaseInsensitive) != 0) {
      return false;
    }
  }
  return true;
}

// Sets or removes one part of `url`; false when libcurl refuses it.
bool SetPart(CURLU* url, CURLUPart part,
             const std::optional<QByteArray>& value) {
  return curl_url_set(url, part, value ? value->constData() : nullptr, 0) ==
         CURLUE_OK;
}

// libcurl's own resolution of `reference` against `base`, both protected.
std::optional<QByteArray> CurlResolve(const QByteArray& base,
                                      const QByteArray& reference) {
  const UrlHandle url(curl_url());
  if (!url) return std::nullopt;
  constexpr unsigned int kFlags = CURLU_NON_SUPPORT_SCHEME;
  if (!base.isEmpty() && curl_url_set(url.get(), CURLUPART_URL,
                                      base.constData(), kFlags) != CURLUE_OK) {
    return std::nullopt;
  }
  if (curl_url_set(url.get(), CURLUPART_URL, reference.constData(), kFlags) !=
      CURLUE_OK) {
    return std::nullopt;
  }
  // The fragment was cut before; an empty one must not come back as "#".
  curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) {
    return std::nullopt;
  }
  QByteArray result(text);
  curl_free(text);
  return result;
}

QStringView WithoutFragment(QStringView text) {
  const qsizetype fragment = text.indexOf(u'#');
  return fragment < 0 ? text : text.first(fragment);
}

}  // namespace

bool HasScheme(QStringView text) {
  if (text.isEmpty() || !text[0].isLetter() || text[0].unicode() > 0x7f) {
    return false;
  }
  for (qsizetype i = 1; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c == u':') return true;
    const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    const bool digit = c >= u'0' && c <= u'9';
    if (!letter && !digit && c != u'+' && c != u'-' && c != u'.') return false;
  }
  return false;
}

std::optional<QString> ResolveReference(const QString& base,
                                        const QString& reference) {
  const QString page = WithoutFragment(base).toString();
  const QString target = WithoutFragment(reference).toString();
  // The page itself. libcurl would take the folder it stands in.
  if (target.isEmpty()) return page;
  if (HasScheme(target)) {
    // An address of its own. Those of other schemes (mailto:, javascript:)
    // are nobody's to fetch and stay as written; http and https ones lose
    // their dot segments, as far as libcurl can read them.
    const QStringView scheme = QStringView(target).first(target.indexOf(u':'));
    if (scheme.compare(u"http", Qt::CaseInsensitive) != 0 &&
        scheme.compare(u"https", Qt::CaseInsensitive) != 0) {
      return target;
    }
    const std::optional<QByteArray> absolute =
        CurlResolve(QByteArray(), Protect(target));
    return absolute ? Unprotect(*absolute) : target;
  }
  const std::optional<QByteArray> resolved =
      CurlResolve(Protect(page), Protect(target));
  if (!resolved) return std::nullopt;
  return Unprotect(*resolved);
}

std::optional<QByteArray> RedirectAddress(const QByteArray& from,
                                          const QByteArray& to) {
  const UrlHandle source = ParseUrl(from);
  const UrlHandle target = ParseUrl(to);
  if (!source || !target) return std::nullopt;
  std::optional<QByteArray> user;
  std::optional<QByteArray> password;
  if (SameOrigin(source.get(), target.get())) {
    user = PartOf(source.get(), CURLUPART_USER);
    password = PartOf(source.get(), CURLUPART_PASSWORD);
  }
  // Most redirects have nothing to change, and leave as libcurl wrote them.
  if (PartOf(target.get(), CURLUPART_USER) == user &&
      PartOf(target.get(), CURLUPART_PASSWORD) == password) {
    return to;
  }
  if (!SetPart(target.get(), CURLUPART_USER, user) ||
      !SetPart(target.get(), CURLUPART_PASSWORD, password)) {
    return std::nullopt;
  }
  return PartOf(target.get(), CURLUPART_URL);
}

QByteArray EncodeAddress(const QString& address) {
  const QByteArray bytes = address.toUtf8();
  const qsizetype path = PathStart(bytes);
  // What stays as it is besides letters, digits and "-._~": the delimiters
  // of RFC 3986. Qt encodes every '%', so escapes are copied here.
  static const QByteArray kKept = "!#$&'()*+,/:;=?@[]";
  QByteArray out = bytes.left(path);
  qsizetype from = path;
  for (qsizetype i = path; i <= bytes.size(); ++i) {
    if (i < bytes.size() && bytes[i] != '%') continue;
    out += bytes.sliced(from, i - from).toPercentEncoding(kKept);
    if (i == bytes.size()) break;
    // An escape stays as written; a '%' that begins none is a character.
    if (i + 2 < bytes.size() && IsHex(bytes[i + 1]) && IsHex(bytes[i + 2])) {
      out += bytes.sliced(i, 3);
      i += 2;
    } else {
      out += "%25";
    }
    from = i + 1;
  }
  return out;
}

namespace {

QString SchemeOf(const QByteArray& address) {
  return QUrl(QString::fromUtf8(address)).scheme().toLower();
}

}  // namespace

Result<QByteArray> FollowedRedirect(const Response& head,
                                    const QByteArray& current,
                                    const QByteArray& target, int redirects,
                                    int max_redirects) {
  const QString target_text = QString::fromUtf8(target);
  if (target.isEmpty()) {
    return Status::Failure(QStringLiteral("HTTP %1 %2")
                               .arg(head.status)
                               .arg(QString::fromUtf8(head.reason))
                               .trimmed() +
                           QStringLiteral(" without a Location to follow"));
  }
  if (redirects >= max_redirects) {
    return Status::Failure(
        QStringLiteral("Too many redirects (more than %1)").arg(max_redirects));
  }
  const QString to = SchemeOf(target);
  if (to != QLatin1String("http") && to != QLatin1String("https")) {
    return Status::Failure(QStringLiteral("Redirect to %1 refused: only http "
                                          "and https addresses are followed")
                               .arg(target_text));
  }
  if (SchemeOf(current) == QLatin1String("https") &&
      to == QLatin1String("http")) {
    return Status::Failure(
        QStringLiteral("Redirect from https to http refused: %1")
            .arg(target_text));
  }
  const std::optional<QByteArray> next = RedirectAddress(current, target);
  if (!next) {
    return Status::Failure(
        QStringLiteral("Cannot follow the redirect to %1").arg(target_text));
  }
  return *next;
}

QString TrimBlanks(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first] == QLatin1Char(' ')) ++first;
  while (last > first && text[last - 1] == QLatin1Char(' ')) --last;
  return text.mid(first, last - first);
}

}  // namespace trawlbox
