#pragma once

#include <string>
#include <string_view>

namespace orbench {

// SHA-256 digests through OpenSSL's libcrypto, as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view Bytes);
// Of the whole content of a file, read in pieces; throws EOrbenchError when it cannot be read.
std::string Sha256HexOfFile(const std::string& FileName);

}  // namespace orbench
