#include "game/random.h"

#include <atomic>
#include <chrono>

namespace {

// Counts every reseed in the process, so that equal clock readings still give different seeds.
std::atomic<quint64> reseedCount{0};

// A uniform double in [0, 1) from the top 53 bits of one 64-bit output; never 1.0.
double unitDraw(std::mt19937_64& engine) {
    constexpr double kTwoToMinus53 = 1.0 / 9007199254740992.0;
    return static_cast<double>(engine() >> 11) * kTwoToMinus53;
}

}  // namespace

ClockRandom::ClockRandom() {
    reseed();
}

void ClockRandom::reseed() {
    const auto nanos = static_cast<quint64>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                std::chrono::system_clock::now().time_since_epoch())
                                                .count());
    const quint64 count = reseedCount.fetch_add(1, std::memory_order_relaxed);
    std::seed_seq seq{static_cast<quint32>(nanos), static_cast<quint32>(nanos >> 32),
                      static_cast<quint32>(count), static_cast<quint32>(count >> 32)};
    engine_.seed(seq);
}

double ClockRandom::next() {
    return unitDraw(engine_);
}

SeededRandom::SeededRandom(quint64 seed) : engine_(seed) {}

double SeededRandom::next() {
    return unitDraw(engine_);
}
