// How long a transfer that the server never answers takes to end once its token is cancelled: the time an owner
// that goes away (a panel form, a search page, the update check, the helper quitting) waits for its request.
// Reports the mean per cancel (manual time) and the longest seen.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <thread>

#include "platform/foundation/HttpClient.h"
#include "tests/support/LoopbackServer.h"

namespace {

void BM_CancelAStalledTransfer(benchmark::State& state) {
  oxtest::LoopbackServer server;
  server.setNeverAnswer(true);
  ox::httpGlobalInit();
  double longestMs = 0;
  for (auto _ : state) {
    const auto token = std::make_shared<ox::HttpCancel>();
    const int before = server.requestCount();
    QElapsedTimer clock;
    std::thread transfer([&] {
      ox::HttpRequest request;
      // A login's shape: a form posted, whose answer never comes.
      request.url = server.url(QStringLiteral("/v1/users/me/sessions"));
      request.form = {{QStringLiteral("user"), QStringLiteral("a@ombrix.example")},
                      {QStringLiteral("password"), QStringLiteral("pw")}};
      request.cancel = token;
      benchmark::DoNotOptimize(ox::httpPerform(request));
    });
    server.waitForRequests(before + 1, 10000);
    // A moment into the stall, as a person's quit comes at any time.
    std::this_thread::sleep_for(std::chrono::milliseconds(100 + 61 * (state.iterations() % 17)));
    clock.start();
    token->cancel();
    transfer.join();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    longestMs = std::max(longestMs, ms);
    state.SetIterationTime(ms / 1000);
  }
  state.counters["longest_ms"] = longestMs;
}
BENCHMARK(BM_CancelAStalledTransfer)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
