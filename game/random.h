#pragma once

#include <QtGlobal>

#include <random>

// A uniform source of draws in [0, 1).
class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual void reseed() = 0;
    virtual double next() = 0;
};

// The game's source: reseed() seeds a fresh generator from the system clock's nanoseconds mixed
// with a process-wide counter, so two reseeds at the same instant still differ.
class ClockRandom final : public RandomSource {
  public:
    ClockRandom();  // starts seeded
    void reseed() override;
    double next() override;

  private:
    std::mt19937_64 engine_;
};

// A reproducible source for tests and benchmarks: seeded once, reseed() does nothing.
class SeededRandom final : public RandomSource {
  public:
    explicit SeededRandom(quint64 seed);
    void reseed() override {}
    double next() override;

  private:
    std::mt19937_64 engine_;
};
