// Total-variation denoising by projected gradient on the dual field.
#include "processing/filters/total_variation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "foundation/constants.h"
#include "processing/algebra/pointwise.h"
#include "processing/algebra/statistics_internal.h"

namespace {

int pixel_count(int nl, int nc) { return nl >= 1 && nc >= 1 ? nl * nc : 0; }

float modulus(std::complex<float> z) { return static_cast<float>(vistelmo::scaled_magnitude(z)); }

float clamp1(float v) { return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v); }

IMGCPX zero_field(const IMGDBL& f) {
  return IMGCPX(f.nl(), f.nc(), std::complex<float>(0.0f, 0.0f));
}

void progress(bool verbose, int i) {
  if (!verbose) return;
  std::printf("%d\r", i);
  std::fflush(stdout);
}

void progress_end(bool verbose) {
  if (verbose) std::printf("\n");
}

// p := clip(p + step * grad(-u / lambda)), the update shared by tv_lambda2 and tv_sigma.
void dual_step(IMGCPX& p, const IMGDBL& u, double lambda) {
  const IMGCPX q = TV::grad((-1.0 / lambda) * u);
  p = TV::clip(p + 0.125f * q);
}

}  // namespace

IMGCPX TV::grad(const IMGDBL& f) {
  const int nl = f.nl(), nc = f.nc();
  IMGCPX g(nl, nc, std::complex<float>(0.0f, 0.0f));
  for (int r = 1; r < nl; r++) {
    const double* row = f.rows[r];
    const double* up = f.rows[r - 1];
    std::complex<float>* dst = g.rows[r];
    for (int c = 0; c + 1 < nc; c++)
      dst[c] = {static_cast<float>(row[c + 1] - row[c]), static_cast<float>(up[c] - row[c])};
  }
  return g;
}

IMGDBL TV::div(const IMGCPX& p) {
  const int nl = p.nl(), nc = p.nc();
  IMGDBL d(nl, nc);
  for (int r = 0; r < nl; r++) {
    const std::complex<float>* row = p.rows[r];
    const std::complex<float>* below = r + 1 < nl ? p.rows[r + 1] : nullptr;
    double* dst = d.rows[r];
    for (int c = 0; c < nc; c++) {
      double x, y;
      if (c == 0)
        x = row[0].real();
      else if (c == nc - 1)
        x = -double(row[nc - 2].real());
      else
        x = double(row[c].real()) - double(row[c - 1].real());
      if (r == nl - 1)
        y = row[c].imag();
      else if (r == 0)
        y = -double(below[c].imag());
      else
        y = double(row[c].imag()) - double(below[c].imag());
      dst[c] = x + y;
    }
  }
  return d;
}

IMGCPX TV::clip(IMGCPX p) {
  const int n = pixel_count(p.nl(), p.nc());
  for (int i = 0; i < n; i++) p.data[i] = {clamp1(p.data[i].real()), clamp1(p.data[i].imag())};
  return p;
}

double TV::J(const IMGDBL& f) {
  const IMGFLT m = abs(grad(f));
  const int n = pixel_count(m.nl(), m.nc());
  double s = 0;
  for (int i = 0; i < n; i++) s += m.data[i];
  return s;
}

IMGFLT abs(const IMGCPX& z) {
  IMGFLT m(z.nl(), z.nc());
  const int n = pixel_count(z.nl(), z.nc());
  for (int i = 0; i < n; i++) m.data[i] = modulus(z.data[i]);
  m.backg = modulus(z.backg);
  return m;
}

IMGDBL tv_lambda(const IMGDBL& f, double lambda, int niter, bool verbose) {
  IMGCPX p = zero_field(f);
  for (int i = 0; i < niter; i++) {
    progress(verbose, i);
    if (lambda == 0) continue;  // no regularisation: p stays 0
    const IMGCPX q = TV::grad(TV::div(p) - (1.0 / lambda) * f);
    p = TV::clip(p + 0.225f * q);
  }
  progress_end(verbose);
  return f - lambda * TV::div(p);
}

IMGDBL tv_lambda2(const IMGDBL& f, double lambda, int niter, bool verbose) {
  IMGCPX p = zero_field(f);
  for (int i = 0; i < niter; i++) {
    progress(verbose, i);
    if (lambda == 0) continue;
    dual_step(p, f - lambda * TV::div(p), lambda);
  }
  progress_end(verbose);
  return f - lambda * TV::div(p);
}

IMGDBL tv_sigma(const IMGDBL& f, double sigma, int niter, bool verbose) {
  const int n = pixel_count(f.nl(), f.nc());
  const double root_n = std::sqrt(double(n));
  IMGCPX p = zero_field(f);
  double lambda = 0.2;
  for (int i = 0; i < niter; i++) {
    progress(verbose, i);
    const IMGDBL u = f - lambda * TV::div(p);
    if (lambda != 0) dual_step(p, u, lambda);
    double s = 0;
    for (int k = 0; k < n; k++) {
      const double d = u.data[k] - f.data[k];
      s += d * d;
    }
    const double r = std::sqrt(s);
    if (r > epsilon) lambda = lambda * sigma * root_n / r;
  }
  progress_end(verbose);
  return f - lambda * TV::div(p);
}
