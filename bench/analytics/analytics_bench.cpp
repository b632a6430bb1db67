// The analytics client's cost on the reporting thread and per batch.
//
// 1. ReportTask while the collection server refuses connections (the case in
//    which every report hands its counting to a detached worker): median and
//    99th percentile per call (goal: well under a millisecond), against a
//    named peer measured in the same run: building and serialising the same
//    event with jsoncpp's StreamWriter.
// 2. Encoding a batch of 30 installer records (gzip, Base64, URL encoding)
//    against zlib's compress2 at the same level on the same bytes.
// 3. The end of the tracker (the program's exit, with the single-instance
//    lock held) while the collection server accepts connections and never
//    answers, a flush already on its way: goal at most 3.5 s in all, against
//    a named peer measured in the same run: one plain libcurl POST of a batch
//    to the same server with the 3.5 s bound as its time-out.
//
//   analytics_bench [reports] [rounds]
#include <arpa/inet.h>
#include <curl/curl.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analytics/analytics_init.h"
#include "analytics/funnel_events.h"
#include "analytics/sdk/batch_encoding.h"
#include "analytics/sdk/record_builder.h"

using Clock = std::chrono::steady_clock;

namespace {

// A loopback port that is bound but never listens: connections are refused.
int RefusingPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return -1;
  }
  return ntohs(address.sin_port);
}

// A loopback port that listens and never accepts: connections complete in
// the kernel, requests are taken and never answered.
int SilentPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 64) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return -1;
  }
  return ntohs(address.sin_port);
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

double PeerPostSeconds(const std::string& url, const std::string& body) {
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 3500L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Discard);
  const auto start = Clock::now();
  curl_easy_perform(easy);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  curl_easy_cleanup(easy);
  return seconds;
}

double Percentile(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

std::string JsonPeer(int i) {
  Json::Value properties;
  properties["zv_task_name"] = "\xE5\xAE\x89\xE8\xA3\x85\xE6\x88\x90\xE5\x8A\x9F";
  properties["zv_task_elapsed"] = 0.0;
  properties["zv_task_result"] = "Success";
  properties["$is_first_time"] = true;
  properties["zvc_ab"] = "IN";
  properties["n"] = i;
  Json::Value record;
  record["event"] = "ZvEventTask";
  record["properties"] = properties;
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, record);
}

std::string Batch30() {
  std::string batch = "[";
  for (int i = 0; i < 30; ++i) {
    zv_transport::PropertiesNode p;
    p.SetString("zv_task_name", "\xE5\xAE\x89\xE8\xA3\x85\xE6\x88\x90\xE5\x8A\x9F");
    p.SetNumber("zv_task_elapsed", 12.5 + i);
    p.SetString("zv_task_result", "Success");
    p.SetBool("$is_first_time", true);
    p.SetString("zvc_ab", "IN");
    p.SetString("zv_app_id", "Talvorin.downloader");
    p.SetString("$os", "Windows");
    p.SetString("$os_version", "10");
    const auto record = zv_transport::BuildRecord(
        {"track", "ZvEventTask", p, "0B9F5C1E-3D2A-4E8B-9C7D-112233445566", ""},
        {nullptr, false, 1700000000000 + i, 123450000 + i});
    batch += (i ? "," : "") + record->ToJson();
  }
  return batch + "]";
}

}  // namespace

int main(int argc, char** argv) {
  const int reports = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  curl_global_init(CURL_GLOBAL_ALL);
  const int port = RefusingPort();
  if (port <= 0) {
    std::fprintf(stderr, "no loopback port\n");
    return 1;
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("talvorin-analytics-bench-" + std::to_string(::getpid()));
  zorvan::analytics::TrackerInitParams params;
  params.appName = "Talvorin.downloader";
  params.appVersion = "1.7.9";
  params.appStore = "TalvorinInstaller.exe";
  params.dlAppId = "Talvorin";
  params.serverUrl = "http://127.0.0.1:" + std::to_string(port) + "/collect";
  params.configFileOverride = (folder / "analytics.ini").string();
  zorvan::analytics::InitAnalyticsWith(params);

  std::vector<double> ours, peer;
  std::size_t sink = 0;
  for (int i = 0; i < reports; ++i) {
    auto start = Clock::now();
    zorvan::analytics::ReportTask(L"\x5B89\x88C5\x6210\x529F", 0.0f, L"", {{L"AB", L"IN"}});
    ours.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    start = Clock::now();
    sink += JsonPeer(i).size();
    peer.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::fprintf(stderr, "(shutting the tracker down; the refused server keeps its records staged)\n");
  zorvan::analytics::ShutdownAnalytics();
  std::filesystem::remove_all(folder);

  const std::string batch = Batch30();
  double encodeBest = 1e30, peerBest = 1e30;
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    const auto body = zv_transport::EncodeBatchBody(batch);
    encodeBest = std::min(encodeBest, std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    sink += body ? body->size() : 0;
    std::vector<Bytef> out(compressBound(static_cast<uLong>(batch.size())));
    uLongf outLength = static_cast<uLongf>(out.size());
    start = Clock::now();
    compress2(out.data(), &outLength, reinterpret_cast<const Bytef*>(batch.data()),
              static_cast<uLong>(batch.size()), 9);
    peerBest = std::min(peerBest, std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    sink += outLength;
  }

  // 3. The end of the tracker with a server that never answers.
  const int silent = SilentPort();
  const std::string silentUrl = "http://127.0.0.1:" + std::to_string(silent) + "/collect";
  params.serverUrl = silentUrl;
  zorvan::analytics::InitAnalyticsWith(params);
  for (int i = 0; i < 35; ++i) zorvan::analytics::ReportTask(L"t" + std::to_wstring(i), 0.0f, L"", {{L"AB", L"IN"}});
  zorvan::analytics::ReportCrash();  // a flush on its way when the end comes
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  auto start = Clock::now();
  zorvan::analytics::ShutdownAnalytics();
  const double endSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::filesystem::remove_all(folder);
  const auto body = zv_transport::EncodeBatchBody(batch);
  const double peerSeconds = PeerPostSeconds(silentUrl, body ? *body : std::string());

  std::printf("ReportTask, server refusing, %d calls: median %.1f us, p99 %.1f us (goal: p99 well under 1000 us)\n",
              reports, Percentile(ours, 0.5), Percentile(ours, 0.99));
  std::printf("  peer jsoncpp build+write of the same event: median %.1f us, p99 %.1f us; ratio p99 %.2fx\n",
              Percentile(peer, 0.5), Percentile(peer, 0.99), Percentile(ours, 0.99) / Percentile(peer, 0.99));
  std::printf("Encode a batch of 30 records (%zu bytes): best of %d %.1f us; peer zlib compress2 level 9: %.1f us; ratio %.2fx\n",
              batch.size(), rounds, encodeBest, peerBest, encodeBest / peerBest);
  std::printf("Tracker end, server never answering, a flush in flight: %.2f s (goal: at most 3.5 s); "
              "peer libcurl POST bounded at 3.5 s: %.2f s; ratio %.2fx\n",
              endSeconds, peerSeconds, endSeconds / peerSeconds);
  curl_global_cleanup();
  return sink == 0 ? 1 : 0;
}
