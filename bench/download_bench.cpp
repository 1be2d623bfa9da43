// The download command over a local server: one 1 GB file, and 2,000 files
// of 4 KB. Prints the time, the throughput and the peak resident memory.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <thread>

#include "core/event_pump.h"
#include "core/real_file_system.h"
#include "mirror/download_command.h"
#include "net/http_engine.h"
#include "net/request_run.h"
#include "peak_memory.h"
#include "support/headless_host.h"

#ifdef Q_OS_UNIX
#include <netinet/tcp.h>
#endif

namespace {

class Server {
 public:
  Server() {
    server_.Get(
        "/big.bin", [](const httplib::Request&, httplib::Response& response) {
          response.set_content_provider(
              kBigBytes, "application/octet-stream",
              [](size_t offset, size_t length, httplib::DataSink& sink) {
                static const std::string block(1 << 16, 'x');
                sink.write(block.data(),
                           std::min<size_t>({block.size(), length,
                                             size_t(kBigBytes) - offset}));
                return true;
              });
        });
    server_.Get(R"(/small/(\d+)\.txt)",
                [](const httplib::Request&, httplib::Response& response) {
                  static const std::string body(4096, 's');
                  response.set_content(body, "text/plain");
                });
    // Headers and body leave in two writes; without TCP_NODELAY the second
    // waits for the client's delayed acknowledgement on every response.
    server_.set_socket_options([](socket_t sock) {
      int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR,
                 reinterpret_cast<const char*>(&yes), sizeof(yes));
#ifdef Q_OS_UNIX
      setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
#endif
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~Server() {
    server_.stop();
    thread_.join();
  }
  QString Url() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
  }

  static constexpr qint64 kBigBytes = qint64(1) << 30;

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

void Run(benchmark::State& state, const QStringList& paths, qint64 bytes) {
  Server server;
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir destination;
    trawlbox::HeadlessHost host;
    trawlbox::HttpEngine engine;
    trawlbox::EventPump pump;
    trawlbox::RequestRun run(engine, pump, trawlbox::RunSettings{});
    trawlbox::RealFileSystem disk;
    host.start = server.Url();
    host.folder = destination.path() + QLatin1Char('/');
    for (const QString& path : paths) host.list_.Add(server.Url() + path);
    state.ResumeTiming();
    trawlbox::RunDownloadCommand(host, run, disk);
    state.PauseTiming();
    if (host.prompts_.boxes.size() != 1) {
      state.SkipWithError("a transfer failed");
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.SetItemsProcessed(state.iterations() * paths.size());
  state.counters["peak_rss_mb"] = PeakResidentMb();
}

void BM_OneGigabyteFile(benchmark::State& state) {
  Run(state, {QStringLiteral("/big.bin")}, Server::kBigBytes);
}
BENCHMARK(BM_OneGigabyteFile)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_SmallFiles(benchmark::State& state) {
  QStringList paths;
  for (int i = 0; i < 2000; ++i) {
    paths << QStringLiteral("/small/%1.txt").arg(i);
  }
  Run(state, paths, 2000 * 4096);
}
BENCHMARK(BM_SmallFiles)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
