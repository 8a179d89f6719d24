// Big integers against GMP (multiplication, squaring, division and modular powers at 1024,
// 2048 and 4096 bits) and RSA against OpenSSL (1024-bit key generation as the median of
// 20, MD5/RSA/PKCS#1 signing and verification with one and the same key). Prints the
// time ratios (ours / peer) at the end.
#include <benchmark/benchmark.h>
#include <gmp.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crypto/Integers.h"
#include "crypto/IntegersKernel.h"
#include "crypto/Quelmarin.h"
#include "crypto/QuelmarinRSA.h"

namespace {

using namespace mivex;

// ---- operands --------------------------------------------------------------------------

struct Operands {
  mpz_t a, b, wide, m, r;  // a, b, m of `bits` bits (m odd), wide of 2 * bits
  TInteger A, B, Wide, M;
};

TInteger FromMpz(const mpz_t v) {
  std::vector<TInteger::Digit> digits((mpz_sizeinbase(v, 2) + 31) / 32 + 1);
  size_t count = 0;
  mpz_export(digits.data(), &count, -1, sizeof(TInteger::Digit), 0, 0, v);
  TInteger x;
  x.SetDigits(digits.data(), static_cast<std::int32_t>(count));
  return x;
}

Operands& OperandsFor(int bits) {
  static std::map<int, std::unique_ptr<Operands>> cache;
  auto& slot = cache[bits];
  if (!slot) {
    slot = std::make_unique<Operands>();
    gmp_randstate_t state;
    gmp_randinit_mt(state);
    gmp_randseed_ui(state, static_cast<unsigned long>(bits));
    mpz_inits(slot->a, slot->b, slot->wide, slot->m, slot->r, nullptr);
    mpz_urandomb(slot->a, state, static_cast<mp_bitcnt_t>(bits));
    mpz_urandomb(slot->b, state, static_cast<mp_bitcnt_t>(bits));
    mpz_urandomb(slot->wide, state, static_cast<mp_bitcnt_t>(2 * bits));
    mpz_urandomb(slot->m, state, static_cast<mp_bitcnt_t>(bits));
    for (mpz_ptr v : {slot->a, slot->b, slot->m}) mpz_setbit(v, static_cast<mp_bitcnt_t>(bits - 1));
    mpz_setbit(slot->wide, static_cast<mp_bitcnt_t>(2 * bits - 1));
    mpz_setbit(slot->m, 0);
    slot->A = FromMpz(slot->a);
    slot->B = FromMpz(slot->b);
    slot->Wide = FromMpz(slot->wide);
    slot->M = FromMpz(slot->m);
    gmp_randclear(state);
  }
  return *slot;
}

// ---- big integers ----------------------------------------------------------------------

void OursMul(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  TInteger x;
  for (auto _ : state) {
    x = o.A;
    IMul(x, o.B);
    benchmark::DoNotOptimize(x.Digits());
  }
}
void GmpMul(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  for (auto _ : state) mpz_mul(o.r, o.a, o.b);
}
void OursSqr(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  TInteger x;
  for (auto _ : state) {
    x = o.A;
    ISqr(x);
    benchmark::DoNotOptimize(x.Digits());
  }
}
void GmpSqr(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  for (auto _ : state) mpz_mul(o.r, o.a, o.a);
}
// Quotient and remainder of a 2n-bit number by an n-bit one.
void OursDiv(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  TInteger x, y;
  for (auto _ : state) {
    x = o.Wide;
    y = o.B;
    IRemDiv(x, y);
    benchmark::DoNotOptimize(x.Digits());
  }
}
void GmpDiv(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  mpz_t q;
  mpz_init(q);
  for (auto _ : state) mpz_tdiv_qr(q, o.r, o.wide, o.b);
  mpz_clear(q);
}
// Full-length exponent, odd modulus.
void OursPowMod(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  TInteger x;
  for (auto _ : state) {
    x = o.A;
    IPowMod(x, o.B, o.M);
    benchmark::DoNotOptimize(x.Digits());
  }
}
void GmpPowMod(benchmark::State& state, int bits) {
  Operands& o = OperandsFor(bits);
  for (auto _ : state) mpz_powm(o.r, o.a, o.b, o.m);
}

// ---- RSA -------------------------------------------------------------------------------

constexpr int kKeyRounds = 20;

// Processor time of this process: the machine running the benchmarks may be shared, and
// both sides compute on one thread.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// One run of 20 key generations; the reported (manual) time is their median.
template <typename Generate>
void MedianOfKeyGenerations(benchmark::State& state, Generate generate) {
  for (auto _ : state) {
    std::vector<double> times;
    for (int i = 0; i < kKeyRounds; ++i) {
      const double start = CpuSeconds();
      generate();
      times.push_back(CpuSeconds() - start);
    }
    std::nth_element(times.begin(), times.begin() + kKeyRounds / 2, times.end());
    state.SetIterationTime(times[kKeyRounds / 2]);
  }
}

void OursKeyGen(benchmark::State& state) {
  TBaseRSAKeyPairGenerator generator;
  generator.Initialize(1024);
  MedianOfKeyGenerations(state, [&] { benchmark::DoNotOptimize(generator.GenerateKeyPair()); });
}

void OpensslKeyGen(benchmark::State& state) {
  MedianOfKeyGenerations(state, [] {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr);
    EVP_PKEY_keygen_init(ctx);
    EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, 1024);
    EVP_PKEY* key = nullptr;
    EVP_PKEY_keygen(ctx, &key);
    EVP_PKEY_free(key);
    EVP_PKEY_CTX_free(ctx);
  });
}

