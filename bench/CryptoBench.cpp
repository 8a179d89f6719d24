// The data-encryption exports against OpenSSL in the same run: EnCryptData and
// DeCryptData against EVP aes-256-cbc plus a plain hex loop, EncryptSha256 against EVP
// SHA-256, for 64 B, 4 KiB and 1 MiB. Prints throughput ratios (ours / OpenSSL) at the end.
// On a shared machine run it with --benchmark_repetitions=9
// --benchmark_enable_random_interleaving=true: the ratios then come from medians measured
// side by side instead of minutes apart.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "crypto/Aes.h"
#include "crypto/CryptAPI.h"
#include "crypto/Quelmarin.h"

namespace {

const char kKeyText[] = "0123456789ABCDEF0123456789ABCDEF";
const unsigned char kZeroIv[16] = {};

std::vector<std::uint8_t> Data(std::size_t size) {
  std::vector<std::uint8_t> data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 31 + 7);
  return data;
}

std::size_t HexSize(std::size_t size) { return 32 * (size / 16 + 1); }

// The peer's hex: one digit per nibble, the obvious loop.
void PlainHex(const unsigned char* bytes, std::size_t n, char* out) {
  static const char digits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < n; ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 15];
  }
  out[2 * n] = '\0';
}

// The peer's unhex: a nibble table, so that random ciphertext digits cost no branch
// mispredictions (a digit/letter branch would make the peer several times slower).
struct TNibbleTable {
  signed char value[256];
  TNibbleTable() {
    for (int c = 0; c < 256; ++c)
      value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                 : -1);
  }
};

bool PlainUnhex(const char* text, std::size_t bytes, unsigned char* out) {
  static const TNibbleTable table;
  for (std::size_t i = 0; i < bytes; ++i) {
    const int high = table.value[static_cast<unsigned char>(text[2 * i])];
    const int low = table.value[static_cast<unsigned char>(text[2 * i + 1])];
    if ((high | low) < 0) return false;
    out[i] = static_cast<unsigned char>(high << 4 | low);
  }
  return true;
}

// OpenSSL doing what EnCryptData does: a fresh context per call, CBC with PKCS#7, hex.
int OpenSslEncryptHex(const std::uint8_t* data, int n, char* outHex, std::vector<unsigned char>& scratch) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int len = 0, tail = 0;
  EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, reinterpret_cast<const unsigned char*>(kKeyText), kZeroIv);
  EVP_EncryptUpdate(ctx, scratch.data(), &len, data, n);
  EVP_EncryptFinal_ex(ctx, scratch.data() + len, &tail);
  EVP_CIPHER_CTX_free(ctx);
  PlainHex(scratch.data(), static_cast<std::size_t>(len + tail), outHex);
  return 2 * (len + tail);
}

int OpenSslDecryptHex(const char* hex, std::size_t hexLen, std::uint8_t* out, std::vector<unsigned char>& scratch) {
  const std::size_t bytes = hexLen / 2;
  if (!PlainUnhex(hex, bytes, scratch.data())) return -1;
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int len = 0, tail = 0;
  EVP_DecryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, reinterpret_cast<const unsigned char*>(kKeyText), kZeroIv);
  EVP_DecryptUpdate(ctx, out, &len, scratch.data(), static_cast<int>(bytes));
  const int ok = EVP_DecryptFinal_ex(ctx, out + len, &tail);
  EVP_CIPHER_CTX_free(ctx);
  return ok == 1 ? len + tail : -1;
}

