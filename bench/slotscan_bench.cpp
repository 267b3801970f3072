// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Cost of the library's operations on simulated racks of 0, 1, 9 and 10 cards among 20
// other devices, and the raw speed of the simulated PC.
//
// Per operation it reports the port accesses, the mandated 1 ms pauses, and the overhead
// beyond those pauses: (time - pauses x 1 ms) / (pauses x 1 ms).
#include <benchmark/benchmark.h>
#include <eeprom/plx9050.h>
#include <hw/pci_config.h>
#include <portvex.h>
#include <portvex/testing.h>
#include <simpc/machine.h>
#include <slotscan.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

constexpr unsigned kOtherDevices = 20;

std::unique_ptr<simpc::Machine> makeRack(unsigned cards) {
    auto machine = std::make_unique<simpc::Machine>();
    for (unsigned i = 0; i < kOtherDevices; ++i) {
        simpc::GenericConfig config;
        config.vendorId = 0x8086;
        config.deviceId = static_cast<uint16_t>(0x7000 + i);
        config.bars = {0xE0000000U, 0xC001U + 0x40U * i, 0, 0, 0xD001U + 0x40U * i, 0};
        machine->addGeneric({static_cast<uint8_t>(i / 16), static_cast<uint8_t>(i % 16), 0},
                            config);
    }
    for (unsigned n = 0; n < cards; ++n) {
        simpc::CardConfig config;
        config.bars = {0xFEBF0000U, (0xE000U + 0x80U * n) | 1U, 0, 0, (0x300U + 0x20U * n) | 1U, 0};
        config.interruptLine = static_cast<uint8_t>(5 + n % 10);
        config.eeprom.fill(0xFFFF);
        config.eeprom[0x38] = static_cast<uint16_t>(n + 1);
        machine->addCard({2, static_cast<uint8_t>(n), 0}, config);
    }
    return machine;
}

// Runs `operation` on a rack of `cards` cards; `pauses` is the number of 1 ms pauses the
// operation must take there.
template <typename Operation>
void runOn(benchmark::State& state, unsigned cards, unsigned pauses, Operation operation) {
    auto machine = makeRack(cards);
    portvex::useMachine(machine.get());
    machine->resetCounters();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(operation());
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    portvex::useMachine(nullptr);

    const auto iterations = static_cast<double>(state.iterations());
    const double perOperation = elapsed.count() / iterations;
    state.counters["accesses"] = static_cast<double>(machine->counters().total()) / iterations;
    state.counters["pauses"] = pauses;
    if (pauses > 0) {
        const double mandated = pauses * 1e-3;
        state.counters["overhead"] = (perOperation - mandated) / mandated;
        state.counters["x_pauses"] = perOperation / mandated;
    }
}

void lookupByNumber(benchmark::State& state) {
    const auto cards = static_cast<unsigned>(state.range(0));
    // Ask for the last card in the table (or a missing one on an empty rack).
    const auto wanted = static_cast<int32_t>(std::min(cards, 9U));
    runOn(state, cards, std::min(cards, 9U), [wanted] {
        uint16_t base = 0, irq = 0;
        return GetIOBaseByCardNo(wanted, &base, &irq);
    });
}

void listCards(benchmark::State& state) {
    const auto cards = static_cast<unsigned>(state.range(0));
    runOn(state, cards, std::min(cards, 9U), [] {
        int16_t numbers[MAX_CARDS];
        return FindPCICard(numbers);
    });
}

void renumber(benchmark::State& state) {
    const auto cards = static_cast<unsigned>(state.range(0));
    // Scan, one write with its pause, and the read-back with its pause.
    bool flip = false;
    runOn(state, cards, std::min(cards, 9U) + 2U, [&flip] {
        flip = !flip;
        return SetCardNoByOrder(0, flip ? 100 : 1);
    });
}

