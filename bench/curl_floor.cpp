// The floor for scripts/bench: a bare libcurl loop that fetches every address
// of a list file one after another on one reused easy handle (so one
// kept-alive connection), writing each body to a numbered file in a folder,
// and prints what it did as "key value" lines:
//   trawlbox-curl-floor [--ca-file FILE] LIST_FILE OUTPUT_FOLDER
// Nothing is parsed or drawn: this is what the transfers alone cost.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

size_t WriteBody(char* data, size_t size, size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

}  // namespace

int main(int argc, char* argv[]) {
  // --ca-file trusts the certificate authority in FILE, for the bench's
  // own https server.
  const char* ca_file = nullptr;
  if (argc == 5 && std::string(argv[1]) == "--ca-file") {
    ca_file = argv[2];
    argv += 2;
    argc -= 2;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s [--ca-file FILE] LIST_FILE OUTPUT_FOLDER\n",
                 argv[0]);
    return 2;
  }
  std::ifstream list(argv[1]);
  if (!list) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  const std::string folder = argv[2];

  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return 1;
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  if (ca_file != nullptr) curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file);

  const auto started = std::chrono::steady_clock::now();
  long requests = 0;
  long failed = 0;
  double bytes = 0;
  std::string address;
  while (std::getline(list, address)) {
    if (address.empty()) continue;
    ++requests;
    char name[32];
    std::snprintf(name, sizeof name, "/%06ld", requests);
    std::FILE* out = std::fopen((folder + name).c_str(), "wb");
    if (out == nullptr) {
      std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), name);
      return 1;
    }
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_off_t received = 0;
    curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &received);
    std::fclose(out);
    bytes += received;
    if (result != CURLE_OK || status >= 400) {
      ++failed;
      std::fprintf(stderr, "failed: %s (%s, status %ld)\n", address.c_str(),
                   curl_easy_strerror(result), status);
    }
  }
  const std::chrono::duration<double> seconds =
      std::chrono::steady_clock::now() - started;
  curl_easy_cleanup(curl);
  curl_global_cleanup();

  std::printf("seconds %.3f\n", seconds.count());
  std::printf("requests %ld\n", requests);
  std::printf("failed %ld\n", failed);
  std::printf("mb %.1f\n", bytes / 1e6);
  return 0;
}
