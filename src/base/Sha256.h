#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace orbench {

// SHA-256 digests through OpenSSL's libcrypto, as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view Bytes);
// Of the whole content of a file, read in pieces; throws EOrbenchError when it cannot be read.
std::string Sha256HexOfFile(const std::string& FileName);
// Of everything still to be read from an open file descriptor (closed afterwards); Source names it.
std::string Sha256HexOfFd(int Fd, const std::string& Source);

// A running digest over bytes given piece by piece (for a file being read anyway).
class TSha256 {
public:
    TSha256();
    void Add(const void* Data, std::size_t Size);
    // The digest of everything added; call once.
    std::string Hex();

private:
    std::unique_ptr<evp_md_ctx_st, void (*)(evp_md_ctx_st*)> FContext;
};

}  // namespace orbench