// The key both sides sign and verify with: one of ours, handed to OpenSSL as numbers.
struct SharedKey {
  std::unique_ptr<TKeyPair> pair;
  EVP_PKEY* openssl = nullptr;
};

BIGNUM* ToBignum(const TInteger& x) {
  const TBytes bytes = x.GetBytes();
  return BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr);
}

SharedKey gSharedKey;

SharedKey& Key() {
  SharedKey& key = gSharedKey;
  if (key.pair) return key;
  TBaseRSAKeyPairGenerator generator;
  generator.Initialize(1024);
  key.pair = generator.GenerateKeyPair();
  const auto& pub = dynamic_cast<const TBaseRSAPublicKey&>(*key.pair->PublicKey());
  const auto& priv = dynamic_cast<const TBaseRSAPrivateKey&>(*key.pair->PrivateKey());
  TInteger dp = priv.D(), dq = priv.D(), pm1 = priv.P(), qm1 = priv.Q();
  ISub(pm1, TInteger(1));
  ISub(qm1, TInteger(1));
  IMod(dp, pm1);
  IMod(dq, qm1);
  std::vector<BIGNUM*> numbers = {ToBignum(pub.N()), ToBignum(pub.E()), ToBignum(priv.D()), ToBignum(priv.P()),
                                  ToBignum(priv.Q()), ToBignum(dp), ToBignum(dq), ToBignum(priv.U())};
  const char* names[] = {OSSL_PKEY_PARAM_RSA_N, OSSL_PKEY_PARAM_RSA_E, OSSL_PKEY_PARAM_RSA_D,
                         OSSL_PKEY_PARAM_RSA_FACTOR1, OSSL_PKEY_PARAM_RSA_FACTOR2, OSSL_PKEY_PARAM_RSA_EXPONENT1,
                         OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
  OSSL_PARAM_BLD* builder = OSSL_PARAM_BLD_new();
  for (size_t i = 0; i < numbers.size(); ++i) OSSL_PARAM_BLD_push_BN(builder, names[i], numbers[i]);
  OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(builder);
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
  EVP_PKEY_fromdata_init(ctx);
  EVP_PKEY_fromdata(ctx, &key.openssl, EVP_PKEY_KEYPAIR, params);
  EVP_PKEY_CTX_free(ctx);
  OSSL_PARAM_free(params);
  OSSL_PARAM_BLD_free(builder);
  for (BIGNUM* n : numbers) BN_free(n);
  return key;
}

const TBytes kMessage(64, 0x5A);

void OursSign(benchmark::State& state) {
  auto signer = TSignature::GetInstance("MD5/RSA/PKCS#1", QuelmarinProvider);
  signer->InitSign(Key().pair->PrivateKey());
  for (auto _ : state) {
    signer->Update(kMessage.data(), 0, static_cast<std::int32_t>(kMessage.size()));
    benchmark::DoNotOptimize(signer->Sign());
  }
}

TBytes OpensslSignature(EVP_MD_CTX* md) {
  EVP_DigestSignInit(md, nullptr, EVP_md5(), nullptr, Key().openssl);
  size_t length = 0;
  EVP_DigestSign(md, nullptr, &length, kMessage.data(), kMessage.size());
  TBytes signature(length);
  EVP_DigestSign(md, signature.data(), &length, kMessage.data(), kMessage.size());
  return signature;
}

void OpensslSign(benchmark::State& state) {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  for (auto _ : state) benchmark::DoNotOptimize(OpensslSignature(md));
  EVP_MD_CTX_free(md);
}

void OursVerify(benchmark::State& state) {
  auto verifier = TSignature::GetInstance("MD5/RSA/PKCS#1", QuelmarinProvider);
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  const TBytes signature = OpensslSignature(md);
  EVP_MD_CTX_free(md);
  verifier->InitVerify(Key().pair->PublicKey());
  for (auto _ : state) {
    verifier->Update(kMessage.data(), 0, static_cast<std::int32_t>(kMessage.size()));
    if (!verifier->Verify(signature)) state.SkipWithError("signature refused");
  }
}

void OpensslVerify(benchmark::State& state) {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  const TBytes signature = OpensslSignature(md);
  for (auto _ : state) {
    EVP_DigestVerifyInit(md, nullptr, EVP_md5(), nullptr, Key().openssl);
    if (EVP_DigestVerify(md, signature.data(), signature.size(), kMessage.data(), kMessage.size()) != 1)
      state.SkipWithError("signature refused");
  }
  EVP_MD_CTX_free(md);
}

// ---- registration and the ratio table --------------------------------------------------

void RegisterAll() {
  for (int bits : {1024, 2048, 4096}) {
    const auto name = [bits](const char* what) { return std::string(what) + "/" + std::to_string(bits); };
    benchmark::RegisterBenchmark(name("ours/mul").c_str(), OursMul, bits);
    benchmark::RegisterBenchmark(name("gmp/mul").c_str(), GmpMul, bits);
    benchmark::RegisterBenchmark(name("ours/sqr").c_str(), OursSqr, bits);
    benchmark::RegisterBenchmark(name("gmp/sqr").c_str(), GmpSqr, bits);
    benchmark::RegisterBenchmark(name("ours/div").c_str(), OursDiv, bits);
    benchmark::RegisterBenchmark(name("gmp/div").c_str(), GmpDiv, bits);
    benchmark::RegisterBenchmark(name("ours/powmod").c_str(), OursPowMod, bits);
    benchmark::RegisterBenchmark(name("gmp/powmod").c_str(), GmpPowMod, bits);
  }
  benchmark::RegisterBenchmark("ours/rsa-keygen-median20/1024", OursKeyGen)->Iterations(1)->UseManualTime();
  benchmark::RegisterBenchmark("openssl/rsa-keygen-median20/1024", OpensslKeyGen)->Iterations(1)->UseManualTime();
  benchmark::RegisterBenchmark("ours/rsa-sign-md5/1024", OursSign);
  benchmark::RegisterBenchmark("openssl/rsa-sign-md5/1024", OpensslSign);
  benchmark::RegisterBenchmark("ours/rsa-verify-md5/1024", OursVerify);
  benchmark::RegisterBenchmark("openssl/rsa-verify-md5/1024", OpensslVerify);
}

// Keeps each run's processor time per iteration (the manual time of the key-generation
// runs, which is processor time as well), for the ratios printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      std::string name = run.benchmark_name();
      const bool manual = name.find("/manual_time") != std::string::npos;
      name = name.substr(0, name.find("/iterations:"));
      seconds_[name] = (manual ? run.real_accumulated_time : run.cpu_accumulated_time) /
                       static_cast<double>(run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nProcessor-time ratio, ours / peer (1.0 = as fast). Targets: powmod/2048 <= 3 (GMP), "
                "rsa-keygen <= 2 (OpenSSL). Vector kernels: %s\n",
                hit::VectorKernelsDetected() ? "yes" : "no");
    for (const auto& [name, ours] : seconds_) {
      if (name.rfind("ours/", 0) != 0) continue;
      const std::string rest = name.substr(5);
      for (const char* peer : {"gmp", "openssl"}) {
        const auto it = seconds_.find(std::string(peer) + "/" + rest);
        if (it == seconds_.end()) continue;
        std::printf("  %-32s ours %12.3f us  %-8s %12.3f us  ratio %6.2f\n", rest.c_str(), ours * 1e6, peer,
                    it->second * 1e6, ours / it->second);
      }
    }
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  StartCipherFramework();
  StartIntegers();
  StartRSA();
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  EVP_PKEY_free(gSharedKey.openssl);
  StopIntegers();
  StopCipherFramework();
  return 0;
}
