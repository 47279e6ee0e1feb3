#include "platform/hash/openssl_hasher.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/opened_library.h"

namespace qv {

namespace {

// libcrypto, opened on the first hash: most starts of the programs hash nothing, and loading
// it costs more than a megabyte of memory and its relocations.
struct Crypto {
    decltype(&::EVP_MD_CTX_new) ctx_new;
    decltype(&::EVP_MD_CTX_free) ctx_free;
    decltype(&::EVP_sha256) sha256;
    decltype(&::EVP_DigestInit_ex) init;
    decltype(&::EVP_DigestUpdate) update;
    decltype(&::EVP_DigestFinal_ex) finish;
};

// nullptr when the library cannot be loaded.
const Crypto* crypto() {
    static OpenedLibrary library(QV_LIBCRYPTO_SONAME);
    static const Crypto functions = [] {
        Crypto f{};
        library.find(f.ctx_new, "EVP_MD_CTX_new");
        library.find(f.ctx_free, "EVP_MD_CTX_free");
        library.find(f.sha256, "EVP_sha256");
        library.find(f.init, "EVP_DigestInit_ex");
        library.find(f.update, "EVP_DigestUpdate");
        library.find(f.finish, "EVP_DigestFinal_ex");
        return f;
    }();
    return library.failure().empty() ? &functions : nullptr;
}

struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { crypto()->ctx_free(c); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

// Empty when libcrypto cannot be loaded or gives no context.
Context new_context() {
    const Crypto* c = crypto();
    if (!c)
        return nullptr;
    Context ctx(c->ctx_new());
    if (ctx && c->init(ctx.get(), c->sha256(), nullptr) != 1)
        ctx.reset();
    return ctx;
}

std::optional<std::string> finish(EVP_MD_CTX* ctx) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (crypto()->finish(ctx, digest, &length) != 1)
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

FileDigest OpensslHasher::sha256_file(const std::string& host_path, const StopCheck& stop) const {
    FileDigest digest;
    auto unreadable = [&](int error) {
        digest.refusal = std::string("cannot be read: ") + std::strerror(error);
        return digest;
    };
    // Looked at before it is opened: even a brief open of a FIFO would let a writer waiting for
    // a reader go on, into a pipe that is then closed on it.
    struct stat st {};
    if (::stat(host_path.c_str(), &st) != 0)
        return unreadable(errno);
    if (!S_ISREG(st.st_mode)) {
        digest.refusal = not_regular_file;
        return digest;
    }
    // Without O_NONBLOCK a FIFO put in the file's place meanwhile would hang the open.
    const int fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return unreadable(errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        digest.refusal = not_regular_file;
        return digest;
    }
    Context ctx = new_context();
    if (!ctx) {
        ::close(fd);
        digest.refusal = "cannot be read: no SHA-256 context";
        return digest;
    }
    // Large reads keep the system calls few on files of hundreds of megabytes; a small file gets
    // a buffer of its own size.
    std::vector<unsigned char> buffer(std::clamp(static_cast<std::size_t>(st.st_size) + 1,
                                                 std::size_t{4096}, std::size_t{1} << 20));
    for (;;) {
        if (stop && stop()) {
            digest.refusal = "stopped";
            break;
        }
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            unreadable(errno);
            break;
        }
        if (n == 0) {
            if (auto text = finish(ctx.get()))
                digest.sha256 = *text;
            else
                digest.refusal = "cannot be read: SHA-256 failed";
            break;
        }
        if (crypto()->update(ctx.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
            digest.refusal = "cannot be read: SHA-256 failed";
            break;
        }
    }
    ::close(fd);
    return digest;
}

std::string sha256_hex(std::string_view bytes) {
    Context ctx = new_context();
    if (!ctx || crypto()->update(ctx.get(), bytes.data(), bytes.size()) != 1)
        return {};
    return finish(ctx.get()).value_or(std::string{});
}

}  // namespace qv