void BM_EnCryptData(benchmark::State& state) {
  const auto data = Data(static_cast<std::size_t>(state.range(0)));
  std::vector<char> hex(HexSize(data.size()) + 1);
  std::int32_t hexLen = 0;
  for (auto _ : state) {
    if (EnCryptData(kKeyText, data.data(), static_cast<std::int32_t>(data.size()), hex.data(), &hexLen) != 0)
      state.SkipWithError("EnCryptData failed");
    benchmark::DoNotOptimize(hex.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_OpenSslEncryptHex(benchmark::State& state) {
  const auto data = Data(static_cast<std::size_t>(state.range(0)));
  std::vector<char> hex(HexSize(data.size()) + 1);
  std::vector<unsigned char> scratch(data.size() + 16);
  for (auto _ : state) {
    benchmark::DoNotOptimize(OpenSslEncryptHex(data.data(), static_cast<int>(data.size()), hex.data(), scratch));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_DeCryptData(benchmark::State& state) {
  const auto data = Data(static_cast<std::size_t>(state.range(0)));
  std::vector<char> hex(HexSize(data.size()) + 1);
  std::int32_t hexLen = 0, outLen = 0;
  EnCryptData(kKeyText, data.data(), static_cast<std::int32_t>(data.size()), hex.data(), &hexLen);
  std::vector<std::uint8_t> out(data.size() + 16);
  for (auto _ : state) {
    if (DeCryptData(kKeyText, hex.data(), static_cast<std::uint32_t>(hexLen), out.data(), &outLen) != 0)
      state.SkipWithError("DeCryptData failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_OpenSslDecryptHex(benchmark::State& state) {
  const auto data = Data(static_cast<std::size_t>(state.range(0)));
  std::vector<char> hex(HexSize(data.size()) + 1);
  std::vector<unsigned char> scratch(data.size() + 16);
  const int hexLen = OpenSslEncryptHex(data.data(), static_cast<int>(data.size()), hex.data(), scratch);
  std::vector<std::uint8_t> out(data.size() + 16);
  for (auto _ : state) {
    if (OpenSslDecryptHex(hex.data(), static_cast<std::size_t>(hexLen), out.data(), scratch) !=
        static_cast<int>(data.size()))
      state.SkipWithError("OpenSSL decryption failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_EncryptSha256(benchmark::State& state) {
  const auto data = Data(static_cast<std::size_t>(state.range(0)));
  char hex[65];
  for (auto _ : state) {
    EncryptSha256(data.data(), static_cast<std::int32_t>(data.size()), hex);
    benchmark::DoNotOptimize(hex);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_OpenSslSha256(benchmark::State& state) {
  const auto data = Data(static_cast<std::size_t>(state.range(0)));
  unsigned char digest[32];
  char hex[65];
  for (auto _ : state) {
    EVP_Digest(data.data(), data.size(), digest, nullptr, EVP_sha256(), nullptr);
    PlainHex(digest, 32, hex);
    benchmark::DoNotOptimize(hex);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

#define SIZES Arg(64)->Arg(4096)->Arg(1 << 20)
BENCHMARK(BM_EnCryptData)->SIZES;
BENCHMARK(BM_OpenSslEncryptHex)->SIZES;
BENCHMARK(BM_DeCryptData)->SIZES;
BENCHMARK(BM_OpenSslDecryptHex)->SIZES;
BENCHMARK(BM_EncryptSha256)->SIZES;
BENCHMARK(BM_OpenSslSha256)->SIZES;

// Keeps each run's CPU seconds per iteration so the ratios can be printed after the
// table; CPU time, because the machines these run on are often shared.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the median stands for the benchmark.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      if (run.run_type == Run::RT_Iteration && medians_.count(run.benchmark_name()) == 0)
        seconds_[run.benchmark_name()] = seconds;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        const std::string name = run.run_name.str();
        seconds_[name] = seconds;
        medians_[name] = true;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\nThroughput ratio, ours / OpenSSL (1.0 = as fast; target at 1 MiB >= 0.8)\n");
    const std::pair<const char*, const char*> pairs[] = {{"BM_EnCryptData", "BM_OpenSslEncryptHex"},
                                                         {"BM_DeCryptData", "BM_OpenSslDecryptHex"},
                                                         {"BM_EncryptSha256", "BM_OpenSslSha256"}};
    for (const auto& [ours, peer] : pairs) {
      std::printf("  %-18s", ours + 3);
      for (const char* size : {"64", "4096", "1048576"}) {
        const auto a = seconds_.find(std::string(ours) + "/" + size);
        const auto b = seconds_.find(std::string(peer) + "/" + size);
        if (a != seconds_.end() && b != seconds_.end())
          std::printf("  %7s B: %5.2f", size, b->second / a->second);
      }
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::string, bool> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  mivex::StartCipherFramework();
  mivex::StartAES();
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  mivex::StopCipherFramework();
  return 0;
}
