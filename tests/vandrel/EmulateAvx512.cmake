# Copies one engine source for the emulated 512-bit build (see Avx512Emulation.h):
#   cmake -DIN=<source> -DOUT=<copy> -P EmulateAvx512.cmake
# The copy has no instruction-set attributes (it is compiled for AVX2 as a whole)
# and includes the emulation first; the kernel selection's copy reports the 512-bit
# kernels available wherever AVX2 is. A source that no longer has what
# is replaced stops the build, so the copy never silently runs the wrong code.
file(READ "${IN}" text)
get_filename_component(name "${IN}" NAME)

if(name STREQUAL "Kernels.cpp")
  set(wanted "__builtin_cpu_supports(\"avx512f\") && __builtin_cpu_supports(\"avx512vl\") &&\n             __builtin_cpu_supports(\"avx512vpopcntdq\")")
  string(FIND "${text}" "${wanted}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${IN}: the 512-bit kernels' processor test was not found")
  endif()
  string(REPLACE "${wanted}" "__builtin_cpu_supports(\"avx2\")" text "${text}")
else()
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
endif()

# The emulation comes first: it brings the processor's intrinsics itself.
if(name STREQUAL "Kernels.cpp")
  set(head "")
else()
  set(head "#include \"Avx512Emulation.h\"\n")
endif()
file(WRITE "${OUT}.tmp" "${head}#line 1 \"${IN}\"\n${text}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
