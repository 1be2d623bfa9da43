#include "crawl/link_value.h"

#include <QStringDecoder>
#include <optional>

namespace trawlbox {
namespace {

QString TextOf(QByteArrayView bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(bytes);
  if (!utf8.hasError()) return text;
  return QString::fromLatin1(bytes);
}

// The character that the reference `name` (what stands between "&" and
// ";") stands for, when it is one of those read.
std::optional<char32_t> Referenced(QStringView name) {
  if (name == u"amp") return U'&';
  if (name == u"lt") return U'<';
  if (name == u"gt") return U'>';
  if (name == u"quot") return U'"';
  if (name == u"apos") return U'\'';
  if (name == u"nbsp") return U'\u00a0';
  if (name.size() < 2 || name[0] != u'#') return std::nullopt;
  const bool hex = name[1] == u'x' || name[1] == u'X';
  const QStringView digits = name.sliced(hex ? 2 : 1);
  if (digits.isEmpty()) return std::nullopt;
  for (const QChar c : digits) {
    const char16_t lower = c.toLower().unicode();
    const bool digit = lower >= u'0' && lower <= u'9';
    if (!digit && !(hex && lower >= u'a' && lower <= u'f')) return std::nullopt;
  }
  const uint code = digits.toUInt(nullptr, hex ? 16 : 10);
  // No character, or half of one: the reference stays as written.
  if (code == 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
    return std::nullopt;
  }
  return char32_t(code);
}

}  // namespace

QString DecodeLinkValue(QByteArrayView bytes) {
  const QString text = TextOf(bytes);
  if (!text.contains(u'&')) return text;
  QString out;
  out.reserve(text.size());
  qsizetype from = 0;
  for (qsizetype amp = text.indexOf(u'&'); amp >= 0;
       amp = text.indexOf(u'&', amp + 1)) {
    const QStringView after = QStringView(text).sliced(amp + 1);
    // The longest reference read, "&#x10FFFF;", has 8 characters inside.
    const qsizetype name_size =
        after.first(qMin<qsizetype>(10, after.size())).indexOf(u';');
    if (name_size < 0) continue;
    const std::optional<char32_t> character =
        Referenced(after.first(name_size));
    if (!character) continue;
    out += QStringView(text).sliced(from, amp - from);
    out += QString::fromUcs4(&*character, 1);
    amp += name_size + 1;  // at its ";"
    from = amp + 1;
  }
  out += QStringView(text).sliced(from);
  return out;
}

}  // namespace trawlbox
