// Listing a site asks the membership test before every row it adds; this
// measures that pattern on the list alone and on the list shown in the
// window's view, with the event passes a listing makes. Then what the user
// does to many rows at once: ticks by pattern and the running total.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "core/event_pump.h"
#include "core/list_file.h"
#include "core/tick_pattern.h"
#include "gui/file_list_model.h"
#include "gui/file_list_view.h"
#include "gui/list_files.h"

namespace {

QStringList DistinctAddresses(int count) {
  QStringList addresses;
  addresses.reserve(count);
  for (int i = 0; i < count; ++i) {
    addresses.append(QStringLiteral("http://site.example/folder%1/file%2.html")
                         .arg(i / 100)
                         .arg(i));
  }
  return addresses;
}

void AddEachAfterMembershipTest(trawlbox::FileList& list,
                                const QStringList& addresses,
                                trawlbox::EventPump* pump) {
  for (const QString& address : addresses) {
    if (!list.IsListed(address)) list.Add(address);
    if (pump != nullptr) pump->Yield();
  }
}

void BM_ListOnly(benchmark::State& state) {
  const QStringList addresses = DistinctAddresses(int(state.range(0)));
  for (auto _ : state) {
    trawlbox::FileListModel list;
    AddEachAfterMembershipTest(list, addresses, nullptr);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListOnly)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

void BM_ListInView(benchmark::State& state) {
  const QStringList addresses = DistinctAddresses(int(state.range(0)));
  trawlbox::EventPump pump;
  for (auto _ : state) {
    trawlbox::FileListModel list;
    trawlbox::FileListView view;
    view.SetFileList(&list);
    view.resize(520, 180);
    view.show();
    AddEachAfterMembershipTest(list, addresses, &pump);
    pump.PassEvents();
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListInView)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A listing's worth of rows in the window's view, every tenth an image with
// a size, the rest of sizes known and unknown by turns.
void FillSizedRows(trawlbox::FileListModel& list, int count) {
  for (int i = 0; i < count; ++i) {
    const bool image = i % 10 == 0;
    list.Add(QStringLiteral("http://site.example/folder%1/file%2.%3")
                 .arg(i / 100)
                 .arg(i)
                 .arg(image ? "iso" : "html"));
    if (image || i % 2 == 0) {
      list.SetSize(list.Count(),
                   trawlbox::RowSize::Exact(qint64(i) * 1'000'000));
    }
  }
}

// Untick Matching, then Tick Matching, of "*.iso >100MB" over the rows of
// a shown list; a tick by pattern is one of the two.
void BM_TickByPattern(benchmark::State& state) {
  trawlbox::FileListModel list;
  trawlbox::FileListView view;
  view.SetFileList(&list);
  view.resize(520, 180);
  view.show();
  FillSizedRows(list, int(state.range(0)));
  list.Publish();
  trawlbox::EventPump pump;
  pump.PassEvents();
  const auto pattern = trawlbox::TickPattern::Parse(u"*.iso >100MB");
  const QString start = QStringLiteral("http://site.example/");
  const auto matches = [&](const QString& text, const trawlbox::RowSize& size) {
    return pattern.value().Matches(text, start, size);
  };
  for (auto _ : state) {
    list.SetTickedWhere(matches, false);
    list.SetTickedWhere(matches, true);
    pump.PassEvents();
  }
  state.SetItemsProcessed(state.iterations() * 2);
  state.counters["row_bytes"] = double(trawlbox::FileListModel::RowBytes());
}
BENCHMARK(BM_TickByPattern)->Arg(75'000)->Unit(benchmark::kMillisecond);

// A tick of one row by mouse and the total's new text.
void BM_TotalAfterATick(benchmark::State& state) {
  trawlbox::FileListModel list;
  FillSizedRows(list, int(state.range(0)));
  list.Publish();
  bool ticked = false;
  for (auto _ : state) {
    list.setData(list.index(7, 0), ticked ? Qt::Checked : Qt::Unchecked,
                 Qt::CheckStateRole);
    ticked = !ticked;
    benchmark::DoNotOptimize(trawlbox::TotalText(list.totals()));
  }
}
BENCHMARK(BM_TotalAfterATick)->Arg(75'000)->Unit(benchmark::kMicrosecond);

// Open List of a saved list of so many rows into a shown list: the file
// read, its rows in the list and the view told of them.
void BM_OpenList(benchmark::State& state) {
  trawlbox::FileListModel saved_from;
  FillSizedRows(saved_from, int(state.range(0)));
  trawlbox::SavedList saved{QStringLiteral("http://site.example/"), {}};
  for (qsizetype i = 1; i <= saved_from.Count(); ++i) {
    saved.rows.push_back(
        {saved_from.Text(i), i % 3 != 0, saved_from.SizeOf(i), QString()});
  }
  const QByteArray text = trawlbox::ListFileText(saved);
  trawlbox::FileListModel list;
  trawlbox::FileListView view;
  view.SetFileList(&list);
  view.resize(520, 180);
  view.show();
  trawlbox::EventPump pump;
  for (auto _ : state) {
    const auto read = trawlbox::ReadListFile(text);
    trawlbox::FillList(list, read.value().rows);
    pump.PassEvents();
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["file_mb"] = double(text.size()) / 1e6;
}
BENCHMARK(BM_OpenList)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
