// FFT family against FFTW 3 (double precision, no threads, FFTW_MEASURE plans made before the
// timing). Both sides copy their input into the transform's work array on every call (ours
// consumes its input), so the copy is in both timings. BENCH_SIZE scales the 2-D sides
// (1024 and 4096 at the default 2048).
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>

#include "bench/cmp_common.h"
#include "vistelmo.h"

using namespace cmp;
using Quorvan::COMPLEX;

namespace {

// fftw_malloc'ed array freed on scope exit.
template <class T>
struct Buf {
  T* p;
  explicit Buf(size_t n) : p(static_cast<T*>(fftw_malloc(n * sizeof(T)))) {}
  ~Buf() { fftw_free(p); }
  Buf(const Buf&) = delete;
  Buf& operator=(const Buf&) = delete;
};

// Uniform access to the real and imaginary parts of the element types compared.
struct CD {
  const double* v;
  double re_() const { return v[0]; }
  double im_() const { return v[1]; }
};
struct CF {
  const float* v;
  double re_() const { return v[0]; }
  double im_() const { return v[1]; }
};
struct RF {
  const float* v;
  double re_() const { return *v; }
  double im_() const { return 0; }
};
struct RD {
  const double* v;
  double re_() const { return *v; }
  double im_() const { return 0; }
};
template <class T, class E, int step>
struct Arr {
  const E* base;
  T operator[](size_t i) const { return T{base + step * i}; }
};
// Largest |ours - peer| relative to the largest |peer|.
template <class A, class B>
std::string rel_error_arr(A ours, B peer, size_t n) {
  double e = 0, m = 0;
  for (size_t i = 0; i < n; i++) {
    auto o = ours[i];
    auto p = peer[i];
    e = std::max(e, std::hypot(o.re_() - p.re_(), o.im_() - p.im_()));
    m = std::max(m, std::hypot(p.re_(), p.im_()));
  }
  return fmt("max|diff|/max|peer| %.2g", m > 0 ? e / m : e);
}

void one_dimensional() {
  struct Len {
    int n;
    double goal;
    const char* kind;
  };
  for (Len L : {Len{1024, 2, "power of two"}, Len{4096, 2, "power of two"},
                Len{65536, 2, "power of two"}, Len{1000, 2, "2^3 5^3"}, Len{1009, 3, "prime"},
                Len{65537, 3, "prime"}, Len{2 * 32771, 3, "2 x prime"}}) {
    int n = L.n;
    std::string label = fmt("fft 1-D complex n=%g (", n) + L.kind + ") vs FFTW";
    if (!selected(label)) continue;
    Buf<fftw_complex> x(n), in(n), out(n);
    Buf<COMPLEX> work(n), res(n);
    fftw_plan plan = fftw_plan_dft_1d(n, in.p, out.p, FFTW_FORWARD, FFTW_MEASURE);
    Rng r;
    for (int i = 0; i < n; i++) {
      x.p[i][0] = r.uniform() - 0.5;
      x.p[i][1] = r.uniform() - 0.5;
    }
    row(
        label, L.goal,
        [&] {
          std::memcpy(static_cast<void*>(work.p), x.p, n * sizeof(COMPLEX));
          Quorvan::fft(work.p, n, res.p);
          return res.p;
        },
        [&] {
          std::memcpy(in.p, x.p, n * sizeof(fftw_complex));
          fftw_execute(plan);
          return out.p;
        },
        [&](COMPLEX* o, fftw_complex* p) {
          return rel_error_arr(Arr<CD, double, 2>{&o[0].re}, Arr<CD, double, 2>{&p[0][0]}, n);
        });
    fftw_destroy_plan(plan);
  }
}

IMGCPX complex_image(int n, uint64_t seed) {
  IMGCPX a(n, n);
  Rng r;
  r.s += seed;
  for (int i = 0; i < n * n; i++)
    a.data[i] = std::complex<float>(static_cast<float>(r.uniform() - 0.5),
                                    static_cast<float>(r.uniform() - 0.5));
  return a;
}

void two_dimensional(int n) {
  std::string label = fmt("fft 2-D IMGCPX %gx%g vs FFTW 2-D plan (double)", n, n);
  if (!selected(label)) return;  // skips the plan too
  IMGCPX a = complex_image(n, 1);
  size_t N = static_cast<size_t>(n) * n;
  Buf<fftw_complex> in(N), out(N), x(N);
  fftw_plan plan = fftw_plan_dft_2d(n, n, in.p, out.p, FFTW_FORWARD, FFTW_MEASURE);
  for (size_t i = 0; i < N; i++) {
    x.p[i][0] = a.data[i].real();
    x.p[i][1] = a.data[i].imag();
  }
  row(
      label, 2.0, [&] { return fft(a, 0, 0); },
      [&] {
        std::memcpy(in.p, x.p, N * sizeof(fftw_complex));
        fftw_execute(plan);
        return out.p;
      },
      [&](const IMGCPX& o, fftw_complex* p) {
        return rel_error_arr(Arr<CF, float, 2>{reinterpret_cast<const float*>(o.data)},
                             Arr<CD, double, 2>{&p[0][0]}, N);
      });
  fftw_destroy_plan(plan);
}

int pow2_at_least(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

// Full correlation / convolution through FFTW as a user writes it for real images: both
// operands zero-padded to the same power-of-two size as ours, real-to-complex transforms,
// the product (conjugated for the correlation), the inverse, the scale and the full-size block
// (rotated to lag order for the correlation).
void correlation(int na, int nb) {
  std::string lx = fmt("xcorrf IMGFLT %g^2 by %g^2 vs FFTW r2c/c2r", na, nb);
  std::string lc = fmt("convf IMGFLT %g^2 by %g^2 vs FFTW r2c/c2r", na, nb);
  if (!selected(lx) && !selected(lc)) return;
  IMGFLT a = float_image(na, na, 3), b = float_image(nb, nb, 4);
  int nf = na + nb - 1, P = pow2_at_least(nf), H = P / 2 + 1;
  Buf<double> ra(static_cast<size_t>(P) * P), rb(static_cast<size_t>(P) * P);
  Buf<fftw_complex> fa(static_cast<size_t>(P) * H), fb(static_cast<size_t>(P) * H);
  fftw_plan pa = fftw_plan_dft_r2c_2d(P, P, ra.p, fa.p, FFTW_MEASURE);
  fftw_plan pb = fftw_plan_dft_r2c_2d(P, P, rb.p, fb.p, FFTW_MEASURE);
  fftw_plan inv = fftw_plan_dft_c2r_2d(P, P, fa.p, ra.p, FFTW_MEASURE);
  auto peer = [&](bool conj) {
    std::fill(ra.p, ra.p + static_cast<size_t>(P) * P, 0.0);
    std::fill(rb.p, rb.p + static_cast<size_t>(P) * P, 0.0);
    for (int l = 0; l < na; l++)
      for (int c = 0; c < na; c++) ra.p[static_cast<size_t>(l) * P + c] = a.rows[l][c];
    for (int l = 0; l < nb; l++)
      for (int c = 0; c < nb; c++) rb.p[static_cast<size_t>(l) * P + c] = b.rows[l][c];
    fftw_execute(pa);
    fftw_execute(pb);
    for (size_t i = 0; i < static_cast<size_t>(P) * H; i++) {
      double xr = fa.p[i][0], xi = fa.p[i][1], yr = fb.p[i][0],
             yi = conj ? -fb.p[i][1] : fb.p[i][1];
      fa.p[i][0] = xr * yr - xi * yi;
      fa.p[i][1] = xr * yi + xi * yr;
    }
    fftw_execute(inv);
    IMGFLT r(nf, nf);
    double s = 1.0 / (static_cast<double>(P) * P);
    int sh = conj ? nb - 1 : 0;
    for (int l = 0; l < nf; l++) {
      const double* src = ra.p + static_cast<size_t>((l - sh + P) % P) * P;
      for (int c = 0; c < nf; c++) r.rows[l][c] = static_cast<float>(src[(c - sh + P) % P] * s);
    }
    return r;
  };
  auto check = [&](const IMGFLT& o, const IMGFLT& p) {
    size_t n = static_cast<size_t>(nf) * nf;
    return rel_error_arr(Arr<RF, float, 1>{o.data}, Arr<RF, float, 1>{p.data}, n);
  };
  row(
      lx, 2.0, [&] { return xcorrf(a, b); }, [&] { return peer(true); }, check);
  row(
      lc, 2.0, [&] { return convf(a, b); }, [&] { return peer(false); }, check);
  fftw_destroy_plan(pa);
  fftw_destroy_plan(pb);
  fftw_destroy_plan(inv);
}

// Orthonormal DCT-II: FFTW's REDFT10 2-D plan, then the orthonormal scale (in the check only:
// FFTW's transform is unscaled, and a user folds the scale into later use).
void dct2(int n) {
  std::string label = fmt("dct IMGFLT %gx%g vs FFTW REDFT10 2-D", n, n);
  if (!selected(label)) return;
  IMGFLT a = float_image(n, n, 6);
  size_t N = static_cast<size_t>(n) * n;
  Buf<double> in(N), out(N), x(N);
  fftw_plan plan = fftw_plan_r2r_2d(n, n, in.p, out.p, FFTW_REDFT10, FFTW_REDFT10, FFTW_MEASURE);
  for (size_t i = 0; i < N; i++) x.p[i] = a.data[i];
  row(
      label, 3.0, [&] { return dct(a); },
      [&] {
        std::memcpy(in.p, x.p, N * sizeof(double));
        fftw_execute(plan);
        return out.p;
      },
      [&](const IMGFLT& o, double* p) {
        std::vector<double> s(N);
        for (int k = 0; k < n; k++)
          for (int j = 0; j < n; j++)
            s[static_cast<size_t>(k) * n + j] = p[static_cast<size_t>(k) * n + j] / 4 *
                                                std::sqrt((k ? 2.0 : 1.0) / n) *
                                                std::sqrt((j ? 2.0 : 1.0) / n);
        return rel_error_arr(Arr<RF, float, 1>{o.data}, Arr<RD, double, 1>{s.data()}, N);
      });
  fftw_destroy_plan(plan);
}

// Walsh-Hadamard against our own 2-D FFT of the same size (the goal is 2x that). A direct
// O(N^4) transform is estimated from the 64 x 64 time and skipped when it would take minutes.
void walsh(int n) {
  auto wht_row = [](int m) {
    IMGFLT a = float_image(m, m, 8);
    IMGCPX z(a);
    row(
        fmt("wht IMGFLT %gx%g vs our fft 2-D same size", m, m), 2.0, [&] { return wht(a); },
        [&] { return fft(z, 0, 0); },
        [](const IMGFLT&, const IMGCPX&) { return std::string("peer is ours: no check"); });
  };
  wht_row(64);
  std::string label = fmt("wht IMGFLT %gx%g vs our fft 2-D same size", n, n);
  if (n <= 64 || !selected(label)) return;
  IMGFLT s = float_image(64, 64, 8);
  double t0 = now_ms();
  IMGFLT r = wht(s);
  keep(&r);
  double est = (now_ms() - t0) * std::pow(n / 64.0, 4);
  if (est > 120000) {
    header_printed();
    std::printf("%-64s %10s  skipped: O(N^4) today, estimated %.0f s from 64x64\n", label.c_str(),
                "-", est / 1000);
    return;
  }
  wht_row(n);
}

}  // namespace

int main() {
  int n = base_size();
  std::printf("fft: FFTW %s, one thread, FFTW_MEASURE plans outside the timing\n", fftw_version);
  one_dimensional();
  two_dimensional(n / 2);
  two_dimensional(2 * n);
  correlation(n / 2, std::max(2, n / 32));
  dct2(n / 2);
  walsh(n / 2);
  return 0;
}
