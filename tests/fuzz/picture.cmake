# The picture reader's libFuzzer harness, target picture_fuzz, made only when the C++
# compiler is clang. QUELM_FUZZ_FLAGS, when set, replaces the instrumentation (default:
# libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer). The reader's source is
# compiled into the target so that the fuzzer sees its coverage.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  if(NOT DEFINED QUELM_FUZZ_FLAGS)
    set(QUELM_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  endif()
  find_package(Qt6 6.4 REQUIRED COMPONENTS Gui)
  get_filename_component(_quelm_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
  add_executable(picture_fuzz "${CMAKE_CURRENT_LIST_DIR}/picture_fuzz.cpp" "${_quelm_root}/platform/picture_loading.cpp")
  target_include_directories(picture_fuzz PRIVATE "${_quelm_root}")
  target_compile_features(picture_fuzz PRIVATE cxx_std_20)
  target_compile_options(picture_fuzz PRIVATE ${QUELM_FUZZ_FLAGS} -fno-omit-frame-pointer)
  target_link_options(picture_fuzz PRIVATE ${QUELM_FUZZ_FLAGS})
  target_link_libraries(picture_fuzz PRIVATE Qt6::Gui)
endif()
