// Checks that Wine runs a program of this build with the expected word size.
#include <windows.h>

#include <cstdio>

int main() {
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  std::printf("pointer size %u, native architecture %u\n", unsigned(sizeof(void*)),
              unsigned(info.wProcessorArchitecture));
  // A 64-bit program sees an AMD64 system; a 32-bit one runs on either.
  if (sizeof(void*) == 8 && info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_AMD64) return 1;
  return 0;
}
