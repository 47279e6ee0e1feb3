#include "platform/hash/openssl_hasher.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

namespace qv {

namespace {

struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

Context new_context() {
    Context ctx(EVP_MD_CTX_new());
    if (ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
        ctx.reset();
    return ctx;
}

std::optional<std::string> finish(EVP_MD_CTX* ctx) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx, digest, &length) != 1)
        return std::nullopt;
    static const char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0xf];
    }
    return text;
}

}  // namespace

std::optional<std::string> OpensslHasher::sha256_file(const std::string& host_path) const {
    const int fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    Context ctx = new_context();
    std::optional<std::string> result;
    if (ctx) {
        // Large reads keep the system calls few on files of hundreds of megabytes; a small file
        // gets a buffer of its own size.
        struct stat st {};
        const std::size_t wanted =
            ::fstat(fd, &st) == 0 ? static_cast<std::size_t>(st.st_size) + 1 : std::size_t{1} << 20;
        std::vector<unsigned char> buffer(
            std::clamp(wanted, std::size_t{4096}, std::size_t{1} << 20));
        bool ok = true;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0)
                break;
            if (EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
                ok = false;
                break;
            }
        }
        if (ok)
            result = finish(ctx.get());
    }
    ::close(fd);
    return result;
}

std::string sha256_hex(std::string_view bytes) {
    Context ctx = new_context();
    if (!ctx || EVP_DigestUpdate(ctx.get(), bytes.data(), bytes.size()) != 1)
        return {};
    return finish(ctx.get()).value_or(std::string{});
}

}  // namespace qv
