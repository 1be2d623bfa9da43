#include "core/address_password.h"

#include <optional>

namespace trawlbox {
namespace {

const QString kHidden = QStringLiteral("***");

bool EndsAuthority(QChar c) {
  return c == u'/' || c == u'?' || c == u'#' || c == u'\\' || c.isSpace();
}

// Where the password stands in the address whose host part begins at
// `from` of `text`: its first character and its length. The user part ends
// at the last "@" before the path, as a password may hold an "@" typed raw.
std::optional<std::pair<qsizetype, qsizetype>> PasswordSpan(QStringView text,
                                                            qsizetype from) {
  qsizetype end = from;
  while (end < text.size() && !EndsAuthority(text[end])) ++end;
  const QStringView authority = text.sliced(from, end - from);
  const qsizetype at = authority.lastIndexOf(u'@');
  if (at < 0) return std::nullopt;
  const qsizetype colon = authority.first(at).indexOf(u':');
  if (colon < 0 || colon + 1 == at) return std::nullopt;
  return std::make_pair(from + colon + 1, at - colon - 1);
}

}  // namespace

bool HasPassword(QStringView address) {
  const QStringView trimmed = address.trimmed();
  const qsizetype scheme_end = trimmed.indexOf(u"://");
  qsizetype from = scheme_end < 0 ? 0 : scheme_end + 3;
  if (scheme_end < 0 && trimmed.startsWith(u"//")) from = 2;
  return PasswordSpan(trimmed, from).has_value();
}

namespace {

// `text` with the password of every "scheme://" address in it replaced by
// `replacement`; with `drop_colon`, the ":" before it goes too.
QString ReplacePasswords(const QString& text, const QString& replacement,
                         bool drop_colon) {
  QString shown;
  qsizetype copied = 0;
  for (qsizetype scheme_end = text.indexOf(u"://"); scheme_end >= 0;
       scheme_end = text.indexOf(u"://", scheme_end + 3)) {
    if (scheme_end < copied) continue;  // inside a password replaced already
    const auto span = PasswordSpan(text, scheme_end + 3);
    if (!span) continue;
    const qsizetype start = span->first - (drop_colon ? 1 : 0);
    shown += QStringView(text).sliced(copied, start - copied);
    shown += replacement;
    copied = span->first + span->second;
  }
  if (copied == 0) return text;
  shown += QStringView(text).sliced(copied);
  return shown;
}

}  // namespace

QString HidePasswords(const QString& text) {
  return ReplacePasswords(text, kHidden, false);
}

QString DropPasswords(const QString& text) {
  return ReplacePasswords(text, QString(), true);
}

}  // namespace trawlbox
