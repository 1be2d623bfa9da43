#ifndef TRAWLBOX_GUI_FILE_LIST_MODEL_H_
#define TRAWLBOX_GUI_FILE_LIST_MODEL_H_

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <vector>

#include "core/file_list.h"

namespace trawlbox {

// What the ticked rows come to, kept up to date as ticks, rows and sizes
// change. Folder rows count as rows but carry no size.
struct ListTotals {
  qsizetype rows = 0;
  qsizetype ticked = 0;
  qint64 ticked_bytes = 0;       // the ticked files whose size is known
  qsizetype ticked_unknown = 0;  // ticked files whose size is not known
  qsizetype ticked_rounded = 0;  // ticked files known only as rounded
};

// The line under the list: "312 of 4,102 rows ticked · 41.7 GB (18 sizes
// not known yet)", the sum marked "~" while a ticked size is rounded.
QString TotalText(const ListTotals& totals);

// The file list behind ListView1: check-box rows of an address and the
// size of its file. Membership is answered from a hash of the texts, so
// listing a site stays linear in its size however many rows it has.
//
// Rows added by the program count at once for every FileList operation but
// reach attached views only when Publish() runs: a view lays out all its
// rows after each insertion it is told of, so telling it of every row alone
// would make a long listing quadratic.
class FileListModel : public QAbstractTableModel, public FileList {
  Q_OBJECT

 public:
  enum Column { kAddressColumn, kSizeColumn, kColumnCount };

  explicit FileListModel(QObject* parent = nullptr);

  void Clear() override;
  void Add(const QString& text) override;
  bool IsListed(const QString& text) const override;
  qsizetype Count() const override;
  QString Text(qsizetype position) const override;
  bool Ticked(qsizetype position) const override;
  void SetTicked(qsizetype position, bool ticked) override;
  void MarkFailed(qsizetype position, const QString& reason) override;
  QString FailureOf(qsizetype position) const override;
  qsizetype PositionOf(const QString& text) const override;
  RowSize SizeOf(qsizetype position) const override;
  void SetSize(qsizetype position, const RowSize& size) override;

  // Whether a row takes part, by its text and size.
  using RowTest = std::function<bool(const QString& text, const RowSize&)>;
  qsizetype CountWhere(const RowTest& test) const;
  // Ticks or unticks every row that passes `test`, telling the views once;
  // how many rows changed.
  qsizetype SetTickedWhere(const RowTest& test, bool ticked);

  const ListTotals& totals() const { return totals_; }
  // What one row holds in the list, its texts' characters aside.
  static size_t RowBytes();

  void set_header(const QString& header);

  // Tells attached views of the rows added since the last call.
  void Publish();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value,
               int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;

 signals:
  // A row was appended by Add() and awaits Publish().
  void RowAdded();
  // A tick, a row or a size changed, and with it the totals or what a
  // size bound matches.
  void TotalsChanged();

 private:
  struct Row {
    QString text;
    QString failure;
    qint64 bytes = -1;
    SizeKnown known = SizeKnown::kUnknown;
    bool ticked = true;
  };

  // The membership index: open addressing over row numbers, keyed by the
  // texts' seeded hashes; a text is compared only when the hashes agree.
  struct Slot {
    size_t hash = 0;
    qsizetype row = -1;  // -1: empty
  };
  size_t FindSlot(const QString& text, size_t hash) const;
  void IndexRow(qsizetype row, size_t hash);

  const Row& At(qsizetype position) const;
  Row& At(qsizetype position);
  // Adds (+1) or takes away (-1) what a ticked row gives the totals.
  void Tally(const Row& row, int sign);
  void SetRowTicked(Row& row, bool ticked);
  void EmitRowsChanged(qsizetype first, qsizetype last, int first_column,
                       int last_column, int role);

  std::vector<Row> rows_;
  qsizetype published_ = 0;
  std::vector<Slot> slots_;  // a power of two in size, at most half full
  QString header_;
  ListTotals totals_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_FILE_LIST_MODEL_H_
