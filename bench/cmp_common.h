// Shared harness of the comparison benchmarks (cmp_*): sizes, random images, interleaved timing
// and the row printer.
//
// Every row times ours and the peer in one run, alternating their repetitions, and prints the
// medians, the ratio ours / peer and the goal ratio. Environment:
//   BENCH_SIZE  side of the "2048" images (the "4096" ones are twice it); default 2048
//   BENCH_REPS  repetitions per side (default 7; fewer when one call takes seconds)
//   BENCH_ONLY  run only the rows whose label contains this text
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "images/images.h"

namespace cmp {

inline int env_int(const char* name, int def) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::atoi(v) : def;
}

// Image sides: 2048 (base, set by BENCH_SIZE) and twice that (large).
inline int base_size() { return std::max(16, env_int("BENCH_SIZE", 2048)); }
inline int large_size() { return 2 * base_size(); }

inline bool selected(const std::string& label) {
  const char* only = std::getenv("BENCH_ONLY");
  return !only || !*only || label.find(only) != std::string::npos;
}

inline double now_ms() {
  using clock = std::chrono::steady_clock;
  return std::chrono::duration<double, std::milli>(clock::now().time_since_epoch()).count();
}

// Keeps a result alive so the compiler cannot drop the call.
inline void keep(const void* p) { asm volatile("" : : "g"(p) : "memory"); }

// Small xorshift generator: the same images in every run.
struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s >> 11);
  }
  double uniform() { return next() / 2097152.0 / 1024.0; }  // [0, 1)
};

// Natural-looking grey image: smooth shapes plus noise, every level used.
inline IMGGRY grey_image(int nl, int nc, uint64_t seed = 1) {
  IMGGRY a(nl, nc);
  Rng r;
  r.s += seed;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      double v = 128 + 60 * std::sin(l * 0.013 + c * 0.007) * std::cos(c * 0.021 - l * 0.005) +
                 (static_cast<int>(r.next() % 81) - 40);
      a.rows[l][c] = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
    }
  return a;
}

inline IMGFLT float_image(int nl, int nc, uint64_t seed = 1) {
  IMGFLT a(nl, nc);
  IMGGRY g = grey_image(nl, nc, seed);
  Rng r;
  r.s += seed * 7;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      a.rows[l][c] = static_cast<float>(g.rows[l][c] / 255.0 + 0.001 * r.uniform());
  return a;
}

inline IMGDBL double_image(int nl, int nc, uint64_t seed = 1) {
  IMGFLT f = float_image(nl, nc, seed);
  IMGDBL a(nl, nc);
  for (int64_t i = 0; i < static_cast<int64_t>(nl) * nc; i++) a.data[i] = f.data[i];
  return a;
}

inline const char* header_printed() {
  static bool done = false;
  if (!done) {
    done = true;
    std::printf("%-64s %10s %10s %7s %8s  %s\n", "operation", "ours ms", "peer ms", "ratio", "goal",
                "check");
  }
  return "";
}

// Times one call; repeats the call `iters` times when a single one is too short to time.
template <class F>
double time_once(F& f, int iters) {
  double t0 = now_ms();
  for (int i = 0; i < iters; i++) f();
  return (now_ms() - t0) / iters;
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct Timing {
  double ours;
  double peer;
};

// Warm-up of each side (also sizes the repetitions), then ours and peer alternately.
template <class F, class G>
Timing measure(F&& ours, G&& peer) {
  double w_ours = time_once(ours, 1);
  double w_peer = time_once(peer, 1);
  int reps = std::max(1, env_int("BENCH_REPS", 7));
  double slow = std::max(w_ours, w_peer);
  if (slow > 1000) reps = std::max(1, std::min(reps, static_cast<int>(8000 / slow)));
  // Calls under 5 ms are repeated within one timing.
  int it_ours = w_ours < 5 ? static_cast<int>(std::min(1000.0, 5 / std::max(w_ours, 1e-4))) : 1;
  int it_peer = w_peer < 5 ? static_cast<int>(std::min(1000.0, 5 / std::max(w_peer, 1e-4))) : 1;
  std::vector<double> to, tp;
  for (int r = 0; r < reps; r++) {
    if (r % 2 == 0) {
      to.push_back(time_once(ours, it_ours));
      tp.push_back(time_once(peer, it_peer));
    } else {
      tp.push_back(time_once(peer, it_peer));
      to.push_back(time_once(ours, it_ours));
    }
  }
  return {median(to), median(tp)};
}

// One output row. goal is the largest acceptable ratio ours / peer.
inline void print_row(const std::string& label, Timing t, double goal, const std::string& check) {
  header_printed();
  double ratio = t.ours / t.peer;
  char g[32];
  std::snprintf(g, sizeof g, "<= %.3g", goal);
  std::printf("%-64s %10.3f %10.3f %7.2f %8s  %s%s\n", label.c_str(), t.ours, t.peer, ratio, g,
              ratio <= goal ? "" : "[over] ", check.c_str());
  std::fflush(stdout);
}

// One row: ours() and peer() return their results (fresh each call, as a user gets them); the
// timed calls drop them, then one more call of each goes to check(ours, peer), which describes
// how far the results agree.
template <class F, class G, class C>
void row(const std::string& label, double goal, F&& ours, G&& peer, C&& check) {
  if (!selected(label)) return;
  auto o = [&] {
    auto r = ours();
    keep(&r);
  };
  auto p = [&] {
    auto r = peer();
    keep(&r);
  };
  Timing t = measure(o, p);
  auto ro = ours();
  auto rp = peer();
  print_row(label, t, goal, check(ro, rp));
}

inline std::string fmt(const char* f, double a, double b = 0, double c = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, f, a, b, c);
  return buf;
}

}  // namespace cmp
