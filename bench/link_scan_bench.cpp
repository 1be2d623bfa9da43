// The page scan over 64 MB: a page without a single marker, and ordinary
// HTML with a link every 200 bytes. Reports the throughput and the longest
// time the window would have waited for an event pass.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <random>

#include "core/event_pump.h"
#include "crawl/link_scan.h"

namespace {

constexpr qsizetype kPageBytes = 64 << 20;

// Markup and prose with attributes everywhere but no src=" or href=".
QByteArray PageWithoutMarkers() {
  const QByteArray piece =
      "<div class=\"card\" id=\"c\"><p style=\"margin:0\">Lorem ipsum dolor "
      "sit amet, consectetur adipiscing elit, sed do eiusmod tempor.</p>"
      "<span data-x=\"1\">x = y</span></div>\n";
  QByteArray page;
  page.reserve(kPageBytes + piece.size());
  while (page.size() < kPageBytes) page += piece;
  page.truncate(kPageBytes);
  return page;
}

// About 200 bytes per link, alternating references and sources.
QByteArray PageWithLinks() {
  QByteArray page;
  page.reserve(kPageBytes + 256);
  for (int i = 0; page.size() < kPageBytes; ++i) {
    const QByteArray n = QByteArray::number(i);
    if (i % 2 == 0) {
      page += "<li class=\"item\"><a href=\"folder" + n + "/page" + n +
              ".html\" title=\"Page " + n + "\">A page about item " + n +
              "</a> with a few words of text around it</li>\n";
    } else {
      page += "<p class=\"pic\"><img src=\"img/photo" + n +
              ".jpg\" alt=\"Photo " + n +
              "\" width=\"120\"> and a caption "
              "for the photograph</p>\n";
    }
  }
  page.truncate(kPageBytes);
  return page;
}

void Scan(benchmark::State& state, const QByteArray& page) {
  trawlbox::EventPump pump;
  qint64 links = 0;
  qint64 longest_gap = 0;
  for (auto _ : state) {
    pump.ResetLongestGap();
    // Fed in the pieces the crawler reads its page file in.
    trawlbox::LinkScanner scanner(
        [&](trawlbox::LinkKind, const QString& value) {
          benchmark::DoNotOptimize(value);
          ++links;
        });
    constexpr qsizetype kPiece = 64 * 1024;
    for (qsizetype at = 0; at < page.size(); at += kPiece) {
      scanner.Feed(page.constData() + at, std::min(kPiece, page.size() - at));
      pump.Yield();
    }
    scanner.Finish();
    pump.PassEvents();
    longest_gap = std::max(longest_gap, pump.longest_gap_ms());
  }
  state.SetBytesProcessed(state.iterations() * page.size());
  state.counters["links"] = double(links) / double(state.iterations());
  state.counters["longest_gap_ms"] = double(longest_gap);
}

void BM_ScanWithoutMarkers(benchmark::State& state) {
  static const QByteArray page = PageWithoutMarkers();
  Scan(state, page);
}
BENCHMARK(BM_ScanWithoutMarkers)->Unit(benchmark::kMillisecond);

void BM_ScanWithLinks(benchmark::State& state) {
  static const QByteArray page = PageWithLinks();
  Scan(state, page);
}
BENCHMARK(BM_ScanWithLinks)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
