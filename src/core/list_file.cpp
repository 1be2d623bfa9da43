#include "core/list_file.h"

#include <QHash>
#include <QStringDecoder>
#include <array>

#include "core/address_password.h"

namespace trawlbox {
namespace {

constexpr QStringView kHeader = u"ticked\tbytes\texact\taddress\tfailure";
constexpr QStringView kStartComment = u"# start ";
constexpr QStringView kPasswordComment =
    u"# the folder needs a password; type it in the Web Site field before "
    u"Open List";
constexpr qsizetype kFields = 5;

// `address` with its tabs and line ends percent-encoded.
QString OneLineAddress(const QString& address) {
  QString line = address;
  line.replace(u'\t', QLatin1String("%09"))
      .replace(u'\n', QLatin1String("%0A"))
      .replace(u'\r', QLatin1String("%0D"));
  return line;
}

// `reason` with its tabs and line ends made blanks.
QString OneLineReason(const QString& reason) {
  QString line = reason;
  line.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
  return line;
}

// Appends `row` as one line of the list.
void AppendRow(const SavedRow& row, QString* text) {
  *text += row.ticked ? u"1\t" : u"0\t";
  if (!row.size.unknown() && row.size.bytes >= 0) {
    *text += QString::number(row.size.bytes);
    *text += row.size.exact() ? u"\t1\t" : u"\t0\t";
  } else {
    *text += u"\t\t";
  }
  *text += OneLineAddress(DropPasswords(row.address));
  *text += u'\t';
  *text += OneLineReason(DropPasswords(row.failure));
  *text += u'\n';
}

// Whether `text` is one or more of the digits 0 to 9 and nothing else.
bool AllDigits(QStringView text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

// Reads the size fields `bytes` and `exact` into `size`; the reason they
// are bad otherwise.
QString ReadSize(QStringView bytes, QStringView exact, RowSize* size) {
  if (bytes.isEmpty()) {
    *size = {};
    return exact.isEmpty()
               ? QString()
               : QStringLiteral("the exactness is given without a size");
  }
  if (bytes.startsWith(u'-') && AllDigits(bytes.sliced(1))) {
    return QStringLiteral("the size is negative");
  }
  if (!AllDigits(bytes)) {
    return QStringLiteral("the size is not a whole number of bytes");
  }
  bool fits = false;
  const qint64 value = bytes.toLongLong(&fits);
  if (!fits) return QStringLiteral("the size is too large");
  if (exact == u"1") {
    *size = RowSize::Exact(value);
  } else if (exact == u"0") {
    *size = RowSize::Approx(value);
  } else {
    return QStringLiteral("the exactness is neither 0 nor 1");
  }
  return {};
}

QString MissingHeader() {
  return QStringLiteral("the header \"%1\" is missing").arg(kHeader);
}

// Whether `address` is an absolute http or https address with a host.
bool IsWebAddress(QStringView address) {
  qsizetype host = 0;
  if (address.startsWith(u"http://", Qt::CaseInsensitive)) {
    host = 7;
  } else if (address.startsWith(u"https://", Qt::CaseInsensitive)) {
    host = 8;
  } else {
    return false;
  }
  if (host == address.size()) return false;
  const QChar first = address[host];
  return first != u'/' && first != u'?' && first != u'#';
}

// Takes a saved list in line by line; each step gives the reason the line
// is bad, or nothing.
class ListReader {
 public:
  QString TakeLine(QByteArrayView bytes, qsizetype number);
  bool header_seen() const { return header_seen_; }
  SavedList Take() { return std::move(list_); }

 private:
  QString TakeBeforeHeader(QStringView line);
  QString TakeRow(QStringView line, qsizetype number);

  QStringDecoder utf8_{QStringDecoder::Utf8,
                       QStringDecoder::Flag::Stateless |
                           QStringDecoder::Flag::ConvertInitialBom};
  bool header_seen_ = false;
  SavedList list_;
  QHash<QString, qsizetype> row_lines_;  // by address
};

QString ListReader::TakeLine(QByteArrayView bytes, qsizetype number) {
  if (bytes.size() > kMaxListLineBytes) {
    return QStringLiteral("the line is longer than %1 KiB")
        .arg(kMaxListLineBytes / 1024);
  }
  if (bytes.isEmpty()) return {};
  const QString line = utf8_.decode(bytes);
  if (utf8_.hasError()) return QStringLiteral("the text is not UTF-8");
  if (!header_seen_) return TakeBeforeHeader(line);
  if (line.startsWith(u'#')) {
    return QStringLiteral("a comment line follows the header");
  }
  return TakeRow(line, number);
}

QString ListReader::TakeBeforeHeader(QStringView line) {
  if (line.startsWith(kStartComment)) {
    list_.start = line.sliced(kStartComment.size()).trimmed().toString();
    return {};
  }
  if (line.startsWith(u'#')) return {};
  if (line == kHeader) {
    header_seen_ = true;
    return {};
  }
  if (line.startsWith(u"ticked")) {
    return QStringLiteral("the header is not \"%1\"").arg(kHeader);
  }
  return MissingHeader();
}

QString ListReader::TakeRow(QStringView line, qsizetype number) {
  std::array<QStringView, kFields> fields;
  qsizetype count = 0;
  for (qsizetype from = 0;; ++count) {
    const qsizetype tab = line.indexOf(u'\t', from);
    const qsizetype end = tab < 0 ? line.size() : tab;
    if (count < kFields) fields[count] = line.sliced(from, end - from);
    if (tab < 0) break;
    from = tab + 1;
  }
  ++count;
  if (count != kFields) {
    return QStringLiteral("the line has %1 %2, not %3")
        .arg(count)
        .arg(count == 1 ? u"field" : u"fields")
        .arg(kFields);
  }
  SavedRow row;
  if (fields[0] != u"0" && fields[0] != u"1") {
    return QStringLiteral("the tick is neither 0 nor 1");
  }
  row.ticked = fields[0] == u"1";
  QString why = ReadSize(fields[1], fields[2], &row.size);
  if (!why.isEmpty()) return why;
  if (!IsWebAddress(fields[3])) {
    return QStringLiteral("the address is not an http or https address");
  }
  row.address = fields[3].toString();
  const auto earlier = row_lines_.constFind(row.address);
  if (earlier != row_lines_.constEnd()) {
    return QStringLiteral("the address repeats line %1").arg(*earlier);
  }
  row_lines_.insert(row.address, number);
  row.failure = fields[4].toString();
  list_.rows.push_back(std::move(row));
  return {};
}

Status LineFailure(qsizetype number, const QString& why) {
  return Status::Failure(QStringLiteral("line %1: %2").arg(number).arg(why));
}

}  // namespace

QString StartWithoutPassword(const QString& start) {
  const QString trimmed = start.trimmed();
  if (trimmed.contains(u"://")) return DropPasswords(trimmed);
  const QString scheme =
      trimmed.startsWith(u"//") ? QStringLiteral("x:") : QStringLiteral("x://");
  return DropPasswords(scheme + trimmed).sliced(scheme.size());
}

QByteArray ListFileText(const SavedList& list) {
  QString text;
  if (!list.start.trimmed().isEmpty()) {
    text += kStartComment;
    text += OneLineAddress(StartWithoutPassword(list.start));
    text += u'\n';
    if (HasPassword(list.start)) {
      text += kPasswordComment;
      text += u'\n';
    }
  }
  text += kHeader;
  text += u'\n';
  for (const SavedRow& row : list.rows) AppendRow(row, &text);
  return text.toUtf8();
}

Result<SavedList> ReadListFile(const QByteArray& bytes) {
  const QByteArrayView all(bytes);
  qsizetype from = all.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  qsizetype number = 0;
  ListReader reader;
  while (from < all.size()) {
    const qsizetype feed = bytes.indexOf('\n', from);
    const qsizetype end = feed < 0 ? all.size() : feed;
    QByteArrayView line = all.sliced(from, end - from);
    if (line.endsWith('\r')) line.chop(1);
    from = end + 1;
    ++number;
    const QString why = reader.TakeLine(line, number);
    if (!why.isEmpty()) return LineFailure(number, why);
  }
  if (!reader.header_seen()) {
    return LineFailure(number + 1, MissingHeader());
  }
  return reader.Take();
}

}  // namespace trawlbox
