// Caps the address space a little above its current size (headroom_mb more), so that requests
// of a few gigabytes fail as on a full machine while small allocations still succeed.
#pragma once

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace testutil {

inline void limit_address_space(rlim_t headroom_mb = 512) {
  unsigned long long kb = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::strncmp(line, "VmSize:", 7) == 0) std::sscanf(line + 7, "%llu", &kb);
    std::fclose(f);
  }
  rlim_t cap = static_cast<rlim_t>(kb) * 1024 + (headroom_mb << 20);
  rlimit r{cap, cap};
  setrlimit(RLIMIT_AS, &r);
}

}  // namespace testutil
