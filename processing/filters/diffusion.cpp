// Explicit steps of nonlinear diffusion and the fixed-threshold drivers.
#include "processing/filters/diffusion.h"

#include <algorithm>
#include <cmath>

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "processing/algebra/pointwise.h"
#include "processing/filters/convolution.h"
#include "processing/filters/divergence.h"
#include "processing/filters/gradient.h"

namespace {

// The conductances, with the powers of K formed once per call.
struct Lorentzian {
  double kk;  // K^2
  double operator()(double x) const { return 1.0 / (1.0 + x * x / kk); }
};
struct Gaussian {
  double kk2;  // 2 K^2
  double operator()(double x) const { return std::exp(-(x * x) / kk2); }
};
struct Tukey {
  double kk5;  // 5 K^2
  double operator()(double x) const {
    if (!(x * x <= kk5)) return 0.0;
    const double t = 1.0 - x * x / kk5;
    return t * t;
  }
};
struct Identity {
  double operator()(double) const { return 1.0; }
};
struct Step {
  double k;
  double operator()(double x) const { return k > std::fabs(x) ? 1.0 : 0.0; }
};
struct Linear {
  double k;
  double operator()(double x) const { return k > std::fabs(x) ? 1.0 - std::fabs(x) / k : 0.0; }
};
struct Fourth {
  double kk;  // K^2
  double operator()(double x) const {
    const double a = 0.5507604246 * x;
    if (!(a * a <= kk)) return 0.0;
    const double u = a * a / kk;
    return 1.0 - 6.0 * u / 5.0 + u * u / 5.0;
  }
};

// Calls body with the conductance of mode; an unknown letter is fatal.
template <class Body>
double with_conductance(char mode, double K, Body body) {
  switch (mode) {
    case '1':
      return body(Lorentzian{K * K});
    case '2':
      return body(Gaussian{2.0 * (K * K)});
    case 't':
      return body(Tukey{5.0 * (K * K)});
    case 'i':
      return body(Identity{});
    case 'd':
      return body(Step{K});
    case 'l':
      return body(Linear{K});
    case 'f':
      return body(Fourth{K * K});
  }
  erro("Erro g: modo inexistente", "");
}

int pixel_count(const IMGDBL& a) { return a.nl() >= 1 && a.nc() >= 1 ? a.nl() * a.nc() : 0; }

double mean(double total, int n) { return n > 0 ? total / n : 0.0; }

// Neighbours inside the image only; delta = sum * (dt / count).
template <class G>
double plain_step(const IMGDBL& in, IMGDBL& out, G g, double dt) {
  const int nl = in.nl(), nc = in.nc();
  double total = 0;
  for (int l = 0; l < nl; l++) {
    const double* row = in.rows[l];
    const double* up = l > 0 ? in.rows[l - 1] : nullptr;
    const double* down = l + 1 < nl ? in.rows[l + 1] : nullptr;
    double* dst = out.rows[l];
    for (int c = 0; c < nc; c++) {
      const double v = row[c];
      double s = 0;
      int n = 0;
      auto add = [&](double w) {
        const double d = w - v;
        s += d * g(d);
        n++;
      };
      if (up) add(up[c]);
      if (down) add(down[c]);
      if (c > 0) add(row[c - 1]);
      if (c + 1 < nc) add(row[c + 1]);
      const double delta = n > 0 ? s * (dt / n) : 0.0;
      dst[c] = v + delta;
      total += std::fabs(delta);
    }
  }
  return mean(total, pixel_count(in));
}

// All four neighbours, edges continued; delta = dt * 0.25 * sum.
template <class G>
double clamped_step(const IMGDBL& in, IMGDBL& out, G g, double dt) {
  const int nl = in.nl(), nc = in.nc();
  double total = 0;
  for (int l = 0; l < nl; l++) {
    const double* row = in.rows[l];
    const double* up = in.rows[std::max(l - 1, 0)];
    const double* down = in.rows[std::min(l + 1, nl - 1)];
    double* dst = out.rows[l];
    for (int c = 0; c < nc; c++) {
      const double v = row[c];
      double s = 0;
      double d = up[c] - v;
      s += d * g(d);
      d = down[c] - v;
      s += d * g(d);
      d = row[std::max(c - 1, 0)] - v;
      s += d * g(d);
      d = row[std::min(c + 1, nc - 1)] - v;
      s += d * g(d);
      const double delta = dt * 0.25 * s;
      dst[c] = v + delta;
      total += std::fabs(delta);
    }
  }
  return mean(total, pixel_count(in));
}

template <class Run>
double one_step(const IMGDBL& in, IMGDBL& out, double K, char mode, int min_pixels, Run run) {
  if (std::fabs(K) < epsilon) {
    out = in;
    return 0;
  }
  out.resize(in.nl(), in.nc());
  // The letter is examined only where a conductance is evaluated.
  if (pixel_count(in) < min_pixels) mode = 'i';
  return with_conductance(mode, K, run);
}

}  // namespace

double g(double x, double K, char mode) {
  return with_conductance(mode, K, [x](auto f) { return f(x); });
}

double onepassdifusao(const IMGDBL& in, IMGDBL& out, double K, char mode, double dt) {
  if (&in == &out) return onepassdifusao(IMGDBL(in), out, K, mode, dt);
  return one_step(in, out, K, mode, 2, [&](auto f) { return plain_step(in, out, f, dt); });
}

double xonepassdifusao(const IMGDBL& in, IMGDBL& out, double K, char mode, double dt) {
  if (&in == &out) return xonepassdifusao(IMGDBL(in), out, K, mode, dt);
  return one_step(in, out, K, mode, 1, [&](auto f) { return clamped_step(in, out, f, dt); });
}

double xonepassgausdif(const IMGDBL& in, IMGDBL& out, double K, char mode, double dt,
                       double sigma) {
  if (std::fabs(K) < epsilon) {
    out = in;
    return 0;
  }
  IMGDBL gx = convolucao(in, IMGDBLgrxnormal(sigma, 0.0), 'x');
  IMGDBL gy = convolucao(in, IMGDBLgrynormal(sigma, 0.0), 'x');
  const int n = pixel_count(in);
  with_conductance(n > 0 ? mode : 'i', K, [&](auto f) {
    for (int i = 0; i < n; i++) {
      const double w = f(std::sqrt(gx.data[i] * gx.data[i] + gy.data[i] * gy.data[i]));
      gx.data[i] *= w;
      gy.data[i] *= w;
    }
    return 0.0;
  });
  const IMGDBL step = dt * divergente(gx, gy, sigma);
  out = in + step;
  double total = 0;
  for (int i = 0; i < n; i++) total += std::fabs(step.data[i]);
  return mean(total, n);
}

IMGDBL difusao(IMGDBL a, int niter, double K, char mode, double dt) {
  IMGDBL r(a);
  for (int i = 0; i < niter; i++) {
    onepassdifusao(a, r, K, mode, dt);
    a = r;
  }
  return r;
}

IMGDBL xdifusao(IMGDBL a, int niter, double K, char mode, double dt) {
  IMGDBL r(a.nl(), a.nc(), 0.0);
  for (int i = 0; i < niter; i++) {
    xonepassdifusao(a, r, K, mode, dt);
    a = r;
  }
  return r;
}
