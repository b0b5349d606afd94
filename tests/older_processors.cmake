# The unit tests and the program on older x86-64 processors, emulated by
# qemu-x86_64: SandyBridge has AVX but not AVX2, BMI2, GFNI or AVX-512;
# Haswell adds AVX2 and BMI2. On a processor with every extension no other
# test can show that the program picks only paths the processor runs. For
# each model:
#   - the path and detection tests (the others do not depend on the
#     processor, and would take minutes under emulation);
#   - .ci/paths_ran, given the flags the model is documented to have (named
#     as in /proc/cpuinfo), not those the program detects;
#   - j6enc on a file of several blocks, which must give the bytes j6enc
#     gives here.
# Where qemu-x86_64 is not installed they are skipped, and say so.
#
# AddressSanitizer's shadow memory does not fit in what qemu-user can map (a
# sanitized test program exhausts the machine's memory), so a sanitized build
# runs copies of the unit tests and the program built without sanitizers.

# A copy of `target` named `copy`: the same sources, compiled and linked with
# the same settings, less the sanitizers, and linked with the copies of those
# of its libraries that have one (LIBRARY_unsanitized).
function(j6enc_unsanitized_copy target copy)
  get_target_property(type ${target} TYPE)
  get_target_property(directory ${target} SOURCE_DIR)
  get_target_property(sources ${target} SOURCES)
  set(files)
  foreach(source IN LISTS sources)
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${directory} OUTPUT_VARIABLE file)
    foreach(property COMPILE_OPTIONS COMPILE_DEFINITIONS COMPILE_FLAGS INCLUDE_DIRECTORIES)
      get_source_file_property(value ${file} TARGET_DIRECTORY ${target} ${property})
      if(value)
        set_source_files_properties(${file} PROPERTIES ${property} "${value}")
      endif()
    endforeach()
    list(APPEND files ${file})
  endforeach()
  if(type STREQUAL "EXECUTABLE")
    add_executable(${copy} ${files})
  else()
    add_library(${copy} STATIC ${files})
  endif()
  foreach(property COMPILE_OPTIONS COMPILE_DEFINITIONS INCLUDE_DIRECTORIES LINK_OPTIONS LINK_LIBRARIES
                   INTERFACE_COMPILE_DEFINITIONS INTERFACE_INCLUDE_DIRECTORIES INTERFACE_LINK_LIBRARIES)
    get_target_property(value ${target} ${property})
    if(value)
      foreach(library IN LISTS value)
        if(TARGET ${library}_unsanitized)
          list(TRANSFORM value REPLACE "^${library}$" "${library}_unsanitized")
        endif()
      endforeach()
      set_target_properties(${copy} PROPERTIES ${property} "${value}")
    endif()
  endforeach()
  j6enc_without_sanitizers(${copy})
endfunction()

set(emulated_unit_tests j6enc_unit_tests)
set(emulated_program j6enc)
if(J6ENC_SANITIZE)
  j6enc_unsanitized_copy(j6enc_encryptor j6enc_encryptor_unsanitized)
  j6enc_unsanitized_copy(j6enc_files j6enc_files_unsanitized)
  j6enc_unsanitized_copy(j6enc_unit_tests j6enc_unit_tests_unsanitized)
  j6enc_unsanitized_copy(j6enc j6enc_unsanitized)
  set(emulated_unit_tests j6enc_unit_tests_unsanitized)
  set(emulated_program j6enc_unsanitized)
endif()

# The instruction-set extensions of each model, as Intel documents its
# processors: Haswell has Sandy Bridge's, Ivy Bridge's and its own.
set(j6enc_flags_SandyBridge "mmx fxsr sse sse2 pni ssse3 sse4_1 sse4_2 popcnt pclmulqdq aes xsave avx")
set(j6enc_flags_Haswell "${j6enc_flags_SandyBridge} f16c rdrand fsgsbase erms movbe fma bmi1 bmi2 abm avx2")

# The extensions that the build's own flags demand of every processor (its
# baseline, raised by -march=x86-64-v3, say), from the macros the compiler
# predefines under them; a model that lacks one cannot run any of the build's
# code, and its tests are skipped, saying so.
set(j6enc_macro_flags
    MMX:mmx FXSR:fxsr SSE:sse SSE2:sse2 SSE3:pni SSSE3:ssse3 SSE4_1:sse4_1 SSE4_2:sse4_2 POPCNT:popcnt
    PCLMUL:pclmulqdq AES:aes XSAVE:xsave AVX:avx F16C:f16c RDRND:rdrand FSGSBASE:fsgsbase MOVBE:movbe FMA:fma
    BMI:bmi1 BMI2:bmi2 LZCNT:abm AVX2:avx2 ADX:adx RDSEED:rdseed SHA:sha_ni AVX512F:avx512f AVX512BW:avx512bw
    AVX512CD:avx512cd AVX512DQ:avx512dq AVX512VL:avx512vl AVX512VBMI:avx512vbmi GFNI:gfni VAES:vaes
    VPCLMULQDQ:vpclmulqdq)
string(TOUPPER "${CMAKE_BUILD_TYPE}" j6enc_type)
separate_arguments(j6enc_build_flags UNIX_COMMAND "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${j6enc_type}}")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${j6enc_build_flags} -dM -E -x c++ - INPUT_FILE /dev/null
                OUTPUT_VARIABLE j6enc_macros RESULT_VARIABLE j6enc_status ERROR_QUIET)
if(NOT j6enc_status EQUAL 0)
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not list its predefined macros under the build's flags")
endif()
set(j6enc_baseline)
foreach(pair IN LISTS j6enc_macro_flags)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 macro)
  list(GET pair 1 flag)
  if(j6enc_macros MATCHES "#define __${macro}__ ")
    list(APPEND j6enc_baseline ${flag})
  endif()
endforeach()

foreach(model SandyBridge Haswell)
  set(run ${CMAKE_CURRENT_SOURCE_DIR}/older_processor.sh ${model})
  add_test(NAME older_processor.${model}.unit_tests COMMAND ${run} unit-tests $<TARGET_FILE:${emulated_unit_tests}>)
  add_test(NAME older_processor.${model}.paths_ran
           COMMAND ${run} paths-ran "${j6enc_flags_${model}}" $<TARGET_FILE:${emulated_unit_tests}>)
  add_test(NAME older_processor.${model}.program
           COMMAND ${run} program $<TARGET_FILE:${emulated_program}> $<TARGET_FILE:j6enc>)
  set(tests older_processor.${model}.unit_tests older_processor.${model}.paths_ran older_processor.${model}.program)
  set_tests_properties(${tests} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
  separate_arguments(model_flags UNIX_COMMAND "${j6enc_flags_${model}}")
  set(lacking ${j6enc_baseline})
  list(REMOVE_ITEM lacking ${model_flags})
  if(lacking)
    list(JOIN lacking " " lacking)
    set_tests_properties(${tests} PROPERTIES ENVIRONMENT "J6ENC_BASELINE_LACKING=${lacking}")
  endif()
endforeach()
