#pragma once
// The entry of one fuzz target. In a libFuzzer program (OX_FUZZER) it is LLVMFuzzerTestOneInput; in the test suite,
// which links every target into one program to replay the kept inputs, it is oxfuzz_<name>.
#include <cstddef>
#include <cstdint>

#ifdef OX_FUZZER
#define OX_FUZZ_ENTRY(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#else
#define OX_FUZZ_ENTRY(name) extern "C" int oxfuzz_##name(const uint8_t* data, size_t size)
#endif
