# Flags that let the compiler fuse, reassociate or otherwise change the
# decoder's floating-point operations change bytes of the picture. They are
# refused before the compiler is even tried with them.
string(TOUPPER "${CMAKE_BUILD_TYPE}" _jpeg2bmp_type)
set(_jpeg2bmp_flags "$ENV{CXXFLAGS} ${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${_jpeg2bmp_type}}")
foreach(_bad -ffast-math -Ofast -funsafe-math-optimizations -fassociative-math
             -ffp-contract=fast -ffp-contract=on -ffp-model=fast /fp:fast /fp:contract)
  string(FIND " ${_jpeg2bmp_flags} " " ${_bad}" _at)
  if(NOT _at EQUAL -1)
    message(FATAL_ERROR "${_bad} changes the decoder's floating-point results; "
                        "the output is defined to the byte, so this flag cannot be used.")
  endif()
endforeach()