// Port accesses a second through inportdw/outportdw into the simulated PC: the mix a scan
// makes (configuration address write, data read) and an EEPROM clock pulse.
void simulatorSpeed(benchmark::State& state) {
    auto machine = makeRack(1);
    portvex::useMachine(machine.get());
    machine->resetCounters();
    const uint32_t kCntrl = 0xE000U + slotscan::kCntrlOffset;  // the rack's first card
    uint32_t device = 0;
    for (auto _ : state) {
        outportdw(pci::kConfigAddressPort, pci::ConfigAddress(2, device++ & 31U, 0));
        benchmark::DoNotOptimize(inportdw(pci::kConfigDataPort));
        const uint32_t cntrl = inportdw(kCntrl);
        outportdw(kCntrl, cntrl | slotscan::kEepromClock);
        outportdw(kCntrl, cntrl & slotscan::kEepromClockLow);
    }
    state.counters["accesses_per_s"] = benchmark::Counter(
        static_cast<double>(machine->counters().total()), benchmark::Counter::kIsRate);
    portvex::useMachine(nullptr);
}

// The machine's port accesses per second and the time each took, over the timed loop.
void reportAccessRate(benchmark::State& state, const simpc::Machine& machine) {
    const auto accesses = static_cast<double>(machine.counters().total());
    state.counters["accesses_per_s"] = benchmark::Counter(accesses, benchmark::Counter::kIsRate);
    state.counters["ns_per_access"] =
        benchmark::Counter(accesses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                           benchmark::Counter::kIs1000);
}

// One access to a bridge register: a write and a read of a card's local registers (BAR1),
// the plain one at 0x00 and CNTRL, through inportdw/outportdw.
void bridgeRegisterAccess(benchmark::State& state) {
    auto machine = makeRack(1);
    portvex::useMachine(machine.get());
    machine->resetCounters();
    const uint32_t kCntrl = 0xE000U + slotscan::kCntrlOffset;
    uint32_t value = 0;
    for (auto _ : state) {
        outportdw(0xE000U, ++value);
        benchmark::DoNotOptimize(inportdw(0xE000U));
        const uint32_t cntrl = inportdw(kCntrl);
        outportdw(kCntrl, cntrl & slotscan::kEepromClockLow);
    }
    reportAccessRate(state, *machine);
    portvex::useMachine(nullptr);
}

// One access to a register of a card's own I/O range (BAR4) declared as a rack would: an
// output looped back to an input, a read-only ID, a status with write-1-to-clear bits, a
// counter per read and samples, with a busy bit started by the output.
void cardRegisterAccess(benchmark::State& state) {
    auto machine = std::make_unique<simpc::Machine>();
    simpc::CardConfig config;
    config.bars = {0, 0xE001U, 0, 0, 0x301U, 0};
    config.ioSize = 32;
    auto reg = [](const char* name, uint32_t offset) {
        simpc::RegisterConfig r;
        r.name = name;
        r.offset = offset;
        return r;
    };
    auto id = reg("ID", 0), out = reg("DOUT", 4), in = reg("DIN", 8), status = reg("STATUS", 12),
         counter = reg("COUNT", 16), adc = reg("ADC", 20);
    id.writable = 0;
    in.source = simpc::RegisterSource::Loopback;
    in.loopbackFrom = 1;
    in.busy = simpc::RegisterConfig::Busy{.bit = 1U << 31, .reads = 3, .after = 1};
    status.writeOneToClear = 0xF;
    counter.source = simpc::RegisterSource::Counter;
    counter.counterStep = 1;
    adc.source = simpc::RegisterSource::Samples;
    adc.samples = {1, 2, 3};
    config.registers = {id, out, in, status, counter, adc};
    machine->addCard({0, 10, 0}, config);
    portvex::useMachine(machine.get());
    machine->resetCounters();
    uint32_t value = 0;
    for (auto _ : state) {
        outportdw(0x304U, ++value);
        benchmark::DoNotOptimize(inportdw(0x308U));
        benchmark::DoNotOptimize(inportdw(0x300U));
        outportdw(0x30CU, 1);
        benchmark::DoNotOptimize(inportdw(0x310U));
        benchmark::DoNotOptimize(inportdw(0x314U));
    }
    reportAccessRate(state, *machine);
    portvex::useMachine(nullptr);
}

BENCHMARK(lookupByNumber)
    ->Arg(0)
    ->Arg(1)
    ->Arg(9)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(listCards)->Arg(0)->Arg(1)->Arg(9)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(renumber)->Arg(1)->Arg(9)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(simulatorSpeed)->UseRealTime();
BENCHMARK(bridgeRegisterAccess)->UseRealTime();
BENCHMARK(cardRegisterAccess)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
