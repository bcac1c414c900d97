// The libFuzzer entry point of one target; RASTELLO_FUZZ_TARGET names it (see Targets()).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/targets.h"

namespace {

rastello::fuzz::Target target = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const rastello::fuzz::NamedTarget& t : rastello::fuzz::Targets())
    if (std::strcmp(t.name, RASTELLO_FUZZ_TARGET) == 0) target = t.run;
  if (!target) std::abort();
  rastello::fuzz::Scratch();  // made before the first input, removed at exit
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string problem = target(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "rastello fuzz target %s: %s\n", RASTELLO_FUZZ_TARGET, problem.c_str());
    std::abort();
  }
  return 0;
}
