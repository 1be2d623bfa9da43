#ifndef TRAWLBOX_TESTS_SUPPORT_FAKE_FILE_LIST_H_
#define TRAWLBOX_TESTS_SUPPORT_FAKE_FILE_LIST_H_

#include <QHash>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "core/app_error.h"
#include "core/file_list.h"

namespace trawlbox {

// The file list without a window: plain rows, nothing shown. Membership is
// a hash lookup, so walks of a hundred thousand rows stay quick, and a
// position outside the list fails as the window's list fails.
class FakeFileList : public FileList {
 public:
  void Clear() override {
    rows_.clear();
    listed_.clear();
  }
  void Add(const QString& text) override {
    rows_.push_back(Row{text, QString(), true, {}});
    if (!listed_.contains(text)) listed_.insert(text, Count());
    if (on_add) on_add(text);
  }
  bool IsListed(const QString& text) const override {
    return listed_.contains(text);
  }
  qsizetype Count() const override {
    return static_cast<qsizetype>(rows_.size());
  }
  QString Text(qsizetype position) const override { return At(position).text; }
  bool Ticked(qsizetype position) const override { return At(position).ticked; }
  void SetTicked(qsizetype position, bool ticked) override {
    At(position).ticked = ticked;
  }
  void MarkFailed(qsizetype position, const QString& reason) override {
    At(position).failure = reason;
  }
  QString FailureOf(qsizetype position) const override {
    return At(position).failure;
  }
  qsizetype PositionOf(const QString& text) const override {
    return listed_.value(text, 0);
  }
  RowSize SizeOf(qsizetype position) const override {
    return At(position).size;
  }
  void SetSize(qsizetype position, const RowSize& size) override {
    Row& row = At(position);
    if (!IsFolderRow(row.text) && ImprovesOn(size, row.size)) row.size = size;
  }

  // Runs after each row is added, as the command that adds it goes on.
  std::function<void(const QString& text)> on_add;

 private:
  struct Row {
    QString text;
    QString failure;
    bool ticked = true;
    RowSize size = {};
  };

  const Row& At(qsizetype position) const {
    if (position < 1 || position > Count()) Raise(ErrorKind::kInvalidCall);
    return rows_[static_cast<size_t>(position - 1)];
  }
  Row& At(qsizetype position) {
    return const_cast<Row&>(std::as_const(*this).At(position));
  }

  std::vector<Row> rows_;
  QHash<QString, qsizetype> listed_;  // a text's first row
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FAKE_FILE_LIST_H_
