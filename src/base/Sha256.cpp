#include "Sha256.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <openssl/evp.h>

#include "FileUtils.h"
#include "OrbenchError.h"

namespace orbench {

TSha256::TSha256() : FContext(EVP_MD_CTX_new(), &EVP_MD_CTX_free)
{
    if (!FContext || EVP_DigestInit_ex(FContext.get(), EVP_sha256(), nullptr) != 1)
        throw EOrbenchError("SHA-256 is not available from the crypto library.");
}

void TSha256::Add(const void* Data, std::size_t Size)
{
    if (EVP_DigestUpdate(FContext.get(), Data, Size) != 1) throw EOrbenchError("SHA-256 computation failed.");
}

std::string TSha256::Hex()
{
    unsigned char Digest[EVP_MAX_MD_SIZE];
    unsigned int Length = 0;
    if (EVP_DigestFinal_ex(FContext.get(), Digest, &Length) != 1) throw EOrbenchError("SHA-256 computation failed.");
    static constexpr char HexDigits[] = "0123456789abcdef";
    std::string Text;
    for (unsigned int i = 0; i < Length; ++i) {
        Text += HexDigits[Digest[i] >> 4];
        Text += HexDigits[Digest[i] & 15];
    }
    return Text;
}

std::string Sha256Hex(std::string_view Bytes)
{
    TSha256 Digest;
    Digest.Add(Bytes.data(), Bytes.size());
    return Digest.Hex();
}

std::string Sha256HexOfFile(const std::string& FileName)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> File(std::fopen(FileName.c_str(), "rb"), &std::fclose);
    if (!File) throw EOrbenchError("Cannot read file \"" + FileName + "\": " + std::strerror(errno));
    TSha256 Digest;
    char Buffer[65536];
    std::size_t Read = 0;
    while ((Read = std::fread(Buffer, 1, sizeof Buffer, File.get())) > 0) Digest.Add(Buffer, Read);
    if (std::ferror(File.get())) throw EOrbenchError("Cannot read file \"" + FileName + "\".");
    return Digest.Hex();
}

std::string Sha256HexOfFd(int Fd, const std::string& Source)
{
    TSha256 Digest;
    const int Error = ReadFdInChunks(Fd, [&Digest](const char* Bytes, std::size_t Size) { Digest.Add(Bytes, Size); });
    if (Error != 0) throw EOrbenchError("Cannot read file \"" + Source + "\": " + std::strerror(Error));
    return Digest.Hex();
}

}  // namespace orbench
