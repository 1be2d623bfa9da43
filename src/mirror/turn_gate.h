#ifndef TRAWLBOX_MIRROR_TURN_GATE_H_
#define TRAWLBOX_MIRROR_TURN_GATE_H_

#include <QString>
#include <vector>

#include "core/error_reporter.h"

namespace trawlbox {

class StatusLine;

// What a row's transfer shows, held while the row waits for its turn and
// shown in the order it came once the turn is there: captions on the
// status line and error reports. Once open, it passes everything straight
// on. A row that is dropped before its turn shows nothing.
class TurnGate : public ErrorReporter {
 public:
  TurnGate(StatusLine& status, ErrorReporter& reporter)
      : status_(status), reporter_(reporter) {}

  void SetCaption(const QString& caption);
  void ReportError(const QString& report) override;
  // Shows what was held and lets the rest through.
  void Open();

 private:
  struct Held {
    bool caption;  // else a report
    QString text;
  };

  StatusLine& status_;
  ErrorReporter& reporter_;
  bool open_ = false;
  std::vector<Held> held_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_TURN_GATE_H_
