# Every byte of the picture is fixed by double-precision arithmetic with
# each operation rounded on its own. A fused multiply-add, reassociation or
# x87 extended precision changes bytes, so the build forbids them on every
# compiler and target.

string(TOUPPER "${CMAKE_BUILD_TYPE}" _jpeg2bmp_type)
set(_jpeg2bmp_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${_jpeg2bmp_type}}")
foreach(_bad -ffast-math -Ofast -funsafe-math-optimizations -fassociative-math
             -ffp-contract=fast -ffp-contract=on -ffp-model=fast /fp:fast /fp:contract)
  string(FIND " ${_jpeg2bmp_flags} " " ${_bad}" _at)
  if(NOT _at EQUAL -1)
    message(FATAL_ERROR "${_bad} changes the decoder's floating-point results; "
                        "the output is defined to the byte, so this flag cannot be used.")
  endif()
endforeach()

if(MSVC)
  add_compile_options(/fp:precise)
else()
  add_compile_options(-ffp-contract=off)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$" OR
     (CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    # The x87 unit rounds to 80 bits; SSE2 rounds every operation to double.
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
endif()
