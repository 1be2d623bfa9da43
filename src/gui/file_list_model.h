#ifndef TRAWLBOX_GUI_FILE_LIST_MODEL_H_
#define TRAWLBOX_GUI_FILE_LIST_MODEL_H_

#include <QAbstractListModel>
#include <QString>
#include <vector>

#include "core/file_list.h"

namespace trawlbox {

// The file list behind ListView1: one column of check-box rows. Membership
// is answered from a hash of the texts, so listing a site stays linear in
// its size however many rows it has.
//
// Rows added by the program count at once for every FileList operation but
// reach attached views only when Publish() runs: a view lays out all its
// rows after each insertion it is told of, so telling it of every row alone
// would make a long listing quadratic.
class FileListModel : public QAbstractListModel, public FileList {
  Q_OBJECT

 public:
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

  void set_header(const QString& header);

  // Tells attached views of the rows added since the last call.
  void Publish();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value,
               int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;

 signals:
  // A row was appended by Add() and awaits Publish().
  void RowAdded();

 private:
  struct Row {
    QString text;
    QString failure;
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
  void EmitRowChanged(qsizetype position, int role);

  std::vector<Row> rows_;
  qsizetype published_ = 0;
  std::vector<Slot> slots_;  // a power of two in size, at most half full
  QString header_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_FILE_LIST_MODEL_H_
