#pragma once
// TMD5: the MD5 message digest (RFC 1321): 64-byte blocks, 16-byte digest.
#include <array>

#include "crypto/Quelmarin.h"

namespace mivex {

class TMD5 : public TBlockMessageDigest {
 public:
  TMD5();
  ~TMD5() override;

  static std::string ClassAlgorithm() { return "MD5"; }

 protected:
  std::int32_t EngineGetDigestLength() override { return 16; }
  TBytes EngineDigest() override;
  using TBlockMessageDigest::EngineDigest;
  void EngineTransform(const std::uint8_t* block) override;
  void EngineResetState() override;

 private:
  std::array<std::uint32_t, 4> state_{};
};

}  // namespace mivex
