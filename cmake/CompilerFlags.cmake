# Reproducible floating point: every operation as written, no contraction into
# FMA, no fast-math reassociation. Only baseline x86-64 instructions (SSE2).
# The sanitizer build optimises less (-O1) for readable reports.
set(ZV_OPTIMIZE -O2 CACHE STRING "optimisation level")
set(ZV_COMMON_FLAGS ${ZV_OPTIMIZE} -ffp-contract=off -fno-fast-math -Wall -Wextra -Wno-unused-parameter)
add_compile_options(${ZV_COMMON_FLAGS})
if(CMAKE_CXX_FLAGS MATCHES "march=native|mfma|ffast-math")
  message(FATAL_ERROR "flags that change floating-point results are not allowed")
endif()
if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN=0 NOMINMAX _WIN32_WINNT=0x0601)
  # Static runtime: the DLL and the test programs need nothing but system DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
