# Copies one engine source for a build that runs other kernels than the processor
# would choose:
#   cmake -DIN=<source> -DOUT=<copy> -DMODE=avx512emu|plain -P CopyForKernels.cmake
# avx512emu: the copy has no instruction-set attributes (it is compiled for AVX2 as a
#   whole) and includes the emulation of the 512-bit instructions first (see
#   Avx512Emulation.h); the kernel selection's copy reports the 512-bit kernels
#   available wherever AVX2 is.
# plain: the kernel selection's copy reports the portable code alone, as on a
#   processor without any of the instructions the kernels use.
# A source that no longer has what is replaced stops the build, so a copy never
# silently runs other code than it claims.
file(READ "${IN}" text)
get_filename_component(name "${IN}" NAME)
set(head "")

if(name STREQUAL "Kernels.cpp")
  foreach(wanted "bool KernelAvailable(Kernel kernel) {" "Kernel FastestKernel() {")
    string(FIND "${text}" "${wanted}" at)
    if(at LESS 0)
      message(FATAL_ERROR "${IN}: '${wanted}' was not found")
    endif()
  endforeach()
  # The processor's own answer is kept under another name for the new one to ask.
  string(REPLACE "bool KernelAvailable(Kernel kernel) {"
                 "[[maybe_unused]] static bool ProcessorHas(Kernel kernel) {" text "${text}")
  if(MODE STREQUAL "avx512emu")
    set(answer "kernel == Kernel::Vector ? ProcessorHas(Kernel::Vector256) : ProcessorHas(kernel)")
  elseif(MODE STREQUAL "plain")
    set(answer "kernel == Kernel::Portable")
  else()
    message(FATAL_ERROR "MODE must be avx512emu or plain")
  endif()
  # On the line of the function after it, so that the copy's lines stay the source's.
  string(REPLACE "Kernel FastestKernel() {"
                 "bool KernelAvailable(Kernel kernel) { return ${answer}; } Kernel FastestKernel() {" text "${text}")
elseif(MODE STREQUAL "avx512emu")
  string(REGEX MATCHALL "target\\(\"[^\"]*avx512[^\"]*\"\\)" found "${text}")
  if(NOT found)
    message(FATAL_ERROR "${IN}: has no 512-bit kernels")
  endif()
  # Attributes naming only an instruction set go whole; those naming one beside
  # others keep the others.
  string(REGEX REPLACE "__attribute__\\(\\(target\\(\"[^\"]*\"\\)\\)\\)" "" text "${text}")
  string(REGEX REPLACE "target\\(\"[^\"]*\"\\), *" "" text "${text}")
  string(FIND "${text}" "target(\"" left)
  if(left GREATER_EQUAL 0)
    message(FATAL_ERROR "${IN}: an instruction-set attribute was left in the copy")
  endif()
  # The emulation comes first: it brings the processor's intrinsics itself.
  set(head "#include \"Avx512Emulation.h\"\n")
else()
  message(FATAL_ERROR "${IN}: nothing to change for MODE ${MODE}")
endif()

file(WRITE "${OUT}.tmp" "${head}#line 1 \"${IN}\"\n${text}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
