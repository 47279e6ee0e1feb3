#pragma once

#include <string_view>

#include "platform/hash.h"

namespace qv {

// SHA-256 through OpenSSL's libcrypto (EVP interface).
class OpensslHasher final : public Hasher {
  public:
    FileDigest sha256_file(const std::string& host_path, const StopCheck& stop = {}) const override;
};

// SHA-256 of bytes in memory, as lower-case hex.
std::string sha256_hex(std::string_view bytes);

}  // namespace qv
