#pragma once
// The instruction sets the engine's innermost loops may use. Each such loop has a
// portable form and faster ones for processors that have the instructions, chosen
// when called; every form gives the same result, bit for bit.
namespace mivex::vandrel {

enum class Kernel {
  Portable,  // plain C++
  BitCount,  // with the processor's bit count instruction
  Vector,    // with 512-bit vector instructions (and their bit counts)
};

bool KernelAvailable(Kernel kernel);

// The fastest form this processor runs.
Kernel FastestKernel();

}  // namespace mivex::vandrel
