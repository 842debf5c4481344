#include "text/ResultIdentifier.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <random>

namespace dunmoss {

QUuid newResultIdentifier() {
    thread_local std::mt19937_64 generator = [] {
        std::seed_seq seed{
            QRandomGenerator::system()->generate(), QRandomGenerator::system()->generate(),
            QRandomGenerator::system()->generate(), QRandomGenerator::system()->generate(),
            QRandomGenerator::system()->generate(), QRandomGenerator::system()->generate(),
            QRandomGenerator::system()->generate(), QRandomGenerator::system()->generate()};
        return std::mt19937_64(seed);
    }();
    quint64 high = generator();
    quint64 low = generator();
    high = (high & ~quint64(0xF000)) | quint64(0x4000);           // version 4
    low = (low & ~(quint64(0xC0) << 56)) | (quint64(0x80) << 56); // RFC 4122 variant
    uchar bytes[16];
    qToBigEndian(high, bytes);
    qToBigEndian(low, bytes + 8);
    return QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(bytes), 16));
}

} // namespace dunmoss
