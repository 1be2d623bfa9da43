// Listing a site asks the membership test before every row it adds; this
// measures that pattern on the list alone and on the list shown in the
// window's view, with the event passes a listing makes.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "core/event_pump.h"
#include "gui/file_list_model.h"
#include "gui/file_list_view.h"

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

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
