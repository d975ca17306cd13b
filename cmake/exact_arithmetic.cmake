# Every byte of the picture is fixed by double-precision arithmetic with
# each operation rounded on its own. A fused multiply-add, reassociation or
# x87 extended precision changes bytes, so the build forbids them on every
# compiler and target.

if(MSVC)
  if(MSVC_VERSION LESS 1930)
    message(FATAL_ERROR "Visual Studio 2022 or newer is needed for /fp:precise without contraction.")
  endif()
  add_compile_options(/fp:precise)
else()
  add_compile_options(-ffp-contract=off)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$" OR
     (CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    # The x87 unit rounds to 80 bits; SSE2 rounds every operation to double.
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
endif()
