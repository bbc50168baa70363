if(VANT_SANITIZE)
  set(VANT_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${VANT_SAN_FLAGS})
  add_link_options(${VANT_SAN_FLAGS})
endif()

# Fuzz builds instrument the whole library for coverage; the fuzz targets add
# the libFuzzer driver themselves.
if(VANT_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
