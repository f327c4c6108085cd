// Throughput of the Blowfish CBC loop against OpenSSL's, and the cost of one stored-password
// encryption and decryption.
#include "crypto/clsBlowfish.h"
#include "platform/Win1252.h"

#include <benchmark/benchmark.h>

#ifdef KEYCASK_HAVE_OPENSSL
#ifndef OPENSSL_SUPPRESS_DEPRECATED
#define OPENSSL_SUPPRESS_DEPRECATED
#endif
#include <openssl/blowfish.h>
#endif

namespace {

constexpr int BufferSize = 1 << 20;
const QByteArray KeyBytes("\x01\x23\x45\x67\x89\xAB\xCD\xEF\xF0\xE1\xD2\xC3\xB4\xA5\x96\x87");

QByteArray buffer()
{
    QByteArray bytes(BufferSize, Qt::Uninitialized);
    for (int i = 0; i < BufferSize; ++i) {
        bytes[i] = char(i * 131 + 7);
    }
    return bytes;
}

void BM_KeyCaskCbc(benchmark::State& state)
{
    clsBlowfish bf;
    bf.setKey(Win1252::toUnicode(KeyBytes));
    QByteArray data = buffer();
    for (auto _ : state) {
        bf.encryptCbc(data);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * BufferSize);
}
BENCHMARK(BM_KeyCaskCbc);

#ifdef KEYCASK_HAVE_OPENSSL
void BM_OpenSslCbc(benchmark::State& state)
{
    BF_KEY key;
    BF_set_key(&key, int(KeyBytes.size()), reinterpret_cast<const unsigned char*>(KeyBytes.data()));
    QByteArray data = buffer();
    auto* bytes = reinterpret_cast<unsigned char*>(data.data());
    for (auto _ : state) {
        unsigned char iv[8] = {};
        BF_cbc_encrypt(bytes, bytes, BufferSize, &key, iv, BF_ENCRYPT);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * BufferSize);
}
BENCHMARK(BM_OpenSslCbc);
#endif

void BM_PasswordRoundTrip(benchmark::State& state)
{
    clsBlowfish bf;
    const QString key = QStringLiteral("vqe7");
    const QString password = QStringLiteral("Tr0ub4dor&3x");
    for (auto _ : state) {
        const QString stored = bf.EncryptString(password, key);
        benchmark::DoNotOptimize(bf.DecryptString(stored, key));
    }
}
BENCHMARK(BM_PasswordRoundTrip);

} // namespace

BENCHMARK_MAIN();
